// Windows of the test's own thread: a plain visible popup to parent controls
// and take paints, a hidden tool window with a procedure of the test's
// choice, and pumping this thread's messages until a condition holds.
#pragma once

#include <windows.h>

namespace kadrovix::testing {

// Handles what is queued for this thread's windows.
inline void pump_messages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Processes this thread's messages until `done` holds or `timeout_ms` passes.
template <class Condition>
bool pump_until(Condition done, DWORD timeout_ms) {
    const ULONGLONG end = ::GetTickCount64() + timeout_ms;
    while (!done()) {
        if (::GetTickCount64() >= end) return false;
        pump_messages();
        if (done()) break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// A small hidden tool window of class `class_name` (registered on first use)
// served by `proc`; `create_param` reaches WM_NCCREATE.
inline HWND create_tool_window(const wchar_t* class_name, WNDPROC proc, void* create_param = nullptr) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = class_name;
    ::RegisterClassExW(&wc);
    return ::CreateWindowExW(WS_EX_TOOLWINDOW, class_name, L"Kadrovix", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, create_param);
}

// A hidden STATIC popup of this thread: an owner for the clipboard and for
// message boxes, on the thread that uses it.
struct HiddenWindow {
    HiddenWindow()
        : handle(::CreateWindowExW(0, L"STATIC", L"Kadrovix test", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr)) {}
    ~HiddenWindow() {
        if (handle != nullptr) ::DestroyWindow(handle);
    }
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;
    HWND handle;
};

// A visible popup on this thread; messages to it get default handling.
class TestWindow {
public:
    explicit TestWindow(int width = 640, int height = 360) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Kadrovix.TestWindow";
        ::RegisterClassExW(&wc);  // registered already by an earlier test: fine
        window_ = ::CreateWindowExW(0, wc.lpszClassName, L"test", WS_POPUP | WS_VISIBLE, 40, 40, width, height, nullptr,
                                    nullptr, wc.hInstance, nullptr);
        pump();
    }
    ~TestWindow() {
        if (window_ != nullptr) ::DestroyWindow(window_);
        pump();
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND get() const { return window_; }

    static void pump() { pump_messages(); }

    // Whether part of the window waits to be painted.
    bool needs_paint() const {
        RECT r{};
        return ::GetUpdateRect(window_, &r, FALSE) != FALSE;
    }
    void mark_painted() const { ::ValidateRect(window_, nullptr); }

private:
    HWND window_ = nullptr;
};

}  // namespace kadrovix::testing
