// What the open dimension editor does with a press or a command that reaches
// the session meanwhile. Its keys are in dimension_apply.h (editor_key).
#pragma once

#include <cstdint>

#include "session/commands.h"
#include "session/input.h"
#include "session/parts.h"
#include "session/session_state.h"

namespace kadrovix::dimensions {

enum class EditorStep : std::uint8_t {
    PassOn,      // not the editor's: the press goes on as an ordinary press
    PlaceCaret,  // on the label: the caret goes there and the mouse selects
    Cancel,      // the editor closes unapplied; the press or command goes on
    Apply,       // applied first; the press or command goes on only when the region took the size
};

// A press while the editor is open, as on_press decided it; `parts`
// describes the stored pointer. The toolbar's Close cancels instead of
// applying, so that a number the editor refuses never keeps the user from
// leaving.
EditorStep press_step(const SessionState& s, const PressDecision& decision, const PartsView& parts);

// A command while the editor is open: Close cancels it, every other command
// applies it first.
EditorStep command_step(CommandValue command);

}  // namespace kadrovix::dimensions
