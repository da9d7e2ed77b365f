// The pointer positions a freehand stroke would miss: the system folds queued
// moves into one while a repaint is slow, so a zig-zag would become a straight
// line. Its history of recent positions (newest first) gives them back.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kadrovix {

// Screen pixels and the move's message time.
struct MovePoint {
    int x = 0;
    int y = 0;
    std::uint32_t time = 0;
    friend bool operator==(const MovePoint&, const MovePoint&) = default;
};

inline constexpr std::uint32_t kMoveTimeSlackMs = 20;

// The positions the pointer passed after `since` and before `now`, oldest
// first, taken from `newest_first`. Empty when the history does not hold
// both (it is short, or the system lacks one): the move is then taken as it
// comes.
std::vector<MovePoint> missed_moves(std::span<const MovePoint> newest_first, const MovePoint& since,
                                    const MovePoint& now);

// The history's 16-bit coordinates back on a virtual screen that may reach
// left of or above the primary monitor.
int unwrap_history_coordinate(int value);

}  // namespace kadrovix
