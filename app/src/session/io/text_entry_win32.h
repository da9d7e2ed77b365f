// An open text entry of the capture session: text typed in place on the
// canvas. A hidden edit control (hidden_edit_win32.h) does the typing; the
// overlay draws the field with the field painter in the entry's size, colour
// and rotation, so the user sees the text as it will be committed.
//
// The session owns at most one entry. It opens one for a press with the
// Text tool inside the region (session/io/text_entry.h decides whether the
// press edits an existing text object), hands it the presses inside its
// field, the pointer while the mouse selects text, the wheel's size steps and
// colour changes, and closes it by committing or discarding. Mouse capture
// and painting order are the session's.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>

#include <cstdint>
#include <optional>

#include "base/error.h"
#include "editor/annotation.h"
#include "session/io/field_painter_win32.h"
#include "session/io/hidden_edit_win32.h"
#include "session/io/text_entry.h"
#include "session/session_state.h"

namespace kadrovix::win32 {

inline constexpr char kTextLayoutFailedCaption[] = "Text layout failed";

class TextEntry {
public:
    // Creates the hidden edit control in `window` holding the start's text,
    // placed at its origin and reaching to the desktop's right and bottom
    // edges. Failure releases what was made and returns the platform error.
    // Call focus() once the entry is stored.
    static Result<TextEntry> open(HWND window, const TextEntryStart& start, const Desktop& desktop);

    TextEntry(TextEntry&&) noexcept = default;
    TextEntry& operator=(TextEntry&&) noexcept = default;
    TextEntry(const TextEntry&) = delete;
    TextEntry& operator=(const TextEntry&) = delete;
    // Destroying an entry discards it: the control and its font go, the
    // document is not touched.
    ~TextEntry() = default;

    std::optional<std::uint64_t> edited_id() const { return edited_id_; }
    bool selecting() const { return selecting_; }
    double font_size() const { return font_size_; }
    Rgb colour() const { return colour_; }
    Point origin() const { return origin_; }
    const HiddenEdit& edit() const { return edit_; }

    void focus() const { edit_.focus(); }
    // How the painter draws this entry now (focused when its control has focus).
    FieldLook look() const;

    // Whether p lies in the field: its laid-out text (at least the caret's
    // line) grown by kTextFieldMargin, in the field's rotation.
    Result<bool> contains(IDWriteFactory* factory, Point p) const;

    // A press in the field: the caret goes to the character under p; with
    // Shift the selection reaches there from the current selection's start.
    // Starts the mouse selection (the caller captures the mouse) and gives
    // the control focus.
    Result<void> caret_press(IDWriteFactory* factory, Point p, bool shift);
    // While the mouse selects: from the anchor to the character under p.
    Result<void> extend_selection(IDWriteFactory* factory, Point p);
    // The button went up, the capture was lost or Esc stopped it.
    void end_selection() { selecting_ = false; }

    // The wheel: size := clamp(size + step, 8, 300); a changed size gets a new
    // font. On failure the entry keeps its size.
    Result<void> change_size(double step);
    // Set colour while the entry is open colours only the entry.
    void set_colour(Rgb colour) { colour_ = colour; }

    Result<void> paint(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, IDWriteFactory* factory) const;

    // The entry's text laid out in the annotation font at its size, ready for
    // commit_text. Fails when the layout cannot be built.
    Result<TextCommit> result(IDWriteFactory* factory) const;

private:
    TextEntry() = default;

    HiddenEdit edit_;
    std::optional<std::uint64_t> edited_id_;
    double angle_ = 0.0;
    bool selecting_ = false;
    std::uint32_t anchor_ = 0;
    Point origin_;
    double font_size_ = kInitialTextSize;
    Rgb colour_;
};

}  // namespace kadrovix::win32
