#include "session/keyboard_focus.h"

#include "session/commands.h"

namespace kadrovix {

namespace {

bool picker_or_eyedropper_up(const SessionState& s, const PartsView& parts) {
    return parts.picker_open || s.eyedropper_on;
}

}  // namespace

KeyboardOwner focus_after_command(const SessionState& s, const PartsView& parts) {
    if (parts.text_entry_open && !picker_or_eyedropper_up(s, parts)) return KeyboardOwner::TextEntry;
    return KeyboardOwner::SessionWindow;
}

KeyboardOwner focus_on_activation(const SessionState& s, const PartsView& parts) {
    if (parts.dimension_editor_open && !picker_or_eyedropper_up(s, parts)) return KeyboardOwner::DimensionEditor;
    return focus_after_command(s, parts);
}

TextEntryKey text_entry_own_key(const SessionState& s, const PartsView& parts, std::uint32_t vk, bool ctrl) {
    if (focus_after_command(s, parts) != KeyboardOwner::TextEntry) return TextEntryKey::None;
    if (vk == vk::kEscape) return TextEntryKey::Discard;
    if (vk == vk::kReturn && ctrl) return TextEntryKey::Commit;
    return TextEntryKey::None;
}

}  // namespace kadrovix
