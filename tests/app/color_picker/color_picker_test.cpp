#include "color_picker/color_picker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "session/io/clipboard.h"

using namespace kadrovix;
namespace u = kadrovix::picker_units;

namespace {

constexpr Desktop kFullHd{0, 0, 1920, 1080};
constexpr Rgb kRed{237, 79, 92};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The picker opened at (100, 200) on a full-HD desktop: k = 1.
ColourPicker open_at_100_200(Rgb colour = kRed) { return open_picker(colour, Point{100.0, 200.0}, kFullHd); }

// The desktop point of design point (ux, uy).
Point at_units(const ColourPicker& p, double ux, double uy) { return Point{p.left + p.k * ux, p.top + p.k * uy}; }

// The desktop point at `distance` units from the ring's centre, at `turns` of a full turn.
Point on_ring(const ColourPicker& p, double distance, double turns) {
    const double a = 2.0 * std::numbers::pi * turns;
    return at_units(p, u::kRingCentre.x + distance * std::cos(a), u::kRingCentre.y + distance * std::sin(a));
}

TEST(ColourPickerOpen, StartsOnTheCustomColourAtThePointer) {
    const ColourPicker p = open_at_100_200();
    EXPECT_DOUBLE_EQ(p.k, 1.0);
    EXPECT_DOUBLE_EQ(p.left, 100.0);
    EXPECT_DOUBLE_EQ(p.top, 200.0);
    EXPECT_DOUBLE_EQ(p.right, 360.0);
    EXPECT_DOUBLE_EQ(p.bottom, 516.0);
    EXPECT_EQ(p.drag, PickerDrag::None);
    EXPECT_EQ(p.code, "#ED4F5C");
    EXPECT_EQ(picker_colour(p), kRed);
    EXPECT_EQ(open_at_100_200(Rgb{0, 0x80, 0xFF}).code, "#0080FF");
}

TEST(ColourPickerOpen, StaysWhollyOnTheDesktopNearItsEdges) {
    // Bottom-right corner: pulled back so the whole panel shows.
    ColourPicker p = open_picker(kRed, Point{1915.0, 1079.0}, kFullHd);
    EXPECT_DOUBLE_EQ(p.left, 1920.0 - 260.0);
    EXPECT_DOUBLE_EQ(p.top, 1080.0 - 316.0);
    EXPECT_DOUBLE_EQ(p.right, 1920.0);
    EXPECT_DOUBLE_EQ(p.bottom, 1080.0);
    // A pointer exactly where the panel just fits stays where it is.
    p = open_picker(kRed, Point{1660.0, 764.0}, kFullHd);
    EXPECT_DOUBLE_EQ(p.left, 1660.0);
    EXPECT_DOUBLE_EQ(p.top, 764.0);
    // Off the top-left (a pointer never seen, or outside): the corner.
    p = open_picker(kRed, Point{-100.0, -100.0}, kFullHd);
    EXPECT_DOUBLE_EQ(p.left, 0.0);
    EXPECT_DOUBLE_EQ(p.top, 0.0);
    p = open_picker(kRed, Point{kNaN, std::numeric_limits<double>::infinity()}, kFullHd);
    EXPECT_DOUBLE_EQ(p.left, 0.0);
    EXPECT_DOUBLE_EQ(p.top, 0.0);
}

TEST(ColourPickerOpen, ShrinksToFitASmallDesktop) {
    struct Case {
        Desktop desktop;
        double k;
    };
    const Case cases[] = {
        {{0, 0, 200, 400}, 200.0 / 260.0},   // too narrow
        {{0, 0, 800, 158}, 0.5},             // too low
        {{0, 0, 130, 316}, 0.5},             // narrow wins over a height that just fits
        {{0, 0, 260, 316}, 1.0},             // exactly the design size
        {{-1280, -200, 4000, 3000}, 1.0},    // a large desktop never enlarges the panel
    };
    for (const Case& c : cases) {
        const ColourPicker p = open_picker(kRed, Point{50.0, 60.0}, c.desktop);
        EXPECT_DOUBLE_EQ(p.k, c.k) << c.desktop.width << " x " << c.desktop.height;
        EXPECT_NEAR(p.right - p.left, 260.0 * c.k, 1e-9);
        EXPECT_NEAR(p.bottom - p.top, 316.0 * c.k, 1e-9);
        EXPECT_GE(p.left, 0.0);
        EXPECT_GE(p.top, 0.0);
        EXPECT_LE(p.right, c.desktop.width + 1e-9);
        EXPECT_LE(p.bottom, c.desktop.height + 1e-9);
    }
    // Every element scales with the panel: the ring's edge lies 100 k from
    // its centre, in pixels.
    ColourPicker p = open_picker(kRed, Point{0.0, 0.0}, Desktop{0, 0, 130, 158});
    ASSERT_DOUBLE_EQ(p.k, 0.5);
    EXPECT_EQ(p.to_pixels(u::kSquare), (Rect{{37.5, 44.5}, {92.5, 99.5}}));
    EXPECT_EQ(picker_press(p, Point{65.0 + 50.0, 72.0}), PickerPress::Inside);
    EXPECT_EQ(p.drag, PickerDrag::Ring);
}

TEST(ColourPickerPress, RingTakesPressesFromItsInnerToItsOuterEdge) {
    struct Case {
        double distance;
        PickerDrag drag;
    };
    const Case cases[] = {{100.0, PickerDrag::Ring}, {101.0, PickerDrag::None}, {91.0, PickerDrag::Ring},
                          {82.0, PickerDrag::Ring},  {81.0, PickerDrag::None}};
    for (const Case& c : cases) {
        // A quarter turn: straight below the centre (y grows downwards).
        ColourPicker p = open_at_100_200();
        const Hsv before = p.hsv;
        EXPECT_EQ(picker_press(p, on_ring(p, c.distance, 0.25)), PickerPress::Inside) << c.distance;
        EXPECT_EQ(p.drag, c.drag) << c.distance;
        if (c.drag == PickerDrag::Ring) {
            EXPECT_NEAR(p.hsv.h, 0.25, 1e-9) << "the press sets the hue at once";
            EXPECT_EQ(p.hsv.s, before.s);
            EXPECT_EQ(p.hsv.v, before.v);
        } else {
            EXPECT_EQ(p.hsv, before) << c.distance;
        }
    }
}

TEST(ColourPickerPress, SquareTakesPressesOnItsEdgesAndSetsSaturationAndValue) {
    ColourPicker p = open_at_100_200();
    EXPECT_EQ(picker_press(p, at_units(p, 75.0, 89.0)), PickerPress::Inside);
    EXPECT_EQ(p.drag, PickerDrag::Square);
    EXPECT_DOUBLE_EQ(p.hsv.s, 0.0);
    EXPECT_DOUBLE_EQ(p.hsv.v, 1.0);
    EXPECT_EQ(p.code, "#FFFFFF");

    picker_release(p);
    EXPECT_EQ(picker_press(p, at_units(p, 185.0, 199.0)), PickerPress::Inside);
    EXPECT_EQ(p.drag, PickerDrag::Square);
    EXPECT_DOUBLE_EQ(p.hsv.s, 1.0);
    EXPECT_DOUBLE_EQ(p.hsv.v, 0.0);
    EXPECT_EQ(p.code, "#000000");

    picker_release(p);
    EXPECT_EQ(picker_press(p, at_units(p, 130.0, 144.0)), PickerPress::Inside);
    EXPECT_DOUBLE_EQ(p.hsv.s, 0.5);
    EXPECT_DOUBLE_EQ(p.hsv.v, 0.5);
}

TEST(ColourPickerPress, ElsewhereInsideDoesNothingAndOutsideApplies) {
    ColourPicker p = open_at_100_200();
    const Hsv before = p.hsv;
    // The title, the swatch, the panel's very corner (edges belong to it).
    for (const Point units : {Point{30.0, 20.0}, Point{30.0, 270.0}, Point{0.0, 0.0}, Point{260.0, 316.0}}) {
        ColourPicker q = p;
        EXPECT_EQ(picker_press(q, at_units(q, units.x, units.y)), PickerPress::Inside);
        EXPECT_EQ(q.drag, PickerDrag::None) << units.x << ", " << units.y;
        EXPECT_EQ(q.hsv, before);
    }
    for (const Point outside : {Point{99.0, 300.0}, Point{361.0, 300.0}, Point{200.0, 199.0}, Point{200.0, 517.0}}) {
        ColourPicker q = p;
        EXPECT_EQ(picker_press(q, outside), PickerPress::Apply) << outside.x << ", " << outside.y;
        EXPECT_EQ(q.hsv, before);
        EXPECT_EQ(q.drag, PickerDrag::None);
    }
}

TEST(ColourPickerDrag, RingFollowsTheAngleAnywhereButTheCentre) {
    ColourPicker p = open_at_100_200();
    ASSERT_EQ(picker_press(p, on_ring(p, 90.0, 0.0)), PickerPress::Inside);
    EXPECT_NEAR(p.hsv.h, 0.0, 1e-12);
    // Far outside the ring, and the panel, the direction still counts.
    EXPECT_TRUE(picker_move(p, on_ring(p, 900.0, 0.5)));
    EXPECT_NEAR(p.hsv.h, 0.5, 1e-9);
    // Up (negative y) is three quarters of a turn.
    EXPECT_TRUE(picker_move(p, at_units(p, 130.0, 10.0)));
    EXPECT_NEAR(p.hsv.h, 0.75, 1e-12);
    EXPECT_EQ(p.code, color_text(picker_colour(p)));
    // The exact centre has no angle: the hue stays.
    EXPECT_FALSE(picker_move(p, at_units(p, 130.0, 144.0)));
    EXPECT_NEAR(p.hsv.h, 0.75, 1e-12);
    // Not a number: ignored.
    EXPECT_FALSE(picker_move(p, Point{kNaN, 300.0}));
    EXPECT_NEAR(p.hsv.h, 0.75, 1e-12);
    picker_release(p);
    EXPECT_EQ(p.drag, PickerDrag::None);
    // Without a drag a move changes nothing.
    EXPECT_FALSE(picker_move(p, on_ring(p, 90.0, 0.1)));
    EXPECT_NEAR(p.hsv.h, 0.75, 1e-12);
}

TEST(ColourPickerDrag, SquareClampsBeyondItsEdges) {
    ColourPicker p = open_at_100_200(Rgb{255, 0, 0});
    ASSERT_EQ(picker_press(p, at_units(p, 100.0, 100.0)), PickerPress::Inside);
    ASSERT_EQ(p.drag, PickerDrag::Square);
    EXPECT_TRUE(picker_move(p, at_units(p, -500.0, 5000.0)));
    EXPECT_EQ(p.hsv.s, 0.0);
    EXPECT_EQ(p.hsv.v, 0.0);
    EXPECT_EQ(p.code, "#000000");
    EXPECT_TRUE(picker_move(p, at_units(p, 5000.0, -500.0)));
    EXPECT_EQ(p.hsv.s, 1.0);
    EXPECT_EQ(p.hsv.v, 1.0);
    EXPECT_EQ(p.code, "#FF0000");
    // Further out changes nothing more.
    EXPECT_FALSE(picker_move(p, at_units(p, 6000.0, -600.0)));
    // The hue is the ring's alone.
    EXPECT_DOUBLE_EQ(p.hsv.h, 0.0);
}

TEST(ColourPickerDrag, CodeAlwaysNamesTheColourBeingChosen) {
    ColourPicker p = open_at_100_200(Rgb{0x20, 0x60, 0xC0});
    ASSERT_EQ(picker_press(p, on_ring(p, 91.0, 0.0)), PickerPress::Inside);
    // s and v of (32, 96, 192) with the hue of red.
    EXPECT_EQ(picker_colour(p), (Rgb{0xC0, 0x20, 0x20}));
    EXPECT_EQ(p.code, "#C02020");
    EXPECT_TRUE(picker_move(p, on_ring(p, 91.0, 1.0 / 3.0)));
    EXPECT_EQ(picker_colour(p), (Rgb{0x20, 0xC0, 0x20}));
    EXPECT_EQ(p.code, "#20C020");
}

TEST(ColourPickerMarkers, SitOnTheRingAtTheHueAndInTheSquareAtSaturationAndValue) {
    ColourPicker p = open_at_100_200(Rgb{255, 0, 0});
    Point m = ring_marker(p);
    EXPECT_NEAR(m.x, 100.0 + 130.0 + 91.0, 1e-9);
    EXPECT_NEAR(m.y, 200.0 + 144.0, 1e-9);
    p.hsv.h = 0.25;
    m = ring_marker(p);
    EXPECT_NEAR(m.x, 100.0 + 130.0, 1e-9);
    EXPECT_NEAR(m.y, 200.0 + 144.0 + 91.0, 1e-9);

    p.hsv.s = 1.0;
    p.hsv.v = 1.0;
    EXPECT_EQ(square_marker(p), (Point{100.0 + 185.0, 200.0 + 89.0}));
    p.hsv.s = 0.0;
    p.hsv.v = 0.0;
    EXPECT_EQ(square_marker(p), (Point{100.0 + 75.0, 200.0 + 199.0}));

    // Scaled with the panel.
    ColourPicker small = open_picker(Rgb{255, 0, 0}, Point{0.0, 0.0}, Desktop{0, 0, 130, 400});
    ASSERT_DOUBLE_EQ(small.k, 0.5);
    m = ring_marker(small);
    EXPECT_NEAR(m.x, 0.5 * (130.0 + 91.0), 1e-9);
    EXPECT_NEAR(m.y, 0.5 * 144.0, 1e-9);
    EXPECT_EQ(square_marker(small), (Point{0.5 * 185.0, 0.5 * 89.0}));
}

// --- bitmaps ---

struct Bgra {
    int b, g, r, a;
};

Bgra at(const std::vector<std::uint8_t>& pixels, int size, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * size + x) * 4;
    return Bgra{pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]};
}

bool near(Bgra p, Rgb c, int tolerance) {
    return std::abs(p.r - c.r) <= tolerance && std::abs(p.g - c.g) <= tolerance && std::abs(p.b - c.b) <= tolerance;
}

TEST(ColourPickerBitmaps, HueRingIsOpaqueOnTheRingWithTheHueOfItsAngle) {
    const std::vector<std::uint8_t> ring = hue_ring_pixels();
    constexpr int n = kHueRingBitmapSize;
    ASSERT_EQ(ring.size(), static_cast<std::size_t>(n) * n * 4);
    struct Case {
        int x, y;
        Rgb colour;
    };
    // 91 pixels from the centre (102, 102), on the axes and diagonals. Pixel
    // centres lie half a pixel off the exact angle, hence the tolerance.
    const Case cases[] = {
        {193, 101, {255, 0, 0}},    // right: hue 0
        {101, 193, {128, 255, 0}},  // below: a quarter turn
        {10, 101, {0, 255, 255}},   // left: half a turn
        {101, 10, {128, 0, 255}},   // above: three quarters
        {166, 166, {255, 191, 0}},  // down-right: an eighth
    };
    for (const Case& c : cases) {
        const Bgra p = at(ring, n, c.x, c.y);
        EXPECT_EQ(p.a, 255) << c.x << ", " << c.y;
        EXPECT_TRUE(near(p, c.colour, 4)) << c.x << ", " << c.y << ": " << p.r << " " << p.g << " " << p.b;
    }
    // Transparent in the hole and outside the ring; soft one-pixel edges.
    EXPECT_EQ(at(ring, n, 102, 102).a, 0);
    EXPECT_EQ(at(ring, n, 0, 0).a, 0);
    EXPECT_EQ(at(ring, n, 102 + 81, 101).a, 0) << "distance 81.5";
    EXPECT_EQ(at(ring, n, 102 + 83, 101).a, 255) << "distance 83.5";
    EXPECT_EQ(at(ring, n, 102 + 99, 101).a, 255) << "distance 99.5";
    EXPECT_EQ(at(ring, n, 102 + 100, 101).a, 0) << "distance 100.5";
    // Right at the outer radius: about half covered.
    const Bgra soft = at(ring, n, 201, 111);  // dx 99.5, dy 9.5: distance 99.95
    EXPECT_GT(soft.a, 100);
    EXPECT_LT(soft.a, 180);
    // Premultiplied everywhere: no channel exceeds its alpha.
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const Bgra p = at(ring, n, x, y);
            ASSERT_TRUE(p.r <= p.a && p.g <= p.a && p.b <= p.a) << x << ", " << y;
        }
    }
}

TEST(ColourPickerBitmaps, SquareRunsFromWhiteAndBlackToTheFullHue) {
    constexpr int n = kSquareBitmapSize;
    const std::vector<std::uint8_t> green = saturation_value_pixels(1.0 / 3.0);
    ASSERT_EQ(green.size(), static_cast<std::size_t>(n) * n * 4);
    EXPECT_TRUE(near(at(green, n, n - 1, 0), Rgb{0, 255, 0}, 0));
    EXPECT_TRUE(near(at(green, n, 0, 0), Rgb{255, 255, 255}, 0));
    EXPECT_TRUE(near(at(green, n, 0, n - 1), Rgb{0, 0, 0}, 0));
    EXPECT_TRUE(near(at(green, n, n - 1, n - 1), Rgb{0, 0, 0}, 0));
    // The left column is grey, darker downwards.
    int previous = 256;
    for (int j = 0; j < n; ++j) {
        const Bgra p = at(green, n, 0, j);
        ASSERT_TRUE(p.r == p.g && p.g == p.b && p.a == 255) << j;
        ASSERT_LT(p.r, previous);
        previous = p.r;
    }
    // Another hue, another square.
    const std::vector<std::uint8_t> blue = saturation_value_pixels(2.0 / 3.0);
    EXPECT_TRUE(near(at(blue, n, n - 1, 0), Rgb{0, 0, 255}, 0));
    EXPECT_TRUE(near(at(blue, n, 64, 32), hsv_to_rgb(Hsv{2.0 / 3.0, 64.0 / 127.0, 1.0 - 32.0 / 127.0}), 0));
}

}  // namespace
