#include "session/io/field_painter_win32.h"
#include "render/text_pieces_win32.h"

#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/runtime/text_win32.h"
#include "base/error_win32.h"
#include "paths/geometry.h"
#include "render/d2d_helpers_win32.h"
#include "session/io/field_geometry.h"
#include "session/io/text_entry.h"

namespace kadrovix::win32 {

using Microsoft::WRL::ComPtr;

// A Result holding a ComPtr is read with *, never ->: MinGW's ComPtr
// overloads unary &, which Expected::operator-> would take.

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
// Large enough that no field ever wraps or is cut: lines break only at the
// line breaks typed.
constexpr float kLayoutExtent = 1000000.0f;

// The platform's hit tests, or where it has none (Wine) the same answers
// worked out from the layout's lines and clusters.
bool not_implemented(HRESULT hr) { return hr == E_NOTIMPL; }

struct LayoutShape {
    std::vector<LayoutLine> lines;
    std::vector<LayoutCluster> clusters;
};

Result<LayoutShape> layout_shape(IDWriteTextLayout* layout) {
    LayoutShape shape;
    UINT32 count = 0;
    HRESULT hr = layout->GetLineMetrics(nullptr, 0, &count);
    if (FAILED(hr) && hr != E_NOT_SUFFICIENT_BUFFER) return fail_hresult(hr);
    std::vector<DWRITE_LINE_METRICS> lines(count);
    if (count > 0) {
        RETURN_IF_FAILED(layout->GetLineMetrics(lines.data(), count, &count));
    }
    for (const DWRITE_LINE_METRICS& l : lines) shape.lines.push_back(LayoutLine{l.length, l.newlineLength, l.height});
    count = 0;
    hr = layout->GetClusterMetrics(nullptr, 0, &count);
    if (FAILED(hr) && hr != E_NOT_SUFFICIENT_BUFFER) return fail_hresult(hr);
    std::vector<DWRITE_CLUSTER_METRICS> clusters(count);
    if (count > 0) {
        RETURN_IF_FAILED(layout->GetClusterMetrics(clusters.data(), count, &count));
    }
    for (const DWRITE_CLUSTER_METRICS& c : clusters) {
        shape.clusters.push_back(LayoutCluster{c.length, c.width, c.isNewline != 0});
    }
    return shape;
}

Result<CaretPlace> caret_at(IDWriteTextLayout* layout, std::uint32_t index) {
    FLOAT x = 0, y = 0;
    DWRITE_HIT_TEST_METRICS hit{};
    const HRESULT hr = layout->HitTestTextPosition(index, FALSE, &x, &y, &hit);
    if (SUCCEEDED(hr)) return CaretPlace{x, hit.top, hit.height};
    if (!not_implemented(hr)) return fail_hresult(hr);
    auto shape = layout_shape(layout);
    if (!shape) return propagate(shape);
    return caret_place(shape->lines, shape->clusters, index);
}

Result<FieldHit> position_under(IDWriteTextLayout* layout, std::wstring_view text, double x, double y) {
    BOOL trailing = FALSE, inside = FALSE;
    DWRITE_HIT_TEST_METRICS hit{};
    const HRESULT hr = layout->HitTestPoint(static_cast<float>(x), static_cast<float>(y), &trailing, &inside, &hit);
    if (SUCCEEDED(hr)) {
        return FieldHit{caret_from_hit(text, hit.textPosition, trailing != FALSE, hit.length), inside != FALSE};
    }
    if (!not_implemented(hr)) return fail_hresult(hr);
    auto shape = layout_shape(layout);
    if (!shape) return propagate(shape);
    const PositionHit found = position_at(shape->lines, shape->clusters, x, y);
    return FieldHit{caret_from_hit(text, found.index, false, 0), found.inside};
}

Result<std::vector<Rect>> selection_rects(IDWriteTextLayout* layout, std::uint32_t start, std::uint32_t end,
                                          double font_size) {
    std::vector<Rect> rects;
    UINT32 count = 0;
    HRESULT hr = layout->HitTestTextRange(start, end - start, 0.0f, 0.0f, nullptr, 0, &count);
    if (not_implemented(hr)) {
        auto shape = layout_shape(layout);
        if (!shape) return propagate(shape);
        // A selected line break shows as a narrow sliver, as the platform draws it.
        return range_rects(shape->lines, shape->clusters, start, end, font_size / 4.0);
    }
    if (FAILED(hr) && hr != E_NOT_SUFFICIENT_BUFFER) return fail_hresult(hr);
    std::vector<DWRITE_HIT_TEST_METRICS> ranges(count);
    if (count > 0) {
        RETURN_IF_FAILED(layout->HitTestTextRange(start, end - start, 0.0f, 0.0f, ranges.data(), count, &count));
    }
    for (UINT32 i = 0; i < count; ++i) {
        const DWRITE_HIT_TEST_METRICS& r = ranges[i];
        rects.push_back(Rect{{r.left, r.top}, {r.left + r.width, r.top + r.height}});
    }
    return rects;
}

// The layout of the field's current text with what it needs to be drawn.
struct FieldLayout {
    std::wstring text;
    ComPtr<IDWriteTextLayout> layout;
    DWRITE_TEXT_METRICS metrics{};
    double scroll = 0.0;

    Rect box(Point origin) const {
        return Rect{origin, Point{origin.x + metrics.widthIncludingTrailingWhitespace, origin.y + metrics.height}};
    }
};

Result<FieldLayout> build_layout(IDWriteFactory* factory, const HiddenEdit& edit, const FieldLook& look) {
    if (factory == nullptr) return invalid_argument("No DirectWrite factory for the text field");
    FieldLayout f;
    f.text = edit.text();
    const double size = std::isfinite(look.font_size) ? std::clamp(look.font_size, 1.0, 100000.0) : 14.0;
    const std::wstring locale = to_wide(kFieldLocale);
    auto format =
        d2d::text_format(factory, {.family = kFieldFont, .size = static_cast<float>(size), .locale = locale.c_str()});
    if (!format) return propagate(format);
    RETURN_IF_FAILED(factory->CreateTextLayout(f.text.c_str(), static_cast<UINT32>(f.text.size()), format->Get(),
                                               kLayoutExtent, kLayoutExtent, &f.layout));
    RETURN_IF_FAILED(f.layout->GetMetrics(&f.metrics));
    if (look.single_line) {
        const std::uint32_t first = std::min<std::uint32_t>(edit.first_visible_char(),
                                                            static_cast<std::uint32_t>(f.text.size()));
        if (first > 0) {
            auto place = caret_at(f.layout.Get(), first);
            if (!place) return propagate(place);
            f.scroll = place->x;
        }
    }
    return f;
}

bool rotated(const FieldLook& look) { return std::isfinite(look.rotation) && look.rotation != 0.0; }

// Puts back the target's transform when the painting ends, on every path.
class TransformScope {
public:
    explicit TransformScope(ID2D1RenderTarget* target) : target_(target) { target_->GetTransform(&saved_); }
    ~TransformScope() { target_->SetTransform(saved_); }
    TransformScope(const TransformScope&) = delete;
    TransformScope& operator=(const TransformScope&) = delete;
    const D2D1_MATRIX_3X2_F& saved() const { return saved_; }

private:
    ID2D1RenderTarget* target_;
    D2D1_MATRIX_3X2_F saved_{};
};

}  // namespace

Result<FieldBox> measure_field(IDWriteFactory* factory, const HiddenEdit& edit, const FieldLook& look) {
    auto f = build_layout(factory, edit, look);
    if (!f) return propagate(f);
    return FieldBox{f->box(look.origin), f->scroll};
}

Result<FieldHit> hit_test_field(IDWriteFactory* factory, const HiddenEdit& edit, const FieldLook& look, Point p) {
    auto f = build_layout(factory, edit, look);
    if (!f) return propagate(f);
    if (rotated(look)) p = paths::rotate_about(p, paths::rect_centre(f->box(look.origin)), -look.rotation);
    return position_under(f->layout.Get(), f->text, p.x - look.origin.x + f->scroll, p.y - look.origin.y);
}

Result<void> paint_field(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, IDWriteFactory* factory,
                         const HiddenEdit& edit, const FieldLook& look) {
    if (target == nullptr || brush == nullptr) return invalid_argument("No render target for the text field");
    auto built = build_layout(factory, edit, look);
    if (!built) return propagate(built);
    FieldLayout& f = *built;
    const EditSelection selection = edit.selection();

    TransformScope scope(target);
    D2D1_MATRIX_3X2_F transform = scope.saved();
    if (rotated(look)) {
        const Point c = paths::rect_centre(f.box(look.origin));
        transform = D2D1::Matrix3x2F::Rotation(static_cast<float>(look.rotation * kDegreesPerRadian),
                                               D2D1::Point2F(static_cast<float>(c.x), static_cast<float>(c.y))) *
                    transform;
    }
    // The text's own frame: the layout's origin, less a single-line field's scrolling.
    const float left = static_cast<float>(look.origin.x - f.scroll);
    const float top = static_cast<float>(look.origin.y);
    target->SetTransform(D2D1::Matrix3x2F::Translation(left, top) * transform);

    brush->SetColor(d2d::colour(kFieldSelectionColour, kFieldSelectionOpacity));
    const auto length = static_cast<std::uint32_t>(f.text.size());
    const std::uint32_t start = std::min(selection.start, length);
    const std::uint32_t end = std::min(selection.end, length);
    if (start < end) {
        auto rects = selection_rects(f.layout.Get(), start, end, look.font_size);
        if (!rects) return propagate(rects);
        for (const Rect& r : *rects) {
            target->FillRectangle(D2D1::RectF(static_cast<float>(r.min.x), static_cast<float>(r.min.y),
                                              static_cast<float>(r.max.x), static_cast<float>(r.max.y)),
                                  brush);
        }
    }

    brush->SetColor(d2d::colour(look.colour, 1.0f));
    if (auto drawn = draw_layout_in_pieces(target, f.layout.Get(), D2D1::Point2F(0.0f, 0.0f), brush); !drawn) {
        return drawn;
    }

    if (look.focused && start == end) {
        auto caret = caret_at(f.layout.Get(), start);
        if (!caret) return propagate(caret);
        const auto x = static_cast<float>(caret->x);
        // On whole pixels when nothing turns the field, so the line stays crisp.
        float cx = x + 0.5f;
        auto cy = static_cast<float>(caret->top);
        if (!rotated(look)) {
            cx = std::floor(left + x) + 0.5f - left;
            cy = std::round(top + cy) - top;
        }
        const float height = caret->height > 0.0 ? static_cast<float>(caret->height) : f.metrics.height;
        target->DrawLine(D2D1::Point2F(cx, cy), D2D1::Point2F(cx, cy + height), brush, 1.0f);
    }
    return {};
}

}  // namespace kadrovix::win32
