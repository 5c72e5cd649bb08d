// Pixel sets of aliased GDI+ geometry: the pixels of a thin line one by one, and shapes as
// horizontal runs clipped to a surface.
//
// Why: GDI+ lights a definite set of pixels for a thin line (both end points, round half
// up, the same pixels in either direction) and blends a polyline's union once. Stroking
// with Cairo picks other pixels at ties, so the stand-in computes the pixels itself, in
// integer arithmetic, and writes them into the image surface's memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vex::platform {

namespace detail {

static_assert(sizeof(__int128) == 16, "the line set-up needs 128-bit products");

// Quotient rounded toward minus infinity and the matching remainder in [0, divisor),
// for divisor > 0.
inline void floorDivide(__int128 numerator, std::int64_t divisor, std::int64_t& quotient,
                        std::int64_t& remainder) {
    __int128 q = numerator / divisor;
    __int128 r = numerator % divisor;
    if (r < 0) {
        --q;
        r += divisor;
    }
    quotient = static_cast<std::int64_t>(q);
    remainder = static_cast<std::int64_t>(r);
}

// Steps u from `first` to `last` with v = v0 + q, the remainder r in [0, twoDu) moving by
// twoDv (|twoDv| <= twoDu), calling plot(u, v) where 0 <= v < vLimit. Stops early once v
// has left [0, vLimit) in the direction it moves.
template <typename Plot>
inline void walkMajorAxis(std::int64_t first, std::int64_t last, std::int64_t v0, std::int64_t q,
                          std::int64_t r, std::int64_t twoDu, std::int64_t twoDv,
                          std::int64_t vLimit, Plot&& plot) {
    for (std::int64_t u = first; u <= last; ++u) {
        const std::int64_t v = v0 + q;
        if (v >= 0 && v < vLimit) {
            plot(u, v);
        } else if ((twoDv >= 0 && v >= vLimit) || (twoDv <= 0 && v < 0)) {
            break; // moving away from the surface for good
        }
        r += twoDv;
        if (r >= twoDu) {
            r -= twoDu;
            ++q;
        } else if (r < 0) {
            r += twoDu;
            --q;
        }
    }
}

} // namespace detail

// Calls plot(x, y) once for each pixel of the 1-pixel line from (x0, y0) to (x1, y1) that
// lies in [0, width) x [0, height); both ends are lit, a zero-length line lights nothing.
// One pixel per column when |dx| >= |dy| (per row otherwise) at
// y = y0 + floor((2 dy (x - x0) + dx) / (2 dx)) with x0 < x1, so ties go to the larger
// coordinate whichever way the line is given. Pixels come in order along the major axis.
template <typename Plot>
inline void forEachThinLinePixel(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                                 std::int32_t width, std::int32_t height, Plot&& plot) {
    const std::int64_t adx = x1 >= x0 ? x1 - x0 : x0 - x1;
    const std::int64_t ady = y1 >= y0 ? y1 - y0 : y0 - y1;
    if (adx == 0 && ady == 0) {
        return;
    }
    const bool xMajor = adx >= ady;
    // Work along the major axis "u" with the minor axis "v"; u runs upward.
    std::int64_t u0 = xMajor ? x0 : y0;
    std::int64_t v0 = xMajor ? y0 : x0;
    std::int64_t u1 = xMajor ? x1 : y1;
    std::int64_t v1 = xMajor ? y1 : x1;
    if (u1 < u0) {
        std::swap(u0, u1);
        std::swap(v0, v1);
    }
    const std::int64_t du = u1 - u0; // > 0
    const std::int64_t dv = v1 - v0; // |dv| <= du
    const std::int64_t uLimit = xMajor ? width : height;
    const std::int64_t vLimit = xMajor ? height : width;
    const std::int64_t first = std::max<std::int64_t>(u0, 0);
    const std::int64_t last = std::min<std::int64_t>(u1, uLimit - 1);
    if (first > last) {
        return;
    }
    // v(u) = v0 + floor((2 dv (u - u0) + du) / (2 du)), stepped exactly from the first
    // visible u. From u0 itself the quotient is 0 and the remainder du, no division needed.
    const std::int64_t twoDu = 2 * du;
    const std::int64_t twoDv = 2 * dv;
    std::int64_t q = 0;
    std::int64_t r = du;
    if (first != u0) {
        detail::floorDivide(static_cast<__int128>(twoDv) * (first - u0) + du, twoDu, q, r);
    }
    if (xMajor) {
        detail::walkMajorAxis(first, last, v0, q, r, twoDu, twoDv, vLimit,
                              [&plot](std::int64_t u, std::int64_t v) { plot(u, v); });
    } else {
        detail::walkMajorAxis(first, last, v0, q, r, twoDu, twoDv, vLimit,
                              [&plot](std::int64_t u, std::int64_t v) { plot(v, u); });
    }
}

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

    // The pixels of forEachThinLinePixel's 1-pixel line from (x0, y0) to (x1, y1).
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
