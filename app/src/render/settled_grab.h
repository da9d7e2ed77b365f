// A grab of a desktop that is still repainting: taken again until two grabs
// in a row agree, within a number of grabs and a time budget, so that a
// desktop that never settles (a video playing) costs a bounded wait. The
// result is always one whole grab as taken, never a mix.
#pragma once

#include <cstdint>
#include <utility>

namespace kadrovix {

struct SettleLimits {
    int max_grabs = 6;
    std::uint64_t budget_ms = 250;
};

// `grab()` gives an expected image (anything with `pixels`), `now_ms()` a
// monotonic clock and `pause()` waits between grabs. A failed grab ends it
// with that failure.
template <class Grab, class Clock, class Pause>
auto settled_grab(Grab&& grab, Clock&& now_ms, Pause&& pause, SettleLimits limits) -> decltype(grab()) {
    const std::uint64_t start = now_ms();
    auto last = grab();
    for (int taken = 1; last && taken < limits.max_grabs && now_ms() - start < limits.budget_ms; ++taken) {
        pause();
        auto again = grab();
        if (!again) return again;
        const bool settled = again->pixels == last->pixels;
        last = std::move(again);
        if (settled) break;
    }
    return last;
}

}  // namespace kadrovix
