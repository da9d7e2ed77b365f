// The capture shortcut's system registration on the resident's main window,
// and the settings panel's save of a capture or shape shortcut.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/app_state_win32.h"
#include "app/setup/hotkeys.h"
#include "app/setup/shortcut.h"
#include "base/error.h"
#include "base/expected.h"
#include "settings/settings.h"

namespace kadrovix {

// Registers (modifiers, key) with the no-repeat flag on registration.window
// under the id not in use, and only then releases the old id: a refusal
// leaves the old shortcut working. On success the registration holds the new id.
Result<void> register_capture(HotkeyRegistration& registration, std::uint32_t modifiers, std::uint32_t key);

// As register_capture; with `persist` set, `settings` (already holding the new
// shortcut) is written after the new id is registered and before the old one
// is released. A failed write releases the new id again, keeps the old one,
// and fails with code 0 and the write error as message.
Result<void> register_capture_and_save(HotkeyRegistration& registration, std::uint32_t modifiers,
                                       std::uint32_t key, bool persist, const Settings& settings);

// Releases the registered id, if any; a failure is ignored.
void unregister_capture(HotkeyRegistration& registration);

// Start-up: binds the registration to the main window and registers the
// saved capture shortcut when there is one. False when the system refused
// it; the caller then shows kCaptureShortcutInUseMessage and opens the panel.
bool register_startup_capture_shortcut(AppState& app);

// Id 99 held while a shape shortcut is tried out; released on destruction.
class ShapeTestHotkey {
public:
    ShapeTestHotkey() = default;
    ShapeTestHotkey(HWND window, bool held) : window_(window), held_(held) {}
    ShapeTestHotkey(ShapeTestHotkey&& other) noexcept;
    ShapeTestHotkey& operator=(ShapeTestHotkey&& other) noexcept;
    ShapeTestHotkey(const ShapeTestHotkey&) = delete;
    ShapeTestHotkey& operator=(const ShapeTestHotkey&) = delete;
    ~ShapeTestHotkey() { release(); }

    // False when the combination is already registered (by presentation mode
    // or another program): the test passed without holding anything.
    bool held() const { return held_; }
    void release();

private:
    HWND window_ = nullptr;
    bool held_ = false;
};

// Tries the combination under id 99 on `window`. "Already registered" counts
// as a pass; any other refusal is the system's error.
Result<ShapeTestHotkey> test_shape_hotkey(HWND window, Shortcut shortcut);

// Save on the capture page. On success app.settings holds the new shortcut;
// a refusal is the text the panel shows.
Expected<void> apply_capture_candidate(AppState& app, Shortcut candidate);

// Save on a shape page (slot 0 arrow, 1 rectangle, 2 ellipse). On success the
// settings are written (in a normal run), handed to presentation mode and
// become app.settings; a refusal is "Shortcut unavailable or invalid: ...".
Expected<void> apply_shape_candidate(AppState& app, std::size_t slot, Shortcut candidate);

}  // namespace kadrovix
