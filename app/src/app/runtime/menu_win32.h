// RAII owner for a menu handle. Destroying a menu destroys the submenus
// attached to it, so a submenu is released from its owner once appended.
#pragma once

#include <windows.h>

#include "app/runtime/handles_win32.h"

namespace kadrovix::win32 {

struct MenuTraits {
    using handle_type = HMENU;
    static HMENU invalid() { return nullptr; }
    static bool valid(HMENU h) { return h != nullptr; }
    static void close(HMENU h) { ::DestroyMenu(h); }
};
using UniqueMenu = BasicHandle<MenuTraits>;

}  // namespace kadrovix::win32
