// Grabs of a desktop that is still repainting: settled when two agree, and
// bounded when it never settles.
#include "render/settled_grab.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace kadrovix {
namespace {

struct Picture {
    std::vector<int> pixels;
};

TEST(SettledGrab, StopsAtTheFirstTwoEqualGrabsAndWithinItsBoundsOtherwise) {
    // The desktop repaints twice, then holds still.
    std::vector<int> frames{1, 2, 3, 3, 3};
    std::size_t taken = 0;
    std::uint64_t clock = 0;
    const auto grab = [&] {
        const int frame = frames[std::min(taken, frames.size() - 1)];
        ++taken;
        return std::optional<Picture>(Picture{{frame, frame}});
    };
    auto result = settled_grab(grab, [&] { return clock; }, [&] { clock += 20; }, SettleLimits{6, 250});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->pixels, (std::vector<int>{3, 3}));
    EXPECT_EQ(taken, 4u);

    // Never still: at most max_grabs grabs, and the last one whole.
    frames = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    taken = 0;
    result = settled_grab(grab, [&] { return clock; }, [&] { clock += 1; }, SettleLimits{5, 250});
    EXPECT_EQ(taken, 5u);
    EXPECT_EQ(result->pixels, (std::vector<int>{5, 5}));

    // Slow grabs: the time budget ends it first.
    taken = 0;
    result = settled_grab(grab, [&] { return clock; }, [&] { clock += 100; }, SettleLimits{50, 250});
    EXPECT_EQ(taken, 4u);

    // A failed grab is the answer.
    int calls = 0;
    const auto failing = [&] { return ++calls == 2 ? std::optional<Picture>() : std::optional<Picture>(Picture{{calls}}); };
    EXPECT_FALSE(settled_grab(failing, [&] { return clock; }, [] {}, SettleLimits{}).has_value());
}

}  // namespace
}  // namespace kadrovix
