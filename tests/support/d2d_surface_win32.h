// An offscreen Direct2D surface for painting tests: a 32bppPBGRA WIC bitmap
// with a render target on it and a DirectWrite factory, read back as an
// opaque image. The calling thread must have COM.
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

class D2dSurface {
public:
    D2dSurface(UINT width, UINT height) : width_(width), height_(height) {
        hr_ = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wic_));
        if (FAILED(hr_)) return;
        hr_ = wic_->CreateBitmap(width, height, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad, &bitmap_);
        if (FAILED(hr_)) return;
        hr_ = ::D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, d2d_.GetAddressOf());
        if (FAILED(hr_)) return;
        const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_DEFAULT,
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96.0f, 96.0f);
        hr_ = d2d_->CreateWicBitmapRenderTarget(bitmap_.Get(), properties, &target_);
        if (FAILED(hr_)) return;
        hr_ = ::DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                    reinterpret_cast<IUnknown**>(dwrite_.GetAddressOf()));
        if (FAILED(hr_)) return;
        hr_ = target_->CreateSolidColorBrush(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f), &brush_);
    }

    HRESULT status() const { return hr_; }
    ID2D1RenderTarget* target() const { return target_.Get(); }
    IDWriteFactory* dwrite() const { return dwrite_.Get(); }
    ID2D1SolidColorBrush* brush() const { return brush_.Get(); }

    // Starts drawing on a white surface with no transform.
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
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> brush_;
};

}  // namespace kadrovix::testing
