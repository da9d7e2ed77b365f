#include "session/commands.h"

namespace kadrovix {

std::optional<CommandValue> lookup_key(std::uint32_t vk, bool ctrl, bool shift, bool alt) {
    if (alt) {
        return std::nullopt;
    }
    // The second spelling of Redo; it has no row because the toolbar shows
    // both spellings on the Ctrl+Y button.
    if (vk == 'Z' && ctrl && shift) {
        return command_value(CommandKind::Redo);
    }
    for (const ShortcutRow& row : kShortcuts) {
        if (row.key == vk && row.ctrl == ctrl && (!row.ctrl || row.shift == shift)) {
            return row.command;
        }
    }
    return std::nullopt;
}

}  // namespace kadrovix
