// The open dimension editor: the two inline fields, width and height, that
// replace the dimension label's text once it is clicked. Each field is a
// hidden single-line edit control (session/io/hidden_edit_win32.h) drawn by
// the shared field painter, so typing, selection and the clipboard are the
// system's while the pixels are the overlay's.
//
// The session owns at most one editor. It opens one for a press on the label,
// hands it the presses on the label, the pointer while the mouse selects text
// in a field, Tab to switch fields, and applies or cancels it (Enter or Esc,
// a press outside the label, a command). The rules that need no window --
// geometry, reading the fields, the resize itself -- are in
// dimension_label.h and dimension_apply.h; this side owns the controls.
//
// paint_dimension_label draws the label for every session with a region,
// whether an editor is open or not.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/error.h"
#include "editor/annotation.h"
#include "session/dimensions/dimension_apply.h"
#include "session/dimensions/dimension_label.h"
#include "session/io/field_painter_win32.h"
#include "session/io/hidden_edit_win32.h"
#include "session/session_state.h"

namespace kadrovix::win32 {

class DimensionEditor {
public:
    // Creates both fields in `window` with the region's width and height in
    // shortest form, placed on the label. When the height field cannot be
    // made, the width field goes again and the platform error is returned.
    // Needs a region. Call start() once the editor is stored.
    static Result<DimensionEditor> open(HWND window, const SessionState& s);

    DimensionEditor(DimensionEditor&&) noexcept = default;
    DimensionEditor& operator=(DimensionEditor&&) noexcept = default;
    DimensionEditor(const DimensionEditor&) = delete;
    DimensionEditor& operator=(const DimensionEditor&) = delete;
    // Destroying the editor destroys both controls and their fonts.
    ~DimensionEditor() = default;

    // The width field gets the keyboard with its whole text selected; no message.
    void start();

    // The field with keyboard focus, if either has it.
    std::optional<dimensions::Field> focused_field() const;
    // Keyboard focus to `field`, selecting its whole text.
    void focus_and_select(dimensions::Field field);
    // Activation: the width field gets the keyboard unless a field has it.
    void take_focus();

    const std::optional<std::string>& error() const { return error_; }
    const HiddenEdit& edit(dimensions::Field f) const { return field(f).edit; }
    bool selecting() const { return selecting_.has_value(); }

    // Both fields read and applied to `region`, resized about its top-left
    // corner. Applied: the caller stores the new region and closes the
    // editor. Invalid: the message is kept for display and, when neither
    // field has focus, the width field gets it; the fields keep their text.
    dimensions::ApplyOutcome apply(const Region& region, const Desktop& desktop);

    // A press at p on the label: the field on p's side gets focus and the
    // caret goes to the character under p (with Shift, the selection reaches
    // there from the field's selection start). The message is cleared and
    // the mouse selection starts; the caller captures the mouse.
    Result<void> caret_press(IDWriteFactory* factory, const Rect& label, Point p, bool shift);
    // While the mouse selects: from the anchor to the character under p.
    Result<void> extend_selection(IDWriteFactory* factory, Point p);
    void end_selection() { selecting_.reset(); }

    // Both fields, each clipped to its rectangle; the caret only in the focused one.
    Result<void> paint_fields(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, IDWriteFactory* factory) const;

private:
    DimensionEditor() = default;

    struct FieldControl {
        HiddenEdit edit;
        Rect box;  // where it is drawn; the layout's top-left is box.min
    };

    FieldControl& field(dimensions::Field f) { return fields_[f == dimensions::Field::Width ? 0 : 1]; }
    const FieldControl& field(dimensions::Field f) const { return fields_[f == dimensions::Field::Width ? 0 : 1]; }
    FieldLook look(const FieldControl& f) const;

    std::array<FieldControl, 2> fields_;
    std::optional<dimensions::Field> selecting_;  // the field the mouse is selecting in
    std::uint32_t anchor_ = 0;
    std::optional<std::string> error_;
};

// Step 10 of the overlay: the label, the "×" and the open editor's fields,
// and the hint or error box. Nothing without a region. `editor` is the open
// editor, or null. `brush` is one of the target's, whose colour it sets.
Result<void> paint_dimension_label(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, IDWriteFactory* factory,
                                   const SessionState& s, const DimensionEditor* editor);

}  // namespace kadrovix::win32
