// Where an object's paint can reach: its outline or stroke grown by the pen,
// miter corners and antialiasing, or its text's clip box. The overlay repaints
// only what changed, so this box must hold every pixel the renderer touches
// for the object, never less.
#pragma once

#include <span>

#include "editor/annotation.h"

namespace kadrovix {

// The margin the renderer gives a text's layout box (and clips it to).
inline constexpr double kTextLayoutMargin = 20.0;

// Arrows are resolved against `objects`, where their attached ends lie.
Rect paint_bounds(const Annotation& a, std::span<const Annotation> objects);

}  // namespace kadrovix
