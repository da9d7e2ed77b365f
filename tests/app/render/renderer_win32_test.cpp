#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "app/runtime/com_apartment_win32.h"
#include "app/runtime/gdi_win32.h"
#include "paths/geometry.h"
#include "render/renderer_win32.h"
#include "render/screen_grab_win32.h"
#include "session/io/png_win32.h"

using namespace kadrovix;
using namespace kadrovix::win32;

namespace {

struct Bgr {
    int b = 0, g = 0, r = 0;
    friend bool operator==(const Bgr&, const Bgr&) = default;
};

std::ostream& operator<<(std::ostream& os, const Bgr& p) {
    return os << "(r " << p.r << ", g " << p.g << ", b " << p.b << ")";
}

// (-1, -1, -1) outside the image, so that a failed render fails the checks
// instead of reading past the buffer.
Bgr pixel(const BgraImage& image, std::uint32_t x, std::uint32_t y) {
    if (x >= image.width || y >= image.height || image.pixels.size() != 4ull * image.width * image.height) {
        return Bgr{-1, -1, -1};
    }
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + x) * 4;
    return Bgr{image.pixels[i], image.pixels[i + 1], image.pixels[i + 2]};
}

Bgr bgr_of(Rgb c) { return Bgr{c.b, c.g, c.r}; }

bool close_to(Bgr a, Bgr b, int tolerance) {
    return std::abs(a.b - b.b) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.r - b.r) <= tolerance;
}

// Every pixel distinct from its neighbours, so that a shifted or resampled
// copy cannot pass for the original.
BgraImage patterned_capture(std::uint32_t width, std::uint32_t height) {
    BgraImage image = new_filled_image(width, height, 0xFF000000u).value();
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
            image.pixels[i] = static_cast<std::uint8_t>(x * 3 + y);
            image.pixels[i + 1] = static_cast<std::uint8_t>(y * 5 + x / 7);
            image.pixels[i + 2] = static_cast<std::uint8_t>((x * 7) ^ (y * 11));
        }
    }
    return image;
}

BgraImage solid_capture(std::uint32_t width, std::uint32_t height, std::uint32_t pixel_value) {
    return new_filled_image(width, height, pixel_value).value();
}

constexpr Rgb kRed{237, 79, 92};
constexpr Rgb kBlue{80, 153, 244};
constexpr Rgb kGreen{64, 199, 128};
constexpr Rgb kBlack{28, 31, 40};
constexpr Rgb kYellow{250, 192, 66};

Annotation rectangle(std::uint64_t id, Rect box, Rgb colour, double width, double angle = 0.0) {
    Annotation a;
    a.geometry = shape::Rectangle{box};
    a.id = id;
    a.colour = colour;
    a.width = width;
    a.angle = angle;
    return a;
}

Annotation ellipse(std::uint64_t id, Rect box, Rgb colour, double width) {
    Annotation a = rectangle(id, box, colour, width);
    a.geometry = shape::Ellipse{box};
    return a;
}

Annotation arrow(std::uint64_t id, Point start, Point end, Rgb colour, double width) {
    Annotation a;
    shape::Arrow g;
    g.start = start;
    g.end = end;
    a.geometry = g;
    a.id = id;
    a.colour = colour;
    a.width = width;
    return a;
}

Annotation stroke(std::uint64_t id, std::vector<Point> points, Rgb colour, double width, bool highlighter = false,
                  std::vector<double> segment_widths = {}) {
    Annotation a;
    shape::Stroke g;
    g.points = std::move(points);
    g.segment_widths = std::move(segment_widths);
    g.highlighter = highlighter ? 1 : 0;
    a.geometry = g;
    a.id = id;
    a.colour = colour;
    a.width = width;
    return a;
}

Annotation text(std::uint64_t id, std::string s, Point position, double font_size, double w, double h, Rgb colour,
                double angle = 0.0) {
    Annotation a;
    shape::Text g;
    g.text = std::move(s);
    g.position = position;
    g.font_size = font_size;
    g.layout_width = w;
    g.layout_height = h;
    a.geometry = g;
    a.id = id;
    a.colour = colour;
    a.width = 3;
    a.angle = angle;
    return a;
}

// A highlighter tint over a known background: the colour at alpha 0.3, once.
Bgr tint_over(Rgb colour, Bgr background) {
    auto mix = [](int c, int bg) { return static_cast<int>(std::lround(0.3 * c + 0.7 * bg)); };
    return Bgr{mix(colour.b, background.b), mix(colour.g, background.g), mix(colour.r, background.r)};
}

class Renderer : public ::testing::Test {
protected:
    void SetUp() override {
        auto context = create_render_context(TargetAlpha::Ignore);
        ASSERT_TRUE(context.has_value()) << std::hex << context.error().code;
        context_ = std::move(context).value();
    }
    void TearDown() override { context_ = RenderContext{}; }

    BgraImage render(const BgraImage& capture, const std::vector<Annotation>& objects, RegionF region) {
        auto out = render_output(context_, capture, objects, region);
        EXPECT_TRUE(out.has_value()) << std::hex << (out ? 0 : out.error().code) << " "
                                     << (out ? std::string() : out.error().message);
        return out ? std::move(out).value() : BgraImage{};
    }
    BgraImage render_whole(const BgraImage& capture, const std::vector<Annotation>& objects) {
        return render(capture, objects,
                      RegionF{0, 0, static_cast<double>(capture.width), static_cast<double>(capture.height)});
    }

    win32::ComApartment com_;  // first made, last gone
    RenderContext context_;
};

}  // namespace

TEST_F(Renderer, OutputIsTheRegionRoundedOutward) {
    const BgraImage capture = patterned_capture(64, 48);
    const BgraImage out = render(capture, {}, RegionF{10.2, 10.7, 20.1, 20.0});
    ASSERT_EQ(out.width, 11u);
    ASSERT_EQ(out.height, 10u);
    EXPECT_EQ(out.origin_x, 0);
    EXPECT_EQ(out.origin_y, 0);
    ASSERT_EQ(out.pixels.size(), 11u * 10u * 4u);
    for (std::uint32_t y = 0; y < out.height; ++y) {
        for (std::uint32_t x = 0; x < out.width; ++x) {
            ASSERT_EQ(pixel(out, x, y), pixel(capture, 10 + x, 10 + y)) << x << "," << y;
            ASSERT_EQ(out.pixels[(y * out.width + x) * 4 + 3], 255);
        }
    }

    // A region reaching past the capture is clamped to it.
    const BgraImage clamped = render(capture, {}, RegionF{50.5, -3, 80, 10});
    EXPECT_EQ(clamped.width, 14u);
    EXPECT_EQ(clamped.height, 10u);
    EXPECT_EQ(pixel(clamped, 13, 9), pixel(capture, 63, 9));
}

TEST_F(Renderer, RefusesEmptyRegionsAndBrokenCaptures) {
    BgraImage capture = patterned_capture(64, 48);
    auto right_of = render_output(context_, capture, {}, RegionF{64, 0, 90, 20});
    ASSERT_FALSE(right_of.has_value());
    EXPECT_EQ(right_of.error().message, "Empty capture region");
    EXPECT_EQ(right_of.error().code, kErrorInvalidArgument);

    capture.pixels.pop_back();  // one byte short
    auto broken = render_output(context_, capture, {}, RegionF{0, 0, 10, 10});
    ASSERT_FALSE(broken.has_value());
    EXPECT_EQ(broken.error().message, "Invalid BGRA image dimensions or buffer length");

    auto bitmap = create_capture_bitmap(context_.dc_target.Get(), capture);
    ASSERT_FALSE(bitmap.has_value());
    EXPECT_EQ(bitmap.error().message, "Invalid BGRA image dimensions or buffer length");
}

TEST_F(Renderer, RectangleIsAnOutlineWithSharpCorners) {
    const BgraImage capture = patterned_capture(100, 80);
    const Annotation box = rectangle(1, Rect{{20, 20}, {80, 60}}, kRed, 4);
    const BgraImage out = render_whole(capture, {box});
    ASSERT_EQ(out.width, 100u);

    // The outline straddles the box edges by half the width on each side.
    EXPECT_EQ(pixel(out, 19, 40), bgr_of(kRed));
    EXPECT_EQ(pixel(out, 50, 59), bgr_of(kRed));
    // Mitered corners reach the outer corner of the pen; a round join would
    // leave this pixel mostly uncovered.
    EXPECT_EQ(pixel(out, 18, 18), bgr_of(kRed));
    EXPECT_EQ(pixel(out, 81, 61), bgr_of(kRed));

    // Inside and outside the outline the capture is untouched, exactly.
    for (std::uint32_t y = 0; y < out.height; ++y) {
        for (std::uint32_t x = 0; x < out.width; ++x) {
            const bool outside = x < 17 || x > 83 || y < 17 || y > 63;
            const bool inside = x > 23 && x < 77 && y > 23 && y < 57;
            if (outside || inside) {
                ASSERT_EQ(pixel(out, x, y), pixel(capture, x, y)) << x << "," << y;
            }
        }
    }
}

TEST_F(Renderer, ArrowHeadIsFilledAndShaftStroked) {
    const BgraImage capture = solid_capture(120, 80, 0xFFFFFFFFu);
    const Annotation a = arrow(1, {10, 40}, {100, 40}, kBlue, 4);
    const BgraImage out = render_whole(capture, {a});

    const std::vector<paths::Polyline> lines = paths::outline(a, std::span<const Annotation>(&a, 1));
    ASSERT_EQ(lines.size(), 2u);
    const paths::Polyline& head = lines[1];
    ASSERT_EQ(head.front(), head.back());
    const Point centroid{(head[0].x + head[1].x + head[2].x) / 3, (head[0].y + head[1].y + head[2].y) / 3};
    // The head's inside, well away from its edges, has the arrow's colour.
    EXPECT_EQ(pixel(out, static_cast<std::uint32_t>(centroid.x), static_cast<std::uint32_t>(centroid.y)),
              bgr_of(kBlue));
    // Part way from the centroid to a base corner, beyond the shaft's width.
    const Point inner{(centroid.x + head[0].x) / 2, (centroid.y + head[0].y) / 2};
    ASSERT_GT(std::abs(inner.y - 40), 3.0);
    EXPECT_EQ(pixel(out, static_cast<std::uint32_t>(inner.x), static_cast<std::uint32_t>(inner.y)), bgr_of(kBlue));
    // The shaft, and nothing beyond the tip.
    EXPECT_EQ(pixel(out, 30, 40), bgr_of(kBlue));
    EXPECT_EQ(pixel(out, 30, 45), (Bgr{255, 255, 255}));
    EXPECT_EQ(pixel(out, 104, 40), (Bgr{255, 255, 255}));
}

TEST_F(Renderer, SelfCrossingHighlighterHasOneTint) {
    const BgraImage capture = solid_capture(120, 120, 0xFFFFFFFFu);
    const Bgr white{255, 255, 255};
    const Bgr expected = tint_over(kYellow, white);

    // One run crossing itself, and two runs of different widths crossing
    // each other: neither crossing may be darker.
    const Annotation one_run = stroke(1, {{10, 10}, {70, 70}, {70, 10}, {10, 70}}, kYellow, 4, true);
    const Annotation two_runs = stroke(2, {{10, 10}, {70, 70}, {70, 10}, {10, 70}}, kYellow, 4, true, {4, 4, 6});
    for (const Annotation& h : {one_run, two_runs}) {
        const BgraImage out = render_whole(capture, {h});
        const Bgr crossing = pixel(out, 40, 40);
        const Bgr single = pixel(out, 25, 25);      // first diagonal only
        const Bgr other = pixel(out, 70, 40);       // the vertical leg only
        EXPECT_TRUE(close_to(single, expected, 2)) << single << " vs " << expected;
        EXPECT_TRUE(close_to(crossing, single, 1)) << crossing << " vs " << single;
        EXPECT_TRUE(close_to(other, single, 1)) << other << " vs " << single;
        // The joint where the second run starts is covered by both runs.
        EXPECT_TRUE(close_to(pixel(out, 70, 12), single, 1)) << pixel(out, 70, 12);
        EXPECT_EQ(pixel(out, 100, 100), white);
    }

    // Highlighters of two colours in one frame share a layer, each in its own tint.
    const BgraImage both = render_whole(capture, {one_run, stroke(4, {{90, 10}, {90, 60}}, kBlue, 6, true)});
    EXPECT_TRUE(close_to(pixel(both, 25, 25), expected, 2)) << pixel(both, 25, 25);
    EXPECT_TRUE(close_to(pixel(both, 90, 30), tint_over(kBlue, white), 2)) << pixel(both, 90, 30);

    // A pen stroke is opaque.
    const BgraImage pen = render_whole(capture, {stroke(3, {{10, 100}, {60, 100}, {110, 90}}, kGreen, 6)});
    EXPECT_EQ(pixel(pen, 30, 100), bgr_of(kGreen));
}

TEST_F(Renderer, LaterObjectsCoverEarlierOnes) {
    const BgraImage capture = solid_capture(100, 100, 0xFFFFFFFFu);
    const Annotation first = stroke(1, {{10, 50}, {90, 50}}, kRed, 10);
    const Annotation second = stroke(2, {{50, 10}, {50, 90}}, kBlue, 10);
    EXPECT_EQ(pixel(render_whole(capture, {first, second}), 50, 50), bgr_of(kBlue));
    EXPECT_EQ(pixel(render_whole(capture, {second, first}), 50, 50), bgr_of(kRed));
}

TEST_F(Renderer, TextIsClippedAtItsLayoutRectangle) {
    const BgraImage capture = solid_capture(200, 200, 0xFFFFFFFFu);
    const std::string words = "WWWW WWWW WWWW WWWW WWWW";
    // Layout rectangle (10, 10)-(70, 50): measured size plus 20 each way.
    const BgraImage clipped = render_whole(capture, {text(1, words, {10, 10}, 20, 40, 20, kBlack)});
    const BgraImage free = render_whole(capture, {text(1, words, {10, 10}, 20, 40, 160, kBlack)});

    auto changed_beyond = [&](const BgraImage& out) {
        std::size_t n = 0;
        for (std::uint32_t y = 0; y < out.height; ++y) {
            for (std::uint32_t x = 0; x < out.width; ++x) {
                if ((x >= 71 || y >= 51) && pixel(out, x, y) != pixel(capture, x, y)) ++n;
            }
        }
        return n;
    };
    auto changed_inside = [&](const BgraImage& out) {
        std::size_t n = 0;
        for (std::uint32_t y = 10; y < 50; ++y) {
            for (std::uint32_t x = 10; x < 70; ++x) n += pixel(out, x, y) != pixel(capture, x, y);
        }
        return n;
    };
    EXPECT_GT(changed_inside(clipped), 20u);
    EXPECT_EQ(changed_beyond(clipped), 0u);
    // The same words in a taller box do run below y = 50, so the clip above
    // is what kept them in.
    EXPECT_GT(changed_beyond(free), 20u);
}

TEST_F(Renderer, RotatedTextTurnsAboutItsCentreAndOnlyItself) {
    const BgraImage capture = solid_capture(240, 240, 0xFFFFFFFFu);
    auto size = measure_text(context_.dwrite_factory.Get(), "WWWWWWW", 24);
    ASSERT_TRUE(size.has_value());
    ASSERT_GT(size->width, size->height * 2);
    // Bounds centred on (120, 100).
    const Point position{120 - size->width / 2, 100 - size->height / 2};
    const Annotation rotated =
        text(1, "WWWWWWW", position, 24, size->width, size->height, kBlack, std::numbers::pi / 2);
    const Annotation after = rectangle(2, Rect{{20, 200}, {220, 230}}, kRed, 2);
    const BgraImage out = render_whole(capture, {rotated, after});

    // Extent of the dark text pixels.
    std::uint32_t x0 = out.width, x1 = 0, y0 = out.height, y1 = 0;
    for (std::uint32_t y = 0; y < 190; ++y) {
        for (std::uint32_t x = 0; x < out.width; ++x) {
            const Bgr p = pixel(out, x, y);
            if (p.r < 128 && p.g < 128 && p.b < 128) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    ASSERT_LT(x0, x1);
    // Turned a quarter: the line of text now runs downwards, about (120, 100).
    EXPECT_GT(y1 - y0, 2 * (x1 - x0));
    EXPECT_NEAR((y0 + y1) / 2.0, 100.0, 0.2 * size->width);
    EXPECT_NEAR((x0 + x1) / 2.0, 120.0, size->height);

    // The rectangle drawn after it is not rotated.
    EXPECT_EQ(pixel(out, 120, 200), bgr_of(kRed));
    EXPECT_EQ(pixel(out, 20, 215), bgr_of(kRed));
    EXPECT_EQ(pixel(out, 120, 215), (Bgr{255, 255, 255}));
}

TEST_F(Renderer, ALineWiderThanAnyGlyphRunLimitStillShows) {
    // 2,000 letters at 20 px lay out about 24,500 px wide; a single glyph run
    // that wide is drawn as nothing by some Direct2D implementations.
    const BgraImage capture = solid_capture(1000, 100, 0xFFFFFFFFu);
    const std::string letters(2000, 'a');
    auto size = measure_text(context_.dwrite_factory.Get(), letters, 20);
    ASSERT_TRUE(size.has_value());
    ASSERT_GT(size->width, 16384.0);
    const auto ink = [&](const std::string& words) {
        const BgraImage out = render_whole(capture, {text(1, words, {10, 10}, 20, size->width, size->height, kBlack)});
        std::size_t changed = 0;
        for (std::uint32_t y = 0; y < out.height; ++y) {
            for (std::uint32_t x = 0; x < out.width; ++x) changed += pixel(out, x, y) != pixel(capture, x, y);
        }
        return changed;
    };
    const std::size_t short_line = ink(std::string(200, 'a'));
    EXPECT_GT(short_line, 1000u);
    EXPECT_EQ(ink(letters), short_line) << "the visible part of the long line differs from the short one";
}

TEST_F(Renderer, MeasureText) {
    IDWriteFactory* dw = context_.dwrite_factory.Get();
    auto w = measure_text(dw, "W", 20);
    auto ww = measure_text(dw, "WW", 20);
    auto w_space = measure_text(dw, "W   ", 20);
    auto big = measure_text(dw, "W", 40);
    auto lines = measure_text(dw, "W\nW", 20);
    ASSERT_TRUE(w && ww && w_space && big && lines);
    EXPECT_GT(w->width, 5.0);
    EXPECT_GT(w->height, 10.0);
    EXPECT_NEAR(ww->width, 2 * w->width, 1.0);
    EXPECT_GT(w_space->width, w->width + 5.0);  // trailing white space counts
    EXPECT_GT(big->height, 1.5 * w->height);
    EXPECT_GT(lines->height, 1.5 * w->height);  // explicit line breaks still break
    // A long line does not wrap.
    auto long_line = measure_text(dw, std::string(300, 'W'), 20);
    ASSERT_TRUE(long_line.has_value());
    EXPECT_NEAR(long_line->height, w->height, 1.0);
}

// The overlay path: a DC render target bound to a DIB section, the capture
// drawn first, one object left out.
TEST_F(Renderer, OverlayFrameLeavesOutTheGivenObject) {
    const BgraImage capture = patterned_capture(80, 60);
    auto bitmap = create_capture_bitmap(context_.dc_target.Get(), capture);
    ASSERT_TRUE(bitmap.has_value());

    UniqueDc dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 80;
    info.bmiHeader.biHeight = -60;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap dib(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(dib);
    SelectedObject selected(dc.get(), dib.get());
    ASSERT_TRUE(selected.ok());

    const std::vector<Annotation> objects = {rectangle(7, Rect{{10, 10}, {30, 30}}, kRed, 4),
                                             rectangle(8, Rect{{45, 10}, {70, 40}}, kBlue, 4)};
    const RECT rect{0, 0, 80, 60};
    ASSERT_TRUE(begin_overlay_frame(context_, dc.get(), rect, (*bitmap).Get()).has_value());
    ASSERT_TRUE(draw_annotations(context_, context_.dc_target.Get(), objects, std::uint64_t{7}).has_value());
    ASSERT_TRUE(end_overlay_frame(context_).has_value());
    GdiFlush();

    BgraImage frame;
    frame.width = 80;
    frame.height = 60;
    frame.pixels.assign(static_cast<const std::uint8_t*>(bits), static_cast<const std::uint8_t*>(bits) + 80 * 60 * 4);
    EXPECT_EQ(pixel(frame, 45, 25), bgr_of(kBlue));  // object 8 drawn
    for (std::uint32_t y = 0; y < 40; ++y) {
        for (std::uint32_t x = 0; x < 40; ++x) {
            ASSERT_EQ(pixel(frame, x, y), pixel(capture, x, y)) << x << "," << y;  // object 7 is not
        }
    }
    // The transform the renderer was handed is the one it leaves behind.
    D2D1_MATRIX_3X2_F m;
    context_.dc_target->GetTransform(&m);
    EXPECT_TRUE(m._11 == 1 && m._12 == 0 && m._21 == 0 && m._22 == 1 && m._31 == 0 && m._32 == 0);
}

TEST_F(Renderer, OutputOfCaptureNeedsARegion) {
    const BgraImage capture = patterned_capture(40, 30);
    CaptureOutputSource source;
    source.capture = &capture;
    auto none = output_image_of_capture(context_, source);
    ASSERT_FALSE(none.has_value());
    EXPECT_EQ(none.error().message, "Select a capture region first");
    EXPECT_EQ(none.error().code, kErrorInvalidArgument);

    source.region = RegionF{5, 5, 15, 10};
    auto frozen = output_image_of_capture(context_, source);
    ASSERT_TRUE(frozen.has_value());
    EXPECT_EQ(frozen->width, 10u);
    EXPECT_EQ(pixel(*frozen, 0, 0), pixel(capture, 5, 5));

    // Live mode grabs again; this capture's size is not the screen's.
    source.live = true;
    auto live = output_image_of_capture(context_, source);
    ASSERT_FALSE(live.has_value());
    EXPECT_EQ(live.error().message, "Display configuration changed. Start a new capture.");

    // With the screen's own geometry the fresh grab is what gets rendered,
    // not the picture held by the capture.
    auto screen = grab_virtual_screen();
    ASSERT_TRUE(screen.has_value());
    BgraImage stale = new_filled_image(screen->width, screen->height, 0xFFFF00FFu).value();
    stale.origin_x = screen->origin_x;
    stale.origin_y = screen->origin_y;
    source.capture = &stale;
    source.region = RegionF{0, 0, 8, 8};
    auto fresh = output_image_of_capture(context_, source);
    ASSERT_TRUE(fresh.has_value()) << fresh.error().message;
    EXPECT_EQ(fresh->width, 8u);
    EXPECT_NE(pixel(*fresh, 0, 0), pixel(stale, 0, 0));
}

// Every kind on one image, saved for a person to look at.
TEST_F(Renderer, SampleImage) {
    BgraImage capture = new_filled_image(480, 320, 0xFF000000u).value();
    for (std::uint32_t y = 0; y < capture.height; ++y) {
        for (std::uint32_t x = 0; x < capture.width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * capture.width + x) * 4;
            const bool check = ((x / 40) + (y / 40)) % 2 == 0;
            capture.pixels[i] = static_cast<std::uint8_t>(check ? 235 : 200 + y / 8);
            capture.pixels[i + 1] = static_cast<std::uint8_t>(check ? 232 : 215);
            capture.pixels[i + 2] = static_cast<std::uint8_t>(check ? 228 : 190 + x / 12);
        }
    }
    auto size = measure_text(context_.dwrite_factory.Get(), "Kadrovix sample", 28);
    ASSERT_TRUE(size.has_value());
    auto turned = measure_text(context_.dwrite_factory.Get(), "turned", 18);
    ASSERT_TRUE(turned.has_value());

    std::vector<Annotation> objects;
    objects.push_back(rectangle(1, Rect{{30, 30}, {170, 120}}, kRed, 4));
    objects.push_back(ellipse(2, Rect{{210, 30}, {340, 120}}, kBlue, 3));
    Annotation attached = arrow(3, {0, 0}, {0, 0}, kGreen, 5);
    attached.as<shape::Arrow>()->start_attachment = Attachment{1.0, 0.2, 1};
    attached.as<shape::Arrow>()->end_attachment = Attachment{-1.0, 0.0, 2};
    objects.push_back(attached);
    objects.push_back(arrow(4, {60, 290}, {200, 170}, kRed, 3));
    objects.push_back(stroke(5, {{360, 40}, {450, 110}}, kBlack, 2));  // a line
    objects.push_back(stroke(6, {{240, 160}, {270, 200}, {300, 165}, {330, 205}, {360, 170}, {390, 210}, {420, 175}},
                             kBlue, 8));  // a pen zigzag
    objects.push_back(stroke(7, {{230, 230}, {420, 300}, {420, 230}, {230, 300}}, kYellow, 5, true));
    objects.push_back(text(8, "Kadrovix sample", {30, 140}, 28, size->width, size->height, kBlack));
    objects.push_back(
        text(9, "turned", {380, 250}, 18, turned->width, turned->height, kRed, std::numbers::pi / 6));

    const BgraImage out = render_whole(capture, objects);
    ASSERT_EQ(out.width, 480u);
    const std::filesystem::path folder = std::filesystem::path(KADROVIX_SOURCE_DIR) / "target" / "screenshots";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    auto written = write_png_file(out, (folder / "renderer-sample.png").wstring());
    ASSERT_TRUE(written.has_value()) << std::hex << written.error().code;
}
