#include "session/overlay_look.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "render/paint_bounds.h"
#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

using testing::make_arrow;
using testing::make_rect;

constexpr Desktop kDesktop{0, 0, 1000, 800};

bool covers(const std::vector<PixelBox>& boxes, const Rect& r) {
    for (const PixelBox& b : boxes) {
        if (b.left <= r.min.x && b.top <= r.min.y && b.right >= r.max.x && b.bottom >= r.max.y) return true;
    }
    return false;
}

std::int64_t covered(const std::vector<PixelBox>& boxes) {
    std::int64_t sum = 0;
    for (const PixelBox& b : boxes) sum += std::int64_t{b.right - b.left} * (b.bottom - b.top);
    return sum;
}

OverlayLook framed(std::vector<Annotation> objects) {
    OverlayLook look;
    look.desktop = kDesktop;
    look.region = Region{{10, 10, 990, 790}, true};
    look.objects = std::move(objects);
    return look;
}

TEST(OverlayLook, AChangeRepaintsWhereThingsWereAndAreAndLittleElse) {
    // A rectangle dragged across: its old and new place, two small boxes.
    const OverlayLook before = framed({make_rect(1, Rect{{100, 100}, {150, 150}}, 10.0)});
    OverlayLook after = framed({make_rect(1, Rect{{700, 500}, {750, 550}}, 10.0)});
    DirtyArea area;
    add_changes(area, before, after);
    std::vector<PixelBox> boxes = area.boxes(kDesktop);
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(covers(boxes, paint_bounds(before.objects[0], before.objects)));
    EXPECT_TRUE(covers(boxes, paint_bounds(after.objects[0], after.objects)));
    // The pen's corners and antialiasing lie inside.
    EXPECT_TRUE(covers(boxes, Rect{{92, 92}, {158, 158}}));
    EXPECT_LT(covered(boxes), 2 * 80 * 80);

    // Nothing changed, nothing to repaint; a tooltip fading repaints its box only.
    DirtyArea none;
    add_changes(none, after, after);
    EXPECT_TRUE(none.empty());
    OverlayLook fading = after;
    fading.tooltips.push_back(
        {ToolbarRect{600, 700, 680, 725}, TooltipShown{ToolbarRect{590, 660, 620, 690}, "Undo", 0.5}});
    OverlayLook faded = fading;
    faded.tooltips[0].shown.opacity = 0.25;
    DirtyArea tip;
    add_changes(tip, fading, faded);
    boxes = tip.boxes(kDesktop);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(covers(boxes, Rect{{600, 700}, {680, 725}}));
    EXPECT_LT(covered(boxes), 90 * 35);

    // An arrow attached to the rectangle moves with it though its own value
    // does not change.
    const Annotation arrow = make_arrow(2, {400, 400}, {0, 0}, std::nullopt, Attachment{0, 0, 1});
    DirtyArea attached;
    add_object_changes(attached, std::vector<Annotation>{before.objects[0], arrow},
                       std::vector<Annotation>{after.objects[0], arrow});
    boxes = attached.boxes(kDesktop);
    EXPECT_TRUE(covers(boxes, Rect{{125, 125}, {400, 400}}));
    EXPECT_TRUE(covers(boxes, Rect{{400, 400}, {725, 525}}));

    // A new picture, region or open editor repaints everything.
    OverlayLook moved_region = after;
    moved_region.region.left = 11;
    OverlayLook editing = after;
    editing.open_editor = true;
    for (const OverlayLook* other : {&moved_region, &editing}) {
        DirtyArea all;
        add_changes(all, after, *other);
        EXPECT_EQ(all.boxes(kDesktop), (std::vector<PixelBox>{{0, 0, 1000, 800}}));
    }
}

TEST(OverlayLook, BoxesAreFewOnTheDesktopAndWholeWhenMostIsCovered) {
    DirtyArea area;
    // Two boxes side by side cost less as one; off-desktop parts and
    // degenerate rectangles go.
    area.add(Rect{{-50, -50}, {20, 20}});
    area.add(Rect{{20, 0}, {40, 20}});
    area.add(Rect{{500, 500}, {500, 600}});
    area.add(Rect{{std::numeric_limits<double>::quiet_NaN(), 0}, {10, 10}});
    EXPECT_EQ(area.boxes(kDesktop), (std::vector<PixelBox>{{0, 0, 40, 20}}));

    // Many small boxes far apart: at most four, all still covered.
    DirtyArea scattered;
    std::vector<Rect> parts;
    for (int i = 0; i < 9; ++i) {
        parts.push_back(Rect{{i * 100.0 + 5.5, (i % 3) * 250.0}, {i * 100.0 + 30.0, (i % 3) * 250.0 + 20.0}});
        scattered.add(parts.back());
    }
    const std::vector<PixelBox> boxes = scattered.boxes(kDesktop);
    EXPECT_LE(boxes.size(), DirtyArea::kMaxBoxes);
    for (const Rect& r : parts) EXPECT_TRUE(covers(boxes, r));

    // Most of the desktop: the whole of it, one frame.
    DirtyArea most;
    most.add(Rect{{0, 0}, {1000, 300}});
    most.add(Rect{{0, 500}, {1000, 800}});
    EXPECT_EQ(most.boxes(kDesktop), (std::vector<PixelBox>{{0, 0, 1000, 800}}));
}

}  // namespace
}  // namespace kadrovix
