#include "render/screen_geometry.h"

#include <gtest/gtest.h>

using namespace kadrovix;

TEST(ScreenGeometry, RegrabNeedsTheSameDisplayLayout) {
    const Desktop before{-1920, 0, 3840, 1080};
    EXPECT_TRUE(check_same_display(before, before).has_value());

    // Any one of the four values changing means monitors were added, removed,
    // moved or resized.
    const Desktop changed[] = {
        {-1920, 0, 1920, 1080},  // narrower: a monitor unplugged
        {-1920, 0, 3840, 1200},  // taller
        {0, 0, 3840, 1080},      // the left monitor moved to the right
        {-1920, -120, 3840, 1080},
    };
    for (const Desktop& now : changed) {
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
    EXPECT_EQ(geometry_of(image), (Desktop{-7, 3, 7, 5}));
}
