// Presentation mode driven as a presenter would, through the real resident:
// features switched on from the tray menu, the pointer moved and clicked,
// shape shortcuts and keys typed at the X server (the keyboard hook ignores
// injected keys, and Wine turns only real keys into another process's hot
// keys), and the screen read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/runtime/com_apartment_win32.h"
#include "presentation/devices/keyboard_picture.h"
#include "presentation/devices/panel_layout.h"
#include "session/io/png_win32.h"
#include "settings/settings.h"
#include "support/editor_e2e_support_win32.h"
#include "support/hotkey_support_win32.h"
#include "support/process_win32.h"
#include "support/window_probe_win32.h"

#ifdef KADROVIX_EXE_PATH

using namespace kadrovix;
using namespace kadrovix::testing;

namespace {

constexpr wchar_t kMainClass[] = L"Kadrovix.Window";
constexpr wchar_t kOverlayClass[] = L"Kadrovix.Presentation";
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kStepTimeoutMs = 10000;

// Menu rows below the top, as the keyboard walks them.
constexpr int kHaloRow = 4;
constexpr int kShapesRow = 5;
constexpr int kKeysRow = 6;

void save_png(const BgraImage& image, const wchar_t* name) {
    win32::ComApartment com;
    const std::wstring folder = windows_program_path(KADROVIX_SOURCE_DIR "/target/screenshots");
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(folder), ignored);
    EXPECT_TRUE(win32::write_png_file(image, folder + L"\\" + name).has_value()) << "cannot write a screenshot";
}

RECT window_rect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

// Types at the X server, as a keyboard would: `keys` in xdotool's words
// ("alt+r", "keydown a"). Wine passes an ELF program to the system to run.
bool x_keys(const std::string& keys) {
    const std::wstring command = L"Z:\\usr\\bin\\xdotool " + std::wstring(keys.begin(), keys.end());
    PROCESS_INFORMATION info{};
    if (create_process(nullptr, command, info) != ERROR_SUCCESS) return false;
    ::WaitForSingleObject(info.hProcess, 10000);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return true;
}

// How much redder than green a screen pixel is. A held button turns the halo
// from the user's yellow to red: on Windows the disc blends over the desktop,
// under Wine (no compositor) it shows its premultiplied colour; either way
// this measure rises by well over 15.
int redness(int x, int y) {
    const std::uint32_t p = pixel_rgb(grab_virtual_screen_for_test(), x, y);
    return channel(p, 16) - channel(p, 8);
}

// A plain topmost window on a thread of its own, so that another process can
// hand it the foreground as it would any program's window.
class ThreadWindow {
public:
    explicit ThreadWindow(RECT area) : area_(area) {
        ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] { run(); });
        ::WaitForSingleObject(ready_, 10000);
    }
    ~ThreadWindow() {
        if (thread_id_ != 0) ::PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
        if (thread_.joinable()) thread_.join();
        ::CloseHandle(ready_);
    }
    ThreadWindow(const ThreadWindow&) = delete;
    ThreadWindow& operator=(const ThreadWindow&) = delete;
    HWND window() const { return window_; }

private:
    void run() {
        thread_id_ = ::GetCurrentThreadId();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = L"Kadrovix.Test.ThreadWindow";
        ::RegisterClassExW(&wc);
        window_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"front",
                                    WS_POPUP, area_.left, area_.top, area_.right - area_.left,
                                    area_.bottom - area_.top, nullptr, nullptr, wc.hInstance, nullptr);
        ::ShowWindow(window_, SW_SHOWNOACTIVATE);
        ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::SetEvent(ready_);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
        ::DestroyWindow(window_);
    }

    RECT area_;
    HANDLE ready_ = nullptr;
    std::thread thread_;
    DWORD thread_id_ = 0;
    HWND window_ = nullptr;
};

std::optional<Settings> settings_on_disk(const SettingsFileGuard& file) {
    std::ifstream in(file.path(), std::ios::binary);
    if (!in) return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto parsed = parse_settings(text);
    if (!parsed) return std::nullopt;
    return *parsed;
}

// Every 8th pixel of `area` shows the pattern window's picture.
bool shows_pattern(const RECT& area) {
    const BgraImage shot = grab_screen(area);
    if (shot.width == 0) return false;
    for (LONG y = area.top; y < area.bottom; y += 8) {
        for (LONG x = area.left; x < area.right; x += 8) {
            if (pixel_rgb(shot, x - area.left, y - area.top) != pattern_rgb(x, y)) return false;
        }
    }
    return true;
}

class PresentationEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        Settings s = default_settings();
        s.capture_modifiers = MOD_CONTROL | MOD_ALT;
        s.capture_key = VK_F9;
        s.start_with_windows = false;
        s.shape_duration_ms = 1000;
        settings_ = s;
        ASSERT_TRUE(file_.write(format_settings(s)));
        pattern_ = std::make_unique<PatternWindow>();
        ASSERT_NE(pattern_->window(), nullptr);
        ASSERT_TRUE(move_pointer(500, 400));
    }

    void TearDown() override {
        if (main_ != nullptr) ::PostMessageW(main_, WM_CLOSE, 0, 0);
        if (resident_.started() && !resident_.wait(kStepTimeoutMs)) resident_.terminate();
    }

    void start_resident() {
        resident_ = LaunchedProcess(program_path(), {});
        ASSERT_TRUE(resident_.started()) << "CreateProcess failed: " << resident_.start_error();
        main_ = wait_for_window(resident_.id(), kMainClass, [](HWND) { return true; }, kStartTimeoutMs);
        ASSERT_NE(main_, nullptr);
        // Ready once its loop waits for input: it answers sent messages while it still sets up.
        ASSERT_EQ(::WaitForInputIdle(resident_.handle(), kStartTimeoutMs), 0u);
        ASSERT_TRUE(settle(main_));
    }

    // Chooses the menu item `row` rows from the top with the keyboard.
    void choose_menu_row(int row) {
        ASSERT_TRUE(::PostMessageW(main_, MSG_TRAY_CALLBACK, 1, WM_RBUTTONUP));
        HWND menu = wait_for_window(resident_.id(), kPopupMenuClass,
                                    [](HWND w) { return ::IsWindowVisible(w) != FALSE; }, kStartTimeoutMs);
        ASSERT_NE(menu, nullptr) << "the tray menu did not open";
        ASSERT_TRUE(settle(main_));
        for (int i = 0; i < row; ++i) ASSERT_TRUE(press_keys({VK_DOWN}));
        ASSERT_TRUE(press_keys({VK_RETURN}));
        ASSERT_TRUE(wait_until([&] { return !::IsWindowVisible(menu); }, kStepTimeoutMs)) << "the menu stayed open";
        ASSERT_TRUE(settle(main_));
    }

    std::vector<HWND> overlays() const { return top_level_windows(resident_.id(), kOverlayClass); }
    std::vector<HWND> visible_overlays() const {
        std::vector<HWND> shown;
        for (HWND w : overlays()) {
            if (::IsWindowVisible(w)) shown.push_back(w);
        }
        return shown;
    }
    // The visible overlay of the given size, if any.
    HWND overlay_sized(int width, int height) const {
        for (HWND w : visible_overlays()) {
            const RECT r = window_rect(w);
            if (r.right - r.left == width && r.bottom - r.top == height) return w;
        }
        return nullptr;
    }
    // A shape shortcut typed at the X server, until the canvas is drawing in
    // front: Wine can hand the X focus back a moment after the canvas took it,
    // which ends the drawing as any loss of focus does. Null after 3 tries.
    HWND drawing_canvas(const char* keys) const {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (!x_keys(keys)) return nullptr;
            HWND c = nullptr;
            if (!wait_until([&] { return (c = canvas()) != nullptr && ::GetForegroundWindow() == c; }, 5000)) continue;
            if (settle(main_) && canvas() == c && ::GetForegroundWindow() == c) return c;
        }
        return nullptr;
    }
    HWND canvas() const {
        const VirtualScreen vs = virtual_screen();
        return overlay_sized(vs.width, vs.height);
    }

    Settings settings_;
    SettingsFileGuard file_;
    std::unique_ptr<PatternWindow> pattern_;
    LaunchedProcess resident_;
    HWND main_ = nullptr;
};

TEST_F(PresentationEndToEnd, HaloFollowsThePointerAndTurnsRedWhileAButtonIsHeld) {
    ASSERT_NO_FATAL_FAILURE(start_resident());
    ASSERT_NO_FATAL_FAILURE(choose_menu_row(kHaloRow));
    constexpr int kSide = 72;  // at 96 DPI

    const POINT at{300, 220};
    ASSERT_TRUE(move_pointer(at.x - 5, at.y));
    ASSERT_TRUE(move_pointer(at.x, at.y));
    HWND halo = nullptr;
    ASSERT_TRUE(wait_until(
        [&] {
            halo = overlay_sized(kSide, kSide);
            if (halo == nullptr) return false;
            const RECT r = window_rect(halo);
            return std::abs(r.left - (at.x - kSide / 2)) <= 1 && std::abs(r.top - (at.y - kSide / 2)) <= 1;
        },
        kStepTimeoutMs))
        << "no halo centred on the pointer";
    EXPECT_NE(::GetWindowLongPtrW(halo, GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0) << "the halo must let clicks through";

    // A point inside the disc, away from its outline and ring.
    const POINT inside{at.x + 10, at.y - 6};
    const RECT around{at.x - kSide, at.y - kSide, at.x + kSide, at.y + kSide};
    ASSERT_TRUE(wait_until([&] { return pixel_rgb(grab_virtual_screen_for_test(), inside.x, inside.y) !=
                                        pattern_rgb(inside.x, inside.y); },
                           kStepTimeoutMs))
        << "the halo does not show";
    const int idle = redness(inside.x, inside.y);
    save_png(grab_screen(around), L"presentation-halo-idle.png");

    ASSERT_TRUE(send_mouse(at.x, at.y, MOUSEEVENTF_LEFTDOWN));
    EXPECT_TRUE(wait_until([&] { return redness(inside.x, inside.y) >= idle + 15; }, kStepTimeoutMs))
        << "the halo is not red while the button is held";
    save_png(grab_screen(around), L"presentation-halo-pressed.png");
    ASSERT_TRUE(send_mouse(at.x, at.y, MOUSEEVENTF_LEFTUP));
    EXPECT_TRUE(wait_until([&] { return redness(inside.x, inside.y) <= idle + 3; }, kStepTimeoutMs))
        << "the halo stays red after the release";
}

// The rectangle's colour, drawn at full opacity: the same on every screen.
constexpr std::uint32_t kShapeRed = 0xED4F5C;

TEST_F(PresentationEndToEnd, ShapeShortcutDrawsAShapeThatFadesAndEscOrCtrlAltEscEndEverything) {
    ASSERT_NO_FATAL_FAILURE(start_resident());

    // Alt+R and a drag: a rectangle over everything, gone after its second.
    HWND drawing = drawing_canvas("key alt+r");
    ASSERT_NE(drawing, nullptr) << "Alt+R made no canvas";
    ASSERT_TRUE(drag(main_, POINT{200, 150}, POINT{420, 330}));
    ULONGLONG released = ::GetTickCount64();
    ASSERT_TRUE(wait_until([] { return screen_shows_near(200, 240, kShapeRed, 8); }, kStepTimeoutMs))
        << "no rectangle edge on screen";
    EXPECT_TRUE(screen_shows_near(310, 330, kShapeRed, 8)) << "the bottom edge is missing";
    save_png(grab_virtual_screen_for_test(), L"presentation-shapes.png");
    // Around the rectangle only: Wine shows its own notification-area window
    // at the screen's corner while the resident has an icon.
    EXPECT_TRUE(wait_until([] { return shows_pattern(RECT{180, 130, 440, 350}); }, kStepTimeoutMs))
        << "the rectangle never faded";
    EXPECT_GE(::GetTickCount64() - released, 500u) << "the rectangle went before its last 500 ms";
    EXPECT_TRUE(wait_until([&] { return canvas() == nullptr; }, kStepTimeoutMs)) << "the empty canvas stayed";

    // Esc in mid-drag: no shape, and the window in front before comes back.
    ThreadWindow front(RECT{880, 20, 1000, 100});
    ASSERT_TRUE(bring_to_foreground(front.window(), kStepTimeoutMs));
    drawing = drawing_canvas("key alt+r");
    ASSERT_NE(drawing, nullptr) << "the canvas did not take the foreground";
    ASSERT_TRUE(move_pointer(300, 300));
    ASSERT_TRUE(send_mouse(300, 300, MOUSEEVENTF_LEFTDOWN) && settle(drawing));
    ASSERT_TRUE(send_mouse(420, 400) && settle(drawing));
    ASSERT_TRUE(press_keys({VK_ESCAPE}));
    EXPECT_TRUE(wait_until([&] { return canvas() == nullptr; }, kStepTimeoutMs)) << "Esc left the canvas";
    EXPECT_TRUE(wait_until([&] { return ::GetForegroundWindow() == front.window(); }, kStepTimeoutMs))
        << "the foreground did not come back";
    ASSERT_TRUE(send_mouse(420, 400, MOUSEEVENTF_LEFTUP));
    ASSERT_TRUE(settle(main_));
    // A kept shape would bring the canvas back to fade it out. (The screen
    // itself may show the old canvas a little longer: Wine takes its time to
    // take a full-screen layered window off an X server without a window
    // manager.)
    EXPECT_TRUE(visible_overlays().empty()) << "the dropped shape was kept";

    // Everything on, then Ctrl+Alt+Esc: no overlay, nothing held.
    ASSERT_NO_FATAL_FAILURE(choose_menu_row(kHaloRow));
    ASSERT_NO_FATAL_FAILURE(choose_menu_row(kKeysRow));
    ASSERT_TRUE(move_pointer(600, 300));
    ASSERT_TRUE(x_keys("key alt+f"));
    ASSERT_TRUE(wait_until([&] { return canvas() != nullptr && visible_overlays().size() == 4; }, kStepTimeoutMs))
        << "expected halo, canvas, panel and handle";
    ASSERT_TRUE(x_keys("key ctrl+alt+Escape"));
    EXPECT_TRUE(wait_until([&] { return overlays().empty(); }, kStepTimeoutMs)) << "overlays left after Ctrl+Alt+Esc";
    ASSERT_TRUE(settle(main_));
    EXPECT_EQ(try_from_other_process(MOD_CONTROL | MOD_ALT, VK_ESCAPE), kTryRegistered);
    EXPECT_EQ(try_from_other_process(MOD_ALT, 'F'), kTryRegistered);
    EXPECT_EQ(try_from_other_process(MOD_ALT, 'R'), kTryRegistered);
    EXPECT_EQ(try_from_other_process(MOD_ALT, 'C'), kTryRegistered);
}

TEST_F(PresentationEndToEnd, AShapeShortcutHeldByAnotherProgramIsServedByTheHook) {
    OtherProcessHotkey other(MOD_ALT, 'R');
    ASSERT_TRUE(other.wait_held());
    ASSERT_NO_FATAL_FAILURE(start_resident());
    // Activation succeeded: the other shortcuts are the resident's.
    EXPECT_TRUE(
        wait_until([] { return try_from_other_process(MOD_ALT, 'F') == kTryAlreadyRegistered; }, kStepTimeoutMs));
    EXPECT_TRUE(top_level_windows(resident_.id(), L"Kadrovix.Confirmation").empty())
        << "a shortcut was reported unavailable";

    ASSERT_NE(drawing_canvas("key alt+r"), nullptr) << "the hook did not serve Alt+R";
    ASSERT_TRUE(drag(main_, POINT{600, 200}, POINT{800, 360}));
    EXPECT_TRUE(wait_until([] { return screen_shows_near(600, 280, kShapeRed, 8); }, kStepTimeoutMs))
        << "the hook's Alt+R drew no rectangle";
}

TEST_F(PresentationEndToEnd, KeyboardAndMouseDisplayLightsKeysMovesAndLocks) {
    const devices::PanelGeometry geometry = devices::panel_geometry(96);
    const VirtualScreen vs = virtual_screen();
    // Bottom centre of a work area that is the whole screen here.
    const POINT panel{(vs.width - geometry.width) / 2, vs.height - geometry.height - geometry.margin};
    ASSERT_NO_FATAL_FAILURE(start_resident());
    ASSERT_NO_FATAL_FAILURE(choose_menu_row(kKeysRow));
    HWND display = nullptr;
    ASSERT_TRUE(wait_until([&] { return (display = overlay_sized(geometry.width, geometry.height)) != nullptr; },
                           kStepTimeoutMs));
    ASSERT_TRUE(wait_until([&] { const RECT r = window_rect(display); return r.left == panel.x && r.top == panel.y; },
                           kStepTimeoutMs))
        << "the panel is not at the bottom centre";

    // A held A lights its cap (light blue); the cap next to it stays unlit.
    const devices::KeyBox* a_key = nullptr;
    const auto picture = devices::keyboard_picture(true);
    for (const devices::KeyBox& box : picture) {
        if (box.slot == 30) a_key = &box;
    }
    ASSERT_NE(a_key, nullptr);
    const int ax = panel.x + static_cast<int>(a_key->left) + 2;
    const int ay = panel.y + static_cast<int>(a_key->top) + 12;
    const auto lit = [](std::uint32_t p) { return channel(p, 0) >= 180 && channel(p, 0) - channel(p, 16) >= 60; };
    EXPECT_FALSE(lit(pixel_rgb(grab_virtual_screen_for_test(), ax, ay)));
    ASSERT_TRUE(x_keys("keydown a"));
    EXPECT_TRUE(wait_until([&] { return lit(pixel_rgb(grab_virtual_screen_for_test(), ax, ay)); }, kStepTimeoutMs))
        << "A did not light its cap";
    save_png(grab_screen(window_rect(display)), L"presentation-keys.png");
    ASSERT_TRUE(x_keys("keyup a"));
    EXPECT_TRUE(wait_until([&] { return !lit(pixel_rgb(grab_virtual_screen_for_test(), ax, ay)); }, kStepTimeoutMs))
        << "A stayed lit";

    // A drag while the file cannot be written (another process holds the
    // settings lock): the panel moves, presentation goes on and the file
    // stays as it was.
    const std::optional<Settings> before = settings_on_disk(file_);
    ASSERT_TRUE(before.has_value());
    ASSERT_FALSE(before->input_display_offset.has_value());
    const POINT grip{panel.x + 200, panel.y + 70};
    {
        auto lock = SettingsWriteLock::acquire();
        ASSERT_TRUE(lock.has_value());
        ASSERT_TRUE(drag(display, grip, POINT{grip.x + 100, grip.y - 300}));
        ASSERT_TRUE(wait_until([&] { return !top_level_windows(resident_.id(), L"Kadrovix.Confirmation").empty(); },
                               kStepTimeoutMs))
            << "the failed save was not reported";
    }
    EXPECT_EQ(settings_on_disk(file_), before) << "a busy settings file was changed";
    EXPECT_TRUE(::IsWindowVisible(display)) << "presentation stopped after a failed save";

    // The same drag stores where the panel went.
    const RECT moved = window_rect(display);
    EXPECT_LT(moved.top, panel.y - 200) << "the panel did not follow the drag";
    const POINT grip2{moved.left + 200, moved.top + 70};
    ASSERT_TRUE(drag(display, grip2, POINT{grip2.x - 100, grip2.y + 10}));
    std::optional<Settings> after;
    ASSERT_TRUE(wait_until([&] { return (after = settings_on_disk(file_)) && after->input_display_offset.has_value(); },
                           kStepTimeoutMs))
        << "the drag left no offset in the settings file";

    // Back at its place, locked: a click on it reaches the window below.
    // Each drag is over once its place is stored: the release travels as raw
    // input, which a round trip to the window does not wait for.
    const auto stored_offset = after->input_display_offset;
    const RECT before_home = window_rect(display);
    ASSERT_TRUE(drag(display, POINT{before_home.left + 200, before_home.top + 70},
                     POINT{panel.x + 200, panel.y + 70}));
    ASSERT_TRUE(wait_until(
        [&] { return (after = settings_on_disk(file_)) && after->input_display_offset != stored_offset; },
        kStepTimeoutMs))
        << "the drag home was not stored";
    const RECT home = window_rect(display);
    HWND handle = overlay_sized(geometry.handle_side, geometry.handle_side);
    ASSERT_NE(handle, nullptr);
    const RECT handle_rect = window_rect(handle);
    EXPECT_EQ(handle_rect.left - home.left, geometry.handle_left);
    ASSERT_TRUE(click(handle, POINT{handle_rect.left + 8, handle_rect.top + 8}));
    ASSERT_TRUE(wait_until([&] { return (after = settings_on_disk(file_)) && after->input_display_lock; },
                           kStepTimeoutMs))
        << "the lock was not stored";
    ASSERT_TRUE(wait_until([&] { return (::GetWindowLongPtrW(display, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0; },
                           kStepTimeoutMs));
    const int clicks_before = pattern_->clicks();
    ASSERT_TRUE(click(pattern_->window(), POINT{home.left + 30, home.top + 40}));
    EXPECT_TRUE(wait_until([&] { return pattern_->clicks() > clicks_before; }, kStepTimeoutMs))
        << "the locked panel kept the click";
}

}  // namespace

#endif  // KADROVIX_EXE_PATH
