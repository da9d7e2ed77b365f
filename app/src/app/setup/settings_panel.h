// State of the settings panel, the small window in which the user picks the
// capture shortcut or one of the three shape shortcuts, and everything about
// it that needs no window: the keyboard and mouse state machine, the layout
// in 96-DPI units and the texts of each state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/setup/shortcut.h"
#include "app/setup/shortcut_names.h"
#include "settings/settings.h"

namespace kadrovix {

enum class PanelPage : std::uint8_t { Capture = 0, Arrow = 1, Rectangle = 2, Ellipse = 3 };

// Focusable items; also the hit-test results of the layout.
enum class PanelItem : std::uint8_t { ShortcutBox = 0, Cancel = 1, Save = 2 };

struct SettingsPanel {
    std::string message;  // error text under the box; empty when none
    PanelItem focus = PanelItem::ShortcutBox;
    bool has_candidate = false;
    Shortcut candidate;
    bool capturing = false;
    PanelPage page = PanelPage::Capture;
};

// What the window has to do after the panel took an input.
enum class PanelCommand {
    None,    // the input was ignored
    Redraw,  // the state changed
    Close,   // close the panel (Cancel, Escape)
    Save,    // apply the candidate with the page's rule
};

// --- layout (logical units of a 640 x 450 client area) -----------------------

inline constexpr int kPanelWidth = 640;
inline constexpr int kPanelHeight = 450;

struct LogicalRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    // Edges included on all four sides.
    constexpr bool contains(double x, double y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

namespace panel_layout {
inline constexpr LogicalRect kBadge{32, 27, 66, 61};
inline constexpr LogicalRect kProductName{78, 31, 350, 62};
inline constexpr LogicalRect kSettingsLabel{32, 85, 590, 105};
inline constexpr LogicalRect kTitle{32, 111, 615, 149};
inline constexpr LogicalRect kDescription{32, 150, 610, 174};
inline constexpr LogicalRect kShortcutBox{32, 184, 608, 262};
inline constexpr LogicalRect kBoxLabel{50, 197, 480, 214};
inline constexpr LogicalRect kShortcutText{50, 220, 545, 255};
inline constexpr LogicalRect kStateGlyph{555, 211, 590, 247};
inline constexpr LogicalRect kHint{34, 275, 605, 321};
inline constexpr LogicalRect kFooter{34, 323, 610, 347};
inline constexpr LogicalRect kCancelButton{314, 366, 432, 414};
inline constexpr LogicalRect kSaveButton{448, 366, 608, 414};
// Rounded corners, as the width of the corner ellipse.
inline constexpr int kBadgeCorner = 10;
inline constexpr int kShortcutBoxCorner = 14;
inline constexpr int kButtonCorner = 12;
}  // namespace panel_layout

// A client-area point in logical units: x * 640 / width, y * 450 / height.
struct LogicalPoint {
    double x = 0;
    double y = 0;
};
LogicalPoint panel_logical_point(int x, int y, int client_width, int client_height);

// The box, Cancel or Save under a logical point.
std::optional<PanelItem> panel_hit_test(LogicalPoint point);

// --- state machine -----------------------------------------------------------

// The state of a freshly opened page. The capture page starts from the
// capture shortcut and waits for a key at once when there is none; a shape
// page starts from that shape's shortcut.
void reset_panel(SettingsPanel& panel, PanelPage page, const Settings& settings);

// Click, Enter or Space on an item.
PanelCommand activate_panel_item(SettingsPanel& panel, PanelItem item);

// Left button down at a logical point. Save is not clickable while the panel
// waits for a shortcut.
PanelCommand handle_panel_click(SettingsPanel& panel, LogicalPoint point);

// A key-down (auto-repeats already dropped) with the modifier bits held at
// that moment (kModCtrl, kModShift, kModAlt, kModWin).
PanelCommand handle_panel_key_down(SettingsPanel& panel, std::uint32_t vk, std::uint32_t modifiers);

// A key-up: only Print Screen, which has no key-down, matters.
PanelCommand handle_panel_key_up(SettingsPanel& panel, std::uint32_t vk, std::uint32_t modifiers);

// A registered shortcut pressed while waiting arrives as a hot key instead.
PanelCommand handle_panel_hotkey(SettingsPanel& panel, std::uint32_t modifiers, std::uint32_t key);

// --- texts -------------------------------------------------------------------

inline constexpr std::string_view kPanelSettingsLabel = "SETTINGS";
inline constexpr std::string_view kPanelBoxLabel = "Shortcut";
inline constexpr std::string_view kPanelFooter = "Other settings are available from the tray icon.";
inline constexpr std::string_view kPanelCancel = "Cancel";
inline constexpr std::string_view kPanelSave = "Save";

std::string_view panel_title(PanelPage page);
std::string_view panel_description(PanelPage page);

// Save acts only with a candidate and while not waiting for a key.
bool panel_save_enabled(const SettingsPanel& panel);

std::string panel_shortcut_text(const SettingsPanel& panel, const KeyNameLookup& layout_name);
std::string_view panel_state_glyph(const SettingsPanel& panel);

// The error message when there is one, else the hint for the current state.
std::string_view panel_hint(const SettingsPanel& panel);
inline bool panel_hint_is_error(const SettingsPanel& panel) { return !panel.message.empty(); }

}  // namespace kadrovix
