// Live mode's picture: the desktop shows through the overlay, so each frame
// is drawn with per-pixel alpha into a desktop-sized surface and handed to
// the layered window.
#pragma once

#include <windows.h>

#include "app/runtime/dib_surface_win32.h"
#include "base/error.h"
#include "render/screen_geometry.h"
#include "session/overlay_look.h"

namespace kadrovix::win32 {

class LiveSurface {
public:
    static Result<LiveSurface> create(const Desktop& desktop);

    HDC dc() const { return surface_.dc(); }
    // Shows the surface as `window`'s picture over the desktop; only `dirty`
    // changed since the last time.
    Result<void> present(HWND window, const PixelBox& dirty) const;

private:
    DibSurface surface_;
    Desktop desktop_;
};

}  // namespace kadrovix::win32
