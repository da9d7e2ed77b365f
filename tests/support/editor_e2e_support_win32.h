// Helpers for end-to-end tests of the capture editor: a full-screen window
// with a known picture for the editor to grab, real mouse input, the
// clipboard's image, and guards that put the settings file and the clipboard
// back as a test found them.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/runtime/gdi_win32.h"
#include "render/bgra_image.h"
#include "settings/settings_storage_win32.h"
#include "support/pixels.h"
#include "support/process_win32.h"
#include "support/window_probe_win32.h"

namespace kadrovix::testing {

struct VirtualScreen {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

inline VirtualScreen virtual_screen() {
    return VirtualScreen{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
                         ::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// The colour under the editor's veil (black at 48 % opacity).
inline std::uint32_t veiled(std::uint32_t rgb) {
    std::uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        const auto c = static_cast<std::uint32_t>(channel(rgb, shift) * 52 / 100);
        out |= c << shift;
    }
    return out;
}

// The picture of the pattern window at a desktop pixel (origin at the virtual
// screen's top-left corner): a 32-pixel checkerboard of two colours whose
// red and blue shift by cell column and row, so that a picture moved by whole
// cells does not match either. None of its colours is near a preset
// annotation colour.
// Variant 1 is a second picture with other colours and the checkerboard's
// phase flipped, for tests that change the desktop under a running editor;
// no pixel of it is within 20 of variant 0's pixel at the same place.
inline constexpr int kPatternCell = 32;
inline std::uint32_t pattern_rgb(int x, int y, int variant = 0) {
    const int column = x / kPatternCell;
    const int row = y / kPatternCell;
    const bool dark = ((column + row + variant) & 1) == 0;
    int r = 0, g = 0, b = 0;
    if (variant == 0) {
        r = (dark ? 100 : 180) + (column % 8) * 4;
        g = dark ? 60 : 200;
        b = (dark ? 150 : 110) + (row % 8) * 4;
    } else {
        r = (dark ? 40 : 140) + (column % 8) * 4;
        g = dark ? 110 : 20;
        b = (dark ? 200 : 50) + (row % 8) * 4;
    }
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}

// A topmost popup over the whole virtual screen painted with pattern_rgb, on
// a thread of its own so that it paints while the test waits. It never takes
// activation, so the editor started after it gets the keyboard.
class PatternWindow {
public:
    PatternWindow() {
        ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] { run(); });
        ::WaitForSingleObject(ready_, 10000);
    }
    ~PatternWindow() {
        if (window_ != nullptr) ::PostMessageW(window_, WM_CLOSE, 0, 0);
        if (thread_id_ != 0) ::PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
        if (thread_.joinable()) thread_.join();
        if (ready_ != nullptr) ::CloseHandle(ready_);
    }
    PatternWindow(const PatternWindow&) = delete;
    PatternWindow& operator=(const PatternWindow&) = delete;

    HWND window() const { return window_; }
    // Left clicks the window has received.
    int clicks() const { return clicks_.load(); }

    // Repaints the window with pattern `variant` and waits until the window
    // has painted it (it may lie under another window, so the screen is not
    // asked).
    bool show_variant(int variant, DWORD timeout_ms = 10000) {
        if (window_ == nullptr) return false;
        variant_ = variant;
        if (!::InvalidateRect(window_, nullptr, FALSE)) return false;
        return wait_until([&] { return painted_variant_.load() == variant; }, timeout_ms);
    }

    // Whether the screen shows the pattern: every 16th pixel of it is compared.
    static bool on_screen() { return variant_on_screen(0); }
    static bool variant_on_screen(int variant) {
        const VirtualScreen vs = virtual_screen();
        const BgraImage shot = grab_screen(RECT{vs.x, vs.y, vs.x + vs.width, vs.y + vs.height});
        if (shot.width == 0) return false;
        for (int y = 5; y < vs.height; y += 16) {
            for (int x = 5; x < vs.width; x += 16) {
                if (pixel_rgb(shot, x, y) != pattern_rgb(x, y, variant)) return false;
            }
        }
        return true;
    }

private:
    static constexpr wchar_t kClass[] = L"Kadrovix.TestPattern";

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
            case WM_NCCREATE:
                ::SetWindowLongPtrW(window, GWLP_USERDATA,
                                    reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
                return ::DefWindowProcW(window, message, wparam, lparam);
            case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
            case WM_LBUTTONDOWN:
                if (auto* self = reinterpret_cast<PatternWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
                    self->clicks_++;
                }
                return 0;
            case WM_ERASEBKGND: return 1;
            case WM_PAINT: {
                auto* self = reinterpret_cast<PatternWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
                const int variant = self != nullptr ? self->variant_.load() : 0;
                PAINTSTRUCT ps;
                HDC dc = ::BeginPaint(window, &ps);
                RECT client{};
                ::GetClientRect(window, &client);
                for (int top = 0; top < client.bottom; top += kPatternCell) {
                    for (int left = 0; left < client.right; left += kPatternCell) {
                        const std::uint32_t rgb = pattern_rgb(left, top, variant);
                        win32::UniqueBrush brush(::CreateSolidBrush(RGB(channel(rgb, 16), channel(rgb, 8),
                                                                        channel(rgb, 0))));
                        const RECT cell{left, top, left + kPatternCell, top + kPatternCell};
                        ::FillRect(dc, &cell, brush.get());
                    }
                }
                ::EndPaint(window, &ps);
                ::GdiFlush();
                if (self != nullptr) self->painted_variant_ = variant;
                return 0;
            }
            case WM_CLOSE: ::DestroyWindow(window); return 0;
            case WM_DESTROY: ::PostQuitMessage(0); return 0;
            default: return ::DefWindowProcW(window, message, wparam, lparam);
        }
    }

    void run() {
        thread_id_ = ::GetCurrentThreadId();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClass;
        ::RegisterClassExW(&wc);  // already registered by an earlier test: fine
        const VirtualScreen vs = virtual_screen();
        window_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClass, L"pattern", WS_POPUP,
                                    vs.x, vs.y, vs.width, vs.height, nullptr, nullptr, wc.hInstance, this);
        if (window_ != nullptr) {
            ::ShowWindow(window_, SW_SHOWNOACTIVATE);
            ::UpdateWindow(window_);
        }
        ::SetEvent(ready_);
        if (window_ == nullptr) return;
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (::IsWindow(window_)) ::DestroyWindow(window_);
    }

    HANDLE ready_ = nullptr;
    std::atomic<int> variant_{0};
    std::atomic<int> painted_variant_{-1};
    std::atomic<int> clicks_{0};
    std::thread thread_;
    DWORD thread_id_ = 0;
    HWND window_ = nullptr;
};

// --- mouse input ---------------------------------------------------------------

// One absolute mouse event at screen point (x, y), through the system's input
// queue; `buttons` adds MOUSEEVENTF_LEFTDOWN or _LEFTUP.
inline bool send_mouse(int x, int y, DWORD buttons = 0) {
    const VirtualScreen vs = virtual_screen();
    INPUT input{};
    input.type = INPUT_MOUSE;
    // The smallest normalised value that lands on the pixel (the system
    // scales by width / 65536 and truncates).
    input.mi.dx = static_cast<LONG>((static_cast<long long>(x - vs.x) * 65536 + vs.width - 1) / vs.width);
    input.mi.dy = static_cast<LONG>((static_cast<long long>(y - vs.y) * 65536 + vs.height - 1) / vs.height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | buttons;
    return ::SendInput(1, &input, sizeof(INPUT)) == 1;
}

inline bool cursor_at(int x, int y) {
    POINT p{};
    return ::GetCursorPos(&p) && p.x == x && p.y == y;
}

// Moves the pointer and waits until the system reports it there.
inline bool move_pointer(int x, int y) {
    return send_mouse(x, y) && wait_until([&] { return cursor_at(x, y); }, 2000);
}

// Waits until `window`'s thread has handled everything sent to it so far: a
// short pause lets injected input reach its queue, then a message round trip.
inline bool settle(HWND window) {
    ::Sleep(15);
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) != 0;
}

// A left-button drag from `from` to `to` through `steps` intermediate points.
inline bool drag(HWND window, POINT from, POINT to, int steps = 6) {
    if (!move_pointer(from.x, from.y)) return false;
    if (!send_mouse(from.x, from.y, MOUSEEVENTF_LEFTDOWN) || !settle(window)) return false;
    for (int i = 1; i <= steps; ++i) {
        const int x = from.x + (to.x - from.x) * i / (steps + 1);
        const int y = from.y + (to.y - from.y) * i / (steps + 1);
        if (!send_mouse(x, y) || !settle(window)) return false;
    }
    if (!send_mouse(to.x, to.y) || !settle(window)) return false;
    return send_mouse(to.x, to.y, MOUSEEVENTF_LEFTUP) && settle(window);
}

inline bool click(HWND window, POINT at) {
    return move_pointer(at.x, at.y) && send_mouse(at.x, at.y, MOUSEEVENTF_LEFTDOWN) && settle(window) &&
           send_mouse(at.x, at.y, MOUSEEVENTF_LEFTUP) && settle(window);
}

// One notch of the wheel is 120, positive away from the user.
inline bool send_wheel(int delta) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.mouseData = static_cast<DWORD>(delta);
    input.mi.dwFlags = MOUSEEVENTF_WHEEL;
    return ::SendInput(1, &input, sizeof(INPUT)) == 1;
}

inline BgraImage grab_virtual_screen_for_test() {
    const VirtualScreen vs = virtual_screen();
    return grab_screen(RECT{vs.x, vs.y, vs.x + vs.width, vs.y + vs.height});
}

// --- clipboard -----------------------------------------------------------------

class OpenClipboardScope {
public:
    OpenClipboardScope() { open_ = wait_until([] { return ::OpenClipboard(nullptr) != FALSE; }, 5000); }
    ~OpenClipboardScope() {
        if (open_) ::CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_ = false;
};

inline bool empty_clipboard() {
    OpenClipboardScope clipboard;
    return clipboard && ::EmptyClipboard() != FALSE;
}

// Empties the clipboard when a test starts and again when it ends, so that
// an image found there is the one the test made, and none is left behind.
class ClipboardReset {
public:
    ClipboardReset() { emptied_ = empty_clipboard(); }
    ~ClipboardReset() { empty_clipboard(); }
    ClipboardReset(const ClipboardReset&) = delete;
    ClipboardReset& operator=(const ClipboardReset&) = delete;
    bool emptied() const { return emptied_; }

private:
    bool emptied_ = false;
};

// The clipboard's CF_DIB as an opaque top-down image; 24- and 32-bit
// uncompressed or bit-field DIBs of either row order. Nothing when the
// clipboard holds no such image.
inline std::optional<BgraImage> clipboard_dib() {
    OpenClipboardScope clipboard;
    if (!clipboard) return std::nullopt;
    HANDLE data = ::GetClipboardData(CF_DIB);
    if (data == nullptr) return std::nullopt;
    const SIZE_T size = ::GlobalSize(data);
    const auto* bytes = static_cast<const std::uint8_t*>(::GlobalLock(data));
    if (bytes == nullptr) return std::nullopt;
    struct Unlock {
        HANDLE h;
        ~Unlock() { ::GlobalUnlock(h); }
    } unlock{data};
    if (size < sizeof(BITMAPINFOHEADER)) return std::nullopt;
    BITMAPINFOHEADER header{};
    std::memcpy(&header, bytes, sizeof header);
    const bool bitfields = header.biCompression == BI_BITFIELDS;
    if (header.biCompression != BI_RGB && !bitfields) return std::nullopt;
    if (header.biBitCount != 32 && header.biBitCount != 24) return std::nullopt;
    if (header.biWidth <= 0 || header.biHeight == 0) return std::nullopt;
    const std::size_t width = static_cast<std::size_t>(header.biWidth);
    const std::size_t height = static_cast<std::size_t>(std::abs(header.biHeight));
    const std::size_t stride = ((width * header.biBitCount + 31) / 32) * 4;
    const std::size_t offset = header.biSize + (bitfields && header.biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0) +
                               header.biClrUsed * 4;
    if (size < offset + stride * height) return std::nullopt;
    BgraImage image;
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    image.pixels.resize(width * height * 4);
    const std::size_t step = header.biBitCount / 8;
    for (std::size_t row = 0; row < height; ++row) {
        const std::size_t source_row = header.biHeight > 0 ? height - 1 - row : row;
        const std::uint8_t* in = bytes + offset + source_row * stride;
        std::uint8_t* out = &image.pixels[row * width * 4];
        for (std::size_t x = 0; x < width; ++x) {
            out[x * 4 + 0] = in[x * step + 0];
            out[x * 4 + 1] = in[x * step + 1];
            out[x * 4 + 2] = in[x * step + 2];
            out[x * 4 + 3] = 255;
        }
    }
    return image;
}

// --- settings file -------------------------------------------------------------

// Keeps the settings file as a test found it: the editor writes the file when
// its session ends, and a test may write its own.
class SettingsFileGuard {
public:
    SettingsFileGuard() {
        auto path = settings_path();
        if (!path) return;
        path_ = *path;
        std::ifstream in(path_, std::ios::binary);
        if (in) {
            original_ = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    ~SettingsFileGuard() {
        if (path_.empty()) return;
        std::error_code ignored;
        if (original_) {
            std::ofstream out(path_, std::ios::binary | std::ios::trunc);
            out << *original_;
        } else {
            std::filesystem::remove(path_, ignored);
        }
    }
    SettingsFileGuard(const SettingsFileGuard&) = delete;
    SettingsFileGuard& operator=(const SettingsFileGuard&) = delete;

    const std::filesystem::path& path() const { return path_; }

    bool write(const std::string& contents) const {
        if (path_.empty()) return false;
        std::error_code ignored;
        std::filesystem::create_directories(path_.parent_path(), ignored);
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << contents;
        return static_cast<bool>(out);
    }

private:
    std::filesystem::path path_;
    std::optional<std::string> original_;
};

// Ends process `id` when the scope ends, for processes that a program under
// test started on its own.
class ProcessIdReaper {
public:
    ProcessIdReaper() = default;
    ~ProcessIdReaper() {
        if (id_ != 0) terminate_process(id_);
    }
    ProcessIdReaper(const ProcessIdReaper&) = delete;
    ProcessIdReaper& operator=(const ProcessIdReaper&) = delete;
    void watch(DWORD id) { id_ = id; }

private:
    DWORD id_ = 0;
};

// The program under test, built beside the tests.
#ifdef KADROVIX_EXE_PATH
inline std::wstring program_path() { return windows_program_path(KADROVIX_EXE_PATH); }
#endif

inline bool covers_virtual_screen(HWND window) {
    if (!::IsWindowVisible(window)) return false;
    RECT r{};
    ::GetWindowRect(window, &r);
    const VirtualScreen vs = virtual_screen();
    return r.left == vs.x && r.top == vs.y && r.right - r.left == vs.width && r.bottom - r.top == vs.height;
}

// Any pixel of the 3 x 3 block around (x, y) near `rgb`.
inline bool shows_near(const BgraImage& image, int x, int y, std::uint32_t rgb, int tolerance) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (near_rgb(pixel_rgb(image, x + dx, y + dy), rgb, tolerance)) return true;
        }
    }
    return false;
}

inline bool screen_shows_near(int x, int y, std::uint32_t rgb, int tolerance) {
    return shows_near(grab_virtual_screen_for_test(), x, y, rgb, tolerance);
}

// Points far from the hint, the region, its label and the toolbar show the
// pattern under the editor's veil.
inline bool veil_over_pattern(const BgraImage& shot) {
    for (const POINT p : {POINT{900, 700}, POINT{40, 720}, POINT{980, 40}, POINT{700, 600}}) {
        if (!near_rgb(pixel_rgb(shot, p.x, p.y), veiled(pattern_rgb(p.x, p.y)), 3)) return false;
    }
    return true;
}

}  // namespace kadrovix::testing
