// Live sessions grab the desktop anew for outputs and the eyedropper.
#include "session/picture_source.h"

#include <gtest/gtest.h>

#include "app/session/session_fixtures.h"

namespace kadrovix {
namespace {

TEST(PictureSource, LiveOutputsWithARegionAndTheLiveEyedropperGrabTheDesktop) {
    SessionState s = testing::fresh_session();
    s.live = true;
    EXPECT_FALSE(output_grabs_desktop(s));  // no region: the output fails without a grab
    s = testing::editing_session(100, 100, 500, 400);
    EXPECT_FALSE(output_grabs_desktop(s));
    EXPECT_EQ(eyedropper_picture(s, true), EyedropperPicture::Held);  // off
    s.eyedropper_on = true;
    EXPECT_EQ(eyedropper_picture(s, false), EyedropperPicture::Held);  // frozen
    s.live = true;
    EXPECT_TRUE(output_grabs_desktop(s));
    EXPECT_EQ(eyedropper_picture(s, true), EyedropperPicture::GrabNow);
    EXPECT_EQ(eyedropper_picture(s, false), EyedropperPicture::GrabAtRelease);
}

}  // namespace
}  // namespace kadrovix
