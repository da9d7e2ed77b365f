// The session's sub-editors: the dimension editor, the text entry, and the
// colour picker with the eyedropper, opened, routed to and closed.
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
#include "session/dimensions/dimension_routing.h"
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

// --- dimension editor ------------------------------------------------------------

Result<void> CaptureSession::open_dimension_editor() {
    if (!state_.region.exists) return {};
    // A text entry that cannot be committed stays open, and the editor closed.
    if (!commit_text_entry()) return {};
    state_.editor.cancel_gesture();
    auto editor = win32::DimensionEditor::open(window_, state_);
    if (!editor) return propagate(editor);
    dimension_editor_.emplace(std::move(*editor));
    dimension_editor_->start();
    invalidate();
    return {};
}

bool CaptureSession::apply_dimension_editor() {
    if (!dimension_editor_) return true;
    const dimensions::ApplyOutcome out = dimension_editor_->apply(state_.region, state_.desktop);
    invalidate();
    if (out.kind != dimensions::ApplyOutcome::Kind::Applied) return false;
    state_.region = out.region;
    close_dimension_editor();
    return true;
}

void CaptureSession::close_dimension_editor() {
    if (!dimension_editor_) return;
    if (dimension_editor_->selecting() && mouse_captured_) {
        // Ours to release: the capture-loss handler must not take it for a cancel.
        mouse_captured_ = false;
        if (::GetCapture() == window_) ::ReleaseCapture();
    }
    dimension_editor_.reset();
    ::SetFocus(window_);
    invalidate();
}

Result<bool> CaptureSession::dimension_editor_press(Point raw) {
    const PressDecision decision = on_press(state_, parts_at(clamp_to_desktop(raw, state_.desktop)), raw);
    const dimensions::EditorStep step = dimensions::press_step(state_, decision, parts_at(state_.pointer));
    if (step == dimensions::EditorStep::PassOn) return false;
    hover_.clear_hover(now_ms());
    switch (step) {
        case dimensions::EditorStep::PlaceCaret: {
            const std::optional<Rect> label = dimensions::label_box(state_);
            if (!label) return false;
            RETURN_IF_ERROR(dimension_editor_->caret_press(context_.dwrite_factory.Get(), *label, state_.pointer,
                                                           key_down_now(VK_SHIFT)));
            ::SetCapture(window_);
            mouse_captured_ = true;
            return true;
        }
        case dimensions::EditorStep::Cancel:
            close_dimension_editor();
            return false;
        default:
            return !apply_dimension_editor();
    }
}

bool CaptureSession::dimension_editor_key(UINT vk) {
    if (!dimension_editor_) return false;
    switch (dimensions::editor_key(vk)) {
        case dimensions::EditorKey::None:
            return false;
        case dimensions::EditorKey::Tab:
            dimension_editor_->focus_and_select(dimensions::tab_target(dimension_editor_->focused_field()));
            break;
        case dimensions::EditorKey::Cancel:
            close_dimension_editor();
            break;
        case dimensions::EditorKey::Apply:
            apply_dimension_editor();
            break;
    }
    invalidate();
    return true;
}

// --- text entry ----------------------------------------------------------------

Result<void> CaptureSession::open_text_entry(Point p) {
    const TextEntryStart start = text_entry_start(state_, p);
    auto entry = win32::TextEntry::open(window_, start, state_.desktop);
    if (!entry) return propagate(entry);
    // A second entry replaces the first; its text is dropped.
    close_text_entry();
    text_entry_.emplace(std::move(*entry));
    text_entry_->focus();
    if (start.edited_id) {
        // As a press in the field would: the caret goes where the user clicked.
        RETURN_IF_ERROR(text_entry_->caret_press(context_.dwrite_factory.Get(), p, false));
        ::SetCapture(window_);
        mouse_captured_ = true;
    }
    invalidate();
    return {};
}

bool CaptureSession::commit_text_entry() {
    if (!text_entry_) return true;
    auto result = text_entry_->result(context_.dwrite_factory.Get());
    if (!result) {
        const std::wstring text = win32::to_wide(win32::error_text(result.error()));
        const std::wstring caption = win32::to_wide(win32::kTextLayoutFailedCaption);
        ::MessageBoxW(window_, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
        return false;
    }
    commit_text(state_.editor, *result);
    close_text_entry();
    return true;
}

void CaptureSession::close_text_entry() {
    if (!text_entry_) return;
    if (text_entry_->selecting() && mouse_captured_) {
        // Ours to release: the capture-loss handler must not take it for a cancel.
        mouse_captured_ = false;
        if (::GetCapture() == window_) ::ReleaseCapture();
    }
    text_entry_.reset();
    ::SetFocus(window_);
    invalidate();
}

bool CaptureSession::text_entry_key(UINT vk, bool ctrl) {
    switch (text_entry_own_key(state_, parts_at(state_.pointer), vk, ctrl)) {
        case TextEntryKey::None:
            return false;
        case TextEntryKey::Discard:
            close_text_entry();
            return true;
        case TextEntryKey::Commit:
            commit_text_entry();
            return true;
    }
    return false;
}

void CaptureSession::restore_focus() const {
    if (focus_after_command(state_, parts_at(state_.pointer)) == KeyboardOwner::TextEntry && text_entry_) {
        text_entry_->focus();
    } else {
        ::SetFocus(window_);
    }
}

// --- colour picker and eyedropper ----------------------------------------------

// Enter, or a press outside the panel.
Result<SessionRequest> CaptureSession::apply_picker(SessionHost& host) {
    const Rgb colour = picker_.colour();
    picker_.close();
    return take_colour(host, colour, false);
}

// A press with the eyedropper on (after the live regrab).
Result<SessionRequest> CaptureSession::pick_colour(SessionHost& host, Point at) {
    const std::optional<Rgb> colour = pick_pixel(capture_, at);
    state_.eyedropper_on = false;
    if (!colour) {
        restore_focus();
        return SessionRequest::None;
    }
    return take_colour(host, *colour, true);
}

// The chosen colour becomes the custom colour (stored by the message tail)
// and the current one; a picked colour's code also goes to the clipboard.
Result<SessionRequest> CaptureSession::take_colour(SessionHost& host, Rgb colour, bool copy_code) {
    state_.custom_colour = colour;
    state_.custom_colour_chosen = true;
    auto set = execute(host, set_colour_command(colour));
    if (!set || *set != SessionRequest::None || !copy_code) return set;
    return execute(host, colour_picked_command(colour));
}

// In live mode the eyedropper looks at the screen as it is now; a failed
// grab leaves it on with the picture it had.
Result<void> CaptureSession::regrab_for_eyedropper() {
    if (eyedropper_picture(state_, excluded_from_capture_) != EyedropperPicture::GrabNow) return {};
    auto grab = grab_desktop_now();
    if (!grab) return propagate(grab);
    RETURN_IF_ERROR(validate_image(*grab));
    capture_ = std::move(*grab);
    return {};
}

}  // namespace kadrovix
