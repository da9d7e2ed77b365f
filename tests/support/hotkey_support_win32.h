// Shared by the hot-key and settings-panel Windows tests: a hidden window to
// register hot keys on, and child processes that hold or try a combination
// from another process (hotkeys_win32_test.cpp defines the children).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/child_process_win32.h"

namespace kadrovix::testing {

// A hidden popup tool window like the resident's main window.
class HotkeyWindow {
public:
    HotkeyWindow() {
        static const ATOM atom = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = ::DefWindowProcW;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"Kadrovix.Test.HotkeyWindow";
            return ::RegisterClassExW(&wc);
        }();
        (void)atom;
        window_ =
            ::CreateWindowExW(WS_EX_TOOLWINDOW, L"Kadrovix.Test.HotkeyWindow", L"Kadrovix", WS_POPUP, CW_USEDEFAULT,
                              CW_USEDEFAULT, 620, 230, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~HotkeyWindow() {
        if (window_ != nullptr) ::DestroyWindow(window_);
    }
    HotkeyWindow(const HotkeyWindow&) = delete;
    HotkeyWindow& operator=(const HotkeyWindow&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

// Exit codes of the "try_hotkey" child.
inline constexpr long kTryRegistered = 0;
inline constexpr long kTryAlreadyRegistered = 1;
inline constexpr long kTryOtherError = 2;

// What another process gets when it registers (modifiers, key) on its own window.
inline long try_from_other_process(unsigned modifiers, unsigned key) {
    ChildProcess child(L"try_hotkey", {std::to_wstring(modifiers), std::to_wstring(key)});
    return child.started() ? child.wait(30000) : -1;
}

// Another process holding (modifiers, key) until destroyed.
class OtherProcessHotkey {
public:
    OtherProcessHotkey(unsigned modifiers, unsigned key)
        : suffix_(std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(modifiers) + L"." +
                  std::to_wstring(key)),
          held_(L"Local\\Kadrovix.Test.HotkeyHeld." + suffix_),
          release_(L"Local\\Kadrovix.Test.HotkeyRelease." + suffix_),
          child_(L"hold_hotkey", {std::to_wstring(modifiers), std::to_wstring(key), suffix_}) {}
    ~OtherProcessHotkey() {
        release_.set();
        child_.wait(10000);
    }
    // True once the child holds the combination.
    bool wait_held() { return child_.started() && held_.wait(30000); }

private:
    std::wstring suffix_;
    NamedEvent held_;
    NamedEvent release_;
    ChildProcess child_;
};

}  // namespace kadrovix::testing
