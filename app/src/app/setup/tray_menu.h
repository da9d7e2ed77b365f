// The notification-area menu without the platform: its items in order, the
// packing of a shape shortcut into an item's data, the texts an item shows,
// what each command does and how large an item is at a given DPI.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/setup/settings_panel.h"
#include "app/setup/shortcut.h"
#include "settings/settings.h"

namespace kadrovix {

// Command ids. 0 is the owner-drawn separator (a disabled item) and also
// "nothing chosen" when the menu closes.
inline constexpr std::uint32_t kMenuSeparator = 0;
inline constexpr std::uint32_t kMenuTakeScreenshot = 1;
inline constexpr std::uint32_t kMenuCaptureShortcut = 2;
inline constexpr std::uint32_t kMenuQuit = 3;
inline constexpr std::uint32_t kMenuStartWithWindows = 4;
inline constexpr std::uint32_t kMenuLiveCapture = 5;
inline constexpr std::uint32_t kMenuPointerHalo = 101;
inline constexpr std::uint32_t kMenuTemporaryShapes = 102;
inline constexpr std::uint32_t kMenuInputDisplay = 103;
inline constexpr std::uint32_t kMenuArrow = 110;
inline constexpr std::uint32_t kMenuRectangle = 111;
inline constexpr std::uint32_t kMenuEllipse = 112;
inline constexpr std::uint32_t kMenuShapeDuration = 120;
inline constexpr std::uint32_t kMenuDuration1s = 121;
inline constexpr std::uint32_t kMenuDuration3s = 122;
inline constexpr std::uint32_t kMenuDuration5s = 123;

inline constexpr std::string_view kPresentationBusyMessage =
    "Finish the current capture before changing presentation settings.";

enum class TrayMenuItemKind {
    Item,              // owner-drawn command, possibly checked
    OwnerSeparator,    // owner-drawn, disabled, id 0
    StandardSeparator, // drawn by the system
    Submenu,           // owner-drawn entry that opens the duration list
};

struct TrayMenuItem {
    std::uint32_t id = 0;
    TrayMenuItemKind kind = TrayMenuItemKind::Item;
    std::string_view text;  // UTF-8; the label, then optionally a tab and the accelerator
    bool checked = false;
    std::uint32_t data = 0;  // shape items: the packed shortcut
};

// What the menu reflects, gathered fresh each time it opens.
struct TrayMenuInputs {
    std::uint32_t features = 0;  // kFeature* bits of the presentation state
    ShapeShortcuts shape_shortcuts{};
    // Per shape: served through the keyboard hook because another program
    // holds the combination.
    std::array<bool, 3> hook_priority{};
    std::uint32_t shape_duration_ms = 3000;
    bool live_capture = false;
    bool run_value_exists = false;
};

struct TrayMenuModel {
    std::vector<TrayMenuItem> items;           // the top-level menu, top to bottom
    std::vector<TrayMenuItem> duration_items;  // the "Shape duration" submenu
};

TrayMenuModel build_tray_menu(const TrayMenuInputs& inputs);

// The built-in text of an item id ("Arrow\tAlt+F"); empty for unknown ids.
std::string_view tray_menu_item_text(std::uint32_t id);

// Item data of a shape item: modifiers in bits 0-15, key in bits 16-23, and
// bit 31 when the keyboard hook serves the shortcut.
inline constexpr std::uint32_t kItemDataHookPriority = 0x8000'0000u;

struct ShortcutItemData {
    Shortcut shortcut;
    bool hook_priority = false;
    friend bool operator==(const ShortcutItemData&, const ShortcutItemData&) = default;
};

constexpr std::uint32_t pack_shortcut_item_data(Shortcut shortcut, bool hook_priority) {
    return (shortcut.modifiers & 0xFFFFu) | ((shortcut.key & 0xFFu) << 16) |
           (hook_priority ? kItemDataHookPriority : 0u);
}

constexpr ShortcutItemData unpack_shortcut_item_data(std::uint32_t data) {
    return ShortcutItemData{Shortcut{data & 0xFFFFu, (data >> 16) & 0xFFu}, (data & kItemDataHookPriority) != 0};
}

constexpr bool is_shape_item(std::uint32_t id) { return id >= kMenuArrow && id <= kMenuEllipse; }

// An item's text split at its first tab; without a tab the accelerator is empty.
template <class Char>
struct BasicMenuText {
    std::basic_string_view<Char> label;
    std::basic_string_view<Char> accelerator;
};

template <class Char>
constexpr BasicMenuText<Char> split_menu_text(std::basic_string_view<Char> text) {
    const auto tab = text.find(Char('\t'));
    if (tab == std::basic_string_view<Char>::npos) return {text, {}};
    return {text.substr(0, tab), text.substr(tab + 1)};
}

// The accelerator a shape item shows for its shortcut: the display name made
// compact ("Ctrl + Alt + F" becomes "Ctrl+Alt+F"), marked " (in use)" when
// the keyboard hook serves it.
std::string menu_accelerator_text(std::string_view shortcut_display_name, bool hook_priority);

// What choosing an id does.
enum class TrayAction {
    Nothing,
    StartCapture,
    OpenPanel,
    Quit,
    ToggleStartWithWindows,
    ToggleLiveCapture,
    ToggleFeature,
    SetShapeDuration,
    RefuseWhileEditing,  // show kPresentationBusyMessage and do nothing else
};

struct TrayCommand {
    TrayAction action = TrayAction::Nothing;
    PanelPage page = PanelPage::Capture;  // OpenPanel
    std::uint32_t feature = 0;            // ToggleFeature: the kFeature* bit
    std::uint32_t duration_ms = 0;        // SetShapeDuration
};

// Presentation settings (ids 101 to 123) stay as they are while an editor
// runs: its capture must not pick up overlays switched on meanwhile.
TrayCommand tray_command(std::uint32_t id, bool editor_running);

// Item sizes in pixels at `dpi` (never below 96): 280 x 28 units, 360 wide
// for the presentation items, 156 for the durations, 8 high for separators.
struct MenuItemSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const MenuItemSize&, const MenuItemSize&) = default;
};

constexpr std::uint32_t effective_dpi(std::uint32_t dpi) { return dpi < 96 ? 96 : dpi; }

constexpr int scale_for_dpi(int units, std::uint32_t dpi) {
    return static_cast<int>(static_cast<std::int64_t>(units) * effective_dpi(dpi) / 96);
}

MenuItemSize tray_menu_item_size(std::uint32_t id, std::uint32_t dpi);

// Copies `text` into a fixed field of `capacity` units that also holds the
// terminating NUL, without splitting a surrogate pair at the cut.
std::u16string fit_text_field(std::u16string_view text, std::size_t capacity);

}  // namespace kadrovix
