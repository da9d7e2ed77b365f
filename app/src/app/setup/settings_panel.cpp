#include "app/setup/settings_panel.h"


namespace kadrovix {
namespace {

constexpr std::uint32_t kVkTab = 9;
constexpr std::uint32_t kVkEnter = 13;
constexpr std::uint32_t kVkEscape = 27;
constexpr std::uint32_t kVkSpace = 32;
constexpr std::uint32_t kVkPrintScreen = 44;

PanelItem item_from_index(unsigned index) { return static_cast<PanelItem>(index % 3); }
unsigned item_index(PanelItem item) { return static_cast<unsigned>(item); }

// The pressed combination becomes the candidate and Save takes the focus, so
// that Enter saves it right away.
PanelCommand take_candidate(SettingsPanel& panel, std::uint32_t modifiers, std::uint32_t key) {
    panel.candidate = Shortcut{modifiers & 15u, key};
    panel.has_candidate = true;
    panel.capturing = false;
    panel.focus = PanelItem::Save;
    panel.message.clear();
    return PanelCommand::Redraw;
}

}  // namespace

LogicalPoint panel_logical_point(int x, int y, int client_width, int client_height) {
    if (client_width <= 0 || client_height <= 0) return {-1, -1};
    return {static_cast<double>(x) * kPanelWidth / client_width, static_cast<double>(y) * kPanelHeight / client_height};
}

std::optional<PanelItem> panel_hit_test(LogicalPoint point) {
    if (panel_layout::kShortcutBox.contains(point.x, point.y)) return PanelItem::ShortcutBox;
    if (panel_layout::kCancelButton.contains(point.x, point.y)) return PanelItem::Cancel;
    if (panel_layout::kSaveButton.contains(point.x, point.y)) return PanelItem::Save;
    return std::nullopt;
}

void reset_panel(SettingsPanel& panel, PanelPage page, const Settings& settings) {
    panel.message.clear();
    panel.focus = PanelItem::ShortcutBox;
    panel.page = page;
    if (page == PanelPage::Capture) {
        panel.candidate = Shortcut{settings.capture_modifiers, settings.capture_key};
        panel.has_candidate = settings.capture_key != 0;
        panel.capturing = settings.capture_key == 0;
    } else {
        const std::size_t slot = static_cast<std::size_t>(page) - 1;
        const ShapeShortcut& shape = settings.shape_shortcuts[slot];
        panel.candidate = Shortcut{shape.modifiers, shape.key};
        panel.has_candidate = true;
        panel.capturing = false;
    }
}

PanelCommand activate_panel_item(SettingsPanel& panel, PanelItem item) {
    switch (item) {
        case PanelItem::ShortcutBox:
            panel.capturing = true;
            panel.message.clear();
            return PanelCommand::Redraw;
        case PanelItem::Cancel: return PanelCommand::Close;
        case PanelItem::Save: return panel.has_candidate ? PanelCommand::Save : PanelCommand::None;
    }
    return PanelCommand::None;
}

PanelCommand handle_panel_click(SettingsPanel& panel, LogicalPoint point) {
    const std::optional<PanelItem> hit = panel_hit_test(point);
    if (!hit) return PanelCommand::None;
    if (*hit == PanelItem::Save && panel.capturing) return PanelCommand::None;
    const bool focus_moved = panel.focus != *hit;
    panel.focus = *hit;
    const PanelCommand command = activate_panel_item(panel, *hit);
    return command == PanelCommand::None && focus_moved ? PanelCommand::Redraw : command;
}

PanelCommand handle_panel_key_down(SettingsPanel& panel, std::uint32_t vk, std::uint32_t modifiers) {
    if (panel.capturing) {
        // Every key counts while waiting, Escape, Enter and Tab included: they
        // are valid shortcut keys, and Cancel stays one click away.
        if (is_modifier_key(vk) || vk == 0 || vk > 254) return PanelCommand::None;
        return take_candidate(panel, modifiers, vk);
    }
    switch (vk) {
        case kVkTab:
            panel.focus = item_from_index(item_index(panel.focus) + ((modifiers & kModShift) ? 2 : 1));
            return PanelCommand::Redraw;
        case kVkEnter:
        case kVkSpace: {
            const PanelCommand command = activate_panel_item(panel, panel.focus);
            return command == PanelCommand::None ? PanelCommand::Redraw : command;
        }
        case kVkEscape:
            panel.focus = PanelItem::Cancel;
            return PanelCommand::Close;
        default: return PanelCommand::None;
    }
}

PanelCommand handle_panel_key_up(SettingsPanel& panel, std::uint32_t vk, std::uint32_t modifiers) {
    if (vk != kVkPrintScreen || !panel.capturing) return PanelCommand::None;
    return take_candidate(panel, modifiers, vk);
}

PanelCommand handle_panel_hotkey(SettingsPanel& panel, std::uint32_t modifiers, std::uint32_t key) {
    if (!panel.capturing || key == 0 || key > 254 || is_modifier_key(key)) return PanelCommand::None;
    return take_candidate(panel, modifiers, key);
}

std::string_view panel_title(PanelPage page) {
    switch (page) {
        case PanelPage::Capture: return "Capture shortcut";
        case PanelPage::Arrow: return "Arrow shortcut";
        case PanelPage::Rectangle: return "Rectangle shortcut";
        case PanelPage::Ellipse: return "Ellipse shortcut";
    }
    return {};
}

std::string_view panel_description(PanelPage page) {
    if (page == PanelPage::Capture) return "Choose a key, with or without Ctrl, Shift, Alt or Windows.";
    return "Choose a letter with Ctrl or Alt. Shift can also be added.";
}

bool panel_save_enabled(const SettingsPanel& panel) { return panel.has_candidate && !panel.capturing; }

std::string panel_shortcut_text(const SettingsPanel& panel, const KeyNameLookup& layout_name) {
    if (panel.capturing) return "Press your shortcut\u2026";
    if (panel.has_candidate) return shortcut_name(panel.candidate, layout_name);
    return "Choose a shortcut";
}

std::string_view panel_state_glyph(const SettingsPanel& panel) { return panel.capturing ? "\u25CF" : "\u21B5"; }

std::string_view panel_hint(const SettingsPanel& panel) {
    if (!panel.message.empty()) return panel.message;
    if (panel.capturing) return "Press a key or combination. Cancel keeps your current shortcut.";
    return "Click the shortcut to change it, then click Save.";
}

}  // namespace kadrovix
