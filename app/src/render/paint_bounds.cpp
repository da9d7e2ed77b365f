#include "render/paint_bounds.h"

#include <algorithm>
#include <cmath>

#include "paths/geometry.h"

namespace kadrovix {

namespace {

// Antialiasing lights the pixels next to an edge; rounding to whole pixels
// happens later, so one more pixel on each side.
constexpr double kAntialiasMargin = 3.0;
constexpr double kFlatSpike = 32.0;

Rect grown(const Rect& r, double by) {
    return {{r.min.x - by, r.min.y - by}, {r.max.x + by, r.max.y + by}};
}

void include(std::optional<Rect>& box, Point p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    if (!box) {
        box = Rect{p, p};
        return;
    }
    box->min = {std::min(box->min.x, p.x), std::min(box->min.y, p.y)};
    box->max = {std::max(box->max.x, p.x), std::max(box->max.y, p.y)};
}

Rect text_bounds(const Annotation& a, const shape::Text& text) {
    // Drawn turned about the centre of its unrotated bounds, clipped to its
    // layout box grown right and down by the margin.
    const Point centre = paths::rect_centre(paths::bounds(a));
    const double left = text.position.x, top = text.position.y;
    const double right = left + text.layout_width + kTextLayoutMargin;
    const double bottom = top + text.layout_height + kTextLayoutMargin;
    std::optional<Rect> box;
    for (const Point corner : {Point{left, top}, Point{right, top}, Point{right, bottom}, Point{left, bottom}}) {
        include(box, paths::rotate_about(corner, centre, a.angle));
    }
    return box ? grown(*box, kAntialiasMargin) : Rect{};
}

}  // namespace

Rect paint_bounds(const Annotation& a, std::span<const Annotation> objects) {
    if (const auto* text = a.as<shape::Text>()) return text_bounds(a, *text);
    std::optional<Rect> box;
    double pen = a.width;
    if (const auto* stroke = a.as<shape::Stroke>()) {
        for (const Point& p : stroke->points) include(box, p);
        for (const double w : stroke->segment_widths) pen = std::max(pen, w);
        if (stroke->highlighter != 0) pen *= 5.0;
        for (const paths::StrokeRun& run : paths::stroke_runs(a)) {
            pen = std::max(pen, run.width);
            for (const Point& p : run.points) include(box, p);
        }
    } else {
        for (const paths::Polyline& line : paths::outline(a, objects)) {
            for (const Point& p : line) include(box, p);
        }
    }
    if (!box) return Rect{};
    pen = std::isfinite(pen) ? std::max(pen, 0.0) : 0.0;
    // A right-angled corner's miter reaches out pen * sqrt(2) / 2: the whole
    // pen covers it. A rectangle or ellipse flattened to a line turns back on
    // itself, where a miter runs out to its limit (five pens), and some
    // rasterisers draw a fixed spike of about 25 pixels there instead.
    double reach = pen;
    if (a.kind() == ShapeKind::Rectangle || a.kind() == ShapeKind::Ellipse) {
        const Rect b = paths::bounds(a);
        if (!(b.max.x - b.min.x >= 1.0 && b.max.y - b.min.y >= 1.0)) reach = std::max(5.0 * pen, kFlatSpike);
    }
    return grown(*box, reach + kAntialiasMargin);
}

}  // namespace kadrovix
