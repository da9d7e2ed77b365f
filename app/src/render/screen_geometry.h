// Where a capture sat on the virtual screen, and the check that live capture
// makes before it replaces the picture under an unchanged selection.
#pragma once

#include <cstdint>

#include "app/runtime/error.h"
#include "render/bgra_image.h"

namespace kadrovix {

struct ScreenGeometry {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::int32_t origin_x = 0;
    std::int32_t origin_y = 0;
    friend bool operator==(const ScreenGeometry&, const ScreenGeometry&) = default;
};

inline constexpr char kDisplayChangedMessage[] = "Display configuration changed. Start a new capture.";

inline ScreenGeometry geometry_of(const BgraImage& image) {
    return ScreenGeometry{image.width, image.height, image.origin_x, image.origin_y};
}

// Success when all four values agree; otherwise the general failure
// "Display configuration changed. Start a new capture." (monitors added,
// removed, moved or resized since the first grab).
Result<void> check_same_display(const ScreenGeometry& earlier, const ScreenGeometry& now);

}  // namespace kadrovix
