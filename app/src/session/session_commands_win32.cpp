// The session's commands and outputs: the toolbar's and the keys' commands
// carried out, the output image copied, saved or searched for.
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
#include "session/move_history.h"
#include "session/overlay.h"
#include "session/picture_source.h"
#include "session/region.h"
#include "session/session_host.h"
#include "settings/settings_storage_win32.h"
#include "toolbar/toolbar_win32.h"

namespace kadrovix {

using Microsoft::WRL::ComPtr;

// --- commands ----------------------------------------------------------------

Result<SessionRequest> CaptureSession::execute(SessionHost& host, CommandValue command) {
    auto r = carry_out(host, command);
    invalidate();
    return r;
}

Result<SessionRequest> CaptureSession::carry_out(SessionHost& host, CommandValue command) {
    // --- dimension editor: applied before any command (Close cancels it);
    // a command whose apply fails is dropped ---
    if (dimension_editor_) {
        if (dimensions::command_step(command) == dimensions::EditorStep::Cancel) {
            close_dimension_editor();
        } else if (!apply_dimension_editor()) {
            return SessionRequest::None;
        }
    }
    auto outcome = execute_command(state_, parts_at(state_.pointer), command);
    if (!outcome) return propagate(outcome);
    switch (outcome->follow_up) {
        case FollowUp::None:
            break;
        case FollowUp::OpenPicker:
            picker_.open(state_.custom_colour, state_.pointer, state_.desktop);
            break;
        case FollowUp::GiveColourToTextEntry:
            if (text_entry_) text_entry_->set_colour(outcome->colour);
            break;
        case FollowUp::CopyColourText:
            RETURN_IF_ERROR(win32::copy_color_text(outcome->colour, window_));
            break;
        case FollowUp::ToggleLiveMode:
            RETURN_IF_ERROR(set_live(!state_.live));
            break;
        case FollowUp::StartSearch:
            RETURN_IF_ERROR(start_search(host));
            break;
        case FollowUp::CopyImage:
            return copy_image(host);
        case FollowUp::Save:
            return save_image(host);
        case FollowUp::EndSession:
            return SessionRequest::End;
    }
    if (outcome->focus == FocusMove::SessionWindow) ::SetFocus(window_);
    if (outcome->focus == FocusMove::OpenPart) restore_focus();
    return SessionRequest::None;
}

Result<BgraImage> CaptureSession::output_image() const {
    win32::CaptureOutputSource source;
    source.capture = &capture_;
    source.objects = state_.editor.objects;
    if (state_.region.exists) {
        source.region = state_.region;
    }
    std::optional<BgraImage> fresh;
    if (output_grabs_desktop(state_)) {
        auto grab = grab_desktop_now();
        if (!grab) return grab;
        fresh = std::move(*grab);
        source.capture = &*fresh;
    }
    auto image = win32::output_image_of_capture(context_, source);
    if (!image) return image;
    RETURN_IF_ERROR(validate_image(*image));
    return image;
}

Result<BgraImage> CaptureSession::grab_desktop_now() const {
    if (excluded_from_capture_) return regrab_(geometry_);
    // The window steps aside: an empty window region takes it off the screen
    // without losing focus, activation or the mouse capture. Without a
    // compositor the windows below repaint themselves a moment later, so the
    // picture is taken once two grabs in a row agree (bounded).
    win32::UniqueRegion empty(::CreateRectRgn(0, 0, 0, 0));
    if (!empty || !::SetWindowRgn(window_, empty.get(), TRUE)) return regrab_(geometry_);
    empty.release();  // the window owns it now
    struct RestoreRegion {
        HWND window;
        ~RestoreRegion() { ::SetWindowRgn(window, nullptr, TRUE); }
    } restore{window_};
    ::DwmFlush();
    ::Sleep(30);
    // Bounded: a whole-desktop grab of three 4K monitors costs tens of
    // milliseconds on this thread, and a desktop that keeps changing never
    // gives two equal ones.
    return settled_grab([&] { return regrab_(geometry_); }, [] { return ::GetTickCount64(); }, [] { ::Sleep(20); },
                        SettleLimits{});
}

Result<SessionRequest> CaptureSession::copy_image(SessionHost& host) {
    auto image = output_image();
    if (!image) return propagate(image);
    RETURN_IF_ERROR(win32::copy_image(*image, window_));
    host.notify_user(NoticeKind::Copied);
    return SessionRequest::End;
}

Result<SessionRequest> CaptureSession::save_image(SessionHost& host) {
    auto image = output_image();
    if (!image) return propagate(image);
    auto saved = win32::save_capture(*image, host.save_folder(), window_);
    if (!saved) return propagate(saved);
    if (saved->outcome != win32::SaveOutcome::Saved) return SessionRequest::None;
    if (!saved->folder.empty()) host.remember_save_folder(saved->folder);
    host.notify_user(NoticeKind::Saved);
    return SessionRequest::End;
}

Result<void> CaptureSession::start_search(SessionHost& host) {
    std::unique_ptr<SearchReceiver> pending;
    auto started =
        win32::start_image_search(state_.search_in_progress, pending, window_, [this] { return output_image(); });
    if (!started) return propagate(started);
    if (*started) {
        host.hold_search(std::move(pending));
        host.notify_user(NoticeKind::Searching);
    }
    return {};
}

}  // namespace kadrovix
