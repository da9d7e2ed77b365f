#include "presentation/temporary_shapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "presentation/presentation_state.h"
#include "settings/settings.h"

using namespace kadrovix;

namespace {

constexpr Rgb kShapeColour{0xed, 0x4f, 0x5c};
constexpr Rgb kBlue{80, 153, 244};

// A drawing of `kind` pressed at `a` on a 100 % monitor with width 5 and
// arrow size 28.
ShapeDrawing pressed(TemporaryShapeKind kind, Point a, std::uint32_t dpi = 96) {
    ShapeDrawing d;
    start_drawing(d, kind);
    press_drawing(d, a, 5, 28, dpi, false, false, kShapeColour);
    return d;
}

Rect box_of(const ShapeDrawing& d) {
    if (const auto* r = d.shape->as<shape::Rectangle>()) return r->box;
    if (const auto* e = d.shape->as<shape::Ellipse>()) return e->box;
    ADD_FAILURE() << "not a boxed shape";
    return {};
}

void expect_box(const Rect& box, double x0, double y0, double x1, double y1) {
    EXPECT_NEAR(box.min.x, x0, 1e-9);
    EXPECT_NEAR(box.min.y, y0, 1e-9);
    EXPECT_NEAR(box.max.x, x1, 1e-9);
    EXPECT_NEAR(box.max.y, y1, 1e-9);
}

FadingShape fading_rect(double x, std::uint64_t start, std::uint64_t duration) {
    Annotation a;
    a.geometry = shape::Rectangle{{{x, 0}, {x + 10, 10}}};
    return FadingShape{a, 28, start, duration};
}

}  // namespace

TEST(PresentationShapeShortcuts, HotkeyIdsStartTheirKindAndNothingElse) {
    EXPECT_EQ(shape_kind_for_hotkey(91), TemporaryShapeKind::Arrow);
    EXPECT_EQ(shape_kind_for_hotkey(92), TemporaryShapeKind::Rectangle);
    EXPECT_EQ(shape_kind_for_hotkey(93), TemporaryShapeKind::Ellipse);
    EXPECT_FALSE(shape_kind_for_hotkey(90).has_value());  // turn everything off
    EXPECT_FALSE(shape_kind_for_hotkey(94).has_value());
    EXPECT_FALSE(shape_kind_for_hotkey(0).has_value());

    ShapeDrawing d;
    EXPECT_FALSE(d.active());
    start_drawing(d, TemporaryShapeKind::Ellipse);
    EXPECT_EQ(d.kind, 2);
    start_drawing(d, TemporaryShapeKind::Arrow);
    EXPECT_EQ(d.kind, 0);
    end_drawing(d);
    EXPECT_EQ(d.kind, 255);
}

TEST(PresentationShapeDuration, TheThreeChoicesAndTheDefault) {
    EXPECT_EQ(kShapeDurationsMs, (std::array<std::uint32_t, 3>{1000, 3000, 5000}));
    EXPECT_EQ(Settings{}.shape_duration_ms, 3000u);
}

TEST(PresentationShapeFade, OneSecondShapeIsOpaqueForHalfASecondThenFadesLinearly) {
    EXPECT_DOUBLE_EQ(fade_opacity(1000, 0), 1.0);
    EXPECT_DOUBLE_EQ(fade_opacity(1000, 500), 1.0);
    EXPECT_DOUBLE_EQ(fade_opacity(1000, 501), 499.0 / 500.0);
    EXPECT_DOUBLE_EQ(fade_opacity(1000, 750), 0.5);
    EXPECT_DOUBLE_EQ(fade_opacity(1000, 999), 1.0 / 500.0);
    EXPECT_DOUBLE_EQ(fade_opacity(1000, 1000), 0.0);
    EXPECT_DOUBLE_EQ(fade_opacity(1000, 60'000), 0.0);
}

TEST(PresentationShapeFade, LongerDurationsFadeOnlyInTheirLastHalfSecond) {
    EXPECT_DOUBLE_EQ(fade_opacity(3000, 2500), 1.0);
    EXPECT_DOUBLE_EQ(fade_opacity(3000, 2750), 0.5);
    EXPECT_DOUBLE_EQ(fade_opacity(3000, 3000), 0.0);
    EXPECT_DOUBLE_EQ(fade_opacity(5000, 4500), 1.0);
    EXPECT_DOUBLE_EQ(fade_opacity(5000, 4900), 0.2);
    EXPECT_DOUBLE_EQ(fade_opacity(5000, 5000), 0.0);
}

TEST(PresentationShapeFade, ShortDurationsFadeFromTheStartAndZeroIsGone) {
    EXPECT_DOUBLE_EQ(fade_opacity(300, 0), 1.0);
    EXPECT_DOUBLE_EQ(fade_opacity(300, 150), 0.5);
    EXPECT_DOUBLE_EQ(fade_opacity(300, 300), 0.0);
    EXPECT_DOUBLE_EQ(fade_opacity(500, 250), 0.5);
    // No duration: transparent, not a division by zero.
    const double none = fade_opacity(0, 0);
    EXPECT_FALSE(std::isnan(none));
    EXPECT_DOUBLE_EQ(none, 0.0);
}

TEST(PresentationShapeFade, AgeComesFromTheStartTimeAndSaturates) {
    const FadingShape s = fading_rect(0, 10'000, 1000);
    EXPECT_DOUBLE_EQ(fade_opacity(s, 10'750), 0.5);
    // A clock reading before the start is age 0, not a wrapped huge age.
    EXPECT_DOUBLE_EQ(fade_opacity(s, 9'000), 1.0);
    EXPECT_DOUBLE_EQ(fade_opacity(s, std::numeric_limits<std::uint64_t>::max()), 0.0);
}

TEST(PresentationShapeFade, PruneRemovesShapesWhoseAgeReachedTheirDurationKeepingOrder) {
    std::vector<FadingShape> list = {fading_rect(1, 0, 1000), fading_rect(2, 0, 3000), fading_rect(3, 500, 1000),
                                     fading_rect(4, 2000, 5000)};
    EXPECT_TRUE(prune_faded(list, 999));
    EXPECT_EQ(list.size(), 4u);

    EXPECT_TRUE(prune_faded(list, 1000));  // the first is exactly at its end
    ASSERT_EQ(list.size(), 3u);
    EXPECT_TRUE(prune_faded(list, 1500));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_DOUBLE_EQ(list[0].shape.as<shape::Rectangle>()->box.min.x, 2);
    EXPECT_DOUBLE_EQ(list[1].shape.as<shape::Rectangle>()->box.min.x, 4);

    EXPECT_TRUE(prune_faded(list, 6999));
    EXPECT_EQ(list.size(), 1u);
    EXPECT_FALSE(prune_faded(list, 7000));
    EXPECT_TRUE(list.empty());

    // A clock before a shape's start never removes it.
    std::vector<FadingShape> future = {fading_rect(0, 5000, 1000)};
    EXPECT_TRUE(prune_faded(future, 100));
}

TEST(PresentationShapeDrag, RectangleSpansPressAndPointerAndShiftMakesASquare) {
    ShapeDrawing d = pressed(TemporaryShapeKind::Rectangle, {100, 100});
    update_drawing(d, {60, 130}, false, false, kShapeColour);
    expect_box(box_of(d), 60, 100, 100, 130);

    // d = (-40, 30) becomes (-40, 40): the square keeps the drag's direction.
    update_drawing(d, {60, 130}, true, false, kShapeColour);
    expect_box(box_of(d), 60, 100, 100, 140);
    update_drawing(d, {110, 50}, true, false, kShapeColour);
    expect_box(box_of(d), 100, 50, 150, 100);
}

TEST(PresentationShapeDrag, EllipseIsACircleAboutThePressUnlessAltSeparatesTheAxes) {
    ShapeDrawing d = pressed(TemporaryShapeKind::Ellipse, {100, 100});
    update_drawing(d, {130, 140}, false, false, kShapeColour);  // |d| = 50
    ASSERT_NE(d.shape->as<shape::Ellipse>(), nullptr);
    expect_box(box_of(d), 50, 50, 150, 150);

    update_drawing(d, {130, 140}, false, true, kShapeColour);
    expect_box(box_of(d), 70, 60, 130, 140);
    update_drawing(d, {70, 95}, false, true, kShapeColour);
    expect_box(box_of(d), 70, 95, 130, 105);

    // Shift with Alt: equal semi-axes of the larger distance.
    update_drawing(d, {130, 140}, true, true, kShapeColour);
    expect_box(box_of(d), 60, 60, 140, 140);
}

TEST(PresentationShapeDrag, ShiftSnapsTheArrowToFortyFiveDegreesKeepingItsLength) {
    ShapeDrawing d = pressed(TemporaryShapeKind::Arrow, {100, 100});
    update_drawing(d, {200, 130}, false, false, kShapeColour);
    const auto* free = d.shape->as<shape::Arrow>();
    ASSERT_NE(free, nullptr);
    EXPECT_EQ(free->start, (Point{100, 100}));
    EXPECT_EQ(free->end, (Point{200, 130}));
    EXPECT_FALSE(free->start_attachment.has_value());
    EXPECT_FALSE(free->end_attachment.has_value());

    struct Case {
        Point p;
        double angle;
    };
    const double q = std::acos(-1.0) / 4.0;
    for (const Case& c : {Case{{200, 130}, 0.0}, Case{{150, 160}, q}, Case{{0, 10}, -3 * q}, Case{{95, 0}, -2 * q},
                          Case{{0, 110}, 4 * q}}) {
        update_drawing(d, c.p, true, false, kShapeColour);
        const auto* a = d.shape->as<shape::Arrow>();
        const double length = std::hypot(c.p.x - 100, c.p.y - 100);
        EXPECT_NEAR(a->end.x, 100 + length * std::cos(c.angle), 1e-9) << c.p.x << "," << c.p.y;
        EXPECT_NEAR(a->end.y, 100 + length * std::sin(c.angle), 1e-9) << c.p.x << "," << c.p.y;
    }
}

TEST(PresentationShapeDrag, ShapeTakesTheUserColourAndTheScaledWidths) {
    ShapeDrawing d;
    start_drawing(d, TemporaryShapeKind::Rectangle);
    press_drawing(d, {10, 10}, 5, 28, 144, false, false, kBlue);
    EXPECT_DOUBLE_EQ(d.width, 7.5);
    EXPECT_DOUBLE_EQ(d.arrow_size, 42.0);
    ASSERT_TRUE(d.shape.has_value());
    EXPECT_EQ(d.shape->colour, kBlue);
    EXPECT_DOUBLE_EQ(d.shape->width, 7.5);
    EXPECT_DOUBLE_EQ(d.shape->angle, 0.0);

    // A failed DPI query counts as 100 %.
    ShapeDrawing plain;
    start_drawing(plain, TemporaryShapeKind::Arrow);
    press_drawing(plain, {0, 0}, 40, 16, 0, false, false, kBlue);
    EXPECT_DOUBLE_EQ(plain.width, 40.0);
    EXPECT_DOUBLE_EQ(plain.arrow_size, 16.0);
}

TEST(PresentationShapeDrag, UpdatesNeedADrawingAFinitePressAndAFinitePoint) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    ShapeDrawing idle;
    update_drawing(idle, {10, 10}, false, false, kShapeColour);
    press_drawing(idle, {0, 0}, 5, 28, 96, false, false, kShapeColour);
    EXPECT_FALSE(idle.shape.has_value());

    ShapeDrawing bad_press;
    start_drawing(bad_press, TemporaryShapeKind::Rectangle);
    press_drawing(bad_press, {nan, 0}, 5, 28, 96, false, false, kShapeColour);
    EXPECT_FALSE(bad_press.press_finite);
    update_drawing(bad_press, {50, 50}, false, false, kShapeColour);
    EXPECT_FALSE(bad_press.shape.has_value());

    ShapeDrawing d = pressed(TemporaryShapeKind::Rectangle, {0, 0});
    update_drawing(d, {20, 30}, false, false, kShapeColour);
    update_drawing(d, {inf, 30}, false, false, kShapeColour);
    update_drawing(d, {20, nan}, false, false, kShapeColour);
    expect_box(box_of(d), 0, 0, 20, 30);
}

TEST(PresentationShapeCommit, AClickWithoutMovementOrAFlatBoxAddsNoShape) {
    std::vector<FadingShape> list;
    for (auto kind : {TemporaryShapeKind::Arrow, TemporaryShapeKind::Rectangle, TemporaryShapeKind::Ellipse}) {
        ShapeDrawing d = pressed(kind, {40, 40});
        update_drawing(d, {40, 40}, false, false, kShapeColour);
        EXPECT_FALSE(commit_drawing(d, list, 100, 3000));
        EXPECT_FALSE(d.active());
    }
    ShapeDrawing flat = pressed(TemporaryShapeKind::Rectangle, {40, 40});
    update_drawing(flat, {90, 40}, false, false, kShapeColour);
    EXPECT_FALSE(commit_drawing(flat, list, 100, 3000));
    ShapeDrawing thin = pressed(TemporaryShapeKind::Ellipse, {40, 40});
    update_drawing(thin, {40, 90}, false, true, kShapeColour);
    EXPECT_FALSE(commit_drawing(thin, list, 100, 3000));
    // A release without any press made.
    ShapeDrawing unpressed;
    start_drawing(unpressed, TemporaryShapeKind::Arrow);
    EXPECT_FALSE(commit_drawing(unpressed, list, 100, 3000));
    EXPECT_TRUE(list.empty());

    // With Alt off the same vertical drag gives a circle, which is kept.
    ShapeDrawing circle = pressed(TemporaryShapeKind::Ellipse, {40, 40});
    update_drawing(circle, {40, 90}, false, false, kShapeColour);
    EXPECT_TRUE(commit_drawing(circle, list, 100, 3000));
    EXPECT_EQ(list.size(), 1u);
}

TEST(PresentationShapeCommit, FinishedShapeFadesWithItsDurationFromNow) {
    std::vector<FadingShape> list;
    ShapeDrawing d;
    start_drawing(d, TemporaryShapeKind::Arrow);
    press_drawing(d, {10, 10}, 6, 40, 120, false, false, kBlue);
    update_drawing(d, {110, 10}, false, false, kBlue);
    ASSERT_TRUE(commit_drawing(d, list, 12'345, 5000));
    EXPECT_FALSE(d.active());
    EXPECT_FALSE(d.shape.has_value());
    ASSERT_EQ(list.size(), 1u);
    const FadingShape& s = list[0];
    EXPECT_EQ(s.start_ms, 12'345u);
    EXPECT_EQ(s.duration_ms, 5000u);
    EXPECT_DOUBLE_EQ(s.shape.width, 7.5);
    EXPECT_DOUBLE_EQ(s.arrow_size, 50.0);
    EXPECT_EQ(s.shape.colour, kBlue);
    EXPECT_EQ(s.shape.as<shape::Arrow>()->end, (Point{110, 10}));
}

TEST(PresentationShapeCommit, AtTheLimitTheOldestShapeMakesRoom) {
    std::vector<FadingShape> list;
    for (int i = 0; i < 128; ++i) list.push_back(fading_rect(i, static_cast<std::uint64_t>(i), 5000));

    ShapeDrawing degenerate = pressed(TemporaryShapeKind::Rectangle, {0, 0});
    EXPECT_FALSE(commit_drawing(degenerate, list, 500, 5000));
    EXPECT_EQ(list.size(), 128u);  // nothing dropped for a shape that is not kept

    ShapeDrawing d = pressed(TemporaryShapeKind::Rectangle, {1000, 1000});
    update_drawing(d, {1010, 1010}, false, false, kShapeColour);
    ASSERT_TRUE(commit_drawing(d, list, 500, 5000));
    ASSERT_EQ(list.size(), 128u);
    EXPECT_DOUBLE_EQ(list.front().shape.as<shape::Rectangle>()->box.min.x, 1);
    EXPECT_DOUBLE_EQ(list[126].shape.as<shape::Rectangle>()->box.min.x, 127);
    EXPECT_DOUBLE_EQ(list.back().shape.as<shape::Rectangle>()->box.min.x, 1000);
}

TEST(PresentationShapeCommit, EndingTheDrawingMidDragLosesTheShape) {
    std::vector<FadingShape> list;
    ShapeDrawing d = pressed(TemporaryShapeKind::Rectangle, {0, 0});
    update_drawing(d, {80, 60}, false, false, kShapeColour);
    ASSERT_TRUE(d.shape.has_value());
    end_drawing(d);
    EXPECT_FALSE(d.active());
    EXPECT_FALSE(d.shape.has_value());
    // The button-up that follows finds no drawing and adds nothing.
    update_drawing(d, {90, 70}, false, false, kShapeColour);
    EXPECT_FALSE(commit_drawing(d, list, 0, 1000));
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(canvas_needed(d, list));
}

TEST(PresentationShapeWheel, StepsByOneWithinOneToForty) {
    EXPECT_EQ(wheel_stroke_width(5, 120), 6u);
    EXPECT_EQ(wheel_stroke_width(5, -120), 4u);
    EXPECT_EQ(wheel_stroke_width(5, 1), 6u);  // fine-grained wheels still step
    EXPECT_EQ(wheel_stroke_width(5, -1), 4u);
    EXPECT_EQ(wheel_stroke_width(5, 0), 5u);
    EXPECT_EQ(wheel_stroke_width(40, 120), 40u);
    EXPECT_EQ(wheel_stroke_width(1, -120), 1u);
    EXPECT_EQ(wheel_stroke_width(39, 480), 40u);
    // Values from outside the range come back inside it.
    EXPECT_EQ(wheel_stroke_width(0, 120), 1u);
    EXPECT_EQ(wheel_stroke_width(0, -120), 1u);
    EXPECT_EQ(wheel_stroke_width(45, -120), 40u);
}

TEST(PresentationShapeWheel, TheShapeInProgressTakesTheNewWidthAtOnce) {
    std::uint32_t stored = 5;
    ShapeDrawing d = pressed(TemporaryShapeKind::Ellipse, {0, 0}, 144);
    update_drawing(d, {30, 40}, false, false, kShapeColour);
    EXPECT_DOUBLE_EQ(d.shape->width, 7.5);

    EXPECT_TRUE(wheel_drawing(d, stored, 120, 144));
    EXPECT_EQ(stored, 6u);
    EXPECT_DOUBLE_EQ(d.shape->width, 9.0);
    // Scale of the monitor under the cursor now.
    EXPECT_TRUE(wheel_drawing(d, stored, -120, 96));
    EXPECT_EQ(stored, 5u);
    EXPECT_DOUBLE_EQ(d.shape->width, 5.0);
    EXPECT_DOUBLE_EQ(d.width, 5.0);

    // At the limit nothing changes and nothing needs storing.
    std::uint32_t top = 40;
    EXPECT_FALSE(wheel_drawing(d, top, 120, 96));
    EXPECT_EQ(top, 40u);

    // Without a drawing the wheel belongs to the windows underneath.
    ShapeDrawing idle;
    std::uint32_t untouched = 5;
    EXPECT_FALSE(wheel_drawing(idle, untouched, 120, 96));
    EXPECT_EQ(untouched, 5u);
}

TEST(PresentationShapePaint, ArrowHeadIsCappedByArrowSizeAndShortArrows) {
    const auto short_arrow = arrow_outline({0, 0}, {20, 0}, 28);
    ASSERT_TRUE(short_arrow.has_value());
    EXPECT_DOUBLE_EQ(short_arrow->head_length, 9.0);  // 0.45 x 20
    const auto long_arrow = arrow_outline({0, 0}, {0, 300}, 28);
    ASSERT_TRUE(long_arrow.has_value());
    EXPECT_NEAR(long_arrow->head_length, 23.8, 1e-12);  // 0.85 x 28

    // Head: tip at the end, base centred 23.8 px back, half-width 0.45 x 23.8.
    EXPECT_EQ(long_arrow->shaft_start, (Point{0, 0}));
    EXPECT_NEAR(long_arrow->shaft_end.x, 0.0, 1e-12);
    EXPECT_NEAR(long_arrow->shaft_end.y, 300 - 23.8, 1e-12);
    EXPECT_NEAR(long_arrow->head[0].x, 0.0, 1e-12);
    EXPECT_NEAR(long_arrow->head[0].y, 300.0, 1e-12);
    const double half = 0.45 * 23.8;
    std::vector<double> base_x = {long_arrow->head[1].x, long_arrow->head[2].x};
    std::sort(base_x.begin(), base_x.end());
    EXPECT_NEAR(base_x[0], -half, 1e-12);
    EXPECT_NEAR(base_x[1], half, 1e-12);
    EXPECT_NEAR(long_arrow->head[1].y, 300 - 23.8, 1e-12);
    EXPECT_NEAR(long_arrow->head[2].y, 300 - 23.8, 1e-12);

    // A diagonal arrow's head lies along the arrow.
    const auto diagonal = arrow_outline({0, 0}, {30, 40}, 16);  // L = 50, H = 13.6
    ASSERT_TRUE(diagonal.has_value());
    EXPECT_NEAR(diagonal->shaft_end.x, 30 - 13.6 * 0.6, 1e-12);
    EXPECT_NEAR(diagonal->shaft_end.y, 40 - 13.6 * 0.8, 1e-12);
}

TEST(PresentationShapePaint, ArrowsShorterThanAThousandthOfAPixelDrawNothing) {
    EXPECT_FALSE(arrow_outline({5, 5}, {5, 5}, 28).has_value());
    EXPECT_FALSE(arrow_outline({5, 5}, {5.0009, 5}, 28).has_value());
    EXPECT_TRUE(arrow_outline({5, 5}, {5.0011, 5}, 28).has_value());
    EXPECT_FALSE(arrow_outline({5, 5}, {std::numeric_limits<double>::infinity(), 5}, 28).has_value());
}

TEST(PresentationShapePaint, RoundedCornersAndTheCanvasFill) {
    EXPECT_DOUBLE_EQ(rectangle_corner_radius({{0, 0}, {100, 100}}, 5), 8.0);
    EXPECT_DOUBLE_EQ(rectangle_corner_radius({{0, 0}, {100, 10}}, 5), 5.0);
    EXPECT_DOUBLE_EQ(rectangle_corner_radius({{0, 0}, {12, 100}}, 40), 6.0);

    ShapeDrawing d;
    std::vector<FadingShape> list;
    EXPECT_DOUBLE_EQ(canvas_background_alpha(d), 0.0);
    EXPECT_FALSE(canvas_needed(d, list));
    start_drawing(d, TemporaryShapeKind::Rectangle);
    EXPECT_DOUBLE_EQ(canvas_background_alpha(d), 1.0 / 255.0);
    EXPECT_TRUE(canvas_needed(d, list));
    end_drawing(d);
    list.push_back(fading_rect(0, 0, 1000));
    EXPECT_DOUBLE_EQ(canvas_background_alpha(d), 0.0);
    EXPECT_TRUE(canvas_needed(d, list));
}

TEST(PresentationShapeState, TurningEverythingOffForgetsShapesAndHalo) {
    PresentationState state(default_settings());
    state.features = state.applied = kFeaturePointerHalo | kFeatureTemporaryShapes;
    apply_button_flags(state.halo_buttons, kRawLeftDown, 10);
    state.fading_shapes.push_back(fading_rect(0, 0, 3000));
    state.drawing = pressed(TemporaryShapeKind::Arrow, {0, 0});
    update_drawing(state.drawing, {50, 0}, false, false, kShapeColour);

    state.turn_everything_off();
    EXPECT_EQ(state.features, 0u);
    EXPECT_EQ(state.applied, 0u);
    EXPECT_FALSE(state.drawing.active());
    EXPECT_FALSE(state.drawing.shape.has_value());
    EXPECT_TRUE(state.fading_shapes.empty());
    EXPECT_FALSE(state.halo_buttons.pressed());
    EXPECT_FALSE(halo_ring_running(state.halo_buttons, 11));
    EXPECT_EQ(state.settings, default_settings());
}
