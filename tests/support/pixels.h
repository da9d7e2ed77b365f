// Comparing 0xRRGGBB colours in pixel tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kadrovix::testing {

inline int channel(std::uint32_t rgb, int shift) {
    return static_cast<int>((rgb >> shift) & 0xFF);
}

// Every channel within `tolerance` of the other colour's.
inline bool near_rgb(std::uint32_t a, std::uint32_t b, int tolerance = 0) {
    for (int shift : {16, 8, 0}) {
        if (std::abs(channel(a, shift) - channel(b, shift)) > tolerance) return false;
    }
    return true;
}

inline std::string hex_rgb(std::uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    return text;
}

}  // namespace kadrovix::testing
