// A 32-bit top-down DIB section selected into its own memory DC: what
// Direct2D's DC target draws into for layered windows and off-screen pictures.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

#include "app/runtime/gdi_win32.h"
#include "base/error.h"
#include "base/error_win32.h"
#include "render/bgra_image.h"

namespace kadrovix::win32 {

class DibSurface {
public:
    static Result<DibSurface> create(int width, int height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        DibSurface surface;
        surface.dc_.reset(::CreateCompatibleDC(nullptr));
        if (!surface.dc_) return fail_last_error();
        void* bits = nullptr;
        surface.bitmap_.reset(::CreateDIBSection(surface.dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!surface.bitmap_) return fail_last_error();
        surface.previous_ = ::SelectObject(surface.dc_.get(), surface.bitmap_.get());
        if (surface.previous_ == nullptr) return fail_last_error();
        surface.bits_ = static_cast<std::uint8_t*>(bits);
        surface.width_ = width;
        surface.height_ = height;
        return surface;
    }

    DibSurface() = default;
    DibSurface(DibSurface&& other) noexcept { *this = std::move(other); }
    DibSurface& operator=(DibSurface&& other) noexcept {
        if (this != &other) {
            release();
            dc_ = std::move(other.dc_);
            bitmap_ = std::move(other.bitmap_);
            previous_ = std::exchange(other.previous_, nullptr);
            bits_ = std::exchange(other.bits_, nullptr);
            width_ = other.width_;
            height_ = other.height_;
        }
        return *this;
    }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;
    ~DibSurface() { release(); }

    HDC dc() const { return dc_.get(); }
    // B, G, R, A bytes, rows top to bottom; call GdiFlush before reading.
    std::uint8_t* bits() const { return bits_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // A copy of the pixels, opaque inside `shape` (everything when null) and
    // transparent outside: what GDI drew, which leaves alpha alone, as a picture.
    BgraImage image(HRGN shape = nullptr) const {
        ::GdiFlush();
        BgraImage out;
        out.width = static_cast<std::uint32_t>(width_);
        out.height = static_cast<std::uint32_t>(height_);
        out.pixels.assign(bits_, bits_ + static_cast<std::size_t>(width_) * height_ * 4);
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                std::uint8_t* p = &out.pixels[(static_cast<std::size_t>(y) * width_ + x) * 4];
                if (shape == nullptr || ::PtInRegion(shape, x, y)) {
                    p[3] = 255;
                } else {
                    p[0] = p[1] = p[2] = p[3] = 0;
                }
            }
        }
        return out;
    }

private:
    void release() {
        // The bitmap leaves the DC before either goes.
        if (previous_ != nullptr && dc_) ::SelectObject(dc_.get(), previous_);
        previous_ = nullptr;
        bitmap_.reset();
        dc_.reset();
    }

    UniqueDc dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
    std::uint8_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace kadrovix::win32
