#include "app/notice/toast_win32.h"

#include <string>

#include "app/notice/toast.h"
#include "app/runtime/gdi_win32.h"
#include "app/runtime/saved_dc_win32.h"
#include "app/runtime/text_win32.h"
#include "app/runtime/window_win32.h"
#include "base/error_win32.h"

namespace kadrovix {

namespace {

constexpr int kTextInset = 16;
constexpr int kFontUnits = 14;
// The window title carries the text; painting reads back at most this much.
constexpr int kMaxTitle = 255;

void hide_toast(HWND window) {
    ::KillTimer(window, kToastTimerId);
    ::ShowWindow(window, SW_HIDE);
}

// The window keeps the tick count at which it appeared; unsigned 32-bit
// arithmetic gets the elapsed time right across the count's wrap-around.
void on_tick(HWND window) {
    const auto shown = static_cast<DWORD>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    const ToastTick tick = toast_tick(static_cast<DWORD>(::GetTickCount() - shown));
    if (tick.opacity) ::SetLayeredWindowAttributes(window, 0, *tick.opacity, LWA_ALPHA);
    if (tick.close) hide_toast(window);
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window, &ps);
    if (dc == nullptr) return;
    RECT client{};
    ::GetClientRect(window, &client);
    wchar_t title[kMaxTitle + 1] = {};
    const int length = ::GetWindowTextW(window, title, kMaxTitle + 1);
    const std::wstring_view text(title, length > 0 ? static_cast<std::size_t>(length) : 0);

    // Drawn off screen first, so that the fill and the text arrive together.
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    win32::UniqueDc memory(::CreateCompatibleDC(dc));
    win32::UniqueBitmap bitmap(memory ? ::CreateCompatibleBitmap(dc, width, height) : nullptr);
    if (bitmap) {
        win32::SelectedObject selected(memory.get(), bitmap.get());
        const RECT local{0, 0, width, height};
        draw_toast(memory.get(), local, text);
        ::BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
    } else {
        draw_toast(dc, client, text);
    }
    ::EndPaint(window, &ps);
}

LRESULT CALLBACK toast_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_PAINT: paint(window); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_NCHITTEST: return HTTRANSPARENT;
        case WM_TIMER:
            if (wparam == kToastTimerId) {
                on_tick(window);
                return 0;
            }
            break;
        case WM_CLOSE: hide_toast(window); return 0;
        default: break;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
}

Result<void> register_toast_class(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = toast_window_proc;
    wc.hInstance = instance;
    wc.lpszClassName = kToastWindowClass;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return win32::fail_last_error();
    }
    return {};
}

void destroy_toast(HWND window) {
    if (window == nullptr || !::IsWindow(window)) return;
    ::KillTimer(window, kToastTimerId);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    ::DestroyWindow(window);
}

}  // namespace

Result<HWND> create_toast_window(std::string_view text) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    RETURN_IF_ERROR(register_toast_class(instance));

    POINT cursor{};
    if (!::GetCursorPos(&cursor)) return win32::fail_last_error();
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return win32::fail_last_error();
    }
    const RECT& work = monitor.rcWork;

    std::wstring title = win32::to_wide(text);
    if (title.size() > static_cast<std::size_t>(kMaxTitle)) title.resize(kMaxTitle);
    // Created on the target monitor, so that the DPI read below is that monitor's.
    win32::UniqueWindow window(::CreateWindowExW(kToastExStyle, kToastWindowClass, title.c_str(), WS_POPUP, work.left,
                                                 work.top, kToastWidthUnits, kToastHeightUnits, nullptr, nullptr,
                                                 instance, nullptr));
    if (!window) return win32::fail_last_error();

    const ToastPlacement place =
        toast_placement(WorkArea{work.left, work.top, work.right, work.bottom}, ::GetDpiForWindow(window.get()));
    if (!::SetWindowPos(window.get(), HWND_TOPMOST, place.x, place.y, place.width, place.height, SWP_NOACTIVATE)) {
        return win32::fail_last_error();
    }

    win32::UniqueRegion region(
        ::CreateRoundRectRgn(0, 0, place.width + 1, place.height + 1, place.corner, place.corner));
    if (region && ::SetWindowRgn(window.get(), region.get(), FALSE) != 0) {
        region.release();  // the window owns it now
    }

    // Kept out of the user's own screenshots; older systems lack the mode.
    ::SetWindowDisplayAffinity(window.get(), WDA_EXCLUDEFROMCAPTURE);

    if (!::SetLayeredWindowAttributes(window.get(), 0, 255, LWA_ALPHA)) return win32::fail_last_error();
    ::SetWindowLongPtrW(window.get(), GWLP_USERDATA, static_cast<LONG_PTR>(::GetTickCount()));
    if (::SetTimer(window.get(), kToastTimerId, kToastTickMs, nullptr) == 0) return win32::fail_last_error();
    ::ShowWindow(window.get(), SW_SHOWNOACTIVATE);
    return window.release();
}

void draw_toast(HDC dc, const RECT& client, std::wstring_view text) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;

    // The corners outside the rounded outline are clipped by the window
    // region; they get the fill colour so no dark speck shows at the edge.
    {
        win32::UniqueBrush fill(::CreateSolidBrush(kToastFill));
        if (fill) ::FillRect(dc, &client, fill.get());
    }

    win32::SavedDc saved(dc);
    if (!saved.ok()) return;
    ::SetMapMode(dc, MM_ANISOTROPIC);
    ::SetWindowExtEx(dc, kToastWidthUnits, kToastHeightUnits, nullptr);
    ::SetViewportExtEx(dc, width, height, nullptr);
    ::SetWindowOrgEx(dc, 0, 0, nullptr);
    ::SetViewportOrgEx(dc, client.left, client.top, nullptr);

    win32::UniqueBrush brush(::CreateSolidBrush(kToastFill));
    win32::UniquePen pen(::CreatePen(PS_SOLID, 1, kToastOutline));
    if (brush && pen) {
        win32::SelectedObject selected_brush(dc, brush.get());
        win32::SelectedObject selected_pen(dc, pen.get());
        ::RoundRect(dc, 0, 0, kToastWidthUnits, kToastHeightUnits, kToastCornerUnits, kToastCornerUnits);
    }

    if (text.empty()) return;
    win32::UniqueFont font(::CreateFontW(-kFontUnits, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                         DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI"));
    if (!font) return;
    win32::SelectedObject selected_font(dc, font.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kToastText);
    RECT area{kTextInset, 0, kToastWidthUnits - kTextInset, kToastHeightUnits};
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &area,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void notify(AppState& app, NoticeKind kind) {
    if (app.notification_owner) {
        // The resident may be gone; the notice is then simply lost.
        ::PostMessageW(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*app.notification_owner)), MSG_NOTICE,
                       static_cast<WPARAM>(::GetCurrentProcessId()), static_cast<LPARAM>(kind));
        return;
    }
    if (app.is_editor() || !app.stores_settings()) return;
    const std::string_view text = notice_text(static_cast<std::uint64_t>(kind));
    if (text.empty()) return;
    show_toast(app, text);
}

void show_toast(AppState& app, std::string_view text) {
    auto created = create_toast_window(text);
    destroy_toast(app.toast_window);
    app.toast_window = created ? *created : nullptr;
}

void close_toast(AppState& app) {
    destroy_toast(app.toast_window);
    app.toast_window = nullptr;
}

}  // namespace kadrovix
