#include "app/setup/settings_panel.h"

#include <gtest/gtest.h>

#include <string>

namespace kadrovix {
namespace {

constexpr std::uint32_t kTab = 9, kEnter = 13, kEscape = 27, kSpace = 32, kPrintScreen = 44;
constexpr std::uint32_t kShift = 16, kCtrl = 17, kAlt = 18, kLeftWin = 91, kRightCtrl = 163;

std::string letters(std::uint32_t key) {
    if (key >= 'A' && key <= 'Z') return std::string(1, static_cast<char>(key));
    return {};
}

Settings settings_with_capture(std::uint32_t modifiers, std::uint32_t key) {
    Settings s = default_settings();
    s.capture_modifiers = modifiers;
    s.capture_key = key;
    return s;
}

SettingsPanel open_page(PanelPage page, const Settings& s) {
    SettingsPanel panel;
    panel.message = "left over";
    panel.focus = PanelItem::Save;
    reset_panel(panel, page, s);
    return panel;
}

TEST(SettingsPanelOpen, FreshProfileWaitsForAKeyWithSaveDisabled) {
    const SettingsPanel panel = open_page(PanelPage::Capture, default_settings());
    EXPECT_TRUE(panel.capturing);
    EXPECT_FALSE(panel.has_candidate);
    EXPECT_EQ(panel.focus, PanelItem::ShortcutBox);
    EXPECT_TRUE(panel.message.empty());
    EXPECT_FALSE(panel_save_enabled(panel));
    EXPECT_EQ(panel_shortcut_text(panel, letters), "Press your shortcut\u2026");
    EXPECT_EQ(panel_state_glyph(panel), "\u25CF");
    EXPECT_EQ(panel_hint(panel), "Press a key or combination. Cancel keeps your current shortcut.");
}

TEST(SettingsPanelOpen, PagesStartFromTheirStoredShortcut) {
    const Settings s = settings_with_capture(kModCtrl | kModShift, 'K');
    const SettingsPanel capture = open_page(PanelPage::Capture, s);
    EXPECT_FALSE(capture.capturing);
    EXPECT_TRUE(capture.has_candidate);
    EXPECT_EQ(panel_shortcut_text(capture, letters), "Ctrl + Shift + K");
    EXPECT_EQ(panel_state_glyph(capture), "\u21B5");
    EXPECT_EQ(panel_hint(capture), "Click the shortcut to change it, then click Save.");
    EXPECT_TRUE(panel_save_enabled(capture));
    EXPECT_EQ(panel_title(PanelPage::Capture), "Capture shortcut");
    EXPECT_EQ(panel_description(PanelPage::Capture), "Choose a key, with or without Ctrl, Shift, Alt or Windows.");

    const SettingsPanel ellipse = open_page(PanelPage::Ellipse, s);
    EXPECT_EQ(ellipse.page, PanelPage::Ellipse);
    EXPECT_FALSE(ellipse.capturing);
    EXPECT_TRUE(ellipse.message.empty());
    EXPECT_EQ(ellipse.candidate, (Shortcut{kModAlt, 'C'}));
    EXPECT_EQ(panel_shortcut_text(ellipse, letters), "Alt + C");
    EXPECT_EQ(panel_title(PanelPage::Rectangle), "Rectangle shortcut");
    EXPECT_EQ(panel_description(PanelPage::Arrow), "Choose a letter with Ctrl or Alt. Shift can also be added.");
    EXPECT_EQ(panel_description(PanelPage::Ellipse), panel_description(PanelPage::Arrow));
}

TEST(SettingsPanelKeys, CapturingTakesAnyNonModifierKeyWithHeldModifiers) {
    SettingsPanel panel = open_page(PanelPage::Capture, default_settings());
    // Modifier keys alone, in every variant, change nothing.
    for (std::uint32_t vk : {kShift, kCtrl, kAlt, kLeftWin, 92u, 160u, 161u, 162u, kRightCtrl, 164u, 165u}) {
        EXPECT_EQ(handle_panel_key_down(panel, vk, kModCtrl), PanelCommand::None) << vk;
    }
    EXPECT_TRUE(panel.capturing);
    EXPECT_FALSE(panel.has_candidate);

    panel.message = "Unable to register this shortcut (5). It may be reserved or already in use.";
    EXPECT_EQ(handle_panel_key_down(panel, 'S', kModCtrl | kModShift), PanelCommand::Redraw);
    EXPECT_FALSE(panel.capturing);
    EXPECT_TRUE(panel.has_candidate);
    EXPECT_EQ(panel.candidate, (Shortcut{kModCtrl | kModShift, 'S'}));
    EXPECT_EQ(panel.focus, PanelItem::Save);
    EXPECT_TRUE(panel.message.empty());
    EXPECT_EQ(panel_shortcut_text(panel, letters), "Ctrl + Shift + S");
    EXPECT_TRUE(panel_save_enabled(panel));
}

TEST(SettingsPanelKeys, EscapeEnterAndTabAreShortcutKeysWhileCapturing) {
    for (std::uint32_t vk : {kEscape, kEnter, kTab, kSpace}) {
        SettingsPanel panel = open_page(PanelPage::Capture, default_settings());
        EXPECT_EQ(handle_panel_key_down(panel, vk, 0), PanelCommand::Redraw) << vk;
        EXPECT_EQ(panel.candidate, (Shortcut{0, vk}));
        EXPECT_FALSE(panel.capturing);
        EXPECT_EQ(panel.focus, PanelItem::Save);
    }
    // Shift+Tab while capturing is a candidate too, not a focus move.
    SettingsPanel panel = open_page(PanelPage::Capture, default_settings());
    EXPECT_EQ(handle_panel_key_down(panel, kTab, kModShift), PanelCommand::Redraw);
    EXPECT_EQ(panel.candidate, (Shortcut{kModShift, kTab}));
}

TEST(SettingsPanelKeys, PrintScreenArrivesOnKeyUpOnly) {
    SettingsPanel panel = open_page(PanelPage::Capture, default_settings());
    // Other key-ups are ignored while capturing.
    EXPECT_EQ(handle_panel_key_up(panel, 'A', 0), PanelCommand::None);
    EXPECT_TRUE(panel.capturing);
    EXPECT_EQ(handle_panel_key_up(panel, kPrintScreen, 0), PanelCommand::Redraw);
    EXPECT_EQ(panel.candidate, (Shortcut{0, kPrintScreen}));
    EXPECT_EQ(panel_shortcut_text(panel, letters), "Print Screen");
    // Not capturing any more: a second key-up changes nothing.
    panel.candidate = Shortcut{kModCtrl, 'Q'};
    EXPECT_EQ(handle_panel_key_up(panel, kPrintScreen, kModAlt), PanelCommand::None);
    EXPECT_EQ(panel.candidate, (Shortcut{kModCtrl, 'Q'}));
}

TEST(SettingsPanelKeys, HotkeyBecomesCandidateOnlyWhileCapturing) {
    SettingsPanel panel = open_page(PanelPage::Capture, settings_with_capture(kModCtrl, 'K'));
    EXPECT_EQ(handle_panel_hotkey(panel, kModAlt, 'F'), PanelCommand::None);
    EXPECT_EQ(panel.candidate, (Shortcut{kModCtrl, 'K'}));

    panel.capturing = true;
    // The no-repeat flag never reaches the candidate.
    EXPECT_EQ(handle_panel_hotkey(panel, kModAlt | kModNoRepeat, 'F'), PanelCommand::Redraw);
    EXPECT_EQ(panel.candidate, (Shortcut{kModAlt, 'F'}));
    EXPECT_EQ(panel.focus, PanelItem::Save);
}

TEST(SettingsPanelKeys, FocusCyclesWithTabAndShiftTab) {
    SettingsPanel panel = open_page(PanelPage::Arrow, default_settings());
    ASSERT_EQ(panel.focus, PanelItem::ShortcutBox);
    EXPECT_EQ(handle_panel_key_down(panel, kTab, kModShift), PanelCommand::Redraw);
    EXPECT_EQ(panel.focus, PanelItem::Save);  // Shift+Tab from the box
    handle_panel_key_down(panel, kTab, kModShift);
    EXPECT_EQ(panel.focus, PanelItem::Cancel);
    handle_panel_key_down(panel, kTab, 0);
    EXPECT_EQ(panel.focus, PanelItem::Save);
    handle_panel_key_down(panel, kTab, 0);
    EXPECT_EQ(panel.focus, PanelItem::ShortcutBox);
    handle_panel_key_down(panel, kTab, kModCtrl);  // Ctrl does not reverse
    EXPECT_EQ(panel.focus, PanelItem::Cancel);
    EXPECT_EQ(handle_panel_key_down(panel, 'X', 0), PanelCommand::None);
    EXPECT_EQ(panel.focus, PanelItem::Cancel);
    EXPECT_FALSE(panel.capturing);
}

TEST(SettingsPanelKeys, EnterAndSpaceActivateTheFocusedItem) {
    SettingsPanel panel = open_page(PanelPage::Capture, settings_with_capture(kModCtrl, 'K'));
    panel.message = "old refusal";
    EXPECT_EQ(handle_panel_key_down(panel, kSpace, 0), PanelCommand::Redraw);
    EXPECT_TRUE(panel.capturing);
    EXPECT_TRUE(panel.message.empty());
    handle_panel_key_down(panel, 'J', kModCtrl);
    ASSERT_EQ(panel.focus, PanelItem::Save);
    EXPECT_EQ(handle_panel_key_down(panel, kEnter, 0), PanelCommand::Save);

    panel.focus = PanelItem::Cancel;
    EXPECT_EQ(handle_panel_key_down(panel, kEnter, 0), PanelCommand::Close);

    // Save without a candidate does nothing.
    SettingsPanel empty = open_page(PanelPage::Capture, default_settings());
    empty.capturing = false;
    empty.focus = PanelItem::Save;
    EXPECT_NE(handle_panel_key_down(empty, kEnter, 0), PanelCommand::Save);
    EXPECT_EQ(activate_panel_item(empty, PanelItem::Save), PanelCommand::None);
}

TEST(SettingsPanelKeys, EscapeWhenNotCapturingFocusesCancelAndCloses) {
    SettingsPanel panel = open_page(PanelPage::Rectangle, default_settings());
    EXPECT_EQ(handle_panel_key_down(panel, kEscape, 0), PanelCommand::Close);
    EXPECT_EQ(panel.focus, PanelItem::Cancel);
    EXPECT_FALSE(panel.has_candidate && panel.capturing);
}

TEST(SettingsPanelMouse, HitTestIncludesEveryEdge) {
    const auto hit = [](double x, double y) { return panel_hit_test({x, y}); };
    EXPECT_EQ(hit(32, 184), PanelItem::ShortcutBox);
    EXPECT_EQ(hit(608, 262), PanelItem::ShortcutBox);
    EXPECT_EQ(hit(31.9, 200), std::nullopt);
    EXPECT_EQ(hit(608.1, 200), std::nullopt);
    EXPECT_EQ(hit(314, 366), PanelItem::Cancel);
    EXPECT_EQ(hit(432, 414), PanelItem::Cancel);
    EXPECT_EQ(hit(432.5, 390), std::nullopt);  // the gap between the buttons
    EXPECT_EQ(hit(448, 366), PanelItem::Save);
    EXPECT_EQ(hit(608, 414), PanelItem::Save);
    EXPECT_EQ(hit(608, 414.1), std::nullopt);
    EXPECT_EQ(hit(100, 300), std::nullopt);  // the hint text is no control

    // Client pixels map through the client size: at 150 % the Save edge is at 912.
    const LogicalPoint p = panel_logical_point(912, 621, 960, 675);
    EXPECT_DOUBLE_EQ(p.x, 608);
    EXPECT_DOUBLE_EQ(p.y, 414);
    EXPECT_EQ(panel_hit_test(p), PanelItem::Save);
}

TEST(SettingsPanelMouse, ClicksFocusAndActivateButSaveIsInertWhileCapturing) {
    SettingsPanel panel = open_page(PanelPage::Capture, settings_with_capture(kModCtrl, 'K'));
    EXPECT_EQ(handle_panel_click(panel, {100, 220}), PanelCommand::Redraw);
    EXPECT_TRUE(panel.capturing);
    EXPECT_EQ(panel.focus, PanelItem::ShortcutBox);

    EXPECT_EQ(handle_panel_click(panel, {500, 390}), PanelCommand::None);
    EXPECT_TRUE(panel.capturing);
    EXPECT_EQ(panel.focus, PanelItem::ShortcutBox);

    EXPECT_EQ(handle_panel_click(panel, {320, 370}), PanelCommand::Close);
    EXPECT_EQ(panel.focus, PanelItem::Cancel);

    handle_panel_key_down(panel, 'J', kModCtrl | kModAlt);
    panel.focus = PanelItem::ShortcutBox;
    EXPECT_EQ(handle_panel_click(panel, {500, 390}), PanelCommand::Save);
    EXPECT_EQ(panel.focus, PanelItem::Save);
    EXPECT_EQ(handle_panel_click(panel, {10, 10}), PanelCommand::None);
}

TEST(SettingsPanelTexts, ErrorMessageReplacesTheHint) {
    SettingsPanel panel = open_page(PanelPage::Arrow, default_settings());
    panel.message = "Shortcut unavailable or invalid: Duplicate shape shortcut";
    EXPECT_TRUE(panel_hint_is_error(panel));
    EXPECT_EQ(panel_hint(panel), "Shortcut unavailable or invalid: Duplicate shape shortcut");
    activate_panel_item(panel, PanelItem::ShortcutBox);
    EXPECT_FALSE(panel_hint_is_error(panel));
}

}  // namespace
}  // namespace kadrovix
