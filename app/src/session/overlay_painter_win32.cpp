// The overlay's painting: a frame is the retained base (the frozen picture,
// the veil and the settled annotations) or those drawn directly, then what
// moves on top: the objects a gesture changes, the region's frame and
// handles, the selection, the toolbar and its tooltip, previews and the open
// sub-editors. Brushes live with the render target, text formats with the
// session.
#include <wrl/client.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/runtime/start_trace_win32.h"
#include "app/runtime/text_win32.h"
#include "base/error_win32.h"
#include "render/d2d_helpers_win32.h"
#include "session/capture_session_win32.h"
#include "session/dimensions/dimension_label.h"
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
    // What the system asks for (the window uncovered, a full invalidation)
    // besides the session's own changes, rectangle by rectangle: the bounding
    // box of two small changes far apart can be most of the desktop.
    win32::UniqueRegion update(::CreateRectRgn(0, 0, 0, 0));
    if (update && ::GetUpdateRgn(window_, update.get(), FALSE) > NULLREGION) {
        const DWORD bytes = ::GetRegionData(update.get(), 0, nullptr);
        std::vector<std::byte> data(bytes);
        auto* region = reinterpret_cast<RGNDATA*>(data.data());
        if (bytes >= sizeof(RGNDATAHEADER) && ::GetRegionData(update.get(), bytes, region) == bytes) {
            const auto* rects = reinterpret_cast<const RECT*>(region->Buffer);
            for (DWORD i = 0; i < region->rdh.nCount; ++i) {
                dirty_.add(PixelBox{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom});
            }
        } else {
            dirty_.add_everything();
        }
    }
    PAINTSTRUCT ps;
    HDC window_dc = ::BeginPaint(window_, &ps);
    if (window_dc == nullptr) return win32::fail_last_error();
    win32::mark_start("paint-begin");
    struct EndPaintOnExit {
        HWND w;
        PAINTSTRUCT* ps;
        ~EndPaintOnExit() { ::EndPaint(w, ps); }
    } end_paint{window_, &ps};

    auto painted = render_dirty(live_surface_ ? live_surface_->dc() : window_dc, now);
    if (!painted) return propagate(painted);
    if (live_surface_ && *painted) RETURN_IF_ERROR(live_surface_->present(window_, **painted));
    win32::mark_start("painted", true);
    return {};
}

void CaptureSession::invalidate() {
    account(now_ms());
}

void CaptureSession::account(std::uint64_t now) {
    OverlayLook next = look(now);
    DirtyArea change;
    add_changes(change, shown_, next);
    shown_ = std::move(next);
    for (const PixelBox& box : change.boxes(state_.desktop)) {
        dirty_.add(box);
        const RECT r{box.left, box.top, box.right, box.bottom};
        ::InvalidateRect(window_, &r, FALSE);
    }
}

Result<std::optional<PixelBox>> CaptureSession::render_dirty(HDC dc, std::uint64_t now) {
    account(now);
    const std::vector<PixelBox> boxes = dirty_.boxes(state_.desktop);
    dirty_.clear();
    if (boxes.empty()) return std::optional<PixelBox>{};
    PixelBox bounds = boxes.front();
    for (const PixelBox& box : boxes) {
        bounds = {std::min(bounds.left, box.left), std::min(bounds.top, box.top), std::max(bounds.right, box.right),
                  std::max(bounds.bottom, box.bottom)};
    }
    const auto drawn = render_boxes(dc, boxes, true, now, shown_);
    // What failed to draw is drawn again with the next frame.
    if (!drawn) {
        for (const PixelBox& box : boxes) dirty_.add(box);
        return propagate(drawn);
    }
    return std::optional<PixelBox>{bounds};
}

Result<void> CaptureSession::render_frame(HDC dc, bool retained, std::uint64_t now) {
    const PixelBox whole = whole_desktop();
    return render_boxes(dc, std::span<const PixelBox>(&whole, 1), retained, now, look(now));
}

Result<void> CaptureSession::render_boxes(HDC dc, std::span<const PixelBox> boxes, bool retained, std::uint64_t now,
                                          const OverlayLook& shown) {
    frame_ms_ = now;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A whole frame goes straight to the window. Parts of one are drawn
        // on a desktop-sized bitmap and copied out: drawn on a target of
        // another size or place, a shape's edge can fall on other pixels, and
        // a part repainted must match the whole frame.
        auto drawn = boxes.size() == 1 && boxes.front() == whole_desktop() ? draw_whole(dc, shown, retained)
                                                                           : draw_parts(dc, boxes, shown, retained);
        if (drawn) return {};
        // The device went away: new resources and one more try.
        if (drawn.error().code != static_cast<std::int32_t>(D2DERR_RECREATE_TARGET) || attempt == 1) return drawn;
        RETURN_IF_ERROR(create_resources());
    }
    return {};
}

Result<void> CaptureSession::draw_whole(HDC dc, const OverlayLook& shown, bool retained) {
    const PixelBox whole = whole_desktop();
    ID2D1DCRenderTarget* target = context_.dc_target.Get();
    const RECT all{0, 0, whole.right, whole.bottom};
    RETURN_IF_FAILED(target->BindDC(dc, &all));
    target->BeginDraw();
    target->SetTransform(D2D1::Matrix3x2F::Identity());
    win32::mark_start("frame-begun");
    auto drawn = draw_boxes(target, std::span<const PixelBox>(&whole, 1), shown, retained);
    auto ended = win32::end_overlay_frame(context_);
    win32::mark_start("frame-ended");
    if (!drawn) return drawn;
    return ended;
}

Result<void> CaptureSession::draw_parts(HDC dc, std::span<const PixelBox> boxes, const OverlayLook& shown,
                                        bool retained) {
    ID2D1DCRenderTarget* window_target = context_.dc_target.Get();
    // The DC target makes the compatible ones once it is bound.
    const RECT first{boxes.front().left, boxes.front().top, boxes.front().right, boxes.front().bottom};
    RETURN_IF_FAILED(window_target->BindDC(dc, &first));
    if (!frame_) {
        const auto w = static_cast<UINT32>(state_.desktop.width), h = static_cast<UINT32>(state_.desktop.height);
        RETURN_IF_FAILED(window_target->CreateCompatibleRenderTarget(
            D2D1::SizeF(static_cast<float>(w), static_cast<float>(h)), D2D1::SizeU(w, h), &frame_));
    }
    ID2D1BitmapRenderTarget* target = frame_.Get();
    target->BeginDraw();
    target->SetTransform(D2D1::Matrix3x2F::Identity());
    auto drawn = draw_boxes(target, boxes, shown, retained);
    const HRESULT ended = target->EndDraw();
    if (!drawn) return drawn;
    RETURN_IF_FAILED(ended);
    return copy_out(dc, target, boxes);
}

Result<void> CaptureSession::draw_boxes(ID2D1RenderTarget* target, std::span<const PixelBox> boxes,
                                        const OverlayLook& shown, bool retained) {
    RETURN_IF_ERROR(make_brushes(context_.dc_target.Get()));
    RETURN_IF_ERROR(make_text_formats());
    auto held = plan_base(target, shown, retained);
    if (!held) return propagate(held);
    for (const PixelBox& box : boxes) {
        const bool clipped = !(box == whole_desktop());
        if (clipped) {
            target->PushAxisAlignedClip(D2D1::RectF(static_cast<float>(box.left), static_cast<float>(box.top),
                                                    static_cast<float>(box.right), static_cast<float>(box.bottom)),
                                        D2D1_ANTIALIAS_MODE_ALIASED);
        }
        // Not fully transparent: a layered window with alpha 0 lets clicks through.
        target->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f / 255.0f));
        auto frame = draw_frame(target, shown, *held, box, clipped);
        if (clipped) target->PopAxisAlignedClip();
        if (!frame) return frame;
    }
    return {};
}

Result<void> CaptureSession::copy_out(HDC dc, ID2D1BitmapRenderTarget* from, std::span<const PixelBox> boxes) {
    ComPtr<ID2D1Bitmap> bitmap;
    RETURN_IF_FAILED(from->GetBitmap(&bitmap));
    ID2D1DCRenderTarget* window_target = context_.dc_target.Get();
    for (const PixelBox& box : boxes) {
        const RECT rect{box.left, box.top, box.right, box.bottom};
        RETURN_IF_FAILED(window_target->BindDC(dc, &rect));
        window_target->BeginDraw();
        window_target->SetTransform(D2D1::Matrix3x2F::Identity());
        window_target->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 0.0f));
        const auto w = static_cast<float>(box.right - box.left), h = static_cast<float>(box.bottom - box.top);
        const D2D1_RECT_F source = D2D1::RectF(static_cast<float>(box.left), static_cast<float>(box.top),
                                               static_cast<float>(box.right), static_cast<float>(box.bottom));
        window_target->DrawBitmap(bitmap.Get(), D2D1::RectF(0.0f, 0.0f, w, h), 1.0f,
                                  D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, &source);
        RETURN_IF_FAILED(window_target->EndDraw());
    }
    return {};
}

Result<void> CaptureSession::make_brushes(ID2D1RenderTarget* target) {
    if (brushes_.veil) return {};
    auto veil = d2d::solid_brush(target, rgba(0, 0, 0, static_cast<float>(kVeilOpacity)));
    if (!veil) return propagate(veil);
    auto ink = d2d::solid_brush(target, rgba(100, 170, 255));
    if (!ink) return propagate(ink);
    auto fill = d2d::solid_brush(target, rgba(250, 250, 250));
    if (!fill) return propagate(fill);
    auto dark = d2d::solid_brush(target, rgba(32, 32, 32));
    if (!dark) return propagate(dark);
    auto parts = d2d::solid_brush(target, rgba(32, 32, 32));
    if (!parts) return propagate(parts);
    brushes_ = {std::move(*veil), std::move(*ink), std::move(*fill), std::move(*dark), std::move(*parts)};
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
    auto title_width = text_width(dwrite, title->Get(), win32::to_wide(kHintTitle));
    if (!title_width) return propagate(title_width);
    formats_ = {std::move(*title), std::move(*detail), std::move(*label)};
    hint_title_width_ = *title_width;
    return {};
}

Result<std::optional<std::size_t>> CaptureSession::plan_base(ID2D1RenderTarget* target, const OverlayLook& shown,
                                                             bool retained) {
    // Live mode composes over a premultiplied surface, where a copied base
    // would not blend as the direct drawing does: it always draws directly.
    if (!retained || state_.live) return std::optional<std::size_t>{};
    const std::span<const Annotation> objects = shown.objects;
    const win32::BaseKey key{picture_generation_, state_.region, shown.edited};
    std::optional<std::size_t> held = base_.covers(key, objects);
    const auto& gesture = state_.editor.gesture;
    const std::span<const Annotation> before = gesture ? std::span<const Annotation>(gesture->snapshot) : objects;
    if (held && (gesture || *held == objects.size())) return held;
    const auto count = base_.plan_rebuild(key, objects, gesture ? &before : nullptr);
    if (!count) return held;
    const D2D1_SIZE_U size =
        D2D1::SizeU(static_cast<UINT32>(state_.desktop.width), static_cast<UINT32>(state_.desktop.height));
    RETURN_IF_ERROR(base_.rebuild(target, size, key, objects, *count,
                                  [&](ID2D1RenderTarget* layer, std::span<const Annotation> first) {
                                      layer->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f / 255.0f));
                                      return draw_base(layer, first, shown.edited, std::nullopt);
                                  }));
    return count;
}

Result<void> CaptureSession::draw_frame(ID2D1RenderTarget* target, const OverlayLook& shown,
                                        std::optional<std::size_t> held, const PixelBox& box, bool clipped) {
    std::optional<Rect> clip;
    if (clipped) {
        clip = Rect{{static_cast<double>(box.left), static_cast<double>(box.top)},
                    {static_cast<double>(box.right), static_cast<double>(box.bottom)}};
    }
    if (held) {
        const D2D1_RECT_F part = D2D1::RectF(static_cast<float>(box.left), static_cast<float>(box.top),
                                             static_cast<float>(box.right), static_cast<float>(box.bottom));
        target->DrawBitmap(base_.bitmap(), part, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, &part);
        RETURN_IF_ERROR(win32::draw_annotations(context_, target, shown.objects, shown.edited, *held, clip));
    } else {
        RETURN_IF_ERROR(draw_base(target, shown.objects, shown.edited, clip));
    }
    RETURN_IF_ERROR(draw_moving(target, shown));
    // --- dimension editor: the label, its fields and its box go over everything else ---
    return win32::paint_dimension_label(target, brushes_.parts.Get(), context_.dwrite_factory.Get(), state_,
                                        dimension_editor_ ? &*dimension_editor_ : nullptr);
}

Result<void> CaptureSession::draw_base(ID2D1RenderTarget* target, std::span<const Annotation> objects,
                                       std::optional<std::uint64_t> edited, const std::optional<Rect>& clip) {
    const float w = static_cast<float>(state_.desktop.width), h = static_cast<float>(state_.desktop.height);
    if (capture_bitmap_) {
        const D2D1_SIZE_F size = capture_bitmap_->GetSize();
        const D2D1_RECT_F all = D2D1::RectF(0.0f, 0.0f, size.width, size.height);
        const D2D1_RECT_F part = clip ? d2d::rect(*clip) : all;
        target->DrawBitmap(capture_bitmap_.Get(), part, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, &part);
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
    return win32::draw_annotations(context_, target, objects, edited, 0, clip);
}

Result<void> CaptureSession::draw_hint(ID2D1RenderTarget* target, const Rect& box) {
    ID2D1SolidColorBrush* brush = brushes_.ink.Get();
    const std::wstring title_text = win32::to_wide(kHintTitle);
    const std::wstring detail_text = win32::to_wide(kHintDetail);
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

void CaptureSession::draw_region_frame(ID2D1RenderTarget* target) {
    const Region& region = state_.region;
    ID2D1SolidColorBrush* brush = brushes_.ink.Get();
    brush->SetColor(rgba(100, 170, 255));  // the accent
    target->DrawRectangle(d2d::rect(hairline_frame(Rect{{region.left, region.top}, {region.right, region.bottom}})),
                          brush, 1.0f);
    for (const Point& p : handle_points(region)) {
        const D2D1_RECT_F square = d2d::rect(p.x - 4, p.y - 4, p.x + 4, p.y + 4);
        target->FillRectangle(square, brushes_.fill.Get());
        target->DrawRectangle(square, brushes_.dark.Get(), 1.5f);
    }
}

void CaptureSession::draw_selection(ID2D1RenderTarget* target, const SelectionFrame& frame) {
    ID2D1SolidColorBrush* brush = brushes_.ink.Get();
    target->DrawRectangle(d2d::rect(hairline_frame(frame.frame)), brush, 1.0f);
    for (const Point& c : frame.corners) target->FillRectangle(d2d::rect(c.x - 4, c.y - 4, c.x + 4, c.y + 4), brush);
    target->DrawLine(d2d::point(frame.stem), d2d::point(frame.knob), brush, 1.0f);
    const D2D1_ELLIPSE knob = D2D1::Ellipse(d2d::point(frame.knob), 6.0f, 6.0f);
    target->FillEllipse(knob, brushes_.dark.Get());
    target->DrawEllipse(knob, brush, 2.0f);
}

void CaptureSession::draw_preview(ID2D1RenderTarget* target, const BrushPreview& preview) {
    ID2D1SolidColorBrush* brush = brushes_.ink.Get();
    const auto radius = static_cast<float>(preview.diameter / 2);
    const D2D1_ELLIPSE circle = D2D1::Ellipse(d2d::point(preview.centre), radius, radius);
    brush->SetColor(rgba(25, 25, 25));
    target->DrawEllipse(circle, brush, 3.0f);
    brush->SetColor(rgba(250, 250, 250));
    target->DrawEllipse(circle, brush, 1.0f);
    if (!preview.label) return;
    const Rect& box = preview.label->box;
    brush->SetColor(rgba(25, 25, 25));
    target->FillRoundedRectangle(D2D1::RoundedRect(d2d::rect(box), 4.0f, 4.0f), brush);
    const std::wstring text = win32::to_wide(preview.label->text);
    brush->SetColor(rgba(250, 250, 250));
    target->DrawText(text.c_str(), static_cast<UINT32>(text.size()), formats_.preview_label.Get(),
                     d2d::rect(box.min.x + 7, box.min.y + 3, box.max.x, box.max.y), brush);
}

Result<void> CaptureSession::draw_moving(ID2D1RenderTarget* target, const OverlayLook& shown) {
    IDWriteFactory* dwrite = context_.dwrite_factory.Get();
    if (!state_.region.exists) return shown.hint ? draw_hint(target, *shown.hint) : Result<void>{};
    if (text_entry_) RETURN_IF_ERROR(text_entry_->paint(target, brushes_.parts.Get(), dwrite));
    draw_region_frame(target);
    if (shown.selection) draw_selection(target, *shown.selection);
    if (shown.marquee) {
        ID2D1SolidColorBrush* brush = brushes_.ink.Get();
        brush->SetColor(rgba(100, 170, 255));
        target->DrawRectangle(d2d::rect(hairline_frame(*shown.marquee)), brush, 1.0f);
    }
    if (!shown.toolbar) return {};  // selecting the region: nothing else shows
    const ToolbarLayout layout = layout_toolbar(*shown.toolbar);
    RETURN_IF_ERROR(win32::paint_toolbar(target, toolbar_paint_, dwrite, *shown.toolbar, layout, hover_, state_.pointer,
                                         frame_ms_));
    if (shown.preview) draw_preview(target, *shown.preview);
    // Colour picker and eyedropper: the loupe is the pointer overlay; the
    // open picker goes over it.
    if (shown.loupe) {
        RETURN_IF_ERROR(
            win32::paint_loupe(target, brushes_.parts.Get(), dwrite, capture_, *shown.loupe, state_.desktop));
    }
    return picker_.paint(target, dwrite);
}

// --- what a frame shows ---------------------------------------------------------

std::optional<Rect> CaptureSession::hint_at() const {
    if (!hint_title_width_) return std::nullopt;
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
    return hint_box(*hint_title_width_, state_.pointer, monitor_rect);
}

std::optional<double> CaptureSession::tooltip_width(std::string_view text) {
    for (const auto& [known, width] : tooltip_widths_) {
        if (known == text) return width;
    }
    auto measured = win32::tooltip_text_width(context_.dwrite_factory.Get(), text);
    if (!measured) return std::nullopt;
    tooltip_widths_.emplace_back(text, *measured);
    return *measured;
}

OverlayLook CaptureSession::look(std::uint64_t now) {
    OverlayLook shown;
    shown.desktop = state_.desktop;
    shown.picture = picture_generation_;
    shown.region = state_.region;
    shown.edited = text_entry_ ? text_entry_->edited_id() : std::nullopt;
    shown.live = state_.live;
    shown.open_editor = text_entry_.has_value() || dimension_editor_.has_value() || picker_.is_open();
    // The text being edited shows only as its live field; without a region
    // no annotation shows at all.
    if (state_.region.exists) shown.objects = state_.editor.objects;
    if (!state_.region.exists) {
        if (hint_visible(state_)) {
            if (!make_text_formats()) shown.open_editor = true;
            shown.hint = hint_at();
        }
        return shown;
    }
    const PartsView parts = parts_at(state_.pointer);
    shown.selection = selection_frame(state_, parts);
    shown.marquee = state_.editor.marquee();
    shown.label = dimensions::label_paint(state_, false, std::nullopt);
    if (state_.region_selection) return shown;
    shown.toolbar = toolbar_input(state_);
    const ToolbarLayout layout = layout_toolbar(*shown.toolbar);
    if (const ToolbarButton* button = hit_test_button(layout, state_.pointer)) shown.toolbar_pointer = button->command;
    for (const TooltipShown& tip : tooltips_shown(layout, hover_, now)) {
        const auto width = tooltip_width(tip.text);
        // Unmeasured, its box is unknown: everything is repainted.
        if (!width) shown.open_editor = true;
        shown.tooltips.push_back(
            {tooltip_rect(tip.button, width.value_or(0.0), state_.desktop.width, state_.desktop.height), tip});
    }
    shown.preview = brush_preview(state_, parts);
    if (state_.eyedropper_on) shown.loupe = state_.pointer;
    return shown;
}

}  // namespace kadrovix
