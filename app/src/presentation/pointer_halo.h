// The pointer halo's decisions, free of windows and drawing calls: the size of
// its square window on a monitor, where that window goes for a pointer
// position, how raw mouse button transitions change its state, and what one
// frame paints. The Windows side feeds it cursor positions, monitor DPI, raw
// button flags and monotonic milliseconds, and draws what `halo_frame` says.
#pragma once

#include <cstdint>
#include <optional>

#include "editor/annotation.h"

namespace kadrovix {

// Side of the halo window at 100 % scaling; other scales multiply it.
inline constexpr std::int32_t kHaloBaseSide = 72;
// The colour of a held button, whatever the user's halo colour.
inline constexpr Rgb kHaloPressColour{237, 79, 92};
// How long the ring sent out by a press grows and fades.
inline constexpr std::uint64_t kHaloClickRingMs = 300;
inline constexpr double kHaloFillAlpha = 0.14;
inline constexpr double kHaloPressedFillAlpha = 0.24;
inline constexpr double kHaloOutlineAlpha = 0.55;
inline constexpr double kHaloOutlineWidth = 2.0;
inline constexpr double kHaloRingGrowth = 0.4;
inline constexpr double kHaloRingStartAlpha = 0.5;

// Raw mouse button transition bits as the system reports them in a raw mouse
// record (usButtonFlags). Only the three main buttons matter to the halo.
inline constexpr std::uint16_t kRawLeftDown = 0x0001;
inline constexpr std::uint16_t kRawLeftUp = 0x0002;
inline constexpr std::uint16_t kRawRightDown = 0x0004;
inline constexpr std::uint16_t kRawRightUp = 0x0008;
inline constexpr std::uint16_t kRawMiddleDown = 0x0010;
inline constexpr std::uint16_t kRawMiddleUp = 0x0020;

// trunc(72 x dpi / 96), dpi being the horizontal effective DPI of the monitor
// under the pointer. A failed query (0) or any value under 96 counts as 96: no
// monitor is scaled below 100 %.
std::int32_t halo_side(std::uint32_t dpi);

struct HaloPlacement {
    std::int32_t side = 0;
    // The window exists at another size (or not at all): make it again at
    // `side`, then paint it, before moving it.
    bool recreate = false;
    // Top-left corner of the window, centred on the pointer with the side
    // halved in integers.
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Where the halo goes for the pointer at (cursor_x, cursor_y) on a monitor of
// `dpi`, given the side of the existing window (none when there is no window).
HaloPlacement follow_pointer(std::int32_t cursor_x, std::int32_t cursor_y, std::uint32_t dpi,
                             std::optional<std::int32_t> current_side);

struct HaloButtons {
    bool left = false;
    bool right = false;
    bool middle = false;
    // Set by any press of the three buttons; with `last_press_ms` it drives
    // the click ring.
    bool click = false;
    std::uint64_t last_press_ms = 0;

    bool pressed() const { return left || right || middle; }
    friend bool operator==(const HaloButtons&, const HaloButtons&) = default;
};

// Applies one raw record's button transitions at time `now_ms`. A record that
// carries both the press and the release of a button leaves it released, with
// the press still sending out its ring. Gives true when the halo must be
// repainted and the animation started (any of the six transitions was
// present); X buttons and the wheel give false and change nothing.
bool apply_button_flags(HaloButtons& buttons, std::uint16_t button_flags, std::uint64_t now_ms);

// Milliseconds from `earlier` to `now`, 0 when the clock reads earlier than
// `earlier` (saturating, never wrapping).
std::uint64_t elapsed_ms(std::uint64_t earlier, std::uint64_t now);

// True while the last press's ring is still running.
bool halo_ring_running(const HaloButtons& buttons, std::uint64_t now_ms);

struct HaloCircle {
    double radius = 0.0;
    Rgb colour;
    double alpha = 0.0;
};

// Everything one frame of a halo window of side `width` shows, around the
// window's centre.
struct HaloFrame {
    Point centre;
    HaloCircle fill;
    HaloCircle outline;
    double outline_width = kHaloOutlineWidth;
    std::optional<HaloCircle> ring;
    double ring_width = kHaloOutlineWidth;
};

HaloFrame halo_frame(std::int32_t width, const HaloButtons& buttons, Rgb halo_colour, std::uint64_t now_ms);

}  // namespace kadrovix
