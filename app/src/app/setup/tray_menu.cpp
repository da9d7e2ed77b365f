#include "app/setup/tray_menu.h"

#include "presentation/presentation_state.h"

namespace kadrovix {

std::string_view tray_menu_item_text(std::uint32_t id) {
    switch (id) {
        case kMenuTakeScreenshot: return "Take a screenshot";
        case kMenuCaptureShortcut: return "Capture shortcut\u2026";
        case kMenuQuit: return "Quit Kadrovix";
        case kMenuStartWithWindows: return "Start with Windows";
        case kMenuLiveCapture: return "Live capture by default";
        case kMenuPointerHalo: return "Pointer halo";
        case kMenuTemporaryShapes: return "Temporary shapes";
        case kMenuInputDisplay: return "Show keyboard and mouse";
        case kMenuArrow: return "Arrow\tAlt+F";
        case kMenuRectangle: return "Rectangle\tAlt+R";
        case kMenuEllipse: return "Ellipse\tAlt+C";
        case kMenuShapeDuration: return "Shape duration";
        case kMenuDuration1s: return "1 second";
        case kMenuDuration3s: return "3 seconds";
        case kMenuDuration5s: return "5 seconds";
        default: return {};
    }
}

TrayMenuModel build_tray_menu(const TrayMenuInputs& in) {
    const auto item = [](std::uint32_t id, bool checked = false, std::uint32_t data = 0) {
        return TrayMenuItem{id, TrayMenuItemKind::Item, tray_menu_item_text(id), checked, data};
    };
    const TrayMenuItem owner_separator{kMenuSeparator, TrayMenuItemKind::OwnerSeparator, {}, false, 0};
    const TrayMenuItem standard_separator{kMenuSeparator, TrayMenuItemKind::StandardSeparator, {}, false, 0};
    const auto shape = [&](std::uint32_t id, std::size_t slot) {
        const ShapeShortcut& s = in.shape_shortcuts[slot];
        return item(id, false, pack_shortcut_item_data(Shortcut{s.modifiers, s.key}, in.hook_priority[slot]));
    };

    TrayMenuModel model;
    model.items = {
        item(kMenuTakeScreenshot),
        item(kMenuCaptureShortcut),
        owner_separator,
        item(kMenuPointerHalo, (in.features & kFeaturePointerHalo) != 0),
        item(kMenuTemporaryShapes, (in.features & kFeatureTemporaryShapes) != 0),
        item(kMenuInputDisplay, (in.features & kFeatureInputDisplay) != 0),
        standard_separator,
        shape(kMenuArrow, kArrowShortcut),
        shape(kMenuRectangle, kRectangleShortcut),
        shape(kMenuEllipse, kEllipseShortcut),
        standard_separator,
        TrayMenuItem{kMenuShapeDuration, TrayMenuItemKind::Submenu, tray_menu_item_text(kMenuShapeDuration)},
        item(kMenuLiveCapture, in.live_capture),
        item(kMenuStartWithWindows, in.run_value_exists),
        owner_separator,
        item(kMenuQuit),
    };
    model.duration_items = {
        item(kMenuDuration1s, in.shape_duration_ms == 1000),
        item(kMenuDuration3s, in.shape_duration_ms == 3000),
        item(kMenuDuration5s, in.shape_duration_ms == 5000),
    };
    return model;
}

std::string menu_accelerator_text(std::string_view name, bool hook_priority) {
    std::string out;
    out.reserve(name.size() + 9);
    constexpr std::string_view kSpacedPlus = " + ";
    for (std::size_t i = 0; i < name.size();) {
        if (name.substr(i, kSpacedPlus.size()) == kSpacedPlus) {
            out += '+';
            i += kSpacedPlus.size();
        } else {
            out += name[i++];
        }
    }
    if (hook_priority) out += " (in use)";
    return out;
}

TrayCommand tray_command(std::uint32_t id, bool editor_running) {
    TrayCommand command;
    switch (id) {
        case kMenuTakeScreenshot: command.action = TrayAction::StartCapture; return command;
        case kMenuCaptureShortcut:
            command.action = TrayAction::OpenPanel;
            command.page = PanelPage::Capture;
            return command;
        case kMenuQuit: command.action = TrayAction::Quit; return command;
        case kMenuStartWithWindows: command.action = TrayAction::ToggleStartWithWindows; return command;
        case kMenuLiveCapture: command.action = TrayAction::ToggleLiveCapture; return command;
        case kMenuPointerHalo:
        case kMenuTemporaryShapes:
        case kMenuInputDisplay:
            command.action = TrayAction::ToggleFeature;
            command.feature = id == kMenuPointerHalo      ? kFeaturePointerHalo
                              : id == kMenuTemporaryShapes ? kFeatureTemporaryShapes
                                                           : kFeatureInputDisplay;
            break;
        case kMenuArrow:
        case kMenuRectangle:
        case kMenuEllipse:
            command.action = TrayAction::OpenPanel;
            command.page = id == kMenuArrow ? PanelPage::Arrow : id == kMenuRectangle ? PanelPage::Rectangle
                                                                                      : PanelPage::Ellipse;
            break;
        case kMenuDuration1s:
        case kMenuDuration3s:
        case kMenuDuration5s:
            command.action = TrayAction::SetShapeDuration;
            command.duration_ms = id == kMenuDuration1s ? 1000 : id == kMenuDuration3s ? 3000 : 5000;
            break;
        default: return command;
    }
    // Only the presentation commands (101 to 123) reach this point.
    if (editor_running) return TrayCommand{TrayAction::RefuseWhileEditing};
    return command;
}

MenuItemSize tray_menu_item_size(std::uint32_t id, std::uint32_t dpi) {
    int width = 280;
    if (id >= kMenuDuration1s && id <= kMenuDuration5s) {
        width = 156;
    } else if (id >= kMenuPointerHalo && id <= kMenuShapeDuration) {
        width = 360;
    }
    const int height = id == kMenuSeparator ? 8 : 28;
    return MenuItemSize{scale_for_dpi(width, dpi), scale_for_dpi(height, dpi)};
}

std::u16string fit_text_field(std::u16string_view text, std::size_t capacity) {
    if (capacity == 0) return {};
    std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    // A high surrogate left without its partner would be an invalid character.
    if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    return std::u16string(text.substr(0, n));
}

}  // namespace kadrovix
