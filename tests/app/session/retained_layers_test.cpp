#include "session/retained_layers.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

using testing::make_arrow;
using testing::make_rect;

TEST(RetainedLayers, TheLayerHoldsOnlyUnchangedObjectsWhoseArrowsPointInside) {
    // 0 rect, 1 arrow attached to 3, 2 rect, 3 rect, 4 arrow attached to 0.
    const std::vector<Annotation> objects{make_rect(1, Rect{{0, 0}, {10, 10}}),
                                          make_arrow(2, {50, 50}, {5, 5}, std::nullopt, Attachment{1, 1, 4}),
                                          make_rect(3, Rect{{20, 20}, {30, 30}}), make_rect(4, Rect{{40, 40}, {60, 60}}),
                                          make_arrow(5, {70, 70}, {2, 2}, Attachment{0, 0, 1})};
    // The arrow at 1 depends on the object at 3: a layer of 1 to 3 objects
    // would keep a stale arrow when that object moves.
    EXPECT_EQ(self_contained_prefix(objects, 5), 5u);
    EXPECT_EQ(self_contained_prefix(objects, 4), 4u);
    EXPECT_EQ(self_contained_prefix(objects, 3), 1u);
    EXPECT_EQ(self_contained_prefix(objects, 99), 5u);

    // An arrow whose object was deleted stays out: an undo may bring it back.
    const std::vector<Annotation> orphan{make_rect(1, Rect{{0, 0}, {10, 10}}),
                                         make_arrow(2, {50, 50}, {5, 5}, Attachment{1, 1, 9})};
    EXPECT_EQ(self_contained_prefix(orphan, 2), 1u);

    // A gesture moving the object at 2 leaves the two before it unchanged.
    std::vector<Annotation> moved = objects;
    moved[2] = make_rect(3, Rect{{25, 20}, {35, 30}});
    EXPECT_EQ(unchanged_prefix(objects, moved), 2u);
    moved = objects;
    moved.push_back(make_rect(6, Rect{{1, 1}, {2, 2}}));  // a shape being drawn
    EXPECT_EQ(unchanged_prefix(objects, moved), 5u);
}

}  // namespace
}  // namespace kadrovix
