// Shape geometry shared by the editor, the renderer and the clipboard.
#include "paths/geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <type_traits>
#include <variant>

namespace kadrovix::paths {

namespace {

// Below this an offset, a half-extent or a span counts as nothing.
constexpr double kTiny = 0.001;
// Squared segment length under which a segment is treated as its start point.
constexpr double kDegenerateSegment = 2.220446049250313e-16;
constexpr double kPi = std::numbers::pi;

// Pen corners are rounded over this distance along each side.
constexpr double kPenCornerReach = 2.0;
constexpr double kHighlighterWidthFactor = 5.0;

constexpr std::size_t kMinEllipseSegments = 16;
constexpr std::size_t kMaxEllipseSegments = 4096;
// Largest distance a chord may stray from the true ellipse.
constexpr double kEllipseChordError = 0.2;

bool finite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}
Point operator+(Point a, Point b) {
    return {a.x + b.x, a.y + b.y};
}
Point operator-(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}
Point operator*(Point a, double k) {
    return {a.x * k, a.y * k};
}
double length(Point v) {
    return std::hypot(v.x, v.y);
}
double distance(Point a, Point b) {
    return length(a - b);
}
double cross(Point a, Point b) {
    return a.x * b.y - a.y * b.x;
}

Rect rect_of(Point a, Point b) {
    return {{std::min(a.x, b.x), std::min(a.y, b.y)}, {std::max(a.x, b.x), std::max(a.y, b.y)}};
}

Rect unite(const Rect& a, const Rect& b) {
    return {{std::min(a.min.x, b.min.x), std::min(a.min.y, b.min.y)},
            {std::max(a.max.x, b.max.x), std::max(a.max.y, b.max.y)}};
}

bool contains(const Rect& r, Point p) {
    return p.x >= r.min.x && p.x <= r.max.x && p.y >= r.min.y && p.y <= r.max.y;
}

bool is_attachable(const Annotation& a) {
    return a.kind() == ShapeKind::Rectangle || a.kind() == ShapeKind::Ellipse;
}

// Where one arrow end is drawn: on its target when that still exists.
Point resolve_end(const std::optional<Attachment>& att, Point stored, std::span<const Annotation> objects) {
    if (!att) {
        return stored;
    }
    const Annotation* target = find_by_id(objects, att->target);
    if (target == nullptr || !is_attachable(*target)) {
        return stored;
    }
    return attachment_point(*att, *target);
}

// The rectangle's four corners in drawing order, closed.
Polyline rectangle_outline(const Rect& box, double angle) {
    const Point c = rect_centre(box);
    Polyline line{{box.min.x, box.min.y}, {box.max.x, box.min.y}, {box.max.x, box.max.y}, {box.min.x, box.max.y}};
    for (Point& p : line) {
        p = rotate_about(p, c, angle);
    }
    line.push_back(line.front());
    return line;
}

Polyline ellipse_outline(const Rect& box, double angle) {
    const Point c = rect_centre(box);
    const double a = (box.max.x - box.min.x) / 2.0;
    const double b = (box.max.y - box.min.y) / 2.0;
    const std::size_t n = ellipse_segments(a, b);
    Polyline line;
    line.reserve(n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        const double phi = 2.0 * kPi * static_cast<double>(i) / static_cast<double>(n);
        line.push_back(rotate_about({c.x + a * std::cos(phi), c.y + b * std::sin(phi)}, c, angle));
    }
    line.push_back(line.front());
    return line;
}

// Pen corners are replaced by a short quadratic curve; the neighbours used are
// always the input points, so smoothing one corner never shifts the next.
Polyline smooth_pen_run(const Polyline& run) {
    Polyline out;
    out.reserve(run.size() * 5);
    out.push_back(run.front());
    for (std::size_t i = 1; i + 1 < run.size(); ++i) {
        const Point a = run[i - 1];
        const Point b = run[i];
        const Point c = run[i + 1];
        const double da = distance(a, b);
        const double dc = distance(c, b);
        const Point f = b + (a - b) * std::min(kPenCornerReach / std::max(da, 1e-9), 0.5);
        const Point u = b + (c - b) * std::min(kPenCornerReach / std::max(dc, 1e-9), 0.5);
        out.push_back(f);
        for (const double t : {0.25, 0.5, 0.75, 1.0}) {
            const double s = 1.0 - t;
            out.push_back(f * (s * s) + b * (2.0 * t * s) + u * (t * t));
        }
    }
    out.push_back(run.back());
    return out;
}

double polyline_distance(Point p, const Polyline& line) {
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        best = std::min(best, segment_distance(p, line[i], line[i + 1]));
    }
    return best;
}

bool inside_triangle(Point p, Point a, Point b, Point c) {
    const double d1 = cross(b - a, p - a);
    const double d2 = cross(c - b, p - b);
    const double d3 = cross(a - c, p - c);
    const bool has_negative = d1 < 0.0 || d2 < 0.0 || d3 < 0.0;
    const bool has_positive = d1 > 0.0 || d2 > 0.0 || d3 > 0.0;
    return !(has_negative && has_positive);
}

// One axis of a box mapping. A pure translation (scale exactly 1) is applied
// as an offset so that moving by zero gives back the very same coordinates
// and an object shifted by d and back compares equal.
struct AxisMap {
    double from_min = 0.0;
    double to_min = 0.0;
    double scale = 1.0;

    AxisMap(double s_min, double s_max, double d_min, double d_max) : from_min(s_min), to_min(d_min) {
        const double from_span = s_max - s_min;
        const double to_span = d_max - d_min;
        if (std::fabs(from_span) < kTiny) {
            return;
        }
        // A box shifted by d has a span that differs from the original by the
        // rounding of its coordinates alone; that is still a translation, and
        // scaling by 1 + a few ulps would creep into text sizes on every move.
        const double magnitude = std::max({std::fabs(s_min), std::fabs(s_max), std::fabs(d_min), std::fabs(d_max)});
        if (std::fabs(to_span - from_span) <= 4.0 * std::numeric_limits<double>::epsilon() * magnitude) {
            return;
        }
        scale = to_span / from_span;
    }

    double operator()(double q) const {
        if (scale == 1.0) {
            return q + (to_min - from_min);
        }
        return (q - from_min) * scale + to_min;
    }
};

}  // namespace

Point rotate_about(Point p, Point c, double theta) {
    if (theta == 0.0) {
        // Exact: a round trip through the centre could move p by an ulp.
        return p;
    }
    const double cs = std::cos(theta);
    const double sn = std::sin(theta);
    const Point v = p - c;
    return {c.x + (cs * v.x - sn * v.y), c.y + (sn * v.x + cs * v.y)};
}

// Halving each end first cannot overflow for huge coordinates.
Point rect_centre(const Rect& r) {
    return {0.5 * r.min.x + 0.5 * r.max.x, 0.5 * r.min.y + 0.5 * r.max.y};
}

Rect bounds(const Annotation& a) {
    return std::visit(
        [](const auto& g) -> Rect {
            using T = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<T, shape::Rectangle> || std::is_same_v<T, shape::Ellipse>) {
                return g.box;
            } else if constexpr (std::is_same_v<T, shape::Arrow>) {
                if (!finite(g.start) || !finite(g.end)) {
                    return Rect{};
                }
                return rect_of(g.start, g.end);
            } else if constexpr (std::is_same_v<T, shape::Stroke>) {
                if (g.points.empty()) {
                    return Rect{};
                }
                Rect r{g.points.front(), g.points.front()};
                for (const Point& p : g.points) {
                    r = unite(r, Rect{p, p});
                }
                return r;
            } else {
                return Rect{g.position, {g.position.x + g.layout_width, g.position.y + g.layout_height}};
            }
        },
        a.geometry);
}

Rect rotated_bounds(const Annotation& a) {
    const Rect b = bounds(a);
    const double theta = a.angle;
    if (theta == 0.0) {
        return b;
    }
    const Point c = rect_centre(b);
    if (a.kind() == ShapeKind::Ellipse) {
        const double ha = (b.max.x - b.min.x) / 2.0;
        const double hb = (b.max.y - b.min.y) / 2.0;
        const double cs = std::cos(theta);
        const double sn = std::sin(theta);
        const double hx = std::hypot(cs * ha, sn * hb);
        const double hy = std::hypot(ha * sn, hb * cs);
        return {{c.x - hx, c.y - hy}, {c.x + hx, c.y + hy}};
    }
    const Point corners[4] = {b.min, {b.max.x, b.min.y}, b.max, {b.min.x, b.max.y}};
    Point first = rotate_about(corners[0], c, theta);
    Rect r{first, first};
    for (int i = 1; i < 4; ++i) {
        const Point p = rotate_about(corners[i], c, theta);
        r = unite(r, Rect{p, p});
    }
    return r;
}

Point attachment_point(const Attachment& att, const Annotation& target) {
    const Rect b = bounds(target);
    const Point c = rect_centre(b);
    const Point h{(b.max.x - b.min.x) / 2.0, (b.max.y - b.min.y) / 2.0};
    if (h.x < kTiny || h.y < kTiny) {
        return c;
    }
    const Point n{att.dx / h.x, att.dy / h.y};
    const double m =
        target.kind() == ShapeKind::Ellipse ? std::hypot(n.x, n.y) : std::max(std::fabs(n.x), std::fabs(n.y));
    const Point q = m >= kTiny ? c + Point{att.dx / m, att.dy / m} : c;
    return rotate_about(q, c, target.angle);
}

const Annotation* find_by_id(std::span<const Annotation> objects, std::uint64_t id) {
    // Editor lists are kept in ascending id order, so bisect first; a list in
    // any other order still gets a correct answer from the scan.
    std::size_t lo = 0;
    std::size_t hi = objects.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (objects[mid].id < id) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (lo < objects.size() && objects[lo].id == id) {
        return &objects[lo];
    }
    for (const Annotation& a : objects) {
        if (a.id == id) {
            return &a;
        }
    }
    return nullptr;
}

std::optional<ArrowEnds> arrow_ends(const Annotation& a, std::span<const Annotation> objects) {
    const auto* arrow = a.as<shape::Arrow>();
    if (arrow == nullptr) {
        return std::nullopt;
    }
    ArrowEnds ends{resolve_end(arrow->start_attachment, arrow->start, objects),
                   resolve_end(arrow->end_attachment, arrow->end, objects)};
    // Both ends bound to one spot would leave nothing to draw or to grab.
    if (distance(ends.start, ends.end) < kTiny && distance(arrow->start, arrow->end) >= kTiny) {
        ends = {arrow->start, arrow->end};
    }
    return ends;
}

std::optional<Attachment> find_attachment(Point p, std::span<const Annotation> objects,
                                          std::optional<std::uint64_t> skip_id) {
    if (!finite(p)) {
        return std::nullopt;
    }
    for (std::size_t i = objects.size(); i-- > 0;) {
        const Annotation& candidate = objects[i];
        if (!is_attachable(candidate) || (skip_id && candidate.id == *skip_id)) {
            continue;
        }
        const Rect b = bounds(candidate);
        const Point c = rect_centre(b);
        const Point local = rotate_about(p, c, -candidate.angle);
        if (!contains(b, local)) {
            continue;
        }
        Point direction = local - c;
        if (length(direction) < kTiny) {
            direction = {1.0, 0.0};
        }
        return Attachment{direction.x, direction.y, candidate.id};
    }
    return std::nullopt;
}

Rect selection_box(const Annotation& a, std::span<const Annotation> objects) {
    if (const auto ends = arrow_ends(a, objects); ends && finite(ends->start) && finite(ends->end)) {
        return rect_of(ends->start, ends->end);
    }
    return rotated_bounds(a);
}

std::optional<Rect> selection_bounds(std::span<const Annotation> objects, std::span<const std::uint64_t> selection) {
    if (selection.empty()) {
        return std::nullopt;
    }
    const IdSet selected(selection.begin(), selection.end());
    std::optional<Rect> result;
    for (const Annotation& a : objects) {
        if (selected.count(a.id) == 0) {
            continue;
        }
        const Rect box = selection_box(a, objects);
        result = result ? unite(*result, box) : box;
    }
    return result;
}

std::size_t ellipse_segments(double a, double b) {
    const double r = std::max(a, b);
    if (std::isnan(r)) {
        return kMinEllipseSegments;
    }
    const double exact = std::ceil(kPi / std::acos(1.0 - kEllipseChordError / std::max(r, kEllipseChordError)));
    std::size_t n = kMaxEllipseSegments;
    if (exact < static_cast<double>(kMaxEllipseSegments)) {  // also false for NaN and infinity
        n = std::max(static_cast<std::size_t>(exact), kMinEllipseSegments);
    }
    return (n + 3) / 4 * 4;
}

std::vector<Polyline> outline(const Annotation& a, std::span<const Annotation> objects) {
    std::vector<Polyline> lines;
    switch (a.kind()) {
        case ShapeKind::Rectangle:
            lines.push_back(rectangle_outline(a.as<shape::Rectangle>()->box, a.angle));
            break;
        case ShapeKind::Ellipse:
            lines.push_back(ellipse_outline(a.as<shape::Ellipse>()->box, a.angle));
            break;
        case ShapeKind::Arrow: {
            const ArrowEnds ends = *arrow_ends(a, objects);
            const Point s = ends.start;
            const Point e = ends.end;
            const double len = distance(s, e);
            if (!(len >= kTiny)) {
                break;
            }
            const Point u = (e - s) * (1.0 / len);
            const double head = std::min(0.45 * len, std::max(4.8 * a.width, 8.0));
            const Point m = e - u * head;
            const double half = 0.45 * head;
            const Point v{-u.y, u.x};
            lines.push_back({s, m});
            lines.push_back({m + v * half, e, m - v * half, m + v * half});
            break;
        }
        case ShapeKind::Stroke:
            for (StrokeRun& run : stroke_runs(a)) {
                lines.push_back(std::move(run.points));
            }
            break;
        case ShapeKind::Text:
            break;
    }
    return lines;
}

std::vector<StrokeRun> stroke_runs(const Annotation& a) {
    std::vector<StrokeRun> runs;
    const auto* stroke = a.as<shape::Stroke>();
    if (stroke == nullptr || stroke->points.size() < 2) {
        return runs;
    }
    const std::vector<Point>& pts = stroke->points;
    const bool highlighter = stroke->highlighter != 0;
    const double factor = highlighter ? kHighlighterWidthFactor : 1.0;
    const auto segment_width = [&](std::size_t i) {
        return factor * (i < stroke->segment_widths.size() ? stroke->segment_widths[i] : a.width);
    };

    const std::size_t last = pts.size() - 1;
    std::size_t start = 0;
    while (start < last) {
        const double w = segment_width(start);
        std::size_t end = start + 1;
        while (end < last && segment_width(end) == w) {
            ++end;
        }
        StrokeRun run;
        run.width = w;
        run.points.assign(pts.begin() + static_cast<std::ptrdiff_t>(start),
                          pts.begin() + static_cast<std::ptrdiff_t>(end) + 1);
        if (!highlighter && run.points.size() >= 3) {
            run.points = smooth_pen_run(run.points);
        }
        runs.push_back(std::move(run));
        start = end;
    }
    return runs;
}

double segment_distance(Point p, Point a, Point b) {
    const Point ab = b - a;
    const double len2 = ab.x * ab.x + ab.y * ab.y;
    if (len2 < kDegenerateSegment) {
        return distance(p, a);
    }
    const double t = std::clamp(((p.x - a.x) * ab.x + (p.y - a.y) * ab.y) / len2, 0.0, 1.0);
    return distance(p, a + ab * t);
}

namespace {

// A box no hit can lie outside of. A Select press tries every object from the
// top down, so rejecting the far ones before any outline is built keeps the
// press cheap in a large document.
std::optional<Rect> hit_reach(const Annotation& a, double tolerance, std::span<const Annotation> objects) {
    Rect box;
    double margin = tolerance;
    switch (a.kind()) {
        case ShapeKind::Rectangle:
        case ShapeKind::Text:
            box = rotated_bounds(a);
            break;
        case ShapeKind::Ellipse:
            box = rotated_bounds(a);
            margin += a.width / 2.0;
            break;
        case ShapeKind::Arrow: {
            const auto ends = arrow_ends(a, objects);
            if (!ends || !finite(ends->start) || !finite(ends->end)) return std::nullopt;
            box = rect_of(ends->start, ends->end);
            // The head's corners stand off the shaft by at most 0.45 of its length.
            margin += a.width / 2.0 + 0.45 * std::max(4.8 * a.width, 8.0);
            break;
        }
        case ShapeKind::Stroke: {
            // Smoothed runs stay inside the hull of the drawn points.
            const auto& stroke = *a.as<shape::Stroke>();
            box = bounds(a);
            double widest = a.width;
            for (double w : stroke.segment_widths) widest = std::max(widest, w);
            margin += (stroke.highlighter ? 5.0 : 1.0) * widest / 2.0;
            break;
        }
    }
    if (!finite(box.min) || !finite(box.max) || !std::isfinite(margin)) return std::nullopt;
    return Rect{{box.min.x - margin, box.min.y - margin}, {box.max.x + margin, box.max.y + margin}};
}

}  // namespace

bool hit_test(const Annotation& a, Point p, double tolerance, std::span<const Annotation> objects) {
    if (!finite(p)) {
        return false;
    }
    if (const auto reach = hit_reach(a, tolerance, objects); reach && !contains(*reach, p)) {
        return false;
    }
    switch (a.kind()) {
        case ShapeKind::Rectangle:
            // The border only: a click inside an unfilled frame reaches what lies below.
            return polyline_distance(p, rectangle_outline(a.as<shape::Rectangle>()->box, a.angle)) <= tolerance;
        case ShapeKind::Ellipse:
            return polyline_distance(p, ellipse_outline(a.as<shape::Ellipse>()->box, a.angle)) <=
                   tolerance + a.width / 2.0;
        case ShapeKind::Arrow: {
            const std::vector<Polyline> lines = outline(a, objects);
            if (lines.size() != 2) {
                return false;
            }
            const Polyline& head = lines[1];
            if (inside_triangle(p, head[0], head[1], head[2])) {
                return true;
            }
            const double reach = tolerance + a.width / 2.0;
            return polyline_distance(p, lines[0]) <= reach || polyline_distance(p, head) <= reach;
        }
        case ShapeKind::Stroke:
            for (const StrokeRun& run : stroke_runs(a)) {
                if (polyline_distance(p, run.points) <= tolerance + run.width / 2.0) {
                    return true;
                }
            }
            return false;
        case ShapeKind::Text: {
            const Rect b = bounds(a);
            return contains(b, rotate_about(p, rect_centre(b), -a.angle));
        }
    }
    return false;
}

void map_to_box(Annotation& a, const Rect& from, const Rect& to) {
    const AxisMap mx(from.min.x, from.max.x, to.min.x, to.max.x);
    const AxisMap my(from.min.y, from.max.y, to.min.y, to.max.y);
    const auto map_point = [&](Point p) { return Point{mx(p.x), my(p.y)}; };

    std::visit(
        [&](auto& g) {
            using T = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<T, shape::Rectangle> || std::is_same_v<T, shape::Ellipse>) {
                const Point p = map_point(g.box.min);
                const Point q = map_point(g.box.max);
                if (finite(p) && finite(q)) {
                    g.box = rect_of(p, q);
                }
            } else if constexpr (std::is_same_v<T, shape::Arrow>) {
                g.start = map_point(g.start);
                g.end = map_point(g.end);
            } else if constexpr (std::is_same_v<T, shape::Stroke>) {
                for (Point& p : g.points) {
                    p = map_point(p);
                }
            } else {
                // Text scales through its font size only, which stays within
                // the range text entry accepts; the layout box follows the
                // clamped size, not the requested one.
                const Point position = map_point(g.position);
                const double vertical = (from.max.y - from.min.y) > kTiny ? my.scale : 1.0;
                const double font = std::clamp(g.font_size * vertical, kMinFontSize, kMaxFontSize);
                if (!finite(position) || !std::isfinite(font)) {
                    return;
                }
                const double ratio = g.font_size > 0.0 ? font / g.font_size : 1.0;
                g.position = position;
                g.font_size = font;
                g.layout_width *= ratio;
                g.layout_height *= ratio;
            }
        },
        a.geometry);
}

void detach_for_transfer(Annotation& a, std::span<const Annotation> objects, const IdSet& kept) {
    auto* arrow = a.as<shape::Arrow>();
    if (arrow == nullptr) {
        return;
    }
    // Pin the ends where they are drawn now (the resolved ends, so an arrow
    // whose ends would meet on one spot keeps its drawn points).
    const ArrowEnds ends = *arrow_ends(a, objects);
    if (arrow->start_attachment && find_by_id(objects, arrow->start_attachment->target) != nullptr) {
        arrow->start = ends.start;
    }
    if (arrow->end_attachment && find_by_id(objects, arrow->end_attachment->target) != nullptr) {
        arrow->end = ends.end;
    }
    if (arrow->start_attachment && kept.count(arrow->start_attachment->target) == 0) {
        arrow->start_attachment.reset();
    }
    if (arrow->end_attachment && kept.count(arrow->end_attachment->target) == 0) {
        arrow->end_attachment.reset();
    }
}

}  // namespace kadrovix::paths
