#include "render/screen_geometry.h"

#include <gtest/gtest.h>

using namespace kadrovix;

TEST(ScreenGeometry, RegrabNeedsTheSameDisplayLayout) {
    const ScreenGeometry before{3840, 1080, -1920, 0};
    EXPECT_TRUE(check_same_display(before, before).has_value());

    // Any one of the four values changing means monitors were added, removed,
    // moved or resized.
    const ScreenGeometry changed[] = {
        {1920, 1080, -1920, 0},  // narrower: a monitor unplugged
        {3840, 1200, -1920, 0},  // taller
        {3840, 1080, 0, 0},      // the left monitor moved to the right
        {3840, 1080, -1920, -120},
    };
    for (const ScreenGeometry& now : changed) {
        auto r = check_same_display(before, now);
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().code, kErrorFail);
        EXPECT_EQ(r.error().message, "Display configuration changed. Start a new capture.");
    }
}

TEST(ScreenGeometry, TakenFromTheImage) {
    BgraImage image;
    image.width = 7;
    image.height = 5;
    image.origin_x = -7;
    image.origin_y = 3;
    EXPECT_EQ(geometry_of(image), (ScreenGeometry{7, 5, -7, 3}));
}
