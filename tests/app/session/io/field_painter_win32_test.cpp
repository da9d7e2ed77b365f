#include "session/io/field_painter_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

#include "app/runtime/com_apartment_win32.h"
#include "session/io/hidden_edit_win32.h"
#include "support/d2d_surface_win32.h"
#include "support/test_window_win32.h"

namespace kadrovix::win32 {
namespace {

using testing::D2dSurface;
using testing::TestWindow;

constexpr Rgb kGreen{64, 199, 128};
constexpr Rgb kBlack{28, 31, 40};
// The selection's fill over white: 40 % of (88, 166, 255).
constexpr Rgb kSelectionOverWhite{188, 219, 255};

bool close_to(const BgraImage& image, int x, int y, Rgb c, int tolerance) {
    if (x < 0 || y < 0 || x >= static_cast<int>(image.width) || y >= static_cast<int>(image.height)) return false;
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x)) * 4;
    return std::abs(image.pixels[i + 2] - c.r) <= tolerance && std::abs(image.pixels[i + 1] - c.g) <= tolerance &&
           std::abs(image.pixels[i] - c.b) <= tolerance;
}

struct Count {
    int inside = 0;
    int outside = 0;
};

// Pixels near `c`, split by whether `in` takes their centre.
template <class In>
Count count_near(const BgraImage& image, Rgb c, int tolerance, In in) {
    Count n;
    for (int y = 0; y < static_cast<int>(image.height); ++y) {
        for (int x = 0; x < static_cast<int>(image.width); ++x) {
            if (!close_to(image, x, y, c, tolerance)) continue;
            (in(x + 0.5, y + 0.5) ? n.inside : n.outside)++;
        }
    }
    return n;
}

HiddenEditOptions text_entry_options(double size) {
    HiddenEditOptions o;
    o.width = 600;
    o.height = 300;
    o.multi_line = true;
    o.font_size = size;
    return o;
}

FieldLook look_at(Point origin, double size, Rgb colour) {
    FieldLook look;
    look.origin = origin;
    look.font_size = size;
    look.colour = colour;
    return look;
}

class FieldPainter : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.ok());
        ASSERT_HRESULT_SUCCEEDED(surface_.status());
    }

    HiddenEdit edit(std::wstring_view text, double size = 32.0) {
        auto made = HiddenEdit::create(parent_.get(), text, text_entry_options(size));
        EXPECT_TRUE(made.has_value());
        return made ? std::move(*made) : HiddenEdit{};
    }

    BgraImage paint(const HiddenEdit& e, const FieldLook& look) {
        surface_.begin();
        auto painted = paint_field(surface_.target(), surface_.brush(), surface_.dwrite(), e, look);
        EXPECT_HRESULT_SUCCEEDED(surface_.end());
        EXPECT_TRUE(painted.has_value()) << (painted ? 0 : painted.error().code);
        return surface_.pixels();
    }

    Rect box_of(const HiddenEdit& e, const FieldLook& look) {
        auto box = measure_field(surface_.dwrite(), e, look);
        EXPECT_TRUE(box.has_value());
        return box ? box->box : Rect{};
    }

    std::uint32_t hit(const HiddenEdit& e, const FieldLook& look, Point p) {
        auto h = hit_test_field(surface_.dwrite(), e, look, p);
        EXPECT_TRUE(h.has_value());
        return h ? h->index : 0xFFFFFFFFu;
    }

    ComApartment com_;
    TestWindow parent_;
    D2dSurface surface_{480, 320};
};

TEST_F(FieldPainter, DrawsTheTextInTheFieldsColourInsideItsLayoutBox) {
    HiddenEdit e = edit(L"Hello field");
    const FieldLook look = look_at({40, 50}, 32, kGreen);
    const Rect box = box_of(e, look);
    EXPECT_EQ(box.min, (Point{40, 50}));
    EXPECT_GT(box.max.x - box.min.x, 100.0);
    EXPECT_GT(box.max.y - box.min.y, 30.0);
    EXPECT_LT(box.max.y - box.min.y, 60.0);

    const BgraImage image = paint(e, look);
    const auto in_box = [&](double x, double y) {
        return x >= box.min.x - 1 && x <= box.max.x + 1 && y >= box.min.y - 1 && y <= box.max.y + 1;
    };
    const Count green = count_near(image, kGreen, 12, in_box);
    EXPECT_GT(green.inside, 80) << "too little of the text in its colour";
    EXPECT_EQ(green.outside, 0) << "text outside its layout box";

    // Another colour paints the same field in that colour only.
    const BgraImage black = paint(e, look_at({40, 50}, 32, kBlack));
    EXPECT_GT(count_near(black, kBlack, 12, in_box).inside, 80);
    EXPECT_EQ(count_near(black, kGreen, 40, in_box).inside, 0);
}

TEST_F(FieldPainter, FillsTheSelectionAndDrawsTheCaretOnlyWhenFocused) {
    HiddenEdit e = edit(L"abcdef");
    FieldLook look = look_at({40, 50}, 32, kGreen);
    const Rect box = box_of(e, look);
    const auto in_box = [&](double x, double y) {
        return x >= box.min.x && x <= box.max.x && y >= box.min.y && y <= box.max.y;
    };

    e.set_selection(1, 4);
    const Count selected = count_near(paint(e, look), kSelectionOverWhite, 8, in_box);
    EXPECT_GT(selected.inside, 200) << "no selection fill";
    EXPECT_EQ(selected.outside, 0);
    e.place_caret(3);
    EXPECT_EQ(count_near(paint(e, look), kSelectionOverWhite, 8, in_box).inside, 0) << "an empty selection is filled";

    // An empty field shows only its caret: a one-pixel line at the origin, as tall as a line.
    HiddenEdit empty = edit(L"");
    FieldLook caret = look_at({100.25, 80}, 32, kBlack);
    caret.focused = true;
    const BgraImage with_caret = paint(empty, caret);
    int rows = 0;
    for (int y = 70; y < 140; ++y) {
        if (close_to(with_caret, 100, y, kBlack, 30)) ++rows;
        EXPECT_FALSE(close_to(with_caret, 102, y, kBlack, 60)) << "the caret is wider than a pixel at y " << y;
    }
    EXPECT_GT(rows, 30);
    EXPECT_LT(rows, 60);
    caret.focused = false;
    EXPECT_EQ(count_near(paint(empty, caret), kBlack, 60, [](double, double) { return true; }).inside, 0)
        << "a caret in a field without focus";
}

TEST_F(FieldPainter, TheCaretAfterAFinalLineBreakStandsOnTheNewLine) {
    HiddenEdit e = edit(L"ab\r\n");
    FieldLook look = look_at({40, 40}, 32, kBlack);
    look.focused = true;
    const Rect one_line = box_of(edit(L"ab"), look);
    const double line = one_line.max.y - one_line.min.y;
    e.place_caret(4);
    const BgraImage image = paint(e, look);
    int below = 0, above = 0;
    for (int y = 0; y < static_cast<int>(image.height); ++y) {
        if (!close_to(image, 40, y, kBlack, 30)) continue;
        (y >= 40 + line - 1 ? below : above)++;
    }
    EXPECT_GT(below, static_cast<int>(line / 2)) << "no caret on the second line";
}

TEST_F(FieldPainter, LinesBreakOnceAtEachCarriageReturnLineFeed) {
    const FieldLook look = look_at({0, 0}, 24, kBlack);
    const Rect one = box_of(edit(L"Ag", 24), look);
    const Rect two = box_of(edit(L"Ag\r\nAg", 24), look);
    const double ratio = (two.max.y - two.min.y) / (one.max.y - one.min.y);
    EXPECT_NEAR(ratio, 2.0, 0.2);
}

TEST_F(FieldPainter, HitTestingFindsTheCharacterAndStaysOnTheLineClicked) {
    HiddenEdit e = edit(L"ab\r\ncdef", 32);
    const FieldLook look = look_at({40, 50}, 32, kBlack);
    const Rect box = box_of(e, look);
    const double line = (box.max.y - box.min.y) / 2;
    EXPECT_EQ(hit(e, look, Point{41, 50 + line / 2}), 0u);
    EXPECT_EQ(hit(e, look, Point{box.max.x + 200, 50 + line / 2}), 2u) << "right of the first line's end";
    EXPECT_EQ(hit(e, look, Point{10, 50 + line * 1.5}), 4u) << "left of the second line";
    EXPECT_EQ(hit(e, look, Point{box.max.x + 200, 50 + line * 1.5}), 8u);
    auto inside = hit_test_field(surface_.dwrite(), e, look, Point{44, 50 + line / 2});
    ASSERT_TRUE(inside.has_value());
    EXPECT_TRUE(inside->inside);
    auto outside = hit_test_field(surface_.dwrite(), e, look, Point{box.max.x + 50, 50 + line / 2});
    ASSERT_TRUE(outside.has_value());
    EXPECT_FALSE(outside->inside);
}

TEST_F(FieldPainter, ARotatedFieldTurnsAboutItsCentreAndIsHitTestedTurned) {
    HiddenEdit e = edit(L"MMMMMMMM", 24);
    FieldLook look = look_at({120, 140}, 24, kGreen);
    const Rect box = box_of(e, look);
    const double w = box.max.x - box.min.x, h = box.max.y - box.min.y;
    ASSERT_GT(w, 2 * h) << "the test needs a wide text";
    const Point c{(box.min.x + box.max.x) / 2, (box.min.y + box.max.y) / 2};

    look.rotation = std::numbers::pi / 2;  // a quarter turn clockwise: the text runs downwards
    const BgraImage image = paint(e, look);
    const auto in_turned = [&](double x, double y) {
        return std::abs(x - c.x) <= h / 2 + 1 && std::abs(y - c.y) <= w / 2 + 1;
    };
    const Count green = count_near(image, kGreen, 12, in_turned);
    EXPECT_GT(green.inside, 80);
    EXPECT_EQ(green.outside, 0) << "drawn where the unturned text would be";

    // The text's start is now at the top, its end at the bottom.
    EXPECT_EQ(hit(e, look, Point{c.x, c.y - w / 2 + 1}), 0u);
    EXPECT_EQ(hit(e, look, Point{c.x, c.y + w / 2 - 1}), 8u);
    // The same points unturned lie left and right of the text: both far from its middle.
    look.rotation = 0.0;
    EXPECT_EQ(hit(e, look, Point{box.min.x + 1, c.y}), 0u);
    EXPECT_EQ(hit(e, look, Point{box.max.x - 1, c.y}), 8u);
}

TEST_F(FieldPainter, SingleLineFieldsScrollToKeepTheCaretVisible) {
    HiddenEditOptions narrow;
    narrow.x = 10;
    narrow.y = 10;
    narrow.width = 40;
    narrow.height = 20;
    narrow.limit = kDimensionFieldLimit;
    narrow.font_size = 14;
    auto made = HiddenEdit::create(parent_.get(), std::wstring_view(L"1234567890123456789012345"), narrow);
    ASSERT_TRUE(made.has_value());
    HiddenEdit& e = *made;
    e.focus();
    e.place_caret(25);
    const std::uint32_t first = e.first_visible_char();
    ASSERT_GT(first, 0u);

    FieldLook look = look_at({10, 10}, 14, kBlack);
    look.single_line = true;
    auto box = measure_field(surface_.dwrite(), e, look);
    ASSERT_TRUE(box.has_value());
    EXPECT_GT(box->scroll, 0.0);
    // The first visible character sits at the origin: a click there lands on it.
    const std::uint32_t at_origin = hit(e, look, Point{10.5, 17});
    EXPECT_GE(at_origin, first);
    EXPECT_LE(at_origin, first + 1);

    // Drawn shifted: the text's end, which lies far right of the origin unscrolled, is now near it.
    look.focused = true;
    const BgraImage image = paint(e, look);
    const Count ink = count_near(image, kBlack, 60, [&](double x, double) { return x < 10 + 60; });
    EXPECT_GT(ink.inside, 20);
    EXPECT_LT(ink.outside, ink.inside) << "the text was not shifted left";
}

}  // namespace
}  // namespace kadrovix::win32
