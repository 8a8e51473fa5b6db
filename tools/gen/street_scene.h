#pragma once
// A drive through town as the recorder's fisheye lens sees it from behind the windscreen:
// the street under the car with its lane marks, crossings and kerbs, the blocks of buildings
// on both sides with their windows, the sky above, and the car's own hood and roof around the
// centre of the picture with small FRONT / RIGHT / BACK / LEFT marks. The frame-index strip
// stays at the centre. Drawn through the inverse of the viewer's sphere mapping (lens.h).
//
// The picture is worked out in colour numbers of a small palette, one byte a pixel, and
// turned into YUV at the end: a frame costs a few milliseconds even at 1440 x 1440.

#include <array>
#include <cstdint>
#include <vector>

#include "tools/gen/drive.h"
#include "tools/gen/mp4_writer.h"

namespace tavrilo::gen {

class StreetScene {
  public:
    // Precomputes where every pixel of a `size` x `size` frame looks.
    explicit StreetScene(int size);

    int size() const { return size_; }

    // Draws the view from `pose` (on the street grid of route.h) with the strip of frame
    // `index` into `out`, which must be size x size.
    void Render(const DrivePose& pose, uint32_t index, const YuvFrame& out);

    // The pose at `seconds` into a recording whose poses were taken ten times a second.
    static DrivePose PoseAt(const std::vector<DrivePose>& poses, double seconds);

  private:
    // What a pixel of the street or the sky looks at, fixed for the lens.
    struct Ray {
        float a = 0, b = 0;  // ground: metres ahead and to the right; above: tan(elevation)
        uint32_t pixel = 0;  // in the frame, row by row
        uint16_t bin = 0;    // azimuth bin
        uint8_t colour = 0;  // above: the sky's colour there; ground: which road texture
    };
    // What lies along an azimuth bin from where the car is.
    struct Sight {
        float distance = 0;  // metres to the first building (huge for none)
        float tanTop = 0;    // tan(elevation) of its roof
        float along = 0;     // metres along its front where the sight meets it
        uint8_t facade = 0;  // colour of its front
        uint8_t shopFront = 0;
    };
    void LookAround(const DrivePose& pose);
    // Part `part` of `parts` of the street and sky pixels, or of the rows to convert.
    void DrawRays(const DrivePose& pose, int part, int parts);
    void ConvertRows(const YuvFrame& out, int part, int parts) const;
    uint8_t BuildingColour(const Sight& sight, double height, double distance) const;

    int size_;
    std::vector<Ray> groundRays_;
    std::vector<Ray> aboveRays_;
    std::vector<Sight> sights_;
    std::vector<uint8_t> colours_;                // colour number per pixel of the last frame drawn
    std::array<std::vector<uint8_t>, 3> ground_;  // one block of road, finest first
    std::vector<uint8_t> windows_;                // 1 where a storey's front has a window
    uint8_t lutY_[256] = {};                      // luma of a colour number
    std::vector<uint32_t> chromaPairs_;           // U and V sums of two neighbouring colour numbers
    bool drawn_ = false;
    DrivePose last_;
};

}  // namespace tavrilo::gen
