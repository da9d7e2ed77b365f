// Pure geometry over annotation objects: bounds, attached arrow ends, the
// outlines the renderer strokes, stroke runs, hit testing and box mapping.
// The same rules serve the editor, the clipboard and saved files, so a drawing
// looks and behaves alike everywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_set>
#include <vector>

#include "editor/annotation.h"

namespace kadrovix::paths {

// Closed outlines repeat their first point at the end.
using Polyline = std::vector<Point>;

// One piece of a stroke whose segments share a width.
struct StrokeRun {
    Polyline points;
    double width = 0.0;
};

using IdSet = std::unordered_set<std::uint64_t>;

// c + R(theta) * (p - c), clockwise on screen for positive theta.
Point rotate_about(Point p, Point c, double theta);
Point rect_centre(const Rect& r);

// Unrotated bounds, per kind. Arrows with a non-finite coordinate and strokes
// without points give the zero rectangle.
Rect bounds(const Annotation& a);
// Bounds after rotation about the centre of `bounds`.
Rect rotated_bounds(const Annotation& a);

// Where an attachment resolves on its target (which must be a rectangle or
// ellipse; the caller passes it).
Point attachment_point(const Attachment& att, const Annotation& target);

// Finds an object by id among `objects`; nullptr when absent. Bisects first
// (editor lists are in ascending id order) and falls back to a scan on a miss,
// so any order gives a correct answer.
const Annotation* find_by_id(std::span<const Annotation> objects, std::uint64_t id);

// The two drawn ends of an arrow: attachments resolved against `objects`.
// nullopt unless `a` is an arrow.
struct ArrowEnds {
    Point start;
    Point end;
};
std::optional<ArrowEnds> arrow_ends(const Annotation& a, std::span<const Annotation> objects);

// The attachment a pointer at `p` would make, trying `objects` from last to
// first; `skip_id` (the arrow being drawn) is never a candidate.
std::optional<Attachment> find_attachment(Point p, std::span<const Annotation> objects,
                                          std::optional<std::uint64_t> skip_id = std::nullopt);

// Box used for marquee inclusion and selection bounds: resolved ends for an
// arrow when finite, otherwise the rotated bounds.
Rect selection_box(const Annotation& a, std::span<const Annotation> objects);

// Union of the selected objects' boxes; nullopt when nothing is selected.
std::optional<Rect> selection_bounds(std::span<const Annotation> objects, std::span<const std::uint64_t> selection);

// Segment count of an ellipse outline for semi-axes a and b.
std::size_t ellipse_segments(double a, double b);

// Polylines the renderer strokes (and, for the arrow head, fills).
std::vector<Polyline> outline(const Annotation& a, std::span<const Annotation> objects);

// Runs of a stroke, smoothed for the pen; empty for fewer than two points or
// for any other kind.
std::vector<StrokeRun> stroke_runs(const Annotation& a);

// Distance from p to segment [a, b].
double segment_distance(Point p, Point a, Point b);

inline constexpr double kSelectTolerance = 7.0;
bool hit_test(const Annotation& a, Point p, double tolerance, std::span<const Annotation> objects);

// Maps the object from box `from` to box `to`, per axis. Stroke widths never scale.
void map_to_box(Annotation& a, const Rect& from, const Rect& to);

// Pins attached ends to where they resolve now, then drops attachments whose
// target is not kept. Other kinds are untouched.
void detach_for_transfer(Annotation& a, std::span<const Annotation> objects, const IdSet& kept);

}  // namespace kadrovix::paths
