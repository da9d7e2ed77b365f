#include "session/io/field_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace kadrovix {
namespace {

// "ab\r\ncd": two lines 20 high; a is 10 wide, b 12, c 10, d 8. The line
// break is one cluster of two code units that takes no room.
const std::vector<LayoutLine> kTwoLines{{4, 2, 20}, {2, 0, 20}};
const std::vector<LayoutCluster> kTwoLineClusters{{1, 10}, {1, 12}, {2, 0, true}, {1, 10}, {1, 8}};

void expect_place(const CaretPlace& got, double x, double top, double height) {
    EXPECT_DOUBLE_EQ(got.x, x);
    EXPECT_DOUBLE_EQ(got.top, top);
    EXPECT_DOUBLE_EQ(got.height, height);
}

TEST(FieldGeometry, CaretPlacesAlongAndAcrossLines) {
    expect_place(caret_place(kTwoLines, kTwoLineClusters, 0), 0, 0, 20);
    expect_place(caret_place(kTwoLines, kTwoLineClusters, 1), 10, 0, 20);
    expect_place(caret_place(kTwoLines, kTwoLineClusters, 2), 22, 0, 20);  // before the break
    expect_place(caret_place(kTwoLines, kTwoLineClusters, 3), 22, 0, 20);  // inside it: still the first line
    expect_place(caret_place(kTwoLines, kTwoLineClusters, 4), 0, 20, 20);  // the second line's start
    expect_place(caret_place(kTwoLines, kTwoLineClusters, 6), 18, 20, 20);
    expect_place(caret_place(kTwoLines, kTwoLineClusters, 99), 18, 20, 20);  // past the end: the end
    expect_place(caret_place({}, {}, 0), 0, 0, 0);
}

TEST(FieldGeometry, AfterAFinalBreakTheCaretStandsOnANewLine) {
    // "ab\r\n" with and without the empty last line a layout may report.
    const std::vector<LayoutCluster> clusters{{1, 10}, {1, 12}, {2, 0, true}};
    expect_place(caret_place(std::vector<LayoutLine>{{4, 2, 20}}, clusters, 4), 0, 20, 20);
    expect_place(caret_place(std::vector<LayoutLine>{{4, 2, 20}, {0, 0, 20}}, clusters, 4), 0, 20, 20);
    EXPECT_EQ(position_at(std::vector<LayoutLine>{{4, 2, 20}}, clusters, 30, 25).index, 4u);
    EXPECT_EQ(position_at(std::vector<LayoutLine>{{4, 2, 20}, {0, 0, 20}}, clusters, 30, 25).index, 4u);
}

TEST(FieldGeometry, APositionInsideAClusterStandsAtItsStart) {
    // "x", a surrogate pair, "y".
    const std::vector<LayoutLine> line{{4, 0, 20}};
    const std::vector<LayoutCluster> clusters{{1, 10}, {2, 20}, {1, 10}};
    expect_place(caret_place(line, clusters, 2), 10, 0, 20);
    expect_place(caret_place(line, clusters, 3), 30, 0, 20);
    EXPECT_EQ(position_at(line, clusters, 25, 5).index, 3u);  // right half of the pair
    EXPECT_EQ(position_at(line, clusters, 15, 5).index, 1u);  // left half
}

TEST(FieldGeometry, PointsFindTheNearestBoundaryOnTheirLine) {
    EXPECT_EQ(position_at(kTwoLines, kTwoLineClusters, 4, 5).index, 0u);
    EXPECT_EQ(position_at(kTwoLines, kTwoLineClusters, 6, 5).index, 1u);
    EXPECT_EQ(position_at(kTwoLines, kTwoLineClusters, 17, 5).index, 2u);
    // Right of the first line's end: its end, not past the break.
    EXPECT_EQ(position_at(kTwoLines, kTwoLineClusters, 100, 5).index, 2u);
    EXPECT_EQ(position_at(kTwoLines, kTwoLineClusters, 3, 25).index, 4u);
    EXPECT_EQ(position_at(kTwoLines, kTwoLineClusters, 100, 25).index, 6u);
    // Above and below all lines: the first and the last.
    EXPECT_EQ(position_at(kTwoLines, kTwoLineClusters, 12, -30).index, 1u);
    EXPECT_EQ(position_at(kTwoLines, kTwoLineClusters, 12, 300).index, 5u);
}

TEST(FieldGeometry, OnlyPointsOnTheTextAreInside) {
    EXPECT_TRUE(position_at(kTwoLines, kTwoLineClusters, 4, 5).inside);
    EXPECT_TRUE(position_at(kTwoLines, kTwoLineClusters, 17, 35).inside);
    EXPECT_FALSE(position_at(kTwoLines, kTwoLineClusters, 21, 35).inside);  // past "cd"
    EXPECT_FALSE(position_at(kTwoLines, kTwoLineClusters, -1, 5).inside);
    EXPECT_FALSE(position_at(kTwoLines, kTwoLineClusters, 4, 41).inside);
}

TEST(FieldGeometry, ARangeGivesOneRectanglePerLine) {
    // From "b" to "c", across the break: the break shows as a sliver.
    const std::vector<Rect> rects = range_rects(kTwoLines, kTwoLineClusters, 1, 5, 5.0);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0], (Rect{{10, 0}, {27, 20}}));
    EXPECT_EQ(rects[1], (Rect{{0, 20}, {10, 40}}));
    // Within a line, no sliver.
    const std::vector<Rect> first = range_rects(kTwoLines, kTwoLineClusters, 0, 2, 5.0);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], (Rect{{0, 0}, {22, 20}}));
    EXPECT_TRUE(range_rects(kTwoLines, kTwoLineClusters, 3, 3, 5.0).empty());
    EXPECT_TRUE(range_rects(kTwoLines, kTwoLineClusters, 5, 2, 5.0).empty());
}

}  // namespace
}  // namespace kadrovix
