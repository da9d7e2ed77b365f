#include "session/io/text_entry_win32.h"

#include <dwrite.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <wrl/client.h>

#include <numbers>
#include <string>

#include "support/d2d_surface_win32.h"
#include "support/test_window_win32.h"

namespace kadrovix::win32 {
namespace {

using Microsoft::WRL::ComPtr;
using testing::TestWindow;

constexpr Desktop kDesktop{0, 0, 640, 360};
constexpr Rgb kBlue = kPresetColours[3];

class TextEntryWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(parent_.get(), nullptr);
        ASSERT_HRESULT_SUCCEEDED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                                     reinterpret_cast<IUnknown**>(dwrite_.GetAddressOf())));
    }

    TextEntry open(std::string text, Point origin, double size = 24, double angle = 0.0) {
        TextEntryStart start;
        start.text = std::move(text);
        start.origin = origin;
        start.font_size = size;
        start.colour = kBlue;
        start.angle = angle;
        auto entry = TextEntry::open(parent_.get(), start, kDesktop);
        EXPECT_TRUE(entry.has_value());
        return std::move(*entry);
    }

    // The middle of the field's box, and the point a fraction of its width in.
    Point along(const TextEntry& entry, double fraction) {
        auto box = measure_field(dwrite_.Get(), entry.edit(), entry.look());
        EXPECT_TRUE(box.has_value());
        const Rect& b = box->box;
        return Point{b.min.x + (b.max.x - b.min.x) * fraction, (b.min.y + b.max.y) / 2};
    }

    TestWindow parent_{640, 360};
    ComPtr<IDWriteFactory> dwrite_;
};

TEST_F(TextEntryWindow, OpensTheControlAtTheOriginReachingToTheDesktopsEdges) {
    TextEntry entry = open("first line\r\nsecond", Point{100.6, 40.2});
    HWND edit = entry.edit().window();
    ASSERT_NE(edit, nullptr);
    RECT r{};
    ::GetWindowRect(edit, &r);
    ::MapWindowPoints(HWND_DESKTOP, parent_.get(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.right, 640);
    EXPECT_EQ(r.bottom, 360);
    EXPECT_NE(::GetWindowLongPtrW(edit, GWL_STYLE) & ES_MULTILINE, 0);
    EXPECT_EQ(entry.edit().text(), L"first line\r\nsecond");
    EXPECT_EQ(entry.edit().selection(), (EditSelection{18, 18}));
}

TEST_F(TextEntryWindow, PressesPlaceTheCaretAndDragsSelectFromTheAnchor) {
    TextEntry entry = open("abcdefghij", Point{40, 40});
    entry.focus();
    ASSERT_TRUE(entry.caret_press(dwrite_.Get(), along(entry, 0.3), false).has_value());
    EXPECT_TRUE(entry.selecting());
    EXPECT_TRUE(entry.edit().has_focus());
    const EditSelection caret = entry.edit().selection();
    EXPECT_TRUE(caret.empty());
    EXPECT_GE(caret.start, 2u);
    EXPECT_LE(caret.start, 4u);

    // Moving right selects from the press to the pointer; moving back left of it, from the pointer.
    ASSERT_TRUE(entry.extend_selection(dwrite_.Get(), along(entry, 1.0)).has_value());
    EXPECT_EQ(entry.edit().selection(), (EditSelection{caret.start, 10}));
    ASSERT_TRUE(entry.extend_selection(dwrite_.Get(), Point{10, 50}).has_value());
    EXPECT_EQ(entry.edit().selection(), (EditSelection{0, caret.start}));
    entry.end_selection();
    EXPECT_FALSE(entry.selecting());
    // Once the button is up, moves select nothing more.
    ASSERT_TRUE(entry.extend_selection(dwrite_.Get(), along(entry, 1.0)).has_value());
    EXPECT_EQ(entry.edit().selection(), (EditSelection{0, caret.start}));
}

TEST_F(TextEntryWindow, ShiftPressExtendsFromTheSelectionsStart) {
    TextEntry entry = open("abcdefghij", Point{40, 40});
    ::SendMessageW(entry.edit().window(), EM_SETSEL, 2, 2);
    ASSERT_TRUE(entry.caret_press(dwrite_.Get(), along(entry, 0.8), true).has_value());
    const EditSelection s = entry.edit().selection();
    EXPECT_EQ(s.start, 2u);
    EXPECT_GE(s.end, 7u);
    EXPECT_LE(s.end, 9u);
    // A second Shift press keeps the same start, wherever the first ended.
    entry.end_selection();
    ASSERT_TRUE(entry.caret_press(dwrite_.Get(), along(entry, 0.45), true).has_value());
    EXPECT_EQ(entry.edit().selection().start, 2u);
    EXPECT_LT(entry.edit().selection().end, s.end);
}

TEST_F(TextEntryWindow, ARotatedEntryTakesPressesInItsTurnedField) {
    TextEntry entry = open("abcdefghij", Point{200, 100}, 24, std::numbers::pi / 2);
    auto box = measure_field(dwrite_.Get(), entry.edit(), entry.look());
    ASSERT_TRUE(box.has_value());
    const Rect b = box->box;
    const Point c{(b.min.x + b.max.x) / 2, (b.min.y + b.max.y) / 2};
    const double w = b.max.x - b.min.x;
    // Turned a quarter clockwise, the text runs down through the centre.
    auto top = entry.contains(dwrite_.Get(), Point{c.x, c.y - w / 2 + 2});
    auto right = entry.contains(dwrite_.Get(), Point{b.max.x - 2, c.y});
    ASSERT_TRUE(top.has_value() && right.has_value());
    EXPECT_TRUE(*top);
    EXPECT_FALSE(*right);
    ASSERT_TRUE(entry.caret_press(dwrite_.Get(), Point{c.x, c.y + w / 2 - 1}, false).has_value());
    EXPECT_EQ(entry.edit().selection(), (EditSelection{10, 10}));
}

TEST_F(TextEntryWindow, AnEmptyEntryStillHasAFieldToClick) {
    TextEntry entry = open("", Point{300, 200});
    auto on_caret = entry.contains(dwrite_.Get(), Point{300, 210});
    auto near_it = entry.contains(dwrite_.Get(), Point{297, 198});
    auto away = entry.contains(dwrite_.Get(), Point{320, 210});
    ASSERT_TRUE(on_caret.has_value() && near_it.has_value() && away.has_value());
    EXPECT_TRUE(*on_caret);
    EXPECT_TRUE(*near_it);
    EXPECT_FALSE(*away);
}

TEST_F(TextEntryWindow, TheWheelStepsTheSizeWithinItsLimitsAndTheFontFollows) {
    TextEntry entry = open("size", Point{20, 20}, 296);
    const auto font = [&] { return ::SendMessageW(entry.edit().window(), WM_GETFONT, 0, 0); };
    const LRESULT first = font();
    ASSERT_TRUE(entry.change_size(2).has_value());
    EXPECT_EQ(entry.font_size(), 298.0);
    EXPECT_NE(font(), first);
    ASSERT_TRUE(entry.change_size(2).has_value());
    EXPECT_EQ(entry.font_size(), 300.0);
    const LRESULT at_top = font();
    ASSERT_TRUE(entry.change_size(2).has_value());
    EXPECT_EQ(entry.font_size(), 300.0);
    EXPECT_EQ(font(), at_top) << "an unchanged size made a new font";

    TextEntry small = open("size", Point{20, 20}, 9);
    ASSERT_TRUE(small.change_size(-2).has_value());
    EXPECT_EQ(small.font_size(), 8.0);
    EXPECT_EQ(small.look().font_size, 8.0);
}

TEST_F(TextEntryWindow, TheResultIsTheTextLaidOutAtTheEntrysSizeAndColour) {
    TextEntry entry = open("one\r\ntwo", Point{50, 60}, 24);
    entry.set_colour(kPresetColours[2]);
    auto one_line = open("one", Point{50, 60}, 24).result(dwrite_.Get());
    auto result = entry.result(dwrite_.Get());
    ASSERT_TRUE(result.has_value() && one_line.has_value());
    EXPECT_EQ(result->text, "one\r\ntwo");
    EXPECT_EQ(result->origin, (Point{50, 60}));
    EXPECT_EQ(result->font_size, 24.0);
    EXPECT_EQ(result->colour, kPresetColours[2]);
    EXPECT_FALSE(result->edited_id.has_value());
    EXPECT_GT(result->width, 20.0);
    EXPECT_NEAR(result->height, 2 * one_line->height, 2.0);
    EXPECT_FALSE(entry.result(nullptr).has_value());
}

}  // namespace
}  // namespace kadrovix::win32
