#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "app/notice/toast_win32.h"
#include "app/runtime/com_apartment_win32.h"
#include "app/setup/hotkeys.h"
#include "app/setup/hotkeys_win32.h"
#include "app/setup/settings_panel_win32.h"
#include "render/bgra_image.h"
#include "session/io/png_win32.h"
#include "settings/settings.h"
#include "settings/settings_storage_win32.h"
#include "support/canvas_win32.h"
#include "support/hotkey_support_win32.h"

namespace fs = std::filesystem;
using namespace kadrovix;
using kadrovix::testing::HotkeyWindow;
using kadrovix::testing::OtherProcessHotkey;

namespace {

constexpr std::uint32_t kBackground = 0x202020;
constexpr std::uint32_t kAccent = 0x60CDFF;
constexpr std::uint32_t kBorder = 0x494949;
constexpr std::uint32_t kDisabledSave = 0x383838;

constexpr Shortcut kCapture{kModCtrl | kModAlt | kModShift, VK_F9};
constexpr Shortcut kHeldElsewhere{kModCtrl | kModAlt | kModShift, VK_F12};

// The panel's client area painted into a top-down 32-bit DIB.
class PanelPicture {
public:
    PanelPicture(AppState& app, HWND window) : canvas_(client_width(window), client_height(window)) {
        canvas_.fill(0x555555);
        paint_panel(app, window, canvas_.dc());
    }

    int width() const { return canvas_.width(); }
    int height() const { return canvas_.height(); }
    std::uint32_t rgb(int x, int y) const { return canvas_.rgb(x, y); }

    void save_png(const std::string& name) const {
        EXPECT_TRUE(kadrovix::testing::save_preview(canvas_.image(), std::wstring(name.begin(), name.end()) + L".png"))
            << name;
    }

private:
    static int client_width(HWND window) {
        RECT client{};
        ::GetClientRect(window, &client);
        return client.right;
    }
    static int client_height(HWND window) {
        RECT client{};
        ::GetClientRect(window, &client);
        return client.bottom;
    }

    kadrovix::testing::Canvas canvas_;
};

void set_modifier_keys(bool ctrl, bool shift) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    const auto set = [&](int vk, bool down) { keys[vk] = down ? 0x80 : 0; };
    set(VK_CONTROL, ctrl);
    set(VK_LCONTROL, ctrl);
    set(VK_SHIFT, shift);
    set(VK_LSHIFT, shift);
    set(VK_MENU, false);
    set(VK_LWIN, false);
    set(VK_RWIN, false);
    ::SetKeyboardState(keys);
}

bool quit_posted() {
    MSG msg{};
    return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

class SettingsPanelWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window_.get(), nullptr);
        auto path = settings_path();
        ASSERT_TRUE(path.has_value());
        file_ = *path;
        std::error_code ec;
        fs::remove_all(file_.parent_path(), ec);
        app_.main_window = window_.get();
        app_.capture_hotkey.window = window_.get();
        app_.role = Role::Resident;
    }
    void TearDown() override {
        close_toast(app_);
        unregister_capture(app_.capture_hotkey);
        set_modifier_keys(false, false);
        while (quit_posted()) {
        }
        std::error_code ec;
        fs::remove_all(file_.parent_path(), ec);
    }
    void store(const Settings& s) {
        fs::create_directories(file_.parent_path());
        std::ofstream(file_, std::ios::binary | std::ios::trunc) << format_settings(s);
    }
    Settings stored_capture() {
        Settings s = default_settings();
        s.capture_modifiers = kCapture.modifiers;
        s.capture_key = kCapture.key;
        return s;
    }

    win32::ComApartment com_;  // first made, last gone
    HotkeyWindow window_;
    AppState app_;
    fs::path file_;
};

TEST_F(SettingsPanelWindow, OpensAsCentredDarkCaptionedWindowFromTheFileOnDisk) {
    // The in-memory copy is stale; opening reads the file afresh.
    store(stored_capture());
    app_.settings = default_settings();
    ASSERT_TRUE(open_panel(app_, PanelPage::Capture).has_value());
    EXPECT_TRUE(app_.panel_open);
    EXPECT_EQ(app_.settings.capture_key, kCapture.key);
    EXPECT_FALSE(app_.panel.capturing);
    EXPECT_TRUE(app_.panel.has_candidate);
    EXPECT_EQ(app_.panel.candidate, kCapture);

    const LONG_PTR style = ::GetWindowLongPtrW(window_.get(), GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(style & WS_SYSMENU, WS_SYSMENU);
    EXPECT_TRUE(::IsWindowVisible(window_.get()));
    EXPECT_EQ(::GetWindowLongPtrW(window_.get(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    const UINT dpi = std::max(96u, ::GetDpiForWindow(window_.get()));
    RECT client{};
    ::GetClientRect(window_.get(), &client);
    EXPECT_EQ(client.right, ::MulDiv(640, static_cast<int>(dpi), 96));
    EXPECT_EQ(client.bottom, ::MulDiv(450, static_cast<int>(dpi), 96));

    RECT frame{};
    ::GetWindowRect(window_.get(), &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(window_.get(), MONITOR_DEFAULTTONEAREST), &monitor));
    EXPECT_NEAR(frame.left + frame.right, monitor.rcWork.left + monitor.rcWork.right, 1);
    EXPECT_NEAR(frame.top + frame.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);

    // A read failure keeps the panel closed and reports the file's fault.
    close_panel(app_);
    EXPECT_FALSE(app_.panel_open);
    std::ofstream(file_, std::ios::binary | std::ios::trunc) << "kadrovix-settings-9\n";
    auto damaged = open_panel(app_, PanelPage::Arrow);
    ASSERT_FALSE(damaged.has_value());
    EXPECT_EQ(damaged.error().message, std::string(kUnsupportedSettingsMessage));
    EXPECT_FALSE(app_.panel_open);
}

TEST_F(SettingsPanelWindow, PaintsBackgroundAndAccentOutlineWhileCapturing) {
    // Fresh profile: the capture page waits for a key straight away.
    ASSERT_TRUE(open_panel(app_, PanelPage::Capture).has_value());
    ASSERT_TRUE(app_.panel.capturing);
    {
        PanelPicture picture(app_, window_.get());
        ASSERT_EQ(picture.width(), 640);
        ASSERT_EQ(picture.height(), 450);
        EXPECT_EQ(picture.rgb(2, 2), kBackground);
        EXPECT_EQ(picture.rgb(620, 440), kBackground);
        EXPECT_EQ(picture.rgb(320, 184), kAccent);  // top edge of the box
        EXPECT_EQ(picture.rgb(32, 223), kAccent);   // left edge
        EXPECT_EQ(picture.rgb(607, 223), kAccent);  // right edge
        EXPECT_EQ(picture.rgb(455, 372), kDisabledSave);
        picture.save_png("settings-panel-capturing");
    }

    // Ctrl+Shift+S: the candidate, focus on an enabled Save.
    set_modifier_keys(true, true);
    ASSERT_TRUE(panel_key(app_, VK_CONTROL, false).has_value());
    EXPECT_TRUE(app_.panel.capturing);
    ASSERT_TRUE(panel_key(app_, 'S', false).has_value());
    set_modifier_keys(false, false);
    EXPECT_FALSE(app_.panel.capturing);
    EXPECT_EQ(app_.panel.candidate, (Shortcut{kModCtrl | kModShift, 'S'}));
    EXPECT_EQ(app_.panel.focus, PanelItem::Save);
    {
        PanelPicture picture(app_, window_.get());
        EXPECT_EQ(picture.rgb(32, 223), kBorder);  // box no longer active
        EXPECT_EQ(picture.rgb(470, 372), kAccent);  // Save filled with the accent
        picture.save_png("settings-panel-candidate");
    }
}

TEST_F(SettingsPanelWindow, SaveIsIgnoredWhileCapturingAndCancelOnFirstStartQuits) {
    ASSERT_TRUE(open_panel(app_, PanelPage::Capture).has_value());
    ASSERT_TRUE(app_.panel.capturing);
    ASSERT_TRUE(panel_left_button(app_, POINT{528, 390}).has_value());
    EXPECT_TRUE(app_.panel_open);
    EXPECT_TRUE(app_.panel.capturing);

    // Escape while capturing is the chosen key, not Cancel.
    ASSERT_TRUE(panel_key(app_, VK_ESCAPE, false).has_value());
    EXPECT_TRUE(app_.panel_open);
    EXPECT_EQ(app_.panel.candidate, (Shortcut{0, VK_ESCAPE}));

    // No capture shortcut registered: Cancel on the capture page ends the resident.
    EXPECT_FALSE(quit_posted());
    ASSERT_TRUE(panel_left_button(app_, POINT{314, 366}).has_value());
    EXPECT_FALSE(app_.panel_open);
    EXPECT_TRUE(quit_posted());
}

TEST_F(SettingsPanelWindow, CancelWithARegisteredShortcutOnlyHides) {
    store(stored_capture());
    app_.settings = stored_capture();
    ASSERT_TRUE(register_startup_capture_shortcut(app_));
    ASSERT_TRUE(open_panel(app_, PanelPage::Capture).has_value());
    ASSERT_TRUE(panel_key(app_, VK_TAB, false).has_value());  // focus Cancel
    ASSERT_TRUE(panel_key(app_, VK_RETURN, false).has_value());
    EXPECT_FALSE(app_.panel_open);
    EXPECT_FALSE(::IsWindowVisible(window_.get()));
    EXPECT_FALSE(quit_posted());
}

TEST_F(SettingsPanelWindow, SavingAChosenShortcutClosesAndConfirms) {
    store(stored_capture());
    app_.settings = stored_capture();
    ASSERT_TRUE(register_startup_capture_shortcut(app_));
    ASSERT_TRUE(open_panel(app_, PanelPage::Capture).has_value());

    // Print Screen arrives on key-up only, and as a registered hot key it
    // would arrive as WM_HOTKEY: both become the candidate.
    ASSERT_TRUE(panel_left_button(app_, POINT{100, 220}).has_value());
    ASSERT_TRUE(app_.panel.capturing);
    ASSERT_TRUE(panel_key(app_, VK_SNAPSHOT, true).has_value());
    EXPECT_EQ(app_.panel.candidate, (Shortcut{0, VK_SNAPSHOT}));
    ASSERT_TRUE(panel_key(app_, VK_RETURN, false).has_value());  // Save has the focus

    EXPECT_FALSE(app_.panel_open);
    EXPECT_FALSE(::IsWindowVisible(window_.get()));
    EXPECT_EQ(app_.settings.capture_key, static_cast<std::uint32_t>(VK_SNAPSHOT));
    EXPECT_EQ(app_.capture_hotkey.id, 2);
    EXPECT_NE(app_.toast_window, nullptr);  // "Settings saved."
    auto back = read_settings_file(file_);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->capture_key, static_cast<std::uint32_t>(VK_SNAPSHOT));
    EXPECT_EQ(back->capture_modifiers, 0u);
}

TEST_F(SettingsPanelWindow, RefusalsStayInThePanelInRed) {
    store(stored_capture());
    app_.settings = stored_capture();
    ASSERT_TRUE(register_startup_capture_shortcut(app_));
    OtherProcessHotkey other(kHeldElsewhere.modifiers, kHeldElsewhere.key);
    ASSERT_TRUE(other.wait_held());

    ASSERT_TRUE(open_panel(app_, PanelPage::Capture).has_value());
    ASSERT_TRUE(panel_left_button(app_, POINT{100, 220}).has_value());
    ASSERT_TRUE(panel_hotkey(app_, kHeldElsewhere.modifiers, kHeldElsewhere.key).has_value());
    ASSERT_EQ(app_.panel.focus, PanelItem::Save);
    ASSERT_TRUE(panel_left_button(app_, POINT{608, 414}).has_value());  // Save's corner
    EXPECT_TRUE(app_.panel_open);
    EXPECT_EQ(app_.panel.message,
              "Unable to register this shortcut (-2147023487). It may be reserved or already in use.");
    EXPECT_EQ(app_.settings.capture_key, kCapture.key);
    EXPECT_EQ(app_.capture_hotkey.id, 1);
    {
        PanelPicture picture(app_, window_.get());
        picture.save_png("settings-panel-error");
    }

    // A shape page refusal, shown the same way.
    close_panel(app_);
    ASSERT_TRUE(open_panel(app_, PanelPage::Ellipse).has_value());
    EXPECT_EQ(app_.panel.candidate, (Shortcut{kModAlt, 'C'}));
    ASSERT_TRUE(panel_key(app_, VK_SPACE, false).has_value());
    ASSERT_TRUE(panel_hotkey(app_, kModAlt, 'F').has_value());
    ASSERT_TRUE(panel_key(app_, VK_RETURN, false).has_value());
    EXPECT_EQ(app_.panel.message, "Shortcut unavailable or invalid: Duplicate shape shortcut");
    EXPECT_TRUE(app_.panel_open);
}

TEST_F(SettingsPanelWindow, FollowsDpiChangesAndScalesItsDrawing) {
    ASSERT_TRUE(open_panel(app_, PanelPage::Arrow).has_value());
    RECT frame{};
    ::GetWindowRect(window_.get(), &frame);
    RECT client{};
    ::GetClientRect(window_.get(), &client);
    const int extra_x = (frame.right - frame.left) - client.right;
    const int extra_y = (frame.bottom - frame.top) - client.bottom;
    // As the system would suggest for 150 %.
    const RECT suggested{40, 30, 40 + 960 + extra_x, 30 + 675 + extra_y};
    panel_dpi_changed(window_.get(), &suggested);
    ::GetWindowRect(window_.get(), &frame);
    EXPECT_EQ(frame.left, suggested.left);
    EXPECT_EQ(frame.top, suggested.top);
    EXPECT_EQ(frame.right, suggested.right);
    EXPECT_EQ(frame.bottom, suggested.bottom);

    PanelPicture picture(app_, window_.get());
    ASSERT_EQ(picture.width(), 960);
    EXPECT_EQ(picture.rgb(3, 3), kBackground);
    // Focus starts on the box: its accent outline at 1.5 x the logical position.
    EXPECT_EQ(picture.rgb(48, 330), kAccent);
    EXPECT_EQ(picture.rgb(480, 276), kAccent);
    picture.save_png("settings-panel-arrow-150");
    // Clicks map back to logical units: Cancel at 150 %.
    ASSERT_TRUE(panel_left_button(app_, POINT{471 + 100, 549 + 20}).has_value());
    EXPECT_FALSE(app_.panel_open);
}

}  // namespace
