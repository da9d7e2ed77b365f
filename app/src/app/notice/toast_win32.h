// Confirmation toasts: a small dark window near the bottom of the screen that
// never takes the focus, lets clicks through, stays out of screen captures
// and fades away after about two seconds.
#pragma once

#include <windows.h>

#include <string_view>

#include "app/app_state_win32.h"
#include "app/messages.h"
#include "base/error.h"

namespace kadrovix {

inline constexpr wchar_t kToastWindowClass[] = L"Kadrovix.Confirmation";
inline constexpr DWORD kToastExStyle =
    WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_NOACTIVATE;

inline constexpr COLORREF kToastFill = RGB(0x26, 0x26, 0x26);
inline constexpr COLORREF kToastOutline = RGB(0x49, 0x49, 0x49);
inline constexpr COLORREF kToastText = RGB(0xF0, 0xF0, 0xF0);

// The editor (with a notification owner) posts MSG_NOTICE to the resident;
// the resident shows the kind's toast; an editor without an owner, and any
// process outside a normal run, shows nothing.
void notify(AppState& app, NoticeKind kind);

// Replaces the toast on screen, if any, with a new one. A toast that cannot
// be created is dropped silently; the old one still goes.
void show_toast(AppState& app, std::string_view text);

// Stops, detaches and destroys the toast on screen, if any.
void close_toast(AppState& app);

// A new, shown toast window on the monitor nearest the cursor.
Result<HWND> create_toast_window(std::string_view text);

// Paints a toast of `text` into `client` of `dc` (WM_PAINT, and previews).
void draw_toast(HDC dc, const RECT& client, std::wstring_view text);

}  // namespace kadrovix
