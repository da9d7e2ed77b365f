#include "toolbar/toolbar_win32.h"
#include <gtest/gtest.h>
#include <d2d1.h>
#include <wincodec.h>
#include <wrl/client.h>
#include <chrono>
#include <cstdio>
#include "app/runtime/com_apartment_win32.h"
using namespace kadrovix;
using Microsoft::WRL::ComPtr;
TEST(TmpToolbarTiming, Paint) {
    win32::ComApartment com;
    ComPtr<IWICImagingFactory> wic;
    ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wic)));
    ComPtr<IWICBitmap> bitmap;
    wic->CreateBitmap(1024, 768, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad, &bitmap);
    ComPtr<ID2D1Factory> d2d;
    D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr, reinterpret_cast<void**>(d2d.GetAddressOf()));
    ComPtr<ID2D1RenderTarget> target;
    d2d->CreateWicBitmapRenderTarget(bitmap.Get(), D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED)), &target);
    ComPtr<IDWriteFactory> dw;
    DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory), reinterpret_cast<IUnknown**>(dw.GetAddressOf()));
    ToolbarInput in; in.desktop_width = 1024; in.desktop_height = 768; in.region_exists = true;
    in.region_left = 100; in.region_top = 100; in.region_right = 800; in.region_bottom = 500; in.region_selection = false;
    const ToolbarLayout layout = layout_toolbar(in);
    ToolbarHoverState hover; hover.update_hover(layout, 0, Point{layout.slots[10].rect.left + 3, layout.slots[10].rect.top + 3});
    for (int round = 0; round < 3; ++round) {
        for (bool with_toolbar : {false, true}) {
            const auto t0 = std::chrono::steady_clock::now();
            for (int i = 0; i < 15; ++i) {
                target->BeginDraw();
                target->Clear(D2D1::ColorF(0.5f, 0.5f, 0.5f));
                if (with_toolbar) { auto r = win32::paint_toolbar(target.Get(), dw.Get(), in, layout, hover, Point{0, 0}, 400); ASSERT_TRUE(r.has_value()); }
                ASSERT_HRESULT_SUCCEEDED(target->EndDraw());
            }
            const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / 15;
            std::printf("toolbar %d: %.1f ms per frame\n", with_toolbar, ms);
        }
    }
}
