#include "app/session_host_win32.h"

#include "app/events/event_handler_win32.h"
#include "app/messages.h"
#include "app/runtime/start_trace_win32.h"
#include "session/capture_session_win32.h"
#include "session/stored_values.h"
#include "settings/settings_storage_win32.h"

namespace kadrovix {

Result<void> begin_capture_session(AppState& app) {
    win32::mark_start("capture-begin");
    auto session = CaptureSession::start(app.main_window, app.settings);
    if (!session) return propagate(session);
    app.session = std::move(*session);
    app.stored_values.stroke_width = app.settings.capture_stroke_width;
    if (auto shown = app.session->show_over_desktop(); !shown) {
        app.session.reset();
        return shown;
    }
    return {};
}

void end_capture_session(AppState& app) {
    ::KillTimer(app.main_window, kSessionRefreshTimer);
    if (app.session && app.stores_settings()) {
        if (auto r = store_at_end(app.stored_values, app.session->state(), save_custom_color); !r) {
            show_message(app.main_window, r.error());
        }
    }
    app.session.reset();
    app.search_result.reset();
    ::ShowWindow(app.main_window, SW_HIDE);
    if (app.stores_settings()) {
        if (auto r = save_settings(app.settings); !r) {
            show_message(app.main_window, "Could not save settings: " + r.error());
        }
    }
    if (app.is_editor()) ::PostQuitMessage(0);
}

Result<void> session_message_tail(AppState& app) {
    ::KillTimer(app.main_window, kSessionRefreshTimer);
    if (!app.session) return {};
    if (const auto delay = app.session->refresh_delay()) {
        ::SetTimer(app.main_window, kSessionRefreshTimer, *delay, nullptr);
    }
    if (!app.stores_settings()) return {};
    const SessionValueWriters write{save_capture_stroke_width, save_custom_color};
    if (auto r = store_after_message(app.stored_values, app.session->state(), write); !r) {
        return general_failure(r.error());
    }
    return {};
}

}  // namespace kadrovix
