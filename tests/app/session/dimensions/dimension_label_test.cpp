// Where the dimension label, its fields and its hint or error box go, and
// what the label shows, on large and small desktops.
#include "session/dimensions/dimension_label.h"
#include "toolbar/toolbar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/session/session_fixtures.h"

namespace kadrovix::dimensions {
namespace {

using kadrovix::testing::editing_session;
using kadrovix::testing::kFullHd;

Rect rect(double l, double t, double r, double b) { return Rect{Point{l, t}, Point{r, b}}; }

void expect_rect(const Rect& got, const Rect& want) {
    EXPECT_DOUBLE_EQ(got.min.x, want.min.x);
    EXPECT_DOUBLE_EQ(got.min.y, want.min.y);
    EXPECT_DOUBLE_EQ(got.max.x, want.max.x);
    EXPECT_DOUBLE_EQ(got.max.y, want.max.y);
}

TEST(DimensionLabel, SitsAboveTheRegionWithItsRightEdgeOnTheRegionsRightEdge) {
    const auto box = label_box(Region{{100, 200, 900, 700}, true}, kFullHd);
    ASSERT_TRUE(box.has_value());
    expect_rect(*box, rect(748, 168, 900, 194));  // 6 px above the region's top
    // A fractional region moves the label by the same fraction.
    const auto shifted = label_box(Region{{100, 200.5, 900.25, 700}, true}, kFullHd);
    ASSERT_TRUE(shifted.has_value());
    expect_rect(*shifted, rect(748.25, 168.5, 900.25, 194.5));
    EXPECT_FALSE(label_box(Region{}, kFullHd).has_value());
}

TEST(DimensionLabel, StaysInsideTheDesktopAtItsEdges) {
    // Region at the top: the label cannot go above the desktop and overlaps the region.
    expect_rect(*label_box(Region{{300, 10, 800, 400}, true}, kFullHd), rect(648, 0, 800, 26));
    // Narrow region at the left edge: the label starts at 0, past the region's right edge.
    expect_rect(*label_box(Region{{0, 500, 100, 600}, true}, kFullHd), rect(0, 468, 152, 494));
    // Region in the bottom-right corner.
    expect_rect(*label_box(Region{{1800, 1070, 1920, 1080}, true}, kFullHd), rect(1768, 1038, 1920, 1064));
    // A region beyond the far edges (not made by dragging) still gets a label on the desktop.
    expect_rect(*label_box(Region{{2500, 3000, 3000, 3500}, true}, kFullHd), rect(1768, 1054, 1920, 1080));
    // Corners that are not numbers put the label at the origin.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    expect_rect(*label_box(Region{{nan, nan, nan, nan}, true}, kFullHd), rect(0, 0, 152, 26));
}

TEST(DimensionLabel, NeverLiesOnAToolbarPanel) {
    // Down to the desktop's bottom the actions panel goes above the region,
    // where the label usually sits; so do regions covering the desktop.
    for (const Region r : {Region{{500, 300, 1920, 1080}, true}, Region{{0, 0, 1920, 1080}, true},
                           Region{{1700, 40, 1920, 1080}, true}}) {
        SessionState s = testing::editing_session(r.left, r.top, r.right, r.bottom);
        const std::optional<Rect> label = label_box(s);
        ASSERT_TRUE(label.has_value());
        const ToolbarLayout layout = layout_toolbar(toolbar_input(s));
        const Rect usual = *label_box(s.region, s.desktop);
        if (r.left == 500) {
            EXPECT_TRUE(over_toolbar(layout, Point{usual.max.x - 20, usual.min.y + 10})) << "the case to mend";
        }
        for (const Point p : {label->min, label->max, Point{(label->min.x + label->max.x) / 2, (label->min.y + label->max.y) / 2}}) {
            EXPECT_FALSE(over_toolbar(layout, p)) << r.left << "," << r.top << " at " << p.x << "," << p.y;
        }
        s.pointer = Point{label->min.x + 10, label->min.y + 10};
        EXPECT_TRUE(label_hovered(s));
    }
    // Where nothing is in the way it keeps its usual place.
    const SessionState s = testing::editing_session(400, 300, 800, 600);
    EXPECT_EQ(label_box(s), label_box(s.region, s.desktop));
}

TEST(DimensionLabel, ShrinksToADesktopSmallerThanItself) {
    const Desktop tiny{0, 0, 100, 20};
    expect_rect(*label_box(Region{{10, 5, 90, 18}, true}, tiny), rect(0, 0, 100, 20));
    const Desktop narrow{0, 0, 150, 900};
    expect_rect(*label_box(Region{{10, 300, 140, 500}, true}, narrow), rect(0, 268, 150, 294));
    const Desktop low{0, 0, 800, 25};
    expect_rect(*label_box(Region{{400, 2, 700, 20}, true}, low), rect(548, 0, 700, 25));
}

TEST(DimensionLabel, TextTruncatesEachSideTowardZeroAndClampsToInt32) {
    EXPECT_EQ(label_text(Region{{100, 200, 900, 700}, true}), "800 × 500");
    EXPECT_EQ(label_text(Region{{100.7, 0, 900.2, 600.9}, true}), "799 × 600");
    EXPECT_EQ(label_text(Region{{0, 0, 2, 2}, true}), "2 × 2");
    EXPECT_EQ(label_text(Region{{0, 0, 1e12, 5e9}, true}), "2147483647 × 2147483647");
    EXPECT_EQ(label_text(Region{{10, 0, 9.5, -1e12}, true}), "0 × -2147483648");
}

TEST(DimensionLabel, FieldsShareTheLabelAroundTheTimesSign) {
    const FieldBoxes full = field_boxes(rect(748, 168, 900, 194));
    expect_rect(full.width, rect(752, 171, 817, 191));    // fw 65
    expect_rect(full.height, rect(831, 171, 896, 191));   // 14 px gap after the width field
    EXPECT_DOUBLE_EQ(full.times_sign.x, 820.0);           // middle of the label - 4
    EXPECT_DOUBLE_EQ(full.times_sign.y, 172.0);
    EXPECT_LT(full.width.max.x, full.times_sign.x);
    EXPECT_GT(full.height.min.x, full.times_sign.x);
    EXPECT_LE(full.height.max.x, 900.0);

    // Small labels: fw = max(1, truncated (width - 22) / 2).
    EXPECT_DOUBLE_EQ(field_boxes(rect(0, 0, 31, 20)).width.max.x, 4.0 + 4.0);  // (31-22)/2 = 4.5 -> 4
    EXPECT_DOUBLE_EQ(field_boxes(rect(0, 0, 23, 20)).width.max.x, 4.0 + 1.0);  // 0.5 -> 0 -> 1
    const FieldBoxes tiny = field_boxes(rect(0, 0, 10, 20));                   // negative -> 1
    EXPECT_DOUBLE_EQ(tiny.width.max.x - tiny.width.min.x, 1.0);
    EXPECT_DOUBLE_EQ(tiny.height.min.x, 4.0 + 1.0 + 14.0);
}

TEST(DimensionLabel, PressPicksAFieldByTheLabelsMiddle) {
    const Rect label = rect(748, 168, 900, 194);
    EXPECT_EQ(field_at(label, 748), Field::Width);
    EXPECT_EQ(field_at(label, 823.9), Field::Width);
    EXPECT_EQ(field_at(label, 824), Field::Height);
    EXPECT_EQ(field_at(label, 899), Field::Height);
}

TEST(DimensionLabel, MessageBoxGoesBelowTheLabelAndStaysOnTheDesktop) {
    expect_rect(message_box(rect(748, 168, 900, 194), kFullHd), rect(748, 198, 1208, 246));
    // Right edge: moved left so that its 460 px fit.
    expect_rect(message_box(rect(1768, 500, 1920, 526), kFullHd), rect(1460, 530, 1920, 578));
    // Bottom edge: lifted to the desktop's last 48 rows, over the label.
    expect_rect(message_box(rect(1000, 1048, 1152, 1074), kFullHd), rect(1000, 1032, 1460, 1080));
    // A desktop narrower than the box: as wide as the desktop, at its left.
    expect_rect(message_box(rect(0, 100, 152, 126), Desktop{0, 0, 300, 600}), rect(0, 130, 300, 178));
    // A desktop lower than the box: at its top.
    expect_rect(message_box(rect(0, 0, 152, 26), Desktop{0, 0, 800, 40}), rect(0, 0, 460, 48));
}

TEST(DimensionLabel, PaintShowsTheSizeAndTheHintOnlyWhileHovered) {
    SessionState s = editing_session(100, 200, 900, 700);
    s.pointer = Point{500, 500};  // inside the region, off the label
    auto paint = label_paint(s, false, std::nullopt);
    ASSERT_TRUE(paint.has_value());
    EXPECT_EQ(paint->text, "800 × 500");
    EXPECT_EQ(paint->fill, kLabelFill);
    EXPECT_FALSE(paint->message.has_value());

    s.pointer = Point{760, 180};  // on the label
    paint = label_paint(s, false, std::nullopt);
    EXPECT_EQ(paint->fill, kLabelHoverFill);
    ASSERT_TRUE(paint->message.has_value());
    EXPECT_EQ(paint->message->text, "Edit dimensions · expressions: 800+20, 1920/2");
    EXPECT_EQ(paint->message->colour, kHintColour);
    expect_rect(paint->message->box, rect(748, 198, 1208, 246));

    // Its far edges are not the label's: the pointer at (900, 194) is outside.
    s.pointer = Point{900, 194};
    EXPECT_FALSE(label_paint(s, false, std::nullopt)->message.has_value());

    // While the region is being selected (a handle drag), no hover.
    s.pointer = Point{760, 180};
    s.region_selection = true;
    paint = label_paint(s, false, std::nullopt);
    EXPECT_EQ(paint->fill, kLabelFill);
    EXPECT_FALSE(paint->message.has_value());

    SessionState none = kadrovix::testing::fresh_session();
    EXPECT_FALSE(label_paint(none, false, std::nullopt).has_value());
}

TEST(DimensionLabel, OpenEditorShowsFieldsAndOnlyAnErrorBelow) {
    SessionState s = editing_session(100, 200, 900, 700);
    s.pointer = Point{760, 180};  // hovered: the hint is not shown while open
    auto paint = label_paint(s, true, std::nullopt);
    ASSERT_TRUE(paint.has_value());
    EXPECT_TRUE(paint->editor_open);
    EXPECT_TRUE(paint->text.empty());
    EXPECT_FALSE(paint->message.has_value());
    expect_rect(paint->fields.width, rect(752, 171, 817, 191));
    EXPECT_EQ(paint->fill, kLabelHoverFill);

    paint = label_paint(s, true, std::string("bad"));
    ASSERT_TRUE(paint->message.has_value());
    EXPECT_EQ(paint->message->text, "bad");
    EXPECT_EQ(paint->message->colour, kErrorColour);
    expect_rect(paint->message->box, rect(748, 198, 1208, 246));
}

}  // namespace
}  // namespace kadrovix::dimensions
