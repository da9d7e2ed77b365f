#include "render/renderer_win32.h"
#include "render/text_pieces_win32.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "app/runtime/start_trace_win32.h"
#include "app/runtime/text_win32.h"
#include "base/error_win32.h"
#include "paths/geometry.h"
#include "render/d2d_helpers_win32.h"
#include "render/paint_bounds.h"
#include "render/round_stroke.h"
#include "render/screen_grab_win32.h"

namespace kadrovix::win32 {

using Microsoft::WRL::ComPtr;

// A Result holding a ComPtr is read with *, never ->: Expected::operator->
// takes the address with unary &, which MinGW's ComPtr overloads to release
// the pointer it holds.

namespace {

constexpr float kHighlighterOpacity = 0.3f;
constexpr float kFlatteningTolerance = 0.1f;
constexpr wchar_t kAnnotationFont[] = L"Segoe UI";
constexpr wchar_t kAnnotationLocale[] = L"en-US";

D2D1_POINT_2F to_d2d(Point p) { return D2D1::Point2F(static_cast<float>(p.x), static_cast<float>(p.y)); }

D2D1_PIXEL_FORMAT bgra_format(D2D1_ALPHA_MODE alpha) { return D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, alpha); }

bool is_highlighter(const Annotation& a) {
    const auto* stroke = a.as<shape::Stroke>();
    return stroke != nullptr && stroke->highlighter != 0;
}

// Restores a render target's transform when the drawing of one object ends,
// whichever way it ends.
class TransformGuard {
public:
    explicit TransformGuard(ID2D1RenderTarget* target) : target_(target) { target_->GetTransform(&saved_); }
    TransformGuard(const TransformGuard&) = delete;
    TransformGuard& operator=(const TransformGuard&) = delete;
    ~TransformGuard() { target_->SetTransform(saved_); }
    const D2D1_MATRIX_3X2_F& saved() const { return saved_; }

private:
    ID2D1RenderTarget* target_;
    D2D1_MATRIX_3X2_F saved_{};
};

// One path geometry with a single figure through `points`.
Result<ComPtr<ID2D1PathGeometry>> figure_geometry(ID2D1Factory* factory, const paths::Polyline& points, bool closed,
                                                  bool filled) {
    ComPtr<ID2D1PathGeometry> geometry;
    RETURN_IF_FAILED(factory->CreatePathGeometry(&geometry));
    ComPtr<ID2D1GeometrySink> sink;
    RETURN_IF_FAILED(geometry->Open(&sink));
    sink->BeginFigure(to_d2d(points.front()), filled ? D2D1_FIGURE_BEGIN_FILLED : D2D1_FIGURE_BEGIN_HOLLOW);
    // A closed outline repeats its first point; EndFigure(CLOSED) draws that
    // last side, so the repeated point would only add a zero-length segment.
    const std::size_t count = closed ? points.size() - 1 : points.size();
    for (std::size_t i = 1; i < count; ++i) sink->AddLine(to_d2d(points[i]));
    sink->EndFigure(closed ? D2D1_FIGURE_END_CLOSED : D2D1_FIGURE_END_OPEN);
    RETURN_IF_FAILED(sink->Close());
    return geometry;
}

// One polyline stroked with the round style: `geometry` holds it as one open
// figure. Where the platform ignores round caps and joins, the polyline is
// drawn instead as open pieces split at its sharper corners (so no square join
// sticks out there) in one geometry, with a disc of the pen's diameter at each
// end and split corner (also when `geometry` is null).
Result<void> stroke_round(const RenderContext& context, ID2D1RenderTarget* target, ID2D1Geometry* geometry,
                          const paths::Polyline& points, float width, ID2D1Brush* brush) {
    if (geometry != nullptr && !context.emulate_round_strokes) {
        target->DrawGeometry(geometry, brush, width, context.round_stroke.Get());
        return {};
    }
    const RoundStrokePlan plan = plan_round_stroke(points, width);
    if (!plan.pieces.empty()) {
        ComPtr<ID2D1PathGeometry> pieces;
        RETURN_IF_FAILED(context.d2d_factory->CreatePathGeometry(&pieces));
        ComPtr<ID2D1GeometrySink> sink;
        RETURN_IF_FAILED(pieces->Open(&sink));
        for (const RoundStrokePlan::Piece& piece : plan.pieces) {
            sink->BeginFigure(to_d2d(points[piece.first]), D2D1_FIGURE_BEGIN_HOLLOW);
            for (std::size_t i = piece.first + 1; i <= piece.last; ++i) sink->AddLine(to_d2d(points[i]));
            sink->EndFigure(D2D1_FIGURE_END_OPEN);
        }
        RETURN_IF_FAILED(sink->Close());
        target->DrawGeometry(pieces.Get(), brush, width, context.round_stroke.Get());
    }
    const float radius = width / 2.0f;
    for (const Point& p : plan.discs) target->FillEllipse(D2D1::Ellipse(to_d2d(p), radius, radius), brush);
    return {};
}

// The offscreen surface translucent strokes are painted on, made on first use
// and reused (grown when needed) for the rest of one draw_annotations call:
// making a new one per stroke costs tens of milliseconds each on Wine.
// Translucent strokes' layers come in sizes of whole steps, so that one
// serves many strokes.
constexpr float kLayerStep = 256.0f;

struct StrokeLayer {
    ComPtr<ID2D1BitmapRenderTarget> target;
    ComPtr<ID2D1SolidColorBrush> opaque;
    D2D1_SIZE_F size{0.0f, 0.0f};
};

// The stroke's runs drawn one by one, for a platform whose Widen is missing
// (Wine answers E_NOTIMPL). Opaque strokes go straight onto the target. A
// translucent stroke is painted opaque into an offscreen layer covering the
// stroke's device bounds, and that layer is drawn once at the stroke's opacity,
// so places where runs (or one run) overlap get the tint once, exactly as the
// single filled outline would. `geometries` holds each run's figure, or
// nothing when round strokes are emulated.
Result<void> draw_runs_separately(const RenderContext& context, ID2D1RenderTarget* target, StrokeLayer& layer,
                                  const Annotation& a, const std::vector<paths::StrokeRun>& runs,
                                  const std::vector<ComPtr<ID2D1PathGeometry>>& geometries, ID2D1Brush* brush,
                                  float opacity) {
    const auto run_geometry = [&](std::size_t i) { return i < geometries.size() ? geometries[i].Get() : nullptr; };
    if (opacity >= 1.0f) {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            auto drawn = stroke_round(context, target, run_geometry(i), runs[i].points,
                                      static_cast<float>(runs[i].width), brush);
            if (!drawn) return drawn;
        }
        return {};
    }

    D2D1::Matrix3x2F transform;
    target->GetTransform(&transform);
    // Device bounds of the runs: the box of their points grown by half the
    // widest pen, mapped through the transform, plus a pixel for antialiasing.
    // (ID2D1Geometry::GetBounds is no help here: Wine leaves hollow figures
    // out of it.)
    double min_x = INFINITY, min_y = INFINITY, max_x = -INFINITY, max_y = -INFINITY, half = 0.0;
    for (const paths::StrokeRun& run : runs) {
        for (const Point& p : run.points) {
            min_x = std::min(min_x, p.x);
            min_y = std::min(min_y, p.y);
            max_x = std::max(max_x, p.x);
            max_y = std::max(max_y, p.y);
        }
        half = std::max(half, run.width / 2.0);
    }
    float left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
    for (const Point corner : {Point{min_x - half, min_y - half}, Point{max_x + half, min_y - half},
                               Point{min_x - half, max_y + half}, Point{max_x + half, max_y + half}}) {
        const D2D1_POINT_2F d = transform.TransformPoint(to_d2d(corner));
        left = std::min(left, d.x);
        top = std::min(top, d.y);
        right = std::max(right, d.x);
        bottom = std::max(bottom, d.y);
    }
    const D2D1_SIZE_F size = target->GetSize();
    left = std::floor(left) - 1.0f;
    top = std::floor(top) - 1.0f;
    right = std::ceil(right) + 1.0f;
    bottom = std::ceil(bottom) + 1.0f;
    if (!(right > 0.0f && left < size.width && bottom > 0.0f && top < size.height)) return {};  // off the target

    // The layer holds the whole stroke, and its size depends on the stroke
    // alone: a rasteriser's rounding can depend on the target's size, and the
    // overlay repaints parts of a frame that must match the whole frame.
    const D2D1_SIZE_F needed = D2D1::SizeF(right - left, bottom - top);
    const D2D1_SIZE_F wanted = D2D1::SizeF(std::ceil(needed.width / kLayerStep) * kLayerStep,
                                           std::ceil(needed.height / kLayerStep) * kLayerStep);
    HRESULT hr = S_OK;
    if (!layer.target || wanted.width != layer.size.width || wanted.height != layer.size.height) {
        const D2D1_SIZE_F grown = wanted;
        const D2D1_PIXEL_FORMAT format = bgra_format(D2D1_ALPHA_MODE_PREMULTIPLIED);
        layer = {};
        RETURN_IF_FAILED(target->CreateCompatibleRenderTarget(
            &grown, nullptr, &format, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE, &layer.target));
        RETURN_IF_FAILED(layer.target->CreateSolidColorBrush(d2d::colour(a.colour, 1.0f), &layer.opaque));
        layer.size = grown;
    }
    ID2D1BitmapRenderTarget* surface = layer.target.Get();
    ID2D1SolidColorBrush* opaque = layer.opaque.Get();
    opaque->SetColor(d2d::colour(a.colour, 1.0f));
    const D2D1_RECT_F used = D2D1::RectF(0.0f, 0.0f, needed.width, needed.height);
    surface->BeginDraw();
    surface->SetTransform(D2D1::Matrix3x2F::Identity());
    surface->PushAxisAlignedClip(used, D2D1_ANTIALIAS_MODE_ALIASED);
    surface->Clear(D2D1::ColorF(0, 0, 0, 0));
    surface->SetTransform(transform * D2D1::Matrix3x2F::Translation(-left, -top));
    Result<void> drawn;
    for (std::size_t i = 0; i < runs.size() && drawn; ++i) {
        drawn =
            stroke_round(context, surface, run_geometry(i), runs[i].points, static_cast<float>(runs[i].width), opaque);
    }
    surface->PopAxisAlignedClip();
    hr = surface->EndDraw();
    if (!drawn) return drawn;
    if (FAILED(hr)) return win32::fail_hresult(hr);
    ComPtr<ID2D1Bitmap> bitmap;
    RETURN_IF_FAILED(surface->GetBitmap(&bitmap));

    TransformGuard guard(target);
    target->SetTransform(D2D1::Matrix3x2F::Identity());
    target->DrawBitmap(bitmap.Get(), D2D1::RectF(left, top, right, bottom), opacity,
                       D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, &used);
    // The next translucent stroke paints over the layer: this one must have
    // reached the target first.
    // (Wine answers E_NOTIMPL, and draws at once anyway.)
    hr = target->Flush();
    if (FAILED(hr) && hr != E_NOTIMPL) return win32::fail_hresult(hr);
    return {};
}

// Line, pen and highlighter: all runs merged into one filled region, so a
// translucent highlighter that crosses itself is no darker where it overlaps.
Result<void> draw_stroke(const RenderContext& context, ID2D1RenderTarget* target, StrokeLayer& layer,
                         const Annotation& a, ID2D1Brush* brush, float opacity) {
    const std::vector<paths::StrokeRun> runs = paths::stroke_runs(a);
    if (runs.empty()) return {};
    if (context.emulate_round_strokes) {
        return draw_runs_separately(context, target, layer, a, runs, {}, brush, opacity);
    }
    ID2D1Factory* factory = context.d2d_factory.Get();

    std::vector<ComPtr<ID2D1PathGeometry>> geometries;
    geometries.reserve(runs.size());
    for (const paths::StrokeRun& run : runs) {
        auto g = figure_geometry(factory, run.points, false, false);
        if (!g) return propagate(g);
        geometries.push_back(std::move(g).value());
    }

    ComPtr<ID2D1PathGeometry> merged;
    RETURN_IF_FAILED(factory->CreatePathGeometry(&merged));
    ComPtr<ID2D1GeometrySink> sink;
    RETURN_IF_FAILED(merged->Open(&sink));
    sink->SetFillMode(D2D1_FILL_MODE_WINDING);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const HRESULT hr = geometries[i]->Widen(static_cast<float>(runs[i].width), context.round_stroke.Get(), nullptr,
                                                kFlatteningTolerance, sink.Get());
        if (hr == E_NOTIMPL) {
            sink->Close();
            return draw_runs_separately(context, target, layer, a, runs, geometries, brush, opacity);
        }
        if (FAILED(hr)) return win32::fail_hresult(hr);
    }
    RETURN_IF_FAILED(sink->Close());
    target->FillGeometry(merged.Get(), brush);
    return {};
}

Result<ComPtr<IDWriteTextFormat>> annotation_text_format(IDWriteFactory* factory, double font_size, bool wrap = true) {
    // Wrapping as DirectWrite's default: a text breaks at its layout width.
    return d2d::text_format(
        factory,
        {.family = kAnnotationFont, .size = static_cast<float>(font_size), .locale = kAnnotationLocale, .wrap = wrap});
}

Result<void> draw_text(const RenderContext& context, ID2D1RenderTarget* target, const Annotation& a,
                       ID2D1Brush* brush) {
    const shape::Text& text = *a.as<shape::Text>();
    auto format = annotation_text_format(context.dwrite_factory.Get(), text.font_size);
    if (!format) return propagate(format);

    TransformGuard guard(target);
    const Point centre = paths::rect_centre(paths::bounds(a));
    const float degrees = static_cast<float>(a.angle * 180.0 / std::numbers::pi);
    target->SetTransform(D2D1::Matrix3x2F::Rotation(degrees, to_d2d(centre)) * guard.saved());

    const float left = static_cast<float>(text.position.x);
    const float top = static_cast<float>(text.position.y);
    const D2D1_RECT_F layout =
        D2D1::RectF(left, top, left + static_cast<float>(text.layout_width) + static_cast<float>(kTextLayoutMargin),
                    top + static_cast<float>(text.layout_height) + static_cast<float>(kTextLayoutMargin));
    const std::wstring wide = to_wide(text.text);
    // The explicit clip does what the clip option does; Wine ignores the
    // option, and text spilling out of its box must not show anywhere.
    ComPtr<IDWriteTextLayout> text_layout;
    RETURN_IF_FAILED(context.dwrite_factory->CreateTextLayout(wide.c_str(), static_cast<UINT32>(wide.size()),
                                                              (*format).Get(), layout.right - layout.left,
                                                              layout.bottom - layout.top, &text_layout));
    target->PushAxisAlignedClip(layout, D2D1_ANTIALIAS_MODE_ALIASED);
    auto drawn = draw_layout_in_pieces(target, text_layout.Get(), D2D1::Point2F(left, top), brush);
    target->PopAxisAlignedClip();
    return drawn;
}

// Rectangle, ellipse and arrow: the outline polylines. Only an arrow's closed
// polyline (its head) is filled; everything else is a stroked outline, with
// sharp corners for rectangles and ellipses and round ends for the shaft.
Result<void> draw_outline(const RenderContext& context, ID2D1RenderTarget* target, const Annotation& a,
                          std::span<const Annotation> objects, ID2D1Brush* brush) {
    const bool arrow = a.kind() == ShapeKind::Arrow;
    for (const paths::Polyline& line : paths::outline(a, objects)) {
        if (line.empty()) continue;
        const bool closed = line.size() >= 2 && line.front() == line.back();
        const bool filled = closed && arrow;
        auto geometry = figure_geometry(context.d2d_factory.Get(), line, closed, filled);
        if (!geometry) return propagate(geometry);
        if (filled) {
            target->FillGeometry((*geometry).Get(), brush);
        } else if (arrow) {
            auto drawn = stroke_round(context, target, (*geometry).Get(), line, static_cast<float>(a.width), brush);
            if (!drawn) return drawn;
        } else {
            target->DrawGeometry((*geometry).Get(), brush, static_cast<float>(a.width));
        }
    }
    return {};
}

Result<ComPtr<ID2D1Bitmap>> bitmap_from_pixels(ID2D1RenderTarget* target, const std::uint8_t* first, std::uint32_t width,
                                               std::uint32_t height, std::uint32_t pitch) {
    const D2D1_BITMAP_PROPERTIES properties =
        D2D1::BitmapProperties(bgra_format(D2D1_ALPHA_MODE_IGNORE), 96.0f, 96.0f);
    ComPtr<ID2D1Bitmap> bitmap;
    RETURN_IF_FAILED(target->CreateBitmap(D2D1::SizeU(width, height), first, pitch, &properties, &bitmap));
    return bitmap;
}

// Widens a short line once: Wine answers E_NOTIMPL, and its stroking also
// ignores round caps and joins.
Result<bool> widen_supported(const RenderContext& context) {
    auto line = figure_geometry(context.d2d_factory.Get(), paths::Polyline{{0, 0}, {10, 0}}, false, false);
    if (!line) return propagate(line);
    ComPtr<ID2D1PathGeometry> widened;
    RETURN_IF_FAILED(context.d2d_factory->CreatePathGeometry(&widened));
    ComPtr<ID2D1GeometrySink> sink;
    RETURN_IF_FAILED(widened->Open(&sink));
    const HRESULT hr = (*line)->Widen(2.0f, context.round_stroke.Get(), nullptr, kFlatteningTolerance, sink.Get());
    sink->Close();
    if (hr == E_NOTIMPL) return false;
    if (FAILED(hr)) return win32::fail_hresult(hr);
    return true;
}

}  // namespace

Result<RenderContext> create_render_context(TargetAlpha alpha) {
    RenderContext context;
    D2D1_FACTORY_OPTIONS options{};
    RETURN_IF_FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), &options,
                                       reinterpret_cast<void**>(context.d2d_factory.GetAddressOf())));
    mark_start("d2d-factory");
    RETURN_IF_FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                         reinterpret_cast<IUnknown**>(context.dwrite_factory.GetAddressOf())));
    mark_start("dwrite-factory");

    const D2D1_STROKE_STYLE_PROPERTIES round =
        D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND,
                                    D2D1_LINE_JOIN_ROUND, 1.0f, D2D1_DASH_STYLE_SOLID, 0.0f);
    RETURN_IF_FAILED(context.d2d_factory->CreateStrokeStyle(round, nullptr, 0, &context.round_stroke));
    auto widen = widen_supported(context);
    if (!widen) return propagate(widen);
    context.emulate_round_strokes = !*widen;
    mark_start("stroke-probe");

    const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT,
        bgra_format(alpha == TargetAlpha::Premultiplied ? D2D1_ALPHA_MODE_PREMULTIPLIED : D2D1_ALPHA_MODE_IGNORE),
        96.0f, 96.0f, D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT);
    RETURN_IF_FAILED(context.d2d_factory->CreateDCRenderTarget(&properties, &context.dc_target));
    mark_start("render-target");
    return context;
}

Result<void> draw_annotations(const RenderContext& context, ID2D1RenderTarget* target,
                              std::span<const Annotation> objects, std::optional<std::uint64_t> leave_out,
                              std::size_t first, const std::optional<Rect>& clip) {
    StrokeLayer layer;
    ComPtr<ID2D1SolidColorBrush> brush;  // one for all, its colour set per object
    for (const Annotation& a : objects.subspan(std::min(first, objects.size()))) {
        if (leave_out && a.id == *leave_out) continue;
        if (clip) {
            const Rect reach = paint_bounds(a, objects);
            if (reach.max.x <= clip->min.x || reach.min.x >= clip->max.x || reach.max.y <= clip->min.y ||
                reach.min.y >= clip->max.y) {
                continue;
            }
        }
        const bool highlighter = is_highlighter(a);
        const float opacity = highlighter ? kHighlighterOpacity : 1.0f;

        if (!brush) {
            RETURN_IF_FAILED(target->CreateSolidColorBrush(d2d::colour(a.colour, opacity), &brush));
        } else {
            brush->SetColor(d2d::colour(a.colour, opacity));
        }

        Result<void> drawn;
        switch (a.kind()) {
        case ShapeKind::Stroke:
            drawn = draw_stroke(context, target, layer, a, brush.Get(), opacity);
            break;
        case ShapeKind::Text:
            drawn = draw_text(context, target, a, brush.Get());
            break;
        case ShapeKind::Rectangle:
        case ShapeKind::Ellipse:
        case ShapeKind::Arrow:
            drawn = draw_outline(context, target, a, objects, brush.Get());
            break;
        }
        if (!drawn) return drawn;
    }
    return {};
}

Result<void> begin_overlay_frame(const RenderContext& context, HDC dc, const RECT& rect, ID2D1Bitmap* capture) {
    ID2D1DCRenderTarget* target = context.dc_target.Get();
    RETURN_IF_FAILED(target->BindDC(dc, &rect));
    target->BeginDraw();
    target->SetTransform(D2D1::Matrix3x2F::Identity());
    // Not fully transparent: a layered window with alpha 0 lets clicks through.
    target->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f / 255.0f));
    if (capture != nullptr) {
        const D2D1_SIZE_F size = capture->GetSize();
        target->DrawBitmap(capture, D2D1::RectF(0.0f, 0.0f, size.width, size.height), 1.0f,
                           D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
    }
    return {};
}

Result<void> end_overlay_frame(const RenderContext& context) {
    RETURN_IF_FAILED(context.dc_target->EndDraw());
    return {};
}

Result<ComPtr<ID2D1Bitmap>> create_capture_bitmap(ID2D1RenderTarget* target, const BgraImage& image) {
    RETURN_IF_ERROR(validate_image(image));
    return bitmap_from_pixels(target, image.pixels.data(), image.width, image.height, 4 * image.width);
}

Result<BgraImage> render_output(const RenderContext& context, const BgraImage& capture,
                                std::span<const Annotation> objects, const RegionF& region) {
    RETURN_IF_ERROR(validate_image(capture));
    auto area = output_pixels(region, capture.width, capture.height);
    if (!area) return propagate(area);
    const PixelRect r = *area;
    const std::uint32_t width = r.width();
    const std::uint32_t height = r.height();

    // Refuse up front what the output buffer could never hold.
    auto output = new_filled_image(width, height, 0xFF000000u);
    if (!output) return output;
    // WIC copies out through a 32-bit buffer length.
    if (output->pixels.size() > 0xFFFFFFFFu) return win32::fail_hresult(HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW));

    ComPtr<IWICImagingFactory> wic;
    RETURN_IF_FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wic)));
    ComPtr<IWICBitmap> surface;
    RETURN_IF_FAILED(wic->CreateBitmap(width, height, GUID_WICPixelFormat32bppBGR, WICBitmapCacheOnLoad, &surface));

    const D2D1_RENDER_TARGET_PROPERTIES properties =
        D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT, bgra_format(D2D1_ALPHA_MODE_IGNORE), 96.0f,
                                     96.0f, D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT);
    ComPtr<ID2D1RenderTarget> target;
    RETURN_IF_FAILED(context.d2d_factory->CreateWicBitmapRenderTarget(surface.Get(), &properties, &target));

    // Only the region's pixels become a bitmap: a whole multi-monitor capture
    // could exceed the largest bitmap Direct2D accepts, and copying it all
    // for every output would be wasted work.
    const std::size_t stride = 4 * static_cast<std::size_t>(capture.width);
    const std::uint8_t* first = capture.pixels.data() + r.y0 * stride + 4 * static_cast<std::size_t>(r.x0);
    auto bitmap = bitmap_from_pixels(target.Get(), first, width, height, static_cast<std::uint32_t>(stride));
    if (!bitmap) return propagate(bitmap);

    target->BeginDraw();
    // Annotations are in capture pixels; the translation puts the region's
    // top-left pixel at the output's origin.
    target->SetTransform(D2D1::Matrix3x2F::Translation(-static_cast<float>(r.x0), -static_cast<float>(r.y0)));
    target->DrawBitmap((*bitmap).Get(),
                       D2D1::RectF(static_cast<float>(r.x0), static_cast<float>(r.y0), static_cast<float>(r.x1),
                                   static_cast<float>(r.y1)),
                       1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
    auto drawn = draw_annotations(context, target.Get(), objects);
    const HRESULT hr = target->EndDraw();
    if (!drawn) return propagate(drawn);
    if (FAILED(hr)) return win32::fail_hresult(hr);

    BgraImage& image = *output;
    RETURN_IF_FAILED(
        surface->CopyPixels(nullptr, 4 * width, static_cast<UINT>(image.pixels.size()), image.pixels.data()));
    make_opaque(image);
    return output;
}

Result<TextSize> measure_text(IDWriteFactory* factory, std::string_view text, double font_size) {
    auto format = annotation_text_format(factory, font_size, false);
    if (!format) return propagate(format);
    const std::wstring wide = to_wide(text);
    ComPtr<IDWriteTextLayout> layout;
    RETURN_IF_FAILED(factory->CreateTextLayout(wide.c_str(), static_cast<UINT32>(wide.size()), (*format).Get(),
                                               1000000.0f, 1000000.0f, &layout));
    DWRITE_TEXT_METRICS metrics{};
    RETURN_IF_FAILED(layout->GetMetrics(&metrics));
    return TextSize{metrics.widthIncludingTrailingWhitespace, metrics.height};
}

Result<BgraImage> output_image_of_capture(const RenderContext& context, const CaptureOutputSource& source) {
    if (!source.region) return invalid_argument(kSelectRegionFirstMessage);
    if (source.capture == nullptr) return invalid_argument(kInvalidImageMessage);
    if (source.live) {
        auto fresh = regrab_virtual_screen(geometry_of(*source.capture));
        if (!fresh) return fresh;
        return render_output(context, *fresh, source.objects, *source.region);
    }
    return render_output(context, *source.capture, source.objects, *source.region);
}

}  // namespace kadrovix::win32
