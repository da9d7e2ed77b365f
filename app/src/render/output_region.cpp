#include "render/output_region.h"

#include <algorithm>
#include <cmath>

namespace kadrovix {

namespace {

// Clamping happens in double so that huge or infinite coordinates never reach
// an integer conversion.
std::uint32_t clamp_to(double v, std::uint32_t limit) {
    return static_cast<std::uint32_t>(std::clamp(v, 0.0, static_cast<double>(limit)));
}

}  // namespace

Result<PixelRect> output_pixels(const RegionF& region, std::uint32_t capture_width, std::uint32_t capture_height) {
    if (std::isnan(region.left) || std::isnan(region.top) || std::isnan(region.right) || std::isnan(region.bottom)) {
        return invalid_argument(kEmptyRegionMessage);
    }
    PixelRect r;
    r.x0 = clamp_to(std::floor(region.left), capture_width);
    r.y0 = clamp_to(std::floor(region.top), capture_height);
    r.x1 = clamp_to(std::ceil(region.right), capture_width);
    r.y1 = clamp_to(std::ceil(region.bottom), capture_height);
    if (r.x1 <= r.x0 || r.y1 <= r.y0) return invalid_argument(kEmptyRegionMessage);
    return r;
}

}  // namespace kadrovix
