// The end-to-end fixture of the capture editor: the pattern on the screen,
// the editor started over it with its veiled capture shown, the test region
// dragged out and keys pressed as a user does, with the settings file and
// the clipboard put back as the test found them.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>

#include "app/runtime/com_apartment_win32.h"
#include "session/io/png_win32.h"
#include "support/editor_e2e_support_win32.h"
#include "toolbar/toolbar.h"

namespace kadrovix::testing {

inline constexpr wchar_t kMainClass[] = L"Kadrovix.Window";
inline constexpr DWORD kStartTimeoutMs = 20000;
inline constexpr DWORD kExitTimeoutMs = 15000;

// The region every test drags (desktop pixels).
inline constexpr POINT kRegionFrom{200, 150};
inline constexpr POINT kRegionTo{600, 450};
inline constexpr RECT kRegion{200, 150, 600, 450};
// The rectangle drawn in it.
inline constexpr POINT kRectFrom{260, 200};
inline constexpr POINT kRectTo{420, 330};
inline constexpr std::uint32_t kRed = 0xED4F5C;  // the session's starting colour
// The arrow starts outside the rectangle and ends inside it, off its centre:
// attached, its tip is drawn where the ray from the centre through the end
// meets the outline, (420, 315), not at the end point itself.
inline constexpr POINT kArrowFrom{520, 420};
inline constexpr POINT kArrowEnd{380, 290};
inline constexpr POINT kArrowTip{420, 315};

// The dragged region shows the pattern unveiled near its corners.
inline bool region_unveiled(const BgraImage& shot) {
    for (const POINT p : {POINT{kRegion.left + 20, kRegion.top + 20}, POINT{kRegion.right - 20, kRegion.bottom - 20},
                          POINT{kRegion.left + 20, kRegion.bottom - 20}}) {
        if (!near_rgb(pixel_rgb(shot, p.x, p.y), pattern_rgb(p.x, p.y), 2)) return false;
    }
    return true;
}

// The region unveiled and the veil still over the rest.
inline bool region_shown() {
    const BgraImage shot = grab_virtual_screen_for_test();
    return region_unveiled(shot) && veil_over_pattern(shot);
}

// Whether (x, y) lies within `margin` of the outline of the rectangle dragged
// from `from` to `to`.
inline bool near_rectangle_outline(double x, double y, POINT from, POINT to, double margin) {
    const double l = from.x, t = from.y, r = to.x, b = to.y;
    const bool within_outer = x >= l - margin && x <= r + margin && y >= t - margin && y <= b + margin;
    const bool within_inner = x > l + margin && x < r - margin && y > t + margin && y < b - margin;
    return within_outer && !within_inner;
}

// Pixels of an output image (whose top-left is desktop pixel `origin`) that
// differ from pattern `variant`, leaving out those whose centre `covered`
// says a shape may have painted; `first` describes the first one.
template <class Covered>
std::size_t pattern_mismatches(const BgraImage& image, POINT origin, Covered covered, std::string& first,
                               int variant = 0) {
    std::size_t count = 0;
    for (int y = 0; y < static_cast<int>(image.height); ++y) {
        for (int x = 0; x < static_cast<int>(image.width); ++x) {
            const int dx = x + origin.x, dy = y + origin.y;
            if (covered(dx + 0.5, dy + 0.5)) continue;
            const std::uint32_t got = pixel_rgb(image, x, y);
            if (near_rgb(got, pattern_rgb(dx, dy, variant), 2)) continue;
            if (count++ == 0) {
                first = "desktop (" + std::to_string(dx) + ", " + std::to_string(dy) + "): " + hex_rgb(got) +
                        " instead of " + hex_rgb(pattern_rgb(dx, dy, variant));
            }
        }
    }
    return count;
}
// The same for an output image of the test region.
template <class Covered>
std::size_t pattern_mismatches(const BgraImage& image, Covered covered, std::string& first) {
    return pattern_mismatches(image, POINT{kRegion.left, kRegion.top}, covered, first);
}

// The toolbar's input for the test region on this screen.
inline ToolbarInput region_toolbar_input() {
    ToolbarInput input;
    const VirtualScreen vs = virtual_screen();
    input.desktop_width = vs.width;
    input.desktop_height = vs.height;
    input.region_exists = true;
    input.region_left = kRegion.left;
    input.region_top = kRegion.top;
    input.region_right = kRegion.right;
    input.region_bottom = kRegion.bottom;
    return input;
}

// The screen as it is now, for people to look at, under target/screenshots.
inline bool save_screenshot(const BgraImage& image, const wchar_t* name) {
    const win32::ComApartment com;
    const std::wstring folder = windows_program_path(KADROVIX_SOURCE_DIR "/target/screenshots");
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(folder), ignored);
    return win32::write_png_file(image, folder + L"\\" + name).has_value();
}

class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(clipboard_.emptied()) << "the clipboard could not be emptied"; }

    void show_pattern() {
        pattern_.emplace();
        ASSERT_NE(pattern_->window(), nullptr);
        ASSERT_TRUE(wait_until(PatternWindow::on_screen, 10000)) << "the pattern never showed on the screen";
    }

    // Waits for the editor of process `id` to cover the desktop, own the
    // keyboard and show its veil over the grabbed pattern.
    void wait_for_editor(DWORD id) {
        window_ = wait_for_window(id, kMainClass, covers_virtual_screen, kStartTimeoutMs);
        ASSERT_NE(window_, nullptr) << "no editor window covered the desktop";
        ASSERT_TRUE(bring_to_foreground(window_, 5000));
        ASSERT_TRUE(wait_until([] { return veil_over_pattern(grab_virtual_screen_for_test()); }, kStartTimeoutMs))
            << "the editor never showed the veiled capture";
    }

    void start_editor() {
        editor_ = LaunchedProcess(program_path(), {L"--editor"});
        ASSERT_TRUE(editor_.started()) << "CreateProcess failed: " << editor_.start_error();
        ASSERT_NO_FATAL_FAILURE(wait_for_editor(editor_.id()));
    }

    // The pattern on the screen, the pointer out of the way, an editor over
    // them and the test region dragged out.
    void start_with_region() {
        ASSERT_NO_FATAL_FAILURE(show_pattern());
        ASSERT_TRUE(move_pointer(60, 60));
        ASSERT_NO_FATAL_FAILURE(start_editor());
        ASSERT_NO_FATAL_FAILURE(drag_region());
    }

    void keys(std::initializer_list<WORD> chord) {
        ASSERT_TRUE(press_keys(chord));
        ASSERT_TRUE(settle(window_));
    }

    void drag_region() {
        ASSERT_TRUE(drag(window_, kRegionFrom, kRegionTo));
        ASSERT_TRUE(wait_until(region_shown, 10000)) << "the dragged region never showed";
    }

    void draw_rectangle() {
        ASSERT_TRUE(drag(window_, kRectFrom, kRectTo));
        ASSERT_TRUE(
            wait_until([] { return screen_shows_near((kRectFrom.x + kRectTo.x) / 2, kRectFrom.y, kRed, 8); }, 10000))
            << "the rectangle never showed";
    }

    void draw_arrow() {
        ASSERT_NO_FATAL_FAILURE(keys({'A'}));
        ASSERT_TRUE(drag(window_, kArrowFrom, kArrowEnd));
        ASSERT_TRUE(wait_until(
            [] {
                return screen_shows_near((kArrowFrom.x + kArrowTip.x) / 2, (kArrowFrom.y + kArrowTip.y) / 2, kRed, 40);
            },
            10000))
            << "the arrow never showed";
    }

    // Presses Esc and waits for the editor process to end with code 0.
    void end_with_esc() {
        ASSERT_TRUE(press_keys({VK_ESCAPE}));
        const auto code = editor_.wait(kExitTimeoutMs);
        ASSERT_TRUE(code.has_value()) << "Esc did not end the session" << editor_diagnosis(L"editor-esc-failed.png");
        EXPECT_EQ(*code, 0u);
    }

    // What a failed wait needs told apart, with the screen saved under `shot`.
    std::string editor_diagnosis(const wchar_t* shot) const {
        const bool saved = save_screenshot(grab_virtual_screen_for_test(), shot);
        return std::string("; editor ") + (editor_.running() ? "running" : "gone") +
               (::GetForegroundWindow() == window_ ? ", in front" : ", not in front") +
               (pattern_ ? ", presses that fell through: " + std::to_string(pattern_->clicks()) : "") +
               (saved ? ", screen saved" : "");
    }

    // Destroyed in reverse: the editor goes first, the settings file last.
    SettingsFileGuard settings_;
    ClipboardReset clipboard_;
    std::optional<PatternWindow> pattern_;
    LaunchedProcess editor_;
    HWND window_ = nullptr;
};

}  // namespace kadrovix::testing
