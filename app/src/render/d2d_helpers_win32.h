// The small vocabulary every Direct2D painter of the program speaks: colours,
// points and rectangles in Direct2D's float types, solid brushes and
// DirectWrite text formats.
#pragma once

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include "base/error_win32.h"
#include "editor/annotation.h"
#include "render/output_region.h"

namespace kadrovix::d2d {

inline D2D1_COLOR_F colour(Rgb c, float alpha = 1.0f) {
    return D2D1::ColorF(static_cast<float>(c.r) / 255.0f, static_cast<float>(c.g) / 255.0f,
                        static_cast<float>(c.b) / 255.0f, alpha);
}

inline D2D1_COLOR_F rgba(int r, int g, int b, float alpha = 1.0f) {
    return D2D1::ColorF(static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f,
                        alpha);
}

inline D2D1_POINT_2F point(double x, double y) {
    return D2D1::Point2F(static_cast<float>(x), static_cast<float>(y));
}
inline D2D1_POINT_2F point(Point p) {
    return point(p.x, p.y);
}

inline D2D1_RECT_F rect(double left, double top, double right, double bottom) {
    return D2D1::RectF(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                       static_cast<float>(bottom));
}
inline D2D1_RECT_F rect(const Rect& r) {
    return rect(r.min.x, r.min.y, r.max.x, r.max.y);
}
inline D2D1_RECT_F rect(const RegionF& r) {
    return rect(r.left, r.top, r.right, r.bottom);
}

// A rectangle shrunk by half a pixel, so that a one-pixel line drawn on it
// covers exactly the rectangle's outermost pixels.
inline D2D1_RECT_F hairline_rect(const Rect& r) {
    return rect(r.min.x + 0.5, r.min.y + 0.5, r.max.x - 0.5, r.max.y - 0.5);
}

inline Result<Microsoft::WRL::ComPtr<ID2D1SolidColorBrush>> solid_brush(ID2D1RenderTarget* target,
                                                                        const D2D1_COLOR_F& colour) {
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> brush;
    RETURN_IF_FAILED(target->CreateSolidColorBrush(colour, &brush));
    return brush;
}

struct TextStyle {
    const wchar_t* family = L"Segoe UI";
    float size = 12.0f;
    const wchar_t* locale = L"";
    DWRITE_FONT_WEIGHT weight = DWRITE_FONT_WEIGHT_NORMAL;
    bool wrap = false;
    bool centred_horizontally = false;
    bool centred_vertically = false;
};

// A text format with its wrapping and alignment set; only the creation can
// fail. Painters ask for their formats on every frame: each style is made once
// per factory and shared, so a format must not be changed after it is handed out.
Result<Microsoft::WRL::ComPtr<IDWriteTextFormat>> text_format(IDWriteFactory* factory, const TextStyle& style);

}  // namespace kadrovix::d2d
