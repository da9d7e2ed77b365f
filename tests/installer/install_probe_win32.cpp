// What install_flow.sh cannot see from the shell. "residents N": waits until exactly N kadrovix.exe run, each
// with its main window. "second-start EXE SETUP": EXE must show the "already running" box; while the box keeps
// that process alive SETUP /S runs, then the box is answered; prints both exit codes.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/events/event_handler_win32.h"
#include "app/messages.h"
#include "app/runtime/text_win32.h"
#include "support/process_win32.h"
#include "support/window_probe_win32.h"

namespace kt = kadrovix::testing;
using namespace kadrovix;

namespace {

// Generous: Wine starts a process in a second or two on a busy machine.
constexpr DWORD kTimeoutMs = 30000;

// Wine's process start can fail for a moment while another process starts.
kt::LaunchedProcess launch(const std::wstring& program, const std::vector<std::wstring>& args) {
    for (int attempt = 0;; ++attempt) {
        kt::LaunchedProcess process(program, args);
        if (process.started() || process.start_error() != ERROR_INTERNAL_ERROR || attempt == 10) return process;
        ::Sleep(200);
    }
}

int residents(std::size_t expected) {
    const bool held = kt::wait_until(
        [&] {
            std::size_t count = 0, with_window = 0;
            for (const kt::ProcessEntry& p : kt::list_processes()) {
                if (::lstrcmpiW(p.exe_name.c_str(), L"kadrovix.exe") != 0) continue;
                ++count;
                if (!kt::top_level_windows(p.id, kMainWindowClass).empty()) ++with_window;
            }
            return count == expected && with_window == expected;
        },
        kTimeoutMs);
    return held ? 0 : 1;
}

int second_start(const std::wstring& exe, const std::wstring& setup) {
    kt::LaunchedProcess second = launch(exe, {});
    const std::wstring text = win32::to_wide(kAlreadyRunningMessage);
    HWND box = kt::wait_for_window(
        second.id(), kt::kDialogClass, [&](HWND dialog) { return kt::dialog_static_text(dialog) == text; },
        kTimeoutMs);
    const auto setup_code = box != nullptr ? launch(setup, {L"/S"}).wait(120000) : std::nullopt;
    const bool alive = second.running();
    const auto code = box != nullptr && kt::dismiss_message_box(box) ? second.wait(kTimeoutMs) : std::nullopt;
    std::printf("box %s, setup %ld, second start %ld\n", box != nullptr && alive ? "shown" : "missing",
                setup_code ? static_cast<long>(*setup_code) : -1L, code ? static_cast<long>(*code) : -1L);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"residents" && argc == 3) return residents(std::stoul(argv[2]));
    if (command == L"second-start" && argc == 4) return second_start(argv[2], argv[3]);
    return std::fprintf(stderr, "usage: residents N | second-start EXE SETUP\n") < 0 ? 3 : 2;
}
