// Carrying out one editor command (commands.h), as far as it touches only the
// session's state. What needs the platform -- the clipboard, the picker
// window, rendering, the save dialog, the upload -- comes back as a FollowUp
// for the window to do.
#pragma once

#include "base/error.h"
#include "editor/annotation.h"
#include "session/commands.h"
#include "session/parts.h"
#include "session/session_state.h"

namespace kadrovix {

inline constexpr char kNoRegionMessage[] = "Select a capture region first";

enum class FollowUp : std::uint8_t {
    None,
    GiveColourToTextEntry,  // SetColour while a text entry is open: the entry takes `colour`
    CopyColourText,         // put "#RRGGBB" of `colour` on the clipboard as text
    OpenPicker,
    ToggleLiveMode,
    StartSearch,  // render the region, set search_in_progress, start the upload, send notice 3
    CopyImage,    // render the region, put it on the clipboard, send notice 1, end the session
    Save,         // render the region, run the save dialog; end the session when a file was written
    EndSession,
};

// Where the keyboard goes after a command.
enum class FocusMove : std::uint8_t {
    Stay,
    // The colour picker opened or the eyedropper turned on: their keys
    // (Enter, Esc) must reach the session, not an open text or field.
    SessionWindow,
    // Back to the open dimension field or text entry if there is one, else
    // to the session window.
    OpenPart,
};

struct CommandOutcome {
    FollowUp follow_up = FollowUp::None;
    Rgb colour;  // for GiveColourToTextEntry and CopyColourText
    FocusMove focus = FocusMove::Stay;
};

// Before calling: when the dimension editor is open, apply it (for Close,
// cancel it instead) and drop the command when the apply fails.
//
// Select tool, Set colour, Custom colour, Eyedropper, Undo and Redo first
// cancel an annotation gesture; kinds 0, 1 and 3 to 8 turn the eyedropper off
// (Eyedropper then turns it on). Search, Copy image and Save need a region and
// fail with kNoRegionMessage without one; Search does nothing while a search
// runs. A value that names no command, or no tool, does nothing.
Result<CommandOutcome> execute_command(SessionState& s, const PartsView& parts, CommandValue command);

}  // namespace kadrovix
