#include "session/execute.h"

#include <optional>
#include <utility>

namespace kadrovix {

namespace {

bool cancels_gesture(CommandKind k) {
    return k == CommandKind::SelectTool || k == CommandKind::SetColour || k == CommandKind::CustomColour ||
           k == CommandKind::Eyedropper || k == CommandKind::Undo || k == CommandKind::Redo;
}

// Kinds 0, 1 and 3 to 8: every command that changes how the user draws.
bool is_drawing_command(CommandKind k) {
    return k == CommandKind::SelectTool || k == CommandKind::SetColour ||
           (k >= CommandKind::CustomColour && k <= CommandKind::Redo);
}

CommandOutcome follow(FollowUp f) {
    CommandOutcome out;
    out.follow_up = f;
    return out;
}

// The commands that hand over to the window: outputs, live mode, closing.
// Nothing for any other command.
std::optional<Result<CommandOutcome>> output_command(const SessionState& s, CommandKind kind) {
    switch (kind) {
        case CommandKind::Search:
            if (s.search_in_progress) return CommandOutcome{};
            if (!s.region.exists) return invalid_argument(kNoRegionMessage);
            return follow(FollowUp::StartSearch);
        case CommandKind::LiveCapture:
            return follow(FollowUp::ToggleLiveMode);
        case CommandKind::CopyImage:
        case CommandKind::Save:
            if (!s.region.exists) return invalid_argument(kNoRegionMessage);
            return follow(kind == CommandKind::Save ? FollowUp::Save : FollowUp::CopyImage);
        case CommandKind::Close:
            return follow(FollowUp::EndSession);
        default:
            return std::nullopt;
    }
}

// Tools, colours, widths and history: they change the editor in place.
CommandOutcome drawing_command(SessionState& s, const PartsView& parts, CommandKind kind, CommandValue command) {
    CommandOutcome out;
    switch (kind) {
        case CommandKind::SelectTool:
            s.editor.set_tool(*command_tool(command));
            break;
        case CommandKind::SetColour:
            out.colour = command_colour(command);
            if (parts.text_entry_open) {
                // The entry takes the colour; the selected objects keep theirs.
                s.editor.colour = out.colour;
                out.follow_up = FollowUp::GiveColourToTextEntry;
            } else {
                s.editor.set_colour(out.colour);
            }
            break;
        case CommandKind::ColourPicked:
            out.follow_up = FollowUp::CopyColourText;
            out.colour = command_colour(command);
            break;
        case CommandKind::CustomColour:
            out.follow_up = FollowUp::OpenPicker;
            break;
        case CommandKind::Eyedropper:
            s.eyedropper_on = true;
            break;
        case CommandKind::Thinner:
            s.editor.narrow();
            s.width_indicator_visible = true;
            break;
        case CommandKind::Thicker:
            s.editor.widen();
            s.width_indicator_visible = true;
            break;
        case CommandKind::Undo:
            s.editor.undo();
            break;
        case CommandKind::Redo:
            s.editor.redo();
            break;
        default:
            break;
    }
    return out;
}

}  // namespace

Result<CommandOutcome> execute_command(SessionState& s, const PartsView& parts, CommandValue command) {
    const std::optional<CommandKind> kind = command_kind(command);
    if (!kind || (*kind == CommandKind::SelectTool && !command_tool(command))) {
        return CommandOutcome{};
    }
    if (cancels_gesture(*kind)) {
        s.editor.cancel_gesture();
    }
    if (is_drawing_command(*kind)) {
        s.eyedropper_on = false;
    }
    if (auto handed_over = output_command(s, *kind)) return std::move(*handed_over);

    CommandOutcome out = drawing_command(s, parts, *kind, command);
    // The picker (Custom colour opens it) and the eyedropper take the keys
    // while active; other drawing commands give them back.
    if (out.follow_up == FollowUp::OpenPicker || s.eyedropper_on) {
        out.focus = FocusMove::SessionWindow;
    } else if (is_drawing_command(*kind) && !parts.picker_open) {
        out.focus = FocusMove::OpenPart;
    }
    return out;
}

}  // namespace kadrovix
