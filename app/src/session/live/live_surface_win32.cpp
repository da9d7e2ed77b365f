#include "session/live/live_surface_win32.h"

#include <utility>

#include "base/error_win32.h"

namespace kadrovix::win32 {

Result<LiveSurface> LiveSurface::create(const Desktop& desktop) {
    auto surface = DibSurface::create(desktop.width, desktop.height);
    if (!surface) return propagate(surface);
    LiveSurface live;
    live.surface_ = std::move(*surface);
    live.desktop_ = desktop;
    return live;
}

Result<void> LiveSurface::present(HWND window) const {
    POINT origin{desktop_.x, desktop_.y};
    SIZE size{desktop_.width, desktop_.height};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (!::UpdateLayeredWindow(window, nullptr, &origin, &size, surface_.dc(), &source, 0, &blend, ULW_ALPHA)) {
        return fail_last_error();
    }
    return {};
}

}  // namespace kadrovix::win32
