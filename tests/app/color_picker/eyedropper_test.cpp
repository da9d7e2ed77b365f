#include "color_picker/eyedropper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace kadrovix;

namespace {

constexpr Desktop kFullHd{0, 0, 1920, 1080};

// Each pixel says where it is: red = x, green = y, blue = 200 (stored as
// blue, green, red, alpha).
BgraImage coordinate_image(std::uint32_t width, std::uint32_t height) {
    BgraImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* p = &image.pixels[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = 200;
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(x);
            p[3] = 255;
        }
    }
    return image;
}

Rgb at(int x, int y) { return Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 200}; }

TEST(EyedropperPick, ReadsThePixelUnderThePointerAsRedGreenBlue) {
    const BgraImage image = coordinate_image(40, 30);
    EXPECT_EQ(pick_pixel(image, Point{12.0, 7.0}), at(12, 7));
    // Fractions are the pixel they lie in.
    EXPECT_EQ(pick_pixel(image, Point{12.9, 7.99}), at(12, 7));
    // The pointer may rest on the desktop's far edge: the last pixel.
    EXPECT_EQ(pick_pixel(image, Point{40.0, 30.0}), at(39, 29));
    EXPECT_EQ(pick_pixel(image, Point{1e9, -1e9}), at(39, 0));
    EXPECT_EQ(pick_pixel(image, Point{-3.0, 29.5}), at(0, 29));
    EXPECT_EQ(pick_pixel(image, Point{std::numeric_limits<double>::quiet_NaN(), 5.0}), at(0, 5));
}

TEST(EyedropperPick, NothingFromAnEmptyOrShortImage) {
    EXPECT_FALSE(pick_pixel(BgraImage{}, Point{0.0, 0.0}).has_value());
    BgraImage short_buffer = coordinate_image(4, 4);
    short_buffer.pixels.resize(4 * 4 * 4 - 4);
    EXPECT_FALSE(pick_pixel(short_buffer, Point{3.0, 3.0}).has_value());
    EXPECT_EQ(pick_pixel(short_buffer, Point{2.0, 3.0}), at(2, 3));
}

TEST(EyedropperLoupe, SitsBelowRightOfThePointerUnlessThatLeavesTheDesktop) {
    struct Case {
        Point pointer;
        Desktop desktop;
        Point corner;
    };
    const Case cases[] = {
        {{100.0, 100.0}, kFullHd, {124.0, 124.0}},
        // Right edge: the loupe moves to the pointer's left; bottom edge: above.
        {{1920.0, 500.0}, kFullHd, {1920.0 - 24.0 - 126.0, 524.0}},
        {{500.0, 1080.0}, kFullHd, {524.0, 1080.0 - 24.0 - 164.0}},
        {{1919.0, 1079.0}, kFullHd, {1919.0 - 150.0, 1079.0 - 188.0}},
        // Just fitting stays; one pixel more flips.
        {{1770.0, 892.0}, kFullHd, {1794.0, 916.0}},
        {{1771.0, 893.0}, kFullHd, {1771.0 - 150.0, 893.0 - 188.0}},
        // Near the top-left corner of a desktop too small for either side:
        // kept on the desktop.
        {{30.0, 30.0}, {0, 0, 150, 180}, {0.0, 0.0}},
        // Smaller than the loupe: pinned to the corner.
        {{10.0, 10.0}, {0, 0, 100, 100}, {0.0, 0.0}},
    };
    for (const Case& c : cases) {
        const Rect r = loupe_panel(c.pointer, c.desktop);
        EXPECT_EQ(r.min, c.corner) << c.pointer.x << ", " << c.pointer.y;
        EXPECT_DOUBLE_EQ(r.max.x - r.min.x, 126.0);
        EXPECT_DOUBLE_EQ(r.max.y - r.min.y, 164.0);
    }
}

TEST(EyedropperLoupe, GridShowsTheElevenByElevenPixelsAroundThePointer) {
    const BgraImage image = coordinate_image(64, 48);
    const Loupe loupe = layout_loupe(Point{20.0, 30.0}, Desktop{0, 0, 64, 48}, image);
    EXPECT_EQ(loupe.centre_x, 20);
    EXPECT_EQ(loupe.centre_y, 30);
    EXPECT_EQ(loupe.grid.min.x - loupe.panel.min.x, 8.0);
    EXPECT_EQ(loupe.grid.min.y - loupe.panel.min.y, 8.0);
    EXPECT_EQ(loupe.grid.max.x - loupe.grid.min.x, 110.0);
    EXPECT_EQ(loupe.grid.max.y - loupe.grid.min.y, 110.0);
    for (int j = 0; j < kLoupeCells; ++j) {
        for (int i = 0; i < kLoupeCells; ++i) {
            EXPECT_EQ(loupe_cell_colour(loupe, image, i, j), at(20 - 5 + i, 30 - 5 + j)) << i << ", " << j;
            const Rect cell = loupe_cell(loupe, i, j);
            EXPECT_EQ(cell.min, (Point{loupe.grid.min.x + 10.0 * i, loupe.grid.min.y + 10.0 * j}));
            EXPECT_EQ(cell.max, (Point{cell.min.x + 10.0, cell.min.y + 10.0}));
        }
    }
}

TEST(EyedropperLoupe, CellsBeyondTheImageShowNothing) {
    const BgraImage image = coordinate_image(64, 48);
    // At the top-left corner the pointer's pixel is (0, 0): the cells up and
    // left of the middle one lie outside.
    Loupe loupe = layout_loupe(Point{0.0, 0.0}, Desktop{0, 0, 64, 48}, image);
    EXPECT_FALSE(loupe_cell_colour(loupe, image, 0, 0).has_value());
    EXPECT_FALSE(loupe_cell_colour(loupe, image, 4, 5).has_value());
    EXPECT_EQ(loupe_cell_colour(loupe, image, 5, 5), at(0, 0));
    EXPECT_EQ(loupe_cell_colour(loupe, image, 10, 10), at(5, 5));
    // On the far edge (the pointer may equal the desktop size) the middle
    // cell is the last pixel.
    loupe = layout_loupe(Point{64.0, 48.0}, Desktop{0, 0, 64, 48}, image);
    EXPECT_EQ(loupe.centre_x, 63);
    EXPECT_EQ(loupe.centre_y, 47);
    EXPECT_EQ(loupe_cell_colour(loupe, image, 5, 5), at(63, 47));
    EXPECT_FALSE(loupe_cell_colour(loupe, image, 6, 5).has_value());
    EXPECT_FALSE(loupe_cell_colour(loupe, image, 5, 6).has_value());
    EXPECT_EQ(loupe_cell_colour(loupe, image, 0, 0), at(58, 42));
    // No image at all.
    EXPECT_FALSE(loupe_cell_colour(loupe, BgraImage{}, 5, 5).has_value());
}

TEST(EyedropperLoupe, SwatchCodeAndHintFitBelowTheGridInsideThePanel) {
    const BgraImage image = coordinate_image(8, 8);
    for (const Point pointer : {Point{100.0, 100.0}, Point{1920.0, 1080.0}}) {
        const Loupe loupe = layout_loupe(pointer, kFullHd, image);
        const auto inside = [&](const Rect& r) {
            return r.min.x >= loupe.panel.min.x && r.max.x <= loupe.panel.max.x && r.min.y >= loupe.panel.min.y &&
                   r.max.y <= loupe.panel.max.y;
        };
        EXPECT_TRUE(inside(loupe.grid));
        EXPECT_TRUE(inside(loupe.swatch));
        EXPECT_TRUE(inside(loupe.code));
        EXPECT_GT(loupe.swatch.min.y, loupe.grid.max.y);
        EXPECT_GE(loupe.code.min.x, loupe.swatch.max.x);
        // The hint's baseline 147 below the grid's top, with room for a
        // descender and a line's height above it clear of the code row.
        EXPECT_DOUBLE_EQ(loupe.hint.y - loupe.grid.min.y, 147.0);
        EXPECT_LE(loupe.hint.y + 3.0, loupe.panel.max.y);
        EXPECT_GE(loupe.hint.y - 10.0, loupe.code.max.y);
        EXPECT_DOUBLE_EQ(loupe.hint.x, loupe.grid.min.x);
    }
}

}  // namespace
