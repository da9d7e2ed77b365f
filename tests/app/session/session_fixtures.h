// Sessions in a known state, and the mouse sequence the editor window runs,
// so session tests read as what the user does.
#pragma once

#include <initializer_list>

#include "session/input.h"
#include "session/parts.h"
#include "session/region.h"
#include "session/session_state.h"

namespace kadrovix::testing {

inline constexpr Desktop kFullHd{0, 0, 1920, 1080};

// A new session whose pointer has been seen at (960, 540).
inline SessionState fresh_session(Desktop desktop = kFullHd) {
    SessionState s = new_session(desktop);
    s.pointer = Point{960.0, 540.0};
    return s;
}

// Editing mode with the region l, t, r, b.
inline SessionState editing_session(double l, double t, double r, double b, Desktop desktop = kFullHd) {
    SessionState s = fresh_session(desktop);
    s.region = Region{{l, t, r, b}, true};
    s.region_selection = false;
    return s;
}

// Left button down at `from`, through every point of `path`, up at the last
// one (or at `from` for an empty path), as the window would run it.
inline PressDecision mouse_drag(SessionState& s, Point from, std::initializer_list<Point> path, bool shift = false,
                                bool alt = false, const PartsView& parts = {}) {
    const PressDecision d = on_press(s, parts, from);
    carry_out_press(s, d, shift, alt);
    Point last = from;
    for (const Point p : path) {
        on_move(s, parts, p, shift, alt);
        last = p;
    }
    on_move(s, parts, last, shift, alt);  // the final move to the release point
    on_release(s, parts);
    return d;
}

}  // namespace kadrovix::testing
