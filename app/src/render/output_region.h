// The pixel rectangle of the capture that an output image covers.
#pragma once

#include <cstdint>

#include "base/error.h"
#include "editor/annotation.h"

namespace kadrovix {

// A rectangle by its edges in desktop (capture) pixels: a selected region,
// fractional after dragging or zooming, or a part of the toolbar.
struct RegionF {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;

    double width() const { return right - left; }
    double height() const { return bottom - top; }
    // Edges included.
    bool contains(Point p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
    RegionF grown(double by) const { return {left - by, top - by, right + by, bottom + by}; }
    friend bool operator==(const RegionF&, const RegionF&) = default;
};

// Whole capture pixels, x0 <= x < x1 and y0 <= y < y1.
struct PixelRect {
    std::uint32_t x0 = 0;
    std::uint32_t y0 = 0;
    std::uint32_t x1 = 0;
    std::uint32_t y1 = 0;
    std::uint32_t width() const { return x1 - x0; }
    std::uint32_t height() const { return y1 - y0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

inline constexpr char kEmptyRegionMessage[] = "Empty capture region";

// Rounds the region outwards to whole pixels (every partly covered pixel is
// kept) and clamps it to a capture of the given size. A region with nothing
// left, or with a coordinate that is not a number, is the invalid-argument
// error "Empty capture region".
Result<PixelRect> output_pixels(const RegionF& region, std::uint32_t capture_width, std::uint32_t capture_height);

}  // namespace kadrovix
