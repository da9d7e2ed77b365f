#include "color_picker/hsv.h"

#include <algorithm>
#include <cmath>

namespace kadrovix {

namespace {

double finite_or_zero(double x) { return std::isfinite(x) ? x : 0.0; }

std::uint8_t to_byte(double unit) {
    // std::round rounds half away from zero.
    const double scaled = std::round(unit * 255.0);
    return static_cast<std::uint8_t>(std::clamp(finite_or_zero(scaled), 0.0, 255.0));
}

double part_value(SectorPart part, double chroma, double intermediate) {
    switch (part) {
        case SectorPart::Chroma:
            return chroma;
        case SectorPart::Intermediate:
            return intermediate;
        case SectorPart::Zero:
            break;
    }
    return 0.0;
}

}  // namespace

double wrap_unit(double x) {
    if (!std::isfinite(x)) {
        return 0.0;
    }
    const double f = x - std::floor(x);
    return f >= 1.0 ? 0.0 : f;
}

int hue_sector(double h) {
    // 6 * wrap_unit(h) is below 6 for every double, but the clamp keeps the
    // table index safe whatever the rounding.
    return std::clamp(static_cast<int>(std::floor(6.0 * wrap_unit(h))), 0, 5);
}

Hsv rgb_to_hsv(Rgb colour) {
    const double r = colour.r / 255.0;
    const double g = colour.g / 255.0;
    const double b = colour.b / 255.0;
    const double v = std::max({r, g, b});
    const double c = v - std::min({r, g, b});
    Hsv out;
    out.v = v;
    out.s = v > 0.0 ? c / v : 0.0;
    if (c > 0.0) {
        if (v == r) {
            out.h = wrap_unit((g - b) / c / 6.0);
        } else if (v == g) {
            out.h = ((b - r) / c + 2.0) / 6.0;
        } else {
            out.h = ((r - g) / c + 4.0) / 6.0;
        }
    }
    return out;
}

Rgb hsv_to_rgb(Hsv colour) {
    const double s = finite_or_zero(colour.s);
    const double v = finite_or_zero(colour.v);
    const double c = s * v;
    const double h6 = 6.0 * wrap_unit(colour.h);
    const double x = c * (1.0 - std::fabs(std::fmod(h6, 2.0) - 1.0));
    const HueSector& sector = kHueSectors[static_cast<std::size_t>(hue_sector(colour.h))];
    const double grey = v - c;
    return Rgb{to_byte(part_value(sector.r, c, x) + grey), to_byte(part_value(sector.g, c, x) + grey),
               to_byte(part_value(sector.b, c, x) + grey)};
}

}  // namespace kadrovix
