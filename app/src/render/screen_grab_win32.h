// The picture of the whole virtual screen (all monitors) that a capture works on.
#pragma once

#include "base/error.h"
#include "render/bgra_image.h"
#include "render/screen_geometry.h"

namespace kadrovix::win32 {

// One GDI copy of the virtual screen, layered windows included. The result
// has the virtual-screen size and origin and is fully opaque.
Result<BgraImage> grab_virtual_screen();

// The live-capture refresh: a new grab that must have the same size and
// origin as `earlier`, else "Display configuration changed. Start a new
// capture." (the new picture is dropped). A failed grab is returned as is.
Result<BgraImage> regrab_virtual_screen(const Desktop& earlier);

}  // namespace kadrovix::win32
