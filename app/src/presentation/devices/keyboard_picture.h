// Where each key sits in the panel's keyboard picture, in panel pixels at
// 96 DPI (the painter multiplies by the DPI scale). Keys lie on a grid of
// 18-pixel units and are 3 pixels apart.
#pragma once

#include <cstddef>
#include <vector>

namespace kadrovix::devices {

inline constexpr double kKeyUnit = 18.0;
inline constexpr double kKeyGap = 3.0;
inline constexpr double kMainBlockLeft = 8.0;
inline constexpr double kNavigationLeft = 288.0;
inline constexpr double kKeypadLeft = 354.0;
inline constexpr double kKeyRowTops[6] = {9.0, 35.0, 53.0, 71.0, 89.0, 107.0};

struct KeyBox {
    std::size_t slot = 0;      // scan code, plus 128 when extended
    double left = 0.0;         // px at 96 DPI
    double top = 0.0;
    double width_units = 1.0;
    double height_rows = 1.0;
    // The left edge of the box's top row where it is wider than the rest
    // (the tall Enter key of non-US layouts); equal to `left` otherwise.
    double top_row_left = 0.0;

    double width() const { return width_units * kKeyUnit - kKeyGap; }
    double height() const { return height_rows * kKeyUnit - kKeyGap; }
};

// Every key of the picture. `us_english` gives the ANSI picture (no key 86, a
// wide left Shift, key 43 above a one-row Enter); otherwise the ISO picture
// with a two-row Enter.
std::vector<KeyBox> keyboard_picture(bool us_english);

}  // namespace kadrovix::devices
