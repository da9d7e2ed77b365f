// The colour picker and the eyedropper's magnifier on the session window:
// the open picker with its cached ring and square bitmaps, and the painting
// of both with Direct2D and DirectWrite. What a press or a drag means, and
// where everything goes, comes from color_picker.h and eyedropper.h.
#pragma once

#include <d2d1.h>
#include <dwrite.h>
#include <windows.h>
#include <wrl/client.h>

#include <optional>

#include "base/error.h"
#include "color_picker/color_picker.h"
#include "color_picker/eyedropper.h"
#include "render/bgra_image.h"
#include "session/session_state.h"

namespace kadrovix::win32 {

// The session's colour picker: closed, or open with its state. Its bitmaps
// and brush belong to the render target they were made on; drop_resources
// lets them go before that target does.
class ColourPickerPanel {
public:
    bool is_open() const { return picker_.has_value(); }
    // A ring or square drag is running.
    bool dragging() const { return picker_ && picker_->drag != PickerDrag::None; }
    const std::optional<ColourPicker>& state() const { return picker_; }

    // Opens on `custom_colour` at the pointer (replacing an open picker).
    void open(Rgb custom_colour, Point pointer, const Desktop& desktop);
    // A press while open; Apply when it lies outside the panel (or the
    // picker is closed).
    PickerPress press(Point p);
    void move(Point p);
    void release();
    // The colour being chosen; meaningful while open.
    Rgb colour() const;
    // Closes without applying: the state and the bitmaps go.
    void close();
    // The render target is being replaced (a lost device or a capture mode
    // change): the bitmaps go, the state stays and they are made again on the
    // next paint.
    void drop_resources();

    // Draws the open panel on `target` (between BeginDraw and EndDraw, one
    // device-independent pixel per desktop pixel). Nothing when closed.
    Result<void> paint(ID2D1RenderTarget* target, IDWriteFactory* dwrite);

private:
    Result<void> prepare_bitmaps(ID2D1RenderTarget* target);

    std::optional<ColourPicker> picker_;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> ring_;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> square_;
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> brush_;
    double square_hue_ = 0.0;               // the hue `square_` was made for
    // The target the bitmaps were made on. Held, not just remembered: a
    // freed target's address can come back as a new target's, and a bitmap
    // of the old one must never reach the new one.
    Microsoft::WRL::ComPtr<ID2D1RenderTarget> made_on_;
};

// The eyedropper's magnifier for the pointer at `pointer` over `capture`.
// `brush` is one of the target's, whose colour it sets.
Result<void> paint_loupe(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, IDWriteFactory* dwrite,
                         const BgraImage& capture, Point pointer, const Desktop& desktop);

}  // namespace kadrovix::win32
