// Draws a hidden edit control's field (hidden_edit_win32.h) on the overlay
// with DirectWrite: its text, selection and caret, in the field's font size,
// colour and rotation; and maps a point on the overlay back to a character
// position of the field, so that clicks and drags place the caret where the
// user sees the text.
//
// Coordinates are the render target's (the session's desktop pixels). The
// text layout's top-left corner is `origin`; a rotation turns the drawing
// about the centre of the layout's box at the origin, as the finished text
// annotation is turned. The caller may push a clip before painting (the
// dimension editor clips each field to its rectangle); the painter leaves
// the target's transform as it found it.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>

#include <cstdint>

#include "base/error.h"
#include "editor/annotation.h"
#include "session/io/hidden_edit_win32.h"

namespace kadrovix::win32 {

inline constexpr char kFieldLocale[] = "en-US";
// The selection's fill: RGB (88, 166, 255) at 40 % opacity.
inline constexpr Rgb kFieldSelectionColour{88, 166, 255};
inline constexpr float kFieldSelectionOpacity = 0.4f;

struct FieldLook {
    Point origin;             // top-left of the text layout
    double font_size = 14.0;  // pixels
    Rgb colour;
    double rotation = 0.0;  // radians, positive clockwise on screen
    bool focused = false;   // the caret is drawn only in a focused field
    // Single-line fields scroll: the text is shifted left so that the
    // control's first visible character starts at the origin.
    bool single_line = false;
};

// The layout's box at the origin, before rotation: its width includes
// trailing white space; an empty text has width 0 and one line's height.
struct FieldBox {
    Rect box;
    double scroll = 0.0;  // how far a single-line field's text is shifted left
};

struct FieldHit {
    std::uint32_t index = 0;  // caret position in the control's text
    bool inside = false;      // the point lies on the text itself
};

// Builds the layout of `edit`'s current text and measures it.
Result<FieldBox> measure_field(IDWriteFactory* factory, const HiddenEdit& edit, const FieldLook& look);

// The character position nearest to `p`: the rotation is undone about the
// layout box's centre and a single-line field's scrolling is taken into
// account, then the layout is hit-tested. The position never falls between
// the two halves of a "\r\n", nor after a line break the point lies before.
Result<FieldHit> hit_test_field(IDWriteFactory* factory, const HiddenEdit& edit, const FieldLook& look, Point p);

// Draws the field between BeginDraw and EndDraw of `target`: the selection
// (when not empty), the text in the field's colour, and a 1-pixel caret as
// tall as its line when the field is focused and nothing is selected.
// `brush` is one of the target's, whose colour the painter sets.
Result<void> paint_field(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, IDWriteFactory* factory,
                         const HiddenEdit& edit, const FieldLook& look);

}  // namespace kadrovix::win32
