// The colour picker and the eyedropper in the real editor process, driven
// with real mouse and keyboard input over a screen that shows a known
// picture: what becomes the current colour, what lands in the settings file
// and what lands on the clipboard.
#include <gtest/gtest.h>
#include <objbase.h>

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "color_picker/color_picker.h"
#include "color_picker/hsv.h"
#include "session/io/png_win32.h"
#include "settings/settings.h"
#include "support/editor_fixture_win32.h"

#ifndef KADROVIX_EXE_PATH
#error "the end-to-end tests need the path of the program they start"
#endif

namespace kadrovix::testing {
namespace {

constexpr std::uint32_t kPanelFill = 0x202020;
constexpr std::uint32_t kLoupeFill = 0x191919;

std::uint32_t packed(Rgb c) {
    return (static_cast<std::uint32_t>(c.r) << 16) | (static_cast<std::uint32_t>(c.g) << 8) | c.b;
}

bool screen_pixel_near(int x, int y, std::uint32_t rgb, int tolerance) {
    return near_rgb(pixel_rgb(grab_virtual_screen_for_test(), x, y), rgb, tolerance);
}

bool veil_over_pattern() {
    const BgraImage shot = grab_virtual_screen_for_test();
    for (const POINT p : {POINT{900, 700}, POINT{40, 720}, POINT{980, 40}}) {
        if (!near_rgb(pixel_rgb(shot, p.x, p.y), veiled(pattern_rgb(p.x, p.y)), 3)) return false;
    }
    return true;
}

// Line `number` (from 1) of the settings file, or empty.
std::string settings_line(const std::filesystem::path& path, int number) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    for (int i = 1; i <= number && std::getline(in, line); ++i) {
        if (i == number) return line;
    }
    return {};
}

std::string lower_hex(Rgb c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

std::optional<std::wstring> clipboard_text() {
    OpenClipboardScope clipboard;
    if (!clipboard) return std::nullopt;
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) return std::nullopt;
    const auto* text = static_cast<const wchar_t*>(::GlobalLock(data));
    if (text == nullptr) return std::nullopt;
    std::wstring out(text, wcsnlen(text, ::GlobalSize(data) / sizeof(wchar_t)));
    ::GlobalUnlock(data);
    return out;
}

void save_screenshot(const wchar_t* name) {
    EXPECT_TRUE(kadrovix::testing::save_screenshot(grab_virtual_screen_for_test(), name))
        << "cannot write a screenshot";
}

class ColourToolsEndToEnd : public EditorFixture {
protected:
    // A settings file whose custom colour is `custom`, the pattern on the
    // screen, an editor over it and the test region dragged.
    void start_with_region(Rgb custom) {
        Settings settings = default_settings();
        settings.custom_color = custom;
        ASSERT_TRUE(settings_.write(format_settings(settings)));
        ASSERT_EQ(settings_line(settings_.path(), 18), lower_hex(custom)) << "line 18 is not the custom colour";
        pattern_.emplace();
        ASSERT_NE(pattern_->window(), nullptr);
        ASSERT_TRUE(wait_until(PatternWindow::on_screen, 10000)) << "the pattern never showed on the screen";
        ASSERT_TRUE(move_pointer(60, 60));
        editor_ = LaunchedProcess(program_path(), {L"--editor"});
        ASSERT_TRUE(editor_.started()) << "CreateProcess failed: " << editor_.start_error();
        window_ = wait_for_window(editor_.id(), kMainClass, covers_virtual_screen, kStartTimeoutMs);
        ASSERT_NE(window_, nullptr) << "no editor window covered the desktop";
        ASSERT_TRUE(bring_to_foreground(window_, 5000));
        ASSERT_TRUE(wait_until(veil_over_pattern, kStartTimeoutMs)) << "the editor never showed the veiled capture";
        ASSERT_TRUE(drag(window_, kRegionFrom, kRegionTo));
        ASSERT_TRUE(wait_until([] { return region_unveiled(grab_virtual_screen_for_test()); }, 10000))
            << "the dragged region never showed";
    }
};

TEST_F(ColourToolsEndToEnd, PickerDragOnTheRingThenClickOutsideSetsAndStoresTheColour) {
    constexpr Rgb kStart{0x20, 0x60, 0xC0};
    ASSERT_NO_FATAL_FAILURE(start_with_region(kStart));

    // C opens the picker with its corner at the pointer; k = 1 on this screen.
    constexpr POINT kCorner{300, 170};
    const POINT centre{kCorner.x + 130, kCorner.y + 144};
    const POINT panel_probe{kCorner.x + 250, kCorner.y + 30};
    ASSERT_TRUE(move_pointer(kCorner.x, kCorner.y));
    ASSERT_TRUE(settle(window_));
    ASSERT_NO_FATAL_FAILURE(keys({'C'}));
    ASSERT_TRUE(wait_until([&] { return screen_pixel_near(panel_probe.x, panel_probe.y, kPanelFill, 3); }, 10000))
        << "no picker panel" << editor_diagnosis(L"editor-colour-picker-missing.png");
    // Its ring: hue 0 (red) to the right of the centre at 91 pixels.
    EXPECT_TRUE(screen_pixel_near(centre.x + 91, centre.y + 4, 0xFF0000, 24));

    // A drag on the ring, then Esc: nothing changes.
    const POINT on_ring_right{centre.x + 91, centre.y};
    const POINT on_ring_down{centre.x, centre.y + 91};
    ASSERT_TRUE(drag(window_, on_ring_right, on_ring_down, 3));
    ASSERT_NO_FATAL_FAILURE(keys({VK_ESCAPE}));
    ASSERT_TRUE(wait_until([&] { return !screen_pixel_near(panel_probe.x, panel_probe.y, kPanelFill, 3); }, 10000))
        << "Esc left the picker open";
    EXPECT_TRUE(editor_.running()) << "Esc with the picker open ended the session";
    EXPECT_EQ(settings_line(settings_.path(), 18), lower_hex(kStart));

    // Again, from red round to about a third of a turn (green), and applied
    // with a click outside the panel.
    ASSERT_TRUE(move_pointer(kCorner.x, kCorner.y));
    ASSERT_TRUE(settle(window_));
    ASSERT_NO_FATAL_FAILURE(keys({'C'}));
    ASSERT_TRUE(wait_until([&] { return screen_pixel_near(panel_probe.x, panel_probe.y, kPanelFill, 3); }, 10000))
        << "the picker did not open again";
    const POINT drag_end{centre.x - 46, centre.y + 79};
    ASSERT_TRUE(drag(window_, on_ring_right, drag_end, 4));
    const Hsv start = rgb_to_hsv(kStart);
    const double hue = wrap_unit(std::atan2(79.0, -46.0) / (2.0 * std::numbers::pi));
    const Rgb chosen = hsv_to_rgb(Hsv{hue, start.s, start.v});
    ASSERT_GT(chosen.g, 150) << "the chosen colour should be a green";
    // The swatch shows the colour being chosen before it is applied.
    ASSERT_TRUE(
        wait_until([&] { return screen_pixel_near(kCorner.x + 33, kCorner.y + 271, packed(chosen), 2); }, 10000))
        << "the swatch does not show " << hex_rgb(packed(chosen));
    save_screenshot(L"editor-colour-picker.png");
    EXPECT_EQ(settings_line(settings_.path(), 18), lower_hex(kStart)) << "stored before it was applied";

    ASSERT_TRUE(click(window_, POINT{760, 620}));
    ASSERT_TRUE(wait_until([&] { return !screen_pixel_near(panel_probe.x, panel_probe.y, kPanelFill, 3); }, 10000))
        << "the click outside left the picker open";
    EXPECT_TRUE(wait_until([&] { return settings_line(settings_.path(), 18) == lower_hex(chosen); }, 10000))
        << "settings line 18 is " << settings_line(settings_.path(), 18) << ", not " << lower_hex(chosen);

    // The current colour: a new rectangle is drawn in it.
    ASSERT_TRUE(drag(window_, kRectFrom, kRectTo));
    EXPECT_TRUE(wait_until(
        [&] { return screen_pixel_near((kRectFrom.x + kRectTo.x) / 2, kRectFrom.y, packed(chosen), 8); }, 10000))
        << "the rectangle is not drawn in " << hex_rgb(packed(chosen)) << ": "
        << hex_rgb(pixel_rgb(grab_virtual_screen_for_test(), (kRectFrom.x + kRectTo.x) / 2, kRectFrom.y));
    ASSERT_NO_FATAL_FAILURE(end_with_esc());
    EXPECT_EQ(settings_line(settings_.path(), 18), lower_hex(chosen)) << "the end of the session lost the colour";
}

TEST_F(ColourToolsEndToEnd, EyedropperShowsTheLoupeAndPicksThePixelUnderThePointer) {
    ASSERT_NO_FATAL_FAILURE(start_with_region(Rgb{0xED, 0x4F, 0x5C}));
    ASSERT_NO_FATAL_FAILURE(keys({'I'}));

    // The loupe: 24 pixels below right of the pointer, its middle cell the
    // pointer's pixel, ten pixels wide.
    // Just right of and below a corner of the pattern's cells, so that the
    // loupe shows four cells of the checkerboard.
    constexpr POINT kAt{417, 321};
    const std::uint32_t under = pattern_rgb(kAt.x, kAt.y);
    ASSERT_TRUE(move_pointer(kAt.x, kAt.y));
    ASSERT_TRUE(settle(window_));
    const POINT middle_cell{kAt.x + 24 + 8 + 55, kAt.y + 24 + 8 + 55};
    ASSERT_TRUE(wait_until([&] { return screen_pixel_near(kAt.x + 24 + 3, kAt.y + 24 + 60, kLoupeFill, 3); }, 10000))
        << "no loupe";
    ASSERT_TRUE(wait_until([&] { return screen_pixel_near(middle_cell.x, middle_cell.y, under, 1); }, 10000))
        << "the middle cell shows " << hex_rgb(pixel_rgb(grab_virtual_screen_for_test(), middle_cell.x, middle_cell.y))
        << ", not " << hex_rgb(under);
    // Three cells to the left and up: the neighbouring cells of the pattern.
    EXPECT_TRUE(screen_pixel_near(middle_cell.x - 30, middle_cell.y, pattern_rgb(kAt.x - 3, kAt.y), 1));
    EXPECT_TRUE(screen_pixel_near(middle_cell.x, middle_cell.y - 30, pattern_rgb(kAt.x, kAt.y - 3), 1));
    EXPECT_NE(pattern_rgb(kAt.x - 3, kAt.y), under);
    save_screenshot(L"editor-eyedropper.png");

    // Near the screen's right edge the loupe moves to the pointer's left.
    const VirtualScreen vs = virtual_screen();
    ASSERT_TRUE(move_pointer(vs.width - 10, 200));
    ASSERT_TRUE(settle(window_));
    EXPECT_TRUE(wait_until(
        [&] { return screen_pixel_near(vs.width - 10 - 24 - 126 + 3, 200 + 24 + 60, kLoupeFill, 3); }, 10000))
        << "no loupe left of the pointer at the right edge";

    ASSERT_TRUE(click(window_, kAt));
    const std::wstring expected = [&] {
        const std::string text = hex_rgb(under);
        return std::wstring(text.begin(), text.end());
    }();
    std::optional<std::wstring> text;
    EXPECT_TRUE(wait_until([&] { return (text = clipboard_text()) && *text == expected; }, 10000))
        << "clipboard text: " << (text ? std::string(text->begin(), text->end()) : std::string("(none)"));
    // The eyedropper is off again, its colour is the custom colour.
    EXPECT_TRUE(wait_until([&] { return !screen_pixel_near(kAt.x + 24 + 3, kAt.y + 24 + 60, kLoupeFill, 3); }, 10000))
        << "the loupe stayed after the pick";
    const Rgb picked{static_cast<std::uint8_t>(under >> 16), static_cast<std::uint8_t>(under >> 8),
                     static_cast<std::uint8_t>(under)};
    EXPECT_TRUE(wait_until([&] { return settings_line(settings_.path(), 18) == lower_hex(picked); }, 10000))
        << "settings line 18 is " << settings_line(settings_.path(), 18);
    // And the current colour.
    ASSERT_TRUE(drag(window_, POINT{260, 200}, POINT{420, 330}));
    EXPECT_TRUE(wait_until([&] { return screen_pixel_near(340, 200, under, 8); }, 10000))
        << "the rectangle is not drawn in the picked colour: "
        << hex_rgb(pixel_rgb(grab_virtual_screen_for_test(), 340, 200));
    ASSERT_NO_FATAL_FAILURE(end_with_esc());
}

// In live mode the pick sees the desktop as it is at the pick, not as it was
// grabbed when the session started (nor the editor's own overlay), also where
// the window cannot be left out of grabs.
TEST_F(ColourToolsEndToEnd, LiveEyedropperPicksTheDesktopAsItIsNow) {
    ASSERT_NO_FATAL_FAILURE(start_with_region(Rgb{0xED, 0x4F, 0x5C}));
    ASSERT_NO_FATAL_FAILURE(keys({VK_F2}));
    ASSERT_TRUE(wait_until([&] { return (::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }, 10000))
        << "F2 did not turn live mode on";
    ASSERT_TRUE(settle(window_));
    ASSERT_NO_FATAL_FAILURE(keys({'I'}));
    ASSERT_TRUE(pattern_->show_variant(1)) << "the pattern window did not repaint";

    constexpr POINT kAt{417, 321};
    const std::uint32_t now = pattern_rgb(kAt.x, kAt.y, 1);
    ASSERT_NE(now, pattern_rgb(kAt.x, kAt.y, 0));
    const std::string expected = hex_rgb(now);
    std::optional<std::wstring> text;
    const std::wstring want(expected.begin(), expected.end());
    const auto picked = [&] { return (text = clipboard_text()) && *text == want; };
    // Wine may let a press on the live (layered) window fall through to the window below: click again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fell_through = pattern_->clicks();
        ASSERT_TRUE(click(window_, kAt));
        if (!wait_until([&] { return picked() || pattern_->clicks() != fell_through; }, 3000) || picked()) break;
    }
    EXPECT_TRUE(wait_until(picked, 10000))
        << "clipboard text: " << (text ? std::string(text->begin(), text->end()) : std::string("(none)")) << ", not "
        << expected << editor_diagnosis(L"editor-live-pick-failed.png");
    ASSERT_NO_FATAL_FAILURE(end_with_esc());
}

}  // namespace
}  // namespace kadrovix::testing
