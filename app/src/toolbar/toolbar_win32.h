// Paints the capture editor's toolbar with Direct2D and DirectWrite: both
// panels, their buttons with an icon each, and the hovered and fading
// tooltips. Layout, states and timing come from toolbar.h; nothing here
// decides where anything goes.
#pragma once

#include <d2d1.h>
#include <dwrite.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "toolbar/toolbar.h"

namespace kadrovix::win32 {

// What painting the toolbar keeps from frame to frame: a brush and the
// smoothing layers of the panels and tooltips. They are made on the first
// target they are needed for and serve every target that shares its
// resources (the compatible targets made from it); reset() lets them go
// before that target does.
class ToolbarResources {
public:
    Result<ID2D1SolidColorBrush*> brush(ID2D1RenderTarget* target);
    // Layer `slot`, of exactly `width` × `height` pixels.
    Result<ID2D1BitmapRenderTarget*> layer(ID2D1RenderTarget* target, std::size_t slot, UINT32 width, UINT32 height);
    void reset();

private:
    struct Layer {
        Microsoft::WRL::ComPtr<ID2D1BitmapRenderTarget> target;
        UINT32 width = 0;
        UINT32 height = 0;
    };
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> brush_;
    std::vector<Layer> layers_;
};

// Draws the toolbar on `target`, which must be between BeginDraw and EndDraw
// and map one device-independent pixel to one desktop pixel (apart from the
// caller's transform, which is applied on top and left as it was, as are the
// antialiasing modes). `pointer` drives the hover fill; `hover` and `now_ms`
// the tooltips. Draws nothing for an empty layout. Returns the first failing
// resource creation; drawing failures surface at the caller's EndDraw.
Result<void> paint_toolbar(ID2D1RenderTarget* target, ToolbarResources& resources, IDWriteFactory* dwrite,
                           const ToolbarInput& input, const ToolbarLayout& layout, const ToolbarHoverState& hover,
                           Point pointer, std::uint64_t now_ms);

// The width of `text` (UTF-8) on one line in the tooltip font.
Result<double> tooltip_text_width(IDWriteFactory* dwrite, std::string_view text);

}  // namespace kadrovix::win32
