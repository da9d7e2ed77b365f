// A plain top-level window to hold hidden edit controls in tests, and an
// offscreen Direct2D surface to paint fields on.
#pragma once

#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstring>

#include "render/bgra_image.h"

namespace kadrovix::testing {

// A visible popup on this thread; messages to it get default handling.
class FieldParent {
public:
    FieldParent(int width = 640, int height = 360) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Kadrovix.TestFieldParent";
        ::RegisterClassExW(&wc);  // registered already by an earlier test: fine
        window_ = ::CreateWindowExW(0, wc.lpszClassName, L"fields", WS_POPUP | WS_VISIBLE, 40, 40, width, height,
                                    nullptr, nullptr, wc.hInstance, nullptr);
        pump();
    }
    ~FieldParent() {
        if (window_ != nullptr) ::DestroyWindow(window_);
        pump();
    }
    FieldParent(const FieldParent&) = delete;
    FieldParent& operator=(const FieldParent&) = delete;

    HWND get() const { return window_; }

    // Handles what is queued for this thread's windows.
    static void pump() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

    // Whether part of the window waits to be painted.
    bool needs_paint() const {
        RECT r{};
        return ::GetUpdateRect(window_, &r, FALSE) != FALSE;
    }
    void mark_painted() const { ::ValidateRect(window_, nullptr); }

private:
    HWND window_ = nullptr;
};

// A 32bppPBGRA WIC bitmap with a Direct2D target on it, cleared to white.
class FieldSurface {
public:
    FieldSurface(UINT width, UINT height) : width_(width), height_(height) {
        using Microsoft::WRL::ComPtr;
        hr_ = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wic_));
        if (FAILED(hr_)) return;
        hr_ = wic_->CreateBitmap(width, height, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad, &bitmap_);
        if (FAILED(hr_)) return;
        D2D1_FACTORY_OPTIONS options{};
        hr_ = D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), &options,
                                reinterpret_cast<void**>(d2d_.GetAddressOf()));
        if (FAILED(hr_)) return;
        const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_DEFAULT,
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96.0f, 96.0f);
        hr_ = d2d_->CreateWicBitmapRenderTarget(bitmap_.Get(), properties, &target_);
        if (FAILED(hr_)) return;
        hr_ = DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                  reinterpret_cast<IUnknown**>(dwrite_.GetAddressOf()));
    }

    HRESULT status() const { return hr_; }
    ID2D1RenderTarget* target() const { return target_.Get(); }
    IDWriteFactory* dwrite() const { return dwrite_.Get(); }

    void begin() {
        target_->BeginDraw();
        target_->SetTransform(D2D1::Matrix3x2F::Identity());
        target_->Clear(D2D1::ColorF(1.0f, 1.0f, 1.0f, 1.0f));
    }
    HRESULT end() { return target_->EndDraw(); }

    // The bitmap's pixels after drawing has ended, opaque.
    BgraImage pixels() const {
        BgraImage image = new_filled_image(width_, height_, 0xFF000000u).value();
        const WICRect all{0, 0, static_cast<INT>(width_), static_cast<INT>(height_)};
        Microsoft::WRL::ComPtr<IWICBitmapLock> lock;
        if (FAILED(bitmap_->Lock(&all, WICBitmapLockRead, &lock))) return image;
        UINT stride = 0, size = 0;
        BYTE* data = nullptr;
        lock->GetStride(&stride);
        lock->GetDataPointer(&size, &data);
        for (UINT y = 0; y < height_; ++y) {
            std::memcpy(image.pixels.data() + static_cast<std::size_t>(y) * width_ * 4,
                        data + static_cast<std::size_t>(y) * stride, static_cast<std::size_t>(width_) * 4);
        }
        make_opaque(image);
        return image;
    }

private:
    UINT width_;
    UINT height_;
    HRESULT hr_ = E_FAIL;
    Microsoft::WRL::ComPtr<IWICImagingFactory> wic_;
    Microsoft::WRL::ComPtr<IWICBitmap> bitmap_;
    Microsoft::WRL::ComPtr<ID2D1Factory> d2d_;
    Microsoft::WRL::ComPtr<ID2D1RenderTarget> target_;
    Microsoft::WRL::ComPtr<IDWriteFactory> dwrite_;
};

}  // namespace kadrovix::testing
