#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "render/screen_grab_win32.h"

using namespace kadrovix;
using namespace kadrovix::win32;

namespace {

struct Bgr {
    std::uint8_t b, g, r;
};

Bgr pixel_at(const BgraImage& image, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x)) * 4;
    return Bgr{image.pixels[i], image.pixels[i + 1], image.pixels[i + 2]};
}

bool same(Bgr p, COLORREF c) { return p.r == GetRValue(c) && p.g == GetGValue(c) && p.b == GetBValue(c); }

// A topmost popup at a known screen position painted in four solid quarters.
constexpr COLORREF kQuarters[4] = {RGB(250, 10, 20), RGB(15, 240, 35), RGB(5, 25, 245), RGB(200, 180, 60)};
constexpr int kLeft = 100, kTop = 120, kWidth = 200, kHeight = 100;

LRESULT CALLBACK pattern_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        for (int q = 0; q < 4; ++q) {
            const RECT r{(q % 2) * kWidth / 2, (q / 2) * kHeight / 2, (q % 2 + 1) * kWidth / 2,
                         (q / 2 + 1) * kHeight / 2};
            HBRUSH brush = CreateSolidBrush(kQuarters[q]);
            FillRect(dc, &r, brush);
            DeleteObject(brush);
        }
        EndPaint(window, &ps);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

class PatternWindow {
public:
    PatternWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = pattern_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Kadrovix.Test.GrabPattern";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, kLeft, kTop,
                                  kWidth, kHeight, nullptr, nullptr, wc.hInstance, nullptr);
        if (window_) {
            ShowWindow(window_, SW_SHOWNOACTIVATE);
            UpdateWindow(window_);
        }
    }
    ~PatternWindow() {
        if (window_) DestroyWindow(window_);
        UnregisterClassW(L"Kadrovix.Test.GrabPattern", GetModuleHandleW(nullptr));
    }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

void pump_messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Every pixel of each quarter, in screen coordinates, as the grab shows it.
bool shows_pattern(const BgraImage& image) {
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int q = (x >= kWidth / 2 ? 1 : 0) + (y >= kHeight / 2 ? 2 : 0);
            const int ix = kLeft + x - image.origin_x;
            const int iy = kTop + y - image.origin_y;
            if (!same(pixel_at(image, ix, iy), kQuarters[q])) return false;
        }
    }
    return true;
}

}  // namespace

TEST(ScreenGrab, FollowsTheVirtualScreenAndIsOpaque) {
    auto image = grab_virtual_screen();
    ASSERT_TRUE(image.has_value()) << image.error().code;
    EXPECT_EQ(static_cast<int>(image->width), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(static_cast<int>(image->height), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_EQ(image->origin_x, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(image->origin_y, GetSystemMetrics(SM_YVIRTUALSCREEN));
    ASSERT_EQ(image->pixels.size(), 4ull * image->width * image->height);
    std::size_t translucent = 0;
    for (std::size_t i = 3; i < image->pixels.size(); i += 4) translucent += image->pixels[i] != 255;
    EXPECT_EQ(translucent, 0u);
}

TEST(ScreenGrab, ShowsWhatIsOnScreen) {
    PatternWindow window;
    ASSERT_NE(window.get(), nullptr);
    // The window reaches the screen asynchronously; grab until it shows.
    bool seen = false;
    BgraImage last;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!seen && std::chrono::steady_clock::now() < deadline) {
        pump_messages();
        auto image = grab_virtual_screen();
        ASSERT_TRUE(image.has_value());
        ASSERT_GE(static_cast<int>(image->width), kLeft + kWidth - image->origin_x);
        ASSERT_GE(static_cast<int>(image->height), kTop + kHeight - image->origin_y);
        seen = shows_pattern(*image);
        last = std::move(image).value();
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(seen) << "the grab never showed the test window";
    // The quarter boundaries sit exactly where the window painted them.
    EXPECT_TRUE(same(pixel_at(last, kLeft - last.origin_x, kTop - last.origin_y), kQuarters[0]));
    EXPECT_TRUE(same(pixel_at(last, kLeft + kWidth - 1 - last.origin_x, kTop + kHeight - 1 - last.origin_y),
                     kQuarters[3]));

    // After the window is gone, the same place shows something else.
    DestroyWindow(window.get());
    bool gone = false;
    const auto deadline2 = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!gone && std::chrono::steady_clock::now() < deadline2) {
        pump_messages();
        auto image = grab_virtual_screen();
        ASSERT_TRUE(image.has_value());
        gone = !shows_pattern(*image);
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(gone);
}

TEST(ScreenGrab, RegrabKeepsOrRefusesTheDisplayLayout) {
    auto first = grab_virtual_screen();
    ASSERT_TRUE(first.has_value());
    const Desktop geometry = geometry_of(*first);

    auto again = regrab_virtual_screen(geometry);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(geometry_of(*again), geometry);

    Desktop moved = geometry;
    moved.x -= 1920;  // as if a monitor had been added on the left
    auto refused = regrab_virtual_screen(moved);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().message, "Display configuration changed. Start a new capture.");
    EXPECT_EQ(refused.error().code, static_cast<std::int32_t>(E_FAIL));
}
