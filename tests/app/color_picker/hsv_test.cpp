#include "color_picker/hsv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <limits>
#include <string>

using namespace kadrovix;

namespace {

std::string show(Rgb c) {
    char text[24];
    std::snprintf(text, sizeof text, "(%d, %d, %d)", c.r, c.g, c.b);
    return text;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Converts there and back, reporting the first few colours that change.
class RoundTrip {
public:
    void check(int r, int g, int b) {
        const Rgb in{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
        const Hsv hsv = rgb_to_hsv(in);
        const Rgb out = hsv_to_rgb(hsv);
        const bool in_range = hsv.h >= 0.0 && hsv.h < 1.0 && hsv.s >= 0.0 && hsv.s <= 1.0 && hsv.v >= 0.0 && hsv.v <= 1.0;
        ++checked_;
        if ((out != in || !in_range) && ++failures_ <= 5) {
            ADD_FAILURE() << show(in) << " came back as " << show(out) << " via h " << hsv.h << " s " << hsv.s
                          << " v " << hsv.v;
        }
    }
    int failures() const { return failures_; }
    int checked() const { return checked_; }

private:
    int failures_ = 0;
    int checked_ = 0;
};

TEST(Hsv, ColoursSurviveTheRoundTrip) {
    // The picker opens on the session's custom colour and must give back
    // exactly that colour when nothing is dragged. Every pair of values of
    // two channels against 16 levels of the third (in each role), plus every
    // grey: over three million colours, every sector and every byte value.
    RoundTrip trip;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            for (int c = 0; c < 256; c += 17) {
                trip.check(a, b, c);
                trip.check(a, c, b);
                trip.check(c, a, b);
            }
        }
        trip.check(a, a, a);
    }
    EXPECT_EQ(trip.checked(), 3 * 256 * 256 * 16 + 256);
    EXPECT_EQ(trip.failures(), 0);
}

TEST(Hsv, PrimariesSecondariesAndGreys) {
    struct Case {
        Rgb rgb;
        double h, s, v;
    };
    const Case cases[] = {
        {{255, 0, 0}, 0.0, 1.0, 1.0},          {{255, 255, 0}, 1.0 / 6, 1.0, 1.0},
        {{0, 255, 0}, 2.0 / 6, 1.0, 1.0},      {{0, 255, 255}, 3.0 / 6, 1.0, 1.0},
        {{0, 0, 255}, 4.0 / 6, 1.0, 1.0},      {{255, 0, 255}, 5.0 / 6, 1.0, 1.0},
        {{0, 0, 0}, 0.0, 0.0, 0.0},            {{255, 255, 255}, 0.0, 0.0, 1.0},
        {{51, 51, 51}, 0.0, 0.0, 0.2},         {{128, 0, 0}, 0.0, 1.0, 128.0 / 255},
        {{255, 128, 128}, 0.0, 127.0 / 255, 1.0},
    };
    for (const Case& c : cases) {
        const Hsv hsv = rgb_to_hsv(c.rgb);
        EXPECT_NEAR(hsv.h, c.h, 1e-12) << show(c.rgb);
        EXPECT_NEAR(hsv.s, c.s, 1e-12) << show(c.rgb);
        EXPECT_NEAR(hsv.v, c.v, 1e-12) << show(c.rgb);
        EXPECT_EQ(hsv_to_rgb(Hsv{c.h, c.s, c.v}), c.rgb) << show(c.rgb);
    }
}

TEST(Hsv, RedWithMoreBlueThanGreenWrapsBelowOne) {
    // (g - b) / c is negative here: the hue must come out just below a full
    // turn, not negative.
    const Hsv hsv = rgb_to_hsv(Rgb{255, 0, 51});
    EXPECT_NEAR(hsv.h, 1.0 - 0.2 / 6, 1e-12);
    EXPECT_EQ(hsv_to_rgb(hsv), (Rgb{255, 0, 51}));
}

TEST(Hsv, SectorTableGivesEachSectorItsChannelRoles) {
    // In the middle of each sector X is half of C: with C = 1 a chroma
    // channel is 255, an intermediate one 127.5 (rounded up to 128), a zero 0.
    const Rgb middles[6] = {{255, 128, 0}, {128, 255, 0}, {0, 255, 128}, {0, 128, 255}, {128, 0, 255}, {255, 0, 128}};
    const auto expected_byte = [](SectorPart part) {
        return part == SectorPart::Chroma ? 255 : part == SectorPart::Intermediate ? 128 : 0;
    };
    for (int k = 0; k < 6; ++k) {
        const double h = (k + 0.5) / 6.0;
        EXPECT_EQ(hue_sector(h), k);
        const Rgb got = hsv_to_rgb(Hsv{h, 1.0, 1.0});
        EXPECT_EQ(got, middles[k]) << "sector " << k << ": " << show(got);
        const HueSector& roles = kHueSectors[static_cast<std::size_t>(k)];
        EXPECT_EQ(got.r, expected_byte(roles.r)) << "sector " << k;
        EXPECT_EQ(got.g, expected_byte(roles.g)) << "sector " << k;
        EXPECT_EQ(got.b, expected_byte(roles.b)) << "sector " << k;
    }
    // Sector boundaries: X reaches C at the odd ones and 0 at the even ones.
    EXPECT_EQ(hsv_to_rgb(Hsv{1.0 / 6, 1.0, 1.0}), (Rgb{255, 255, 0}));
    EXPECT_EQ(hsv_to_rgb(Hsv{2.0 / 6, 1.0, 1.0}), (Rgb{0, 255, 0}));
    EXPECT_EQ(hue_sector(std::nextafter(1.0, 0.0)), 5);
    EXPECT_EQ(hue_sector(0.0), 0);
}

TEST(Hsv, GreyPartIsAddedAndRoundedHalfAwayFromZero) {
    // 0.5 * 255 = 127.5 exactly.
    EXPECT_EQ(hsv_to_rgb(Hsv{0.3, 0.0, 0.5}), (Rgb{128, 128, 128}));
    // h 0, s 0.5, v 1: C 0.5, grey 0.5 -> red 255, green and blue 127.5 -> 128.
    EXPECT_EQ(hsv_to_rgb(Hsv{0.0, 0.5, 1.0}), (Rgb{255, 128, 128}));
    // Saturation 1, value 0 is black whatever the hue.
    EXPECT_EQ(hsv_to_rgb(Hsv{0.7, 1.0, 0.0}), (Rgb{0, 0, 0}));
}

TEST(Hsv, HueWrapsAndOutOfRangeInputIsTamed) {
    const Rgb cyan = hsv_to_rgb(Hsv{0.5, 1.0, 1.0});
    EXPECT_EQ(hsv_to_rgb(Hsv{1.5, 1.0, 1.0}), cyan);
    EXPECT_EQ(hsv_to_rgb(Hsv{-0.5, 1.0, 1.0}), cyan);
    EXPECT_EQ(hsv_to_rgb(Hsv{1.0, 1.0, 1.0}), (Rgb{255, 0, 0}));
    EXPECT_EQ(hsv_to_rgb(Hsv{-0.25, 1.0, 1.0}), hsv_to_rgb(Hsv{0.75, 1.0, 1.0}));
    // A tiny negative hue is red, not a hue of exactly 1 that would index
    // past the sector table.
    EXPECT_EQ(wrap_unit(-1e-20), 0.0);
    EXPECT_EQ(hsv_to_rgb(Hsv{-1e-20, 1.0, 1.0}), (Rgb{255, 0, 0}));
    // Channels above 1 or below 0 clamp.
    EXPECT_EQ(hsv_to_rgb(Hsv{0.0, 1.0, 2.0}), (Rgb{255, 0, 0}));
    EXPECT_EQ(hsv_to_rgb(Hsv{0.0, 2.0, 1.0}), (Rgb{255, 0, 0}));
    EXPECT_EQ(hsv_to_rgb(Hsv{0.0, 0.0, -1.0}), (Rgb{0, 0, 0}));
    // Components that are not numbers count as 0.
    EXPECT_EQ(hsv_to_rgb(Hsv{kNaN, 1.0, 1.0}), (Rgb{255, 0, 0}));
    EXPECT_EQ(hsv_to_rgb(Hsv{kInf, 1.0, 1.0}), (Rgb{255, 0, 0}));
    EXPECT_EQ(hsv_to_rgb(Hsv{0.5, kNaN, 1.0}), (Rgb{255, 255, 255}));
    EXPECT_EQ(hsv_to_rgb(Hsv{0.5, 1.0, kNaN}), (Rgb{0, 0, 0}));
    EXPECT_EQ(wrap_unit(kNaN), 0.0);
}

}  // namespace
