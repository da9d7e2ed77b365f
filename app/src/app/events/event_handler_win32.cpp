#include "app/events/event_handler_win32.h"

#include <utility>

#include "app/diagnostics_win32.h"
#include "app/messages.h"
#include "app/notice/toast_win32.h"
#include "app/runtime/editor_process_win32.h"
#include "app/runtime/start_trace_win32.h"
#include "app/runtime/text_win32.h"
#include "app/session_host_win32.h"
#include "app/setup/settings_panel_win32.h"
#include "app/setup/tray_menu_win32.h"
#include "base/error_win32.h"
#include "session/capture_session_win32.h"
#include "session/io/image_search_win32.h"
#include "settings/settings_storage_win32.h"

namespace kadrovix {

void show_message(HWND owner, std::string_view text) {
    const std::wstring wide = win32::to_wide(text);
    const std::wstring caption = win32::to_wide(kProductName);
    ::MessageBoxW(owner, wide.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

namespace {

using Handled = Result<std::optional<LRESULT>>;
Handled handled(LRESULT value = 0) { return std::optional<LRESULT>(value); }
Handled not_handled() { return std::optional<LRESULT>(); }

// The features an editor run switched off come back on when it ends.
Result<void> restore_presentation_features(AppState& app) {
    if (!app.presentation || !app.presentation->state().saved_features) return {};
    PresentationState& state = app.presentation->state();
    state.features = *state.saved_features;
    state.saved_features.reset();
    if (auto r = app.presentation->activate_with_priority(state.features); !r) {
        app.presentation->turn_everything_off();
        return propagate(r);
    }
    return {};
}

// The values presentation mode changes itself (wheel while drawing, a drag
// or the lock of the input display) go into the settings file. A failed
// write leaves the file as it was and presentation mode running.
Result<void> persist_presentation_values(AppState& app) {
    const PresentationState& state = app.presentation->state();
    Settings changed = app.settings;
    if (app.stores_settings()) {
        auto path = settings_path();
        if (!path) return general_failure(path.error());
        auto current = read_settings_file(*path);
        if (!current) return general_failure(current.error());
        changed = std::move(*current);
    }
    changed.presentation_stroke_width = state.settings.presentation_stroke_width;
    changed.input_display_offset = state.settings.input_display_offset;
    changed.input_display_lock = state.settings.input_display_lock;
    if (app.stores_settings()) {
        if (auto r = save_settings(changed); !r) return general_failure(r.error());
    }
    app.settings = std::move(changed);
    return {};
}

Result<void> editor_exited(AppState& app) {
    app.editor_running = false;
    app.editor_pid = 0;
    return restore_presentation_features(app);
}

void display_changed(AppState& app) {
    if (app.presentation) app.presentation->turn_everything_off();
    if (app.session) {
        // Told before the end: ending the editor posts its quit message,
        // which would close the box at once.
        show_message(app.main_window, "The display configuration changed. Start a new capture.");
        if (app.session) end_capture_session(app);
    }
}

// Carries out what a session handler asked for.
Handled session_outcome(AppState& app, Result<SessionRequest> request) {
    if (!request) return propagate(request);
    if (*request == SessionRequest::End) end_capture_session(app);
    return handled();
}

void search_result(AppState& app, HWND window) {
    auto receiver = std::move(app.search_result);
    app.search_result.reset();
    if (app.session) app.session->search_finished();
    const bool opened = win32::finish_image_search(receiver, window);
    if (opened && app.session) {
        end_capture_session(app);
    } else {
        ::InvalidateRect(window, nullptr, FALSE);
    }
}

POINT lparam_point(LPARAM lparam) {
    return POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
}

// Messages of the open capture session; nullopt when the session does not take it.
std::optional<Handled> session_event(AppState& app, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    CaptureSession& session = *app.session;
    switch (message) {
        case WM_PAINT:
            if (auto r = session.paint(); !r) return Handled(Unexpected<Error>{r.error()});
            return handled();
        case WM_SETCURSOR: {
            POINT p{};
            ::GetCursorPos(&p);
            ::ScreenToClient(window, &p);
            ::SetCursor(session.cursor(p));
            return handled(1);
        }
        case WM_LBUTTONDOWN:
            return session_outcome(app, session.mouse_down(app, lparam_point(lparam)));
        case WM_MOUSEMOVE:
            if (auto r = session.mouse_move(lparam_point(lparam)); !r) return Handled(Unexpected<Error>{r.error()});
            return handled();
        case WM_LBUTTONUP:
            return session_outcome(app, session.mouse_up(app, lparam_point(lparam)));
        case WM_MOUSEWHEEL:
            if (auto r = session.wheel(GET_WHEEL_DELTA_WPARAM(wparam)); !r) {
                return Handled(Unexpected<Error>{r.error()});
            }
            return handled();
        case WM_CAPTURECHANGED:
            session.capture_changed(reinterpret_cast<HWND>(lparam));
            return handled();
        case WM_MOUSELEAVE:
            session.mouse_leave();
            return handled();
        case WM_ACTIVATE:
            if (LOWORD(wparam) != WA_INACTIVE) {
                session.activated();
                return handled();
            }
            return std::nullopt;
        case WM_COMMAND:
            ::InvalidateRect(window, nullptr, FALSE);
            return handled();
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            return session_outcome(app, session.key_down(app, static_cast<UINT>(wparam)));
        case WM_KEYUP:
        case WM_SYSKEYUP:
            session.key_up(static_cast<UINT>(wparam));
            return handled();
        case WM_TIMER:
            if (wparam == kSessionRefreshTimer) {
                ::KillTimer(window, kSessionRefreshTimer);
                session.invalidate();
                return handled();
            }
            return std::nullopt;
        case WM_CLOSE:
            end_capture_session(app);
            return handled();
        default:
            return std::nullopt;
    }
}

}  // namespace

Result<void> request_capture(AppState& app) {
    close_toast(app);
    if (app.session || app.panel_open) return {};

    if (app.is_editor()) return begin_capture_session(app);

    if (app.editor_running) return {};
    if (app.presentation && !app.presentation->state().saved_features) {
        // Presentation overlays must not appear in the capture.
        app.presentation->state().saved_features = app.presentation->state().features;
        app.presentation->turn_everything_off();
    }
    auto pid = start_editor_process(app.main_window);
    if (!pid) {
        (void)restore_presentation_features(app);
        return propagate(pid);
    }
    app.editor_running = true;
    app.editor_pid = *pid;
    return {};
}

Result<std::optional<LRESULT>> handle_event(AppState& app, HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    if (app.session) {
        if (auto taken = session_event(app, window, message, wparam, lparam)) {
            if (!*taken) return *taken;
            // The common tail of every handled session message.
            if (message != WM_SETCURSOR) {
                if (auto r = session_message_tail(app); !r) return propagate(r);
            }
            return *taken;
        }
    }
    switch (message) {
        case MSG_SEARCH_RESULT:
            if (app.search_result) {
                search_result(app, window);
                return handled();
            }
            return not_handled();

        case MSG_TRAY_CALLBACK:
            if (lparam == WM_LBUTTONUP || lparam == WM_RBUTTONUP) {
                RETURN_IF_ERROR(show_tray_menu(app));
                return handled();
            }
            return not_handled();

        case MSG_START_CAPTURE:
            RETURN_IF_ERROR(request_capture(app));
            return handled();

        case WM_HOTKEY:
            win32::mark_start("hotkey");
            if (!app.panel_open) {
                // Only the capture shortcut's own ids start a capture.
                if (wparam != 1 && wparam != 2) return handled();
                if (auto r = request_capture(app); !r) return propagate(r);
            } else if (app.panel.capturing) {
                const auto modifiers = static_cast<std::uint32_t>(LOWORD(lparam));
                const auto key = static_cast<std::uint32_t>(HIWORD(lparam));
                if (auto r = panel_hotkey(app, modifiers, key); !r) return propagate(r);
            }
            return handled();

        case MSG_EDITOR_EXITED:
            if (app.editor_running && wparam == app.editor_pid) {
                RETURN_IF_ERROR(editor_exited(app));
                return handled();
            }
            return not_handled();

        case MSG_PRESENTATION_SAVE:
            if (!app.presentation) return not_handled();
            if (auto r = persist_presentation_values(app); !r) {
                // Told without a modal box, which would end a drawing or drag.
                show_toast(app, win32::error_text(r.error()));
            }
            return handled();

        case MSG_NOTICE:
            if (lparam >= 1 && lparam <= 4 && app.editor_running && wparam == app.editor_pid) {
                notify(app, static_cast<NoticeKind>(lparam));
                return handled();
            }
            return not_handled();

        case WM_DISPLAYCHANGE:
            display_changed(app);
            return handled();

        case WM_DESTROY:
            ::PostQuitMessage(0);
            return handled();

        case WM_CLOSE:
            if (app.panel_open && app.capture_hotkey.registered) {
                close_panel(app);
            } else {
                ::PostQuitMessage(0);
            }
            return handled();

        case WM_ERASEBKGND:
            return handled(1);

        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(window, &ps);
            if (dc != nullptr) {
                paint_panel(app, window, dc);
                ::EndPaint(window, &ps);
            }
            return handled();
        }

        case WM_SETCURSOR:
            if (app.panel_open) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
                return handled(1);
            }
            return not_handled();

        case WM_LBUTTONDOWN:
            if (app.panel_open) {
                const POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
                RETURN_IF_ERROR(panel_left_button(app, p));
                return handled();
            }
            return not_handled();

        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (app.panel_open) {
                // Auto-repeat: the key was already down.
                if (lparam & (1 << 30)) return handled();
                RETURN_IF_ERROR(panel_key(app, static_cast<UINT>(wparam), false));
                return handled();
            }
            return not_handled();

        case WM_KEYUP:
        case WM_SYSKEYUP:
            if (app.panel_open && app.panel.capturing && wparam == VK_SNAPSHOT) {
                RETURN_IF_ERROR(panel_key(app, static_cast<UINT>(wparam), true));
                return handled();
            }
            return not_handled();

        case WM_CHAR:
        case WM_SYSCHAR:
            // The panel takes keys as shortcuts: Alt+Space must not open the
            // system menu, and Alt+letter must not beep.
            if (app.panel_open) return handled();
            return not_handled();

        case WM_DPICHANGED:
            if (app.panel_open) {
                panel_dpi_changed(window, reinterpret_cast<const RECT*>(lparam));
                return handled();
            }
            return not_handled();

        default:
            return not_handled();
    }
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MEASUREITEM) {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
        if (measure != nullptr && measure->CtlType == ODT_MENU && measure_menu_item(window, measure)) return TRUE;
    } else if (message == WM_DRAWITEM) {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
        if (draw != nullptr && draw->CtlType == ODT_MENU && draw_menu_item(window, draw)) return TRUE;
    } else if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }

    // Presentation mode's input, shortcuts and timer, with a guard of its own:
    // they keep flowing while another handler shows a menu or a message box.
    if (auto* presentation = static_cast<PresentationController*>(::GetPropW(window, kPresentationProperty))) {
        if (auto result = presentation->handle_message(message, wparam, lparam)) return *result;
        if (message == WM_INPUT) return ::DefWindowProcW(window, message, wparam, lparam);
    }

    auto* app = reinterpret_cast<AppState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (app != nullptr && app->in_use && message == MSG_EDITOR_EXITED) {
        // A handler is inside a menu or message box. Dropping the editor's end
        // would refuse every capture from now on; posting it straight back
        // would spin that modal loop. It is posted again once the guard is free.
        app->held_editor_exit = static_cast<std::uint32_t>(wparam);
        return 0;
    }
    if (app != nullptr && !app->in_use) {
        app->in_use = true;
        auto outcome = handle_event(*app, window, message, wparam, lparam);
        app->in_use = false;
        if (auto held = std::exchange(app->held_editor_exit, std::nullopt)) {
            ::PostMessageW(window, MSG_EDITOR_EXITED, *held, 0);
        }
        if (outcome) {
            if (outcome->has_value()) return **outcome;
        } else {
            show_message(window, win32::error_text(outcome.error()));
            if (app->is_editor() && !app->session) ::PostQuitMessage(1);
        }
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
}

Result<void> run_message_loop(AppState& app) {
    MSG msg{};
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) return win32::fail_last_error();
        if (got == 0) {
            if (msg.wParam == 0) return {};
            return general_failure(std::string(kInternalFailureMessage));
        }
        if (msg.message == MSG_DIAGNOSTIC_CHECK && msg.hwnd == nullptr && app.role == Role::Diagnostics) {
            return run_diagnostic_check();
        }
        if (msg.message == WM_KEYDOWN && app.session && !app.in_use) {
            // --- dimension editor: Tab, Esc and Enter while it is open, before
            // its fields or the text entry see them ---
            app.in_use = true;
            const bool taken = app.session->dimension_editor_key(static_cast<UINT>(msg.wParam));
            app.in_use = false;
            if (taken) {
                if (app.session) ::InvalidateRect(app.session->window(), nullptr, FALSE);
                continue;
            }
        }
        if (msg.message == WM_KEYDOWN && app.session && !app.in_use) {
            // The open text entry's own keys, before its edit control would
            // type them: Esc discards, Ctrl+Enter commits.
            app.in_use = true;
            const bool ctrl = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
            const bool taken = app.session->text_entry_key(static_cast<UINT>(msg.wParam), ctrl);
            app.in_use = false;
            if (taken) {
                if (app.session) ::InvalidateRect(app.session->window(), nullptr, FALSE);
                continue;
            }
        }
        if (msg.message == WM_MOUSEWHEEL && app.session && !app.in_use) {
            // The wheel goes to the session wherever the pointer is.
            app.in_use = true;
            auto wheel = app.session->wheel(GET_WHEEL_DELTA_WPARAM(msg.wParam));
            auto tail = wheel ? session_message_tail(app) : Result<void>{};
            app.in_use = false;
            // A failed action on an open capture is reported and the capture
            // stays, as in the window procedure.
            if (!wheel) show_message(app.main_window, win32::error_text(wheel.error()));
            if (!tail) show_message(app.main_window, win32::error_text(tail.error()));
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace kadrovix
