// The resident's window procedure with a real window and record: messages
// that arrive while a handler holds a menu open.
#include "app/events/event_handler_win32.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include "app/messages.h"
#include "app/runtime/editor_process_win32.h"
#include "support/canvas_win32.h"

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
    app.role = Role::Diagnostics;  // the menu reads no settings file
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

// The editor gets the right to take the foreground before it runs at all.
TEST(ResidentWindow, TheEditorMayTakeTheForegroundBeforeItRuns) {
    std::uint32_t handed_to = 0;
    DWORD suspend_count_then = 0;
    const auto started = start_editor_process(nullptr, [&](std::uint32_t pid) {
        handed_to = pid;
        // Still suspended: its main thread has not run a single instruction.
        HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
            if (entry.th32OwnerProcessID != pid) continue;
            if (HANDLE thread = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID)) {
                suspend_count_then = ::SuspendThread(thread);
                ::ResumeThread(thread);
                ::CloseHandle(thread);
            }
        }
        ::CloseHandle(snapshot);
    });
    ASSERT_TRUE(started.has_value());
    EXPECT_EQ(handed_to, *started);
    EXPECT_GE(suspend_count_then, 1u) << "the editor was already running when it got the foreground right";
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, *started);
    if (process != nullptr) {
        ::WaitForSingleObject(process, 10000);
        ::CloseHandle(process);
    }
}
