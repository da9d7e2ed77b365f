#include "presentation/overlay_paint_win32.h"

#include <algorithm>
#include <string>

#include "base/error_win32.h"
#include "presentation/devices/key_look.h"
#include "presentation/devices/keyboard_picture.h"
#include "presentation/devices/panel_layout.h"
#include "render/d2d_helpers_win32.h"

namespace kadrovix::win32 {
namespace {

using Microsoft::WRL::ComPtr;

using d2d::point;

Result<ComPtr<ID2D1SolidColorBrush>> brush(ID2D1RenderTarget* target, Rgb c, double alpha) {
    return d2d::solid_brush(target, d2d::colour(c, static_cast<float>(alpha)));
}

D2D1_ELLIPSE circle(Point centre, double radius) {
    return D2D1::Ellipse(point(centre), static_cast<float>(radius), static_cast<float>(radius));
}

// --- temporary shapes ---------------------------------------------------------------

Result<void> fill_polygon(ID2D1RenderTarget* target, ID2D1Factory* factory, std::span<const D2D1_POINT_2F> points,
                          ID2D1Brush* fill) {
    ComPtr<ID2D1PathGeometry> path;
    RETURN_IF_FAILED(factory->CreatePathGeometry(&path));
    ComPtr<ID2D1GeometrySink> sink;
    RETURN_IF_FAILED(path->Open(&sink));
    sink->BeginFigure(points[0], D2D1_FIGURE_BEGIN_FILLED);
    for (std::size_t i = 1; i < points.size(); ++i) sink->AddLine(points[i]);
    sink->EndFigure(D2D1_FIGURE_END_CLOSED);
    RETURN_IF_FAILED(sink->Close());
    target->FillGeometry(path.Get(), fill);
    return {};
}

Result<void> paint_shape(ID2D1RenderTarget* target, ID2D1Factory* factory, ID2D1StrokeStyle* round_stroke,
                         const Annotation& shape, double arrow_size, double opacity) {
    if (opacity <= 0.0) return {};
    auto b = brush(target, shape.colour, opacity);
    if (!b) return propagate(b);
    const auto width = static_cast<float>(shape.width);
    if (const auto* r = shape.as<shape::Rectangle>()) {
        const double radius = rectangle_corner_radius(r->box, shape.width);
        const D2D1_ROUNDED_RECT rounded{
            D2D1::RectF(static_cast<float>(r->box.min.x), static_cast<float>(r->box.min.y),
                        static_cast<float>(r->box.max.x), static_cast<float>(r->box.max.y)),
            static_cast<float>(radius), static_cast<float>(radius)};
        target->DrawRoundedRectangle(rounded, b->Get(), width, round_stroke);
    } else if (const auto* e = shape.as<shape::Ellipse>()) {
        const Point centre{(e->box.min.x + e->box.max.x) / 2, (e->box.min.y + e->box.max.y) / 2};
        const auto rx = static_cast<float>((e->box.max.x - e->box.min.x) / 2);
        const auto ry = static_cast<float>((e->box.max.y - e->box.min.y) / 2);
        target->DrawEllipse(D2D1::Ellipse(point(centre), rx, ry), b->Get(), width, round_stroke);
    } else if (const auto* a = shape.as<shape::Arrow>()) {
        const auto outline = arrow_outline(a->start, a->end, arrow_size);
        if (!outline) return {};
        target->DrawLine(point(outline->shaft_start), point(outline->shaft_end), b->Get(), width, round_stroke);
        const D2D1_POINT_2F head[3] = {point(outline->head[0]), point(outline->head[1]), point(outline->head[2])};
        return fill_polygon(target, factory, head, b->Get());
    }
    return {};
}

// --- the keyboard and mouse panel -----------------------------------------------------

constexpr Rgb kDarkGrey{32, 32, 35};
constexpr Rgb kGrey{110, 110, 118};
constexpr Rgb kLitBlue{113, 195, 255};
constexpr Rgb kPaleBlue{184, 226, 255};

// Panel pixels at 96 DPI to the panel's own pixels.
struct PanelScale {
    float s = 1.0f;
    D2D1_RECT_F rect(double left, double top, double width, double height) const {
        return D2D1::RectF(static_cast<float>(left) * s, static_cast<float>(top) * s,
                           static_cast<float>(left + width) * s, static_cast<float>(top + height) * s);
    }
    D2D1_POINT_2F at(double x, double y) const { return D2D1::Point2F(static_cast<float>(x) * s, static_cast<float>(y) * s); }
};

D2D1_ROUNDED_RECT rounded(D2D1_RECT_F r, float radius) { return D2D1_ROUNDED_RECT{r, radius, radius}; }

Result<void> paint_key(ID2D1RenderTarget* target, ID2D1Factory* factory, const PanelScale& scale,
                       const devices::KeyBox& box, const devices::KeyLook& look, ID2D1Brush* base,
                       const devices::InputSlots& slots, const PanelTextFormats& formats) {
    const D2D1_RECT_F r = scale.rect(box.left, box.top, box.width(), box.height());
    const bool two_part = box.top_row_left < box.left;
    // The tall Enter key of non-US layouts: a wider top row over a narrower
    // body, drawn as one outline.
    const auto shape_fill = [&](ID2D1Brush* fill) -> Result<void> {
        if (!two_part) {
            target->FillRoundedRectangle(rounded(r, 2.5f * scale.s), fill);
            return {};
        }
        const double row = devices::kKeyUnit - devices::kKeyGap;
        const double right = box.left + box.width();
        const double bottom = box.top + box.height();
        const D2D1_POINT_2F outline[6] = {scale.at(box.top_row_left, box.top), scale.at(right, box.top),
                                          scale.at(right, bottom),             scale.at(box.left, bottom),
                                          scale.at(box.left, box.top + row),   scale.at(box.top_row_left, box.top + row)};
        return fill_polygon(target, factory, outline, fill);
    };
    if (auto drawn = shape_fill(base); !drawn) return drawn;
    if (look.intensity <= 0.0) return {};

    auto lit = brush(target, kLitBlue, 0.96 * look.intensity);
    if (!lit) return propagate(lit);
    if (auto drawn = shape_fill(lit->Get()); !drawn) return drawn;
    if (!look.show_label) return {};

    const std::u16string_view units = slots.key(box.slot).label.text();
    const std::wstring text(units.begin(), units.end());
    auto ink = brush(target, Rgb{look.label_colour.red, look.label_colour.green, look.label_colour.blue},
                     look.label_opacity);
    if (!ink) return propagate(ink);
    IDWriteTextFormat* format = look.large_text ? formats.large.Get() : formats.small.Get();
    // The label sits in the key's top row, where the tall keys show it too.
    const D2D1_RECT_F label = scale.rect(box.top_row_left, box.top, box.left + box.width() - box.top_row_left,
                                         devices::kKeyUnit - devices::kKeyGap);
    target->DrawText(text.c_str(), static_cast<UINT32>(text.size()), format, label, ink->Get(),
                     D2D1_DRAW_TEXT_OPTIONS_CLIP);
    return {};
}

Result<void> paint_mouse(ID2D1RenderTarget* target, const PanelScale& scale, const devices::InputSlots& slots,
                         std::uint64_t now, ID2D1Brush* base) {
    using devices::MouseButton;
    auto outline = brush(target, kGrey, 0.72);
    auto lit = brush(target, kPaleBlue, 0.95);
    if (!outline) return propagate(outline);
    if (!lit) return propagate(lit);
    const auto part = [&](D2D1_RECT_F r, float radius, bool on) {
        target->FillRoundedRectangle(rounded(r, radius * scale.s), on ? lit->Get() : base);
    };
    // Body, then the buttons over its top half and the side buttons.
    target->FillRoundedRectangle(rounded(scale.rect(452, 12, 49, 112), 22 * scale.s), base);
    target->DrawRoundedRectangle(rounded(scale.rect(452, 12, 49, 112), 22 * scale.s), outline->Get(), scale.s);
    part(scale.rect(454, 14, 21.5, 44), 10, slots.mouse_lit(MouseButton::Left, now));
    part(scale.rect(477.5, 14, 21.5, 44), 10, slots.mouse_lit(MouseButton::Right, now));
    part(scale.rect(472, 22, 9, 26), 4.5, slots.mouse_lit(MouseButton::Middle, now) || slots.wheel_lit(now));
    part(scale.rect(455, 68, 5, 14), 2, slots.mouse_lit(MouseButton::X2, now));
    part(scale.rect(455, 86, 5, 14), 2, slots.mouse_lit(MouseButton::X1, now));
    if (slots.wheel_lit(now)) {
        // The wheel turning: a bright bar across the middle button.
        target->FillRectangle(scale.rect(473.5, 33, 6, 4), outline->Get());
    }
    return {};
}

}  // namespace

Result<void> paint_halo(ID2D1RenderTarget* target, const HaloFrame& frame) {
    auto fill = brush(target, frame.fill.colour, frame.fill.alpha);
    if (!fill) return propagate(fill);
    target->FillEllipse(circle(frame.centre, frame.fill.radius), fill->Get());
    auto outline = brush(target, frame.outline.colour, frame.outline.alpha);
    if (!outline) return propagate(outline);
    target->DrawEllipse(circle(frame.centre, frame.outline.radius), outline->Get(),
                        static_cast<float>(frame.outline_width));
    if (frame.ring) {
        auto ring = brush(target, frame.ring->colour, frame.ring->alpha);
        if (!ring) return propagate(ring);
        target->DrawEllipse(circle(frame.centre, frame.ring->radius), ring->Get(),
                            static_cast<float>(frame.ring_width));
    }
    return {};
}

Result<void> paint_shapes(ID2D1RenderTarget* target, ID2D1Factory* factory, ID2D1StrokeStyle* round_stroke,
                          std::span<const FadingShape> fading, const ShapeDrawing& drawing, std::uint64_t now_ms) {
    if (const double alpha = canvas_background_alpha(drawing); alpha > 0.0) {
        auto veil = brush(target, Rgb{0, 0, 0}, alpha);
        if (!veil) return propagate(veil);
        const D2D1_SIZE_F size = target->GetSize();
        target->FillRectangle(D2D1::RectF(0, 0, size.width, size.height), veil->Get());
    }
    for (const FadingShape& shape : fading) {
        if (auto r = paint_shape(target, factory, round_stroke, shape.shape, shape.arrow_size,
                                 fade_opacity(shape, now_ms));
            !r) {
            return r;
        }
    }
    if (drawing.active() && drawing.shape) {
        return paint_shape(target, factory, round_stroke, *drawing.shape, drawing.arrow_size, 1.0);
    }
    return {};
}

Result<PanelTextFormats> create_panel_text_formats(IDWriteFactory* factory, int panel_width) {
    PanelTextFormats formats;
    const auto make = [&](double size) {
        return d2d::text_format(factory, {.family = L"Segoe UI",
                                          .size = static_cast<float>(size),
                                          .locale = L"fr-FR",
                                          .weight = DWRITE_FONT_WEIGHT_SEMI_BOLD,
                                          .centred_horizontally = true,
                                          .centred_vertically = true});
    };
    auto large = make(devices::large_text_size(panel_width));
    if (!large) return propagate(large);
    auto small = make(devices::small_text_size(panel_width));
    if (!small) return propagate(small);
    formats.large = std::move(*large);
    formats.small = std::move(*small);
    return formats;
}

Result<void> paint_input_display(ID2D1RenderTarget* target, const PanelTextFormats& formats,
                                 const InputDisplayPicture& picture) {
    if (picture.slots == nullptr) return invalid_argument("No input to show");
    const PanelScale scale{static_cast<float>(picture.panel_width) / static_cast<float>(devices::kPanelWidth)};
    const D2D1_SIZE_F size = target->GetSize();
    if (const double alpha = devices::panel_background_alpha(picture.locked); alpha > 0.0) {
        auto grip = brush(target, Rgb{0, 0, 0}, alpha);
        if (!grip) return propagate(grip);
        target->FillRectangle(D2D1::RectF(0, 0, size.width, size.height), grip->Get());
    }
    auto card = brush(target, kDarkGrey, 0.72);
    auto key_base = brush(target, kGrey, 0.28);
    if (!card) return propagate(card);
    if (!key_base) return propagate(key_base);
    target->FillRoundedRectangle(rounded(D2D1::RectF(0, 0, size.width, size.height), 8 * scale.s), card->Get());

    ComPtr<ID2D1Factory> factory;
    target->GetFactory(&factory);
    for (const devices::KeyBox& box : devices::keyboard_picture(picture.us_english)) {
        const devices::KeyLook look = devices::key_look(*picture.slots, box.slot, picture.now_ms);
        if (auto r = paint_key(target, factory.Get(), scale, box, look, key_base->Get(), *picture.slots, formats); !r) {
            return r;
        }
    }
    return paint_mouse(target, scale, *picture.slots, picture.now_ms, key_base->Get());
}

Result<void> paint_lock_handle(ID2D1RenderTarget* target, int side, bool locked) {
    const double opacity = devices::lock_handle_opacity(locked);
    const float u = static_cast<float>(side) / 17.0f;
    auto back = brush(target, kDarkGrey, 0.72 * opacity);
    auto ink = brush(target, locked ? kLitBlue : Rgb{235, 241, 250}, opacity);
    if (!back) return propagate(back);
    if (!ink) return propagate(ink);
    target->FillRoundedRectangle(rounded(D2D1::RectF(0, 0, 17 * u, 17 * u), 4 * u), back->Get());
    // The shackle stands open while unlocked.
    const float shackle_shift = locked ? 0.0f : 2.0f * u;
    target->DrawRoundedRectangle(rounded(D2D1::RectF(5.5f * u + shackle_shift, 2.5f * u - shackle_shift / 2,
                                                     11.5f * u + shackle_shift, 10 * u),
                                         3 * u),
                                 ink->Get(), 1.5f * u);
    target->FillRoundedRectangle(rounded(D2D1::RectF(3.5f * u, 7.5f * u, 13.5f * u, 14.5f * u), 1.5f * u),
                                 ink->Get());
    return {};
}

}  // namespace kadrovix::win32
