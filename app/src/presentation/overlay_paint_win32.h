// What presentation mode's overlays look like, drawn with Direct2D on a
// target the caller has begun drawing on: the pointer halo, the temporary
// shapes, the keyboard-and-mouse panel and its lock handle. The windows and
// the demonstration images share these.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <cstdint>
#include <span>

#include "base/error.h"
#include "presentation/devices/input_slots.h"
#include "presentation/pointer_halo.h"
#include "presentation/temporary_shapes.h"

namespace kadrovix::win32 {

Result<void> paint_halo(ID2D1RenderTarget* target, const HaloFrame& frame);

// Every fading shape at its opacity at `now_ms`, then the shape in progress
// at full opacity; a drawing in progress also lays the barely visible fill
// that makes the canvas catch the mouse.
Result<void> paint_shapes(ID2D1RenderTarget* target, ID2D1Factory* factory, ID2D1StrokeStyle* round_stroke,
                          std::span<const FadingShape> fading, const ShapeDrawing& drawing, std::uint64_t now_ms);

// The panel's two text formats for a panel `panel_width` pixels wide.
struct PanelTextFormats {
    Microsoft::WRL::ComPtr<IDWriteTextFormat> large;
    Microsoft::WRL::ComPtr<IDWriteTextFormat> small;
};
Result<PanelTextFormats> create_panel_text_formats(IDWriteFactory* factory, int panel_width);

struct InputDisplayPicture {
    const devices::InputSlots* slots = nullptr;
    bool us_english = true;
    bool locked = false;
    unsigned dpi = 96;
    int panel_width = 0;
    std::uint64_t now_ms = 0;
};

Result<void> paint_input_display(ID2D1RenderTarget* target, const PanelTextFormats& formats,
                                 const InputDisplayPicture& picture);

// A padlock of rounded rectangles filling a square of `side` pixels.
Result<void> paint_lock_handle(ID2D1RenderTarget* target, int side, bool locked);

}  // namespace kadrovix::win32
