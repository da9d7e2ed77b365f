#include "presentation/devices/keyboard_picture.h"

#include <utility>

namespace kadrovix::devices {
namespace {

constexpr std::size_t kExtended = 128;

class Picture {
public:
    // A key `units` from the main block's left edge.
    void main(std::size_t slot, double units, double top, double width = 1.0, double rows = 1.0) {
        at(slot, kMainBlockLeft + units * kKeyUnit, top, width, rows);
    }
    void at(std::size_t slot, double left, double top, double width = 1.0, double rows = 1.0) {
        keys_.push_back(KeyBox{slot, left, top, width, rows, left});
    }
    std::vector<KeyBox> take() { return std::move(keys_); }
    KeyBox& back() { return keys_.back(); }

private:
    std::vector<KeyBox> keys_;
};

}  // namespace

std::vector<KeyBox> keyboard_picture(bool us_english) {
    const double* y = kKeyRowTops;
    Picture p;

    // Esc and the function keys, in groups of four half a unit apart.
    p.main(1, 0, y[0]);
    for (std::size_t i = 0; i < 4; ++i) p.main(59 + i, 2 + static_cast<double>(i), y[0]);
    for (std::size_t i = 0; i < 4; ++i) p.main(63 + i, 6.5 + static_cast<double>(i), y[0]);
    p.main(67, 11, y[0]);
    p.main(68, 12, y[0]);
    p.main(87, 13, y[0]);
    p.main(88, 14, y[0]);

    // Digits.
    p.main(41, 0, y[1]);
    for (std::size_t s = 2; s <= 13; ++s) p.main(s, static_cast<double>(s - 1), y[1]);
    p.main(14, 13, y[1], 2);

    // Tab row.
    p.main(15, 0, y[2], 1.5);
    for (std::size_t s = 16; s <= 27; ++s) p.main(s, 1.5 + static_cast<double>(s - 16), y[2]);

    // Caps Lock row.
    p.main(58, 0, y[3], 1.75);
    for (std::size_t s = 30; s <= 40; ++s) p.main(s, 1.75 + static_cast<double>(s - 30), y[3]);

    if (us_english) {
        p.at(43, 251, y[2], 1.5);
        p.at(28, 237.5, y[3], 2.25);
        p.main(42, 0, y[4], 2.25);
    } else {
        p.main(43, 12.75, y[3]);
        // Enter fills what the Tab and Caps Lock rows leave free at their
        // right ends: 13.5 … 15 units above, 13.75 … 15 below.
        p.main(28, 13.75, y[2], 1.25, 2);
        p.back().top_row_left = kMainBlockLeft + 13.5 * kKeyUnit;
        p.main(42, 0, y[4], 1.25);
        p.main(86, 1.25, y[4]);
    }
    for (std::size_t s = 44; s <= 53; ++s) p.main(s, 2.25 + static_cast<double>(s - 44), y[4]);
    p.main(54, 12.25, y[4], 2.75);

    // Bottom row.
    p.main(29, 0, y[5], 1.25);
    p.main(91 + kExtended, 1.25, y[5], 1.25);
    p.main(56, 2.5, y[5], 1.25);
    p.main(57, 3.75, y[5], 6.25);
    p.main(56 + kExtended, 10, y[5], 1.25);
    p.main(92 + kExtended, 11.25, y[5], 1.25);
    p.main(93 + kExtended, 12.5, y[5], 1.25);
    p.main(29 + kExtended, 13.75, y[5], 1.25);

    // Navigation block.
    const auto nav = [&](std::size_t slot, int column, double top) {
        p.at(slot, kNavigationLeft + column * kKeyUnit, top);
    };
    nav(55 + kExtended, 0, y[0]);
    nav(70, 1, y[0]);
    nav(69 + kExtended, 2, y[0]);
    nav(82 + kExtended, 0, y[1]);
    nav(71 + kExtended, 1, y[1]);
    nav(73 + kExtended, 2, y[1]);
    nav(83 + kExtended, 0, y[2]);
    nav(79 + kExtended, 1, y[2]);
    nav(81 + kExtended, 2, y[2]);
    nav(72 + kExtended, 1, y[4]);
    nav(75 + kExtended, 0, y[5]);
    nav(80 + kExtended, 1, y[5]);
    nav(77 + kExtended, 2, y[5]);

    // Numeric keypad.
    const auto pad = [&](std::size_t slot, int column, double top, double width = 1.0, double rows = 1.0) {
        p.at(slot, kKeypadLeft + column * kKeyUnit, top, width, rows);
    };
    pad(69, 0, y[1]);
    pad(53 + kExtended, 1, y[1]);
    pad(55, 2, y[1]);
    pad(74, 3, y[1]);
    pad(71, 0, y[2]);
    pad(72, 1, y[2]);
    pad(73, 2, y[2]);
    pad(78, 3, y[2], 1, 2);
    pad(75, 0, y[3]);
    pad(76, 1, y[3]);
    pad(77, 2, y[3]);
    pad(79, 0, y[4]);
    pad(80, 1, y[4]);
    pad(81, 2, y[4]);
    pad(28 + kExtended, 3, y[4], 1, 2);
    pad(82, 0, y[5], 2);
    pad(83, 2, y[5]);

    return p.take();
}

}  // namespace kadrovix::devices
