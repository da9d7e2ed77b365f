// Looking at and driving another process's windows the way a user would:
// find its top-level windows, read a message box, type real keys into the
// foreground window, and read the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "render/bgra_image.h"

namespace kadrovix::testing {

std::wstring window_class(HWND window);

// The window's text, asked of its own thread (which must be pumping), so
// that controls of other processes answer too; empty on failure.
std::wstring window_text(HWND window);

// Top-level windows of process `process_id` whose class is `class_name`,
// hidden ones included.
std::vector<HWND> top_level_windows(DWORD process_id, std::wstring_view class_name);

// The first top-level window of the process and class that `accept` takes,
// polled until `timeout_ms` passes; null when none appeared.
HWND wait_for_window(DWORD process_id, std::wstring_view class_name, const std::function<bool(HWND)>& accept,
                     DWORD timeout_ms);

// Message boxes: the class of the dialog, its texts and its dismissal.
inline constexpr wchar_t kDialogClass[] = L"#32770";
inline constexpr wchar_t kPopupMenuClass[] = L"#32768";
// The texts of the dialog's static controls (the message; the icon has
// none), joined by line breaks.
std::wstring dialog_static_text(HWND dialog);
// Answers the box as its OK button does.
bool dismiss_message_box(HWND dialog);

// Real keyboard input, through the system's input queue: whatever window
// has the keyboard focus in the foreground receives it.
struct KeyEvent {
    WORD vk = 0;
    bool up = false;
};
bool send_key_events(const std::vector<KeyEvent>& events);
// Presses the keys in order and releases them in reverse: a chord such as
// Ctrl+Shift+S, or one key on its own.
bool press_keys(std::initializer_list<WORD> keys);

// Makes `window` the foreground window and waits until the system says so.
bool bring_to_foreground(HWND window, DWORD timeout_ms);

// The window's client rectangle in screen coordinates.
RECT client_rect_on_screen(HWND window);

// The screen's pixels in `area` (screen coordinates), opaque; empty when the
// screen cannot be read.
BgraImage grab_screen(const RECT& area);

// 0xRRGGBB of a pixel of an image.
std::uint32_t pixel_rgb(const BgraImage& image, int x, int y);

}  // namespace kadrovix::testing
