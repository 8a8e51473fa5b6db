#pragma once
// The skinned slider's arithmetic, apart from the widget: where its thumb stands, what
// position a pointer x means, which presses count and which hit the thumb.

namespace tavrilo {

struct SliderGeometry {
    int width = 0;  // the slider's client width in pixels
    int minimum = 0;
    int maximum = 0;
    int thumbWidth = 0;

    // The range has maximum - minimum + 1 steps.
    int steps() const { return maximum - minimum + 1; }
    // The filled share of the track at `position`: position / steps.
    double FilledFraction(int position) const;
    // The thumb's left edge: position x (width - thumb width) / steps.
    int ThumbX(int position) const;
    // The position a pointer at `x` points to: trunc(x / (width / steps)), clamped to the range.
    int PositionAt(int x) const;
    // Presses and drags count from 10 pixels left of the slider to 10 pixels right of it.
    bool InsidePressBounds(int x) const { return x > -10 && x < width + 10; }
    // A press hits the thumb when it lies strictly within 10 pixels of the thumb's rectangle.
    bool HitsThumb(int x, int position) const;
};

}  // namespace tavrilo
