// Consistency check of an editor's document, for tests, fuzzers and debug
// builds: unique ids in ascending order, a selection that names existing
// objects once each, normalised rectangle and ellipse boxes, strokes with at
// least one point and no more segment widths than segments, unrotated arrows
// and strokes, arrow attachments bound to an existing rectangle or ellipse,
// non-empty texts with font sizes within range.
#pragma once

#include <optional>
#include <string>

#include "editor/editor.h"

namespace kadrovix {

// nullopt when every invariant holds; otherwise a description of the first
// violation found.
std::optional<std::string> check_invariants(const Editor& editor);

}  // namespace kadrovix
