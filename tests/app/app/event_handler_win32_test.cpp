// The resident's window procedure with a real window and record: messages
// that arrive while a handler holds a menu open.
#include "app/events/event_handler_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "app/messages.h"
#include "app/setup/test_canvas_win32.h"

using namespace kadrovix;

namespace {

constexpr wchar_t kClass[] = L"Kadrovix.Test.Resident";
constexpr std::uint32_t kEditorPid = 4321;

HWND g_window = nullptr;
int g_ticks = 0;

// Runs inside the tray menu's own loop: the editor ends, then the menu closes.
void CALLBACK during_menu(HWND, UINT, UINT_PTR timer, DWORD) {
    if (++g_ticks == 1) {
        ::PostMessageW(g_window, MSG_EDITOR_EXITED, kEditorPid, 0);
    } else if (g_ticks >= 3) {
        ::KillTimer(nullptr, timer);
        ::EndMenu();
    }
}

}  // namespace

TEST(ResidentWindow, EditorEndDuringTheTrayMenuIsNotLost) {
    AppState app;
    app.normal_run = false;  // the menu reads no settings file
    app.editor_running = true;
    app.editor_pid = kEditorPid;
    g_window = kadrovix::testing::create_tool_window(kClass, main_window_proc, &app);
    ASSERT_NE(g_window, nullptr);
    app.main_window = g_window;

    g_ticks = 0;
    ASSERT_NE(::SetTimer(nullptr, 0, 100, during_menu), 0u);
    ::SendMessageW(g_window, MSG_TRAY_CALLBACK, 1, WM_RBUTTONUP);
    EXPECT_GE(g_ticks, 3) << "the menu closed before the editor's end arrived";
    EXPECT_TRUE(kadrovix::testing::pump_until([&] { return !app.editor_running; }, 2000))
        << "the resident still counts the editor as running";

    app.presentation.reset();
    ::DestroyWindow(g_window);
}
