// Who has the keyboard while a session is open. The session window has it
// unless a part that types is open: the dimension editor's fields or the text
// entry's control. The colour picker and the eyedropper take their keys
// (Enter, Esc) through the session window, so while either is up the keys
// stay there, whatever else is open.
#pragma once

#include <cstdint>

#include "session/parts.h"
#include "session/session_state.h"

namespace kadrovix {

enum class KeyboardOwner : std::uint8_t { SessionWindow, TextEntry, DimensionEditor };

// After a command, or once the picker or the eyedropper is gone: the open
// text entry, else the session window. `parts` describes the pointer.
KeyboardOwner focus_after_command(const SessionState& s, const PartsView& parts);

// When the session window is activated again: the open dimension editor
// first, then as after a command.
KeyboardOwner focus_on_activation(const SessionState& s, const PartsView& parts);

// The open text entry's own keys, taken before its control would type them.
enum class TextEntryKey : std::uint8_t { None, Discard, Commit };

// Esc discards the entry and Ctrl+Enter commits it, while the entry has the
// keyboard; every other key goes on to the control.
TextEntryKey text_entry_own_key(const SessionState& s, const PartsView& parts, std::uint32_t vk, bool ctrl);

}  // namespace kadrovix
