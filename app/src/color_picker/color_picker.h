// The "Custom color" panel without the platform: where it opens, what a press,
// a drag and a release inside it do, where its parts and markers are drawn,
// and the pixels of its hue ring and saturation/value square.
//
// The panel is designed at 260 x 316 units. A unit is k desktop pixels, with
// k = 1 unless the desktop is too small for the panel, in which case the
// whole panel (text included) shrinks to fit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "color_picker/hsv.h"
#include "editor/annotation.h"
#include "session/session_state.h"

namespace kadrovix {

// --- design geometry, in units from the panel's top-left corner ---

namespace picker_units {
inline constexpr double kWidth = 260.0;
inline constexpr double kHeight = 316.0;
inline constexpr Rect kPanel{{0.0, 0.0}, {kWidth, kHeight}};
inline constexpr double kPanelRadius = 10.0;
inline constexpr Rect kTitle{{18.0, 13.0}, {240.0, 38.0}};
inline constexpr Point kRingCentre{130.0, 144.0};
inline constexpr double kRingInner = 82.0;
inline constexpr double kRingOuter = 100.0;
inline constexpr double kRingMarker = 91.0;  // the marker runs midway along the ring
inline constexpr Rect kRingBox{{28.0, 42.0}, {232.0, 246.0}};
inline constexpr Rect kSquare{{75.0, 89.0}, {185.0, 199.0}};
inline constexpr Rect kSwatch{{18.0, 258.0}, {48.0, 284.0}};
inline constexpr Rect kCode{{60.0, 260.0}, {235.0, 285.0}};
inline constexpr Rect kHint{{18.0, 294.0}, {248.0, 312.0}};
inline constexpr double kMarkerRadius = 5.0;
// Text sizes.
inline constexpr double kTitleSize = 15.0;
inline constexpr double kCodeSize = 14.0;
inline constexpr double kHintSize = 11.0;
}  // namespace picker_units

inline constexpr char kPickerTitle[] = "Custom color";
inline constexpr char kPickerHint[] = "Click outside to apply · Esc to cancel";

// The bitmaps drawn scaled into the ring box and the square.
inline constexpr int kHueRingBitmapSize = 204;
inline constexpr int kSquareBitmapSize = 128;

enum class PickerDrag : std::uint8_t { Ring = 0, Square = 1, None = 2 };

// The open picker: the colour being chosen and where the panel lies.
struct ColourPicker {
    Hsv hsv;
    // Desktop pixels.
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    double k = 1.0;  // pixels per unit
    PickerDrag drag = PickerDrag::None;
    std::string code;  // "#RRGGBB" of the colour being chosen

    Point origin() const { return Point{left, top}; }
    // Edges included.
    bool contains(Point p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
    Point to_units(Point p) const { return Point{(p.x - left) / k, (p.y - top) / k}; }
    Point to_pixels(Point units) const { return Point{left + k * units.x, top + k * units.y}; }
    Rect to_pixels(const Rect& units) const { return Rect{to_pixels(units.min), to_pixels(units.max)}; }
};

// Opens on `custom_colour` with the panel's top-left corner at the pointer,
// kept on the desktop (at 0 for a pointer that is not finite).
ColourPicker open_picker(Rgb custom_colour, Point pointer, const Desktop& desktop);

enum class PickerPress : std::uint8_t {
    Inside,  // the press belongs to the panel: capture the mouse until the release
    Apply,   // outside the panel: apply the colour and close
};

// Inside the panel a press on the ring starts a hue drag, one on the square a
// saturation/value drag (both take effect at once); elsewhere in the panel it
// does nothing.
PickerPress picker_press(ColourPicker& picker, Point p);

// Follows a ring or square drag. True when the colour changed.
bool picker_move(ColourPicker& picker, Point p);

void picker_release(ColourPicker& picker);

// The colour being chosen.
Rgb picker_colour(const ColourPicker& picker);

// Marker centres, desktop pixels: on the ring at the hue, in the square at
// saturation and value.
Point ring_marker(const ColourPicker& picker);
Point square_marker(const ColourPicker& picker);

// --- bitmaps: premultiplied BGRA, top-down, no row padding ---

// The hue ring, kHueRingBitmapSize pixels square: full saturation and value
// at each pixel's angle about the centre, opaque from 82 to 100 pixels out
// with one-pixel soft edges, transparent elsewhere.
std::vector<std::uint8_t> hue_ring_pixels();

// The saturation/value square for hue h, kSquareBitmapSize pixels square:
// saturation grows to the right, value towards the top; opaque.
std::vector<std::uint8_t> saturation_value_pixels(double h);

}  // namespace kadrovix
