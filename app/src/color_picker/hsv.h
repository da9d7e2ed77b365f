// Hue, saturation and value: the colour model of the colour picker. The hue
// ring turns the hue, the square beside it sets saturation (left to right)
// and value (bottom to top).
#pragma once

#include <array>
#include <cstdint>

#include "editor/annotation.h"

namespace kadrovix {

// h in [0, 1) (one full turn), s and v in [0, 1].
struct Hsv {
    double h = 0.0;
    double s = 0.0;
    double v = 0.0;
    friend bool operator==(const Hsv&, const Hsv&) = default;
};

// x - floor(x), kept below 1 (a tiny negative x would otherwise round to 1).
// 0 for a value that is not finite.
double wrap_unit(double x);

// What each channel of a hue sector carries before the grey part (v - C) is
// added: the chroma C, the intermediate X, or nothing.
enum class SectorPart : std::uint8_t { Chroma, Intermediate, Zero };

struct HueSector {
    SectorPart r;
    SectorPart g;
    SectorPart b;
};

// Sector floor(6 h): red to yellow, yellow to green, green to cyan, cyan to
// blue, blue to magenta, magenta to red.
inline constexpr std::array<HueSector, 6> kHueSectors{{
    {SectorPart::Chroma, SectorPart::Intermediate, SectorPart::Zero},
    {SectorPart::Intermediate, SectorPart::Chroma, SectorPart::Zero},
    {SectorPart::Zero, SectorPart::Chroma, SectorPart::Intermediate},
    {SectorPart::Zero, SectorPart::Intermediate, SectorPart::Chroma},
    {SectorPart::Intermediate, SectorPart::Zero, SectorPart::Chroma},
    {SectorPart::Chroma, SectorPart::Zero, SectorPart::Intermediate},
}};

// The sector of hue h (wrapped into [0, 1) first): 0..5.
int hue_sector(double h);

// Bytes divided by 255. Greys have hue 0 and black has saturation 0.
Hsv rgb_to_hsv(Rgb colour);

// Each channel times 255, rounded half away from zero and clamped to 0..255.
// The hue wraps; s and v outside [0, 1] simply end up clamped, and a
// component that is not a number counts as 0.
Rgb hsv_to_rgb(Hsv colour);

}  // namespace kadrovix
