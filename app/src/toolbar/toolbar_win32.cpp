#include "toolbar/toolbar_win32.h"

#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "app/runtime/text_win32.h"
#include "base/error_win32.h"
#include "render/d2d_helpers_win32.h"

namespace kadrovix::win32 {

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kTooltipFont[] = L"Segoe UI";

// Icon artwork lives on a 20 x 20 grid. Outlines are 1.5 pixels wide and sit
// on quarter-pixel positions so that their outer edges fall on whole pixels.
constexpr float kLine = 1.5f;
constexpr int kHueSegments = 36;

// Hue in degrees at full saturation and value.
Rgb hue_colour(double degrees) {
    const double h = std::fmod(degrees, 360.0) / 60.0;
    const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
    double r = 0.0, g = 0.0, b = 0.0;
    switch (static_cast<int>(h)) {
        case 0:
            r = 1.0;
            g = x;
            break;
        case 1:
            r = x;
            g = 1.0;
            break;
        case 2:
            g = 1.0;
            b = x;
            break;
        case 3:
            g = x;
            b = 1.0;
            break;
        case 4:
            r = x;
            b = 1.0;
            break;
        default:
            r = 1.0;
            b = x;
            break;
    }
    const auto byte = [](double v) { return static_cast<std::uint8_t>(std::lround(v * 255.0)); };
    return Rgb{byte(r), byte(g), byte(b)};
}

// The caller's transform and antialiasing modes, put back on every path out.
class TargetStateGuard {
public:
    explicit TargetStateGuard(ID2D1RenderTarget* target)
        : target_(target), antialias_(target->GetAntialiasMode()), text_(target->GetTextAntialiasMode()) {
        target->GetTransform(&transform_);
    }
    TargetStateGuard(const TargetStateGuard&) = delete;
    TargetStateGuard& operator=(const TargetStateGuard&) = delete;
    ~TargetStateGuard() {
        target_->SetTransform(transform_);
        target_->SetAntialiasMode(antialias_);
        target_->SetTextAntialiasMode(text_);
    }

private:
    ID2D1RenderTarget* target_;
    D2D1_MATRIX_3X2_F transform_{};
    D2D1_ANTIALIAS_MODE antialias_;
    D2D1_TEXT_ANTIALIAS_MODE text_;
};

// Draws one icon in its 20 x 20 grid. Strokes get their round ends as discs
// and arcs are flattened here, so the artwork looks the same where the
// platform ignores stroke styles or approximates arcs.
class IconPainter {
public:
    IconPainter(ID2D1RenderTarget* target, ID2D1Factory* factory, ID2D1SolidColorBrush* brush,
                const D2D1_MATRIX_3X2_F& base)
        : target_(target), factory_(factory), brush_(brush), base_(base) {}

    HRESULT draw(const ToolbarGlyph& glyph, D2D1_POINT_2F origin, Rgb ink) {
        origin_ = origin;
        ink_ = ink;
        frame(D2D1::Matrix3x2F::Identity());
        use(ink_);
        switch (glyph.icon) {
            case ToolbarIcon::Select:
                return select();
            case ToolbarIcon::Rectangle:
                return rectangle();
            case ToolbarIcon::Ellipse:
                return ellipse();
            case ToolbarIcon::Line:
                return line_tool();
            case ToolbarIcon::Arrow:
                return arrow();
            case ToolbarIcon::Pen:
                return pen();
            case ToolbarIcon::Highlighter:
                return highlighter();
            case ToolbarIcon::Text:
                return text();
            case ToolbarIcon::Live:
                return live();
            case ToolbarIcon::Swatch:
                return swatch(glyph.swatch);
            case ToolbarIcon::CustomColour:
                return hue_ring();
            case ToolbarIcon::Eyedropper:
                return eyedropper();
            case ToolbarIcon::Undo:
                return undo(false);
            case ToolbarIcon::Redo:
                return undo(true);
            case ToolbarIcon::Search:
                return search();
            case ToolbarIcon::Copy:
                return copy();
            case ToolbarIcon::Save:
                return save();
            case ToolbarIcon::Close:
                return close();
            case ToolbarIcon::None:
                return S_OK;
        }
        return S_OK;
    }

private:
    // `local` acts on the icon grid before it is moved to the button.
    void frame(const D2D1_MATRIX_3X2_F& local) {
        target_->SetTransform(local * D2D1::Matrix3x2F::Translation(origin_.x, origin_.y) * base_);
    }
    void use(Rgb c, float opacity = 1.0f) { brush_->SetColor(d2d::colour(c, opacity)); }

    void disc(D2D1_POINT_2F c, float r) { target_->FillEllipse(D2D1::Ellipse(c, r, r), brush_); }
    void fill(float l, float t, float r, float b) { target_->FillRectangle(D2D1::RectF(l, t, r, b), brush_); }

    // A straight stroke with round ends.
    void stroke(D2D1_POINT_2F a, D2D1_POINT_2F b, float width) {
        target_->DrawLine(a, b, brush_, width);
        disc(a, width / 2.0f);
        disc(b, width / 2.0f);
    }

    HRESULT path(std::initializer_list<D2D1_POINT_2F> points, bool closed, ComPtr<ID2D1PathGeometry>& out) {
        return path(std::vector<D2D1_POINT_2F>(points), closed, out);
    }
    HRESULT path(const std::vector<D2D1_POINT_2F>& points, bool closed, ComPtr<ID2D1PathGeometry>& out) {
        ComPtr<ID2D1PathGeometry> geometry;
        HRESULT hr = factory_->CreatePathGeometry(&geometry);
        if (FAILED(hr)) return hr;
        ComPtr<ID2D1GeometrySink> sink;
        hr = geometry->Open(&sink);
        if (FAILED(hr)) return hr;
        sink->SetFillMode(D2D1_FILL_MODE_WINDING);
        sink->BeginFigure(points.front(), closed ? D2D1_FIGURE_BEGIN_FILLED : D2D1_FIGURE_BEGIN_HOLLOW);
        for (std::size_t i = 1; i < points.size(); ++i) sink->AddLine(points[i]);
        sink->EndFigure(closed ? D2D1_FIGURE_END_CLOSED : D2D1_FIGURE_END_OPEN);
        hr = sink->Close();
        if (FAILED(hr)) return hr;
        out = std::move(geometry);
        return S_OK;
    }
    HRESULT fill_polygon(std::initializer_list<D2D1_POINT_2F> points) {
        ComPtr<ID2D1PathGeometry> geometry;
        const HRESULT hr = path(points, true, geometry);
        if (SUCCEEDED(hr)) target_->FillGeometry(geometry.Get(), brush_);
        return hr;
    }
    HRESULT outline(std::initializer_list<D2D1_POINT_2F> points, bool closed, float width = kLine) {
        return outline(std::vector<D2D1_POINT_2F>(points), closed, width);
    }
    HRESULT outline(const std::vector<D2D1_POINT_2F>& points, bool closed, float width = kLine) {
        ComPtr<ID2D1PathGeometry> geometry;
        const HRESULT hr = path(points, closed, geometry);
        if (FAILED(hr)) return hr;
        target_->DrawGeometry(geometry.Get(), brush_, width);
        if (!closed) {
            disc(points.front(), width / 2.0f);
            disc(points.back(), width / 2.0f);
        }
        return S_OK;
    }

    // Points along a circular arc, both ends included; angles in degrees,
    // clockwise on screen from the x axis.
    static void arc(std::vector<D2D1_POINT_2F>& out, D2D1_POINT_2F c, float r, double from, double to) {
        const int steps = std::max(2, static_cast<int>(std::ceil(std::fabs(to - from) / 10.0)));
        for (int i = 0; i <= steps; ++i) {
            const double a = (from + (to - from) * i / steps) * std::numbers::pi / 180.0;
            out.push_back(d2d::point(c.x + r * std::cos(a), c.y + r * std::sin(a)));
        }
    }

    // --- tools ---

    HRESULT select() {
        return fill_polygon({d2d::point(5.5, 2.5), d2d::point(5.5, 15.75), d2d::point(8.75, 12.75),
                             d2d::point(11.0, 17.75), d2d::point(13.25, 16.75), d2d::point(11.0, 11.9),
                             d2d::point(15.0, 11.9)});
    }

    HRESULT rectangle() {
        target_->DrawRoundedRectangle(D2D1::RoundedRect(D2D1::RectF(3.75f, 4.75f, 16.25f, 15.25f), 1.5f, 1.5f), brush_,
                                      kLine);
        return S_OK;
    }

    HRESULT ellipse() {
        target_->DrawEllipse(D2D1::Ellipse(d2d::point(10, 10), 6.75f, 5.5f), brush_, kLine);
        return S_OK;
    }

    HRESULT line_tool() {
        stroke(d2d::point(4.5, 15.5), d2d::point(15.5, 4.5), kLine + 0.25f);
        return S_OK;
    }

    HRESULT arrow() {
        stroke(d2d::point(4.5, 15.5), d2d::point(12.0, 8.0), kLine + 0.25f);
        return fill_polygon({d2d::point(16.0, 4.0), d2d::point(14.2, 11.3), d2d::point(8.7, 5.8)});
    }

    // Drawn lying along the x axis, tip to the left, then turned so the tip
    // points to the lower left.
    HRESULT pen() {
        frame(D2D1::Matrix3x2F::Rotation(-45.0f, d2d::point(10, 10)));
        HRESULT hr = outline({d2d::point(2.0, 10.0), d2d::point(6.0, 7.75), d2d::point(17.5, 7.75),
                              d2d::point(17.5, 12.25), d2d::point(6.0, 12.25)},
                             true);
        if (FAILED(hr)) return hr;
        target_->DrawLine(d2d::point(6.0, 7.75), d2d::point(6.0, 12.25), brush_, kLine);
        target_->DrawLine(d2d::point(14.5, 7.75), d2d::point(14.5, 12.25), brush_, kLine);
        return fill_polygon({d2d::point(2.0, 10.0), d2d::point(3.8, 9.0), d2d::point(3.8, 11.0)});
    }

    HRESULT highlighter() {
        // The band it leaves, ending under the tip.
        use(ink_, 0.5f);
        fill(2.0f, 15.5f, 10.0f, 18.5f);
        use(ink_);
        frame(D2D1::Matrix3x2F::Rotation(-45.0f, d2d::point(10, 10)) * D2D1::Matrix3x2F::Translation(2.0f, -0.5f));
        HRESULT hr = outline({d2d::point(6.5, 8.75), d2d::point(8.5, 6.75), d2d::point(17.0, 6.75),
                              d2d::point(17.0, 13.25), d2d::point(8.5, 13.25), d2d::point(6.5, 11.25)},
                             true);
        if (FAILED(hr)) return hr;
        target_->DrawLine(d2d::point(8.5, 6.75), d2d::point(8.5, 13.25), brush_, kLine);
        // The chisel tip, filled.
        return fill_polygon(
            {d2d::point(4.0, 11.75), d2d::point(4.75, 8.25), d2d::point(7.0, 8.25), d2d::point(7.0, 11.75)});
    }

    HRESULT text() {
        fill(4.0f, 3.0f, 16.0f, 5.0f);   // bar
        fill(9.0f, 3.0f, 11.0f, 17.0f);  // stem
        fill(4.0f, 3.0f, 5.5f, 6.5f);    // bar ends
        fill(14.5f, 3.0f, 16.0f, 6.5f);
        fill(7.0f, 15.5f, 13.0f, 17.0f);  // foot
        return S_OK;
    }

    // --- actions ---

    HRESULT live() {
        target_->DrawEllipse(D2D1::Ellipse(d2d::point(10, 10), 7.25f, 7.25f), brush_, kLine);
        disc(d2d::point(10, 10), 3.75f);
        return S_OK;
    }

    HRESULT swatch(Rgb colour) {
        use(colour);
        disc(d2d::point(10, 10), 7.0f);
        // A thin rim keeps dark swatches visible on the dark button.
        use(ink_, 0.35f);
        target_->DrawEllipse(D2D1::Ellipse(d2d::point(10, 10), 7.0f, 7.0f), brush_, 1.0f);
        return S_OK;
    }

    HRESULT hue_ring() {
        constexpr double kOuter = 8.5;
        constexpr double kInner = 4.75;
        constexpr double kStep = 360.0 / kHueSegments;
        // One wedge, turned into place for each hue; a slight overlap hides
        // the seams between neighbours.
        const double half = (kStep / 2.0 + 0.6) * std::numbers::pi / 180.0;
        ComPtr<ID2D1PathGeometry> wedge;
        HRESULT hr =
            path({d2d::point(10 + kInner * std::cos(-half), 10 + kInner * std::sin(-half)),
                  d2d::point(10 + kOuter * std::cos(-half), 10 + kOuter * std::sin(-half)), d2d::point(10 + kOuter, 10),
                  d2d::point(10 + kOuter * std::cos(half), 10 + kOuter * std::sin(half)),
                  d2d::point(10 + kInner * std::cos(half), 10 + kInner * std::sin(half))},
                 true, wedge);
        if (FAILED(hr)) return hr;
        for (int i = 0; i < kHueSegments; ++i) {
            const double hue = kStep * i;
            // Red at the top, hues running clockwise.
            frame(D2D1::Matrix3x2F::Rotation(static_cast<float>(hue - 90.0), d2d::point(10, 10)));
            use(hue_colour(hue));
            target_->FillGeometry(wedge.Get(), brush_);
        }
        return S_OK;
    }

    // Lying along the x axis, tip to the left, then turned like the pen.
    HRESULT eyedropper() {
        frame(D2D1::Matrix3x2F::Rotation(-45.0f, d2d::point(10, 10)));
        HRESULT hr = outline({d2d::point(11.0, 8.75), d2d::point(4.5, 8.75), d2d::point(2.25, 10.0),
                              d2d::point(4.5, 11.25), d2d::point(11.0, 11.25)},
                             false);
        if (FAILED(hr)) return hr;
        fill(11.0f, 6.5f, 13.0f, 13.5f);  // collar
        target_->FillRoundedRectangle(D2D1::RoundedRect(D2D1::RectF(12.5f, 7.75f, 18.5f, 12.25f), 2.25f, 2.25f),
                                      brush_);  // bulb
        return S_OK;
    }

    HRESULT undo(bool mirrored) {
        if (mirrored) frame(D2D1::Matrix3x2F::Scale(-1.0f, 1.0f, d2d::point(10, 10)));
        // The head points left; the tail bends round to the right and back.
        HRESULT hr = outline({d2d::point(7.75, 4.25), d2d::point(4.0, 8.0), d2d::point(7.75, 11.75)}, false);
        if (FAILED(hr)) return hr;
        std::vector<D2D1_POINT_2F> tail{d2d::point(4.5, 8.0)};
        arc(tail, d2d::point(11.5, 12.25), 4.25f, -90.0, 90.0);
        tail.push_back(d2d::point(8.0, 16.5));
        return outline(tail, false);
    }

    HRESULT search() {
        target_->DrawEllipse(D2D1::Ellipse(d2d::point(8.5, 8.5), 5.25f, 5.25f), brush_, kLine + 0.25f);
        stroke(d2d::point(12.5, 12.5), d2d::point(16.25, 16.25), kLine + 0.75f);
        return S_OK;
    }

    HRESULT copy() {
        // The sheet behind shows only where the front one leaves a gap.
        std::vector<D2D1_POINT_2F> back{d2d::point(5.5, 13.25)};
        arc(back, d2d::point(5.25, 11.75), 1.5f, 90.0, 180.0);
        arc(back, d2d::point(5.25, 4.25), 1.5f, 180.0, 270.0);
        arc(back, d2d::point(10.75, 4.25), 1.5f, 270.0, 360.0);
        back.push_back(d2d::point(12.25, 4.5));
        HRESULT hr = outline(back, false);
        if (FAILED(hr)) return hr;
        target_->DrawRoundedRectangle(D2D1::RoundedRect(D2D1::RectF(7.75f, 6.75f, 16.25f, 17.25f), 1.5f, 1.5f), brush_,
                                      kLine);
        return S_OK;
    }

    HRESULT save() {
        HRESULT hr = outline({d2d::point(3.75, 3.75), d2d::point(13.25, 3.75), d2d::point(16.25, 6.75),
                              d2d::point(16.25, 16.25), d2d::point(3.75, 16.25)},
                             true);
        if (FAILED(hr)) return hr;
        hr = outline({d2d::point(6.75, 3.75), d2d::point(6.75, 7.25), d2d::point(12.25, 7.25), d2d::point(12.25, 3.75)},
                     false);
        if (FAILED(hr)) return hr;
        return outline(
            {d2d::point(6.75, 16.25), d2d::point(6.75, 11.25), d2d::point(13.25, 11.25), d2d::point(13.25, 16.25)},
            false);
    }

    HRESULT close() {
        stroke(d2d::point(5.0, 5.0), d2d::point(15.0, 15.0), kLine + 0.25f);
        stroke(d2d::point(15.0, 5.0), d2d::point(5.0, 15.0), kLine + 0.25f);
        return S_OK;
    }

    ID2D1RenderTarget* target_;
    ID2D1Factory* factory_;
    ID2D1SolidColorBrush* brush_;
    D2D1_MATRIX_3X2_F base_;
    D2D1_POINT_2F origin_{};
    Rgb ink_;
};

// Panels, buttons, icons and tooltip boxes are drawn at twice their size
// into an offscreen layer that is then drawn halved: linear sampling at the
// centres of the half-size pixels averages 2 x 2 layer pixels exactly, so
// curves and slants get four coverage samples per pixel whatever
// antialiasing the platform's rasteriser does (Wine's does none). The layer
// starts on a whole pixel, so straight edges laid on pixel edges stay sharp.
// (A finer layer costs far more than it shows: Wine rasterises in software.)
constexpr float kSuper = 2.0f;

// Maps desktop pixels into a layer of `scale` pixels per desktop pixel
// whose origin is the desktop pixel (x0, y0).
D2D1_MATRIX_3X2_F layer_transform(float x0, float y0, float scale) {
    return D2D1::Matrix3x2F::Translation(-x0, -y0) * D2D1::Matrix3x2F::Scale(scale, scale);
}

// Calls draw(layer, brush, transform) to paint the part of the desktop inside
// `area` (desktop pixels; `transform` maps them into the layer) on layer
// `slot` of `resources`, then puts the result on `target` at `opacity`.
template <class Draw>
Result<void> draw_smoothed(ID2D1RenderTarget* target, ToolbarResources& resources, std::size_t slot,
                           const ToolbarRect& area, float opacity, Draw&& draw) {
    const double x0 = std::floor(area.left);
    const double y0 = std::floor(area.top);
    const double x1 = std::ceil(area.right);
    const double y1 = std::ceil(area.bottom);
    // Panels and tooltips are small; anything else is not ours to draw.
    if (!(x1 > x0 && y1 > y0) || x1 - x0 > 4096.0 || y1 - y0 > 4096.0) return {};
    const auto width = static_cast<UINT32>((x1 - x0) * kSuper);
    const auto height = static_cast<UINT32>((y1 - y0) * kSuper);

    auto made = resources.layer(target, slot, width, height);
    if (!made) return propagate(made);
    auto brush = resources.brush(target);
    if (!brush) return propagate(brush);
    ID2D1BitmapRenderTarget* layer = *made;
    layer->BeginDraw();
    layer->SetTransform(D2D1::Matrix3x2F::Identity());
    layer->Clear(D2D1::ColorF(0, 0, 0, 0));
    layer->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    const HRESULT drawn = draw(layer, *brush, layer_transform(static_cast<float>(x0), static_cast<float>(y0), kSuper));
    const HRESULT hr = layer->EndDraw();
    if (FAILED(drawn)) return fail_hresult(drawn);
    if (FAILED(hr)) return fail_hresult(hr);
    ComPtr<ID2D1Bitmap> bitmap;
    RETURN_IF_FAILED(layer->GetBitmap(&bitmap));

    target->DrawBitmap(
        bitmap.Get(),
        D2D1::RectF(static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1), static_cast<float>(y1)),
        opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
    return {};
}

// The layers' slots: one per panel, then one per tooltip shown.
std::size_t layer_slot(ToolbarPanel panel) {
    return panel == ToolbarPanel::Tools ? 0 : 1;
}
constexpr std::size_t kFirstTooltipSlot = 2;

// One panel: its background and outline, its buttons' fills and icons.
Result<void> paint_panel(ID2D1RenderTarget* target, ToolbarResources& resources, ID2D1Factory* factory,
                         const ToolbarLayout& layout, ToolbarPanel panel, Point pointer) {
    const std::optional<ToolbarRect> background = panel_background(layout, panel);
    if (!background) return {};
    return draw_smoothed(
        target, resources, layer_slot(panel), *background, 1.0f,
        [&](ID2D1RenderTarget* layer, ID2D1SolidColorBrush* brush, const D2D1_MATRIX_3X2_F& to_layer) {
            layer->SetTransform(to_layer);
            // The 1-pixel outline lies just inside the background, so it stays sharp.
            const D2D1_RECT_F r = d2d::rect(*background);
            const auto panel_radius = static_cast<float>(kToolbarPanelRadius);
            brush->SetColor(d2d::colour(kToolbarPanelFill));
            layer->FillRoundedRectangle(D2D1::RoundedRect(r, panel_radius, panel_radius), brush);
            brush->SetColor(d2d::colour(kToolbarPanelOutline));
            const D2D1_RECT_F inner = D2D1::RectF(r.left + 0.5f, r.top + 0.5f, r.right - 0.5f, r.bottom - 0.5f);
            layer->DrawRoundedRectangle(D2D1::RoundedRect(inner, panel_radius - 0.5f, panel_radius - 0.5f), brush,
                                        1.0f);

            const auto button_radius = static_cast<float>(kToolbarButtonRadius);
            IconPainter icons(layer, factory, brush, to_layer);
            for (const ToolbarButton& button : layout.buttons()) {
                if (button.panel != panel) continue;
                layer->SetTransform(to_layer);
                brush->SetColor(d2d::colour(button_fill(button, pointer)));
                layer->FillRoundedRectangle(D2D1::RoundedRect(d2d::rect(button.rect), button_radius, button_radius),
                                            brush);
                // A whole-pixel origin keeps the artwork's straight edges on pixel edges.
                const D2D1_POINT_2F origin = d2d::point(std::floor(button.rect.left + kToolbarIconInset + 0.5),
                                                        std::floor(button.rect.top + kToolbarIconInset + 0.5));
                const HRESULT hr = icons.draw(toolbar_glyph(button.command), origin, icon_colour(button));
                if (FAILED(hr)) return hr;
            }
            return S_OK;
        });
}

Result<ComPtr<IDWriteTextLayout>> tooltip_layout(IDWriteFactory* dwrite, IDWriteTextFormat* format,
                                                 std::string_view text) {
    const std::wstring wide = to_wide(text);
    ComPtr<IDWriteTextLayout> layout;
    const HRESULT hr =
        dwrite->CreateTextLayout(wide.c_str(), static_cast<UINT32>(wide.size()), format, 10000.0f, 100.0f, &layout);
    if (FAILED(hr)) return fail_hresult(hr);
    return layout;
}

Result<ComPtr<IDWriteTextFormat>> tooltip_format(IDWriteFactory* dwrite) {
    return d2d::text_format(dwrite, {.family = kTooltipFont, .size = kTooltipFontSize, .locale = L"en-us"});
}

Result<void> paint_tooltip(ID2D1RenderTarget* target, ToolbarResources& resources, std::size_t slot,
                           IDWriteFactory* dwrite, IDWriteTextFormat* format, const ToolbarInput& input,
                           const ToolbarRect& button, std::string_view text, float opacity) {
    auto layout = tooltip_layout(dwrite, format, text);
    if (!layout) return propagate(layout);
    DWRITE_TEXT_METRICS metrics{};
    RETURN_IF_FAILED((*layout)->GetMetrics(&metrics));
    const ToolbarRect box = tooltip_rect(button, metrics.width, input.desktop_width, input.desktop_height);
    auto filled =
        draw_smoothed(target, resources, slot, box, opacity,
                      [&](ID2D1RenderTarget* layer, ID2D1SolidColorBrush* fill, const D2D1_MATRIX_3X2_F& to_layer) {
                          const auto radius = static_cast<float>(kTooltipCornerRadius);
                          layer->SetTransform(to_layer);
                          fill->SetColor(d2d::colour(kTooltipFill));
                          layer->FillRoundedRectangle(D2D1::RoundedRect(d2d::rect(box), radius, radius), fill);
                          return S_OK;
                      });
    if (!filled) return filled;
    auto brush = resources.brush(target);
    if (!brush) return propagate(brush);
    (*brush)->SetColor(d2d::colour(kTooltipText, opacity));
    target->DrawTextLayout(d2d::point(box.left + kTooltipTextX, box.top + kTooltipTextY), layout->Get(), *brush,
                           D2D1_DRAW_TEXT_OPTIONS_NONE);
    return {};
}

}  // namespace

Result<double> tooltip_text_width(IDWriteFactory* dwrite, std::string_view text) {
    auto format = tooltip_format(dwrite);
    if (!format) return propagate(format);
    auto layout = tooltip_layout(dwrite, format->Get(), text);
    if (!layout) return propagate(layout);
    DWRITE_TEXT_METRICS metrics{};
    RETURN_IF_FAILED((*layout)->GetMetrics(&metrics));
    return static_cast<double>(metrics.width);
}

Result<ID2D1SolidColorBrush*> ToolbarResources::brush(ID2D1RenderTarget* target) {
    if (!brush_) RETURN_IF_FAILED(target->CreateSolidColorBrush(d2d::colour(kToolbarPanelFill), &brush_));
    return brush_.Get();
}

Result<ID2D1BitmapRenderTarget*> ToolbarResources::layer(ID2D1RenderTarget* target, std::size_t slot, UINT32 width,
                                                         UINT32 height) {
    if (layers_.size() <= slot) layers_.resize(slot + 1);
    Layer& held = layers_[slot];
    if (!held.target || held.width != width || held.height != height) {
        held = {};
        const D2D1_PIXEL_FORMAT format = D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED);
        RETURN_IF_FAILED(target->CreateCompatibleRenderTarget(
            D2D1::SizeF(static_cast<float>(width), static_cast<float>(height)), D2D1::SizeU(width, height), format,
            D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE, &held.target));
        held.width = width;
        held.height = height;
    }
    return held.target.Get();
}

void ToolbarResources::reset() {
    brush_.Reset();
    layers_.clear();
}

Result<void> paint_toolbar(ID2D1RenderTarget* target, ToolbarResources& resources, IDWriteFactory* dwrite,
                           const ToolbarInput& input, const ToolbarLayout& layout, const ToolbarHoverState& hover,
                           Point pointer, std::uint64_t now_ms) {
    if (layout.empty()) return {};
    TargetStateGuard guard(target);
    target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    // Grayscale text: the overlay may be a layered window with per-pixel alpha.
    target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);

    ComPtr<ID2D1Factory> factory;
    target->GetFactory(&factory);
    for (const ToolbarPanel panel : {ToolbarPanel::Tools, ToolbarPanel::Actions}) {
        auto painted = paint_panel(target, resources, factory.Get(), layout, panel, pointer);
        if (!painted) return painted;
    }

    const std::vector<TooltipShown> tooltips = tooltips_shown(layout, hover, now_ms);
    if (tooltips.empty()) return {};
    auto format = tooltip_format(dwrite);
    if (!format) return propagate(format);
    std::size_t slot = kFirstTooltipSlot;
    for (const TooltipShown& tip : tooltips) {
        RETURN_IF_ERROR(paint_tooltip(target, resources, slot++, dwrite, format->Get(), input, tip.button, tip.text,
                                      static_cast<float>(tip.opacity)));
    }
    return {};
}

}  // namespace kadrovix::win32
