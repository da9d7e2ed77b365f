#include "app/notice/toast.h"

#include <algorithm>

namespace kadrovix {

namespace {

int scale(int units, std::uint32_t dpi) {
    const std::int64_t d = dpi < 96 ? 96 : dpi;
    return static_cast<int>(units * d / 96);
}

}  // namespace

ToastPlacement toast_placement(const WorkArea& work, std::uint32_t dpi) {
    const int work_width = std::max(0, work.right - work.left);
    ToastPlacement p;
    p.height = scale(kToastHeightUnits, dpi);
    p.width = std::min(work_width, scale(kToastWidthUnits, dpi));
    p.x = work.left + (work_width - p.width) / 2;
    p.y = work.bottom - scale(kToastBottomGapUnits, dpi) - p.height;
    p.corner = scale(kToastCornerUnits, dpi);
    return p;
}

ToastTick toast_tick(std::uint64_t elapsed_ms) {
    const std::uint64_t n = elapsed_ms / kToastTickMs;
    ToastTick tick;
    if (n >= kToastCloseTick) {
        tick.close = true;
    } else if (n > kToastOpaqueTicks) {
        tick.opacity = static_cast<std::uint8_t>((kToastCloseTick - n) * 255 / 10);
    }
    return tick;
}

}  // namespace kadrovix
