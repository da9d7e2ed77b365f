#include "app/notice/toast_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/notice/toast.h"
#include "support/canvas_win32.h"

using namespace kadrovix;
using kadrovix::testing::Canvas;
using kadrovix::testing::near_rgb;
using kadrovix::testing::pump_until;

namespace {

constexpr wchar_t kPlainClass[] = L"Kadrovix.Test.Plain";

LRESULT CALLBACK plain_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return ::DefWindowProcW(window, message, wparam, lparam);
}

// An ordinary visible window the user could be working in.
HWND create_plain_window(int x, int y, int width, int height) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = plain_proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kPlainClass;
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    ::RegisterClassExW(&wc);
    HWND window = ::CreateWindowExW(0, kPlainClass, L"work", WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr,
                                    nullptr, wc.hInstance, nullptr);
    return window;
}

std::wstring class_of(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::wstring title_of(HWND window) {
    wchar_t text[300] = {};
    ::GetWindowTextW(window, text, 300);
    return text;
}

class Toast : public ::testing::Test {
protected:
    void SetUp() override {
        app_.role = Role::Resident;
        // Toasts go to the monitor under the cursor; keep it on the primary.
        ::SetCursorPos(10, 10);
    }
    void TearDown() override {
        close_toast(app_);
        for (HWND w : windows_) ::DestroyWindow(w);
    }
    HWND plain(int x, int y, int width, int height) {
        HWND w = create_plain_window(x, y, width, height);
        windows_.push_back(w);
        return w;
    }
    AppState app_;
    std::vector<HWND> windows_;
};

}  // namespace

TEST_F(Toast, WindowClassStylesAndPlacementOnTheWorkArea) {
    show_toast(app_, "Image saved.");
    HWND toast = app_.toast_window;
    ASSERT_NE(toast, nullptr);
    EXPECT_EQ(class_of(toast), L"Kadrovix.Confirmation");
    EXPECT_EQ(title_of(toast), L"Image saved.");
    EXPECT_TRUE(::IsWindowVisible(toast));

    const auto ex = static_cast<DWORD>(::GetWindowLongPtrW(toast, GWL_EXSTYLE));
    for (DWORD bit : {DWORD{WS_EX_TOPMOST}, DWORD{WS_EX_TRANSPARENT}, DWORD{WS_EX_TOOLWINDOW}, DWORD{WS_EX_LAYERED},
                      DWORD{WS_EX_NOACTIVATE}}) {
        EXPECT_EQ(ex & bit, bit) << std::hex << bit;
    }
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(toast, GWL_STYLE));
    EXPECT_EQ(style & WS_POPUP, DWORD{WS_POPUP});
    EXPECT_EQ(style & WS_CAPTION, 0u);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT& work = monitor.rcWork;
    const ToastPlacement expected =
        toast_placement(WorkArea{work.left, work.top, work.right, work.bottom}, ::GetDpiForWindow(toast));
    RECT r{};
    ASSERT_TRUE(::GetWindowRect(toast, &r));
    EXPECT_EQ(r.left, expected.x);
    EXPECT_EQ(r.top, expected.y);
    EXPECT_EQ(r.right - r.left, expected.width);
    EXPECT_EQ(r.bottom - r.top, expected.height);
    const int dpi = std::max<int>(96, static_cast<int>(::GetDpiForWindow(toast)));
    EXPECT_EQ(work.bottom - r.bottom, 24 * dpi / 96);
    EXPECT_LE(std::abs((r.left - work.left) - (work.right - r.right)), 1);

    // The rounded window region covers the window.
    RECT region_box{};
    EXPECT_NE(::GetWindowRgnBox(toast, &region_box), ERROR);
    EXPECT_EQ(region_box.right - region_box.left, expected.width);

    // Fully opaque at first.
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(toast, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 255);
    EXPECT_EQ(flags & LWA_ALPHA, DWORD{LWA_ALPHA});
}

TEST_F(Toast, OnScreenUnlessExcludedFromCapture) {
    show_toast(app_, "Image saved.");
    HWND toast = app_.toast_window;
    ASSERT_NE(toast, nullptr);
    ASSERT_TRUE(pump_until([&] { return !::GetUpdateRect(toast, nullptr, FALSE); }, 2000));
    ::GdiFlush();
    RECT r{};
    ASSERT_TRUE(::GetWindowRect(toast, &r));
    Canvas canvas(r.right - r.left, r.bottom - r.top);
    ASSERT_TRUE(canvas.ok());
    HDC screen = ::GetDC(nullptr);
    ASSERT_TRUE(::BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), screen, r.left, r.top, SRCCOPY));
    ::ReleaseDC(nullptr, screen);

    // Where the system honours the exclusion the grab must not show the
    // toast; where it has no such mode the toast is an ordinary window.
    DWORD affinity = 0;
    const bool excluded = ::GetWindowDisplayAffinity(toast, &affinity) && affinity == WDA_EXCLUDEFROMCAPTURE;
    const std::uint32_t fill = canvas.rgb(canvas.width() / 20, canvas.height() / 2);
    if (excluded) {
        EXPECT_NE(fill, 0x262626u);
    } else {
        EXPECT_EQ(fill, 0x262626u) << std::hex << fill;
        EXPECT_EQ(canvas.rgb(canvas.width() / 2, 0), 0x494949u);
        (void)kadrovix::testing::save_preview(canvas.image(), L"toast_on_screen.png");
    }
}

TEST_F(Toast, ClicksPassThroughToTheWindowBelow) {
    show_toast(app_, "Screenshot copied to clipboard.");
    HWND toast = app_.toast_window;
    ASSERT_NE(toast, nullptr);
    RECT r{};
    ASSERT_TRUE(::GetWindowRect(toast, &r));
    HWND below = plain(r.left - 20, r.top - 20, (r.right - r.left) + 40, (r.bottom - r.top) + 40);
    ASSERT_NE(below, nullptr);
    ::SetWindowPos(toast, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    EXPECT_EQ(::SendMessageW(toast, WM_NCHITTEST, 0, MAKELPARAM(r.left + 5, r.top + 5)), HTTRANSPARENT);
    EXPECT_EQ(::SendMessageW(toast, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(toast), 0), MA_NOACTIVATE);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    EXPECT_EQ(::WindowFromPoint(centre), below);
}

TEST_F(Toast, DoesNotTakeTheFocusFromTheWindowInUse) {
    HWND work = plain(100, 100, 300, 200);
    ASSERT_NE(work, nullptr);
    ::SetForegroundWindow(work);
    ::SetFocus(work);
    ASSERT_TRUE(pump_until([&] { return ::GetForegroundWindow() == work && ::GetFocus() == work; }, 3000));

    show_toast(app_, "Image saved.");
    ASSERT_NE(app_.toast_window, nullptr);
    // Let the toast paint and tick a few times.
    const ULONGLONG start = ::GetTickCount64();
    pump_until([&] { return ::GetTickCount64() - start >= 200; }, 1000);
    EXPECT_EQ(::GetForegroundWindow(), work);
    EXPECT_EQ(::GetFocus(), work);
    EXPECT_EQ(::GetActiveWindow(), work);
}

TEST_F(Toast, SecondToastReplacesTheFirst) {
    show_toast(app_, "Image saved.");
    HWND first = app_.toast_window;
    ASSERT_NE(first, nullptr);
    show_toast(app_, "Settings saved.");
    HWND second = app_.toast_window;
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_EQ(title_of(second), L"Settings saved.");

    // Only one toast of this class exists in the process.
    int count = 0;
    HWND w = nullptr;
    while ((w = ::FindWindowExW(nullptr, w, kToastWindowClass, nullptr)) != nullptr) ++count;
    EXPECT_EQ(count, 1);

    close_toast(app_);
    EXPECT_EQ(app_.toast_window, nullptr);
    EXPECT_FALSE(::IsWindow(second));
    close_toast(app_);  // nothing left to close
}

TEST_F(Toast, FadesAndHidesAfterAboutTwoSeconds) {
    const ULONGLONG start = ::GetTickCount64();
    show_toast(app_, "Image saved.");
    HWND toast = app_.toast_window;
    ASSERT_NE(toast, nullptr);

    BYTE lowest = 255;
    const bool hidden = pump_until(
        [&] {
            BYTE alpha = 255;
            if (::GetLayeredWindowAttributes(toast, nullptr, &alpha, nullptr) && alpha < lowest) lowest = alpha;
            return !::IsWindowVisible(toast);
        },
        6000);
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    ASSERT_TRUE(hidden) << "still visible after 6 s";
    // 2.1 s by the clock; a timer never fires early.
    EXPECT_GE(elapsed, 2100u);
    EXPECT_LE(elapsed, 3500u);
    // It faded before it went; the window is kept (hidden) until replaced.
    EXPECT_LE(lowest, 51);
    EXPECT_TRUE(::IsWindow(toast));
    EXPECT_EQ(app_.toast_window, toast);

    // WM_CLOSE hides without destroying too.
    show_toast(app_, "Image saved.");
    ASSERT_TRUE(::IsWindowVisible(app_.toast_window));
    ::SendMessageW(app_.toast_window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(app_.toast_window));
    EXPECT_TRUE(::IsWindow(app_.toast_window));
}

TEST_F(Toast, NotifyPostsFromTheEditorAndShowsInTheResident) {
    HWND owner = plain(0, 0, 10, 10);
    ASSERT_NE(owner, nullptr);

    // Editor with an owner: the notice goes to the owner, no toast here.
    AppState editor;
    editor.role = Role::Editor;
    editor.notification_owner = reinterpret_cast<std::uintptr_t>(owner);
    notify(editor, NoticeKind::Saved);
    EXPECT_EQ(editor.toast_window, nullptr);
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, owner, MSG_NOTICE, MSG_NOTICE, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(::GetCurrentProcessId()));
    EXPECT_EQ(msg.lParam, 2);

    // Editor without an owner, and a run outside normal mode: nothing at all.
    AppState lone_editor;
    lone_editor.role = Role::Editor;
    notify(lone_editor, NoticeKind::Copied);
    EXPECT_EQ(lone_editor.toast_window, nullptr);
    AppState diagnostics;
    diagnostics.role = Role::Diagnostics;
    notify(diagnostics, NoticeKind::Copied);
    EXPECT_EQ(diagnostics.toast_window, nullptr);
    EXPECT_FALSE(::PeekMessageW(&msg, owner, MSG_NOTICE, MSG_NOTICE, PM_REMOVE));

    // The resident shows the kind's text.
    notify(app_, NoticeKind::Searching);
    ASSERT_NE(app_.toast_window, nullptr);
    EXPECT_EQ(title_of(app_.toast_window), L"Searching Google\u2026");
    notify(app_, NoticeKind::Copied);
    EXPECT_EQ(title_of(app_.toast_window), L"Screenshot copied to clipboard.");
    // A kind outside 1..4 changes nothing.
    HWND shown = app_.toast_window;
    notify(app_, static_cast<NoticeKind>(5));
    EXPECT_EQ(app_.toast_window, shown);
}

TEST(ToastDrawing, DarkRoundedCardWithCentredLightText) {
    for (const auto& [dpi, name] : {std::pair{96u, L"toast_96dpi.png"}, std::pair{144u, L"toast_144dpi.png"}}) {
        const ToastPlacement place = toast_placement(WorkArea{0, 0, 4000, 3000}, dpi);
        Canvas canvas(place.width, place.height);
        ASSERT_TRUE(canvas.ok());
        canvas.fill(0xFF00FF);
        draw_toast(canvas.dc(), RECT{0, 0, place.width, place.height}, L"Screenshot copied to clipboard.");

        const int mid_y = place.height / 2;
        EXPECT_TRUE(near_rgb(canvas.rgb(place.width / 20, mid_y), 0x262626)) << std::hex << canvas.rgb(5, mid_y);
        EXPECT_TRUE(near_rgb(canvas.rgb(place.width / 2, 0), 0x494949)) << std::hex << canvas.rgb(place.width / 2, 0);
        EXPECT_TRUE(near_rgb(canvas.rgb(0, mid_y), 0x494949));
        // No magenta survives anywhere: the whole client is painted.
        int bright = 0;
        int left_most = place.width;
        int right_most = 0;
        for (int y = 0; y < place.height; ++y) {
            for (int x = 0; x < place.width; ++x) {
                const std::uint32_t c = canvas.rgb(x, y);
                ASSERT_NE(c, 0xFF00FFu) << x << "," << y;
                if (((c >> 8) & 0xFF) > 0xC0) {
                    ++bright;
                    left_most = std::min(left_most, x);
                    right_most = std::max(right_most, x);
                }
            }
        }
        EXPECT_GT(bright, 50);
        // Centred: the text's margins differ by at most a few pixels.
        const int left_margin = left_most;
        const int right_margin = place.width - 1 - right_most;
        EXPECT_LE(std::abs(left_margin - right_margin), static_cast<int>(3 * dpi / 96))
            << left_margin << " vs " << right_margin;

        HRGN shape = ::CreateRoundRectRgn(0, 0, place.width + 1, place.height + 1, place.corner, place.corner);
        EXPECT_TRUE(kadrovix::testing::save_preview(canvas.image(shape), name));
        ::DeleteObject(shape);
    }
}

TEST(ToastDrawing, LongTextIsCutWithAnEllipsisInsideTheMargins) {
    Canvas canvas(360, 56);
    ASSERT_TRUE(canvas.ok());
    draw_toast(canvas.dc(), RECT{0, 0, 360, 56},
               L"Shortcut unavailable: Turn everything off, Arrow, Rectangle, Ellipse, and a few more words");
    // Away from the rounded corners, the margins hold nothing but the fill.
    for (int y = 8; y < 48; ++y) {
        for (int x = 1; x < 15; ++x) ASSERT_TRUE(near_rgb(canvas.rgb(x, y), 0x262626, 2)) << x << "," << y;
        for (int x = 346; x < 359; ++x) ASSERT_TRUE(near_rgb(canvas.rgb(x, y), 0x262626, 2)) << x << "," << y;
    }
}
