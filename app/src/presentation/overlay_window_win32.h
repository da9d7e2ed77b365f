// Presentation mode's overlay windows: top-level layered windows above
// everything, never activated and click-through unless told otherwise, each
// painted with Direct2D into a 32-bit premultiplied surface of its own size
// and handed to the system with per-pixel alpha.
#pragma once

#include <windows.h>
#include <d2d1.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "app/runtime/dib_surface_win32.h"
#include "app/runtime/window_win32.h"
#include "base/error.h"
#include "render/renderer_win32.h"

namespace kadrovix::win32 {

inline constexpr wchar_t kPresentationWindowClass[] = L"Kadrovix.Presentation";
inline constexpr wchar_t kPresentationWindowTitle[] = L"Kadrovix presentation";
// The base extended style of every overlay window.
inline constexpr DWORD kOverlayExStyle =
    WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_NOACTIVATE;

// Which overlay a window is; its messages reach the handler with it.
enum class OverlayRole : std::uint8_t { Halo, Canvas, InputDisplay, LockHandle };

// Receives the messages of the overlay windows. A handler answers with the
// message's result, or nothing for default handling.
class OverlayHandler {
public:
    virtual bool overlay_message(OverlayRole role, HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                 LRESULT& result) = 0;

protected:
    ~OverlayHandler() = default;
};

// What a window carries in its user data: who handles it and as what.
struct OverlayBinding {
    OverlayHandler* handler = nullptr;
    OverlayRole role = OverlayRole::Halo;
};

using OverlayPainter = std::function<Result<void>(ID2D1RenderTarget*)>;

class OverlayWindow {
public:
    // Creates a hidden window of `width` x `height` at (`x`, `y`) in screen
    // pixels, with the drawing surface of that size.
    static Result<OverlayWindow> create(OverlayRole role, OverlayHandler* handler, int x, int y, int width,
                                        int height);

    OverlayWindow() = default;
    OverlayWindow(OverlayWindow&& other) noexcept { *this = std::move(other); }
    OverlayWindow& operator=(OverlayWindow&&) noexcept;
    OverlayWindow(const OverlayWindow&) = delete;
    OverlayWindow& operator=(const OverlayWindow&) = delete;
    ~OverlayWindow();

    HWND hwnd() const { return window_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    // The window's top-left corner as last placed.
    POINT position() const { return position_; }

    // Clears the surface to transparent, lets `paint` draw (between BeginDraw
    // and EndDraw of the context's DC target) and hands the picture to the
    // window at its current place.
    Result<void> paint(const RenderContext& context, const OverlayPainter& paint);

    // Moves the window (topmost, never activated) without repainting it.
    void move_to(int x, int y);
    // Shows it on top without activating it, if it is hidden.
    void show();
    // Sets the extended style to the base style with `clickable` taking away
    // WS_EX_TRANSPARENT and `activatable` taking away WS_EX_NOACTIVATE.
    void set_input_style(bool clickable, bool activatable);

private:
    UniqueWindow window_;
    std::unique_ptr<OverlayBinding> binding_;
    DibSurface surface_;
    int width_ = 0;
    int height_ = 0;
    POINT position_{};

    void release();
};

// The window class, registered once per process (a later call does nothing).
Result<void> register_overlay_class();

}  // namespace kadrovix::win32
