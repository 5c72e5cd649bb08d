#include "pixel_spans.h"

#include <algorithm>

namespace vex::platform {

void PixelSpanSet::reset(std::int32_t surfaceWidth, std::int32_t surfaceHeight) {
    width = std::max<std::int32_t>(surfaceWidth, 0);
    height = std::max<std::int32_t>(surfaceHeight, 0);
    spans.clear();
}

void PixelSpanSet::addPixel(std::int64_t x, std::int64_t y) {
    if (x < 0 || x >= width || y < 0 || y >= height) {
        return;
    }
    const auto px = static_cast<std::int32_t>(x);
    const auto py = static_cast<std::int32_t>(y);
    if (!spans.empty()) {
        PixelSpan& last = spans.back();
        if (last.y == py && last.x1 + 1 == px) {
            last.x1 = px;
            return;
        }
    }
    spans.push_back(PixelSpan{py, px, px});
}

void PixelSpanSet::addThinLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    forEachThinLinePixel(x0, y0, x1, y1, width, height,
                         [this](std::int64_t x, std::int64_t y) { addPixel(x, y); });
}

void PixelSpanSet::addBox(std::int64_t left, std::int64_t top, std::int64_t right,
                          std::int64_t bottom) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, width);
    bottom = std::min<std::int64_t>(bottom, height);
    if (left >= right || top >= bottom) {
        return;
    }
    for (std::int64_t y = top; y < bottom; ++y) {
        spans.push_back(PixelSpan{static_cast<std::int32_t>(y), static_cast<std::int32_t>(left),
                                  static_cast<std::int32_t>(right - 1)});
    }
}

const std::vector<PixelSpan>& PixelSpanSet::unite() {
    if (spans.empty()) {
        return spans;
    }
    // Why not one sort: a noisy curve gives thousands of runs over a few hundred rows;
    // grouping by row first (counting sort) and sorting each short row is far cheaper.
    std::int32_t firstRow = spans.front().y;
    std::int32_t lastRow = firstRow;
    for (const PixelSpan& span : spans) {
        firstRow = std::min(firstRow, span.y);
        lastRow = std::max(lastRow, span.y);
    }
    const auto rows = static_cast<std::size_t>(lastRow - firstRow) + 1;
    rowStarts.assign(rows + 1, 0);
    for (const PixelSpan& span : spans) {
        ++rowStarts[static_cast<std::size_t>(span.y - firstRow) + 1];
    }
    for (std::size_t r = 0; r < rows; ++r) {
        rowStarts[r + 1] += rowStarts[r];
    }
    sorted.resize(spans.size());
    rowFill.assign(rowStarts.begin(), rowStarts.end() - 1);
    for (const PixelSpan& span : spans) {
        sorted[rowFill[static_cast<std::size_t>(span.y - firstRow)]++] = span;
    }
    spans.clear();
    for (std::size_t r = 0; r < rows; ++r) {
        const auto begin = sorted.begin() + static_cast<std::ptrdiff_t>(rowStarts[r]);
        const auto end = sorted.begin() + static_cast<std::ptrdiff_t>(rowStarts[r + 1]);
        std::sort(begin, end, [](const PixelSpan& a, const PixelSpan& b) { return a.x0 < b.x0; });
        for (auto it = begin; it != end; ++it) {
            if (!spans.empty() && spans.back().y == it->y && it->x0 <= spans.back().x1 + 1) {
                spans.back().x1 = std::max(spans.back().x1, it->x1);
            } else {
                spans.push_back(*it);
            }
        }
    }
    return spans;
}

} // namespace vex::platform
