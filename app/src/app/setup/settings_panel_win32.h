// The settings panel window: the resident's main window given a caption,
// centred on screen and painted with GDI. Event handler entries for it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/app_state_win32.h"
#include "app/setup/settings_panel.h"
#include "base/error.h"

namespace kadrovix {

// Re-reads the settings (normal run), releases presentation mode's shape
// shortcuts while the panel is open, resets the panel for `page`, and shows
// the main window as a 640 x 450 (at 96 DPI) dark captioned window centred
// in its monitor's work area.
Result<void> open_panel(AppState& app, PanelPage page);

// Cancel, Escape, a successful save and the close button. Presentation mode
// gets its features back. Without any registered capture shortcut, leaving
// the capture page ends the resident (quit code 0); otherwise the window hides.
void close_panel(AppState& app);

// WM_PAINT: the whole client area, drawn off-screen and copied to `dc`.
void paint_panel(AppState& app, HWND window, HDC dc);

// WM_LBUTTONDOWN at a client point.
Result<void> panel_left_button(AppState& app, POINT client);

// WM_KEYDOWN / WM_SYSKEYDOWN (key_up false; auto-repeats already dropped),
// and the key-up of Print Screen while waiting for a shortcut (key_up true).
// Modifiers come from the thread's key state.
Result<void> panel_key(AppState& app, UINT vk, bool key_up);

// WM_HOTKEY while waiting for a shortcut: modifiers from the low word of
// lParam, key from the high word.
Result<void> panel_hotkey(AppState& app, std::uint32_t modifiers, std::uint32_t key);

// WM_DPICHANGED: takes the system's suggested rectangle.
void panel_dpi_changed(HWND window, const RECT* suggested);

}  // namespace kadrovix
