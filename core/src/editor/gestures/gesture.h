// The pointer gesture in progress: one press-drag-release of the primary button.
#pragma once

#include <cstdint>
#include <vector>

#include "editor/annotation.h"

namespace kadrovix {

enum class GestureKind : std::uint8_t {
    Create = 0,
    Rotate = 1,
    Move = 2,
    Marquee = 3,
    Resize = 4,
    Endpoint = 5,
};

struct Gesture {
    // The objects as they were at the press; every drag but an endpoint drag
    // rebuilds its result from here, and a cancel restores it.
    std::vector<Annotation> snapshot;
    GestureKind kind = GestureKind::Create;
    // Endpoint only: 1 = start, 0 = end.
    std::uint8_t which_end = 0;
    // Rotate: pivot. Resize: the fixed corner. Endpoint: the arrow's index in
    // the object list, held in x.
    Point anchor;
    // Resize only: the selection bounds at the press.
    Rect start_box;
    Point press_point;
    Point current_point;
    bool shift = false;
    bool alt = false;
};

namespace gestures {
inline constexpr double kHandleRadius = 9.0;
inline constexpr double kRotationHandleOffset = 28.0;
inline constexpr double kSnapStep = 0.78539816339744830962;  // pi / 4
inline constexpr double kMinPenStep = 1.0;
inline constexpr double kMinShapeDiagonal = 1.0;
}  // namespace gestures

}  // namespace kadrovix
