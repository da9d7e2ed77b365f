// RAII owner for a top-level window that has not been handed over yet: a
// window half set up when a later step fails is destroyed on that path.
#pragma once

#include <windows.h>

#include "app/runtime/handles_win32.h"

namespace kadrovix::win32 {

struct WindowTraits {
    using handle_type = HWND;
    static HWND invalid() { return nullptr; }
    static bool valid(HWND h) { return h != nullptr; }
    static void close(HWND h) { ::DestroyWindow(h); }
};
using UniqueWindow = BasicHandle<WindowTraits>;

}  // namespace kadrovix::win32
