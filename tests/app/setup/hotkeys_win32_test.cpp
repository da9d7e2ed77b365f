#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "app/hotkey_diagnostic_win32.h"
#include "app/setup/hotkeys.h"
#include "app/setup/hotkeys_win32.h"
#include "app/setup/shortcut_names_win32.h"
#include "settings/settings.h"
#include "settings/settings_storage_win32.h"
#include "support/hotkey_support_win32.h"

namespace fs = std::filesystem;
using namespace kadrovix;
using kadrovix::testing::HotkeyWindow;
using kadrovix::testing::kTryAlreadyRegistered;
using kadrovix::testing::kTryRegistered;
using kadrovix::testing::OtherProcessHotkey;
using kadrovix::testing::try_from_other_process;

// --- children ---------------------------------------------------------------

namespace {

HWND child_window() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Kadrovix.Test.ChildHotkeyWindow";
    ::RegisterClassExW(&wc);
    return ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance,
                             nullptr);
}

}  // namespace

// Registers args[0] modifiers, args[1] key on its own window and reports how
// that went in its exit code.
KADROVIX_TEST_CHILD(try_hotkey) {
    HWND window = child_window();
    if (window == nullptr) return 3;
    const UINT modifiers = static_cast<UINT>(std::stoul(args.at(0)));
    const UINT key = static_cast<UINT>(std::stoul(args.at(1)));
    if (::RegisterHotKey(window, 7, modifiers, key)) {
        ::UnregisterHotKey(window, 7);
        return static_cast<int>(kTryRegistered);
    }
    return ::GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED ? static_cast<int>(kTryAlreadyRegistered)
                                                                : static_cast<int>(kadrovix::testing::kTryOtherError);
}

// Holds args[0] modifiers, args[1] key until the release event of args[2] is set.
KADROVIX_TEST_CHILD(hold_hotkey) {
    HWND window = child_window();
    if (window == nullptr) return 3;
    if (!::RegisterHotKey(window, 7, static_cast<UINT>(std::stoul(args.at(0))),
                          static_cast<UINT>(std::stoul(args.at(1))))) {
        return 4;
    }
    kadrovix::testing::NamedEvent held(L"Local\\Kadrovix.Test.HotkeyHeld." + args.at(2));
    kadrovix::testing::NamedEvent release(L"Local\\Kadrovix.Test.HotkeyRelease." + args.at(2));
    held.set();
    release.wait(60000);
    ::UnregisterHotKey(window, 7);
    return 0;
}

// --- tests ------------------------------------------------------------------

namespace {

constexpr std::int32_t kAlreadyRegisteredCode = static_cast<std::int32_t>(0x80070581);

// Combinations nobody else on the test desktop uses.
constexpr Shortcut kFirst{kModCtrl | kModAlt | kModShift, VK_F9};
constexpr Shortcut kSecond{kModCtrl | kModAlt | kModShift, VK_F10};
constexpr Shortcut kThird{kModCtrl | kModAlt | kModShift, VK_F11};
constexpr Shortcut kHeldElsewhere{kModCtrl | kModAlt | kModShift, VK_F12};

class CaptureHotkey : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window_.get(), nullptr);
        registration_.window = window_.get();
    }
    void TearDown() override { unregister_capture(registration_); }

    HotkeyWindow window_;
    HotkeyRegistration registration_;
};

TEST_F(CaptureHotkey, ChangesAreMakeBeforeBreakAndAlternateIds) {
    ASSERT_TRUE(register_capture(registration_, kFirst.modifiers, kFirst.key).has_value());
    EXPECT_TRUE(registration_.registered);
    EXPECT_EQ(registration_.id, 1);
    EXPECT_EQ(try_from_other_process(kFirst.modifiers, kFirst.key), kTryAlreadyRegistered);

    {
        OtherProcessHotkey other(kHeldElsewhere.modifiers, kHeldElsewhere.key);
        ASSERT_TRUE(other.wait_held());
        auto refused = register_capture(registration_, kHeldElsewhere.modifiers, kHeldElsewhere.key);
        ASSERT_FALSE(refused.has_value());
        EXPECT_EQ(refused.error().code, kAlreadyRegisteredCode);
        // The old shortcut is untouched: still ours, still on id 1.
        EXPECT_TRUE(registration_.registered);
        EXPECT_EQ(registration_.id, 1);
        EXPECT_EQ(try_from_other_process(kFirst.modifiers, kFirst.key), kTryAlreadyRegistered);
    }

    ASSERT_TRUE(register_capture(registration_, kSecond.modifiers, kSecond.key).has_value());
    EXPECT_EQ(registration_.id, 2);
    EXPECT_EQ(try_from_other_process(kFirst.modifiers, kFirst.key), kTryRegistered);  // old one released
    EXPECT_EQ(try_from_other_process(kSecond.modifiers, kSecond.key), kTryAlreadyRegistered);

    ASSERT_TRUE(register_capture(registration_, kThird.modifiers, kThird.key).has_value());
    EXPECT_EQ(registration_.id, 1);  // after two changes back on id 1
    EXPECT_EQ(try_from_other_process(kSecond.modifiers, kSecond.key), kTryRegistered);

    unregister_capture(registration_);
    EXPECT_FALSE(registration_.registered);
    EXPECT_EQ(try_from_other_process(kThird.modifiers, kThird.key), kTryRegistered);
    unregister_capture(registration_);  // twice is harmless
}

// Each test here starts and ends without the program's settings folder.
class CaptureHotkeySave : public CaptureHotkey {
protected:
    void SetUp() override {
        CaptureHotkey::SetUp();
        auto path = settings_path();
        ASSERT_TRUE(path.has_value());
        file_ = *path;
        std::error_code ec;
        fs::remove_all(file_.parent_path(), ec);
    }
    void TearDown() override {
        CaptureHotkey::TearDown();
        std::error_code ec;
        fs::remove_all(file_.parent_path(), ec);
    }
    void write_file(const std::string& bytes) {
        fs::create_directories(file_.parent_path());
        std::ofstream(file_, std::ios::binary | std::ios::trunc) << bytes;
    }
    fs::path file_;
};

TEST_F(CaptureHotkeySave, FailedWriteReleasesTheNewIdAndKeepsTheOld) {
    ASSERT_TRUE(register_capture(registration_, kFirst.modifiers, kFirst.key).has_value());
    write_file("kadrovix-settings-9\ndamaged\n");

    const Settings changed = with_capture_shortcut(default_settings(), kSecond);
    auto saved = register_capture_and_save(registration_, kSecond.modifiers, kSecond.key, true, changed);
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error().code, 0);
    EXPECT_EQ(saved.error().message, std::string(kUnsupportedSettingsMessage));
    EXPECT_EQ(capture_registration_failure_message(saved.error().code),
              "Unable to register this shortcut (0). It may be reserved or already in use.");
    EXPECT_TRUE(registration_.registered);
    EXPECT_EQ(registration_.id, 1);
    EXPECT_EQ(try_from_other_process(kFirst.modifiers, kFirst.key), kTryAlreadyRegistered);
    EXPECT_EQ(try_from_other_process(kSecond.modifiers, kSecond.key), kTryRegistered);

    // Once the file can be written, the same change goes through and is stored.
    std::error_code ec;
    fs::remove(file_, ec);
    ASSERT_TRUE(register_capture_and_save(registration_, kSecond.modifiers, kSecond.key, true, changed).has_value());
    EXPECT_EQ(registration_.id, 2);
    auto back = read_settings_file(file_);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->capture_modifiers, kSecond.modifiers);
    EXPECT_EQ(back->capture_key, kSecond.key);
    EXPECT_EQ(try_from_other_process(kFirst.modifiers, kFirst.key), kTryRegistered);
}

TEST_F(CaptureHotkeySave, WithoutPersistNothingIsWritten) {
    const Settings changed = with_capture_shortcut(default_settings(), kSecond);
    ASSERT_TRUE(register_capture_and_save(registration_, kSecond.modifiers, kSecond.key, false, changed).has_value());
    EXPECT_EQ(registration_.id, 1);
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(CaptureHotkey, StartupRegistrationReportsARefusal) {
    AppState app;
    app.main_window = window_.get();
    app.settings = with_capture_shortcut(default_settings(), kHeldElsewhere);
    OtherProcessHotkey other(kHeldElsewhere.modifiers, kHeldElsewhere.key);
    ASSERT_TRUE(other.wait_held());
    EXPECT_FALSE(register_startup_capture_shortcut(app));
    EXPECT_FALSE(app.capture_hotkey.registered);
    EXPECT_EQ(app.capture_hotkey.window, window_.get());

    app.settings = with_capture_shortcut(default_settings(), kFirst);
    EXPECT_TRUE(register_startup_capture_shortcut(app));
    EXPECT_TRUE(app.capture_hotkey.registered);
    EXPECT_EQ(app.capture_hotkey.id, 1);
    unregister_capture(app.capture_hotkey);

    // No saved shortcut: nothing to register, nothing refused.
    app.settings = default_settings();
    EXPECT_TRUE(register_startup_capture_shortcut(app));
    EXPECT_FALSE(app.capture_hotkey.registered);
}

TEST_F(CaptureHotkey, PanelSaveOfTheCaptureShortcut) {
    AppState app;
    app.main_window = window_.get();
    app.role = Role::Diagnostics;
    app.settings = with_capture_shortcut(default_settings(), kFirst);
    ASSERT_TRUE(register_startup_capture_shortcut(app));

    auto presentation = apply_capture_candidate(app, {kModAlt, 'R'});
    ASSERT_FALSE(presentation.has_value());
    EXPECT_EQ(presentation.error(), std::string(kUsedByPresentationMessage));
    auto escape = apply_capture_candidate(app, {kModCtrl | kModAlt, VK_ESCAPE});
    ASSERT_FALSE(escape.has_value());
    EXPECT_EQ(escape.error(), std::string(kUsedByPresentationMessage));

    // Unchanged: accepted without a new registration.
    ASSERT_TRUE(apply_capture_candidate(app, kFirst).has_value());
    EXPECT_EQ(app.capture_hotkey.id, 1);

    {
        OtherProcessHotkey other(kHeldElsewhere.modifiers, kHeldElsewhere.key);
        ASSERT_TRUE(other.wait_held());
        auto held = apply_capture_candidate(app, kHeldElsewhere);
        ASSERT_FALSE(held.has_value());
        EXPECT_EQ(held.error(), "Unable to register this shortcut (-2147023487). It may be reserved or already in use.");
        EXPECT_EQ(app.settings.capture_key, kFirst.key);
        EXPECT_EQ(app.capture_hotkey.id, 1);
    }

    ASSERT_TRUE(apply_capture_candidate(app, kSecond).has_value());
    EXPECT_EQ(app.settings.capture_key, kSecond.key);
    EXPECT_EQ(app.settings.capture_modifiers, kSecond.modifiers);
    EXPECT_EQ(app.capture_hotkey.id, 2);
    unregister_capture(app.capture_hotkey);
}

TEST_F(CaptureHotkey, ShapeTestPassesOnAlreadyRegistered) {
    // Held by this program under another id (as presentation mode would).
    ASSERT_TRUE(::RegisterHotKey(window_.get(), 91, kFirst.modifiers, kFirst.key));
    auto own = test_shape_hotkey(window_.get(), kFirst);
    ASSERT_TRUE(own.has_value());
    EXPECT_FALSE(own->held());
    ::UnregisterHotKey(window_.get(), 91);

    {
        OtherProcessHotkey other(kHeldElsewhere.modifiers, kHeldElsewhere.key);
        ASSERT_TRUE(other.wait_held());
        auto elsewhere = test_shape_hotkey(window_.get(), kHeldElsewhere);
        ASSERT_TRUE(elsewhere.has_value());
        EXPECT_FALSE(elsewhere->held());
    }

    {
        auto free_one = test_shape_hotkey(window_.get(), kSecond);
        ASSERT_TRUE(free_one.has_value());
        EXPECT_TRUE(free_one->held());
        // Held (under id 99) until the guard goes.
        EXPECT_EQ(try_from_other_process(kSecond.modifiers, kSecond.key), kTryAlreadyRegistered);
    }
    EXPECT_EQ(try_from_other_process(kSecond.modifiers, kSecond.key), kTryRegistered);

    // Any other refusal is an error with the system's code.
    auto invalid = test_shape_hotkey(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7654)), kThird);
    ASSERT_FALSE(invalid.has_value());
    EXPECT_EQ(invalid.error().code, hresult_from_win32(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(CaptureHotkey, PanelSaveOfAShapeShortcut) {
    AppState app;
    app.main_window = window_.get();
    app.role = Role::Diagnostics;
    app.settings = with_capture_shortcut(default_settings(), kFirst);
    app.presentation = std::move(PresentationController::create(app.main_window, app.settings).value());

    const Shortcut candidate{kModCtrl | kModShift, 'Q'};
    auto capture = apply_shape_candidate(app, kRectangleShortcut, kFirst);
    ASSERT_FALSE(capture.has_value());
    EXPECT_EQ(capture.error(), "Shortcut unavailable or invalid: This combination is already used for capture.");

    {
        // Another program's combination passes: presentation mode serves it
        // through its keyboard hook.
        OtherProcessHotkey other(kModAlt | kModShift, 'Q');
        ASSERT_TRUE(other.wait_held());
        ASSERT_TRUE(apply_shape_candidate(app, kArrowShortcut, {kModAlt | kModShift, 'Q'}).has_value());
        EXPECT_EQ(app.settings.shape_shortcuts[0], (ShapeShortcut{kModAlt | kModShift, 'Q'}));
    }

    ASSERT_TRUE(apply_shape_candidate(app, kRectangleShortcut, candidate).has_value());
    EXPECT_EQ(app.settings.shape_shortcuts[1], (ShapeShortcut{candidate.modifiers, candidate.key}));
    EXPECT_EQ(app.presentation->state().settings.shape_shortcuts[1], app.settings.shape_shortcuts[1]);
    // Id 99 was given back.
    EXPECT_EQ(try_from_other_process(candidate.modifiers, candidate.key), kTryRegistered);

    auto duplicate = apply_shape_candidate(app, kEllipseShortcut, candidate);
    ASSERT_FALSE(duplicate.has_value());
    EXPECT_EQ(duplicate.error(), "Shortcut unavailable or invalid: Duplicate shape shortcut");
    EXPECT_EQ(app.settings.shape_shortcuts[2], (ShapeShortcut{kModAlt, 'C'}));
    unregister_capture(app.capture_hotkey);
}

TEST(ShortcutNamesWin32, LayoutNamesAndFixedTable) {
    EXPECT_EQ(shortcut_name(3, 0x43), "Ctrl + Alt + C");
    EXPECT_EQ(shortcut_name(kModCtrl | kModShift, 'S'), "Ctrl + Shift + S");
    EXPECT_EQ(shortcut_name(0, VK_SNAPSHOT), "Print Screen");
    EXPECT_EQ(shortcut_name(kModWin, VK_F5), "Win + F5");
    // 0xFF has no scan code in any layout.
    EXPECT_EQ(shortcut_name(0, 0xFF), "Key 0xFF");
}

TEST(HotkeyDiagnostic, RegistersAndReleasesEveryCombination) {
    auto result = run_hotkey_diagnostic();
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, 0);
    // Nothing is left behind: the last combination is free again.
    ASSERT_TRUE(::RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'A'));
    ::UnregisterHotKey(nullptr, 1);
}

}  // namespace
