#include "session/dimensions/dimension_routing.h"

#include "session/dimensions/dimension_label.h"

namespace kadrovix::dimensions {

EditorStep press_step(const SessionState& s, const PressDecision& decision, const PartsView& parts) {
    if (decision.target != PressTarget::DimensionEditor) return EditorStep::PassOn;
    const std::optional<Rect> label = label_box(s);
    if (label && label_contains(*label, s.pointer)) return EditorStep::PlaceCaret;
    if (parts.toolbar_button) return command_step(*parts.toolbar_button);
    return EditorStep::Apply;
}

EditorStep command_step(CommandValue command) {
    return command_kind(command) == CommandKind::Close ? EditorStep::Cancel : EditorStep::Apply;
}

}  // namespace kadrovix::dimensions
