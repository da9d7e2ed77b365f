#include "render/screen_grab_win32.h"

#include <windows.h>

#include <cstring>

#include "app/runtime/gdi_win32.h"
#include "base/error_win32.h"

namespace kadrovix::win32 {

namespace {

// SRCCOPY | CAPTUREBLT: without CAPTUREBLT layered windows (menus, toasts,
// tool tips) would be missing from the picture.
constexpr DWORD kCopyWithLayered = SRCCOPY | CAPTUREBLT;
static_assert(kCopyWithLayered == 0x40CC0020);

// The system error of the last call, or E_FAIL for the GDI calls that fail
// without setting one.
Unexpected<Error> fail_gdi() {
    const DWORD code = ::GetLastError();
    return Unexpected<Error>{Error{code != 0 ? hresult_from_win32(code) : kErrorFail, {}}};
}

}  // namespace

Result<BgraImage> grab_virtual_screen() {
    ::SetLastError(0);
    const int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width < 1 || height < 1) return fail_gdi();

    // The buffer comes first: if memory runs out no system object exists yet,
    // and any later failure frees it with the rest.
    auto filled = new_filled_image(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 0xFF000000u);
    if (!filled) return propagate(filled);
    BgraImage image = std::move(filled).value();
    image.origin_x = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    image.origin_y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);

    WindowDc screen(nullptr);
    if (!screen) return fail_gdi();
    UniqueDc memory(::CreateCompatibleDC(screen.get()));
    if (!memory) return fail_gdi();

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows, like BgraImage
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap dib(::CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || bits == nullptr) return fail_gdi();

    {
        SelectedObject selected(memory.get(), dib.get());
        if (!selected.ok()) return fail_gdi();
        if (!::BitBlt(memory.get(), 0, 0, width, height, screen.get(), image.origin_x, image.origin_y,
                      kCopyWithLayered)) {
            return fail_gdi();
        }
        if (!::GdiFlush()) return fail_gdi();
        // The DIB's rows are 4 * width bytes with no padding (32 bits per
        // pixel), the same layout as the buffer: one copy.
        std::memcpy(image.pixels.data(), bits, image.pixels.size());
    }
    // The screen copy leaves the fourth byte undefined.
    make_opaque(image);
    return image;
}

Result<BgraImage> regrab_virtual_screen(const Desktop& earlier) {
    auto image = grab_virtual_screen();
    if (!image) return image;
    RETURN_IF_ERROR(check_same_display(earlier, geometry_of(*image)));
    return image;
}

}  // namespace kadrovix::win32
