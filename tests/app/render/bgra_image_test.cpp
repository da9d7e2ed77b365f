#include "render/bgra_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace kadrovix;

namespace {

BgraImage sized(std::uint32_t width, std::uint32_t height, std::size_t length) {
    BgraImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(length, 0);
    return image;
}

void expect_refused(const Result<void>& r) {
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().code, kErrorInvalidArgument);
    EXPECT_EQ(r.error().message, "Invalid BGRA image dimensions or buffer length");
}

}  // namespace

TEST(BgraImage, DimensionLimits) {
    EXPECT_FALSE(image_byte_length(0, 1).has_value());
    EXPECT_FALSE(image_byte_length(1, 0).has_value());
    EXPECT_EQ(image_byte_length(1, 1), std::optional<std::size_t>(4));
    // The widest row whose byte length still fits a signed 32-bit stride.
    EXPECT_TRUE(image_byte_length((1u << 29) - 1, 1).has_value());
    EXPECT_FALSE(image_byte_length(1u << 29, 1).has_value());
    EXPECT_FALSE(image_byte_length(std::numeric_limits<std::uint32_t>::max(), 1).has_value());
    EXPECT_TRUE(image_byte_length(1, 0x7FFFFFFFu).has_value());
    EXPECT_FALSE(image_byte_length(1, 0x80000000u).has_value());
    if constexpr (sizeof(std::size_t) >= 8) {
        // Both maxima together: the byte count needs 61 bits and must not wrap.
        EXPECT_EQ(image_byte_length((1u << 29) - 1, 0x7FFFFFFFu),
                  std::optional<std::size_t>(std::size_t{4} * ((1u << 29) - 1) * 0x7FFFFFFFull));
    } else {
        EXPECT_FALSE(image_byte_length((1u << 29) - 1, 0x7FFFFFFFu).has_value());
    }
}

TEST(BgraImage, ValidateChecksDimensionsAndBufferLength) {
    EXPECT_TRUE(validate_image(sized(3, 2, 24)).has_value());
    expect_refused(validate_image(sized(3, 2, 23)));  // one byte short
    expect_refused(validate_image(sized(3, 2, 25)));
    expect_refused(validate_image(sized(0, 2, 0)));
    expect_refused(validate_image(sized(3, 0, 0)));
    expect_refused(validate_image(BgraImage{}));
    // A width past the limit is refused even when the buffer matches the
    // product computed in 32 bits (which wraps to 0 here).
    expect_refused(validate_image(sized(1u << 30, 4, 0)));
}

TEST(BgraImage, NewFilledImage) {
    auto image = new_filled_image(3, 2, 0xFF102030u);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, 3u);
    EXPECT_EQ(image->height, 2u);
    EXPECT_EQ(image->origin_x, 0);
    EXPECT_EQ(image->origin_y, 0);
    ASSERT_EQ(image->pixels.size(), 24u);
    for (std::size_t i = 0; i < 24; i += 4) {
        EXPECT_EQ(image->pixels[i], 0x30);  // blue
        EXPECT_EQ(image->pixels[i + 1], 0x20);
        EXPECT_EQ(image->pixels[i + 2], 0x10);
        EXPECT_EQ(image->pixels[i + 3], 0xFF);  // alpha
    }
    EXPECT_TRUE(validate_image(*image).has_value());

    auto refused = new_filled_image(0, 5, 0xFF000000u);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().message, "Invalid BGRA image dimensions or buffer length");
}

TEST(BgraImage, MakeOpaqueTouchesOnlyAlpha) {
    auto image = new_filled_image(2, 2, 0x00ABCDEFu);
    ASSERT_TRUE(image.has_value());
    make_opaque(*image);
    for (std::size_t i = 0; i < image->pixels.size(); i += 4) {
        EXPECT_EQ(image->pixels[i], 0xEF);
        EXPECT_EQ(image->pixels[i + 1], 0xCD);
        EXPECT_EQ(image->pixels[i + 2], 0xAB);
        EXPECT_EQ(image->pixels[i + 3], 0xFF);
    }
}
