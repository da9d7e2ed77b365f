#include "session/input.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "editor/gestures/gesture.h"
#include "paths/geometry.h"
#include "session/overlay.h"
#include "session/region.h"

namespace kadrovix {

namespace {

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// The rotation knob, the ends of a selected arrow and the corners of the
// selection take a press closer than this; the same rule the annotation
// gestures use, so the cursor promises what the press does.
bool within_handle(Point p, Point handle) { return distance(p, handle) < gestures::kHandleRadius; }

KeyAction action(KeyActionKind kind) {
    KeyAction a;
    a.kind = kind;
    return a;
}

KeyAction execute(CommandValue command) {
    KeyAction a = action(KeyActionKind::Execute);
    a.command = command;
    return a;
}

KeyAction cancel_chain(bool end_session_if_nothing_cancelled, bool restore_focus) {
    KeyAction a = action(KeyActionKind::CancelChain);
    a.end_session_if_nothing_cancelled = end_session_if_nothing_cancelled;
    a.restore_focus = restore_focus;
    return a;
}

// The arrow keys move the selection 1 px, 10 with Shift; Delete removes it.
KeyAction selection_key(const SessionState& s, const KeyEvent& key) {
    if (s.editor.selection.empty()) {
        return {};
    }
    const double step = key.shift ? 10.0 : 1.0;
    KeyAction a = action(KeyActionKind::Nudge);
    switch (key.vk) {
        case vk::kLeft:
            a.dx = -step;
            return a;
        case vk::kRight:
            a.dx = step;
            return a;
        case vk::kUp:
            a.dy = -step;
            return a;
        case vk::kDown:
            a.dy = step;
            return a;
        case vk::kDelete:
            return action(KeyActionKind::Delete);
        default:
            return {};
    }
}

// Toolbar commands that leave an open text entry open: they style the text
// being typed (or will, once a colour is picked).
bool keeps_text_entry_open(CommandValue command) {
    const std::optional<CommandKind> kind = command_kind(command);
    return kind == CommandKind::SetColour || kind == CommandKind::CustomColour || kind == CommandKind::Eyedropper;
}

// The canvas, once no other part has taken the press.
PressTarget canvas_target(const SessionState& s, int& handle) {
    const Point p = s.pointer;
    const Tool tool = s.editor.tool;
    if (tool == Tool::Select) {
        const std::optional<Point> knob = rotation_knob(s.editor, s.desktop);
        if (knob && within_handle(p, *knob)) {
            return PressTarget::RotationKnob;
        }
    }
    if (s.region_selection) {
        return PressTarget::NewRegion;
    }
    if (const std::optional<int> h = hit_handle(s.region, p)) {
        handle = *h;
        return PressTarget::RegionHandle;
    }
    if (tool == Tool::Select) {
        return PressTarget::SelectGesture;
    }
    if (region_contains(s.region, p)) {
        return tool == Tool::Text ? PressTarget::OpenTextEntry : PressTarget::DrawGesture;
    }
    return PressTarget::Nothing;
}

// The Select tool's cursor, in the order its press tries things.
CursorShape select_tool_cursor(const SessionState& s, Point p) {
    const Editor& e = s.editor;
    const std::optional<Rect> bounds = e.selection_bounds();
    if (bounds && within_handle(p, knob_for_bounds(*bounds, s.desktop))) {
        return CursorShape::Hand;
    }
    if (e.selection.size() == 1) {
        const Annotation* only = paths::find_by_id(e.objects, e.selection.front());
        if (only != nullptr) {
            if (const auto ends = paths::arrow_ends(*only, e.objects)) {
                if (within_handle(p, ends->start) || within_handle(p, ends->end)) {
                    return CursorShape::Move;
                }
            }
        }
    }
    if (bounds) {
        const Rect& b = *bounds;
        if (within_handle(p, b.min) || within_handle(p, b.max)) {
            return CursorShape::SizeNWSE;
        }
        if (within_handle(p, {b.max.x, b.min.y}) || within_handle(p, {b.min.x, b.max.y})) {
            return CursorShape::SizeNESW;
        }
    }
    const bool over_object = std::any_of(e.objects.rbegin(), e.objects.rend(), [&](const Annotation& a) {
        return paths::hit_test(a, p, paths::kSelectTolerance, e.objects);
    });
    return over_object ? CursorShape::Move : CursorShape::Arrow;
}

}  // namespace

// --- keyboard ---

KeyAction on_key_down(SessionState& s, const PartsView& parts, const KeyEvent& key) {
    if (parts.dimension_editor_open) {
        return {};
    }
    s.editor.modifiers_changed(key.shift, key.alt);

    if (parts.picker_open) {
        if (key.vk == vk::kReturn) {
            return action(KeyActionKind::ApplyPicker);
        }
        return key.vk == vk::kEscape ? cancel_chain(false, false) : KeyAction{};
    }
    if (s.eyedropper_on) {
        return key.vk == vk::kEscape ? cancel_chain(false, true) : KeyAction{};
    }
    if (parts.text_entry_open) {
        return {};  // the entry's edit control has the key
    }

    if (key.vk == vk::kEscape) {
        return cancel_chain(true, false);
    }
    if (key.vk == vk::kTab) {
        return action(KeyActionKind::ToggleToolbar);
    }
    const bool ctrl_only = key.ctrl && !key.shift && !key.alt;
    if (ctrl_only && key.vk == 'C') {
        // Copying with nothing selected means the picture.
        return s.editor.selection.empty() ? execute(command_value(CommandKind::CopyImage))
                                          : action(KeyActionKind::CopyObjects);
    }
    if (ctrl_only && key.vk == 'V') {
        return action(KeyActionKind::Paste);
    }
    if (const std::optional<CommandValue> command = lookup_key(key.vk, key.ctrl, key.shift, key.alt)) {
        return execute(*command);
    }
    if (key.ctrl) {
        return {};
    }
    return selection_key(s, key);
}

void on_key_up(SessionState& s, const KeyEvent& key) { s.editor.modifiers_changed(key.shift, key.alt); }

// --- cancel chain ---

CancelStep run_cancel_chain(SessionState& s, const PartsView& parts) {
    if (parts.text_entry_open && parts.text_selecting) {
        return CancelStep::StopTextSelection;
    }
    if (parts.picker_open) {
        return CancelStep::ClosePicker;
    }
    if (s.eyedropper_on) {
        s.eyedropper_on = false;
        return CancelStep::EyedropperOff;
    }
    if (cancel_region_drag(s)) {
        return CancelStep::RegionDrag;
    }
    if (s.region_selection && s.region.exists) {
        s.region_selection = false;
        return CancelStep::RegionSelection;
    }
    if (s.editor.gesture) {
        s.editor.cancel_gesture();
        return CancelStep::Gesture;
    }
    return CancelStep::Nothing;
}

// --- mouse ---

PressDecision on_press(SessionState& s, const PartsView& parts, Point raw) {
    s.pointer = clamp_to_desktop(raw, s.desktop);
    s.width_indicator_visible = false;
    return decide_press(s, parts);
}

PressDecision decide_press(const SessionState& s, const PartsView& parts) {
    PressDecision d;
    if (parts.dimension_editor_open) {
        d.target = PressTarget::DimensionEditor;
    } else if (parts.picker_open) {
        d.target = PressTarget::ColourPicker;
    } else if (s.eyedropper_on) {
        d.target = PressTarget::Eyedropper;
    } else if (!s.region_selection && parts.toolbar_button) {
        d.target = PressTarget::ToolbarButton;
        d.command = *parts.toolbar_button;
        d.commit_text_entry_first = parts.text_entry_open && !keeps_text_entry_open(d.command);
    } else if (parts.over_toolbar) {
        d.target = PressTarget::ToolbarPanel;
    } else if (!s.region_selection && s.region.exists && parts.on_dimension_label) {
        d.target = PressTarget::OpenDimensionEditor;
    } else if (parts.text_entry_open && parts.in_text_field) {
        d.target = PressTarget::TextCaret;
    } else {
        // Committing the entry cannot change the outcome below: an entry is
        // only open with the Text tool, and committing leaves the region alone.
        d.commit_text_entry_first = parts.text_entry_open;
        d.target = canvas_target(s, d.handle);
    }
    return d;
}

bool carry_out_press(SessionState& s, const PressDecision& d, bool shift, bool alt) {
    switch (d.target) {
        case PressTarget::RotationKnob:
            s.editor.begin_rotate(s.pointer);
            return true;
        case PressTarget::NewRegion:
            begin_new_region(s);
            return true;
        case PressTarget::RegionHandle:
            begin_handle_drag(s, d.handle);
            return true;
        case PressTarget::SelectGesture:
        case PressTarget::DrawGesture:
            s.editor.press(s.pointer, shift, alt);
            return true;
        default:
            return false;
    }
}

PointerRoute on_move(SessionState& s, const PartsView& parts, Point raw, bool shift, bool alt) {
    s.pointer = clamp_to_desktop(raw, s.desktop);
    if (parts.dimension_selecting) {
        return PointerRoute::DimensionSelection;
    }
    if (parts.picker_dragging) {
        return PointerRoute::PickerDrag;
    }
    if (parts.text_selecting) {
        return PointerRoute::TextSelection;
    }
    if (s.region_drag.active) {
        drag_region(s);
        return PointerRoute::RegionDrag;
    }
    if (s.editor.gesture) {
        s.editor.gesture->shift = shift;
        s.editor.gesture->alt = alt;
        s.editor.drag(s.pointer);
        return PointerRoute::Gesture;
    }
    return PointerRoute::None;
}

PointerRoute on_release(SessionState& s, const PartsView& parts) {
    if (parts.dimension_selecting) {
        return PointerRoute::DimensionSelection;
    }
    if (parts.text_selecting) {
        return PointerRoute::TextSelection;
    }
    if (parts.picker_dragging) {
        return PointerRoute::PickerDrag;
    }
    if (s.region_drag.active) {
        end_region_drag(s);
        return PointerRoute::RegionDrag;
    }
    if (s.editor.gesture) {
        s.editor.release();
        return PointerRoute::Gesture;
    }
    return PointerRoute::None;
}

// --- wheel ---

double stepped_text_size(double size, double step) { return std::clamp(size + step, kMinFontSize, kMaxFontSize); }

WheelAction decide_wheel(const SessionState& s, const PartsView& parts, int delta) {
    WheelAction w;
    if (parts.picker_open || parts.dimension_editor_open || s.eyedropper_on) {
        return w;
    }
    w.step = delta > 0 ? 2.0 : -2.0;
    if (parts.text_entry_open) {
        w.kind = WheelActionKind::TextEntrySize;
        return w;
    }
    const std::unordered_set<std::uint64_t> selected(s.editor.selection.begin(), s.editor.selection.end());
    for (const Annotation& a : s.editor.objects) {
        const auto* text = a.as<shape::Text>();
        if (text != nullptr && selected.count(a.id) != 0) {
            w.texts.push_back(TextResize{a.id, stepped_text_size(text->font_size, w.step)});
        }
    }
    if (!w.texts.empty()) {
        w.kind = WheelActionKind::TextObjects;
        return w;
    }
    w.kind = WheelActionKind::Execute;
    w.command = command_value(delta > 0 ? CommandKind::Thicker : CommandKind::Thinner);
    return w;
}

// --- cursor ---

CursorShape region_handle_cursor(int handle) {
    switch (handle) {
        case 0:
        case 4:
            return CursorShape::SizeNWSE;
        case 2:
        case 6:
            return CursorShape::SizeNESW;
        case 1:
        case 5:
            return CursorShape::SizeNS;
        default:
            return CursorShape::SizeWE;
    }
}

CursorShape choose_cursor(const SessionState& s, const PartsView& parts, Point p) {
    if (!s.region_selection && parts.on_dimension_label) {
        return CursorShape::IBeam;
    }
    if (parts.picker_open || parts.over_toolbar) {
        return CursorShape::Arrow;
    }
    if (s.eyedropper_on) {
        return CursorShape::Cross;
    }
    // The knob before the region's handles, in the order a press tries them.
    if (s.editor.tool == Tool::Select) {
        const std::optional<Point> knob = rotation_knob(s.editor, s.desktop);
        if (knob && within_handle(p, *knob)) return CursorShape::Hand;
    }
    if (const std::optional<int> h = hit_handle(s.region, p)) {
        return region_handle_cursor(*h);
    }
    switch (s.editor.tool) {
        case Tool::Select:
            return select_tool_cursor(s, p);
        case Tool::Text:
            return CursorShape::IBeam;
        default:
            return CursorShape::Cross;
    }
}

}  // namespace kadrovix
