#include "render/round_stroke.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace kadrovix;
using Piece = RoundStrokePlan::Piece;

TEST(RoundStroke, EndsAlwaysGetDiscs) {
    const RoundStrokePlan line = plan_round_stroke({{0, 0}, {10, 0}}, 4);
    EXPECT_EQ(line.pieces, (std::vector<Piece>{{0, 1}}));
    EXPECT_EQ(line.discs, (std::vector<Point>{{0, 0}, {10, 0}}));

    const RoundStrokePlan dot = plan_round_stroke({{3, 4}}, 4);
    EXPECT_TRUE(dot.pieces.empty());
    EXPECT_EQ(dot.discs, (std::vector<Point>{{3, 4}}));

    EXPECT_TRUE(plan_round_stroke({}, 4).discs.empty());
}

TEST(RoundStroke, SplitsAtSharpCornersOnly) {
    // A zigzag: every corner turns by 90 degrees or more.
    const std::vector<Point> zigzag = {{0, 0}, {10, 10}, {20, 0}, {30, 10}};
    const RoundStrokePlan z = plan_round_stroke(zigzag, 6);
    EXPECT_EQ(z.pieces, (std::vector<Piece>{{0, 1}, {1, 2}, {2, 3}}));
    EXPECT_EQ(z.discs.size(), 4u);

    // A gentle arc stays one piece: its joins cannot be told from round ones.
    std::vector<Point> arc;
    for (int i = 0; i <= 36; ++i) {
        const double t = i * std::numbers::pi / 36;  // 5 degrees per corner
        arc.push_back({100 * std::cos(t), 100 * std::sin(t)});
    }
    const RoundStrokePlan a = plan_round_stroke(arc, 8);
    EXPECT_EQ(a.pieces, (std::vector<Piece>{{0, 36}}));
    EXPECT_EQ(a.discs.size(), 2u);
    EXPECT_EQ(plan_round_stroke(arc, 200).pieces.size(), 1u);
    // Corners of 15 degrees: hidden under a pen of 8, visible (a miter
    // would stick out almost a pixel) under a 200-pixel highlighter.
    std::vector<Point> coarse;
    for (int i = 0; i <= 12; ++i) {
        const double t = i * std::numbers::pi / 12;
        coarse.push_back({300 * std::cos(t), 300 * std::sin(t)});
    }
    EXPECT_EQ(plan_round_stroke(coarse, 8).pieces.size(), 1u);
    EXPECT_EQ(plan_round_stroke(coarse, 200).pieces.size(), 12u);

    // Turning back on itself is the sharpest corner of all.
    const RoundStrokePlan back = plan_round_stroke({{0, 0}, {10, 0}, {0, 0.001}}, 2);
    EXPECT_EQ(back.pieces.size(), 2u);

    // Repeated points have no direction and never split.
    const RoundStrokePlan repeated = plan_round_stroke({{0, 0}, {5, 0}, {5, 0}, {10, 0}}, 4);
    EXPECT_EQ(repeated.pieces, (std::vector<Piece>{{0, 3}}));
}
