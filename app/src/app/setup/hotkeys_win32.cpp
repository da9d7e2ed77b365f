#include "app/setup/hotkeys_win32.h"

#include <string>
#include <utility>

#include "base/error_win32.h"
#include "settings/settings_storage_win32.h"

namespace kadrovix {
namespace {

Unexpected<std::string> refuse(std::string text) { return Unexpected<std::string>{std::move(text)}; }

// The common make-before-break sequence; `before_release` runs with the new
// id held and the old one still in force, and can veto the change.
template <class BeforeRelease>
Result<void> replace_capture_registration(HotkeyRegistration& registration, std::uint32_t modifiers,
                                          std::uint32_t key, BeforeRelease&& before_release) {
    if (registration.window == nullptr) return invalid_argument("The capture shortcut has no window.");
    const int new_id = next_capture_hotkey_id(registration.registered, registration.id);
    if (!::RegisterHotKey(registration.window, new_id, static_cast<UINT>(modifiers | kModNoRepeat),
                          static_cast<UINT>(key))) {
        return win32::fail_last_error();
    }
    if (auto vetoed = before_release(); !vetoed) {
        ::UnregisterHotKey(registration.window, new_id);
        return vetoed;
    }
    if (registration.registered) ::UnregisterHotKey(registration.window, registration.id);
    registration.registered = true;
    registration.id = new_id;
    return {};
}

}  // namespace

Result<void> register_capture(HotkeyRegistration& registration, std::uint32_t modifiers, std::uint32_t key) {
    return replace_capture_registration(registration, modifiers, key, []() -> Result<void> { return {}; });
}

Result<void> register_capture_and_save(HotkeyRegistration& registration, std::uint32_t modifiers,
                                       std::uint32_t key, bool persist, const Settings& settings) {
    return replace_capture_registration(registration, modifiers, key, [&]() -> Result<void> {
        if (!persist) return {};
        if (auto saved = save_settings(settings); !saved) {
            // No system code: the text says what went wrong.
            return Unexpected<Error>{Error{0, std::move(saved).error()}};
        }
        return {};
    });
}

void unregister_capture(HotkeyRegistration& registration) {
    if (registration.registered) ::UnregisterHotKey(registration.window, registration.id);
    registration.registered = false;
}

bool register_startup_capture_shortcut(AppState& app) {
    if (app.capture_hotkey.window == nullptr) app.capture_hotkey.window = app.main_window;
    if (app.settings.capture_key == 0) return true;
    return register_capture(app.capture_hotkey, app.settings.capture_modifiers, app.settings.capture_key)
        .has_value();
}

ShapeTestHotkey::ShapeTestHotkey(ShapeTestHotkey&& other) noexcept
    : window_(other.window_), held_(std::exchange(other.held_, false)) {}

ShapeTestHotkey& ShapeTestHotkey::operator=(ShapeTestHotkey&& other) noexcept {
    if (this != &other) {
        release();
        window_ = other.window_;
        held_ = std::exchange(other.held_, false);
    }
    return *this;
}

void ShapeTestHotkey::release() {
    if (held_) ::UnregisterHotKey(window_, kShapeTestHotkeyId);
    held_ = false;
}

Result<ShapeTestHotkey> test_shape_hotkey(HWND window, Shortcut shortcut) {
    if (::RegisterHotKey(window, kShapeTestHotkeyId, static_cast<UINT>(shortcut.modifiers),
                         static_cast<UINT>(shortcut.key))) {
        return ShapeTestHotkey(window, true);
    }
    const DWORD error = ::GetLastError();
    if (error == kHotkeyAlreadyRegisteredError) return ShapeTestHotkey(window, false);
    return Unexpected<Error>{Error{hresult_from_win32(error), {}}};
}

Expected<void> apply_capture_candidate(AppState& app, Shortcut candidate) {
    switch (check_capture_candidate(app.settings, app.capture_hotkey.registered, candidate)) {
        case CaptureCandidateCheck::UsedByPresentation: return refuse(std::string(kUsedByPresentationMessage));
        case CaptureCandidateCheck::Unchanged: return {};
        case CaptureCandidateCheck::Register: break;
    }
    if (app.capture_hotkey.window == nullptr) app.capture_hotkey.window = app.main_window;
    Settings changed = with_capture_shortcut(app.settings, candidate);
    auto registered = register_capture_and_save(app.capture_hotkey, candidate.modifiers, candidate.key,
                                                app.stores_settings(), changed);
    if (!registered) return refuse(capture_registration_failure_message(registered.error().code));
    app.settings = std::move(changed);
    return {};
}

Expected<void> apply_shape_candidate(AppState& app, std::size_t slot, Shortcut candidate) {
    auto changed = shape_candidate_settings(app.settings, slot, candidate);
    if (!changed) return refuse(shape_failure_message(changed.error()));

    auto test = test_shape_hotkey(app.main_window, candidate);
    if (!test) return refuse(shape_failure_message(win32::error_text(test.error())));

    if (app.stores_settings()) {
        if (auto saved = save_settings(*changed); !saved) return refuse(shape_failure_message(saved.error()));
    }
    // Presentation mode must be able to take the combination itself.
    test->release();

    if (app.presentation) {
        if (auto r = app.presentation->apply_settings(*changed); !r) {
            return refuse(shape_failure_message(win32::error_text(r.error())));
        }
    }
    app.settings = std::move(*changed);
    return {};
}

}  // namespace kadrovix
