// The editor's clipboard commands: the output image as CF_DIB, a colour as
// Unicode text, and annotation objects, which stay in the editor's memory
// while a private marker format on the clipboard says whether they are still
// its current content. All of these run on the editor window's thread, with
// that window as the clipboard owner.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "base/error.h"
#include "editor/editor.h"
#include "render/bgra_image.h"
#include "session/io/clipboard.h"

namespace kadrovix::win32 {

inline constexpr wchar_t kAnnotationsClipboardFormatW[] = L"Kadrovix.Annotations.Session";

// Replaces the whole clipboard content with `bytes` in `format`, owned by
// `owner`; gives the clipboard sequence number read while the clipboard was
// still open, or the system error.
Result<std::uint32_t> put_clipboard_data(HWND owner, UINT format, std::span<const std::uint8_t> bytes);

// Copy image: puts the output image on the clipboard as CF_DIB. The caller
// renders the image first (a live capture grabs the screen again) and, on
// success, sends the "copied" notice and ends the capture; on failure the
// capture stays open.
Result<void> copy_image(const BgraImage& image, HWND window);

// Puts "#RRGGBB" on the clipboard as CF_UNICODETEXT.
Result<void> copy_color_text(Rgb colour, HWND window);

// Copies the selected objects into `clipboard` and puts the marker format on
// the system clipboard. Gives false, touching nothing, when nothing is
// selected; on an error `clipboard` keeps its previous content.
Result<bool> copy_objects(const Editor& editor, ObjectClipboard& clipboard, HWND window);

// Pastes the copied objects, each time 16 pixels further, but only while the
// marker this program put there is still the clipboard's current content.
// Gives whether anything was pasted.
bool paste_objects(Editor& editor, ObjectClipboard& clipboard);

}  // namespace kadrovix::win32
