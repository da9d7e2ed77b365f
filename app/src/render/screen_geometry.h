// Where a capture sat on the virtual screen, and the check that live capture
// makes before it replaces the picture under an unchanged selection.
#pragma once

#include <cstdint>

#include "base/error.h"
#include "render/bgra_image.h"

namespace kadrovix {

// The virtual desktop as grabbed: its top-left corner in screen coordinates
// and its size. Session coordinates ("desktop pixels") have their origin at
// that corner; they are also the capture image's pixels.
struct Desktop {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Desktop&, const Desktop&) = default;
};

inline constexpr char kDisplayChangedMessage[] = "Display configuration changed. Start a new capture.";

// Images are never wider or taller than validate_image allows, far below 2^31.
inline Desktop geometry_of(const BgraImage& image) {
    return Desktop{image.origin_x, image.origin_y, static_cast<std::int32_t>(image.width),
                   static_cast<std::int32_t>(image.height)};
}

// Success when all four values agree; otherwise the general failure
// "Display configuration changed. Start a new capture." (monitors added,
// removed, moved or resized since the first grab).
Result<void> check_same_display(const Desktop& earlier, const Desktop& now);

}  // namespace kadrovix
