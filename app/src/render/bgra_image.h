// The one image type of the program: top-down rows of 4-byte pixels (blue,
// green, red, alpha) with no padding between rows, plus the virtual-screen
// position of the top-left pixel for screen grabs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/error.h"

namespace kadrovix {

struct BgraImage {
    std::vector<std::uint8_t> pixels;  // exactly 4 * width * height bytes
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::int32_t origin_x = 0;  // virtual-screen position of the top-left pixel; 0 for non-grabs
    std::int32_t origin_y = 0;
};

// Largest width whose row of 4 * width bytes still fits a signed 32-bit stride.
inline constexpr std::uint32_t kMaxImageWidth = (1u << 29) - 1;
inline constexpr std::uint32_t kMaxImageHeight = 0x7FFFFFFFu;

inline constexpr char kInvalidImageMessage[] = "Invalid BGRA image dimensions or buffer length";

// Byte length of a width x height image, or nothing when the dimensions break
// the limits above or the size does not fit in size_t.
std::optional<std::size_t> image_byte_length(std::uint32_t width, std::uint32_t height);

// Checked wherever an image is handed to Direct2D or the PNG encoder:
// invalid_argument("Invalid BGRA image dimensions or buffer length") on failure.
Result<void> validate_image(const BgraImage& image);

// An image whose every pixel is `pixel` (read as little-endian BGRA, so
// 0xFF000000 is opaque black), origin (0, 0). Fails like validate_image on
// bad dimensions, and when the buffer cannot be allocated.
Result<BgraImage> new_filled_image(std::uint32_t width, std::uint32_t height, std::uint32_t pixel);

// Sets the alpha byte of every pixel to 255.
void make_opaque(BgraImage& image);

}  // namespace kadrovix
