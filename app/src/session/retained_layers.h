// Which annotations a retained layer may hold: the overlay keeps the objects
// that are not changing in an offscreen picture and draws only the rest on
// every frame, so the layer must hold a leading run of the document that
// looks the same whatever happens after it.
#pragma once

#include <cstddef>
#include <span>

#include "editor/annotation.h"

namespace kadrovix {

// How many leading objects of `now` are as they were in `before`.
std::size_t unchanged_prefix(std::span<const Annotation> before, std::span<const Annotation> now);

// The longest prefix, of at most `count` objects, whose look depends on
// nothing outside it: an arrow is drawn to the object it is attached to, so
// it stays out unless that object is in too. A target missing from the
// document keeps its arrow out as well, since an undo may bring it back.
std::size_t self_contained_prefix(std::span<const Annotation> objects, std::size_t count);

}  // namespace kadrovix
