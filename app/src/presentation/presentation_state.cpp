#include "presentation/presentation_state.h"

namespace kadrovix {

InputNeeds input_needs(std::uint32_t flags) {
    InputNeeds needs;
    needs.turn_off_shortcut = (flags & kAllFeatures) != 0;
    needs.shape_shortcuts = (flags & kFeatureTemporaryShapes) != 0;
    needs.mouse = (flags & (kFeaturePointerHalo | kFeatureInputDisplay)) != 0;
    needs.keyboard = (flags & kFeatureInputDisplay) != 0;
    return needs;
}

bool hook_needed(std::uint32_t flags, const std::array<bool, 3>& priority) {
    if ((flags & kFeatureInputDisplay) != 0) return true;
    if ((flags & kFeatureTemporaryShapes) == 0) return false;
    return priority[0] || priority[1] || priority[2];
}

std::string_view shape_action_name(std::size_t index) {
    switch (index) {
        case 0: return "Arrow";
        case 1: return "Rectangle";
        default: return "Ellipse";
    }
}

std::string turn_off_shortcut_text() { return "Ctrl+Alt+Esc"; }

std::string shape_shortcut_text(std::size_t index, const ShapeShortcut& shortcut) {
    return std::string(shape_action_name(index)) + " (modifiers " + std::to_string(shortcut.modifiers) + ", key " +
           std::to_string(shortcut.key) + ")";
}

std::string shortcut_in_use_message(std::string_view shortcut_text) {
    return "Shortcut " + std::string(shortcut_text) + " is already in use. No additional feature was enabled.";
}

std::string unavailable_shortcut_names(bool turn_off, const std::array<bool, 3>& shapes) {
    std::string names;
    const auto add = [&](std::string_view name) {
        if (!names.empty()) names += ", ";
        names += name;
    };
    if (turn_off) add("Turn everything off");
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i]) add(shape_action_name(i));
    }
    return names;
}

std::string shortcut_unavailable_notice(std::string_view names) {
    return "Shortcut unavailable: " + std::string(names);
}

HookPriorities hook_priorities(const ShapeShortcuts& shortcuts, const std::array<bool, 3>& priority) {
    HookPriorities entries{};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].in_use = priority[i];
        entries[i].modifiers = shortcuts[i].modifiers;
        entries[i].key = shortcuts[i].key;
        entries[i].hotkey_id = kArrowHotkeyId + static_cast<int>(i);
    }
    return entries;
}

HookKeyFilter::Decision HookKeyFilter::key(std::uint32_t vk, bool key_down, std::uint32_t modifiers,
                                           const HookPriorities& priorities) {
    Decision decision;
    if (vk >= swallowed_.size()) return decision;
    if (!key_down) {
        // Only the release of a key whose press went to us is kept back.
        decision.swallow = swallowed_[vk];
        swallowed_[vk] = false;
        return decision;
    }
    // An auto-repeat of a key whose press we took: keep it back, but the
    // shortcut fires once per press, as a no-repeat hot key does.
    if (swallowed_[vk]) {
        decision.swallow = true;
        return decision;
    }
    for (const HookPriority& entry : priorities) {
        if (entry.in_use && entry.key == vk && entry.modifiers == modifiers) {
            swallowed_[vk] = true;
            decision.swallow = true;
            decision.hotkey_id = entry.hotkey_id;
            return decision;
        }
    }
    return decision;
}

void HookKeyFilter::undo(std::uint32_t vk) {
    if (vk < swallowed_.size()) swallowed_[vk] = false;
}

void PresentationState::clear_overlay_state() {
    halo_buttons = HaloButtons{};
    end_drawing(drawing);
    fading_shapes.clear();
    input_slots.clear();
}

Animations animations(const PresentationState& state, std::uint64_t now_ms) {
    Animations a;
    a.halo_ring = state.applied_on(kFeaturePointerHalo) && halo_ring_running(state.halo_buttons, now_ms);
    a.shapes = !state.fading_shapes.empty();
    a.input_display = state.applied_on(kFeatureInputDisplay) && state.input_slots.anything_lit(now_ms);
    return a;
}

}  // namespace kadrovix
