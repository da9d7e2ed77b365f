#include "render/output_region.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kadrovix;

namespace {

void expect_empty(const Result<PixelRect>& r) {
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().code, kErrorInvalidArgument);
    EXPECT_EQ(r.error().message, "Empty capture region");
}

}  // namespace

TEST(OutputRegion, RoundsOutwardToWholePixels) {
    auto r = output_pixels({10.2, 10.7, 20.1, 20.0}, 100, 80);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r, (PixelRect{10, 10, 21, 20}));
    EXPECT_EQ(r->width(), 11u);
    EXPECT_EQ(r->height(), 10u);

    // Whole numbers stay put; a sliver of one pixel still yields that pixel.
    EXPECT_EQ(output_pixels({3, 4, 5, 6}, 100, 80).value(), (PixelRect{3, 4, 5, 6}));
    EXPECT_EQ(output_pixels({7.4, 7.4, 7.6, 7.6}, 100, 80).value(), (PixelRect{7, 7, 8, 8}));
}

TEST(OutputRegion, ClampsToTheCapture) {
    EXPECT_EQ(output_pixels({-5.5, -0.1, 100.5, 80.9}, 100, 80).value(), (PixelRect{0, 0, 100, 80}));
    EXPECT_EQ(output_pixels({90, 70, 1e300, std::numeric_limits<double>::infinity()}, 100, 80).value(),
              (PixelRect{90, 70, 100, 80}));
    EXPECT_EQ(output_pixels({-std::numeric_limits<double>::infinity(), 0, 1, 1}, 100, 80).value(),
              (PixelRect{0, 0, 1, 1}));
}

TEST(OutputRegion, EmptyRegions) {
    expect_empty(output_pixels({100, 10, 150, 20}, 100, 80));   // entirely right of the capture
    expect_empty(output_pixels({10, -30, 20, -0.5}, 100, 80));  // entirely above it
    expect_empty(output_pixels({10, 10, 10, 20}, 100, 80));     // zero width
    expect_empty(output_pixels({20, 10, 10, 20}, 100, 80));     // reversed
    expect_empty(output_pixels({10, 10, 20, 20}, 0, 80));       // no capture
    expect_empty(output_pixels({std::nan(""), 0, 10, 10}, 100, 80));
}
