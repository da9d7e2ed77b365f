// The main window's procedure, the event handler it routes to, and the
// message loop of every role.
#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

#include "app/app_state_win32.h"
#include "base/error.h"

namespace kadrovix {

inline constexpr wchar_t kMainWindowClass[] = L"Kadrovix.Window";

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// nullopt: not handled, default handling follows.
Result<std::optional<LRESULT>> handle_event(AppState& app, HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam);

// Runs until a quit message; code 0 is the orderly end, any other code the
// error "Unexpected internal failure. Kadrovix has stopped.".
Result<void> run_message_loop(AppState& app);

// An information box captioned "Kadrovix", owned by `owner` (may be null).
void show_message(HWND owner, std::string_view text);

// The capture request of the shortcut, the menu and "--capture".
Result<void> request_capture(AppState& app);

}  // namespace kadrovix
