#include "render/bgra_image.h"

#include <limits>
#include <new>
#include <stdexcept>

namespace kadrovix {

std::optional<std::size_t> image_byte_length(std::uint32_t width, std::uint32_t height) {
    if (width < 1 || width > kMaxImageWidth || height < 1 || height > kMaxImageHeight) return std::nullopt;
    // width < 2^29 and height < 2^31, so the product fits 60 bits; only a
    // 32-bit size_t can overflow here.
    const std::uint64_t bytes = 4ull * width * height;
    if (bytes > std::numeric_limits<std::size_t>::max()) return std::nullopt;
    return static_cast<std::size_t>(bytes);
}

Result<void> validate_image(const BgraImage& image) {
    const auto length = image_byte_length(image.width, image.height);
    if (!length || image.pixels.size() != *length) return invalid_argument(kInvalidImageMessage);
    return {};
}

Result<BgraImage> new_filled_image(std::uint32_t width, std::uint32_t height, std::uint32_t pixel) {
    const auto length = image_byte_length(width, height);
    if (!length) return invalid_argument(kInvalidImageMessage);
    BgraImage image;
    image.width = width;
    image.height = height;
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(pixel), static_cast<std::uint8_t>(pixel >> 8),
                                   static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 24)};
    // A whole virtual screen can be hundreds of megabytes; running out of
    // memory is a failure to report, not a crash.
    try {
        image.pixels.resize(*length);
    } catch (const std::bad_alloc&) {
        return general_failure("Not enough memory for the image");
    } catch (const std::length_error&) {
        return general_failure("Not enough memory for the image");
    }
    std::uint8_t* out = image.pixels.data();
    for (std::size_t i = 0; i < *length; i += 4) {
        out[i] = bytes[0];
        out[i + 1] = bytes[1];
        out[i + 2] = bytes[2];
        out[i + 3] = bytes[3];
    }
    return image;
}

void make_opaque(BgraImage& image) {
    const std::size_t n = image.pixels.size();
    for (std::size_t i = 3; i < n; i += 4) image.pixels[i] = 255;
}

}  // namespace kadrovix
