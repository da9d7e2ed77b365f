#include "session/capture_session_win32.h"

#include <dwmapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/runtime/start_trace_win32.h"
#include "app/runtime/text_win32.h"
#include "base/error_win32.h"
#include "render/d2d_helpers_win32.h"
#include "render/screen_grab_win32.h"
#include "render/settled_grab.h"
#include "session/execute.h"
#include "session/input.h"
#include "session/io/clipboard_win32.h"
#include "session/io/image_search_win32.h"
#include "session/io/save_capture_win32.h"
#include "session/move_history.h"
#include "session/overlay.h"
#include "session/region.h"
#include "toolbar/toolbar_win32.h"

namespace kadrovix {

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kExcludeFromCapture = 0x11;  // WDA_EXCLUDEFROMCAPTURE

using d2d::rgba;

// Best effort: the overlay must not show up in its own later grabs. A system
// that refuses (Wine, Windows 10 before 2004) still gets a session: its grabs
// hide the window for a moment instead (grab_desktop_now). Monitor affinity
// would black the overlay out of those grabs and of every other recorder, so
// it is not used as a fallback.
bool exclude_from_capture(HWND window) {
    const bool excluded = ::SetWindowDisplayAffinity(window, kExcludeFromCapture) != FALSE;
    ::DwmFlush();
    return excluded;
}

}  // namespace

CaptureSession::CaptureSession(HWND window, BgraImage capture, Desktop geometry)
    : window_(window), capture_(std::move(capture)), geometry_(geometry) {}

CaptureSession::~CaptureSession() {
    if (mouse_captured_ && ::GetCapture() == window_) ::ReleaseCapture();
}

std::uint64_t CaptureSession::now_ms() { return ::GetTickCount64(); }

bool CaptureSession::key_down_now(int vk) {
    return (::GetKeyState(vk) & 0x8000) != 0;
}

Point CaptureSession::client_point(POINT p) {
    return Point{static_cast<double>(p.x), static_cast<double>(p.y)};
}

Result<std::unique_ptr<CaptureSession>> CaptureSession::start(HWND window, const Settings& settings) {
    auto grab = win32::grab_virtual_screen();
    if (!grab) return propagate(grab);
    win32::mark_start("grabbed");
    POINT cursor{};
    std::optional<Point> cursor_on_screen;
    if (::GetCursorPos(&cursor)) cursor_on_screen = client_point(cursor);
    // Live mode's first frame is drawn with per-pixel alpha: it waits for
    // the resources.
    return from_image(window, std::move(*grab), settings, cursor_on_screen, settings.live_capture);
}

Result<std::unique_ptr<CaptureSession>> CaptureSession::from_image(HWND window, BgraImage capture,
                                                                   const Settings& settings,
                                                                   std::optional<Point> cursor_on_screen, bool draw_now,
                                                                   DesktopGrab regrab) {
    RETURN_IF_ERROR(validate_image(capture));
    const Desktop geometry = geometry_of(capture);
    std::unique_ptr<CaptureSession> session(new CaptureSession(window, std::move(capture), geometry));
    session->regrab_ = regrab ? std::move(regrab) : DesktopGrab(win32::regrab_virtual_screen);
    session->state_ = new_session(geometry);
    apply_start_values(session->state_, settings.custom_color, static_cast<double>(settings.capture_stroke_width),
                       cursor_on_screen);
    if (draw_now || settings.live_capture) RETURN_IF_ERROR(session->create_resources());
    if (settings.live_capture) {
        if (auto r = session->set_live(true); !r) return propagate(r);
    }
    return session;
}

Result<CaptureSession::DrawingResources> CaptureSession::make_resources(bool live, const BgraImage& picture) {
    auto context =
        win32::create_render_context(live ? win32::TargetAlpha::Premultiplied : win32::TargetAlpha::Ignore);
    if (!context) return propagate(context);
    DrawingResources made{std::move(*context), {}};
    if (!live) {
        auto bitmap = win32::create_capture_bitmap(made.context.dc_target.Get(), picture);
        if (!bitmap) return propagate(bitmap);
        made.capture_bitmap = std::move(*bitmap);
        win32::mark_start("bitmap");
    }
    return made;
}

void CaptureSession::adopt(DrawingResources resources) {
    picker_.drop_resources();  // its bitmaps belong to the target replaced here
    base_.reset();
    frame_.Reset();
    brushes_ = {};
    toolbar_paint_.reset();
    context_ = std::move(resources.context);
    capture_bitmap_ = std::move(resources.capture_bitmap);
    ++picture_generation_;
}

Result<void> CaptureSession::create_resources() {
    auto made = make_resources(state_.live, capture_);
    if (!made) return propagate(made);
    adopt(std::move(*made));
    return {};
}

Result<void> CaptureSession::show_over_desktop() {
    ::SetWindowLongPtrW(window_, GWL_STYLE, WS_POPUP);
    LONG_PTR ex = ::GetWindowLongPtrW(window_, GWL_EXSTYLE);
    ex = (ex | WS_EX_TOPMOST | WS_EX_TOOLWINDOW) & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW);
    if (state_.live) ex |= WS_EX_LAYERED;
    ::SetWindowLongPtrW(window_, GWL_EXSTYLE, ex);
    excluded_from_capture_ = exclude_from_capture(window_);
    win32::mark_start("excluded");
    const Desktop& d = state_.desktop;
    if (!::SetWindowPos(window_, HWND_TOPMOST, d.x, d.y, d.width, d.height, SWP_FRAMECHANGED | SWP_SHOWWINDOW)) {
        return win32::fail_last_error();
    }
    win32::mark_start("shown");
    ::SetForegroundWindow(window_);
    ::SetFocus(window_);
    if (!context_.dc_target) {
        paint_veiled_picture();
        win32::mark_start("veiled");
        RETURN_IF_ERROR(create_resources());
    }
    invalidate();
    win32::mark_start("focused");
    return {};
}

void CaptureSession::paint_veiled_picture() const {
    std::vector<std::uint8_t> veiled = capture_.pixels;
    veil_pixels(veiled);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(capture_.width);
    info.bmiHeader.biHeight = -static_cast<LONG>(capture_.height);  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const win32::WindowDc dc(window_);
    if (!dc) return;  // the Direct2D frame follows anyway
    ::SetDIBitsToDevice(dc.get(), 0, 0, capture_.width, capture_.height, 0, 0, 0, capture_.height, veiled.data(),
                        &info, DIB_RGB_COLORS);
    ::GdiFlush();
    // Some systems hand a window's drawing to the display only while its
    // thread finds its queue empty; the resources made next take a while.
    // The frame drawn with them repaints the whole window anyway.
    ::ValidateRect(window_, nullptr);
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

Result<void> CaptureSession::set_live(bool live) {
    if (live == state_.live) return {};
    excluded_from_capture_ = exclude_from_capture(window_);
    if (live) {
        auto surface = win32::LiveSurface::create(state_.desktop);
        if (!surface) return propagate(surface);
        auto made = make_resources(true, capture_);
        if (!made) return propagate(made);
        live_surface_ = std::move(*surface);
        state_.live = true;
        ::SetWindowLongPtrW(window_, GWL_EXSTYLE, ::GetWindowLongPtrW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
        adopt(std::move(*made));
    } else {
        // Freezing takes a fresh picture of the same display layout.
        auto grab = grab_desktop_now();
        if (!grab) return propagate(grab);
        RETURN_IF_ERROR(validate_image(*grab));
        auto made = make_resources(false, *grab);
        if (!made) return propagate(made);
        capture_ = std::move(*grab);
        state_.live = false;
        ::SetWindowLongPtrW(window_, GWL_EXSTYLE,
                            ::GetWindowLongPtrW(window_, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        live_surface_.reset();
        adopt(std::move(*made));
    }
    invalidate();
    return {};
}

ToolbarLayout CaptureSession::toolbar_layout() const { return layout_toolbar(toolbar_input(state_)); }

PartsView CaptureSession::parts_at(Point p) const {
    PartsView parts;
    const ToolbarLayout layout = toolbar_layout();
    if (const ToolbarButton* button = hit_test_button(layout, p)) parts.toolbar_button = button->command;
    parts.over_toolbar = over_toolbar(layout, p);
    // --- dimension editor ---
    if (const auto label = dimensions::label_box(state_)) {
        parts.on_dimension_label = dimensions::label_contains(*label, p);
    }
    if (dimension_editor_) {
        parts.dimension_editor_open = true;
        parts.dimension_selecting = dimension_editor_->selecting();
    }
    // --- text entry ---
    if (text_entry_) {
        parts.text_entry_open = true;
        parts.text_selecting = text_entry_->selecting();
        const auto inside = text_entry_->contains(context_.dwrite_factory.Get(), p);
        parts.in_text_field = inside && *inside;
    }
    parts.picker_open = picker_.is_open();
    parts.picker_dragging = picker_.dragging();
    return parts;
}

}  // namespace kadrovix
