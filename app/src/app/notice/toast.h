// The confirmation toast without the platform: where it goes on a monitor's
// work area at a given DPI, and how its timer ticks fade it out.
#pragma once

#include <cstdint>
#include <optional>

namespace kadrovix {

// Layout in 96-DPI units.
inline constexpr int kToastWidthUnits = 360;
inline constexpr int kToastHeightUnits = 56;
inline constexpr int kToastBottomGapUnits = 24;
inline constexpr int kToastCornerUnits = 12;

inline constexpr std::uint32_t kToastTimerId = 1;
inline constexpr std::uint32_t kToastTickMs = 30;
// Opaque for 60 ticks, fading over ticks 61 to 69, gone at tick 70 (2.1 s).
inline constexpr std::uint32_t kToastOpaqueTicks = 60;
inline constexpr std::uint32_t kToastCloseTick = 70;

struct WorkArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Window rectangle in screen pixels and the corner ellipse of its region.
struct ToastPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int corner = 0;
    friend bool operator==(const ToastPlacement&, const ToastPlacement&) = default;
};

// Centred horizontally, its bottom 24 units above the work area's bottom, and
// never wider than the work area. `dpi` below 96 counts as 96.
ToastPlacement toast_placement(const WorkArea& work, std::uint32_t dpi);

struct ToastTick {
    std::uint32_t ticks = 0;             // the count to store
    std::optional<std::uint8_t> opacity; // a new layered opacity, when it changes
    bool close = false;                  // stop the timer and hide
    friend bool operator==(const ToastTick&, const ToastTick&) = default;
};

// One timer tick, given the ticks counted so far.
ToastTick toast_tick(std::uint64_t ticks_so_far);

}  // namespace kadrovix
