// The per-process application record that hangs on the main window. Only the
// UI thread touches it; other threads talk to it through posted messages.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/setup/settings_panel.h"
#include "app/setup/shortcut.h"
#include "presentation/controller_win32.h"
#include "session/session_host.h"
#include "session/stored_values.h"
#include "settings/settings.h"

namespace kadrovix {

class CaptureSession;  // the editor's capture session

// The capture shortcut's registration on the main window. Ids 1 and 2
// alternate so that a new shortcut is registered before the old one goes.
struct HotkeyRegistration {
    bool registered = false;
    int id = 0;
    HWND window = nullptr;
};

// The host of the editor's capture session, too (session_host.h).
struct AppState final : SessionHost {
    AppState();
    // Out of line: the session is complete only there.
    ~AppState() override;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Set while a handler works on the record; messages that arrive meanwhile
    // (from a message box or menu loop) are not given to the event handler.
    bool in_use = false;
    // The end of an editor (its process id) that arrived while in_use was set.
    std::optional<std::uint32_t> held_editor_exit;

    Role role = Role::Resident;
    std::optional<std::uint64_t> notification_owner;  // editor only
    HWND main_window = nullptr;
    HWND toast_window = nullptr;
    std::unique_ptr<CaptureSession> session;        // editor only
    std::unique_ptr<SearchReceiver> search_result;  // editor only
    Settings settings;
    SettingsPanel panel;
    HotkeyRegistration capture_hotkey;
    bool editor_running = false;
    std::uint32_t editor_pid = 0;
    NOTIFYICONDATAW tray_icon{};
    bool tray_icon_added = false;
    // Resident only; attached to the main window as its presentation property.
    std::unique_ptr<PresentationController> presentation;
    bool panel_open = false;

    bool is_editor() const { return role == Role::Editor; }
    // The diagnostics role never reads the settings file again nor writes it.
    bool stores_settings() const { return role != Role::Diagnostics; }

    // The capture stroke width and custom colour last stored, so that only a
    // change is written.
    StoredSessionValues stored_values;

    void notify_user(NoticeKind kind) override;
    std::u16string save_folder() const override { return settings.save_folder; }
    void remember_save_folder(std::u16string folder) override { settings.save_folder = std::move(folder); }
    void hold_search(std::unique_ptr<SearchReceiver> receiver) override { search_result = std::move(receiver); }
};

}  // namespace kadrovix
