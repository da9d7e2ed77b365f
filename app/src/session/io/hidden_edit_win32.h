// A platform edit control that does the typing for a field the overlay draws
// itself: keys, caret movement, selection, clipboard, input methods and the
// control's own undo all come from the system, while the pixels come from
// the field painter (field_painter_win32.h), so that what the user sees is
// the same font, colour and rotation as the finished annotation.
//
// The control never shows: its window region is empty, it answers the hit
// test as transparent, validates its paint requests without drawing and
// hides its caret whenever it gains focus. After every message that can
// change its text, selection or focus it invalidates its parent, whose next
// paint draws the field anew.
//
// Used by the text entry (multi-line, no limit) and by the two fields of the
// dimension editor (single-line, 128 characters).
//
// Indices are UTF-16 code units into text(), as the control and DirectWrite
// count them. Line breaks in a multi-line control are "\r\n".
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "app/runtime/gdi_win32.h"
#include "app/runtime/window_win32.h"
#include "base/error.h"

namespace kadrovix::win32 {

inline constexpr wchar_t kFieldFont[] = L"Segoe UI";
// The dimension editor's fields take at most this many characters.
inline constexpr std::uint32_t kDimensionFieldLimit = 128;

struct HiddenEditOptions {
    // Top-left corner and size in the parent's client pixels. Width and height
    // below 1 are taken as 1.
    int x = 0;
    int y = 0;
    int width = 1;
    int height = 1;
    // Multi-line: automatic vertical and horizontal scrolling, Enter inserts
    // a line break. Single-line: automatic horizontal scrolling.
    bool multi_line = false;
    // Most characters the user can type; 0 means no limit.
    std::uint32_t limit = 0;
    // The font's em height in pixels ("Segoe UI", normal weight); rounded to
    // whole pixels for the control, at least 1.
    double font_size = 14.0;
};

// A selection as the control reports it: start <= end. Empty when equal; the
// caret is then at `start`.
struct EditSelection {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    bool empty() const { return start == end; }
    friend bool operator==(const EditSelection&, const EditSelection&) = default;
};

// Owns the control and its font. Destroying it destroys the control first,
// then deletes the font. Move-only; a moved-from or default one is empty.
class HiddenEdit {
public:
    // Creates the control as a visible child of `parent` holding `text`, with
    // the caret at the end of the text. Any failure releases what was made
    // and returns the platform's error.
    static Result<HiddenEdit> create(HWND parent, std::wstring_view text, const HiddenEditOptions& options);
    static Result<HiddenEdit> create(HWND parent, std::string_view utf8_text, const HiddenEditOptions& options);

    HiddenEdit() = default;
    HiddenEdit(HiddenEdit&&) noexcept = default;
    HiddenEdit& operator=(HiddenEdit&& other) noexcept;
    HiddenEdit(const HiddenEdit&) = delete;
    HiddenEdit& operator=(const HiddenEdit&) = delete;
    ~HiddenEdit();

    HWND window() const { return window_.get(); }
    explicit operator bool() const { return static_cast<bool>(window_); }
    bool multi_line() const { return multi_line_; }

    // The whole text.
    std::wstring text() const;
    std::string text_utf8() const;
    void set_text(std::wstring_view text);

    EditSelection selection() const;
    // Selects from `anchor` to `active`; the caret goes to `active`, which
    // may lie before `anchor`. Indices past the end mean the end.
    void set_selection(std::uint32_t anchor, std::uint32_t active);
    // An empty selection at `index`.
    void place_caret(std::uint32_t index) { set_selection(index, index); }
    void select_all();

    // Keyboard focus to the control (the parent's thread must own it).
    void focus() const;
    bool has_focus() const;

    double font_size() const { return font_size_; }
    // Replaces the control's font by one of `size` pixels; the old font is
    // deleted once the control no longer uses it. On failure the control
    // keeps its font and size.
    Result<void> set_font_size(double size);

    // Single-line controls scroll horizontally to keep the caret visible:
    // the index of the first character shown. 0 for multi-line controls.
    std::uint32_t first_visible_char() const;

private:
    void destroy();

    // Declared first, so destroyed after the control that uses it.
    UniqueFont font_;
    UniqueWindow window_;
    double font_size_ = 0.0;
    bool multi_line_ = false;
};

// The font the control uses for a size in pixels: "Segoe UI", em height
// round(size) (at least 1), normal weight, ClearType quality. Null on failure
// with the last error set.
HFONT create_field_font(double size);

}  // namespace kadrovix::win32
