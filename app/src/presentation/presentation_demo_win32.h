// Pictures of presentation mode for "--render-demo": the pointer halo idle
// and pressed, temporary shapes fading, and the keyboard-and-mouse display on
// a US and a French layout, each laid over a desktop picture the way the
// system composes the overlay windows.
#pragma once

#include <filesystem>

#include "base/error.h"
#include "render/bgra_image.h"

namespace kadrovix::win32 {

// Writes target/kadrovix-presentation-*.png into `folder` over `desktop`.
Result<void> write_presentation_demo(const BgraImage& desktop, const std::filesystem::path& folder);

}  // namespace kadrovix::win32
