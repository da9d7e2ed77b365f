// "--render-demo": renders sample images with the program's own renderer and
// UI painting into target/ (relative to the working folder).
#pragma once

#include "base/error.h"

namespace kadrovix {

// Writes target/kadrovix-demo.png (a desktop-like capture with every kind of
// annotation in all six colours), target/kadrovix-menu.png (the tray menu)
// and target/kadrovix-confirmation.png (a toast). The thread must have COM
// initialised.
Result<void> run_render_demo();

}  // namespace kadrovix
