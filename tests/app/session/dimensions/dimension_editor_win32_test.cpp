// The dimension editor's two hidden fields in a real window: what they start
// with, where they sit, Tab, applying (the whole text is read), caret
// placement by the pointer, and what the overlay paints for the label.
#include "session/dimensions/dimension_editor_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/runtime/com_apartment_win32.h"
#include "crop/expression.h"
#include "support/d2d_surface_win32.h"
#include "support/test_window_win32.h"

namespace kadrovix::win32 {
namespace {

using dimensions::ApplyOutcome;
using dimensions::Field;
using testing::D2dSurface;
using testing::TestWindow;

constexpr Desktop kDesktop{0, 0, 640, 360};
// Label (348, 68)-(500, 94); width field (352, 71)-(417, 91); height field (431, 71)-(496, 91).
constexpr Region kRegion{{99.5, 100, 500, 300}, true};
constexpr Rect kLabel{Point{348, 68}, Point{500, 94}};
constexpr RECT kLabelRect{348, 68, 500, 94};
constexpr RECT kBoxRect{180, 98, 640, 146};  // the message box: 460 wide, moved left to fit

SessionState session(Point pointer = Point{20, 300}) {
    SessionState s = new_session(kDesktop);
    s.region = kRegion;
    s.region_selection = false;
    s.pointer = pointer;
    return s;
}

bool close_to(const BgraImage& image, int x, int y, Rgb c, int tolerance) {
    if (x < 0 || y < 0 || x >= static_cast<int>(image.width) || y >= static_cast<int>(image.height)) return false;
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x)) * 4;
    return std::abs(image.pixels[i + 2] - c.r) <= tolerance && std::abs(image.pixels[i + 1] - c.g) <= tolerance &&
           std::abs(image.pixels[i] - c.b) <= tolerance;
}

int count_near(const BgraImage& image, const RECT& area, Rgb c, int tolerance) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) n += close_to(image, x, y, c, tolerance) ? 1 : 0;
    }
    return n;
}

RECT child_rect(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class DimensionEditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.ok());
        ASSERT_NE(parent_.get(), nullptr);
        ASSERT_TRUE(SUCCEEDED(surface_.status()));
        auto opened = DimensionEditor::open(parent_.get(), session());
        ASSERT_TRUE(opened.has_value()) << opened.error().code;
        editor_.emplace(std::move(*opened));
        editor_->start();
    }

    void set_text(Field f, const wchar_t* text) { ::SetWindowTextW(editor_->edit(f).window(), text); }

    BgraImage paint(const SessionState& s, const DimensionEditor* editor) {
        surface_.begin();
        auto painted = paint_dimension_label(surface_.target(), surface_.brush(), surface_.dwrite(), s, editor);
        EXPECT_TRUE(painted.has_value());
        EXPECT_TRUE(SUCCEEDED(surface_.end()));
        return surface_.pixels();
    }

    ComApartment com_;
    TestWindow parent_{640, 360};
    D2dSurface surface_{640, 360};
    std::optional<DimensionEditor> editor_;
};

TEST_F(DimensionEditorWindow, OpensWithTheRegionsSizeOnTheLabelAndTheWidthSelected) {
    EXPECT_EQ(editor_->edit(Field::Width).text(), L"400.5");
    EXPECT_EQ(editor_->edit(Field::Height).text(), L"200");
    EXPECT_EQ(editor_->focused_field(), Field::Width);
    EXPECT_EQ(editor_->edit(Field::Width).selection(), (EditSelection{0, 5}));
    EXPECT_FALSE(editor_->error().has_value());

    const RECT w = child_rect(editor_->edit(Field::Width).window());
    const RECT h = child_rect(editor_->edit(Field::Height).window());
    EXPECT_EQ(w.left, 352);
    EXPECT_EQ(w.top, 71);
    EXPECT_EQ(w.right - w.left, 65);
    EXPECT_EQ(w.bottom - w.top, 20);
    EXPECT_EQ(h.left, 431);
    EXPECT_EQ(h.right - h.left, 65);

    // At most 128 characters can be typed into a field.
    EXPECT_EQ(::SendMessageW(editor_->edit(Field::Width).window(), EM_GETLIMITTEXT, 0, 0), 128);
    // Closing destroys both controls.
    const HWND width = editor_->edit(Field::Width).window();
    editor_.reset();
    EXPECT_FALSE(::IsWindow(width));
}

TEST_F(DimensionEditorWindow, TabGoesToTheOtherFieldAndSelectsItsText) {
    editor_->focus_and_select(dimensions::tab_target(editor_->focused_field()));
    EXPECT_EQ(editor_->focused_field(), Field::Height);
    EXPECT_EQ(editor_->edit(Field::Height).selection(), (EditSelection{0, 3}));
    editor_->focus_and_select(dimensions::tab_target(editor_->focused_field()));
    EXPECT_EQ(editor_->focused_field(), Field::Width);
    // From neither field (the session window has the keyboard): the width field.
    ::SetFocus(parent_.get());
    EXPECT_FALSE(editor_->focused_field().has_value());
    editor_->focus_and_select(dimensions::tab_target(editor_->focused_field()));
    EXPECT_EQ(editor_->focused_field(), Field::Width);
    // Activation gives the width field the keyboard only when no field has it.
    editor_->focus_and_select(Field::Height);
    editor_->take_focus();
    EXPECT_EQ(editor_->focused_field(), Field::Height);
    ::SetFocus(parent_.get());
    editor_->take_focus();
    EXPECT_EQ(editor_->focused_field(), Field::Width);
}

TEST_F(DimensionEditorWindow, ARefusedApplyKeepsTheTextsAndShowsWhy) {
    set_text(Field::Width, L"801/2");
    ::SetFocus(parent_.get());
    const ApplyOutcome refused = editor_->apply(kRegion, kDesktop);
    EXPECT_EQ(refused.kind, ApplyOutcome::Kind::Invalid);
    ASSERT_TRUE(editor_->error().has_value());
    EXPECT_EQ(*editor_->error(), crop::kPixelCountMessage);
    EXPECT_EQ(editor_->edit(Field::Width).text(), L"801/2");
    EXPECT_EQ(editor_->focused_field(), Field::Width) << "neither field had focus: the width field gets it";

    // A field that has focus keeps it, and the next apply replaces the message.
    set_text(Field::Width, L"600");
    editor_->focus_and_select(Field::Height);
    editor_->apply(kRegion, kDesktop);
    EXPECT_EQ(*editor_->error(), dimensions::kOutsideDesktopMessage);  // 99.5 + 600 > 640
    EXPECT_EQ(editor_->focused_field(), Field::Height);

    set_text(Field::Width, L"400+20");
    set_text(Field::Height, L"1920/8");
    const ApplyOutcome applied = editor_->apply(kRegion, kDesktop);
    ASSERT_EQ(applied.kind, ApplyOutcome::Kind::Applied);
    EXPECT_EQ(applied.region, (Region{{99.5, 100, 519.5, 340}, true}));
}

TEST_F(DimensionEditorWindow, TheWholeTextIsReadNotItsFirst128Characters) {
    // Set by other means than typing, a field can hold more than its limit.
    // Its first 128 characters alone would read as 2.
    const std::wstring long_text = L"2" + std::wstring(200, L' ');
    set_text(Field::Width, long_text.c_str());
    ASSERT_EQ(editor_->edit(Field::Width).text().size(), 201u);
    const ApplyOutcome out = editor_->apply(kRegion, kDesktop);
    EXPECT_EQ(out.kind, ApplyOutcome::Kind::Invalid);
    EXPECT_EQ(out.message, crop::kPixelCountMessage);
}

TEST_F(DimensionEditorWindow, PressesPlaceTheCaretInTheFieldOnTheirSideOfTheLabel) {
    IDWriteFactory* dwrite = surface_.dwrite();
    set_text(Field::Width, L"801/2");
    editor_->apply(kRegion, kDesktop);
    ASSERT_TRUE(editor_->error().has_value());

    // Right of the label's middle, past the height field's text: caret at its end.
    ASSERT_TRUE(editor_->caret_press(dwrite, kLabel, Point{490, 80}, false).has_value());
    EXPECT_EQ(editor_->focused_field(), Field::Height);
    EXPECT_EQ(editor_->edit(Field::Height).selection(), (EditSelection{3, 3}));
    EXPECT_FALSE(editor_->error().has_value()) << "a press on the label clears the message";
    EXPECT_TRUE(editor_->selecting());
    editor_->end_selection();
    EXPECT_FALSE(editor_->selecting());

    // Left of the middle, before the width field's text: caret at its start;
    // a drag to the field's end selects all of it, from the anchor.
    ASSERT_TRUE(editor_->caret_press(dwrite, kLabel, Point{350, 80}, false).has_value());
    EXPECT_EQ(editor_->focused_field(), Field::Width);
    EXPECT_EQ(editor_->edit(Field::Width).selection(), (EditSelection{0, 0}));
    ASSERT_TRUE(editor_->extend_selection(dwrite, Point{416, 80}).has_value());
    EXPECT_EQ(editor_->edit(Field::Width).selection(), (EditSelection{0, 5}));
    editor_->end_selection();
    // Without a selection in progress, moves change nothing.
    ASSERT_TRUE(editor_->extend_selection(dwrite, Point{352, 80}).has_value());
    EXPECT_EQ(editor_->edit(Field::Width).selection(), (EditSelection{0, 5}));

    // Shift: from the selection's start to the point.
    ::SendMessageW(editor_->edit(Field::Width).window(), EM_SETSEL, 2, 2);
    ASSERT_TRUE(editor_->caret_press(dwrite, kLabel, Point{416, 80}, true).has_value());
    EXPECT_EQ(editor_->edit(Field::Width).selection(), (EditSelection{2, 5}));
}

TEST_F(DimensionEditorWindow, PaintsTheClosedLabelAndItsHintOnlyWhenHovered) {
    constexpr RECT kLabelText{356, 70, 440, 92};
    BgraImage image = paint(session(), nullptr);
    EXPECT_TRUE(close_to(image, 349, 69, dimensions::kLabelFill, 2));
    EXPECT_TRUE(close_to(image, 498, 92, dimensions::kLabelFill, 2));
    EXPECT_GT(count_near(image, kLabelText, dimensions::kLabelTextColour, 30), 10) << "no size text";
    EXPECT_TRUE(close_to(image, 200, 130, Rgb{255, 255, 255}, 0)) << "a box below an unhovered label";

    image = paint(session(Point{400, 80}), nullptr);
    EXPECT_TRUE(close_to(image, 349, 69, dimensions::kLabelHoverFill, 2));
    EXPECT_TRUE(close_to(image, 200, 130, dimensions::kLabelHoverFill, 2)) << "no hint box";
    EXPECT_GT(count_near(image, kBoxRect, dimensions::kHintColour, 30), 20) << "no hint text";
}

TEST_F(DimensionEditorWindow, PaintsTheOpenFieldsAndTheErrorBelow) {
    BgraImage image = paint(session(), &*editor_);
    EXPECT_TRUE(close_to(image, 349, 69, dimensions::kLabelFill, 2));
    EXPECT_TRUE(close_to(image, 200, 130, Rgb{255, 255, 255}, 0)) << "a box without a message";
    // Both fields' text (the width's on the selection colour blended with the fill).
    EXPECT_GT(count_near(image, RECT{431, 71, 496, 91}, dimensions::kLabelTextColour, 30), 10) << "no height text";
    EXPECT_GT(count_near(image, RECT{352, 71, 417, 91}, Rgb{255, 255, 255}, 80), 10) << "no width text";

    set_text(Field::Width, L"1");
    editor_->apply(kRegion, kDesktop);
    image = paint(session(), &*editor_);
    EXPECT_TRUE(close_to(image, 200, 130, dimensions::kLabelFill, 2)) << "no error box";
    EXPECT_GT(count_near(image, kBoxRect, dimensions::kErrorColour, 30), 20) << "no error text";
    // Nothing is drawn outside the label and the box.
    EXPECT_TRUE(close_to(image, 347, 80, Rgb{255, 255, 255}, 0));
    EXPECT_TRUE(close_to(image, 400, 96, Rgb{255, 255, 255}, 0));
}

}  // namespace
}  // namespace kadrovix::win32
