// The session window's input: keys, the mouse and the wheel, handed to the
// platform-free input rules with what lies under the pointer.
#include "session/capture_session_win32.h"

#include <dwmapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/runtime/text_win32.h"
#include "base/error_win32.h"
#include "render/d2d_helpers_win32.h"
#include "render/screen_grab_win32.h"
#include "render/settled_grab.h"
#include "session/execute.h"
#include "session/input.h"
#include "session/io/clipboard_win32.h"
#include "session/io/image_search_win32.h"
#include "session/io/save_capture_win32.h"
#include "session/keyboard_focus.h"
#include "session/move_history.h"
#include "session/overlay.h"
#include "session/picture_source.h"
#include "session/region.h"
#include "settings/settings_storage_win32.h"
#include "toolbar/toolbar_win32.h"

namespace kadrovix {

using Microsoft::WRL::ComPtr;

// --- input -------------------------------------------------------------------

Result<SessionRequest> CaptureSession::key_down(SessionHost& host, UINT vk) {
    const KeyEvent key{vk, key_down_now(VK_CONTROL), key_down_now(VK_SHIFT), key_down_now(VK_MENU)};
    const KeyAction action = on_key_down(state_, parts_at(state_.pointer), key);
    SessionRequest request = SessionRequest::None;
    switch (action.kind) {
        case KeyActionKind::Nothing:
            break;
        case KeyActionKind::ApplyPicker: {
            auto r = apply_picker(host);
            if (!r) return r;
            request = *r;
            break;
        }
        case KeyActionKind::CancelChain: {
            const CancelStep step = run_cancel_chain(state_, parts_at(state_.pointer));
            if (step == CancelStep::StopTextSelection && text_entry_) text_entry_->end_selection();
            if (step == CancelStep::ClosePicker) picker_.close();
            if (step == CancelStep::Nothing && action.end_session_if_nothing_cancelled) request = SessionRequest::End;
            // The picker or the eyedropper gone: the keys go back to what is open.
            if (step == CancelStep::ClosePicker || step == CancelStep::EyedropperOff) {
                restore_focus();
            } else if (action.restore_focus) {
                ::SetFocus(window_);
            }
            break;
        }
        case KeyActionKind::ToggleToolbar:
            state_.toolbar_visible = !state_.toolbar_visible;
            break;
        case KeyActionKind::CopyObjects: {
            auto copied = win32::copy_objects(state_.editor, object_clipboard_, window_);
            if (!copied) return propagate(copied);
            if (!*copied) {
                auto r = execute(host, command_value(CommandKind::CopyImage));
                if (!r) return r;
                request = *r;
            }
            break;
        }
        case KeyActionKind::Paste:
            win32::paste_objects(state_.editor, object_clipboard_);
            break;
        case KeyActionKind::Execute: {
            auto r = execute(host, action.command);
            if (!r) return r;
            request = *r;
            break;
        }
        case KeyActionKind::Nudge:
            state_.editor.nudge_selection(action.dx, action.dy);
            break;
        case KeyActionKind::Delete:
            state_.editor.delete_selection();
            break;
    }
    invalidate();
    return request;
}

void CaptureSession::key_up(UINT vk) {
    on_key_up(state_, KeyEvent{vk, key_down_now(VK_CONTROL), key_down_now(VK_SHIFT), key_down_now(VK_MENU)});
    invalidate();
}

Result<SessionRequest> CaptureSession::mouse_down(SessionHost& host, POINT client) {
    last_move_ = MovePoint{client.x + state_.desktop.x, client.y + state_.desktop.y,
                           static_cast<std::uint32_t>(::GetMessageTime())};
    RETURN_IF_ERROR(regrab_for_eyedropper());
    const Point raw = client_point(client);
    // --- dimension editor: it takes every press while it is open ---
    if (dimension_editor_) {
        auto taken = dimension_editor_press(raw);
        if (!taken) return propagate(taken);
        if (*taken) {
            invalidate();
            return SessionRequest::None;
        }
    }
    const PressDecision decision = on_press(state_, parts_at(clamp_to_desktop(raw, state_.desktop)), raw);
    hover_.clear_hover(now_ms());
    // A press that leaves the text entry commits it first; when the commit
    // fails the entry stays open with its text and the press goes no further.
    if (decision.commit_text_entry_first && !commit_text_entry()) {
        invalidate();
        return SessionRequest::None;
    }
    auto request = carry_out_press_target(host, decision);
    invalidate();
    return request;
}

void CaptureSession::capture_mouse() {
    ::SetCapture(window_);
    mouse_captured_ = true;
}

Result<SessionRequest> CaptureSession::carry_out_press_target(SessionHost& host, const PressDecision& decision) {
    switch (decision.target) {
        case PressTarget::TextCaret:
            if (text_entry_) {
                RETURN_IF_ERROR(
                    text_entry_->caret_press(context_.dwrite_factory.Get(), state_.pointer, key_down_now(VK_SHIFT)));
                capture_mouse();
            }
            return SessionRequest::None;
        case PressTarget::OpenTextEntry:
            RETURN_IF_ERROR(open_text_entry(state_.pointer));
            return SessionRequest::None;
        case PressTarget::OpenDimensionEditor:  // --- dimension editor ---
            RETURN_IF_ERROR(open_dimension_editor());
            return SessionRequest::None;
        case PressTarget::ToolbarButton:
            return execute(host, decision.command);
        case PressTarget::ColourPicker:
            if (picker_.press(state_.pointer) != PickerPress::Inside) return apply_picker(host);
            capture_mouse();
            return SessionRequest::None;
        case PressTarget::Eyedropper:
            if (eyedropper_picture(state_, excluded_from_capture_) == EyedropperPicture::GrabAtRelease) {
                // The release must come back here to make the pick, wherever
                // the system thinks the pointer is then.
                pending_pick_ = state_.pointer;
                capture_mouse();
                return SessionRequest::None;
            }
            return pick_colour(host, state_.pointer);
        case PressTarget::RotationKnob:
        case PressTarget::NewRegion:
        case PressTarget::RegionHandle:
        case PressTarget::SelectGesture:
        case PressTarget::DrawGesture:
            if (carry_out_press(state_, decision, key_down_now(VK_SHIFT), key_down_now(VK_MENU))) capture_mouse();
            return SessionRequest::None;
        default:
            // The panel background takes the press and does nothing.
            return SessionRequest::None;
    }
}

// A freehand stroke takes every position the pointer passed since the last
// move it saw, so that its shape does not depend on how fast the overlay
// repaints. Without a history (or when it no longer reaches back) the move is
// taken as it comes.
void CaptureSession::replay_missed_moves(POINT client) {
    const MovePoint now{client.x + state_.desktop.x, client.y + state_.desktop.y,
                        static_cast<std::uint32_t>(::GetMessageTime())};
    const std::optional<MovePoint> since = std::exchange(last_move_, now);
    const Tool tool = state_.editor.tool;
    if (!since || !state_.editor.gesture || (tool != Tool::Pen && tool != Tool::Highlighter)) return;
    MOUSEMOVEPOINT in{};
    in.x = now.x & 0xFFFF;
    in.y = now.y & 0xFFFF;
    in.time = now.time;
    MOUSEMOVEPOINT history[64];
    const int count = ::GetMouseMovePointsEx(sizeof in, &in, history, 64, GMMP_USE_DISPLAY_POINTS);
    if (count <= 0) return;
    std::vector<MovePoint> points;
    points.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        points.push_back(MovePoint{unwrap_history_coordinate(history[i].x), unwrap_history_coordinate(history[i].y),
                                   static_cast<std::uint32_t>(history[i].time)});
    }
    const bool shift = key_down_now(VK_SHIFT), alt = key_down_now(VK_MENU);
    for (const MovePoint& p : missed_moves(points, *since, now)) {
        const Point raw{static_cast<double>(p.x - state_.desktop.x), static_cast<double>(p.y - state_.desktop.y)};
        on_move(state_, parts_at(clamp_to_desktop(raw, state_.desktop)), raw, shift, alt);
    }
}

Result<void> CaptureSession::mouse_move(POINT client) {
    if (auto r = regrab_for_eyedropper(); !r) return r;
    replay_missed_moves(client);
    const Point raw = client_point(client);
    const PointerRoute route = on_move(state_, parts_at(clamp_to_desktop(raw, state_.desktop)), raw,
                                       key_down_now(VK_SHIFT), key_down_now(VK_MENU));
    if (route == PointerRoute::DimensionSelection && dimension_editor_) {  // --- dimension editor ---
        if (auto r = dimension_editor_->extend_selection(context_.dwrite_factory.Get(), state_.pointer); !r) return r;
    }
    if (route == PointerRoute::TextSelection && text_entry_) {
        if (auto r = text_entry_->extend_selection(context_.dwrite_factory.Get(), state_.pointer); !r) return r;
    }
    if (route == PointerRoute::PickerDrag) picker_.move(state_.pointer);
    hover_.update_hover(toolbar_layout(), now_ms(), state_.pointer);
    if (!tracking_leave_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
        tracking_leave_ = ::TrackMouseEvent(&track) != FALSE;
    }
    invalidate();
    return {};
}

Result<SessionRequest> CaptureSession::mouse_up(SessionHost& host, POINT client) {
    const Point raw = client_point(client);
    const PartsView parts = parts_at(clamp_to_desktop(raw, state_.desktop));
    const PointerRoute route = on_move(state_, parts, raw, key_down_now(VK_SHIFT), key_down_now(VK_MENU));
    if (route == PointerRoute::DimensionSelection && dimension_editor_) {  // --- dimension editor ---
        RETURN_IF_ERROR(dimension_editor_->extend_selection(context_.dwrite_factory.Get(), state_.pointer));
        dimension_editor_->end_selection();
    }
    if (route == PointerRoute::TextSelection && text_entry_) {
        RETURN_IF_ERROR(text_entry_->extend_selection(context_.dwrite_factory.Get(), state_.pointer));
    }
    if (route == PointerRoute::PickerDrag) picker_.move(state_.pointer);
    const PointerRoute released = on_release(state_, parts);
    if (released == PointerRoute::TextSelection && text_entry_) text_entry_->end_selection();
    if (released == PointerRoute::PickerDrag) picker_.release();
    if (mouse_captured_) {
        mouse_captured_ = false;
        ::ReleaseCapture();
    }
    invalidate();
    if (const std::optional<Point> at = std::exchange(pending_pick_, std::nullopt)) {
        // A grab that fails leaves the pick to the picture already held.
        if (auto grab = grab_desktop_now(); grab && validate_image(*grab)) capture_ = std::move(*grab);
        return pick_colour(host, *at);
    }
    return SessionRequest::None;
}

Result<void> CaptureSession::wheel(int delta) {
    const WheelAction action = decide_wheel(state_, parts_at(state_.pointer), delta);
    switch (action.kind) {
        case WheelActionKind::Ignored:
            break;
        case WheelActionKind::TextEntrySize:
            if (text_entry_) {
                if (auto r = text_entry_->change_size(action.step); !r) return r;
            }
            break;
        case WheelActionKind::TextObjects: {
            std::vector<TextLayoutUpdate> updates;
            for (const TextResize& resize : action.texts) {
                const Annotation* object = nullptr;
                for (const Annotation& a : state_.editor.objects) {
                    if (a.id == resize.id) {
                        object = &a;
                        break;
                    }
                }
                const auto* text = object ? object->as<shape::Text>() : nullptr;
                if (text == nullptr) continue;
                auto size = win32::measure_text(context_.dwrite_factory.Get(), text->text, resize.font_size);
                if (!size) return propagate(size);
                updates.push_back(TextLayoutUpdate{resize.id, resize.font_size, size->width, size->height});
            }
            state_.editor.update_text_layout(updates);
            break;
        }
        case WheelActionKind::Execute: {
            auto outcome = execute_command(state_, parts_at(state_.pointer), action.command);
            if (!outcome) return propagate(outcome);
            break;
        }
    }
    invalidate();
    return {};
}

HCURSOR CaptureSession::cursor(POINT client) const {
    const Point p = clamp_to_desktop(client_point(client), state_.desktop);
    const wchar_t* id = IDC_ARROW;
    switch (choose_cursor(state_, parts_at(p), p)) {
        case CursorShape::Arrow:
            id = IDC_ARROW;
            break;
        case CursorShape::IBeam:
            id = IDC_IBEAM;
            break;
        case CursorShape::Cross:
            id = IDC_CROSS;
            break;
        case CursorShape::Hand:
            id = IDC_HAND;
            break;
        case CursorShape::Move:
            id = IDC_SIZEALL;
            break;
        case CursorShape::SizeNWSE:
            id = IDC_SIZENWSE;
            break;
        case CursorShape::SizeNESW:
            id = IDC_SIZENESW;
            break;
        case CursorShape::SizeNS:
            id = IDC_SIZENS;
            break;
        case CursorShape::SizeWE:
            id = IDC_SIZEWE;
            break;
    }
    return ::LoadCursorW(nullptr, id);
}

void CaptureSession::capture_changed(HWND new_owner) {
    // Our own ReleaseCapture after a drag must not cancel anything.
    if (new_owner == window_ || !mouse_captured_) return;
    mouse_captured_ = false;
    pending_pick_.reset();  // its release will not come here
    // --- dimension editor: a selection without the mouse's button ends ---
    if (dimension_editor_) dimension_editor_->end_selection();
    const CancelStep step = run_cancel_chain(state_, parts_at(state_.pointer));
    if (step == CancelStep::StopTextSelection && text_entry_) text_entry_->end_selection();
    if (step == CancelStep::ClosePicker) picker_.close();
    invalidate();
}

void CaptureSession::mouse_leave() {
    tracking_leave_ = false;
    hover_.clear_hover(now_ms());
    invalidate();
}

void CaptureSession::activated() {
    // --- dimension editor: the width field, unless a field has the keyboard ---
    if (focus_on_activation(state_, parts_at(state_.pointer)) == KeyboardOwner::DimensionEditor && dimension_editor_) {
        dimension_editor_->take_focus();
        return;
    }
    restore_focus();
}

std::optional<std::uint32_t> CaptureSession::refresh_delay() const {
    return hover_.next_refresh_delay(now_ms());
}

}  // namespace kadrovix
