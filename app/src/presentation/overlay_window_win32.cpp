#include "presentation/overlay_window_win32.h"

#include <utility>

#include "base/error_win32.h"

namespace kadrovix::win32 {
namespace {

LRESULT CALLBACK overlay_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
    const auto* binding = reinterpret_cast<const OverlayBinding*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (binding != nullptr && binding->handler != nullptr) {
        // Copied first: the handler may destroy this very window.
        const OverlayBinding local = *binding;
        LRESULT result = 0;
        if (local.handler->overlay_message(local.role, window, message, wparam, lparam, result)) return result;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

Result<void> register_overlay_class() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance, kPresentationWindowClass, &existing)) return {};
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = overlay_window_proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kPresentationWindowClass;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return fail_last_error();
    return {};
}

Result<OverlayWindow> OverlayWindow::create(OverlayRole role, OverlayHandler* handler, int x, int y, int width,
                                            int height) {
    if (width <= 0 || height <= 0) return invalid_argument("Invalid overlay window size");
    RETURN_IF_ERROR(register_overlay_class());

    OverlayWindow overlay;
    overlay.width_ = width;
    overlay.height_ = height;
    overlay.position_ = POINT{x, y};

    auto surface = DibSurface::create(width, height);
    if (!surface) return propagate(surface);
    overlay.surface_ = std::move(*surface);

    overlay.binding_ = std::make_unique<OverlayBinding>(OverlayBinding{handler, role});
    HWND window = ::CreateWindowExW(kOverlayExStyle, kPresentationWindowClass, kPresentationWindowTitle, WS_POPUP, x,
                                    y, width, height, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                    overlay.binding_.get());
    if (window == nullptr) return fail_last_error();
    overlay.window_.reset(window);
    return overlay;
}

OverlayWindow& OverlayWindow::operator=(OverlayWindow&& other) noexcept {
    if (this != &other) {
        release();
        window_ = std::move(other.window_);
        binding_ = std::move(other.binding_);
        surface_ = std::move(other.surface_);
        width_ = other.width_;
        height_ = other.height_;
        position_ = other.position_;
    }
    return *this;
}

OverlayWindow::~OverlayWindow() { release(); }

void OverlayWindow::release() {
    // The window goes first: its procedure reads the binding until then.
    window_.reset();
    binding_.reset();
    surface_ = DibSurface{};
}

Result<void> OverlayWindow::paint(const RenderContext& context, const OverlayPainter& paint) {
    if (!window_ || surface_.dc() == nullptr) return invalid_argument("The overlay window is gone");
    ID2D1DCRenderTarget* target = context.dc_target.Get();
    const RECT rect{0, 0, width_, height_};
    RETURN_IF_FAILED(target->BindDC(surface_.dc(), &rect));
    target->BeginDraw();
    target->SetTransform(D2D1::Matrix3x2F::Identity());
    target->Clear(D2D1::ColorF(0, 0, 0, 0));
    Result<void> drawn = paint ? paint(target) : Result<void>{};
    const HRESULT hr = target->EndDraw();
    if (!drawn) return drawn;
    if (FAILED(hr)) return fail_hresult(hr);
    ::GdiFlush();

    POINT source{0, 0};
    SIZE size{width_, height_};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    WindowDc screen(nullptr);
    if (!::UpdateLayeredWindow(window_.get(), screen.get(), &position_, &size, surface_.dc(), &source, 0, &blend,
                               ULW_ALPHA)) {
        return fail_last_error();
    }
    return {};
}

void OverlayWindow::move_to(int x, int y) {
    position_ = POINT{x, y};
    ::SetWindowPos(window_.get(), HWND_TOPMOST, x, y, 0, 0, SWP_NOACTIVATE | SWP_NOSIZE);
}

void OverlayWindow::show() {
    if (::IsWindowVisible(window_.get())) return;
    // Shown at the top of the topmost band: a plain show leaves a new window
    // under topmost windows that were shown before it.
    ::SetWindowPos(window_.get(), HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void OverlayWindow::set_input_style(bool clickable, bool activatable) {
    DWORD style = kOverlayExStyle;
    if (clickable) style &= ~static_cast<DWORD>(WS_EX_TRANSPARENT);
    if (activatable) style &= ~static_cast<DWORD>(WS_EX_NOACTIVATE);
    ::SetWindowLongPtrW(window_.get(), GWL_EXSTYLE, static_cast<LONG_PTR>(style));
    ::SetWindowPos(window_.get(), HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace kadrovix::win32
