// Draws a DirectWrite text layout glyph run by glyph run, each run cut into
// pieces of a bounded number of glyphs. Some Direct2D implementations (Wine's
// among them) draw nothing at all for a glyph run wider than 16,384 pixels,
// so a long line of text would vanish without an error; in pieces it shows
// exactly as one run would.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>

#include "base/error.h"

namespace kadrovix::win32 {

// Glyphs per piece: a few hundred glyphs stay far below the width at which
// a run disappears at any font size the editor allows.
inline constexpr UINT32 kGlyphsPerPiece = 64;

// Like DrawTextLayout at `origin` with `brush`, on a target between BeginDraw
// and EndDraw.
Result<void> draw_layout_in_pieces(ID2D1RenderTarget* target, IDWriteTextLayout* layout, D2D1_POINT_2F origin,
                                   ID2D1Brush* brush);

}  // namespace kadrovix::win32
