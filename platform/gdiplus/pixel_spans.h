// Pixel sets of aliased GDI+ geometry, as horizontal runs clipped to a surface.
//
// Why: GDI+ lights a definite set of pixels for a thin line (both end points, round half
// up, the same pixels in either direction) and blends a polyline's union once. Stroking
// with Cairo picks other pixels at ties, so the stand-in computes the pixels itself, in
// integer arithmetic, and hands Cairo only whole-pixel rectangles.
#pragma once

#include <cstdint>
#include <vector>

namespace vex::platform {

// Columns x0..x1 (inclusive) of row y.
struct PixelSpan {
    std::int32_t y;
    std::int32_t x0;
    std::int32_t x1;
};

// Collects the pixels of several shapes, then their union as sorted, disjoint runs.
// Everything is clipped to the surface [0, width) x [0, height). Reused across calls so
// drawing allocates only while the run buffer grows.
class PixelSpanSet {
public:
    void reset(std::int32_t surfaceWidth, std::int32_t surfaceHeight);

    // A 1-pixel line from (x0, y0) to (x1, y1), both ends lit; a zero-length line adds
    // nothing. One pixel per column when |dx| >= |dy| (per row otherwise) at
    // y = y0 + floor((2 dy (x - x0) + dx) / (2 dx)) with x0 < x1, so ties go to the larger
    // coordinate whichever way the line is given.
    void addThinLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1);

    // Pixels [left, right) x [top, bottom); an empty box adds nothing.
    void addBox(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);

    // Sorts the runs by row and column and joins overlapping or touching ones, so that
    // every pixel appears once. Answers the result.
    const std::vector<PixelSpan>& unite();

    // The runs as added, possibly overlapping; enough where blending twice changes
    // nothing (opaque colours).
    const std::vector<PixelSpan>& runs() const { return spans; }

    bool empty() const { return spans.empty(); }

private:
    void addPixel(std::int64_t x, std::int64_t y);

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<PixelSpan> spans;
    std::vector<PixelSpan> sorted;      // scratch of unite
    std::vector<std::size_t> rowStarts; // scratch of unite
    std::vector<std::size_t> rowFill;   // scratch of unite
};

} // namespace vex::platform
