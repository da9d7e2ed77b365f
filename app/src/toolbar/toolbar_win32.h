// Paints the capture editor's toolbar with Direct2D and DirectWrite: both
// panels, their buttons with an icon each, and the hovered and fading
// tooltips. Layout, states and timing come from toolbar.h; nothing here
// decides where anything goes.
#pragma once

#include <d2d1.h>
#include <dwrite.h>
#include <windows.h>

#include <cstdint>
#include <string_view>

#include "base/error.h"
#include "toolbar/toolbar.h"

namespace kadrovix::win32 {

// Draws the toolbar on `target`, which must be between BeginDraw and EndDraw
// and map one device-independent pixel to one desktop pixel (apart from the
// caller's transform, which is applied on top and left as it was, as are the
// antialiasing modes). `pointer` drives the hover fill; `hover` and `now_ms`
// the tooltips. Draws nothing for an empty layout. Returns the first failing
// resource creation; drawing failures surface at the caller's EndDraw.
Result<void> paint_toolbar(ID2D1RenderTarget* target, IDWriteFactory* dwrite, const ToolbarInput& input,
                           const ToolbarLayout& layout, const ToolbarHoverState& hover, Point pointer,
                           std::uint64_t now_ms);

// The width of `text` (UTF-8) on one line in the tooltip font.
Result<double> tooltip_text_width(IDWriteFactory* dwrite, std::string_view text);

}  // namespace kadrovix::win32
