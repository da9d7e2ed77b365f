#include "app/setup/hotkeys.h"

#include <utility>

namespace kadrovix {

int next_capture_hotkey_id(bool registered, int current_id) {
    return registered && current_id == kCaptureHotkeyFirstId ? kCaptureHotkeySecondId : kCaptureHotkeyFirstId;
}

CaptureCandidateCheck check_capture_candidate(const Settings& settings, bool capture_registered, Shortcut candidate) {
    if (candidate == kTurnEverythingOffShortcut) return CaptureCandidateCheck::UsedByPresentation;
    for (const ShapeShortcut& shape : settings.shape_shortcuts) {
        if (shape.modifiers == candidate.modifiers && shape.key == candidate.key) {
            return CaptureCandidateCheck::UsedByPresentation;
        }
    }
    if (capture_registered && candidate.modifiers == settings.capture_modifiers &&
        candidate.key == settings.capture_key) {
        return CaptureCandidateCheck::Unchanged;
    }
    return CaptureCandidateCheck::Register;
}

Settings with_capture_shortcut(Settings settings, Shortcut candidate) {
    settings.capture_modifiers = candidate.modifiers;
    settings.capture_key = candidate.key;
    return settings;
}

std::string capture_registration_failure_message(std::int32_t code) {
    return "Unable to register this shortcut (" + std::to_string(code) +
           "). It may be reserved or already in use.";
}

std::string shape_failure_message(std::string_view error) {
    return "Shortcut unavailable or invalid: " + std::string(error);
}

std::size_t shape_slot(PanelPage page) {
    switch (page) {
        case PanelPage::Rectangle: return kRectangleShortcut;
        case PanelPage::Ellipse: return kEllipseShortcut;
        default: return kArrowShortcut;
    }
}

Expected<Settings> shape_candidate_settings(const Settings& settings, std::size_t slot, Shortcut candidate) {
    if (slot >= settings.shape_shortcuts.size()) return Unexpected<std::string>{"Invalid shape shortcut"};
    Settings copy = settings;
    copy.shape_shortcuts[slot] = ShapeShortcut{candidate.modifiers, candidate.key};
    if (auto rule = validate_shape_shortcuts(copy.shape_shortcuts); !rule) {
        return Unexpected<std::string>{std::move(rule).error()};
    }
    if (candidate.modifiers == settings.capture_modifiers && candidate.key == settings.capture_key) {
        return Unexpected<std::string>{std::string(kUsedForCaptureMessage)};
    }
    return copy;
}

}  // namespace kadrovix
