#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "editor/editor.h"
#include "editor/invariants.h"
#include "paths/geometry.h"
#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

using testing::editor_with;
using testing::gesture;
using testing::make_arrow;
using testing::make_ellipse;
using testing::make_rect;
using testing::make_stroke;
using testing::make_text;

constexpr double kPi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using kadrovix::testing::expect_point_near;
using kadrovix::testing::expect_rect_near;

void expect_valid(const Editor& e) {
    const auto problem = check_invariants(e);
    EXPECT_FALSE(problem) << *problem;
}

Editor editor_for(Tool tool) {
    Editor e;
    e.tool = tool;
    e.width = 3;
    return e;
}

const Rect& box_of(const Annotation& a) {
    if (const auto* r = a.as<shape::Rectangle>()) {
        return r->box;
    }
    return a.as<shape::Ellipse>()->box;
}

const shape::Stroke& stroke_of(const Annotation& a) {
    return *a.as<shape::Stroke>();
}
const shape::Arrow& arrow_of(const Annotation& a) {
    return *a.as<shape::Arrow>();
}

// ---------------------------------------------------------------------------
// Drawing new shapes

TEST(GestureCreate, ClickMakesNothingButUsesUpAnId) {
    Editor e = editor_for(Tool::Rectangle);
    gesture(e, {10, 10}, {});
    EXPECT_TRUE(e.objects.empty());
    EXPECT_FALSE(e.can_undo());
    EXPECT_FALSE(e.gesture);

    gesture(e, {10, 10}, {{50, 40}});
    ASSERT_EQ(e.objects.size(), 1u);
    EXPECT_EQ(e.objects[0].id, 2u);
    EXPECT_EQ(e.undo_stack.size(), 1u);

    // A pen press with a sub-pixel jitter is a click too.
    e.set_tool(Tool::Pen);
    gesture(e, {100, 100}, {{100.3, 100.2}, {100.5, 100}, {100.2, 99.6}});
    EXPECT_EQ(e.objects.size(), 1u);
    EXPECT_EQ(e.undo_stack.size(), 1u);
    EXPECT_EQ(e.id_counter, 3u);
    expect_valid(e);
}

TEST(GestureCreate, NewShapeTakesTheCurrentStyleAndClearsTheSelection) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {10, 10}})});
    e.selection = {1};
    e.tool = Tool::Ellipse;
    e.width = 7;
    e.colour = kPresetColours[3];
    e.press({50, 50}, false, false);
    EXPECT_TRUE(e.selection.empty());
    ASSERT_TRUE(e.gesture);
    EXPECT_EQ(e.gesture->kind, GestureKind::Create);
    ASSERT_EQ(e.objects.size(), 2u);
    const Annotation& made = e.objects.back();
    EXPECT_EQ(made.id, 2u);
    EXPECT_EQ(made.width, 7);
    EXPECT_EQ(made.colour, kPresetColours[3]);
    EXPECT_EQ(made.angle, 0);
    EXPECT_EQ(box_of(made), (Rect{{50, 50}, {50, 50}}));
}

TEST(GestureCreate, NonFinitePointsAndTheTextToolStartNothing) {
    Editor e = editor_for(Tool::Rectangle);
    e.press({kNaN, 4}, false, false);
    EXPECT_FALSE(e.gesture);
    EXPECT_EQ(e.id_counter, 0u);

    e.press({4, 4}, false, false);
    e.drag({kNaN, 40});
    EXPECT_EQ(box_of(e.objects.back()), (Rect{{4, 4}, {4, 4}}));
    e.release();

    Editor text = editor_for(Tool::Text);
    text.press({4, 4}, false, false);
    EXPECT_FALSE(text.gesture);
    EXPECT_TRUE(text.objects.empty());
    EXPECT_EQ(text.id_counter, 0u);

    // Without a gesture, drags, modifier changes and releases do nothing.
    text.drag({10, 10});
    text.modifiers_changed(true, true);
    text.release();
    EXPECT_TRUE(text.objects.empty());
    EXPECT_FALSE(text.can_undo());
}

TEST(GestureCreate, RectangleSquaresWithShiftAndGrowsFromTheCentreWithAlt) {
    struct Case {
        bool shift;
        bool alt;
        Point to;
        Rect box;
    };
    const Case cases[] = {
        {false, false, {130, 110}, {{100, 100}, {130, 110}}}, {true, false, {130, 110}, {{100, 100}, {130, 130}}},
        {false, true, {130, 110}, {{70, 90}, {130, 110}}},    {true, true, {130, 110}, {{70, 70}, {130, 130}}},
        {true, false, {80, 90}, {{80, 80}, {100, 100}}},  // up and left keeps both signs
        {false, false, {60, 150}, {{60, 100}, {100, 150}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.to.x) + (c.shift ? " shift" : "") + (c.alt ? " alt" : ""));
        Editor e = editor_for(Tool::Rectangle);
        gesture(e, {100, 100}, {{120, 120}, c.to}, c.shift, c.alt);
        ASSERT_EQ(e.objects.size(), 1u);
        EXPECT_EQ(box_of(e.objects[0]), c.box);
        EXPECT_EQ(e.undo_stack.size(), 1u);
    }
}

TEST(GestureCreate, EllipseIsACircleUnlessAltAndIgnoresShift) {
    Editor e = editor_for(Tool::Ellipse);
    gesture(e, {100, 100}, {{130, 110}}, false, true);
    EXPECT_EQ(box_of(e.objects.back()), (Rect{{70, 90}, {130, 110}}));

    for (const bool shift : {false, true}) {
        gesture(e, {100, 100}, {{130, 110}}, shift, false);
        const double r = std::sqrt(1000.0);
        expect_rect_near(box_of(e.objects.back()), {{100 - r, 100 - r}, {100 + r, 100 + r}});
    }
    EXPECT_EQ(e.objects.size(), 3u);
}

TEST(GestureCreate, ShiftSnapsLinesToFortyFiveDegreeStepsKeepingTheirLength) {
    const auto line_to = [](double degrees) {
        Editor e = editor_for(Tool::Line);
        const double a = degrees * kPi / 180;
        gesture(e, {100, 100}, {{100 + 100 * std::cos(a), 100 + 100 * std::sin(a)}}, true);
        EXPECT_EQ(e.objects.size(), 1u);
        const auto& s = stroke_of(e.objects.at(0));
        EXPECT_EQ(s.points.size(), 2u);
        EXPECT_EQ(s.points[0], (Point{100, 100}));
        return s.points.at(1);
    };
    const double d = 100 / std::numbers::sqrt2;
    expect_point_near(line_to(30), {100 + d, 100 + d});
    expect_point_near(line_to(-30), {100 + d, 100 - d});
    expect_point_near(line_to(160), {0, 100});
    // A snapped horizontal line is exactly horizontal.
    const Point flat = line_to(20);
    EXPECT_EQ(flat.y, 100);
    EXPECT_NEAR(flat.x, 200, 1e-9);
    EXPECT_EQ(line_to(95).x, 100);
}

TEST(GestureCreate, LineWithoutShiftFollowsThePointerAtTheCurrentWidth) {
    Editor e = editor_for(Tool::Line);
    e.press({10, 10}, false, false);
    e.drag({40, 27});
    e.widen();  // mid-gesture style goes to the new line only
    e.drag({41, 29});
    e.release();
    ASSERT_EQ(e.objects.size(), 1u);
    EXPECT_EQ(stroke_of(e.objects[0]).points, (std::vector<Point>{{10, 10}, {41, 29}}));
    EXPECT_TRUE(stroke_of(e.objects[0]).segment_widths.empty());
    EXPECT_EQ(e.objects[0].width, 4);
    EXPECT_EQ(stroke_of(e.objects[0]).highlighter, 0);
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

TEST(GestureCreate, PenAddsPointsOnlyAfterAPixelOfTravelAndKeepsItsFirstPoint) {
    Editor e = editor_for(Tool::Pen);
    gesture(e, {10, 10}, {{10.5, 10}, {11.2, 10}, {11.9, 10}, {12.3, 10}, {12.3, 20}});
    ASSERT_EQ(e.objects.size(), 1u);
    const auto& s = stroke_of(e.objects[0]);
    EXPECT_EQ(s.points, (std::vector<Point>{{10, 10}, {11.2, 10}, {12.3, 10}, {12.3, 20}}));
    EXPECT_EQ(s.segment_widths, (std::vector<double>{3, 3, 3}));
    EXPECT_EQ(s.highlighter, 0);

    Editor h = editor_for(Tool::Highlighter);
    gesture(h, {0, 0}, {{5, 0}});
    ASSERT_EQ(h.objects.size(), 1u);
    EXPECT_EQ(stroke_of(h.objects[0]).highlighter, 1);
}

TEST(GestureCreate, WidthChangedMidStrokeAppliesToLaterSegmentsOnly) {
    Editor e = editor_for(Tool::Pen);
    e.press({0, 0}, false, false);
    e.drag({10, 0});
    e.drag({20, 0});
    e.narrow();
    e.drag({30, 0});
    e.release();
    ASSERT_EQ(e.objects.size(), 1u);
    EXPECT_EQ(stroke_of(e.objects[0]).segment_widths, (std::vector<double>{3, 3, 2}));
    const auto runs = paths::stroke_runs(e.objects[0]);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].width, 3);
    EXPECT_EQ(runs[1].width, 2);
    EXPECT_EQ(runs[1].points.front(), (Point{20, 0}));
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

TEST(GestureCreate, PenWithShiftDrawsOneStraightSnappedSegment) {
    Editor e = editor_for(Tool::Pen);
    e.press({0, 0}, false, false);
    e.drag({5, 5});
    e.drag({20, 3});
    ASSERT_EQ(stroke_of(e.objects.back()).points.size(), 3u);
    e.modifiers_changed(true, false);
    const double len = std::hypot(20, 3);
    EXPECT_EQ(stroke_of(e.objects.back()).points, (std::vector<Point>{{0, 0}, {len, 0}}));
    EXPECT_TRUE(stroke_of(e.objects.back()).segment_widths.empty());

    // Letting go of Shift carries on freehand from the snapped end; a width
    // change after that lands on the segment drawn with it, not the one before.
    e.modifiers_changed(false, false);
    e.narrow();
    e.drag({30, 20});
    e.release();
    const auto& s = stroke_of(e.objects.back());
    EXPECT_EQ(s.points, (std::vector<Point>{{0, 0}, {len, 0}, {20, 3}, {30, 20}}));
    ASSERT_EQ(s.segment_widths.size(), 3u);
    EXPECT_EQ(s.segment_widths[1], 3);
    EXPECT_EQ(s.segment_widths[2], 2);
    const auto runs = paths::stroke_runs(e.objects.back());
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].width, 3);
    EXPECT_EQ(runs[1].points.front(), (Point{20, 3}));
    expect_valid(e);
}

TEST(GestureCreate, ArrowAttachesAtBothEndsAndShiftFreesAndSnapsIt) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {100, 100}}), make_ellipse(2, {{200, 0}, {300, 100}})});
    e.tool = Tool::Arrow;
    e.press({50, 50}, false, false);
    ASSERT_TRUE(arrow_of(e.objects.back()).start_attachment);
    EXPECT_EQ(arrow_of(e.objects.back()).start_attachment->target, 1u);

    e.drag({250, 60});
    {
        const auto& a = arrow_of(e.objects.back());
        ASSERT_TRUE(a.end_attachment);
        EXPECT_EQ(a.end_attachment->target, 2u);
        EXPECT_EQ(a.end, (Point{250, 60}));
    }

    // Shift mid-draw: at once free at both ends, snapped about the press point.
    e.modifiers_changed(true, false);
    {
        const auto& a = arrow_of(e.objects.back());
        EXPECT_FALSE(a.start_attachment);
        EXPECT_FALSE(a.end_attachment);
        EXPECT_EQ(a.start, (Point{50, 50}));
        EXPECT_EQ(a.end.y, 50);
        EXPECT_NEAR(a.end.x, 50 + std::hypot(200, 10), 1e-9);
    }

    // And back: attached again to the shapes under the press and the pointer.
    e.modifiers_changed(false, false);
    e.release();
    const auto& a = arrow_of(e.objects.back());
    ASSERT_TRUE(a.start_attachment);
    ASSERT_TRUE(a.end_attachment);
    EXPECT_EQ(a.start_attachment->target, 1u);
    EXPECT_EQ(a.end_attachment->target, 2u);
    EXPECT_EQ(a.end, (Point{250, 60}));
    EXPECT_EQ(e.undo_stack.size(), 1u);
    e.undo();
    EXPECT_EQ(e.objects.size(), 2u);
}

TEST(GestureCreate, ArrowDrawnOverEmptySpaceStaysFree) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {100, 100}})});
    e.tool = Tool::Arrow;
    gesture(e, {300, 300}, {{60, 40}, {400, 380}});
    ASSERT_EQ(e.objects.size(), 2u);
    const auto& a = arrow_of(e.objects.back());
    EXPECT_FALSE(a.start_attachment);
    EXPECT_FALSE(a.end_attachment);
    EXPECT_EQ(a.end, (Point{400, 380}));
}

// ---------------------------------------------------------------------------
// Selecting

TEST(GestureSelect, ClickSelectsTheTopmostHitAndShiftTogglesMembership) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {100, 100}}), make_rect(2, {{50, 0}, {150, 100}}),
                            make_rect(3, {{300, 300}, {400, 400}})});
    gesture(e, {100, 3}, {});  // on the edges of both 1 and 2
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{2}));

    gesture(e, {300, 350}, {}, true);
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{2, 3}));
    gesture(e, {100, 3}, {}, true);
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{3}));

    // Clicking inside an unfilled rectangle is a click on nothing.
    gesture(e, {350, 350}, {});
    EXPECT_TRUE(e.selection.empty());
    EXPECT_FALSE(e.can_undo());
    expect_valid(e);
}

TEST(GestureSelect, PressOnAnAlreadySelectedObjectDragsTheWholeSelection) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {100, 100}}), make_rect(2, {{300, 300}, {400, 400}})});
    e.selection = {1, 2};
    gesture(e, {50, 2}, {{60, 22}});
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{1, 2}));
    EXPECT_EQ(box_of(e.objects[0]), (Rect{{10, 20}, {110, 120}}));
    EXPECT_EQ(box_of(e.objects[1]), (Rect{{310, 320}, {410, 420}}));
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

TEST(GestureSelect, CornerHandleBeatsTheObjectUnderThePointer) {
    Editor e = editor_with({make_rect(1, {{100, 100}, {200, 200}}), make_rect(2, {{90, 90}, {110, 110}})});
    e.selection = {1};
    e.press({104, 103}, false, false);  // 5 px from the top-left corner, on rectangle 2's edge
    ASSERT_TRUE(e.gesture);
    EXPECT_EQ(e.gesture->kind, GestureKind::Resize);
    EXPECT_EQ(e.gesture->anchor, (Point{200, 200}));
    EXPECT_EQ(e.gesture->start_box, (Rect{{100, 100}, {200, 200}}));
    e.release();
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{1}));

    // The other corners pair with their opposites.
    const std::pair<Point, Point> corners[] = {
        {{199, 101}, {100, 200}}, {{198, 198}, {100, 100}}, {{101, 199}, {200, 100}}};
    for (const auto& [at, anchor] : corners) {
        e.press(at, false, false);
        ASSERT_TRUE(e.gesture);
        EXPECT_EQ(e.gesture->kind, GestureKind::Resize);
        EXPECT_EQ(e.gesture->anchor, anchor);
        e.release();
    }

    // With nothing selected the same press picks rectangle 2.
    e.selection.clear();
    e.press({104, 103}, false, false);
    EXPECT_EQ(e.gesture->kind, GestureKind::Move);
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{2}));
    e.release();
    EXPECT_FALSE(e.can_undo());
}

TEST(GestureSelect, RotationHandleSitsAboveTheTopEdge) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {100, 50}})});
    e.selection = {1};
    e.press({53, -26}, false, false);
    ASSERT_TRUE(e.gesture);
    EXPECT_EQ(e.gesture->kind, GestureKind::Rotate);
    EXPECT_EQ(e.gesture->anchor, (Point{50, 25}));
    e.release();
    e.press({50, -37.5}, false, false);  // 9.5 px away: a miss
    EXPECT_EQ(e.gesture->kind, GestureKind::Marquee);
    e.release();
}

TEST(GestureSelect, MarqueeTakesWhollyCoveredObjectsAndShiftAdds) {
    Editor e = editor_with({make_rect(1, {{10, 10}, {50, 50}}), make_rect(2, {{60, 10}, {100, 50}}),
                            make_arrow(3, {500, 500}, {200, 20}, Attachment{1, 0, 2})});
    e.press({0, 0}, false, false);
    e.drag({55, 60});
    ASSERT_TRUE(e.marquee());
    EXPECT_EQ(*e.marquee(), (Rect{{0, 0}, {55, 60}}));
    e.release();
    EXPECT_FALSE(e.marquee());
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{1}));  // 2 is only partly inside

    // Shift adds; the arrow counts by its drawn ends ((100, 30) - (200, 20)).
    gesture(e, {210, 60}, {{58, 5}}, true);
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{1, 2, 3}));

    // Edges count as inside; without Shift the selection starts over.
    gesture(e, {60, 60}, {{105, 10}});
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{2}));
    gesture(e, {600, 600}, {{700, 700}});
    EXPECT_TRUE(e.selection.empty());
    EXPECT_FALSE(e.can_undo());
}

// ---------------------------------------------------------------------------
// Arrow ends

TEST(GestureEndpoint, SoleSelectedArrowEndIsDraggedOntoAShape) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {100, 100}}), make_arrow(2, {300, 300}, {400, 300})});
    e.selection = {2};
    e.press({302, 303}, false, false);
    ASSERT_TRUE(e.gesture);
    EXPECT_EQ(e.gesture->kind, GestureKind::Endpoint);
    EXPECT_EQ(e.gesture->which_end, 1);
    e.drag({50, 50});
    e.release();
    const auto& a = arrow_of(e.objects[1]);
    ASSERT_TRUE(a.start_attachment);
    EXPECT_EQ(a.start_attachment->target, 1u);
    EXPECT_EQ(a.start, (Point{50, 50}));
    EXPECT_FALSE(a.end_attachment);
    EXPECT_EQ(a.end, (Point{400, 300}));
    expect_point_near(paths::arrow_ends(e.objects[1], e.objects)->start, {100, 50});
    EXPECT_EQ(e.undo_stack.size(), 1u);

    // Shift snaps about the other end and leaves the dragged end free.
    e.press({100, 50}, false, false);
    EXPECT_EQ(e.gesture->kind, GestureKind::Endpoint);
    e.gesture->shift = true;
    e.drag({60, 310});
    e.release();
    const auto& b = arrow_of(e.objects[1]);
    EXPECT_FALSE(b.start_attachment);
    EXPECT_EQ(b.start.y, 300);
    EXPECT_NEAR(b.start.x, 400 - std::hypot(340, 10), 1e-9);
    EXPECT_EQ(e.undo_stack.size(), 2u);
}

TEST(GestureEndpoint, WithAnotherObjectSelectedThePressMovesOrResizesInstead) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {100, 100}}), make_arrow(2, {300, 300}, {400, 300})});
    e.selection = {1, 2};
    e.press({302, 302}, false, false);  // the arrow's start, but not a corner
    ASSERT_TRUE(e.gesture);
    EXPECT_EQ(e.gesture->kind, GestureKind::Move);
    e.drag({312, 312});
    e.release();
    EXPECT_EQ(box_of(e.objects[0]), (Rect{{10, 10}, {110, 110}}));
    EXPECT_EQ(arrow_of(e.objects[1]).start, (Point{310, 310}));

    e.press({409, 311}, false, false);  // the arrow's end is the selection's corner
    EXPECT_EQ(e.gesture->kind, GestureKind::Resize);
    e.release();
}

TEST(GestureEndpoint, AnIndexThatNoLongerNamesAnArrowChangesNothing) {
    const std::vector<Annotation> objects{make_rect(1, {{0, 0}, {100, 100}}), make_arrow(2, {300, 300}, {400, 300})};
    Editor e = editor_with(objects);
    e.selection = {2};
    e.press({400, 300}, false, false);
    ASSERT_EQ(e.gesture->kind, GestureKind::Endpoint);
    for (const double index : {0.0, 2.0, -1.0, kNaN, 1e300}) {
        e.gesture->anchor.x = index;
        e.drag({50, 50});
        EXPECT_EQ(e.objects, objects);
    }
    e.release();
    EXPECT_FALSE(e.can_undo());
}

// ---------------------------------------------------------------------------
// Move, resize, rotate

TEST(GestureMove, DraggingBackToTheStartRecordsNothing) {
    Editor e = editor_with({make_rect(1, {{11.3, 5.1}, {53.9, 29.7}}), make_text(2, "x", {60.7, 3.3}, 24, 42.6, 24.6)});
    const std::vector<Annotation> before = e.objects;
    e.selection = {1, 2};
    gesture(e, {11.3, 15}, {{200.37, 97.1}, {-40.01, 3.9}, {11.3, 15}});
    EXPECT_EQ(e.objects, before);
    EXPECT_FALSE(e.can_undo());

    // A real move keeps the text's font size exactly.
    gesture(e, {11.3, 15}, {{1000.37, 97.1}});
    EXPECT_EQ(e.objects[1].as<shape::Text>()->font_size, 24);
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

TEST(GestureMove, ArrowLeavesTargetsBehindUnlessTheyMoveWithIt) {
    const std::vector<Annotation> objects{make_rect(1, {{0, 0}, {100, 100}}),
                                          make_arrow(2, {300, 50}, {0, 0}, std::nullopt, Attachment{1, 0, 1})};
    Editor alone = editor_with(objects);
    alone.selection = {2};
    // A click that does not travel keeps the attachment and records nothing.
    gesture(alone, {200, 50}, {{200, 50}});
    EXPECT_EQ(alone.objects, objects);
    EXPECT_FALSE(alone.can_undo());
    gesture(alone, {200, 50}, {{200, 80}});
    const auto& a = arrow_of(alone.objects[1]);
    EXPECT_FALSE(a.end_attachment);
    EXPECT_EQ(a.start, (Point{300, 80}));
    EXPECT_EQ(a.end, (Point{100, 80}));  // where it was drawn, plus the move
    EXPECT_EQ(box_of(alone.objects[0]), (Rect{{0, 0}, {100, 100}}));

    Editor both = editor_with(objects);
    both.selection = {1, 2};
    gesture(both, {200, 50}, {{200, 80}});
    const auto& b = arrow_of(both.objects[1]);
    ASSERT_TRUE(b.end_attachment);
    expect_point_near(paths::arrow_ends(both.objects[1], both.objects)->end, {100, 80});
    // Undo brings back the attachment the move took away.
    alone.undo();
    EXPECT_EQ(alone.objects, objects);
}

TEST(GestureResize, UnrotatedSelectionFollowsTheCornerAndFlipsPastTheAnchor) {
    Editor e = editor_with({make_rect(1, {{100, 100}, {200, 200}}), make_stroke(2, {{120, 150}, {180, 150}})});
    e.selection = {1, 2};
    e.press({101, 101}, false, false);
    ASSERT_EQ(e.gesture->kind, GestureKind::Resize);
    e.drag({50, 150});
    EXPECT_EQ(box_of(e.objects[0]), (Rect{{50, 150}, {200, 200}}));
    EXPECT_EQ(stroke_of(e.objects[1]).points, (std::vector<Point>{{80, 175}, {170, 175}}));
    e.drag({300, 250});  // past the anchor: the box flips, it is not mirrored
    EXPECT_EQ(box_of(e.objects[0]), (Rect{{200, 200}, {300, 250}}));
    EXPECT_EQ(e.objects[1].width, 3);
    e.release();
    EXPECT_EQ(e.undo_stack.size(), 1u);
    expect_valid(e);
}

TEST(GestureResize, RotatedRectangleKeepsItsAspectAndStopsAtOnePercent) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {100, 50}})});
    e.objects[0].angle = 0.5;
    e.selection = {1};
    const Rect start = *e.selection_bounds();
    e.press(start.min, false, false);
    ASSERT_EQ(e.gesture->kind, GestureKind::Resize);

    e.drag({start.max.x - 30, start.max.y - 200});  // far off the diagonal
    const Rect box = box_of(e.objects[0]);
    EXPECT_NEAR((box.max.x - box.min.x) / (box.max.y - box.min.y), 2.0, 1e-9);
    const Rect now = *e.selection_bounds();
    EXPECT_NEAR((now.max.x - now.min.x) / (now.max.y - now.min.y),
                (start.max.x - start.min.x) / (start.max.y - start.min.y), 1e-9);
    EXPECT_NEAR(now.max.x, start.max.x, 1e-9);  // the anchor stays put
    EXPECT_NEAR(now.max.y, start.max.y, 1e-9);
    EXPECT_EQ(e.objects[0].angle, 0.5);

    e.drag({start.max.x + 50, start.max.y + 80});  // past the anchor
    const Rect tiny = box_of(e.objects[0]);
    EXPECT_NEAR(tiny.max.x - tiny.min.x, 1.0, 1e-9);
    EXPECT_NEAR(tiny.max.y - tiny.min.y, 0.5, 1e-9);
    e.release();
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

TEST(GestureRotate, TurnsTheSelectionAboutItsCentre) {
    Editor e = editor_with({make_rect(1, {{0, 0}, {100, 100}}), make_rect(2, {{200, 0}, {300, 100}}),
                            make_stroke(3, {{150, 0}, {150, 100}}), make_arrow(4, {0, 50}, {300, 50})});
    e.selection = {1, 2, 3, 4};
    e.begin_rotate({250, 50});
    ASSERT_TRUE(e.gesture);
    EXPECT_EQ(e.gesture->kind, GestureKind::Rotate);
    EXPECT_EQ(e.gesture->anchor, (Point{150, 50}));
    EXPECT_FALSE(e.gesture->shift);
    e.drag({150, 150});  // a quarter turn clockwise on screen
    e.release();

    expect_rect_near(box_of(e.objects[0]), {{100, -100}, {200, 0}});
    expect_rect_near(box_of(e.objects[1]), {{100, 100}, {200, 200}});
    EXPECT_NEAR(e.objects[0].angle, kPi / 2, 1e-12);
    EXPECT_NEAR(e.objects[1].angle, kPi / 2, 1e-12);
    expect_point_near(stroke_of(e.objects[2]).points[0], {200, 50});
    expect_point_near(stroke_of(e.objects[2]).points[1], {100, 50});
    EXPECT_EQ(e.objects[2].angle, 0);
    expect_point_near(arrow_of(e.objects[3]).start, {150, -100});
    expect_point_near(arrow_of(e.objects[3]).end, {150, 200});
    EXPECT_EQ(e.objects[3].angle, 0);
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

TEST(GestureRotate, AnglesStayInOneTurnAndAFullReturnRecordsNothing) {
    Editor e = editor_with({make_text(1, "x", {0, 0}, 20, 100, 20)});
    e.selection = {1};
    e.begin_rotate({150, 10});
    e.drag({50, -90});  // a quarter turn the other way
    EXPECT_NEAR(e.objects[0].angle, 3 * kPi / 2, 1e-12);
    EXPECT_EQ(e.objects[0].as<shape::Text>()->font_size, 20);
    e.drag({150, 10});
    e.release();
    EXPECT_EQ(e.objects[0].angle, 0);
    EXPECT_FALSE(e.can_undo());

    // Nothing selected, or a non-finite point: no gesture.
    e.selection.clear();
    e.begin_rotate({1, 1});
    EXPECT_FALSE(e.gesture);
    e.selection = {1};
    e.begin_rotate({kNaN, 1});
    EXPECT_FALSE(e.gesture);
}

TEST(GestureRotate, RotatedTargetCarriesItsAttachedArrowEnd) {
    Editor e = editor_with(
        {make_rect(1, {{0, 0}, {100, 50}}), make_arrow(2, {300, 25}, {0, 0}, std::nullopt, Attachment{1, 0, 1})});
    e.selection = {1};
    e.begin_rotate({150, 25});
    e.drag({50, 125});
    e.release();
    expect_point_near(paths::arrow_ends(e.objects[1], e.objects)->end, {50, 75});
}

// ---------------------------------------------------------------------------
// Gesture lifecycle

TEST(GestureLifecycle, ANewPressOrACommandCancelsTheUnfinishedGesture) {
    const std::vector<Annotation> objects{make_rect(1, {{0, 0}, {100, 100}})};
    Editor e = editor_with(objects);
    e.selection = {1};
    e.press({50, 1}, false, false);
    e.drag({80, 40});
    EXPECT_NE(e.objects, objects);
    e.press({500, 500}, false, false);  // without a release
    EXPECT_EQ(e.objects, objects);
    EXPECT_EQ(e.gesture->kind, GestureKind::Marquee);
    e.release();

    e.set_tool(Tool::Rectangle);
    e.press({200, 200}, false, false);
    e.drag({260, 260});
    e.undo();  // nothing to undo, but the half-drawn rectangle goes
    EXPECT_FALSE(e.gesture);
    EXPECT_EQ(e.objects, objects);
    EXPECT_FALSE(e.can_undo());
}

TEST(GestureLifecycle, EachFinishedGestureIsOneUndoStep) {
    Editor e = editor_for(Tool::Rectangle);
    gesture(e, {10, 10}, {{20, 20}, {30, 30}, {40, 40}});
    e.set_tool(Tool::Pen);
    gesture(e, {100, 100}, {{110, 100}, {120, 100}, {130, 110}});
    e.set_tool(Tool::Select);
    gesture(e, {25, 10}, {{25, 20}, {25, 30}});
    ASSERT_EQ(e.undo_stack.size(), 3u);
    EXPECT_EQ(box_of(e.objects[0]), (Rect{{10, 30}, {40, 60}}));

    e.undo();
    EXPECT_EQ(box_of(e.objects[0]), (Rect{{10, 10}, {40, 40}}));
    e.undo();
    e.undo();
    EXPECT_TRUE(e.objects.empty());
    e.redo();
    e.redo();
    e.redo();
    EXPECT_EQ(box_of(e.objects[0]), (Rect{{10, 30}, {40, 60}}));
    EXPECT_EQ(stroke_of(e.objects[1]).points.size(), 4u);
    expect_valid(e);
}

}  // namespace
}  // namespace kadrovix
