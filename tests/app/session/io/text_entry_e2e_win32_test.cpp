// Text typed in place, driven through the real editor process with real
// mouse, wheel and keyboard input: what the live field shows while typing,
// and what lands on the clipboard once the text is committed and the image
// copied.
#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "session/commands.h"
#include "session/io/png_win32.h"
#include "support/editor_fixture_win32.h"
#include "toolbar/toolbar.h"

#ifndef KADROVIX_EXE_PATH
#error "the end-to-end tests need the path of the program they start"
#endif

namespace kadrovix::testing {
namespace {

constexpr std::uint32_t kGreen = 0x40C780;  // preset 3
constexpr std::uint32_t kBlue = 0x5099F4;   // preset 4
constexpr int kInk = 24;                    // how far an anti-aliased glyph's core may stray
constexpr DWORD kShowTimeoutMs = 10000;

constexpr POINT kTextAt{240, 190};
constexpr POINT kSecondTextAt{240, 340};

// Where pixels of one colour lie inside an area of an image, and how many.
struct Ink {
    int count = 0;
    RECT box{0, 0, 0, 0};  // right and bottom exclusive; empty when count is 0
    std::vector<int> rows;  // pixels per row of the area
    int width() const { return box.right - box.left; }
    int height() const { return box.bottom - box.top; }
};

// `glyphs_only` leaves out pixels with no matching neighbour left or right:
// the one-pixel caret, drawn in the text's colour, is then not counted.
Ink ink_of(const BgraImage& image, std::uint32_t rgb, RECT area, int tolerance = kInk, bool glyphs_only = false) {
    Ink ink;
    area.left = std::max<LONG>(area.left, 0);
    area.top = std::max<LONG>(area.top, 0);
    area.right = std::min<LONG>(area.right, static_cast<LONG>(image.width));
    area.bottom = std::min<LONG>(area.bottom, static_cast<LONG>(image.height));
    ink.rows.assign(static_cast<std::size_t>(std::max<LONG>(area.bottom - area.top, 0)), 0);
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (!near_rgb(pixel_rgb(image, x, y), rgb, tolerance)) continue;
            if (glyphs_only && !near_rgb(pixel_rgb(image, std::max(x - 1, 0), y), rgb, tolerance) &&
                !near_rgb(pixel_rgb(image, std::min(x + 1, static_cast<int>(image.width) - 1), y), rgb, tolerance)) {
                continue;
            }
            if (ink.count++ == 0) {
                ink.box = RECT{x, y, x + 1, y + 1};
            } else {
                ink.box.left = std::min<LONG>(ink.box.left, x);
                ink.box.top = std::min<LONG>(ink.box.top, y);
                ink.box.right = std::max<LONG>(ink.box.right, x + 1);
                ink.box.bottom = std::max<LONG>(ink.box.bottom, y + 1);
            }
            ++ink.rows[static_cast<std::size_t>(y - area.top)];
        }
    }
    return ink;
}

// Runs of rows holding ink, split where at least `gap` rows hold none: the
// lines of a text.
int ink_lines(const Ink& ink, int gap = 3) {
    int lines = 0, empty = gap;
    for (int n : ink.rows) {
        if (n > 0) {
            if (empty >= gap) ++lines;
            empty = 0;
        } else {
            ++empty;
        }
    }
    return lines;
}

// The region's area on the screen, and the whole of an output image.
constexpr RECT kRegionOnScreen{kRegion.left, kRegion.top, kRegion.right, kRegion.bottom};
constexpr RECT kWholeOutput{0, 0, kRegion.right - kRegion.left, kRegion.bottom - kRegion.top};

Ink screen_ink(std::uint32_t rgb, RECT area = kRegionOnScreen) {
    return ink_of(grab_virtual_screen_for_test(), rgb, area);
}

Ink screen_glyphs(std::uint32_t rgb, RECT area) { return ink_of(grab_virtual_screen_for_test(), rgb, area, kInk, true); }

// The selection's fill (RGB 88, 166, 255 at 40 %) over the grabbed picture.
std::uint32_t selection_over(std::uint32_t rgb) {
    const int fill[3] = {88, 166, 255};
    std::uint32_t out = 0;
    for (int i = 0; i < 3; ++i) {
        const int shift = 16 - 8 * i;
        const double c = channel(rgb, shift) * 0.6 + fill[i] * 0.4;
        out |= static_cast<std::uint32_t>(std::lround(c)) << shift;
    }
    return out;
}

int selection_pixels(const BgraImage& shot, RECT area) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (near_rgb(pixel_rgb(shot, x, y), selection_over(pattern_rgb(x, y)), 3)) ++n;
        }
    }
    return n;
}

class TextEntryEndToEnd : public EditorFixture {
protected:
    void type(std::initializer_list<WORD> letters) {
        for (WORD k : letters) ASSERT_NO_FATAL_FAILURE(keys({k}));
    }

    // Letters, digits and spaces as a user types them; capitals with Shift.
    void type_text(std::wstring_view text) {
        for (wchar_t c : text) {
            if (c >= L'A' && c <= L'Z') {
                ASSERT_NO_FATAL_FAILURE(keys({VK_SHIFT, static_cast<WORD>(c)}));
            } else if (c >= L'a' && c <= L'z') {
                ASSERT_NO_FATAL_FAILURE(keys({static_cast<WORD>(c - L'a' + L'A')}));
            } else if (c == L'\n') {
                ASSERT_NO_FATAL_FAILURE(keys({VK_RETURN}));
            } else {
                ASSERT_NO_FATAL_FAILURE(keys({static_cast<WORD>(c)}));  // digits and space share their codes
            }
        }
    }

    void wheel(int notches) {
        for (int i = 0; i < notches; ++i) {
            ASSERT_TRUE(send_wheel(WHEEL_DELTA));
            ASSERT_TRUE(settle(window_));
        }
    }

    // Waits until the screen's ink of `rgb` in `area` satisfies `ok`; saves a
    // picture for the report when it never does.
    template <class Ok>
    void wait_for_ink(std::uint32_t rgb, Ok ok, const char* what, RECT area = kRegionOnScreen) {
        Ink last;
        const bool shown = wait_until(
            [&] {
                last = screen_ink(rgb, area);
                return ok(last);
            },
            kShowTimeoutMs);
        if (!shown) {
            save_screenshot(L"editor-text-entry-failure.png");
            FAIL() << what << " (ink " << hex_rgb(rgb) << ": " << last.count << " px, box " << last.box.left << ","
                   << last.box.top << "-" << last.box.right << "," << last.box.bottom << ")";
        }
    }

    void save_screenshot(const wchar_t* name) {
        const BgraImage shot = grab_virtual_screen_for_test();
        ASSERT_GT(shot.width, 0u);
        ASSERT_TRUE(kadrovix::testing::save_screenshot(shot, name));
    }

    // Ctrl+Shift+C, the editor's end, and the copied image of the 400 x 300 region.
    BgraImage copy_and_read() {
        EXPECT_TRUE(press_keys({VK_CONTROL, VK_SHIFT, 'C'}));
        const auto code = editor_.wait(kExitTimeoutMs);
        EXPECT_TRUE(code.has_value()) << "the editor did not end after Ctrl+Shift+C";
        if (code) {
            EXPECT_EQ(*code, 0u);
        }
        auto image = clipboard_dib();
        EXPECT_TRUE(image.has_value()) << "no CF_DIB on the clipboard";
        if (!image || image->width != 400u || image->height != 300u) {
            ADD_FAILURE() << "the copied image is not the region";
            return BgraImage{};
        }
        return *image;
    }

    // The centre of the toolbar button whose command is `command`.
    std::optional<POINT> toolbar_button(CommandValue command, Tool tool) const {
        ToolbarInput input = region_toolbar_input();
        input.tool = tool;
        input.can_undo = true;
        const ToolbarLayout layout = layout_toolbar(input);
        for (const ToolbarButton& b : layout.buttons()) {
            if (b.command != command) continue;
            return POINT{static_cast<LONG>((b.rect.left + b.rect.right) / 2),
                         static_cast<LONG>((b.rect.top + b.rect.bottom) / 2)};
        }
        return std::nullopt;
    }
};

RECT around(POINT at, int right, int down) { return RECT{at.x - 4, at.y - 4, at.x + right, at.y + down}; }
RECT on_output(RECT r) {
    return RECT{r.left - kRegion.left, r.top - kRegion.top, r.right - kRegion.left, r.bottom - kRegion.top};
}

TEST_F(TextEntryEndToEnd, TwoLinesTypedWithEnterBecomeOneTextOnCtrlEnter) {
    ASSERT_NO_FATAL_FAILURE(start_with_region());
    ASSERT_NO_FATAL_FAILURE(keys({'T'}));
    ASSERT_TRUE(click(window_, kTextAt));
    // The digit is typed, not taken as the colour shortcut 2.
    ASSERT_NO_FATAL_FAILURE(type_text(L"Release notes\nDraft 2 of the plan"));
    const RECT field = around(kTextAt, 300, 100);
    ASSERT_TRUE(wait_until([&] { return ink_lines(screen_glyphs(kRed, field)) == 2 && screen_ink(kRed, field).count > 150; },
                           kShowTimeoutMs))
        << "the live field never showed two red lines";

    // Ctrl+Shift+Left selects the last word; the field shows the selection.
    ASSERT_NO_FATAL_FAILURE(keys({VK_CONTROL, VK_SHIFT, VK_LEFT}));
    ASSERT_TRUE(wait_until([&] { return selection_pixels(grab_virtual_screen_for_test(), field) > 100; },
                           kShowTimeoutMs))
        << "no selection shown in the field";
    ASSERT_TRUE(move_pointer(520, 420));
    ASSERT_TRUE(settle(window_));
    ASSERT_NO_FATAL_FAILURE(save_screenshot(L"editor-text-entry.png"));

    // Ctrl+Enter commits: the text stays, the selection and the field go.
    ASSERT_NO_FATAL_FAILURE(keys({VK_CONTROL, VK_RETURN}));
    ASSERT_TRUE(wait_until([&] { return selection_pixels(grab_virtual_screen_for_test(), field) == 0; },
                           kShowTimeoutMs))
        << "the selection stayed after Ctrl+Enter";
    const Ink shown = screen_ink(kRed, field);
    EXPECT_EQ(ink_lines(shown), 2);

    const BgraImage image = copy_and_read();
    ASSERT_GT(image.width, 0u);
    const Ink copied = ink_of(image, kRed, kWholeOutput);
    EXPECT_EQ(ink_lines(copied), 2) << "the copy does not hold two lines of text";
    EXPECT_GT(copied.count, 150);
    // Where it was typed, as shown.
    EXPECT_GE(copied.box.left, kTextAt.x - kRegion.left - 1);
    EXPECT_GE(copied.box.top, kTextAt.y - kRegion.top);
    EXPECT_NEAR(copied.box.left, shown.box.left - kRegion.left, 1);
    EXPECT_NEAR(copied.box.top, shown.box.top - kRegion.top, 1);
    EXPECT_NEAR(copied.width(), shown.width(), 2);
    EXPECT_NEAR(copied.height(), shown.height(), 2);
    // Nothing else changed: outside the text, the grabbed picture pixel for pixel.
    int mismatches = 0;
    for (int y = 0; y < static_cast<int>(image.height); ++y) {
        for (int x = 0; x < static_cast<int>(image.width); ++x) {
            const bool in_text = x >= copied.box.left - 3 && x < copied.box.right + 3 && y >= copied.box.top - 3 &&
                                 y < copied.box.bottom + 3;
            if (in_text) continue;
            if (!near_rgb(pixel_rgb(image, x, y), pattern_rgb(x + kRegion.left, y + kRegion.top), 2)) ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(TextEntryEndToEnd, ClickingATextEditsItInItsOwnColourAndSizeAndEscKeepsItsWords) {
    ASSERT_NO_FATAL_FAILURE(start_with_region());
    // A blue text, made larger than the session's text size while typing.
    ASSERT_NO_FATAL_FAILURE(keys({'4'}));
    ASSERT_NO_FATAL_FAILURE(keys({'T'}));
    ASSERT_TRUE(click(window_, kTextAt));
    ASSERT_NO_FATAL_FAILURE(wheel(4));  // 24 -> 32
    ASSERT_NO_FATAL_FAILURE(type({'M', 'M', 'M'}));
    ASSERT_NO_FATAL_FAILURE(keys({VK_CONTROL, VK_RETURN}));
    // Red and the Text tool again (which also clears the selection, whose
    // frame is bluish): red is now what a new text would get.
    ASSERT_NO_FATAL_FAILURE(keys({'T'}));
    ASSERT_NO_FATAL_FAILURE(keys({'1'}));
    const RECT area = around(kTextAt, 300, 120);
    ASSERT_NO_FATAL_FAILURE(
        wait_for_ink(kBlue, [](const Ink& i) { return i.count > 100; }, "the blue text never showed", area));
    ASSERT_TRUE(settle(window_));
    const Ink before = screen_glyphs(kBlue, area);
    ASSERT_GT(before.height(), 14) << "the text is not larger than the session's size";

    // A click on it edits it: the same letters, in the same place, size and colour.
    ASSERT_TRUE(click(window_, POINT{(before.box.left + before.box.right) / 2, (before.box.top + before.box.bottom) / 2}));
    ASSERT_TRUE(wait_until([&] { return screen_ink(kBlue, area).height() > before.height(); }, kShowTimeoutMs))
        << "no caret in the edited text";
    const Ink opened = screen_glyphs(kBlue, area);
    EXPECT_EQ(opened.box.left, before.box.left);
    EXPECT_EQ(opened.box.top, before.box.top);
    EXPECT_EQ(opened.width(), before.width());
    EXPECT_EQ(opened.height(), before.height());
    EXPECT_NEAR(opened.count, before.count, before.count / 20) << "the old object shows under the field";
    EXPECT_EQ(screen_ink(kRed, area).count, 0) << "the edited text took the current colour";

    // Taking a letter away shows: the old object is not drawn under the field.
    ASSERT_NO_FATAL_FAILURE(keys({VK_END}));
    ASSERT_NO_FATAL_FAILURE(keys({VK_BACK}));
    ASSERT_TRUE(wait_until([&] { return screen_glyphs(kBlue, area).width() < before.width() - 15; }, kShowTimeoutMs))
        << "the old words still show while editing";
    ASSERT_NO_FATAL_FAILURE(type({'W', 'W', 'W'}));
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(
        kBlue, [&](const Ink& i) { return i.width() > before.width() + 30; },
        "the edited text did not grow in blue", area));
    EXPECT_EQ(screen_ink(kRed, area).count, 0) << "typing into the edited text used the current colour";

    // Esc discards the change; the old words come back as they were.
    ASSERT_NO_FATAL_FAILURE(keys({VK_ESCAPE}));
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(
        kBlue, [&](const Ink& i) { return i.width() == before.width() && i.height() == before.height(); },
        "Esc did not bring the old words back", area));
    EXPECT_TRUE(editor_.running()) << "Esc in the entry ended the session";

    const BgraImage image = copy_and_read();
    ASSERT_GT(image.width, 0u);
    const Ink copied = ink_of(image, kBlue, kWholeOutput, kInk, true);
    EXPECT_EQ(copied.width(), before.width());
    EXPECT_EQ(copied.height(), before.height());
    EXPECT_EQ(copied.box.left, before.box.left - kRegion.left);
    EXPECT_EQ(copied.box.top, before.box.top - kRegion.top);
    EXPECT_EQ(ink_of(image, kRed, kWholeOutput).count, 0);
}

TEST_F(TextEntryEndToEnd, TheWheelGrowsTheTextBeingTyped) {
    ASSERT_NO_FATAL_FAILURE(start_with_region());
    ASSERT_NO_FATAL_FAILURE(keys({'T'}));
    // The same letters twice: at the session's size, and turned up six notches while typing.
    ASSERT_TRUE(click(window_, kTextAt));
    ASSERT_NO_FATAL_FAILURE(type({'M', 'M', 'M'}));
    ASSERT_NO_FATAL_FAILURE(keys({VK_CONTROL, VK_RETURN}));
    const RECT first = around(kTextAt, 320, 100);
    const RECT second = around(kSecondTextAt, 320, 100);
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(kRed, [](const Ink& i) { return i.count > 100; }, "no first text", first));

    ASSERT_TRUE(click(window_, kSecondTextAt));
    ASSERT_NO_FATAL_FAILURE(type({'M', 'M', 'M'}));
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(kRed, [](const Ink& i) { return i.count > 100; }, "no second text", second));
    const Ink small = screen_glyphs(kRed, second);
    ASSERT_NO_FATAL_FAILURE(wheel(6));  // 24 -> 36
    const double grown = 36.0 / 24.0;
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(
        kRed, [&](const Ink& i) { return i.width() >= small.width() * grown - 4; }, "the wheel did not grow the text",
        second));
    ASSERT_NO_FATAL_FAILURE(keys({VK_CONTROL, VK_RETURN}));
    ASSERT_TRUE(settle(window_));

    const BgraImage image = copy_and_read();
    ASSERT_GT(image.width, 0u);
    const Ink at_24 = ink_of(image, kRed, on_output(first), kInk, true);
    const Ink at_36 = ink_of(image, kRed, on_output(second), kInk, true);
    ASSERT_GT(at_24.count, 50);
    EXPECT_NEAR(at_36.width(), at_24.width() * grown, 4);
    EXPECT_NEAR(at_36.height(), at_24.height() * grown, 3);
    // It grew from where it was typed.
    EXPECT_NEAR(at_36.box.left, at_24.box.left, 2);
}

TEST_F(TextEntryEndToEnd, GreenWhileTypingRecoloursOnlyTheTextBeingTyped) {
    ASSERT_NO_FATAL_FAILURE(start_with_region());
    ASSERT_NO_FATAL_FAILURE(keys({'T'}));
    // A first, red text: committed, it is the selected object.
    ASSERT_TRUE(click(window_, kTextAt));
    ASSERT_NO_FATAL_FAILURE(type({'M', 'M'}));
    ASSERT_NO_FATAL_FAILURE(keys({VK_CONTROL, VK_RETURN}));
    const RECT first = around(kTextAt, 200, 60);
    const RECT second = around(kSecondTextAt, 200, 60);
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(kRed, [](const Ink& i) { return i.count > 60; }, "no first text", first));

    // A second entry; while it is open, the toolbar's green (shortcut 3; the
    // key itself would be typed into the text) colours only it.
    ASSERT_TRUE(click(window_, kSecondTextAt));
    ASSERT_NO_FATAL_FAILURE(type({'W', 'W'}));
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(kRed, [](const Ink& i) { return i.count > 60; }, "no second text", second));
    const auto green = toolbar_button(set_colour_command(kPresetColours[2]), Tool::Text);
    ASSERT_TRUE(green.has_value()) << "no green button on the toolbar";
    ASSERT_TRUE(click(window_, *green));
    ASSERT_NO_FATAL_FAILURE(
        wait_for_ink(kGreen, [](const Ink& i) { return i.count > 60; }, "the entry did not turn green", second));
    // The keyboard is back in the entry: typing goes on in green.
    const Ink two_letters = screen_ink(kGreen, second);
    ASSERT_NO_FATAL_FAILURE(type({'W'}));
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(
        kGreen, [&](const Ink& i) { return i.width() > two_letters.width() + 10; }, "typing stopped after the colour",
        second));
    EXPECT_EQ(screen_ink(kGreen, first).count, 0) << "the selected text took the colour too";
    ASSERT_NO_FATAL_FAILURE(keys({VK_CONTROL, VK_RETURN}));

    const BgraImage image = copy_and_read();
    ASSERT_GT(image.width, 0u);
    EXPECT_GT(ink_of(image, kRed, on_output(first)).count, 60) << "the first text lost its red";
    EXPECT_EQ(ink_of(image, kGreen, on_output(first)).count, 0);
    EXPECT_GT(ink_of(image, kGreen, on_output(second)).count, 60) << "the second text is not green";
    EXPECT_EQ(ink_of(image, kRed, on_output(second)).count, 0);
}

TEST_F(TextEntryEndToEnd, ThePickerTakesEnterFromTheTextAndGivesTheKeyboardBack) {
    ASSERT_NO_FATAL_FAILURE(start_with_region());
    ASSERT_NO_FATAL_FAILURE(keys({'T'}));
    ASSERT_TRUE(click(window_, kTextAt));
    ASSERT_NO_FATAL_FAILURE(type({'W', 'W'}));
    const RECT area = around(kTextAt, 200, 90);
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(kRed, [](const Ink& i) { return i.count > 60; }, "no text", area));
    const Ink one_line = screen_ink(kRed, area);

    // Custom colour opens the picker; Enter applies it instead of breaking the line.
    const auto custom = toolbar_button(command_value(CommandKind::CustomColour), Tool::Text);
    ASSERT_TRUE(custom.has_value()) << "no custom colour button on the toolbar";
    ASSERT_TRUE(click(window_, *custom));
    ASSERT_NO_FATAL_FAILURE(keys({VK_RETURN}));
    // The keyboard is back in the text, on the same line.
    ASSERT_NO_FATAL_FAILURE(type({'W'}));
    ASSERT_NO_FATAL_FAILURE(wait_for_ink(
        kRed, [&](const Ink& i) { return i.width() > one_line.width() + 10; }, "typing stopped after the picker", area));
    const Ink after = screen_ink(kRed, area);
    EXPECT_LT(after.height(), one_line.height() + 8) << "Enter broke the line while the picker was open";
}

}  // namespace
}  // namespace kadrovix::testing
