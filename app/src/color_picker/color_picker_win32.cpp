#include "color_picker/color_picker_win32.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/runtime/text_win32.h"
#include "base/error_win32.h"
#include "render/d2d_helpers_win32.h"
#include "session/io/clipboard.h"

namespace kadrovix::win32 {

namespace {

using Microsoft::WRL::ComPtr;
namespace u = picker_units;

constexpr wchar_t kFont[] = L"Segoe UI";

constexpr Rgb kPanelFill{32, 32, 32};
constexpr Rgb kPanelOutline{72, 72, 72};
constexpr Rgb kTitleColour{240, 240, 240};
constexpr Rgb kCodeColour{240, 240, 240};
constexpr Rgb kHintColour{174, 174, 174};
constexpr Rgb kSwatchOutline{112, 112, 112};

using d2d::hairline_rect;

Result<ComPtr<IDWriteTextFormat>> text_format(IDWriteFactory* dwrite, double size, bool centred_vertically) {
    return d2d::text_format(
        dwrite, {.family = kFont, .size = static_cast<float>(size), .centred_vertically = centred_vertically});
}

// `text` (UTF-8) on one line in `box`, vertically centred, clipped to the box.
Result<void> draw_text(ID2D1RenderTarget* target, IDWriteFactory* dwrite, ID2D1SolidColorBrush* brush,
                       std::string_view text, double size, const Rect& box, Rgb colour) {
    auto format = text_format(dwrite, size, true);
    if (!format) return propagate(format);
    const std::wstring wide = to_wide(text);
    brush->SetColor(d2d::colour(colour));
    target->DrawText(wide.c_str(), static_cast<UINT32>(wide.size()), format->Get(), d2d::rect(box), brush,
                     D2D1_DRAW_TEXT_OPTIONS_CLIP);
    return {};
}

// `text` (UTF-8) on one line whose baseline starts at `baseline_start`.
Result<void> draw_text_on_baseline(ID2D1RenderTarget* target, IDWriteFactory* dwrite, ID2D1SolidColorBrush* brush,
                                   std::string_view text, double size, Point baseline_start, Rgb colour) {
    auto format = text_format(dwrite, size, false);
    if (!format) return propagate(format);
    const std::wstring wide = to_wide(text);
    ComPtr<IDWriteTextLayout> layout;
    RETURN_IF_FAILED(dwrite->CreateTextLayout(wide.c_str(), static_cast<UINT32>(wide.size()), format->Get(), 10000.0f,
                                              1000.0f, layout.GetAddressOf()));
    DWRITE_LINE_METRICS line{};
    UINT32 lines = 0;
    RETURN_IF_FAILED(layout->GetLineMetrics(&line, 1, &lines));
    brush->SetColor(d2d::colour(colour));
    target->DrawTextLayout(
        D2D1::Point2F(static_cast<float>(baseline_start.x), static_cast<float>(baseline_start.y - line.baseline)),
        layout.Get(), brush);
    return {};
}

Result<ComPtr<ID2D1Bitmap>> make_bitmap(ID2D1RenderTarget* target, const std::vector<std::uint8_t>& pixels,
                                        int size) {
    ComPtr<ID2D1Bitmap> bitmap;
    const D2D1_BITMAP_PROPERTIES properties =
        D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
    RETURN_IF_FAILED(target->CreateBitmap(D2D1::SizeU(static_cast<UINT32>(size), static_cast<UINT32>(size)),
                                          pixels.data(), static_cast<UINT32>(size) * 4, properties,
                                          bitmap.GetAddressOf()));
    return bitmap;
}

// A marker: a dark ring under a white one, readable on any colour.
void draw_marker(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, Point centre, double radius) {
    const D2D1_ELLIPSE circle =
        D2D1::Ellipse(d2d::point(centre), static_cast<float>(radius), static_cast<float>(radius));
    brush->SetColor(D2D1::ColorF(0.0f, 0.0f, 0.0f, 0.85f));
    target->DrawEllipse(circle, brush, 4.0f);
    brush->SetColor(D2D1::ColorF(1.0f, 1.0f, 1.0f, 1.0f));
    target->DrawEllipse(circle, brush, 2.0f);
}

}  // namespace

// --- the picker ----------------------------------------------------------------

void ColourPickerPanel::open(Rgb custom_colour, Point pointer, const Desktop& desktop) {
    picker_ = open_picker(custom_colour, pointer, desktop);
}

PickerPress ColourPickerPanel::press(Point p) {
    if (!picker_) return PickerPress::Apply;
    return picker_press(*picker_, p);
}

void ColourPickerPanel::move(Point p) {
    if (picker_) picker_move(*picker_, p);
}

void ColourPickerPanel::release() {
    if (picker_) picker_release(*picker_);
}

Rgb ColourPickerPanel::colour() const { return picker_ ? picker_colour(*picker_) : Rgb{}; }

void ColourPickerPanel::close() {
    picker_.reset();
    drop_resources();
}

void ColourPickerPanel::drop_resources() {
    ring_.Reset();
    square_.Reset();
    brush_.Reset();
    made_on_.Reset();
}

Result<void> ColourPickerPanel::prepare_bitmaps(ID2D1RenderTarget* target) {
    if (made_on_.Get() != target) drop_resources();
    made_on_ = target;
    if (!brush_) {
        auto brush = d2d::solid_brush(target, d2d::colour(kPanelFill));
        if (!brush) return propagate(brush);
        brush_ = std::move(*brush);
    }
    if (!ring_) {
        auto ring = make_bitmap(target, hue_ring_pixels(), kHueRingBitmapSize);
        if (!ring) return propagate(ring);
        ring_ = std::move(*ring);
    }
    if (!square_ || square_hue_ != picker_->hsv.h) {
        auto square = make_bitmap(target, saturation_value_pixels(picker_->hsv.h), kSquareBitmapSize);
        if (!square) return propagate(square);
        square_ = std::move(*square);
        square_hue_ = picker_->hsv.h;
    }
    return {};
}

Result<void> ColourPickerPanel::paint(ID2D1RenderTarget* target, IDWriteFactory* dwrite) {
    if (!picker_) return {};
    if (auto r = prepare_bitmaps(target); !r) return r;
    const ColourPicker& p = *picker_;
    ID2D1SolidColorBrush* brush = brush_.Get();
    brush->SetColor(d2d::colour(kPanelFill));

    // Panel, title, swatch, colour code and hint.
    const Rect panel = p.to_pixels(u::kPanel);
    const auto radius = static_cast<float>(u::kPanelRadius * p.k);
    target->FillRoundedRectangle(D2D1::RoundedRect(d2d::rect(panel), radius, radius), brush);
    brush->SetColor(d2d::colour(kPanelOutline));
    target->DrawRoundedRectangle(D2D1::RoundedRect(hairline_rect(panel), radius, radius), brush, 1.0f);
    if (auto r = draw_text(target, dwrite, brush, kPickerTitle, u::kTitleSize * p.k, p.to_pixels(u::kTitle),
                           kTitleColour);
        !r) {
        return r;
    }
    const Rect swatch = p.to_pixels(u::kSwatch);
    brush->SetColor(d2d::colour(picker_colour(p)));
    target->FillRectangle(d2d::rect(swatch), brush);
    brush->SetColor(d2d::colour(kSwatchOutline));
    target->DrawRectangle(hairline_rect(swatch), brush, 1.0f);
    if (auto r = draw_text(target, dwrite, brush, p.code, u::kCodeSize * p.k, p.to_pixels(u::kCode), kCodeColour);
        !r) {
        return r;
    }
    if (auto r = draw_text(target, dwrite, brush, kPickerHint, u::kHintSize * p.k, p.to_pixels(u::kHint),
                           kHintColour);
        !r) {
        return r;
    }

    // The ring and the square, scaled into their boxes.
    target->DrawBitmap(ring_.Get(), d2d::rect(p.to_pixels(u::kRingBox)), 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR);
    target->DrawBitmap(square_.Get(), d2d::rect(p.to_pixels(u::kSquare)), 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR);

    draw_marker(target, brush, ring_marker(p), u::kMarkerRadius * p.k);
    draw_marker(target, brush, square_marker(p), u::kMarkerRadius * p.k);
    return {};
}

// --- the eyedropper's magnifier ------------------------------------------------

Result<void> paint_loupe(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, IDWriteFactory* dwrite,
                         const BgraImage& capture, Point pointer, const Desktop& desktop) {
    const Loupe loupe = layout_loupe(pointer, desktop, capture);
    brush->SetColor(d2d::colour(kLoupeBackground));

    const auto radius = static_cast<float>(kLoupeRadius);
    target->FillRoundedRectangle(D2D1::RoundedRect(d2d::rect(loupe.panel), radius, radius), brush);
    brush->SetColor(d2d::colour(kPanelOutline));
    target->DrawRoundedRectangle(D2D1::RoundedRect(hairline_rect(loupe.panel), radius, radius), brush, 1.0f);

    // The pixels, each one cell.
    for (int j = 0; j < kLoupeCells; ++j) {
        for (int i = 0; i < kLoupeCells; ++i) {
            if (const std::optional<Rgb> c = loupe_cell_colour(loupe, capture, i, j)) {
                brush->SetColor(d2d::colour(*c));
                target->FillRectangle(d2d::rect(loupe_cell(loupe, i, j)), brush);
            }
        }
    }
    // The grid: mid-grey at part opacity, seen over light and dark pixels
    // alike and over the panel where a cell has no pixel.
    brush->SetColor(D2D1::ColorF(0.5f, 0.5f, 0.5f, 0.45f));
    for (int n = 0; n <= kLoupeCells; ++n) {
        const double x = std::min(loupe.grid.min.x + n * kLoupeCellSize + 0.5, loupe.grid.max.x - 0.5);
        const double y = std::min(loupe.grid.min.y + n * kLoupeCellSize + 0.5, loupe.grid.max.y - 0.5);
        target->DrawLine(d2d::point({x, loupe.grid.min.y}), d2d::point({x, loupe.grid.max.y}), brush, 1.0f);
        target->DrawLine(d2d::point({loupe.grid.min.x, y}), d2d::point({loupe.grid.max.x, y}), brush, 1.0f);
    }
    // The pointer's own pixel: a dark frame with a white one inside.
    const Rect centre = loupe_cell(loupe, kLoupeCells / 2, kLoupeCells / 2);
    brush->SetColor(D2D1::ColorF(0.0f, 0.0f, 0.0f, 0.9f));
    target->DrawRectangle(d2d::rect(centre), brush, 3.0f);
    brush->SetColor(D2D1::ColorF(1.0f, 1.0f, 1.0f, 1.0f));
    target->DrawRectangle(hairline_rect(Rect{{centre.min.x + 1.0, centre.min.y + 1.0},
                                             {centre.max.x - 1.0, centre.max.y - 1.0}}),
                          brush, 1.5f);

    // The colour under the pointer, its code and the hint.
    if (const std::optional<Rgb> picked = pick_pixel(capture, pointer)) {
        brush->SetColor(d2d::colour(*picked));
        target->FillRectangle(d2d::rect(loupe.swatch), brush);
        brush->SetColor(d2d::colour(kSwatchOutline));
        target->DrawRectangle(hairline_rect(loupe.swatch), brush, 1.0f);
        if (auto r = draw_text(target, dwrite, brush, color_text(*picked), kLoupeCodeSize, loupe.code,
                               kLoupeCodeColour);
            !r) {
            return r;
        }
    }
    return draw_text_on_baseline(target, dwrite, brush, kLoupeHint, kLoupeHintSize, loupe.hint, kLoupeHintColour);
}

}  // namespace kadrovix::win32
