// What the editor window's other parts report to the input rules.
//
// The toolbar, the dimension label and editor, the text entry and the colour
// picker are modules of their own. The input rules (input.h, execute.h,
// overlay.h) only need a few facts from them to decide who gets a key, a
// press or a cursor; the window fills this struct from those modules for each
// event. A part that is closed, or not built, leaves its fields at the
// defaults, and the rules then pass over it.
#pragma once

#include <optional>

#include "session/commands.h"

namespace kadrovix {

struct PartsView {
    // --- dimension label and editor ---
    bool dimension_editor_open = false;
    bool dimension_selecting = false;  // the mouse is selecting text in one of its fields
    bool on_dimension_label = false;   // the point in question lies on the label

    // --- text entry ---
    bool text_entry_open = false;
    bool text_selecting = false;  // the mouse is selecting text in the entry
    bool in_text_field = false;   // the point in question lies in the open entry's field

    // --- colour picker ---
    bool picker_open = false;
    bool picker_dragging = false;  // a hue or saturation/value drag is running

    // --- toolbar ---
    // The command of the enabled button under the point in question.
    std::optional<CommandValue> toolbar_button;
    // The point lies in a panel's background (its buttons grown by 5 px).
    bool over_toolbar = false;
};

}  // namespace kadrovix
