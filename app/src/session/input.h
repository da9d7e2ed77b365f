// The editor window's input rules: keys, the Esc cancel chain, the mouse
// (press, move, release), the wheel and the cursor shape.
//
// Each handler does the session's own part of the work on SessionState and
// returns what is left for the window: a platform call (mouse capture, focus,
// clipboard) or a hand-over to another part (toolbar command, text entry,
// dimension editor, colour picker). `parts` tells a handler what those parts
// report for this event (parts.h). Only the left mouse button reaches these
// handlers; the right and middle buttons do nothing in the editor.
//
// How the window uses them, in short:
//   key down   -> on_key_down, then carry out the KeyAction (run_cancel_chain,
//                 execute_command, nudge, ...); invalidate
//   key up     -> on_key_up
//   left down  -> on_press; commit the text entry if asked; hand the press to
//                 its target, or carry_out_press for the session's own
//                 targets; capture the mouse when that says so
//   mouse move -> on_move; forward to the part it names
//   left up    -> on_move to the release point, then on_release; release the capture
//   capture lost (taken by someone else) -> run_cancel_chain
//   wheel      -> decide_wheel
//   set cursor -> choose_cursor
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "editor/annotation.h"
#include "session/commands.h"
#include "session/parts.h"
#include "session/session_state.h"

namespace kadrovix {

// --- keyboard ---

struct KeyEvent {
    std::uint32_t vk = 0;  // Win32 virtual-key code
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

enum class KeyActionKind : std::uint8_t {
    Nothing,
    CancelChain,    // run_cancel_chain, then see the flags below
    ApplyPicker,    // Enter while the colour picker is open
    ToggleToolbar,  // s.toolbar_visible = !s.toolbar_visible
    CopyObjects,    // copy_selection into the private clipboard format
    Paste,          // paste the private clipboard format while it is still ours
    Execute,        // execute_command(command)
    Nudge,          // s.editor.nudge_selection(dx, dy)
    Delete,         // s.editor.delete_selection()
};

struct KeyAction {
    KeyActionKind kind = KeyActionKind::Nothing;
    CommandValue command = 0;  // Execute
    double dx = 0.0;           // Nudge
    double dy = 0.0;
    bool end_session_if_nothing_cancelled = false;  // CancelChain: plain Esc while editing
    bool restore_focus = false;                     // CancelChain: Esc with the eyedropper on
};

// Passes Shift and Alt to a gesture in progress (so it reacts at once) and
// decides what the key does. While the dimension editor is open it does
// neither: that editor has the keys.
KeyAction on_key_down(SessionState& s, const PartsView& parts, const KeyEvent& key);

// Passes Shift and Alt to a gesture in progress.
void on_key_up(SessionState& s, const KeyEvent& key);

// --- cancel chain (Esc, and loss of the mouse capture) ---

enum class CancelStep : std::uint8_t {
    StopTextSelection,  // for the text entry to do: stop the mouse selecting text
    ClosePicker,        // for the colour picker to do: close without applying
    EyedropperOff,      // done
    RegionDrag,         // done: the region the drag started from is back
    RegionSelection,    // done: region-selection mode is off
    Gesture,            // done: the gesture's snapshot is back
    Nothing,            // nothing was pending
};

// Runs the first step that applies, in the order above.
CancelStep run_cancel_chain(SessionState& s, const PartsView& parts);

// --- mouse ---

// Who takes a left-button press, in the order they are asked.
enum class PressTarget : std::uint8_t {
    DimensionEditor,      // it is open: it places the caret, or applies on a press outside the label
                          // (after a successful apply, ask decide_press again)
    ColourPicker,         // it is open
    Eyedropper,           // it is on: pick
    ToolbarButton,        // execute `command`
    ToolbarPanel,         // a panel's background: nothing happens
    OpenDimensionEditor,  // a press on the dimension label
    TextCaret,            // a press in the open text entry's field
    RotationKnob,         // carry_out_press
    NewRegion,            // carry_out_press
    RegionHandle,         // carry_out_press
    SelectGesture,        // carry_out_press
    OpenTextEntry,        // Text tool inside the region: open an entry at the pointer
    DrawGesture,          // carry_out_press
    Nothing,
};

struct PressDecision {
    PressTarget target = PressTarget::Nothing;
    // An open text entry is committed before the target gets the press (a
    // toolbar button other than a colour, Custom colour or Eyedropper, or
    // any press that reaches the canvas).
    bool commit_text_entry_first = false;
    CommandValue command = 0;  // ToolbarButton
    int handle = 0;            // RegionHandle
};

// Stores the clamped pointer, hides the stroke-width indicator and decides.
PressDecision on_press(SessionState& s, const PartsView& parts, Point raw);
// The decision alone, at the stored pointer.
PressDecision decide_press(const SessionState& s, const PartsView& parts);
// Starts what the session itself does for a press: the rotation, the region
// drag or the annotation gesture. True when the window should capture the
// mouse. Other targets do nothing here.
bool carry_out_press(SessionState& s, const PressDecision& d, bool shift, bool alt);

// Who follows the pointer while it moves, or ends on release.
enum class PointerRoute : std::uint8_t {
    DimensionSelection,  // for the dimension editor: extend / end its text selection
    PickerDrag,          // for the colour picker: follow / end the drag
    TextSelection,       // for the text entry: extend / end its text selection
    RegionDrag,          // done here
    Gesture,             // done here
    None,
};

// Stores the clamped pointer and moves a region drag or annotation gesture in
// progress, unless a part named by the route owns the drag.
PointerRoute on_move(SessionState& s, const PartsView& parts, Point raw, bool shift, bool alt);
// Ends the drag in progress. Call on_move with the release point first.
PointerRoute on_release(SessionState& s, const PartsView& parts);

// --- wheel ---

enum class WheelActionKind : std::uint8_t {
    Ignored,        // the picker or dimension editor is open, or the eyedropper is on
    TextEntrySize,  // the open text entry's size moves by `step` within 8..300
    TextObjects,    // measure `texts` anew at their sizes and update_text_layout, as one change
    Execute,        // execute_command(command): Thicker or Thinner
};

struct TextResize {
    std::uint64_t id = 0;
    double font_size = 0.0;
};

struct WheelAction {
    WheelActionKind kind = WheelActionKind::Ignored;
    double step = 0.0;         // +2 for a turn away from the user, -2 otherwise
    CommandValue command = 0;  // Execute
    std::vector<TextResize> texts;
};

WheelAction decide_wheel(const SessionState& s, const PartsView& parts, int delta);

// clamp(size + step, 8, 300): the rule for both the text entry and text objects.
double stepped_text_size(double size, double step);

// --- cursor ---

enum class CursorShape : std::uint8_t {
    Arrow,
    IBeam,
    Cross,
    Hand,      // over the rotation knob
    Move,      // four-headed arrow
    SizeNWSE,  // diagonal north-west / south-east
    SizeNESW,  // diagonal north-east / south-west
    SizeNS,    // vertical
    SizeWE,    // horizontal
};

// The cursor for point p (desktop pixels); `parts` describes p.
CursorShape choose_cursor(const SessionState& s, const PartsView& parts, Point p);

// The sizing cursor of region handle 0..7.
CursorShape region_handle_cursor(int handle);

}  // namespace kadrovix
