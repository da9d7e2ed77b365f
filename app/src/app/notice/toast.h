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
// In steps of kToastTickMs since it appeared: opaque for 60, fading over steps
// 61 to 69, gone from step 70 (2.1 s) on.
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
    std::optional<std::uint8_t> opacity; // a new layered opacity, when fading
    bool close = false;                  // stop the timer and hide
    friend bool operator==(const ToastTick&, const ToastTick&) = default;
};

// One timer tick, `elapsed_ms` after the toast appeared. The fade follows the
// clock, not the number of ticks: ticks come late whenever the thread is busy
// or its timers are held back, as around the end of an editor that quits right
// after its notice, and counting them stretched the toast to several seconds.
ToastTick toast_tick(std::uint64_t elapsed_ms);

}  // namespace kadrovix
