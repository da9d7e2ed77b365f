#include "session/move_history.h"

#include <algorithm>

namespace kadrovix {

std::vector<MovePoint> missed_moves(std::span<const MovePoint> newest_first, const MovePoint& since,
                                    const MovePoint& now) {
    const auto at_now = std::find(newest_first.begin(), newest_first.end(), now);
    if (at_now == newest_first.end()) return {};
    // A button's own time can differ from the history's by a tick or two.
    const auto at_since = std::find_if(at_now + 1, newest_first.end(), [&](const MovePoint& p) {
        const std::uint32_t apart = p.time > since.time ? p.time - since.time : since.time - p.time;
        return p.x == since.x && p.y == since.y && apart <= kMoveTimeSlackMs;
    });
    if (at_since == newest_first.end()) return {};
    std::vector<MovePoint> missed(at_now + 1, at_since);
    std::reverse(missed.begin(), missed.end());
    return missed;
}

int unwrap_history_coordinate(int value) { return value > 32767 ? value - 65536 : value; }

}  // namespace kadrovix
