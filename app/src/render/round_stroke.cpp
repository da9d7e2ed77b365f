#include "render/round_stroke.h"

#include <algorithm>
#include <cmath>

namespace kadrovix {

namespace {

// True when the turn from segment a->b to b->c is sharp enough for the join
// shape to matter: a miter sticks out by (w/2)(1/cos(t/2) - 1) past a round
// join and a bevel falls short by (w/2)(1 - cos(t/2)); the first is the larger.
bool sharp_corner(Point a, Point b, Point c, double width) {
    const double ux = b.x - a.x, uy = b.y - a.y, vx = c.x - b.x, vy = c.y - b.y;
    const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    if (!(lu > 1e-9 && lv > 1e-9)) return false;  // a zero-length segment has no direction
    const double cos_turn = (ux * vx + uy * vy) / (lu * lv);
    const double cos_half = std::sqrt(std::max(0.0, (1.0 + cos_turn) / 2.0));
    return cos_half * (width + 2.0 * kJoinTolerance) < width;
}

}  // namespace

RoundStrokePlan plan_round_stroke(const std::vector<Point>& points, double width) {
    RoundStrokePlan plan;
    if (points.empty()) return plan;
    plan.discs.push_back(points.front());
    if (points.size() == 1) return plan;
    std::size_t first = 0;
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
        if (sharp_corner(points[i - 1], points[i], points[i + 1], width)) {
            plan.pieces.push_back({first, i});
            plan.discs.push_back(points[i]);
            first = i;
        }
    }
    plan.pieces.push_back({first, points.size() - 1});
    plan.discs.push_back(points.back());
    return plan;
}

}  // namespace kadrovix
