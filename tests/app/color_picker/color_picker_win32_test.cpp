// The picker panel and the eyedropper's magnifier painted with the real
// Direct2D onto an offscreen bitmap, checked pixel by pixel.
#include "color_picker/color_picker_win32.h"

#include <d2d1.h>
#include <dwrite.h>
#include <gtest/gtest.h>
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <ostream>

#include "app/runtime/com_apartment_win32.h"
#include "color_picker/color_picker.h"
#include "color_picker/eyedropper.h"
#include "color_picker/hsv.h"
#include "render/bgra_image.h"
#include "support/d2d_surface_win32.h"

using namespace kadrovix;
using namespace kadrovix::win32;
using Microsoft::WRL::ComPtr;
namespace u = kadrovix::picker_units;

namespace {

struct Px {
    int r = 0, g = 0, b = 0;
};

std::ostream& operator<<(std::ostream& os, const Px& p) {
    return os << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}

bool close_to(Px p, Rgb c, int tolerance) {
    return std::abs(p.r - c.r) <= tolerance && std::abs(p.g - c.g) <= tolerance && std::abs(p.b - c.b) <= tolerance;
}

using Surface = kadrovix::testing::D2dSurface;

// A backdrop no element of the panel or loupe is drawn in.
constexpr Rgb kBackdrop{0, 140, 70};

Px pixel(const BgraImage& image, double x, double y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") lies outside the surface";
        return Px{-1000, -1000, -1000};
    }
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x)) * 4;
    return Px{image.pixels[i + 2], image.pixels[i + 1], image.pixels[i]};
}

// Pixels of `r` whose brightest channel is at least `level`.
int bright_pixels(const BgraImage& image, const Rect& r, int level) {
    int n = 0;
    for (int y = static_cast<int>(r.min.y); y < static_cast<int>(r.max.y); ++y) {
        for (int x = static_cast<int>(r.min.x); x < static_cast<int>(r.max.x); ++x) {
            const Px p = pixel(image, x, y);
            if (std::max({p.r, p.g, p.b}) >= level) ++n;
        }
    }
    return n;
}

class PickerPaint : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(com_.ok()); }

    // Paints `panel` over the backdrop on `surface` and gives the pixels.
    static BgraImage paint(Surface& surface, ColourPickerPanel& panel) {
        surface.target()->BeginDraw();
        surface.target()->Clear(D2D1::ColorF(kBackdrop.r / 255.0f, kBackdrop.g / 255.0f, kBackdrop.b / 255.0f));
        const Result<void> painted = panel.paint(surface.target(), surface.dwrite());
        const HRESULT ended = surface.target()->EndDraw();
        EXPECT_TRUE(painted.has_value()) << "paint failed: " << (painted ? 0 : painted.error().code);
        EXPECT_HRESULT_SUCCEEDED(ended);
        return surface.pixels();
    }

    ComApartment com_;
};

// The desktop point on the ring at `turns` of a full turn, `distance` units out.
Point on_ring(const ColourPicker& p, double turns, double distance = 91.0) {
    const double a = 2.0 * std::numbers::pi * turns;
    return p.to_pixels(Point{u::kRingCentre.x + distance * std::cos(a), u::kRingCentre.y + distance * std::sin(a)});
}

TEST_F(PickerPaint, RingShowsEachHueAtItsAngle) {
    Surface surface(400, 400);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    ColourPickerPanel panel;
    panel.open(Rgb{32, 96, 192}, Point{20.0, 30.0}, Desktop{0, 0, 400, 400});
    const BgraImage image = paint(surface, panel);
    const ColourPicker& p = *panel.state();
    // Every 30 degrees, away from the marker (at the colour's hue, 0.597).
    for (int step = 0; step < 12; ++step) {
        const double turns = step / 12.0;
        if (std::abs(turns - 7.0 / 12.0) < 0.02) continue;
        const Point at = on_ring(p, turns);
        const Px got = pixel(image, at.x, at.y);
        // The pixel's centre lies up to 0.7 pixels off the exact angle.
        const Rgb want = hsv_to_rgb(Hsv{turns, 1.0, 1.0});
        EXPECT_TRUE(close_to(got, want, 10)) << "at " << step * 30 << " degrees: " << got;
    }
    // Inside the hole, around the square, and beyond the ring: the panel.
    for (const Point units : {Point{130.0, 144.0 - 75.0}, Point{130.0 + 105.0, 144.0}, Point{250.0, 30.0}}) {
        const Point at = p.to_pixels(units);
        EXPECT_TRUE(close_to(pixel(image, at.x, at.y), Rgb{32, 32, 32}, 2)) << units.x << ", " << units.y;
    }
}

TEST_F(PickerPaint, PanelSquareSwatchTextAndMarkers) {
    Surface surface(400, 400);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    ColourPickerPanel panel;
    // Pure red: the square is red's, its marker in the top-right corner.
    panel.open(Rgb{255, 0, 0}, Point{60.0, 40.0}, Desktop{0, 0, 400, 400});
    const BgraImage image = paint(surface, panel);
    const ColourPicker& p = *panel.state();

    // The panel, its one-pixel outline, and the backdrop around it.
    EXPECT_TRUE(close_to(pixel(image, p.left + 130, p.top + 5), Rgb{32, 32, 32}, 2));
    EXPECT_TRUE(close_to(pixel(image, p.left, p.top + 150), Rgb{72, 72, 72}, 3)) << pixel(image, p.left, p.top + 150);
    EXPECT_TRUE(close_to(pixel(image, p.right - 1, p.top + 150), Rgb{72, 72, 72}, 3));
    EXPECT_TRUE(close_to(pixel(image, p.left - 1, p.top + 150), kBackdrop, 1));
    EXPECT_TRUE(close_to(pixel(image, p.right, p.top + 150), kBackdrop, 1));
    // Rounded corners: the very corner pixel is the backdrop.
    EXPECT_TRUE(close_to(pixel(image, p.left, p.top), kBackdrop, 24)) << pixel(image, p.left, p.top);

    // The square: white top-left, black at the bottom, red top-right
    // (under the marker, so looked at just beside it).
    const Rect sq = p.to_pixels(u::kSquare);
    EXPECT_TRUE(close_to(pixel(image, sq.min.x + 1, sq.min.y + 1), Rgb{255, 255, 255}, 6));
    EXPECT_TRUE(close_to(pixel(image, sq.min.x + 1, sq.max.y - 2), Rgb{0, 0, 0}, 6));
    EXPECT_TRUE(close_to(pixel(image, sq.max.x - 2, sq.min.y + 12), Rgb{255, 0, 0}, 30))
        << pixel(image, sq.max.x - 2, sq.min.y + 12);
    // Half saturation, half value in the middle.
    EXPECT_TRUE(close_to(pixel(image, (sq.min.x + sq.max.x) / 2, (sq.min.y + sq.max.y) / 2), Rgb{128, 64, 64}, 8))
        << pixel(image, (sq.min.x + sq.max.x) / 2, (sq.min.y + sq.max.y) / 2);

    // The swatch in the colour, with its grey outline.
    const Rect sw = p.to_pixels(u::kSwatch);
    EXPECT_TRUE(close_to(pixel(image, (sw.min.x + sw.max.x) / 2, (sw.min.y + sw.max.y) / 2), Rgb{255, 0, 0}, 1));
    EXPECT_TRUE(close_to(pixel(image, sw.min.x, (sw.min.y + sw.max.y) / 2), Rgb{112, 112, 112}, 3));

    // Light text in the title, code and hint boxes; none in the gaps
    // between them.
    EXPECT_GT(bright_pixels(image, p.to_pixels(u::kTitle), 200), 20);
    EXPECT_GT(bright_pixels(image, p.to_pixels(u::kCode), 200), 20);
    EXPECT_GT(bright_pixels(image, p.to_pixels(u::kHint), 140), 20);
    EXPECT_EQ(bright_pixels(image, p.to_pixels(Rect{{60.0, 246.0}, {235.0, 258.0}}), 120), 0);

    // Markers: white ring on a dark one, on the ring at hue 0 and in the
    // square's top-right corner.
    for (const Point m : {ring_marker(p), square_marker(p)}) {
        EXPECT_TRUE(close_to(pixel(image, m.x + 5, m.y), Rgb{255, 255, 255}, 30)) << pixel(image, m.x + 5, m.y);
        EXPECT_TRUE(close_to(pixel(image, m.x, m.y - 6), Rgb{255, 255, 255}, 30)) << pixel(image, m.x, m.y - 6);
        const Px dark = pixel(image, m.x - 7, m.y);
        EXPECT_LT(std::max({dark.r, dark.g, dark.b}), 90) << dark;
    }
    const Point ring = ring_marker(p);
    EXPECT_NEAR(ring.x, p.left + 221.0, 1e-9);
}

TEST_F(PickerPaint, DraggedHueRebuildsTheSquareAndMovesTheMarker) {
    Surface surface(400, 400);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    ColourPickerPanel panel;
    panel.open(Rgb{255, 0, 0}, Point{60.0, 40.0}, Desktop{0, 0, 400, 400});
    (void)paint(surface, panel);
    const ColourPicker& p = *panel.state();
    const Rect sq = p.to_pixels(u::kSquare);

    // A third of a turn: green.
    ASSERT_EQ(panel.press(on_ring(p, 1.0 / 3.0)), PickerPress::Inside);
    EXPECT_TRUE(panel.dragging());
    panel.release();
    EXPECT_FALSE(panel.dragging());
    const BgraImage image = paint(surface, panel);
    EXPECT_EQ(panel.colour(), (Rgb{0, 255, 0}));
    EXPECT_TRUE(close_to(pixel(image, sq.max.x - 2, sq.min.y + 12), Rgb{0, 255, 0}, 30))
        << pixel(image, sq.max.x - 2, sq.min.y + 12);
    const Rect sw = p.to_pixels(u::kSwatch);
    EXPECT_TRUE(close_to(pixel(image, (sw.min.x + sw.max.x) / 2, (sw.min.y + sw.max.y) / 2), Rgb{0, 255, 0}, 1));
    // The marker left hue 0: the ring shows red there again.
    const Point old_marker = on_ring(p, 0.0);
    EXPECT_TRUE(close_to(pixel(image, old_marker.x + 5, old_marker.y), Rgb{255, 0, 0}, 12))
        << pixel(image, old_marker.x + 5, old_marker.y);
}

TEST_F(PickerPaint, NewTargetGetsNewBitmapsAndClosedPanelDrawsNothing) {
    ColourPickerPanel panel;
    panel.open(Rgb{255, 0, 0}, Point{0.0, 0.0}, Desktop{0, 0, 300, 330});
    {
        Surface first(300, 330);
        ASSERT_HRESULT_SUCCEEDED(first.status());
        (void)paint(first, panel);
    }
    // Bitmaps of a target that is gone cannot be drawn on another one; the
    // panel must notice the new target by itself.
    Surface second(300, 330);
    ASSERT_HRESULT_SUCCEEDED(second.status());
    BgraImage image = paint(second, panel);
    const Point cyan = on_ring(*panel.state(), 0.5);
    EXPECT_TRUE(close_to(pixel(image, cyan.x, cyan.y), Rgb{0, 255, 255}, 10)) << pixel(image, cyan.x, cyan.y);

    // After an explicit drop as well.
    panel.drop_resources();
    image = paint(second, panel);
    EXPECT_TRUE(close_to(pixel(image, cyan.x, cyan.y), Rgb{0, 255, 255}, 10));

    panel.close();
    EXPECT_FALSE(panel.is_open());
    EXPECT_EQ(panel.press(Point{10.0, 10.0}), PickerPress::Apply);
    image = paint(second, panel);
    EXPECT_TRUE(close_to(pixel(image, cyan.x, cyan.y), kBackdrop, 0));
    EXPECT_TRUE(close_to(pixel(image, 130, 20), kBackdrop, 0));
}

TEST_F(PickerPaint, ShrunkPanelKeepsItsProportions) {
    // 130 x 200: k = 0.5, the panel 130 x 158.
    Surface surface(130, 200);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    ColourPickerPanel panel;
    panel.open(Rgb{255, 0, 0}, Point{100.0, 100.0}, Desktop{0, 0, 130, 200});
    const BgraImage image = paint(surface, panel);
    const ColourPicker& p = *panel.state();
    ASSERT_DOUBLE_EQ(p.k, 0.5);
    EXPECT_DOUBLE_EQ(p.left, 0.0);
    EXPECT_DOUBLE_EQ(p.top, 42.0);
    const Point blue = on_ring(p, 2.0 / 3.0);
    EXPECT_TRUE(close_to(pixel(image, blue.x, blue.y), Rgb{0, 0, 255}, 40)) << pixel(image, blue.x, blue.y);
    EXPECT_TRUE(close_to(pixel(image, 65, 42 + 2), Rgb{32, 32, 32}, 2));
    EXPECT_TRUE(close_to(pixel(image, 65, 40), kBackdrop, 1));
    // The panel ends on the desktop's bottom edge.
    EXPECT_TRUE(close_to(pixel(image, 65, 199), Rgb{72, 72, 72}, 3)) << pixel(image, 65, 199);
}

// --- the loupe ---

// Red = x * 4, green = y * 4, blue 90, for a 60 x 50 picture.
BgraImage gradient_image() {
    BgraImage image = new_filled_image(60, 50, 0xFF000000u).value();
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            std::uint8_t* p = &image.pixels[(static_cast<std::size_t>(y) * image.width + x) * 4];
            p[0] = 90;
            p[1] = static_cast<std::uint8_t>(y * 4);
            p[2] = static_cast<std::uint8_t>(x * 4);
        }
    }
    return image;
}

Rgb gradient(long long x, long long y) {
    return Rgb{static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4), 90};
}

class LoupePaint : public PickerPaint {
protected:
    static BgraImage paint_loupe_at(Surface& surface, const BgraImage& capture, Point pointer, const Desktop& desktop) {
        surface.target()->BeginDraw();
        surface.target()->Clear(D2D1::ColorF(kBackdrop.r / 255.0f, kBackdrop.g / 255.0f, kBackdrop.b / 255.0f));
        const Result<void> painted =
            paint_loupe(surface.target(), surface.brush(), surface.dwrite(), capture, pointer, desktop);
        const HRESULT ended = surface.target()->EndDraw();
        EXPECT_TRUE(painted.has_value());
        EXPECT_HRESULT_SUCCEEDED(ended);
        return surface.pixels();
    }
};

TEST_F(LoupePaint, CellsMagnifyThePixelsAroundThePointer) {
    const BgraImage capture = gradient_image();
    const Desktop desktop{0, 0, 400, 300};
    Surface surface(400, 300);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    const Point pointer{30.0, 20.0};
    const BgraImage image = paint_loupe_at(surface, capture, pointer, desktop);
    const Loupe loupe = layout_loupe(pointer, desktop, capture);
    ASSERT_EQ(loupe.panel.min, (Point{54.0, 44.0}));
    for (int j = 0; j < kLoupeCells; ++j) {
        for (int i = 0; i < kLoupeCells; ++i) {
            const Rect cell = loupe_cell(loupe, i, j);
            const Px got = pixel(image, cell.min.x + 5, cell.min.y + 5);
            EXPECT_TRUE(close_to(got, gradient(30 - 5 + i, 20 - 5 + j), 1)) << i << ", " << j << ": " << got;
        }
    }
    // The middle cell's frame: white inside, dark outside.
    const Rect middle = loupe_cell(loupe, 5, 5);
    EXPECT_TRUE(close_to(pixel(image, middle.min.x + 1, middle.min.y + 5), Rgb{255, 255, 255}, 40))
        << pixel(image, middle.min.x + 1, middle.min.y + 5);
    const Px outside = pixel(image, middle.min.x - 1, middle.min.y + 5);
    EXPECT_LT(std::max({outside.r, outside.g, outside.b}), 60) << outside;
    // Background margin, swatch of the pointer's pixel, code and hint text.
    EXPECT_TRUE(close_to(pixel(image, loupe.panel.min.x + 3, loupe.panel.min.y + 60), Rgb{25, 25, 25}, 3));
    EXPECT_TRUE(close_to(pixel(image, loupe.swatch.min.x + 8, loupe.swatch.min.y + 8), gradient(30, 20), 1));
    EXPECT_GT(bright_pixels(image, loupe.code, 200), 15);
    EXPECT_GT(bright_pixels(image, Rect{{loupe.hint.x, loupe.hint.y - 10.0}, {loupe.panel.max.x, loupe.hint.y + 3.0}},
                            140),
              10);
    // Nothing beyond the panel.
    EXPECT_TRUE(close_to(pixel(image, loupe.panel.max.x + 1, loupe.panel.min.y + 60), kBackdrop, 0));
    EXPECT_TRUE(close_to(pixel(image, loupe.panel.min.x + 60, loupe.panel.max.y + 1), kBackdrop, 0));
}

TEST_F(LoupePaint, CellsBeyondThePictureShowOnlyTheGrid) {
    const BgraImage capture = gradient_image();
    Surface surface(400, 300);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    const BgraImage image = paint_loupe_at(surface, capture, Point{0.0, 0.0}, Desktop{0, 0, 400, 300});
    const Loupe loupe = layout_loupe(Point{0.0, 0.0}, Desktop{0, 0, 400, 300}, capture);
    const Rect empty = loupe_cell(loupe, 2, 2);
    EXPECT_TRUE(close_to(pixel(image, empty.min.x + 5, empty.min.y + 5), Rgb{25, 25, 25}, 3));
    // Its outline is there: lighter than the background.
    const Px line = pixel(image, empty.min.x, empty.min.y + 5);
    EXPECT_GT(line.r, 40) << line;
    const Rect first = loupe_cell(loupe, 5, 5);
    EXPECT_TRUE(close_to(pixel(image, first.min.x + 5, first.min.y + 5), gradient(0, 0), 1));
}

TEST_F(LoupePaint, AtTheRightEdgeTheLoupeGoesLeftOfThePointer) {
    const BgraImage capture = gradient_image();
    Surface surface(400, 300);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    // A 60-pixel-wide desktop: at its right edge the loupe cannot go right.
    const Desktop desktop{0, 0, 400, 300};
    const Point pointer{399.0, 40.0};
    const BgraImage image = paint_loupe_at(surface, capture, pointer, desktop);
    // Left of the pointer: 399 - 24 - 126 = 249.
    EXPECT_TRUE(close_to(pixel(image, 251, 120), Rgb{25, 25, 25}, 3)) << pixel(image, 251, 120);
    EXPECT_TRUE(close_to(pixel(image, 247, 120), kBackdrop, 0));
    EXPECT_TRUE(close_to(pixel(image, 390, 120), kBackdrop, 0));
    // The pointer lies beyond the picture: the middle cell shows its last column.
    const Loupe loupe = layout_loupe(pointer, desktop, capture);
    const Rect middle = loupe_cell(loupe, 5, 5);
    EXPECT_TRUE(close_to(pixel(image, middle.min.x + 5, middle.min.y + 5), gradient(59, 40), 1));
}

}  // namespace
