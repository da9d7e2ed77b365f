// The yardstick for the start of a capture (tools/bench-start.sh): the least a
// Windows program can do to put a full-screen picture up.
//
//   kadrovix_start_probe --show [RRGGBB]
//       Covers the screen with a topmost popup filled with one colour through
//       GDI, and ends half a second after the first paint.
//   kadrovix_start_probe --host MODIFIERS KEY
//       A small window that holds the keyboard focus for the X server's keys
//       and, on the hot key (MODIFIERS as for RegisterHotKey, KEY a virtual
//       key), starts "kadrovix_start_probe --show": the same road from a key
//       to a new process that the resident takes to its editor, so the two
//       starts differ only in what the new process does.
//   kadrovix_start_probe --load NAME...
//       Loads the named libraries one after another, marking "load:NAME"
//       after each, and ends: what each library kadrovix.exe imports adds to
//       the start of a process, in the order given.
//
// All take the marks of app/runtime/start_trace_win32.h (KADROVIX_TRACE_START).
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/runtime/start_trace_win32.h"

namespace {

using kadrovix::win32::mark_start;

constexpr wchar_t kShowClass[] = L"Kadrovix.StartProbe.Show";
constexpr wchar_t kHostClass[] = L"Kadrovix.StartProbe.Host";
constexpr wchar_t kHostTitle[] = L"Kadrovix start probe host";
constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kCloseAfterMs = 500;
constexpr int kHotkeyId = 1;
// Wine sometimes refuses a CreateProcess for a moment (ERROR_INTERNAL_ERROR).
constexpr int kCreateAttempts = 5;

// The popup's colour; its brush lives as long as the window class.
COLORREF g_colour = RGB(0x20, 0xC0, 0x60);
HBRUSH g_brush = nullptr;
bool g_painted = false;

LRESULT CALLBACK show_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT fills everything
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(window, &ps);
            if (dc != nullptr) ::FillRect(dc, &ps.rcPaint, g_brush);
            ::EndPaint(window, &ps);
            if (!g_painted) {
                g_painted = true;
                ::GdiFlush();
                mark_start("painted", true);
                ::SetTimer(window, kCloseTimer, kCloseAfterMs, nullptr);
            }
            return 0;
        }
        case WM_TIMER:
            if (wparam == kCloseTimer) ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

int run_message_loop() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int show(HINSTANCE instance) {
    g_brush = ::CreateSolidBrush(g_colour);
    if (g_brush == nullptr) return 2;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = show_proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kShowClass;
    if (::RegisterClassExW(&wc) == 0) return 3;
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    HWND window = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kShowClass, L"Start probe", WS_POPUP, 0, 0, width,
                                    height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 4;
    ::ShowWindow(window, SW_SHOW);
    mark_start("shown");
    ::SetForegroundWindow(window);
    ::UpdateWindow(window);
    const int code = run_message_loop();
    ::DeleteObject(g_brush);
    return code;
}

std::wstring g_show_command;

void start_show() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        PROCESS_INFORMATION info{};
        std::vector<wchar_t> command(g_show_command.begin(), g_show_command.end());
        command.push_back(L'\0');
        mark_start("child-create");
        if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            mark_start("child-created");
            ::CloseHandle(info.hThread);
            ::CloseHandle(info.hProcess);
            return;
        }
        if (::GetLastError() != ERROR_INTERNAL_ERROR) return;
        ::Sleep(20);
    }
}

LRESULT CALLBACK host_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_HOTKEY:
            if (wparam == kHotkeyId) {
                mark_start("hotkey");
                start_show();
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

int host(HINSTANCE instance, UINT modifiers, UINT key) {
    wchar_t exe[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 2;
    g_show_command = L"\"" + std::wstring(exe, n) + L"\" --show";
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = host_proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kHostClass;
    if (::RegisterClassExW(&wc) == 0) return 3;
    // A captioned window: Wine hands the X keyboard focus to such a window
    // when it is activated, and to it the X server sends the typed keys.
    HWND window = ::CreateWindowExW(0, kHostClass, kHostTitle, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 0, 0, 160, 60,
                                    nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 4;
    ::SetForegroundWindow(window);
    if (!::RegisterHotKey(window, kHotkeyId, modifiers | MOD_NOREPEAT, key)) return 5;
    mark_start("loop");
    const int code = run_message_loop();
    ::UnregisterHotKey(window, kHotkeyId);
    return code;
}

// The arguments split at spaces: enough for these switches and numbers, and
// it keeps shell32 (CommandLineToArgvW) out of a program meant to be minimal.
std::vector<std::wstring> split_arguments(const wchar_t* text) {
    std::vector<std::wstring> args;
    std::wstring current;
    for (const wchar_t* c = text; c != nullptr && *c != L'\0'; ++c) {
        if (*c == L' ' || *c == L'\t') {
            if (!current.empty()) args.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(*c);
        }
    }
    if (!current.empty()) args.push_back(std::move(current));
    return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
    kadrovix::win32::mark_process_created();
    mark_start("entry");
    const std::vector<std::wstring> args = split_arguments(command_line);
    if (!args.empty() && args[0] == L"--show") {
        if (args.size() > 1) {
            const unsigned long rgb = std::wcstoul(args[1].c_str(), nullptr, 16);
            g_colour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
        }
        return show(instance);
    }
    if (!args.empty() && args[0] == L"--load") {
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (::LoadLibraryW(args[i].c_str()) == nullptr) return 2;
            std::string label = "load:";
            for (const wchar_t c : args[i]) label.push_back(static_cast<char>(c));  // ASCII names
            mark_start(label.c_str());
        }
        return 0;
    }
    if (args.size() == 3 && args[0] == L"--host") {
        return host(instance, static_cast<UINT>(std::wcstoul(args[1].c_str(), nullptr, 10)),
                    static_cast<UINT>(std::wcstoul(args[2].c_str(), nullptr, 10)));
    }
    return 1;
}
