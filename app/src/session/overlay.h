// Where the overlay draws its editing feedback: the frame around the
// selected objects with the rotation knob, and the brush preview at the
// pointer. Geometry only, in desktop pixels; colours and line widths are the
// painter's.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "editor/annotation.h"
#include "session/parts.h"
#include "session/session_state.h"

namespace kadrovix {

inline constexpr double kKnobOffset = 28.0;     // above the top of the selection bounds
inline constexpr double kKnobMargin = 8.0;      // the knob stays this far inside the desktop
inline constexpr double kKnobRadius = 6.0;      // as drawn
inline constexpr double kFrameGap = 3.0;        // the frame lies this far outside the selection bounds
inline constexpr double kFrameCornerSize = 8.0;  // squares centred on the frame's corners

// The rotation knob: above the middle of the selection bounds, kept inside
// the desktop. None when nothing is selected.
std::optional<Point> rotation_knob(const Editor& editor, const Desktop& desktop);

// Where a one-pixel frame around `r` is stroked so that it covers whole
// pixels: on the pixel centres just inside the rounded edges. A stroke on the
// edges themselves would smear over two half-lit pixels.
Rect hairline_frame(const Rect& r);
Point knob_for_bounds(const Rect& selection_bounds, const Desktop& desktop);

struct SelectionFrame {
    Rect frame;                  // the selection bounds grown by kFrameGap
    std::array<Point, 4> corners;  // of `frame`: top-left, top-right, bottom-right, bottom-left
    Point stem;                  // top-centre of the selection bounds: the knob's line starts here
    Point knob;
    friend bool operator==(const SelectionFrame&, const SelectionFrame&) = default;
};

// Drawn when objects are selected and no text entry is open.
std::optional<SelectionFrame> selection_frame(const SessionState& s, const PartsView& parts);

// --- veil ---

// How dark the veil over the picture outside the region is.
inline constexpr double kVeilOpacity = 0.48;

// The picture under the veil, pixel by pixel (BGRA, alpha kept), as the
// first frame shows it before the drawing resources exist.
void veil_pixels(std::span<std::uint8_t> bgra);

// --- brush preview ---

inline constexpr double kIndicatorLift = 38.0;  // the indicator circle floats this far above the pointer
inline constexpr double kWidthLabelWidth = 72.0;
inline constexpr double kWidthLabelHeight = 24.0;

struct WidthLabel {
    Rect box;
    std::string text;  // "{d} px"
    friend bool operator==(const WidthLabel&, const WidthLabel&) = default;
};

struct BrushPreview {
    Point centre;
    double diameter = 0.0;
    std::optional<WidthLabel> label;  // only while the stroke-width indicator is shown
    friend bool operator==(const BrushPreview&, const BrushPreview&) = default;
};

// The circle the next stroke would paint: shown above the pointer with a
// label while the stroke-width indicator is on (after Thinner or Thicker),
// and at the pointer for the Pen and Highlighter inside the region. `parts`
// describes the pointer's own position. None in region-selection mode, while
// the picker, a text entry or the eyedropper is active, and over the toolbar
// unless the indicator is on.
std::optional<BrushPreview> brush_preview(const SessionState& s, const PartsView& parts);

// The stroke diameter: the width, five times it for the highlighter.
double brush_diameter(const Editor& editor);

// "{d} px", d written as a whole number when it is one.
std::string width_label_text(double diameter);

}  // namespace kadrovix
