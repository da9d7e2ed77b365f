#include "presentation/temporary_shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "presentation/pointer_halo.h"

namespace kadrovix {

namespace {

bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }
bool finite(const Rect& r) { return finite(r.min) && finite(r.max); }

Rect normalised(Point a, Point b) {
    return {{std::min(a.x, b.x), std::min(a.y, b.y)}, {std::max(a.x, b.x), std::max(a.y, b.y)}};
}

}  // namespace

std::optional<TemporaryShapeKind> shape_kind_for_hotkey(int id) {
    switch (id) {
        case kArrowHotkeyId: return TemporaryShapeKind::Arrow;
        case kRectangleHotkeyId: return TemporaryShapeKind::Rectangle;
        case kEllipseHotkeyId: return TemporaryShapeKind::Ellipse;
        default: return std::nullopt;
    }
}

double monitor_scale(std::uint32_t dpi) { return dpi < 96 ? 1.0 : static_cast<double>(dpi) / 96.0; }

void start_drawing(ShapeDrawing& drawing, TemporaryShapeKind kind) {
    drawing.kind = static_cast<std::uint8_t>(kind);
}

void end_drawing(ShapeDrawing& drawing) { drawing = ShapeDrawing{}; }

std::optional<Geometry> shape_geometry(TemporaryShapeKind kind, Point a, Point p, bool shift, bool alt) {
    if (!finite(a) || !finite(p)) return std::nullopt;
    double dx = p.x - a.x;
    double dy = p.y - a.y;
    if (shift) {
        if (kind == TemporaryShapeKind::Arrow) {
            // Snap to the nearest multiple of 45 degrees, keeping the length.
            constexpr double step = std::numbers::pi / 4.0;
            const double angle = std::round(std::atan2(dy, dx) / step) * step;
            const double length = std::hypot(dx, dy);
            dx = length * std::cos(angle);
            dy = length * std::sin(angle);
        } else {
            const double m = std::max(std::abs(dx), std::abs(dy));
            dx = std::signbit(dx) ? -m : m;
            dy = std::signbit(dy) ? -m : m;
        }
    }
    const Point end{a.x + dx, a.y + dy};
    switch (kind) {
        case TemporaryShapeKind::Arrow: {
            shape::Arrow arrow;
            arrow.start = a;
            arrow.end = end;
            return Geometry{arrow};
        }
        case TemporaryShapeKind::Rectangle: return Geometry{shape::Rectangle{normalised(a, end)}};
        case TemporaryShapeKind::Ellipse: {
            const double rx = alt ? std::abs(dx) : std::hypot(dx, dy);
            const double ry = alt ? std::abs(dy) : rx;
            return Geometry{shape::Ellipse{{{a.x - rx, a.y - ry}, {a.x + rx, a.y + ry}}}};
        }
    }
    return std::nullopt;
}

void update_drawing(ShapeDrawing& drawing, Point p, bool shift, bool alt, Rgb colour) {
    if (!drawing.active() || !drawing.press_finite) return;
    if (drawing.kind > static_cast<std::uint8_t>(TemporaryShapeKind::Ellipse)) return;
    auto geometry = shape_geometry(static_cast<TemporaryShapeKind>(drawing.kind), drawing.press, p, shift, alt);
    if (!geometry) return;
    if (!drawing.shape) {
        Annotation made;
        made.angle = 0.0;
        made.width = kNewShapeWidth;
        made.colour = kNewShapeColour;
        drawing.shape = made;
    }
    drawing.shape->geometry = std::move(*geometry);
    drawing.shape->colour = colour;
    drawing.shape->width = drawing.width;
}

void press_drawing(ShapeDrawing& drawing, Point p, std::uint32_t stroke_width, std::uint32_t arrow_size,
                   std::uint32_t dpi, bool shift, bool alt, Rgb colour) {
    if (!drawing.active()) return;
    const double s = monitor_scale(dpi);
    drawing.press = p;
    drawing.press_finite = finite(p);
    drawing.shape.reset();
    drawing.width = static_cast<double>(stroke_width) * s;
    drawing.arrow_size = static_cast<double>(arrow_size) * s;
    update_drawing(drawing, p, shift, alt, colour);
}

std::uint32_t wheel_stroke_width(std::uint32_t width, int wheel_delta) {
    std::uint32_t next = width;
    if (wheel_delta > 0 && next < kMaxPresentationStrokeWidth) ++next;
    if (wheel_delta < 0 && next > kMinPresentationStrokeWidth) --next;
    return std::clamp(next, kMinPresentationStrokeWidth, kMaxPresentationStrokeWidth);
}

bool wheel_drawing(ShapeDrawing& drawing, std::uint32_t& stroke_width, int wheel_delta, std::uint32_t dpi) {
    if (!drawing.active()) return false;
    const std::uint32_t next = wheel_stroke_width(stroke_width, wheel_delta);
    if (next == stroke_width) return false;
    stroke_width = next;
    drawing.width = static_cast<double>(next) * monitor_scale(dpi);
    if (drawing.shape) drawing.shape->width = drawing.width;
    return true;
}

bool is_degenerate(const Annotation& shape) {
    if (const auto* arrow = shape.as<shape::Arrow>()) {
        if (!finite(arrow->start) || !finite(arrow->end)) return true;
        return !(std::hypot(arrow->end.x - arrow->start.x, arrow->end.y - arrow->start.y) > 0.0);
    }
    const Rect* box = nullptr;
    if (const auto* rect = shape.as<shape::Rectangle>()) box = &rect->box;
    if (const auto* ellipse = shape.as<shape::Ellipse>()) box = &ellipse->box;
    if (!box || !finite(*box)) return true;
    return !(box->min.x < box->max.x && box->min.y < box->max.y);
}

bool commit_drawing(ShapeDrawing& drawing, std::vector<FadingShape>& fading, std::uint64_t now_ms,
                    std::uint32_t duration_ms) {
    std::optional<Annotation> shape = std::move(drawing.shape);
    const double arrow_size = drawing.arrow_size;
    end_drawing(drawing);
    if (!shape || is_degenerate(*shape)) return false;
    if (fading.size() >= kMaxFadingShapes) {
        fading.erase(fading.begin(), fading.begin() + static_cast<std::ptrdiff_t>(fading.size() - (kMaxFadingShapes - 1)));
    }
    fading.push_back(FadingShape{std::move(*shape), arrow_size, now_ms, duration_ms});
    return true;
}

double fade_opacity(std::uint64_t duration_ms, std::uint64_t age_ms) {
    const std::uint64_t f = std::min(duration_ms, kShapeFadeMs);
    // Without a duration the shape is gone at once; this also keeps the
    // division below away from zero.
    if (f == 0) return 0.0;
    const std::uint64_t left = duration_ms > age_ms ? duration_ms - age_ms : 0;
    return static_cast<double>(std::min(f, left)) / static_cast<double>(f);
}

double fade_opacity(const FadingShape& shape, std::uint64_t now_ms) {
    return fade_opacity(shape.duration_ms, elapsed_ms(shape.start_ms, now_ms));
}

bool prune_faded(std::vector<FadingShape>& fading, std::uint64_t now_ms) {
    std::erase_if(fading, [now_ms](const FadingShape& s) { return elapsed_ms(s.start_ms, now_ms) >= s.duration_ms; });
    return !fading.empty();
}

bool canvas_needed(const ShapeDrawing& drawing, const std::vector<FadingShape>& fading) {
    return drawing.active() || !fading.empty();
}

double canvas_background_alpha(const ShapeDrawing& drawing) { return drawing.active() ? 1.0 / 255.0 : 0.0; }

double rectangle_corner_radius(const Rect& box, double width) {
    const double side = std::min(box.max.x - box.min.x, box.max.y - box.min.y);
    return std::min(1.6 * width, side / 2.0);
}

std::optional<ArrowOutline> arrow_outline(Point start, Point end, double arrow_size) {
    if (!finite(start) || !finite(end)) return std::nullopt;
    const double length = std::hypot(end.x - start.x, end.y - start.y);
    if (!(length >= 0.001)) return std::nullopt;
    const Point u{(end.x - start.x) / length, (end.y - start.y) / length};
    const double h = std::min(0.85 * arrow_size, 0.45 * length);
    // The unit head (0, 0), (-1, -0.45), (-1, 0.45), scaled by h, turned to u
    // and moved to the tip.
    auto place = [&](double x, double y) {
        return Point{end.x + h * (u.x * x - u.y * y), end.y + h * (u.y * x + u.x * y)};
    };
    ArrowOutline outline;
    outline.shaft_start = start;
    outline.shaft_end = {end.x - h * u.x, end.y - h * u.y};
    outline.head = {place(0.0, 0.0), place(-1.0, -0.45), place(-1.0, 0.45)};
    outline.head_length = h;
    return outline;
}

}  // namespace kadrovix
