// Times the capture editor's overlay while the user drags, on the current
// virtual screen: a real session window over the whole desktop, a region
// inset 40 pixels from its edges, and a rectangle being drawn with the
// pointer. Each frame is one mouse move through the session's handler (timed
// on its own) followed by the repaint it asks for (WM_PAINT, sent
// synchronously by UpdateWindow). Cases: the frozen picture with no
// annotations and with 200 mixed annotations, each as the program paints
// (the settled layers retained) and with every layer drawn afresh ("full"),
// and live mode with 200, where each paint also pushes the desktop-sized
// surface to the layered window. Prints the median of the frames for each
// case: the handler's wall time, the repaint's wall time and the process's
// CPU time during it, and the area the repaint covered. A last case times
// the frames of a tooltip fading out after the pointer left its button.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/app_state_win32.h"
#include "app/runtime/com_apartment_win32.h"
#include "base/error_win32.h"
#include "bench/mixed_annotations.h"
#include "render/screen_grab_win32.h"
#include "session/capture_session_win32.h"
#include "settings/settings.h"
#include "toolbar/toolbar.h"

using namespace kadrovix;

namespace {

CaptureSession* g_session = nullptr;
int g_paints = 0;
std::optional<Error> g_paint_error;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT && g_session != nullptr) {
        ++g_paints;
        if (auto r = g_session->paint(); !r && !g_paint_error) g_paint_error = r.error();
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    return ::DefWindowProcW(window, message, wparam, lparam);
}

double ms_between(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Kernel plus user time of the whole process (every thread, so also the
// rasteriser's worker threads), in milliseconds.
double process_cpu_ms() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
    const auto value = [](FILETIME t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    return static_cast<double>(value(kernel) + value(user)) / 10'000.0;
}

// The bounding box of what waits to be repainted, in pixels.
double update_area(HWND window) {
    RECT r{};
    if (!::GetUpdateRect(window, &r, FALSE)) return 0.0;
    return static_cast<double>(r.right - r.left) * static_cast<double>(r.bottom - r.top);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1.0 : values[values.size() / 2];
}

struct Case {
    const char* name;
    bool annotations;
    bool live;
    // False: every frame draws all layers afresh (the retained base unused),
    // through the same frame code, to compare with in the same run.
    bool retained = true;
};

// One case: a fresh session from `capture`, a drag of `frames` moves.
int run_case(HWND window, const BgraImage& capture, const Case& c, int frames) {
    auto made = CaptureSession::from_image(window, capture, default_settings(), std::nullopt);
    if (!made) {
        std::printf("%s: session failed: %s\n", c.name, win32::error_text(made.error()).c_str());
        return 1;
    }
    std::unique_ptr<CaptureSession> session = std::move(*made);
    SessionState& s = session->state();
    const double w = s.desktop.width, h = s.desktop.height;
    s.region = Region{{40.0, 40.0, w - 40.0, h - 40.0}, true};
    s.region_selection = false;
    if (c.annotations) s.editor.objects = bench::mixed_annotations(w, h, 1000);
    if (c.live) {
        if (auto r = session->set_live(true); !r) {
            std::printf("%s: live mode failed: %s\n", c.name, win32::error_text(r.error()).c_str());
            return 1;
        }
    }
    g_session = session.get();
    g_paint_error.reset();

    AppState app;
    app.main_window = window;
    app.role = Role::Diagnostics;
    const POINT start{static_cast<LONG>(w / 3), static_cast<LONG>(h / 3)};
    if (auto r = session->mouse_move(start); !r) return 1;
    if (auto r = session->mouse_down(app, start); !r) return 1;
    ::UpdateWindow(window);  // the first frame builds caches; not counted

    std::vector<double> handler, paint, paint_cpu, area;
    const int before = g_paints;
    for (int i = 1; i <= frames; ++i) {
        const POINT p{start.x + 9 * i, start.y + 6 * i};
        const auto t0 = std::chrono::steady_clock::now();
        if (auto r = session->mouse_move(p); !r) return 1;
        const auto t1 = std::chrono::steady_clock::now();
        area.push_back(c.retained ? update_area(window) : w * h);
        const double cpu_before = process_cpu_ms();
        if (c.retained) {
            ::UpdateWindow(window);
        } else {
            ++g_paints;
            HDC dc = ::GetDC(window);
            if (auto r = session->render_frame(dc, false, ::GetTickCount64()); !r && !g_paint_error) {
                g_paint_error = r.error();
            }
            ::ReleaseDC(window, dc);
            ::ValidateRect(window, nullptr);
        }
        const double cpu_after = process_cpu_ms();
        const auto t2 = std::chrono::steady_clock::now();
        handler.push_back(ms_between(t0, t1));
        paint.push_back(ms_between(t1, t2));
        paint_cpu.push_back(cpu_after - cpu_before);
    }
    (void)session->mouse_up(app, POINT{start.x + 9 * frames, start.y + 6 * frames});
    ::ValidateRect(window, nullptr);
    g_session = nullptr;
    if (g_paint_error) {
        std::printf("%s: paint failed: %s\n", c.name, win32::error_text(*g_paint_error).c_str());
        return 1;
    }
    if (g_paints - before != frames) {
        std::printf("%s: %d paints for %d moves\n", c.name, g_paints - before, frames);
        return 1;
    }
    std::printf(
        "%-26s objects %3zu   move handler %7.3f ms   repaint %8.1f ms wall, %8.1f ms CPU, %5.1f%% of the desktop\n",
        c.name, s.editor.objects.size(), median(handler), median(paint), median(paint_cpu),
        100.0 * median(area) / (w * h));
    return 0;
}

// A tooltip shown over a toolbar button, then the pointer leaving: each
// frame of the fade is one timer tick's repaint.
int run_tooltip_case(HWND window, const BgraImage& capture, int frames) {
    auto made = CaptureSession::from_image(window, capture, default_settings(), std::nullopt);
    if (!made) return 1;
    std::unique_ptr<CaptureSession> session = std::move(*made);
    SessionState& s = session->state();
    const double w = s.desktop.width, h = s.desktop.height;
    s.region = Region{{40.0, 40.0, w - 40.0, h - 40.0}, true};
    s.region_selection = false;
    s.editor.objects = bench::mixed_annotations(w, h, 1000);
    g_session = session.get();
    g_paint_error.reset();
    const ToolbarLayout layout = layout_toolbar(toolbar_input(s));
    const ToolbarRect& button = layout.buttons()[0].rect;
    const POINT on{static_cast<LONG>(button.left + 10), static_cast<LONG>(button.top + 10)};
    std::vector<double> paint, area;
    for (int i = 0; i < frames; ++i) {
        if (auto r = session->mouse_move(on); !r) return 1;
        ::UpdateWindow(window);
        ::Sleep(kTooltipDelayMs + 20);  // the tooltip comes due
        session->invalidate();
        ::UpdateWindow(window);
        if (auto r = session->mouse_move(POINT{static_cast<LONG>(w / 2), static_cast<LONG>(h / 2)}); !r) return 1;
        ::UpdateWindow(window);
        ::Sleep(kTooltipFadeFrameMs);  // one tick into the fade
        session->invalidate();
        area.push_back(update_area(window));
        const auto t0 = std::chrono::steady_clock::now();
        ::UpdateWindow(window);
        paint.push_back(ms_between(t0, std::chrono::steady_clock::now()));
    }
    g_session = nullptr;
    if (g_paint_error) return 1;
    std::printf("%-26s objects %3zu   repaint %8.1f ms wall, %5.2f%% of the desktop\n", "tooltip fade frame",
                s.editor.objects.size(), median(paint), 100.0 * median(area) / (w * h));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int frames = argc > 1 ? _wtoi(argv[1]) : 15;
    if (frames < 1) return 1;
    const win32::ComApartment com;  // uninitialised last, after everything made below
    if (!com.ok()) return 1;
    auto grab = win32::grab_virtual_screen();
    if (!grab) return 2;

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"Kadrovix.OverlayBench";
    if (!::RegisterClassExW(&wc)) return 3;
    HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, L"overlay bench", WS_POPUP,
                                    grab->origin_x, grab->origin_y, static_cast<int>(grab->width),
                                    static_cast<int>(grab->height), nullptr, nullptr, wc.hInstance, nullptr);
    if (window == nullptr) return 3;
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    ::UpdateWindow(window);

    std::printf("screen %ux%u, %d drag frames per case, medians:\n", grab->width, grab->height, frames);
    int status = 0;
    for (const Case c :
         {Case{"frozen, no annotations", false, false}, Case{"frozen, 200 annotations", true, false},
          Case{"full, no annotations", false, false, false}, Case{"full, 200 annotations", true, false, false},
          Case{"live, 200 annotations", true, true}}) {
        status |= run_case(window, *grab, c, frames);
    }
    status |= run_tooltip_case(window, *grab, std::max(3, frames / 3));
    ::DestroyWindow(window);
    return status;
}
