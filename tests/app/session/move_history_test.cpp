// Recovering the positions a slow repaint folded away.
#include "session/move_history.h"

#include <gtest/gtest.h>

#include <vector>

namespace kadrovix {
namespace {

TEST(MoveHistory, GivesBackThePointsBetweenTheLastMoveAndThisOneOldestFirst) {
    // A zig-zag, newest first: one move after this one is already in the history.
    const std::vector<MovePoint> history{{90, 10, 108}, {80, 40, 107}, {70, 10, 106}, {60, 40, 105},
                                         {50, 10, 104}, {40, 40, 103}, {30, 10, 102}};
    const MovePoint since{40, 40, 103};
    const MovePoint now{80, 40, 107};
    EXPECT_EQ(missed_moves(history, since, now), (std::vector<MovePoint>{{50, 10, 104}, {60, 40, 105}, {70, 10, 106}}));
    // Nothing in between, or a history that no longer reaches back: nothing.
    EXPECT_TRUE(missed_moves(history, {70, 10, 106}, now).empty());
    EXPECT_TRUE(missed_moves(history, {1, 1, 50}, now).empty());
    EXPECT_TRUE(missed_moves(history, since, {5, 5, 200}).empty());
    // A press's own time may be a tick off the history's; the same place
    // much earlier is another point.
    EXPECT_EQ(missed_moves(history, {40, 40, 102}, now).size(), 3u);
    EXPECT_TRUE(missed_moves(history, {40, 40, 60}, now).empty());

    EXPECT_EQ(unwrap_history_coordinate(65535), -1);
    EXPECT_EQ(unwrap_history_coordinate(1919), 1919);
}

}  // namespace
}  // namespace kadrovix
