#include "paths/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "support/document_fixtures.h"

namespace kadrovix::paths {
namespace {

using kadrovix::testing::make_arrow;
using kadrovix::testing::make_ellipse;
using kadrovix::testing::make_rect;
using kadrovix::testing::make_stroke;
using kadrovix::testing::make_text;

constexpr double kPi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using kadrovix::testing::expect_point_near;
using kadrovix::testing::expect_rect_near;

Annotation rotated(Annotation a, double angle) {
    a.angle = angle;
    return a;
}

// ---------------------------------------------------------------------------
// Bounds

TEST(GeometryBounds, UnrotatedBoundsPerKind) {
    EXPECT_EQ(bounds(make_rect(1, {{2, 3}, {12, 8}})), (Rect{{2, 3}, {12, 8}}));
    EXPECT_EQ(bounds(make_arrow(2, {50, 10}, {20, 40})), (Rect{{20, 10}, {50, 40}}));
    EXPECT_EQ(bounds(make_stroke(3, {{5, 9}, {1, 12}, {7, 2}})), (Rect{{1, 2}, {7, 12}}));
    EXPECT_EQ(bounds(make_text(4, "hi", {10, 20}, 20, 30, 24)), (Rect{{10, 20}, {40, 44}}));
}

TEST(GeometryBounds, DegenerateInputsGiveTheZeroRectangle) {
    EXPECT_EQ(bounds(make_arrow(1, {kNaN, 10}, {20, 40})), Rect{});
    EXPECT_EQ(bounds(make_arrow(1, {10, 10}, {20, kInf})), Rect{});
    EXPECT_EQ(bounds(make_stroke(2, {})), Rect{});
}

TEST(GeometryBounds, RotatedBoundsTurnCornersAboutTheCentre) {
    const Annotation rect = make_rect(1, {{0, 0}, {20, 10}});
    EXPECT_EQ(rotated_bounds(rect), bounds(rect));
    expect_rect_near(rotated_bounds(rotated(rect, kPi / 2)), {{5, -5}, {15, 15}});
    const double h = (20 + 10) / (2 * std::numbers::sqrt2);  // half extent of a 20x10 box at 45 degrees
    expect_rect_near(rotated_bounds(rotated(rect, kPi / 4)), {{10 - h, 5 - h}, {10 + h, 5 + h}});

    const Annotation text = rotated(make_text(2, "t", {0, 0}, 20, 20, 10), kPi / 2);
    expect_rect_near(rotated_bounds(text), {{5, -5}, {15, 15}});
}

TEST(GeometryBounds, RotatedEllipseBoundsHugTheCurveNotTheBox) {
    const Annotation ellipse = make_ellipse(1, {{0, 0}, {20, 10}});
    expect_rect_near(rotated_bounds(rotated(ellipse, kPi / 2)), {{5, -5}, {15, 15}});
    // At 45 degrees the tight half extent is sqrt((a^2 + b^2) / 2), smaller
    // than the rotated box would give.
    const double h = std::sqrt((100.0 + 25.0) / 2.0);
    const Rect r = rotated_bounds(rotated(ellipse, kPi / 4));
    expect_rect_near(r, {{10 - h, 5 - h}, {10 + h, 5 + h}});
}

// ---------------------------------------------------------------------------
// Attachments and arrow ends

TEST(GeometryAttachment, RectangleEndSitsWhereTheRayLeavesTheBox) {
    const Annotation rect = make_rect(1, {{0, 0}, {100, 50}});
    expect_point_near(attachment_point({10, 0, 1}, rect), {100, 25});
    expect_point_near(attachment_point({-3, 0, 1}, rect), {0, 25});
    // (50, 50) leaves through the bottom edge: the y ratio dominates.
    expect_point_near(attachment_point({50, 50, 1}, rect), {75, 50});
}

TEST(GeometryAttachment, EllipseEndSitsOnTheCurve) {
    const Annotation circle = make_ellipse(1, {{0, 0}, {100, 100}});
    expect_point_near(attachment_point({3, 4, 1}, circle), {50 + 30, 50 + 40});
    const Annotation ellipse = make_ellipse(2, {{0, 0}, {200, 100}});
    const Point q = attachment_point({1, 1, 2}, ellipse);
    EXPECT_NEAR(std::pow((q.x - 100) / 100, 2) + std::pow((q.y - 50) / 50, 2), 1.0, 1e-12);
    EXPECT_NEAR(q.x - 100, q.y - 50, 1e-12);  // along the direction (1, 1)
}

TEST(GeometryAttachment, DegenerateTargetsAndDirectionsFallBackToTheCentre) {
    // A rectangle of zero width: its centre.
    expect_point_near(attachment_point({5, 5, 1}, make_rect(1, {{10, 0}, {10, 40}})), {10, 20});
    // A flat ellipse too.
    expect_point_near(attachment_point({5, 5, 1}, make_ellipse(2, {{0, 7}, {40, 7.0005}})), {20, 7.00025});
    // A direction too short to point anywhere.
    expect_point_near(attachment_point({1e-6, 0, 1}, make_rect(1, {{0, 0}, {100, 50}})), {50, 25});
}

TEST(GeometryAttachment, PressAtTheCentreAttachesToTheMiddleOfTheRightEdge) {
    const std::vector<Annotation> objects{make_rect(1, {{0, 0}, {100, 50}})};
    const auto att = find_attachment({50, 25}, objects);
    ASSERT_TRUE(att);
    EXPECT_EQ(att->target, 1u);
    EXPECT_EQ(att->dx, 1.0);
    EXPECT_EQ(att->dy, 0.0);
    expect_point_near(attachment_point(*att, objects[0]), {100, 25});
}

TEST(GeometryAttachment, RotatedTargetIsSearchedAndResolvedInItsOwnFrame) {
    // 100 x 50 turned a quarter: it now covers (25, -25) - (75, 75).
    const std::vector<Annotation> objects{rotated(make_rect(1, {{0, 0}, {100, 50}}), kPi / 2)};
    EXPECT_FALSE(find_attachment({95, 25}, objects));  // inside the unrotated box only
    const auto att = find_attachment({50, 70}, objects);
    ASSERT_TRUE(att);
    EXPECT_NEAR(att->dx, 45, 1e-9);
    EXPECT_NEAR(att->dy, 0, 1e-9);
    // The end lands on the far short edge of the turned rectangle.
    expect_point_near(attachment_point(*att, objects[0]), {50, 75});
}

TEST(GeometryAttachment, LookupTakesTheTopmostBoxedShapeEdgesIncluded) {
    const std::vector<Annotation> objects{
        make_rect(1, {{0, 0}, {100, 100}}),      make_ellipse(2, {{50, 50}, {150, 150}}),
        make_stroke(3, {{0, 0}, {200, 200}}),    make_arrow(4, {0, 0}, {200, 200}),
        make_text(5, "x", {0, 0}, 20, 200, 200),
    };
    const auto top = find_attachment({60, 60}, objects);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->target, 2u);
    // The ellipse's box counts, corner included, though the curve is far away.
    const auto corner = find_attachment({150, 150}, objects);
    ASSERT_TRUE(corner);
    EXPECT_EQ(corner->target, 2u);
    // Skipping the topmost falls through to the one below.
    const auto below = find_attachment({60, 60}, objects, 2);
    ASSERT_TRUE(below);
    EXPECT_EQ(below->target, 1u);
    EXPECT_FALSE(find_attachment({180, 20}, objects));
    EXPECT_FALSE(find_attachment({kNaN, 60}, objects));
}

TEST(GeometryArrowEnds, AttachedEndsResolveAndMissingTargetsUseTheStoredPoint) {
    const std::vector<Annotation> objects{
        make_rect(1, {{0, 0}, {100, 50}}),
        make_arrow(2, {300, 300}, {400, 400}, Attachment{1, 0, 1}, Attachment{0, 1, 99}),
    };
    const auto ends = arrow_ends(objects[1], objects);
    ASSERT_TRUE(ends);
    expect_point_near(ends->start, {100, 25});
    expect_point_near(ends->end, {400, 400});
    EXPECT_FALSE(arrow_ends(objects[0], objects));
}

TEST(GeometryArrowEnds, EndsThatWouldMeetFallBackToTheStoredPoints) {
    const Annotation target = make_rect(1, {{0, 0}, {100, 50}});
    const Annotation arrow = make_arrow(2, {10, 10}, {90, 40}, Attachment{1, 0, 1}, Attachment{1, 0, 1});
    const std::vector<Annotation> objects{target, arrow};
    const auto ends = arrow_ends(arrow, objects);
    ASSERT_TRUE(ends);
    EXPECT_EQ(ends->start, (Point{10, 10}));
    EXPECT_EQ(ends->end, (Point{90, 40}));

    // Stored points that meet too: the resolved (shared) point is used.
    const Annotation stuck = make_arrow(3, {5, 5}, {5, 5.0001}, Attachment{1, 0, 1}, Attachment{1, 0, 1});
    const auto stuck_ends = arrow_ends(stuck, objects);
    ASSERT_TRUE(stuck_ends);
    expect_point_near(stuck_ends->start, {100, 25});
    expect_point_near(stuck_ends->end, {100, 25});
}

TEST(GeometryFindById, BisectsSortedListsAndStillFindsInUnsortedOnes) {
    const std::vector<Annotation> sorted{make_rect(2, {}), make_rect(5, {}), make_rect(9, {}), make_rect(12, {})};
    for (const std::uint64_t id : {2u, 5u, 9u, 12u}) {
        const Annotation* found = find_by_id(sorted, id);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->id, id);
    }
    EXPECT_EQ(find_by_id(sorted, 7), nullptr);
    EXPECT_EQ(find_by_id(sorted, 13), nullptr);
    EXPECT_EQ(find_by_id({}, 1), nullptr);

    const std::vector<Annotation> shuffled{make_rect(9, {}), make_rect(2, {}), make_rect(12, {}), make_rect(5, {})};
    for (const std::uint64_t id : {2u, 5u, 9u, 12u}) {
        const Annotation* found = find_by_id(shuffled, id);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->id, id);
    }
    EXPECT_EQ(find_by_id(shuffled, 3), nullptr);
}

// ---------------------------------------------------------------------------
// Selection bounds

TEST(GeometrySelectionBounds, UnitesSelectedBoxesWithArrowsByTheirDrawnEnds) {
    const std::vector<Annotation> objects{
        make_rect(1, {{0, 0}, {100, 50}}),
        make_arrow(2, {500, 500}, {300, 100}, Attachment{-1, 0, 1}),
        make_ellipse(3, {{1000, 1000}, {1100, 1100}}),
    };
    EXPECT_FALSE(selection_bounds(objects, {}));
    const std::vector<std::uint64_t> arrow_only{2};
    // Drawn from the rectangle's left edge (0, 25), not from the stored (500, 500).
    EXPECT_EQ(*selection_bounds(objects, arrow_only), (Rect{{0, 25}, {300, 100}}));
    const std::vector<std::uint64_t> two{3, 1};
    EXPECT_EQ(*selection_bounds(objects, two), (Rect{{0, 0}, {1100, 1100}}));
    const std::vector<std::uint64_t> missing{42};
    EXPECT_FALSE(selection_bounds(objects, missing));

    const std::vector<Annotation> turned{rotated(make_rect(1, {{0, 0}, {20, 10}}), kPi / 2)};
    const std::vector<std::uint64_t> one{1};
    expect_rect_near(*selection_bounds(turned, one), {{5, -5}, {15, 15}});
}

// ---------------------------------------------------------------------------
// Outlines

TEST(GeometryOutline, RectangleIsAClosedRotatedFivePointLoop) {
    const auto lines = outline(rotated(make_rect(1, {{0, 0}, {20, 10}}), kPi / 2), {});
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 5u);
    expect_point_near(lines[0][0], {15, -5});
    expect_point_near(lines[0][1], {15, 15});
    expect_point_near(lines[0][2], {5, 15});
    expect_point_near(lines[0][3], {5, -5});
    EXPECT_EQ(lines[0][4], lines[0][0]);

    const auto upright = outline(make_rect(1, {{0.1, 0.3}, {20.7, 10.9}}), {});
    EXPECT_EQ(upright[0][0], (Point{0.1, 0.3}));  // exact, not a round trip through the centre
    EXPECT_EQ(upright[0][2], (Point{20.7, 10.9}));
}

TEST(GeometryOutline, EllipseSegmentCountBoundsTheChordError) {
    EXPECT_EQ(ellipse_segments(0.1, 0.1), 16u);
    EXPECT_EQ(ellipse_segments(0, 0), 16u);
    const std::size_t huge = ellipse_segments(10000, 10);
    EXPECT_LE(huge, 4096u);
    EXPECT_EQ(huge % 4, 0u);
    EXPECT_EQ(ellipse_segments(1e9, 1), 4096u);
    EXPECT_EQ(ellipse_segments(kInf, 1), 4096u);
    EXPECT_EQ(ellipse_segments(kNaN, kNaN), 16u);

    for (const double r : {1.0, 7.5, 10.0, 33.0, 100.0, 1234.5, 10000.0, 50000.0}) {
        const std::size_t n = ellipse_segments(r, r / 3);
        SCOPED_TRACE(r);
        EXPECT_EQ(n % 4, 0u);
        EXPECT_GE(n, 16u);
        // Chords stray at most 0.2 px, and four fewer segments would not do
        // (unless the floor of 16 decides).
        const double sag = r * (1 - std::cos(kPi / static_cast<double>(n)));
        EXPECT_LE(sag, 0.2 + 1e-12);
        if (n > 16) {
            EXPECT_GT(r * (1 - std::cos(kPi / static_cast<double>(n - 4))), 0.2);
        }
    }
}

TEST(GeometryOutline, EllipsePointsLieOnTheCurveAndClose) {
    const Annotation ellipse = rotated(make_ellipse(1, {{0, 0}, {200, 100}}), 0.3);
    const auto lines = outline(ellipse, {});
    ASSERT_EQ(lines.size(), 1u);
    const Polyline& line = lines[0];
    ASSERT_EQ(line.size(), ellipse_segments(100, 50) + 1);
    EXPECT_EQ(line.front(), line.back());
    for (const Point& p : line) {
        const Point q = rotate_about(p, {100, 50}, -0.3);
        EXPECT_NEAR(std::pow((q.x - 100) / 100, 2) + std::pow((q.y - 50) / 50, 2), 1.0, 1e-9);
    }
}

double head_length(const std::vector<Polyline>& lines) {
    // The head's tip is its second point; its base midpoint ends the shaft.
    const Point tip = lines[1][1];
    const Point base = lines[0][1];
    return std::hypot(tip.x - base.x, tip.y - base.y);
}

TEST(GeometryOutline, ArrowHeadLengthAndShape) {
    Annotation short_arrow = make_arrow(1, {0, 0}, {10, 0});
    short_arrow.width = 4;
    const auto short_lines = outline(short_arrow, {});
    ASSERT_EQ(short_lines.size(), 2u);
    EXPECT_NEAR(head_length(short_lines), 4.5, 1e-12);

    Annotation long_arrow = make_arrow(2, {0, 0}, {0, 200});
    long_arrow.width = 1;
    const auto lines = outline(long_arrow, {});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NEAR(head_length(lines), 8, 1e-12);
    // Shaft from the start to the head's base; head a closed triangle 0.45 H either side.
    ASSERT_EQ(lines[0].size(), 2u);
    expect_point_near(lines[0][0], {0, 0});
    expect_point_near(lines[0][1], {0, 192});
    ASSERT_EQ(lines[1].size(), 4u);
    expect_point_near(lines[1][0], {-3.6, 192});
    expect_point_near(lines[1][1], {0, 200});
    expect_point_near(lines[1][2], {3.6, 192});
    EXPECT_EQ(lines[1][3], lines[1][0]);

    Annotation wide = make_arrow(3, {0, 0}, {100, 0});
    wide.width = 5;  // 4.8 * 5 = 24 beats 8 and is under 45
    EXPECT_NEAR(head_length(outline(wide, {})), 24, 1e-12);
}

TEST(GeometryOutline, ArrowFollowsItsAttachmentsAndVanishesWhenDegenerate) {
    const std::vector<Annotation> objects{make_rect(1, {{0, 0}, {100, 50}}),
                                          make_arrow(2, {200, 25}, {0, 0}, std::nullopt, Attachment{1, 0, 1})};
    const auto lines = outline(objects[1], objects);
    ASSERT_EQ(lines.size(), 2u);
    expect_point_near(lines[1][1], {100, 25});

    EXPECT_TRUE(outline(make_arrow(3, {5, 5}, {5, 5.0005}), {}).empty());
    EXPECT_TRUE(outline(make_text(4, "x", {0, 0}), {}).empty());
}

// ---------------------------------------------------------------------------
// Stroke runs

TEST(GeometryStrokeRuns, TooFewPointsOrOtherKindsGiveNoRuns) {
    EXPECT_TRUE(stroke_runs(make_stroke(1, {{1, 1}})).empty());
    EXPECT_TRUE(stroke_runs(make_stroke(1, {})).empty());
    EXPECT_TRUE(stroke_runs(make_rect(2, {{0, 0}, {5, 5}})).empty());
}

TEST(GeometryStrokeRuns, LineStaysStraightAtTheObjectWidth) {
    Annotation line = make_stroke(1, {{0, 0}, {30, 40}});
    line.width = 6;
    const auto runs = stroke_runs(line);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].width, 6);
    EXPECT_EQ(runs[0].points, (Polyline{{0, 0}, {30, 40}}));
}

TEST(GeometryStrokeRuns, WidthChangesSplitIntoRunsSharingTheirJoins) {
    const std::vector<Point> pts{{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}, {50, 0}};
    const Annotation highlighter = make_stroke(1, pts, {2, 2, 5, 5, 2}, 1);
    const auto runs = stroke_runs(highlighter);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].points, (Polyline{pts[0], pts[1], pts[2]}));
    EXPECT_EQ(runs[1].points, (Polyline{pts[2], pts[3], pts[4]}));
    EXPECT_EQ(runs[2].points, (Polyline{pts[4], pts[5]}));
    // A highlighter draws at five times the width, unsmoothed.
    EXPECT_EQ(runs[0].width, 10);
    EXPECT_EQ(runs[1].width, 25);
    EXPECT_EQ(runs[2].width, 10);

    // The same shape with the pen: smoothed runs still meet end to end.
    const auto pen = stroke_runs(make_stroke(2, pts, {2, 2, 5, 5, 2}));
    ASSERT_EQ(pen.size(), 3u);
    EXPECT_EQ(pen[0].points.size(), 7u);
    EXPECT_EQ(pen[0].points.back(), pen[1].points.front());
    EXPECT_EQ(pen[1].points.back(), pen[2].points.front());
    EXPECT_EQ(pen[1].points.front(), pts[2]);
    EXPECT_EQ(pen[2].points.back(), pts[5]);
}

TEST(GeometryStrokeRuns, SegmentsWithoutAWidthEntryUseTheObjectWidth) {
    Annotation stroke = make_stroke(1, {{0, 0}, {10, 0}, {20, 0}, {30, 0}}, {4}, 1);
    stroke.width = 4;
    ASSERT_EQ(stroke_runs(stroke).size(), 1u);
    stroke.width = 7;
    const auto runs = stroke_runs(stroke);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].width, 20);
    EXPECT_EQ(runs[1].width, 35);
    EXPECT_EQ(runs[1].points.size(), 3u);
}

TEST(GeometryStrokeRuns, CollinearPenPointsOneApartSmoothAtTheMidpoints) {
    const auto runs = stroke_runs(make_stroke(1, {{0, 0}, {1, 0}, {2, 0}}));
    ASSERT_EQ(runs.size(), 1u);
    const Polyline expected{{0, 0}, {0.5, 0}, {0.75, 0}, {1, 0}, {1.25, 0}, {1.5, 0}, {2, 0}};
    ASSERT_EQ(runs[0].points.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expect_point_near(runs[0].points[i], expected[i], 1e-12);
    }
}

TEST(GeometryStrokeRuns, PenCornersAreRoundedOverTwoPixels) {
    // Each corner uses the input neighbours, not the smoothed points before it.
    const auto runs = stroke_runs(make_stroke(1, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    ASSERT_EQ(runs.size(), 1u);
    const Polyline& p = runs[0].points;
    ASSERT_EQ(p.size(), 2u + 5u * 2u);
    expect_point_near(p[0], {0, 0});
    expect_point_near(p[1], {8, 0});      // F, 2 px before the corner
    expect_point_near(p[3], {9.5, 0.5});  // curve midpoint: F/4 + B/2 + U/4
    expect_point_near(p[5], {10, 2});     // U, 2 px after it
    expect_point_near(p[6], {10, 8});     // next corner's F
    expect_point_near(p[10], {8, 10});    // next corner's U
    expect_point_near(p[11], {0, 10});
}

// ---------------------------------------------------------------------------
// Hit testing

TEST(GeometryHitTest, SegmentDistanceClampsAndHandlesDegenerateSegments) {
    EXPECT_DOUBLE_EQ(segment_distance({5, 3}, {0, 0}, {10, 0}), 3);
    EXPECT_DOUBLE_EQ(segment_distance({-3, 4}, {0, 0}, {10, 0}), 5);
    EXPECT_DOUBLE_EQ(segment_distance({13, 4}, {0, 0}, {10, 0}), 5);
    EXPECT_DOUBLE_EQ(segment_distance({3, 4}, {0, 0}, {1e-9, 0}), 5);
}

TEST(GeometryHitTest, UnfilledShapesAreHitOnTheirOutlineOnly) {
    Annotation rect = make_rect(1, {{0, 0}, {200, 100}});
    rect.width = 40;
    EXPECT_FALSE(hit_test(rect, {100, 50}, kSelectTolerance, {}));
    EXPECT_TRUE(hit_test(rect, {100, 6.9}, kSelectTolerance, {}));
    EXPECT_TRUE(hit_test(rect, {-7, 50}, kSelectTolerance, {}));
    // The rectangle's own width does not widen its hit band.
    EXPECT_FALSE(hit_test(rect, {100, -7.5}, kSelectTolerance, {}));

    Annotation ellipse = make_ellipse(2, {{0, 0}, {200, 100}});
    ellipse.width = 10;
    EXPECT_FALSE(hit_test(ellipse, {100, 50}, kSelectTolerance, {}));
    // The ellipse's does: 7 + 10 / 2 = 12.
    EXPECT_TRUE(hit_test(ellipse, {211.5, 50}, kSelectTolerance, {}));
    EXPECT_FALSE(hit_test(ellipse, {212.5, 50}, kSelectTolerance, {}));
}

TEST(GeometryHitTest, RotatedRectangleIsHitAlongItsTurnedEdges) {
    // 20 x 10 turned a quarter: edges now at x = 5, 15 and y = -5, 15.
    const Annotation rect = rotated(make_rect(1, {{0, 0}, {20, 10}}), kPi / 2);
    EXPECT_TRUE(hit_test(rect, {10, -5}, 0.5, {}));
    EXPECT_TRUE(hit_test(rect, {15, 10}, 0.5, {}));
    EXPECT_FALSE(hit_test(rect, {20, 5}, 0.5, {}));  // the unrotated right edge
}

TEST(GeometryHitTest, ArrowHeadIsSolidAndTheShaftHasAWidth) {
    Annotation arrow = make_arrow(1, {0, 0}, {200, 0});
    arrow.width = 2;                                                 // head 9.6 long, 4.32 either side
    EXPECT_TRUE(hit_test(arrow, {196, 1}, 0, {}));                   // inside the head, no tolerance needed
    EXPECT_TRUE(hit_test(arrow, {100, 7.9}, kSelectTolerance, {}));  // 7 + 2 / 2
    EXPECT_FALSE(hit_test(arrow, {100, 8.1}, kSelectTolerance, {}));
    EXPECT_TRUE(hit_test(arrow, {205, 0}, kSelectTolerance, {}));
    EXPECT_FALSE(hit_test(arrow, {210, 0}, kSelectTolerance, {}));
    EXPECT_FALSE(hit_test(make_arrow(2, {5, 5}, {5, 5}), {5, 5}, kSelectTolerance, {}));
}

TEST(GeometryHitTest, HighlighterReachesFiveTimesFurtherThanThePen) {
    Annotation pen = make_stroke(1, {{0, 0}, {100, 0}});
    pen.width = 4;
    Annotation highlighter = make_stroke(2, {{0, 0}, {100, 0}}, {}, 1);
    highlighter.width = 4;
    EXPECT_TRUE(hit_test(pen, {50, 9}, kSelectTolerance, {}));
    EXPECT_FALSE(hit_test(pen, {50, 9.5}, kSelectTolerance, {}));
    EXPECT_TRUE(hit_test(highlighter, {50, 17}, kSelectTolerance, {}));
    EXPECT_FALSE(hit_test(highlighter, {50, 17.5}, kSelectTolerance, {}));
    // A lone point has no runs to hit.
    EXPECT_FALSE(hit_test(make_stroke(3, {{0, 0}}), {0, 0}, kSelectTolerance, {}));
}

TEST(GeometryHitTest, TextIsHitAnywhereInsideItsTurnedBox) {
    const Annotation text = make_text(1, "label", {0, 0}, 20, 100, 20);
    EXPECT_TRUE(hit_test(text, {50, 10}, kSelectTolerance, {}));
    EXPECT_TRUE(hit_test(text, {100, 20}, 0, {}));
    EXPECT_FALSE(hit_test(text, {101, 10}, kSelectTolerance, {}));  // tolerance is not used
    const Annotation turned = rotated(text, kPi / 2);               // covers (40, -40) - (60, 60)
    EXPECT_TRUE(hit_test(turned, {50, -30}, 0, {}));
    EXPECT_FALSE(hit_test(turned, {90, 10}, 0, {}));
}

TEST(GeometryHitTest, NonFinitePointsHitNothing) {
    const Annotation text = make_text(1, "x", {0, 0}, 20, 100, 20);
    EXPECT_FALSE(hit_test(text, {kNaN, 5}, kSelectTolerance, {}));
    EXPECT_FALSE(hit_test(make_rect(2, {{0, 0}, {10, 10}}), {0, kInf}, kSelectTolerance, {}));
}

// ---------------------------------------------------------------------------
// Box mapping

TEST(GeometryMapToBox, ScalesPerAxisAndKeepsBoxesNormalised) {
    Annotation rect = make_rect(1, {{10, 10}, {30, 20}});
    map_to_box(rect, {{10, 10}, {30, 20}}, {{0, 0}, {80, 10}});
    EXPECT_EQ(rect.as<shape::Rectangle>()->box, (Rect{{0, 0}, {80, 10}}));

    // A mirrored destination still leaves a normalised box.
    Annotation mirrored = make_ellipse(2, {{0, 0}, {10, 10}});
    map_to_box(mirrored, {{0, 0}, {10, 10}}, {{10, 0}, {0, 10}});
    EXPECT_EQ(mirrored.as<shape::Ellipse>()->box, (Rect{{0, 0}, {10, 10}}));

    Annotation stroke = make_stroke(3, {{0, 0}, {10, 5}}, {3});
    stroke.width = 3;
    map_to_box(stroke, {{0, 0}, {10, 5}}, {{100, 100}, {120, 105}});
    EXPECT_EQ(stroke.as<shape::Stroke>()->points, (std::vector<Point>{{100, 100}, {120, 105}}));
    EXPECT_EQ(stroke.as<shape::Stroke>()->segment_widths, std::vector<double>{3});
    EXPECT_EQ(stroke.width, 3);

    Annotation arrow = make_arrow(4, {0, 0}, {10, 10}, Attachment{1, 0, 7});
    map_to_box(arrow, {{0, 0}, {10, 10}}, {{0, 0}, {20, 30}});
    EXPECT_EQ(arrow.as<shape::Arrow>()->end, (Point{20, 30}));
    ASSERT_TRUE(arrow.as<shape::Arrow>()->start_attachment);
    EXPECT_EQ(arrow.as<shape::Arrow>()->start_attachment->target, 7u);
}

TEST(GeometryMapToBox, FlatSourceAxesTranslateInsteadOfScaling) {
    Annotation line = make_stroke(1, {{0, 5}, {100, 5}});
    map_to_box(line, {{0, 5}, {100, 5}}, {{0, 10}, {50, 90}});
    EXPECT_EQ(line.as<shape::Stroke>()->points, (std::vector<Point>{{0, 10}, {50, 10}}));
}

TEST(GeometryMapToBox, NonFiniteResultsLeaveBoxedKindsUnchanged) {
    Annotation rect = make_rect(1, {{0, 0}, {10, 10}});
    map_to_box(rect, {{0, 0}, {10, 10}}, {{0, 0}, {kInf, 10}});
    EXPECT_EQ(rect.as<shape::Rectangle>()->box, (Rect{{0, 0}, {10, 10}}));
    map_to_box(rect, {{0, 0}, {10, 10}}, {{kNaN, 0}, {10, 10}});
    EXPECT_EQ(rect.as<shape::Rectangle>()->box, (Rect{{0, 0}, {10, 10}}));

    const Annotation text_before = make_text(2, "x", {0, 0}, 20, 40, 20);
    Annotation text = text_before;
    map_to_box(text, {{0, 0}, {40, 20}}, {{0, kNaN}, {40, 20}});
    EXPECT_EQ(text, text_before);
}

TEST(GeometryMapToBox, IdentityAndTranslationsAreExact) {
    // (53.9 - 11.3) + 11.3 is not 53.9 in binary floating point: mapping a box
    // onto itself must still give back exactly the same object, or a drag back
    // to the start would be recorded as a change.
    const Rect box{{11.3, 5.1}, {53.9, 29.7}};
    Annotation rect = make_rect(1, box);
    map_to_box(rect, box, box);
    EXPECT_EQ(rect.as<shape::Rectangle>()->box, box);

    const Annotation text_before = make_text(2, "x", {11.3, 5.1}, 24, 42.6, 24.6);
    Annotation text = text_before;
    const Rect text_box = bounds(text);
    map_to_box(text, text_box, text_box);
    EXPECT_EQ(text, text_before);

    // A shifted box may differ in span by rounding; the font must not creep.
    const Rect moved{{text_box.min.x + 1000.37, text_box.min.y + 0.01},
                     {text_box.max.x + 1000.37, text_box.max.y + 0.01}};
    map_to_box(text, text_box, moved);
    EXPECT_EQ(text.as<shape::Text>()->font_size, 24);
    EXPECT_EQ(text.as<shape::Text>()->layout_width, 42.6);
    EXPECT_NEAR(text.as<shape::Text>()->position.x, 1011.67, 1e-9);
}

TEST(GeometryMapToBox, TextScalesByItsFontClampedToTheAllowedRange) {
    Annotation big = make_text(1, "x", {0, 0}, 100, 50, 30);
    map_to_box(big, {{0, 0}, {50, 30}}, {{0, 0}, {500, 300}});
    const auto* t = big.as<shape::Text>();
    EXPECT_EQ(t->font_size, 300);
    EXPECT_DOUBLE_EQ(t->layout_width, 150);  // scaled by 300 / 100, not by 10
    EXPECT_DOUBLE_EQ(t->layout_height, 90);

    Annotation small = make_text(2, "x", {10, 10}, 20, 50, 30);
    map_to_box(small, {{0, 0}, {100, 100}}, {{0, 0}, {1, 1}});
    t = small.as<shape::Text>();
    EXPECT_EQ(t->font_size, 8);
    EXPECT_DOUBLE_EQ(t->layout_width, 20);
    EXPECT_DOUBLE_EQ(t->position.x, 0.1);

    // Only the vertical scale counts.
    Annotation wide = make_text(3, "x", {0, 0}, 20, 50, 30);
    map_to_box(wide, {{0, 0}, {50, 30}}, {{0, 0}, {500, 45}});
    EXPECT_DOUBLE_EQ(wide.as<shape::Text>()->font_size, 30);

    // A flat source box leaves the size alone.
    Annotation flat = make_text(4, "x", {0, 0}, 20, 50, 0);
    map_to_box(flat, {{0, 0}, {50, 0.0005}}, {{0, 0}, {50, 100}});
    EXPECT_EQ(flat.as<shape::Text>()->font_size, 20);
}

// ---------------------------------------------------------------------------
// Detach for transfer

TEST(GeometryDetach, PinsEndsAndDropsAttachmentsToObjectsLeftBehind) {
    const std::vector<Annotation> objects{
        make_rect(1, {{0, 0}, {100, 50}}),
        make_ellipse(2, {{200, 0}, {300, 100}}),
        make_arrow(3, {0, 0}, {0, 0}, Attachment{1, 0, 1}, Attachment{-1, 0, 2}),
    };
    Annotation arrow = objects[2];
    const auto before = arrow_ends(arrow, objects);
    detach_for_transfer(arrow, objects, IdSet{2, 3});
    const auto* a = arrow.as<shape::Arrow>();
    EXPECT_FALSE(a->start_attachment);
    ASSERT_TRUE(a->end_attachment);
    expect_point_near(a->start, {100, 25});
    expect_point_near(a->end, {200, 50});
    const auto after = arrow_ends(arrow, objects);
    expect_point_near(after->start, before->start);
    expect_point_near(after->end, before->end);
}

TEST(GeometryDetach, MissingTargetsLoseTheAttachmentAndOtherKindsAreUntouched) {
    Annotation arrow = make_arrow(3, {5, 6}, {7, 8}, Attachment{1, 0, 42});
    detach_for_transfer(arrow, {}, IdSet{});
    EXPECT_FALSE(arrow.as<shape::Arrow>()->start_attachment);
    EXPECT_EQ(arrow.as<shape::Arrow>()->start, (Point{5, 6}));

    const Annotation rect = make_rect(1, {{0, 0}, {10, 10}});
    Annotation copy = rect;
    detach_for_transfer(copy, {}, IdSet{});
    EXPECT_EQ(copy, rect);
}

TEST(GeometryDetach, ArrowWhoseEndsWouldMeetKeepsItsDrawnPoints) {
    // Both ends bound to one spot: it is drawn from its stored points, and must
    // still be drawn once it has been detached.
    const std::vector<Annotation> objects{make_rect(1, {{0, 0}, {100, 50}}),
                                          make_arrow(2, {10, 10}, {90, 40}, Attachment{1, 0, 1}, Attachment{1, 0, 1})};
    Annotation arrow = objects[1];
    detach_for_transfer(arrow, objects, IdSet{2});
    const auto* a = arrow.as<shape::Arrow>();
    EXPECT_FALSE(a->start_attachment);
    EXPECT_FALSE(a->end_attachment);
    EXPECT_EQ(a->start, (Point{10, 10}));
    EXPECT_EQ(a->end, (Point{90, 40}));
    EXPECT_EQ(outline(arrow, objects).size(), 2u);
}

}  // namespace
}  // namespace kadrovix::paths
