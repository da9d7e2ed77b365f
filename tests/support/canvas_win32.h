// A top-down 32-bit DIB with a memory DC for drawing tests (the program's own
// DIB surface): GDI draws into it, the test reads pixels back, and previews
// are written as PNG files.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/runtime/com_apartment_win32.h"
#include "app/runtime/dib_surface_win32.h"
#include "render/bgra_image.h"
#include "session/io/png_win32.h"
#include "support/pixels.h"
#include "support/test_window_win32.h"

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
    BgraImage image(HRGN shape = nullptr) const { return surface_.image(shape); }

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
    const win32::ComApartment com;
    return win32::write_png_file(image, (dir / name).wstring()).has_value();
}

}  // namespace kadrovix::testing
