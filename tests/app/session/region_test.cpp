#include "session/region.h"

#include <gtest/gtest.h>

#include <limits>

#include "session_fixtures.h"

namespace kadrovix {
namespace {

using testing::editing_session;
using testing::fresh_session;
using testing::mouse_drag;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Region region(double l, double t, double r, double b) {
    return Region{{l, t, r, b}, true};
}

TEST(NewRegion, FollowsThePointerInAnyDirectionAndStartsEditing) {
    SessionState s = fresh_session();
    const PressDecision d = on_press(s, {}, {300, 200});
    ASSERT_EQ(d.target, PressTarget::NewRegion);
    carry_out_press(s, d, false, false);
    on_move(s, {}, {100, 50}, false, false);
    EXPECT_EQ(s.region, region(100, 50, 300, 200));
    EXPECT_TRUE(s.region_selection);  // still dragging
    on_move(s, {}, {400, 20}, false, false);
    EXPECT_EQ(s.region, region(300, 20, 400, 200));
    on_release(s, {});
    EXPECT_EQ(s.region, region(300, 20, 400, 200));
    EXPECT_FALSE(s.region_selection);
    EXPECT_FALSE(s.region_drag.active);
}

TEST(NewRegion, IsClampedToTheDesktop) {
    SessionState s = fresh_session();
    mouse_drag(s, {1800, 1000}, {{2500, 1300}});
    EXPECT_EQ(s.region, region(1800, 1000, 1920, 1080));

    s = fresh_session();
    mouse_drag(s, {40, 30}, {{-50, -20}});
    EXPECT_EQ(s.region, region(0, 0, 40, 30));

    // The pointer stops on the last column and row: that is the edge.
    s = fresh_session();
    mouse_drag(s, {500, 300}, {{1919, 1079}});
    EXPECT_EQ(s.region, region(500, 300, 1920, 1080));
    s = fresh_session();
    mouse_drag(s, {1919, 1079}, {{0, 0}});
    EXPECT_EQ(s.region, region(0, 0, 1920, 1080));
    s = fresh_session();
    mouse_drag(s, {500, 300}, {{1918, 1078}});
    EXPECT_EQ(s.region, region(500, 300, 1918, 1078));
}

TEST(NewRegion, HintWaitsForTheFirstMouseEventWhenTheCursorIsUnknown) {
    // A desktop whose origin is left of the primary monitor.
    const Desktop wide{-1920, 0, 3840, 1080};
    SessionState unknown = new_session(wide);
    apply_start_values(unknown, kInitialColour, 3.0, std::nullopt);
    EXPECT_FALSE(hint_visible(unknown));
    SessionState known = new_session(wide);
    apply_start_values(known, kInitialColour, 3.0, Point{-100.0, 40.0});
    EXPECT_EQ(known.pointer, (Point{1820.0, 40.0}));
    EXPECT_TRUE(hint_visible(known));
}

TEST(NewRegion, NeedsTwoByTwoPixels) {
    SessionState s = fresh_session();
    mouse_drag(s, {100, 100}, {{101, 150}});  // 1 x 50
    EXPECT_FALSE(s.region.exists);
    EXPECT_TRUE(s.region_selection);

    mouse_drag(s, {100, 100}, {{102, 101.9}});  // 2 x 1.9
    EXPECT_FALSE(s.region.exists);

    mouse_drag(s, {100, 100}, {{102, 102}});
    EXPECT_EQ(s.region, region(100, 100, 102, 102));
    EXPECT_FALSE(s.region_selection);
}

TEST(NewRegion, AClickWithoutMovementKeepsTheHint) {
    SessionState s = new_session(testing::kFullHd);
    EXPECT_FALSE(hint_visible(s));  // no mouse event yet: pointer at (-100, -100)
    s.pointer = {500, 500};
    EXPECT_TRUE(hint_visible(s));

    on_press(s, {}, {500, 500});
    carry_out_press(s, decide_press(s, {}), false, false);
    EXPECT_FALSE(hint_visible(s));  // a drag is running
    on_move(s, {}, {500, 500}, false, false);
    on_release(s, {});
    EXPECT_FALSE(s.region.exists);
    EXPECT_TRUE(s.region_selection);
    EXPECT_TRUE(hint_visible(s));
}

TEST(NewRegion, PointsThatAreNotNumbersLeaveNoRegionUntilTheNextRealOne) {
    SessionState s = fresh_session();
    carry_out_press(s, on_press(s, {}, {100, 100}), false, false);
    on_move(s, {}, {kNaN, 200}, false, false);
    EXPECT_FALSE(s.region.exists);
    on_move(s, {}, {300, 200}, false, false);
    EXPECT_EQ(s.region, region(100, 100, 300, 200));
}

TEST(RegionHandles, LowerNumberWinsWhenHandlesCrowd) {
    // 10 px wide: handles 0, 1, 2 are 5 px apart along the top edge.
    const Region r = region(100, 100, 110, 300);
    EXPECT_EQ(hit_handle(r, {104, 100}), 0);  // 4 px from 0, 1 px from 1
    EXPECT_EQ(hit_handle(r, {107, 100}), 0);  // 7 px from 0, 2 px from 1
    EXPECT_EQ(hit_handle(r, {109, 100}), 1);  // 9 px from 0
    EXPECT_EQ(hit_handle(r, {110, 295}), 4);
    EXPECT_EQ(hit_handle(r, {100, 200}), 7);
}

TEST(RegionHandles, HitAtEightPixelsAndNotBeyond) {
    const Region r = region(100, 100, 500, 400);
    EXPECT_EQ(hit_handle(r, {500, 258}), 3);
    EXPECT_EQ(hit_handle(r, {500, 258.001}), std::nullopt);
    EXPECT_EQ(hit_handle(r, {300, 250}), std::nullopt);
    EXPECT_EQ(hit_handle(Region{{100, 100, 500, 400}, false}, {100, 100}), std::nullopt);
}

TEST(RegionHandles, AnEdgeDraggedAcrossTheOppositeOneFlipsTheRegion) {
    SessionState s = editing_session(100, 100, 500, 400);
    const PressDecision d = on_press(s, {}, {500, 250});
    ASSERT_EQ(d.target, PressTarget::RegionHandle);
    EXPECT_EQ(d.handle, 3);
    carry_out_press(s, d, false, false);
    EXPECT_TRUE(s.region_selection);  // on while the handle is dragged

    on_move(s, {}, {50, 300}, false, false);
    EXPECT_EQ(s.region, region(50, 100, 100, 400));  // the right edge moves alone; y is ignored
    on_move(s, {}, {30, 0}, false, false);
    EXPECT_EQ(s.region, region(30, 100, 100, 400));  // the handle keeps following the pointer
    on_release(s, {});
    EXPECT_EQ(s.region, region(30, 100, 100, 400));
    EXPECT_FALSE(s.region_selection);
}

TEST(RegionHandles, CornersMoveTwoEdges) {
    SessionState s = editing_session(100, 100, 500, 400);
    mouse_drag(s, {100, 100}, {{150, 120}});
    EXPECT_EQ(s.region, region(150, 120, 500, 400));

    mouse_drag(s, {500, 400}, {{20, 10}});  // bottom-right past the top-left
    EXPECT_EQ(s.region, region(20, 10, 150, 120));

    mouse_drag(s, {85, 10}, {{85, 500}});  // top-centre handle below the bottom
    EXPECT_EQ(s.region, region(20, 120, 150, 500));
}

TEST(RegionHandles, ShrinkingBelowTwoPixelsRemovesTheRegion) {
    SessionState s = editing_session(100, 100, 500, 400);
    mouse_drag(s, {500, 250}, {{101, 250}});
    EXPECT_FALSE(s.region.exists);
    EXPECT_TRUE(s.region_selection);
}

TEST(RegionDragCancel, RestoresTheStartingRegion) {
    SessionState s = editing_session(100, 100, 500, 400);
    carry_out_press(s, on_press(s, {}, {500, 400}), false, false);
    on_move(s, {}, {900, 900}, false, false);
    ASSERT_TRUE(cancel_region_drag(s));
    EXPECT_EQ(s.region, region(100, 100, 500, 400));
    EXPECT_FALSE(s.region_selection);
    EXPECT_FALSE(s.region_drag.active);
    EXPECT_FALSE(cancel_region_drag(s));  // nothing left to cancel

    // A first region being dragged out: back to no region and the hint.
    SessionState first = fresh_session();
    carry_out_press(first, on_press(first, {}, {10, 10}), false, false);
    on_move(first, {}, {300, 300}, false, false);
    ASSERT_TRUE(cancel_region_drag(first));
    EXPECT_FALSE(first.region.exists);
    EXPECT_TRUE(first.region_selection);
    EXPECT_TRUE(hint_visible(first));
}

TEST(Hint, SitsBelowRightOfThePointer) {
    const Rect monitor{{0, 0}, {1920, 1080}};
    const Rect box = hint_box(100, {500, 500}, monitor);
    EXPECT_EQ(box, (Rect{{520, 520}, {640, 568}}));
}

TEST(Hint, FlipsNearTheMonitorsBottomRightCorner) {
    const Rect monitor{{0, 0}, {1920, 1080}};
    const Rect box = hint_box(100, {1900, 1070}, monitor);
    EXPECT_EQ(box, (Rect{{1760, 1002}, {1880, 1050}}));
    // Exactly fitting with the 4 px margin does not flip yet.
    EXPECT_EQ(hint_box(100, {1776, 1008}, monitor).min, (Point{1796, 1028}));
}

TEST(Hint, NeverCrossesOntoANeighbouringMonitor) {
    // Two monitors side by side; the pointer near the right edge of the left one.
    const Rect left{{0, 0}, {1920, 1080}};
    const Rect box = hint_box(100, {1850, 100}, left);
    EXPECT_LE(box.max.x, 1916);
    EXPECT_EQ(box.min.x, 1710);

    // A narrow monitor where neither side fits: held inside it, 4 px from its edge.
    const Rect narrow{{1920, 0}, {2200, 1080}};
    const Rect squeezed = hint_box(180, {2050, 100}, narrow);
    EXPECT_EQ(squeezed.min.x, 1924);
    EXPECT_EQ(squeezed.max.x, 2124);

    // A monitor smaller than the box: it starts at the monitor's edge.
    const Rect tiny{{1920, 0}, {2020, 40}};
    const Rect over = hint_box(100, {1930, 10}, tiny);
    EXPECT_EQ(over.min, (Point{1920, 0}));
}

TEST(Hint, MonitorsAreExpressedInDesktopPixels) {
    // A monitor left of the primary puts the desktop's origin at x = -1920.
    const Desktop desktop{-1920, 0, 3840, 1080};
    EXPECT_EQ(to_screen(desktop, {100, 50}), (Point{-1820, 50}));
    EXPECT_EQ(to_desktop(desktop, Rect{{0, 0}, {1920, 1080}}), (Rect{{1920, 0}, {3840, 1080}}));
}

}  // namespace
}  // namespace kadrovix
