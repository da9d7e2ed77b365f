#include "presentation/pointer_halo.h"

#include <cstdint>

namespace kadrovix {

std::int32_t halo_side(std::uint32_t dpi) {
    // 64-bit product: no DPI the system can report overflows it, and integer
    // division truncates as the size rule wants.
    const std::uint64_t side = static_cast<std::uint64_t>(kHaloBaseSide) * (dpi < 96 ? 96 : dpi) / 96;
    constexpr std::uint64_t largest = static_cast<std::uint64_t>(INT32_MAX);
    return static_cast<std::int32_t>(side < largest ? side : largest);
}

HaloPlacement follow_pointer(std::int32_t cursor_x, std::int32_t cursor_y, std::uint32_t dpi,
                             std::optional<std::int32_t> current_side) {
    HaloPlacement placement;
    placement.side = halo_side(dpi);
    placement.recreate = !current_side || *current_side != placement.side;
    placement.x = cursor_x - placement.side / 2;
    placement.y = cursor_y - placement.side / 2;
    return placement;
}

bool apply_button_flags(HaloButtons& buttons, std::uint16_t button_flags, std::uint64_t now_ms) {
    constexpr std::uint16_t downs = kRawLeftDown | kRawRightDown | kRawMiddleDown;
    constexpr std::uint16_t ups = kRawLeftUp | kRawRightUp | kRawMiddleUp;
    if ((button_flags & (downs | ups)) == 0) return false;

    if (button_flags & kRawLeftDown) buttons.left = true;
    if (button_flags & kRawRightDown) buttons.right = true;
    if (button_flags & kRawMiddleDown) buttons.middle = true;
    if (button_flags & downs) {
        buttons.click = true;
        buttons.last_press_ms = now_ms;
    }
    if (button_flags & kRawLeftUp) buttons.left = false;
    if (button_flags & kRawRightUp) buttons.right = false;
    if (button_flags & kRawMiddleUp) buttons.middle = false;
    return true;
}

std::uint64_t elapsed_ms(std::uint64_t earlier, std::uint64_t now) { return now > earlier ? now - earlier : 0; }

bool halo_ring_running(const HaloButtons& buttons, std::uint64_t now_ms) {
    return buttons.click && elapsed_ms(buttons.last_press_ms, now_ms) < kHaloClickRingMs;
}

HaloFrame halo_frame(std::int32_t width, const HaloButtons& buttons, Rgb halo_colour, std::uint64_t now_ms) {
    HaloFrame frame;
    const double w = static_cast<double>(width);
    frame.centre = {w / 2.0, w / 2.0};
    const double r = w / 3.0;
    const bool pressed = buttons.pressed();
    const Rgb colour = pressed ? kHaloPressColour : halo_colour;

    frame.fill = {r, colour, pressed ? kHaloPressedFillAlpha : kHaloFillAlpha};
    frame.outline = {r, colour, kHaloOutlineAlpha};
    if (halo_ring_running(buttons, now_ms)) {
        const double t = static_cast<double>(elapsed_ms(buttons.last_press_ms, now_ms)) /
                         static_cast<double>(kHaloClickRingMs);
        frame.ring = HaloCircle{r * (1.0 + kHaloRingGrowth * t), colour, (1.0 - t) * kHaloRingStartAlpha};
    }
    return frame;
}

}  // namespace kadrovix
