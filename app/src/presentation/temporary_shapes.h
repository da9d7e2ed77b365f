// Temporary shapes without the canvas window: how a drag with Shift and Alt
// makes an arrow, rectangle or ellipse, which finished shapes are kept, how
// they fade and when they are gone, and the measures the canvas paints them
// with. The Windows side passes points in canvas pixels (screen minus the
// virtual-screen origin), the monitor's DPI and monotonic milliseconds.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "editor/annotation.h"

namespace kadrovix {

// What a shape shortcut asks for; the values are the drawing's kind byte.
enum class TemporaryShapeKind : std::uint8_t { Arrow = 0, Rectangle = 1, Ellipse = 2 };
inline constexpr std::uint8_t kNotDrawing = 255;

// Hot-key ids of the three shape shortcuts.
inline constexpr int kArrowHotkeyId = 91;
inline constexpr int kRectangleHotkeyId = 92;
inline constexpr int kEllipseHotkeyId = 93;

// The kind a shape shortcut's hot-key id starts; none for any other id.
std::optional<TemporaryShapeKind> shape_kind_for_hotkey(int id);

// The "Shape duration" choices, in milliseconds.
inline constexpr std::array<std::uint32_t, 3> kShapeDurationsMs = {1000, 3000, 5000};
// The last stretch of a shape's life over which it fades out.
inline constexpr std::uint64_t kShapeFadeMs = 500;
inline constexpr std::size_t kMaxFadingShapes = 128;
// Colour and width a shape has when first made, before the canvas gives it the
// user's colour and the drawing's width.
inline constexpr Rgb kNewShapeColour{237, 79, 92};
inline constexpr double kNewShapeWidth = 3.0;
// Limits of `presentation_stroke_width` that the wheel keeps to.
inline constexpr std::uint32_t kMinPresentationStrokeWidth = 1;
inline constexpr std::uint32_t kMaxPresentationStrokeWidth = 40;

// The shape being drawn on the canvas.
struct ShapeDrawing {
    std::uint8_t kind = kNotDrawing;
    Point press;
    bool press_finite = false;
    std::optional<Annotation> shape;
    // In pixels, already multiplied by the monitor's scale.
    double width = 0.0;
    double arrow_size = 0.0;

    bool active() const { return kind != kNotDrawing; }
};

struct FadingShape {
    // Kind, geometry, width and colour.
    Annotation shape;
    double arrow_size = 0.0;
    std::uint64_t start_ms = 0;
    std::uint64_t duration_ms = 0;
};

// monitor dpi / 96, a failed query (0) or less than 96 counting as 96.
double monitor_scale(std::uint32_t dpi);

// Begins a drawing of `kind`. A press already made stays, so a shortcut
// pressed during a drag changes the kind of the shape under way.
void start_drawing(ShapeDrawing& drawing, TemporaryShapeKind kind);

// Ends the drawing; a shape in progress is dropped.
void end_drawing(ShapeDrawing& drawing);

// The geometry for the press point `a` and pointer `p` by the drag rules,
// Shift and Alt as held now. None unless both points are finite.
std::optional<Geometry> shape_geometry(TemporaryShapeKind kind, Point a, Point p, bool shift, bool alt);

// Replaces the shape in progress with the one the pointer at `p` makes, in
// `colour` and the drawing's width. Nothing happens without a drawing, a
// finite press point and a finite `p`.
void update_drawing(ShapeDrawing& drawing, Point p, bool shift, bool alt, Rgb colour);

// The button press at `p`: records the press point and the widths for a
// monitor of `dpi`, then updates.
void press_drawing(ShapeDrawing& drawing, Point p, std::uint32_t stroke_width, std::uint32_t arrow_size,
                   std::uint32_t dpi, bool shift, bool alt, Rgb colour);

// `presentation_stroke_width` after one wheel step: up 1 for a positive
// delta, down 1 for a negative one, within 1..40 (a value already outside
// is brought inside); unchanged for a zero delta.
std::uint32_t wheel_stroke_width(std::uint32_t width, int wheel_delta);

// A wheel step while drawing: updates `stroke_width` and gives the shape in
// progress the new width at the cursor monitor's scale. True when the stored
// width changed and must be written to the settings; false without a drawing.
bool wheel_drawing(ShapeDrawing& drawing, std::uint32_t& stroke_width, int wheel_delta, std::uint32_t dpi);

// A rectangle or ellipse needs min < max on both axes, an arrow a length above
// 0; anything else, or a non-finite coordinate, is degenerate.
bool is_degenerate(const Annotation& shape);

// The button release: the drawing ends, and a shape that is not degenerate
// joins `fading` (after dropping the oldest so that at most 127 others stay)
// with start time `now_ms` and `duration_ms`. True when a shape was added.
bool commit_drawing(ShapeDrawing& drawing, std::vector<FadingShape>& fading, std::uint64_t now_ms,
                    std::uint32_t duration_ms);

// Opacity of a shape of duration D at age A: with F = min(D, 500),
// min(F, max(D - A, 0)) / F. A shape with no duration is already gone (0).
double fade_opacity(std::uint64_t duration_ms, std::uint64_t age_ms);
double fade_opacity(const FadingShape& shape, std::uint64_t now_ms);

// Removes, in order, every shape whose age has reached its duration. True
// while any shape is left fading, i.e. the animation must go on.
bool prune_faded(std::vector<FadingShape>& fading, std::uint64_t now_ms);

// The canvas is needed while something is drawn or fading.
bool canvas_needed(const ShapeDrawing& drawing, const std::vector<FadingShape>& fading);

// Alpha of the canvas's black fill: 1/255 while drawing, so that the whole
// canvas catches the mouse; 0 otherwise.
double canvas_background_alpha(const ShapeDrawing& drawing);

// Corner radius of a rectangle's rounded outline:
// min(1.6 x width, min(box width, box height) / 2).
double rectangle_corner_radius(const Rect& box, double width);

// An arrow as drawn: the shaft line and the filled head triangle (tip first).
struct ArrowOutline {
    Point shaft_start;
    Point shaft_end;
    std::array<Point, 3> head;
    double head_length = 0.0;
};

// None when the arrow is shorter than 0.001 px (or not finite).
std::optional<ArrowOutline> arrow_outline(Point start, Point end, double arrow_size);

}  // namespace kadrovix
