// A top-down 32-bit DIB with a memory DC for drawing tests: GDI draws into
// it, the test reads pixels back, and previews are written as PNG files.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/runtime/dib_surface_win32.h"
#include "render/bgra_image.h"
#include "session/io/png_win32.h"

namespace kadrovix::testing {

class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        if (auto made = win32::DibSurface::create(width, height)) {
            surface_ = std::move(*made);
            bits_ = surface_.bits();
        }
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool ok() const { return bits_ != nullptr; }
    HDC dc() const { return surface_.dc(); }
    int width() const { return width_; }
    int height() const { return height_; }

    // 0xRRGGBB of a pixel, after GdiFlush.
    std::uint32_t rgb(int x, int y) const {
        ::GdiFlush();
        const std::uint8_t* p = bits_ + (static_cast<std::size_t>(y) * width_ + x) * 4;
        return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
    }

    void fill(std::uint32_t rgb_value) {
        ::GdiFlush();
        for (int i = 0; i < width_ * height_; ++i) {
            bits_[i * 4 + 0] = static_cast<std::uint8_t>(rgb_value);
            bits_[i * 4 + 1] = static_cast<std::uint8_t>(rgb_value >> 8);
            bits_[i * 4 + 2] = static_cast<std::uint8_t>(rgb_value >> 16);
            bits_[i * 4 + 3] = 0;
        }
    }

    // The pixels as an opaque image; pixels outside `shape` (when given) are transparent.
    BgraImage image(HRGN shape = nullptr) const {
        ::GdiFlush();
        BgraImage out;
        out.width = static_cast<std::uint32_t>(width_);
        out.height = static_cast<std::uint32_t>(height_);
        out.pixels.assign(bits_, bits_ + static_cast<std::size_t>(width_) * height_ * 4);
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const bool inside = shape == nullptr || ::PtInRegion(shape, x, y);
                std::uint8_t* p = &out.pixels[(static_cast<std::size_t>(y) * width_ + x) * 4];
                if (inside) {
                    p[3] = 255;
                } else {
                    p[0] = p[1] = p[2] = p[3] = 0;
                }
            }
        }
        return out;
    }

private:
    int width_;
    int height_;
    win32::DibSurface surface_;
    std::uint8_t* bits_ = nullptr;
};

// Where previews go: the folder named by KADROVIX_SCREENSHOT_DIR, or nothing
// when that is not set (ordinary test runs write no files).
inline std::filesystem::path screenshot_dir() {
    const wchar_t* dir = _wgetenv(L"KADROVIX_SCREENSHOT_DIR");
    if (dir != nullptr) return std::filesystem::path(dir);
#ifdef KADROVIX_SOURCE_DIR
    // Under Wine the Linux source tree is on drive Z:.
    std::string root = KADROVIX_SOURCE_DIR;
    if (!root.empty() && root[0] == '/') root = "Z:" + root;
    return std::filesystem::path(root) / "target" / "screenshots";
#else
    return {};
#endif
}

// Writes a preview when previews are wanted; true when written or not wanted.
inline bool save_preview(const BgraImage& image, const std::wstring& name) {
    const auto dir = screenshot_dir();
    if (dir.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool ok = win32::write_png_file(image, (dir / name).wstring()).has_value();
    if (SUCCEEDED(init)) ::CoUninitialize();
    return ok;
}

// True when a pixel's channels are each within `tolerance` of `expected`.
inline bool near_rgb(std::uint32_t actual, std::uint32_t expected, int tolerance = 0) {
    for (int shift : {0, 8, 16}) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) return false;
    }
    return true;
}

// Processes this thread's messages until `done` holds or `timeout_ms` passes.
template <class Condition>
bool pump_until(Condition done, DWORD timeout_ms) {
    const ULONGLONG end = ::GetTickCount64() + timeout_ms;
    while (!done()) {
        if (::GetTickCount64() >= end) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// A small hidden tool window of class `class_name` (registered on first use)
// served by `proc`; `create_param` reaches WM_NCCREATE.
inline HWND create_tool_window(const wchar_t* class_name, WNDPROC proc, void* create_param = nullptr) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = class_name;
    ::RegisterClassExW(&wc);
    return ::CreateWindowExW(WS_EX_TOOLWINDOW, class_name, L"Kadrovix", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, create_param);
}

}  // namespace kadrovix::testing
