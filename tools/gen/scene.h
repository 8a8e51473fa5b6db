#pragma once
// The synthetic 360-degree scene the generator films: sky and ground, a horizon grid, large
// labelled panels for front, right, back and left, "UP" and "DOWN" zones, a ball circling the
// car, and the frame-index strip at the nadir. Drawn through the inverse of the viewer's
// sphere mapping (lens.h) into a square fisheye frame.

#include <cstdint>
#include <vector>

namespace tavrilo::gen {

class FisheyeScene {
  public:
    // Precomputes the still part of the scene for frames of `width` x `height` pixels.
    FisheyeScene(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }

    // Renders frame `index`, shown `seconds` after the start, as RGB24 with a stride of
    // width * 3 bytes into `rgb` (width * height * 3 bytes).
    void Render(uint32_t index, double seconds, uint8_t* rgb) const;

    // Azimuth (degrees clockwise from the front) of the circling ball at `seconds`.
    static double BallAzimuthDeg(double seconds);

  private:
    int width_;
    int height_;
    std::vector<uint8_t> still_;     // RGB24 of the still scene
    std::vector<float> directions_;  // unit direction per pixel (x, y, z); zero outside the circle
};

}  // namespace tavrilo::gen
