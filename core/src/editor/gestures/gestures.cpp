// Pointer gestures: one press-drag-release of the primary button becomes a new
// shape, a selection, or a move, resize, rotation or arrow-end drag. Every
// gesture but the arrow-end drag rebuilds its result from the snapshot taken
// at the press, so a drag can never accumulate rounding or lose objects.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "editor/editor.h"
#include "paths/geometry.h"

namespace kadrovix {

namespace {

using gestures::kHandleRadius;
using gestures::kMinPenStep;
using gestures::kMinShapeDiagonal;
using gestures::kRotationHandleOffset;
using gestures::kSnapStep;

// A resize is kept proportional once any selected object is turned by more
// than this, since scaling the axes differently would shear it.
constexpr double kRotatedAngle = 1e-9;
// A proportional resize never shrinks below this fraction of the start box.
constexpr double kMinResizeFactor = 0.01;
constexpr double kDegenerateDiagonal = 1e-9;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

bool finite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}
double distance(Point a, Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}
double dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y;
}

Rect normalised(Point a, Point b) {
    return {{std::min(a.x, b.x), std::min(a.y, b.y)}, {std::max(a.x, b.x), std::max(a.y, b.y)}};
}

Rect shifted(const Rect& r, Point d) {
    return {{r.min.x + d.x, r.min.y + d.y}, {r.max.x + d.x, r.max.y + d.y}};
}

// p turned about `origin` to the nearest multiple of 45 degrees (halfway cases
// away from zero), its distance kept. Directions come from a table so that a
// snapped horizontal or vertical line is exactly that.
Point snap_angle(Point origin, Point p) {
    const double dx = p.x - origin.x;
    const double dy = p.y - origin.y;
    const double len = std::hypot(dx, dy);
    if (!(len > 0.0)) {
        return origin;
    }
    constexpr double kDiagonal = std::numbers::sqrt2 / 2.0;
    static constexpr Point kDirections[8] = {
        {1.0, 0.0},  {kDiagonal, kDiagonal},   {0.0, 1.0},  {-kDiagonal, kDiagonal},
        {-1.0, 0.0}, {-kDiagonal, -kDiagonal}, {0.0, -1.0}, {kDiagonal, -kDiagonal},
    };
    const auto step = static_cast<long long>(std::round(std::atan2(dy, dx) / kSnapStep));
    const Point u = kDirections[((step % 8) + 8) % 8];
    return {origin.x + len * u.x, origin.y + len * u.y};
}

// An angle brought into [0, 2 pi).
double normalise_angle(double angle) {
    double r = std::fmod(angle, kTwoPi);
    if (r < 0.0) {
        r += kTwoPi;
    }
    // A tiny negative remainder plus 2 pi can round up to 2 pi itself, and a
    // turn of -0 must not leave a -0 angle: history compares with ==, which
    // cannot tell it from the 0 it recorded.
    if (r >= kTwoPi || r == 0.0) {
        r = 0.0;
    }
    return r;
}

paths::IdSet id_set(const std::vector<std::uint64_t>& ids) {
    return paths::IdSet(ids.begin(), ids.end());
}

bool snaps_with_shift(Tool t) {
    return t == Tool::Line || t == Tool::Arrow || t == Tool::Pen || t == Tool::Highlighter;
}

// The new shape of a Create gesture, reshaped for pointer position p (already
// snapped where Shift asks for it).
void reshape_new_object(Annotation& obj, const Gesture& g, Point p, Tool tool, double current_width,
                        std::span<const Annotation> objects) {
    const Point press = g.press_point;
    Point d{p.x - press.x, p.y - press.y};
    switch (tool) {
        case Tool::Rectangle: {
            auto* rect = obj.as<shape::Rectangle>();
            if (rect == nullptr) {
                return;
            }
            if (g.shift) {
                const double side = std::max(std::fabs(d.x), std::fabs(d.y));
                d = {std::copysign(side, d.x), std::copysign(side, d.y)};
            }
            const Point corner{press.x + d.x, press.y + d.y};
            const Point opposite = g.alt ? Point{press.x - d.x, press.y - d.y} : press;
            if (finite(corner) && finite(opposite)) {
                rect->box = normalised(corner, opposite);
            }
            return;
        }
        case Tool::Ellipse: {
            auto* ellipse = obj.as<shape::Ellipse>();
            if (ellipse == nullptr) {
                return;
            }
            const double radius = std::hypot(d.x, d.y);
            const Point half = g.alt ? Point{std::fabs(d.x), std::fabs(d.y)} : Point{radius, radius};
            const Rect box{{press.x - half.x, press.y - half.y}, {press.x + half.x, press.y + half.y}};
            if (finite(box.min) && finite(box.max)) {
                ellipse->box = box;
            }
            return;
        }
        case Tool::Arrow: {
            auto* arrow = obj.as<shape::Arrow>();
            if (arrow == nullptr) {
                return;
            }
            if (g.shift) {
                // A Shift-drawn arrow is free at both ends.
                arrow->start_attachment.reset();
                arrow->end_attachment.reset();
            } else {
                arrow->start_attachment = paths::find_attachment(press, objects, obj.id);
                arrow->end_attachment = paths::find_attachment(p, objects, obj.id);
            }
            arrow->end = p;
            return;
        }
        case Tool::Line: {
            auto* stroke = obj.as<shape::Stroke>();
            if (stroke == nullptr || stroke->points.size() < 2) {
                return;
            }
            stroke->points[1] = p;
            obj.width = current_width;
            return;
        }
        case Tool::Pen:
        case Tool::Highlighter: {
            auto* stroke = obj.as<shape::Stroke>();
            if (stroke == nullptr || stroke->points.empty()) {
                return;
            }
            if (g.shift) {
                stroke->points = {press, p};
                stroke->segment_widths.clear();
                obj.width = current_width;
                return;
            }
            if (!(distance(p, stroke->points.back()) >= kMinPenStep)) {
                return;
            }
            // After a straight Shift segment the widths list is shorter than the
            // segments; fill it so that each later width lines up with its own
            // segment instead of shifting onto the one before.
            if (stroke->segment_widths.size() + 1 < stroke->points.size()) {
                stroke->segment_widths.resize(stroke->points.size() - 1, obj.width);
            }
            stroke->segment_widths.push_back(current_width);
            stroke->points.push_back(p);
            return;
        }
        case Tool::Select:
        case Tool::Text:
            return;
    }
}

}  // namespace

void Editor::press(Point p, bool shift, bool alt) {
    if (!finite(p)) {
        return;
    }
    cancel_gesture();

    Gesture g;
    g.snapshot = objects;
    g.press_point = p;
    g.current_point = p;
    g.shift = shift;
    g.alt = alt;

    if (tool == Tool::Select) {
        const std::optional<Rect> box = selection_bounds();
        if (box) {
            const Point centre = paths::rect_centre(*box);
            if (distance(p, {centre.x, box->min.y - kRotationHandleOffset}) < kHandleRadius) {
                g.kind = GestureKind::Rotate;
                g.anchor = centre;
                gesture = std::move(g);
                return;
            }
        }
        if (selection.size() == 1) {
            const Annotation* only = paths::find_by_id(objects, selection.front());
            if (const auto ends = only ? paths::arrow_ends(*only, objects) : std::nullopt) {
                const bool on_start = distance(p, ends->start) < kHandleRadius;
                if (on_start || distance(p, ends->end) < kHandleRadius) {
                    g.kind = GestureKind::Endpoint;
                    g.which_end = on_start ? 1 : 0;
                    g.anchor = {static_cast<double>(only - objects.data()), 0.0};
                    gesture = std::move(g);
                    return;
                }
            }
        }
        if (box) {
            // Top-left, top-right, bottom-right, bottom-left, each with its opposite.
            const Point corners[4] = {box->min, {box->max.x, box->min.y}, box->max, {box->min.x, box->max.y}};
            for (int i = 0; i < 4; ++i) {
                if (distance(p, corners[i]) < kHandleRadius) {
                    g.kind = GestureKind::Resize;
                    g.anchor = corners[(i + 2) % 4];
                    g.start_box = *box;
                    gesture = std::move(g);
                    return;
                }
            }
        }
        for (std::size_t i = objects.size(); i-- > 0;) {
            if (!paths::hit_test(objects[i], p, paths::kSelectTolerance, objects)) {
                continue;
            }
            const std::uint64_t id = objects[i].id;
            const auto found = std::find(selection.begin(), selection.end(), id);
            if (shift) {
                if (found != selection.end()) {
                    selection.erase(found);
                } else {
                    selection.push_back(id);
                }
            } else if (found == selection.end()) {
                selection.assign(1, id);
            }
            g.kind = GestureKind::Move;
            gesture = std::move(g);
            return;
        }
        if (!shift) {
            selection.clear();
        }
        g.kind = GestureKind::Marquee;
        gesture = std::move(g);
        return;
    }

    Annotation created;
    switch (tool) {
        case Tool::Rectangle:
            created.geometry = shape::Rectangle{Rect{p, p}};
            break;
        case Tool::Ellipse:
            created.geometry = shape::Ellipse{Rect{p, p}};
            break;
        case Tool::Line:
            created.geometry = shape::Stroke{{p, p}, {}, 0};
            break;
        case Tool::Arrow:
            created.geometry = shape::Arrow{paths::find_attachment(p, objects), std::nullopt, p, p};
            break;
        case Tool::Pen:
            created.geometry = shape::Stroke{{p}, {}, 0};
            break;
        case Tool::Highlighter:
            created.geometry = shape::Stroke{{p}, {}, 1};
            break;
        case Tool::Select:
        case Tool::Text:
        default:
            // Text entry belongs to the editor window; nothing is drawn here.
            return;
    }
    // Taken now, even if the shape is dropped on release as too small.
    created.id = next_id();
    created.angle = 0.0;
    created.width = width;
    created.colour = colour;
    objects.push_back(std::move(created));
    selection.clear();
    g.kind = GestureKind::Create;
    gesture = std::move(g);
}

void Editor::drag(Point p) {
    if (!finite(p) || !gesture) {
        return;
    }
    gesture->current_point = p;
    recompute_gesture();
}

void Editor::modifiers_changed(bool shift, bool alt) {
    if (!gesture) {
        return;
    }
    gesture->shift = shift;
    gesture->alt = alt;
    drag(gesture->current_point);
}

void Editor::begin_rotate(Point p) {
    if (!finite(p) || selection.empty()) {
        return;
    }
    cancel_gesture();
    const std::optional<Rect> box = selection_bounds();
    if (!box) {
        return;
    }
    Gesture g;
    g.snapshot = objects;
    g.kind = GestureKind::Rotate;
    g.anchor = paths::rect_centre(*box);
    g.press_point = p;
    g.current_point = p;
    gesture = std::move(g);
}

void Editor::release() {
    if (!gesture) {
        return;
    }
    Gesture g = std::move(*gesture);
    gesture.reset();

    switch (g.kind) {
        case GestureKind::Create: {
            if (objects.empty()) {
                objects = std::move(g.snapshot);
                return;
            }
            const Rect r = paths::rotated_bounds(objects.back());
            const double diagonal = std::hypot(r.max.x - r.min.x, r.max.y - r.min.y);
            if (!(diagonal >= kMinShapeDiagonal)) {
                // A click, or a shape too small to see or grab: dropped unrecorded.
                objects = std::move(g.snapshot);
                return;
            }
            commit(std::move(g.snapshot));
            return;
        }
        case GestureKind::Marquee: {
            const Point a = g.press_point;
            const Point b = g.current_point;
            if (!finite(a) || !finite(b)) {
                return;
            }
            const Rect r = normalised(a, b);
            paths::IdSet selected = id_set(selection);
            for (const Annotation& obj : objects) {
                const Rect box = paths::selection_box(obj, objects);
                const bool inside =
                    box.min.x >= r.min.x && box.max.x <= r.max.x && box.min.y >= r.min.y && box.max.y <= r.max.y;
                if (inside && selected.insert(obj.id).second) {
                    selection.push_back(obj.id);
                }
            }
            return;
        }
        case GestureKind::Rotate:
        case GestureKind::Move:
        case GestureKind::Resize:
        case GestureKind::Endpoint:
            commit(std::move(g.snapshot));
            return;
    }
}

void Editor::recompute_gesture() {
    if (!gesture) {
        return;
    }
    const Gesture& g = *gesture;
    const Point p = g.current_point;

    switch (g.kind) {
        case GestureKind::Create: {
            if (objects.empty()) {
                return;
            }
            const Point target = g.shift && snaps_with_shift(tool) ? snap_angle(g.press_point, p) : p;
            reshape_new_object(objects.back(), g, target, tool, width, objects);
            return;
        }
        case GestureKind::Marquee:
            return;
        case GestureKind::Endpoint: {
            const double index = g.anchor.x;
            if (!(index >= 0.0 && index < static_cast<double>(objects.size()))) {
                return;
            }
            Annotation& obj = objects[static_cast<std::size_t>(index)];
            auto* arrow = obj.as<shape::Arrow>();
            if (arrow == nullptr) {
                return;
            }
            const bool is_start = g.which_end == 1;
            std::optional<Attachment>& att = is_start ? arrow->start_attachment : arrow->end_attachment;
            Point target = p;
            if (g.shift) {
                const paths::ArrowEnds ends = *paths::arrow_ends(obj, objects);
                target = snap_angle(is_start ? ends.end : ends.start, p);
                att.reset();
            } else {
                att = paths::find_attachment(p, objects, obj.id);
            }
            (is_start ? arrow->start : arrow->end) = target;
            return;
        }
        case GestureKind::Rotate:
        case GestureKind::Move:
        case GestureKind::Resize:
            break;
    }

    // The remaining kinds transform the selection of the snapshot afresh.
    objects = g.snapshot;
    const paths::IdSet kept = id_set(selection);
    const std::span<const Annotation> before(g.snapshot);

    if (g.kind == GestureKind::Move) {
        const Point d{p.x - g.press_point.x, p.y - g.press_point.y};
        // A click on the selection is no move: an attached arrow stays
        // attached and nothing reaches the history.
        if (d.x == 0.0 && d.y == 0.0) return;
        for (Annotation& obj : objects) {
            if (kept.count(obj.id) == 0) {
                continue;
            }
            paths::detach_for_transfer(obj, before, kept);
            const Rect from = paths::bounds(obj);
            paths::map_to_box(obj, from, shifted(from, d));
        }
        return;
    }

    if (g.kind == GestureKind::Rotate) {
        const Point pivot = g.anchor;
        const double delta =
            std::atan2(p.y - pivot.y, p.x - pivot.x) - std::atan2(g.press_point.y - pivot.y, g.press_point.x - pivot.x);
        for (Annotation& obj : objects) {
            if (kept.count(obj.id) == 0) {
                continue;
            }
            paths::detach_for_transfer(obj, before, kept);
            if (auto* arrow = obj.as<shape::Arrow>()) {
                arrow->start = paths::rotate_about(arrow->start, pivot, delta);
                arrow->end = paths::rotate_about(arrow->end, pivot, delta);
            } else if (auto* stroke = obj.as<shape::Stroke>()) {
                for (Point& q : stroke->points) {
                    q = paths::rotate_about(q, pivot, delta);
                }
            } else {
                // Boxed kinds keep their box upright and carry the turn in
                // their angle; only the centre travels around the pivot.
                const Rect from = paths::bounds(obj);
                const Point c = paths::rect_centre(from);
                const Point moved = paths::rotate_about(c, pivot, delta);
                paths::map_to_box(obj, from, shifted(from, {moved.x - c.x, moved.y - c.y}));
                obj.angle = normalise_angle(obj.angle + delta);
            }
        }
        return;
    }

    // Resize.
    const Point anchor = g.anchor;
    Point corner = p;
    const bool proportional = std::any_of(before.begin(), before.end(), [&](const Annotation& a) {
        return kept.count(a.id) != 0 && std::fabs(a.angle) > kRotatedAngle;
    });
    if (proportional) {
        const Point v{g.start_box.min.x + g.start_box.max.x - 2.0 * anchor.x,
                      g.start_box.min.y + g.start_box.max.y - 2.0 * anchor.y};
        const double vv = dot(v, v);
        const double t =
            vv <= kDegenerateDiagonal ? 1.0 : std::max(dot({p.x - anchor.x, p.y - anchor.y}, v) / vv, kMinResizeFactor);
        corner = {anchor.x + t * v.x, anchor.y + t * v.y};
    }
    if (!finite(anchor) || !finite(corner)) {
        return;
    }
    const Rect to = normalised(anchor, corner);
    for (Annotation& obj : objects) {
        if (kept.count(obj.id) == 0) {
            continue;
        }
        paths::detach_for_transfer(obj, before, kept);
        paths::map_to_box(obj, g.start_box, to);
    }
}

}  // namespace kadrovix
