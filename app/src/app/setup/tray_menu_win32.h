// The notification-area icon and its dark, owner-drawn popup menu.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "app/app_state_win32.h"
#include "app/runtime/menu_win32.h"
#include "app/setup/tray_menu.h"
#include "base/error.h"

namespace kadrovix {

inline constexpr UINT kTrayIconId = 1;
inline constexpr std::string_view kTrayTip = "Kadrovix \u2014 capture and annotate";

// Menu colours.
inline constexpr COLORREF kMenuBackground = RGB(0x2B, 0x2B, 0x2B);
inline constexpr COLORREF kMenuSelected = RGB(0x41, 0x41, 0x41);
inline constexpr COLORREF kMenuSeparatorLine = RGB(0x49, 0x49, 0x49);
inline constexpr COLORREF kMenuText = RGB(0xF0, 0xF0, 0xF0);
inline constexpr COLORREF kMenuAccelerator = RGB(0xC6, 0xC6, 0xC6);

// Fills app.tray_icon for the main window (app.main_window must be set):
// icon id 1, message + icon + tip, MSG_TRAY_CALLBACK, the given small icon.
void fill_tray_icon_record(AppState& app, HICON small_icon);
// Adds the filled icon; false when the shell refuses.
bool add_tray_icon(AppState& app);
// Removes the icon if it was added; safe to call more than once.
void delete_tray_icon(AppState& app);

// MSG_TRAY_CALLBACK with WM_LBUTTONUP or WM_RBUTTONUP: re-reads the settings,
// shows the menu at the cursor and carries out the chosen command.
Result<void> show_tray_menu(AppState& app);

// Carries out one menu command; 0 does nothing.
Result<void> run_tray_command(AppState& app, std::uint32_t id);

// The popup menu of a model, owner-drawn items carrying their text and data.
Result<win32::UniqueMenu> create_tray_menu(const TrayMenuModel& model);

// WM_MEASUREITEM / WM_DRAWITEM for the tray menu's items, with `window` the
// menu's owner (its DPI scales the items). False when the item is not a menu item.
bool measure_menu_item(HWND window, MEASUREITEMSTRUCT* item);
bool draw_menu_item(HWND window, DRAWITEMSTRUCT* item);
// The same drawing at an explicit DPI (previews, and monitors set apart from their window).
bool draw_menu_item(DRAWITEMSTRUCT* item, std::uint32_t dpi);

}  // namespace kadrovix
