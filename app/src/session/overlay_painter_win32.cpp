// The overlay's painting: a frame is the retained base (the frozen picture,
// the veil and the settled annotations) or those drawn directly, then what
// moves on top: the objects a gesture changes, the region's frame and
// handles, the selection, the toolbar and its tooltip, previews and the open
// sub-editors. Brushes live with the render target, text formats with the
// session.
#include <wrl/client.h>

#include <string>

#include "app/runtime/start_trace_win32.h"
#include "app/runtime/text_win32.h"
#include "base/error_win32.h"
#include "render/d2d_helpers_win32.h"
#include "session/capture_session_win32.h"
#include "session/overlay.h"
#include "session/region.h"
#include "toolbar/toolbar_win32.h"

namespace kadrovix {

using Microsoft::WRL::ComPtr;

namespace {

using d2d::rgba;

Result<ComPtr<IDWriteTextFormat>> text_format(IDWriteFactory* factory, float size) {
    return d2d::text_format(factory, {.family = L"Segoe UI", .size = size});
}

Result<double> text_width(IDWriteFactory* factory, IDWriteTextFormat* format, std::wstring_view text) {
    ComPtr<IDWriteTextLayout> layout;
    RETURN_IF_FAILED(factory->CreateTextLayout(text.data(), static_cast<UINT32>(text.size()), format, 100000.0f,
                                               1000.0f, layout.GetAddressOf()));
    DWRITE_TEXT_METRICS metrics{};
    if (const HRESULT m = layout->GetMetrics(&metrics); FAILED(m)) return win32::fail_hresult(m);
    return static_cast<double>(metrics.widthIncludingTrailingWhitespace);
}

}  // namespace

Result<void> CaptureSession::paint() {
    // The tooltips' repaint timer needs to know which moment this frame shows.
    const std::uint64_t now = now_ms();
    hover_.note_painted(now);
    PAINTSTRUCT ps;
    HDC window_dc = ::BeginPaint(window_, &ps);
    if (window_dc == nullptr) return win32::fail_last_error();
    win32::mark_start("paint-begin");
    struct EndPaintOnExit {
        HWND w;
        PAINTSTRUCT* ps;
        ~EndPaintOnExit() { ::EndPaint(w, ps); }
    } end_paint{window_, &ps};

    RETURN_IF_ERROR(render_frame(live_surface_ ? live_surface_->dc() : window_dc, true, now));
    if (live_surface_) RETURN_IF_ERROR(live_surface_->present(window_));
    win32::mark_start("painted", true);
    return {};
}

Result<void> CaptureSession::render_frame(HDC dc, bool retained, std::uint64_t now) {
    frame_ms_ = now;
    const RECT all{0, 0, state_.desktop.width, state_.desktop.height};
    for (int attempt = 0; attempt < 2; ++attempt) {
        RETURN_IF_ERROR(win32::begin_overlay_frame(context_, dc, all, nullptr));
        win32::mark_start("frame-begun");
        auto drawn = draw_frame(context_.dc_target.Get(), retained);
        win32::mark_start("frame-drawn");
        // --- dimension editor: the label, its fields and its box go over everything else ---
        if (drawn) {
            drawn = win32::paint_dimension_label(context_.dc_target.Get(), context_.dwrite_factory.Get(), state_,
                                                 dimension_editor_ ? &*dimension_editor_ : nullptr);
        }
        auto ended = win32::end_overlay_frame(context_);
        win32::mark_start("frame-ended");
        if (!drawn) return drawn;
        if (!ended) {
            // The device went away: new resources and one more try.
            if (ended.error().code == static_cast<std::int32_t>(D2DERR_RECREATE_TARGET) && attempt == 0) {
                RETURN_IF_ERROR(create_resources());
                continue;
            }
            return ended;
        }
        break;
    }
    return {};
}

Result<void> CaptureSession::make_brushes(ID2D1RenderTarget* target) {
    if (brushes_.veil) return {};
    auto veil = d2d::solid_brush(target, rgba(0, 0, 0, 0.48f));
    if (!veil) return propagate(veil);
    auto ink = d2d::solid_brush(target, rgba(100, 170, 255));
    if (!ink) return propagate(ink);
    auto fill = d2d::solid_brush(target, rgba(250, 250, 250));
    if (!fill) return propagate(fill);
    auto dark = d2d::solid_brush(target, rgba(32, 32, 32));
    if (!dark) return propagate(dark);
    brushes_ = {std::move(*veil), std::move(*ink), std::move(*fill), std::move(*dark)};
    return {};
}

Result<void> CaptureSession::make_text_formats() {
    if (formats_.hint_title) return {};
    IDWriteFactory* dwrite = context_.dwrite_factory.Get();
    auto title = text_format(dwrite, 13.0f);
    if (!title) return propagate(title);
    auto detail = text_format(dwrite, 11.0f);
    if (!detail) return propagate(detail);
    auto label = text_format(dwrite, 12.0f);
    if (!label) return propagate(label);
    formats_ = {std::move(*title), std::move(*detail), std::move(*label)};
    return {};
}

Result<void> CaptureSession::draw_frame(ID2D1RenderTarget* target, bool retained) {
    RETURN_IF_ERROR(make_brushes(target));
    RETURN_IF_ERROR(make_text_formats());
    win32::mark_start("text-formats");
    // The text being edited shows only as its live field; without a region
    // no annotation shows at all.
    const std::optional<std::uint64_t> edited = text_entry_ ? text_entry_->edited_id() : std::nullopt;
    const std::span<const Annotation> shown =
        state_.region.exists ? std::span<const Annotation>(state_.editor.objects) : std::span<const Annotation>();
    std::optional<std::size_t> held;
    // Live mode composes over a premultiplied surface, where a copied base
    // would not blend as the direct drawing does: it always draws directly.
    if (retained && !state_.live) {
        const win32::BaseKey key{picture_generation_, state_.region, edited};
        held = base_.covers(key, shown);
        const auto& gesture = state_.editor.gesture;
        const std::span<const Annotation> before = gesture ? std::span<const Annotation>(gesture->snapshot) : shown;
        if (!held || (!gesture && *held < shown.size())) {
            if (const auto count = base_.plan_rebuild(key, shown, gesture ? &before : nullptr)) {
                const D2D1_SIZE_U size =
                    D2D1::SizeU(static_cast<UINT32>(state_.desktop.width), static_cast<UINT32>(state_.desktop.height));
                RETURN_IF_ERROR(base_.rebuild(target, size, key, shown, *count,
                                              [&](ID2D1RenderTarget* layer, std::span<const Annotation> first) {
                                                  layer->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f / 255.0f));
                                                  return draw_base(layer, first, edited);
                                              }));
                held = *count;
            }
        }
    }
    if (held) {
        const D2D1_SIZE_F size = base_.bitmap()->GetSize();
        target->DrawBitmap(base_.bitmap(), D2D1::RectF(0.0f, 0.0f, size.width, size.height), 1.0f,
                           D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
        RETURN_IF_ERROR(win32::draw_annotations(context_, target, shown, edited, *held));
    } else {
        RETURN_IF_ERROR(draw_base(target, shown, edited));
    }
    return draw_moving(target);
}

Result<void> CaptureSession::draw_base(ID2D1RenderTarget* target, std::span<const Annotation> objects,
                                       std::optional<std::uint64_t> edited) {
    const float w = static_cast<float>(state_.desktop.width), h = static_cast<float>(state_.desktop.height);
    if (capture_bitmap_) {
        const D2D1_SIZE_F size = capture_bitmap_->GetSize();
        target->DrawBitmap(capture_bitmap_.Get(), D2D1::RectF(0.0f, 0.0f, size.width, size.height), 1.0f,
                           D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
    }
    ID2D1SolidColorBrush* veil = brushes_.veil.Get();
    const Region& region = state_.region;
    if (!region.exists) {
        target->FillRectangle(D2D1::RectF(0, 0, w, h), veil);
        return {};
    }
    // The veil around the region.
    const float l = static_cast<float>(region.left), t = static_cast<float>(region.top);
    const float r = static_cast<float>(region.right), b = static_cast<float>(region.bottom);
    target->FillRectangle(D2D1::RectF(0, 0, w, t), veil);
    target->FillRectangle(D2D1::RectF(0, b, w, h), veil);
    target->FillRectangle(D2D1::RectF(0, t, l, b), veil);
    target->FillRectangle(D2D1::RectF(r, t, w, b), veil);
    return win32::draw_annotations(context_, target, objects, edited);
}

Result<void> CaptureSession::draw_hint(ID2D1RenderTarget* target) {
    IDWriteFactory* dwrite = context_.dwrite_factory.Get();
    ID2D1SolidColorBrush* brush = brushes_.ink.Get();
    const std::wstring title_text = win32::to_wide(kHintTitle);
    const std::wstring detail_text = win32::to_wide(kHintDetail);
    auto title_width = text_width(dwrite, formats_.hint_title.Get(), title_text);
    if (!title_width) return propagate(title_width);
    const Point on_screen = to_screen(state_.desktop, state_.pointer);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = ::MonitorFromPoint(POINT{static_cast<LONG>(on_screen.x), static_cast<LONG>(on_screen.y)},
                                          MONITOR_DEFAULTTONEAREST);
    Rect monitor_rect{{0, 0}, {static_cast<double>(state_.desktop.width), static_cast<double>(state_.desktop.height)}};
    if (monitor != nullptr && ::GetMonitorInfoW(monitor, &info)) {
        monitor_rect =
            to_desktop(state_.desktop,
                       Rect{{static_cast<double>(info.rcMonitor.left), static_cast<double>(info.rcMonitor.top)},
                            {static_cast<double>(info.rcMonitor.right), static_cast<double>(info.rcMonitor.bottom)}});
    }
    const Rect box = hint_box(*title_width, state_.pointer, monitor_rect);
    brush->SetColor(rgba(25, 25, 28, 0.94f));
    target->FillRoundedRectangle(D2D1::RoundedRect(d2d::rect(box), 5.0f, 5.0f), brush);
    brush->SetColor(rgba(245, 245, 245));
    const float x = static_cast<float>(box.min.x), y = static_cast<float>(box.min.y);
    target->DrawText(title_text.c_str(), static_cast<UINT32>(title_text.size()), formats_.hint_title.Get(),
                     D2D1::RectF(x + 10, y + 6, x + 1000, y + 26), brush);
    brush->SetColor(rgba(180, 183, 188));
    target->DrawText(detail_text.c_str(), static_cast<UINT32>(detail_text.size()), formats_.hint_detail.Get(),
                     D2D1::RectF(x + 10, y + 26, x + 1000, y + 44), brush);
    return {};
}

Result<void> CaptureSession::draw_moving(ID2D1RenderTarget* target) {
    IDWriteFactory* dwrite = context_.dwrite_factory.Get();
    const Region& region = state_.region;
    if (!region.exists) return hint_visible(state_) ? draw_hint(target) : Result<void>{};

    if (text_entry_) RETURN_IF_ERROR(text_entry_->paint(target, dwrite));

    ID2D1SolidColorBrush* brush = brushes_.ink.Get();
    ID2D1SolidColorBrush* fill = brushes_.fill.Get();
    ID2D1SolidColorBrush* dark = brushes_.dark.Get();
    brush->SetColor(rgba(100, 170, 255));  // the accent
    target->DrawRectangle(d2d::rect(hairline_frame(Rect{{region.left, region.top}, {region.right, region.bottom}})),
                          brush, 1.0f);
    for (const Point& p : handle_points(region)) {
        const D2D1_RECT_F square = d2d::rect(p.x - 4, p.y - 4, p.x + 4, p.y + 4);
        target->FillRectangle(square, fill);
        target->DrawRectangle(square, dark, 1.5f);
    }

    const PartsView parts = parts_at(state_.pointer);
    if (const auto frame = selection_frame(state_, parts)) {
        target->DrawRectangle(d2d::rect(hairline_frame(frame->frame)), brush, 1.0f);
        for (const Point& c : frame->corners)
            target->FillRectangle(d2d::rect(c.x - 4, c.y - 4, c.x + 4, c.y + 4), brush);
        target->DrawLine(d2d::point(frame->stem), d2d::point(frame->knob), brush, 1.0f);
        const D2D1_ELLIPSE knob = D2D1::Ellipse(d2d::point(frame->knob), 6.0f, 6.0f);
        target->FillEllipse(knob, dark);
        target->DrawEllipse(knob, brush, 2.0f);
    }
    if (const auto marquee = state_.editor.marquee()) {
        target->DrawRectangle(d2d::rect(hairline_frame(*marquee)), brush, 1.0f);
    }

    if (state_.region_selection) return {};

    const ToolbarInput input = toolbar_input(state_);
    const ToolbarLayout layout = layout_toolbar(input);
    RETURN_IF_ERROR(win32::paint_toolbar(target, dwrite, input, layout, hover_, state_.pointer, frame_ms_));

    if (const auto preview = brush_preview(state_, parts)) {
        const auto radius = static_cast<float>(preview->diameter / 2);
        const D2D1_ELLIPSE circle = D2D1::Ellipse(d2d::point(preview->centre), radius, radius);
        brush->SetColor(rgba(25, 25, 25));
        target->DrawEllipse(circle, brush, 3.0f);
        brush->SetColor(rgba(250, 250, 250));
        target->DrawEllipse(circle, brush, 1.0f);
        if (preview->label) {
            brush->SetColor(rgba(25, 25, 25));
            target->FillRoundedRectangle(D2D1::RoundedRect(d2d::rect(preview->label->box), 4.0f, 4.0f), brush);
            const std::wstring text = win32::to_wide(preview->label->text);
            const Rect& box = preview->label->box;
            brush->SetColor(rgba(250, 250, 250));
            target->DrawText(text.c_str(), static_cast<UINT32>(text.size()), formats_.preview_label.Get(),
                             d2d::rect(box.min.x + 7, box.min.y + 3, box.max.x, box.max.y), brush);
        }
    }
    // Colour picker and eyedropper: the loupe is the pointer overlay; the
    // open picker goes over it.
    if (state_.eyedropper_on)
        RETURN_IF_ERROR(win32::paint_loupe(target, dwrite, capture_, state_.pointer, state_.desktop));
    return picker_.paint(target, dwrite);
}

}  // namespace kadrovix
