#include "app/startup_win32.h"

#include <objbase.h>

#include <memory>

#include "app/command_line.h"
#include "app/diagnostics_win32.h"
#include "app/events/event_handler_win32.h"
#include "app/hotkey_diagnostic_win32.h"
#include "app/messages.h"
#include "app/notice/toast_win32.h"
#include "app/render_demo_win32.h"
#include "app/runtime/com_apartment_win32.h"
#include "app/runtime/handles_win32.h"
#include "app/runtime/start_trace_win32.h"
#include "app/runtime/text_win32.h"
#include "app/setup/hotkeys_win32.h"
#include "app/setup/settings_panel_win32.h"
#include "app/setup/start_with_windows_win32.h"
#include "app/setup/tray_menu_win32.h"
#include "base/error_win32.h"
#include "presentation/presentation_diagnostic_win32.h"
#include "settings/settings_storage_win32.h"

namespace kadrovix {
namespace {

void write_stderr_line(const std::string& text) {
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    const std::string line = text + "\n";
    DWORD written = 0;
    ::WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void report_fatal(const CommandLine& cl, const Error& error) {
    const std::string text = win32::error_text(error);
    if (cl.errors_to_stderr) {
        write_stderr_line(text);
    } else {
        const std::wstring wide = win32::to_wide(text);
        const std::wstring caption = win32::to_wide(kProductName);
        ::MessageBoxW(nullptr, wide.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
    }
}

void set_dpi_awareness() {
    // Some systems (and Wine) refuse; the manifest asks for the same.
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return;
    auto set_context =
        reinterpret_cast<SetContext>(reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    if (set_context != nullptr) set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

Result<int> run_self_test(SelfTest test) {
    switch (test) {
        case SelfTest::HotkeyDiagnostic: return run_hotkey_diagnostic();
        case SelfTest::RenderDemo:
            RETURN_IF_ERROR(run_render_demo());
            return 0;
        case SelfTest::GoogleDiagnostic: return run_google_diagnostic();
        case SelfTest::EditorDiagnostic: return run_editor_diagnostic();
        case SelfTest::None: break;
        case SelfTest::PresentationDiagnostic: return run_presentation_diagnostic();
    }
    return 0;
}

// Everything the start-up made, released in reverse order at the end.
struct Resources {
    win32::UniqueHandle mutex;
    ATOM window_class = 0;
    HINSTANCE instance = nullptr;
    std::unique_ptr<AppState> app;
    HWND window = nullptr;

    ~Resources() {
        if (app) {
            // Presentation mode lets go of the window before it goes.
            app->presentation.reset();
            unregister_capture(app->capture_hotkey);
            delete_tray_icon(*app);
            close_toast(*app);
        }
        if (window != nullptr && ::IsWindow(window)) {
            // The window's procedure must not reach a record being torn down.
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            ::DestroyWindow(window);
        }
        app.reset();
        if (window_class != 0) ::UnregisterClassW(kMainWindowClass, instance);
    }
};

Result<void> start_and_run(const CommandLine& cl, Resources& res, bool& already_running) {
    // Single instance per role: the mutex only marks that a process exists.
    const std::wstring mutex_name(role_mutex_name(cl.role));
    res.mutex.reset(::CreateMutexW(nullptr, FALSE, mutex_name.c_str()));
    if (!res.mutex) return win32::fail_last_error();
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        already_running = true;
        show_message(nullptr, kAlreadyRunningMessage);
        return {};
    }

    Settings settings = default_settings();
    // The diagnostics role works on defaults and leaves the file alone.
    if (cl.role != Role::Diagnostics) {
        auto path = settings_path();
        if (!path) return general_failure(path.error());
        auto loaded = read_settings_file(*path);
        if (!loaded) return general_failure(loaded.error());
        settings = *loaded;
        if (cl.role == Role::Resident) {
            if (auto r = set_start_with_windows(settings.start_with_windows); !r) return propagate(r);
        }
    }

    res.instance = ::GetModuleHandleW(nullptr);
    HICON icon = static_cast<HICON>(
        ::LoadImageW(res.instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (icon == nullptr) return win32::fail_last_error();
    HICON small_icon = static_cast<HICON>(::LoadImageW(res.instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                       ::GetSystemMetrics(SM_CXSMICON),
                                                       ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (small_icon == nullptr) return win32::fail_last_error();
    HCURSOR cross = ::LoadCursorW(nullptr, IDC_CROSS);
    if (cross == nullptr) return win32::fail_last_error();

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = res.instance;
    wc.hIcon = icon;
    wc.hIconSm = small_icon;
    wc.hCursor = cross;
    wc.lpszClassName = kMainWindowClass;
    res.window_class = ::RegisterClassExW(&wc);
    if (res.window_class == 0) return win32::fail_last_error();

    res.app = std::make_unique<AppState>();
    AppState& app = *res.app;
    app.role = cl.role;
    app.notification_owner = cl.notification_owner;
    app.settings = settings;
    app.stored_values.stroke_width = settings.capture_stroke_width;
    // A first start without a capture shortcut greets the user with the panel.
    app.panel_open = cl.role == Role::Resident && settings.capture_key == 0;

    res.window = ::CreateWindowExW(WS_EX_TOOLWINDOW, kMainWindowClass, L"Kadrovix", WS_POPUP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 620, 230, nullptr, nullptr, res.instance, &app);
    if (res.window == nullptr) return win32::fail_last_error();
    app.main_window = res.window;
    win32::mark_start("window-made");

    fill_tray_icon_record(app, small_icon);
    if (cl.role != Role::Editor) {
        if (!add_tray_icon(app)) return general_failure("Cannot create the notification icon");
        if (cl.role == Role::Resident && app.settings.capture_key != 0) {
            if (!register_startup_capture_shortcut(app)) {
                app.panel_open = true;
                show_message(app.main_window, kCaptureShortcutInUseMessage);
            }
        }
    }

    if (cl.role == Role::Resident) {
        auto presentation = PresentationController::create(app.main_window, app.settings);
        if (!presentation) return propagate(presentation);
        app.presentation = std::move(*presentation);
        PresentationState& state = app.presentation->state();
        state.features |= kFeatureTemporaryShapes;
        auto unavailable = app.presentation->activate_with_priority(state.features);
        if (!unavailable) {
            app.presentation->turn_everything_off();
            show_message(app.main_window, win32::error_text(unavailable.error()));
        } else if (!unavailable->empty()) {
            show_toast(app, shortcut_unavailable_notice(*unavailable));
        }
    }

    if (app.panel_open) {
        // open_panel sets the flag itself.
        app.panel_open = false;
        if (auto r = open_panel(app, PanelPage::Capture); !r) return r;
    }

    if (cl.role == Role::Editor || (cl.role == Role::Resident && cl.capture)) {
        if (!::PostMessageW(app.main_window, MSG_START_CAPTURE, 0, 0)) return win32::fail_last_error();
    }

    if (cl.role == Role::Diagnostics) {
        if (auto r = start_diagnostic_monitor(); !r) return r;
    }
    win32::mark_start("loop");
    return run_message_loop(app);
}

}  // namespace

int run_program(std::span<const std::wstring> args) {
    const CommandLine cl = parse_command_line(args);

    // The UI thread's apartment, uninitialised last.
    const win32::ComApartment com;
    if (!com.ok()) {
        report_fatal(cl, Error{static_cast<std::int32_t>(com.result()), {}});
        return 1;
    }
    set_dpi_awareness();
    win32::mark_start("com");

    if (cl.self_test != SelfTest::None) {
        auto result = run_self_test(cl.self_test);
        if (!result) {
            report_fatal(cl, result.error());
            return 1;
        }
        return *result;
    }

    bool already_running = false;
    Result<void> outcome;
    {
        Resources res;
        outcome = start_and_run(cl, res, already_running);
    }
    if (already_running) return 0;
    if (!outcome) {
        report_fatal(cl, outcome.error());
        return 1;
    }
    return 0;
}

}  // namespace kadrovix
