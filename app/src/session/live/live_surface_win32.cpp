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

Result<void> LiveSurface::present(HWND window, const PixelBox& dirty) const {
    POINT origin{desktop_.x, desktop_.y};
    SIZE size{desktop_.width, desktop_.height};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // Handing over only what changed spares the system copying the whole
    // desktop-sized surface on each frame.
    const RECT changed{dirty.left, dirty.top, dirty.right, dirty.bottom};
    UPDATELAYEREDWINDOWINFO info{};
    info.cbSize = sizeof info;
    info.pptDst = &origin;
    info.psize = &size;
    info.hdcSrc = surface_.dc();
    info.pptSrc = &source;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = &changed;
    if (::UpdateLayeredWindowIndirect(window, &info)) return {};
    // A system that refuses the dirty rectangle still takes the whole surface.
    if (!::UpdateLayeredWindow(window, nullptr, &origin, &size, surface_.dc(), &source, 0, &blend, ULW_ALPHA)) {
        return fail_last_error();
    }
    return {};
}

}  // namespace kadrovix::win32
