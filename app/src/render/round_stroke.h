// How to paint a round-capped, round-joined polyline stroke on a platform
// that draws strokes with other caps and joins (Wine ignores the stroke style):
// open pieces whose inner joins are too gentle for the join shape to show,
// plus discs of the pen's diameter at the ends and at the sharper corners,
// where the pieces meet without a join.
#pragma once

#include <cstddef>
#include <vector>

#include "editor/annotation.h"

namespace kadrovix {

struct RoundStrokePlan {
    struct Piece {
        std::size_t first = 0;  // indices into the polyline, first < last
        std::size_t last = 0;
        friend bool operator==(const Piece&, const Piece&) = default;
    };
    std::vector<Piece> pieces;
    std::vector<Point> discs;
};

// A corner is split when a miter or bevel join there would differ from a
// round one by more than this many pixels.
inline constexpr double kJoinTolerance = 0.25;

RoundStrokePlan plan_round_stroke(const std::vector<Point>& points, double width);

}  // namespace kadrovix
