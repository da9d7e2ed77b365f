// Times presentation mode's controller on the current virtual screen, with the
// real controller attached to a hidden top-level window of our own whose
// procedure routes messages to it the way the resident window does. Raw input
// records are made up through the controller's reader seam, so no real mouse
// is needed. One case per run, chosen by the first argument:
//
//   moves  [count]    pointer moves with the halo on: SetCursorPos, then one
//                     WM_INPUT whose record carries no button change (the
//                     halo window only moves) or a press and release (the
//                     halo is repainted); SetCursorPos alone, and SetCursorPos
//                     with one SetWindowPos of a bare layered window, as the
//                     baselines
//   idle   [seconds]  all three features on, no input, animations over: the
//                     process's CPU time during an ordinary message loop
//   ticks  [count]    one animation tick of the desktop-sized canvas with 1
//                     and with 128 long-lived shapes
//   memory [count] [every]
//                     working set before and after `count` rectangles drawn
//                     through the canvas's own mouse messages and faded out,
//                     and after every `every` (250) of them on the way
//
// Every measurement is printed as "result <name> <value>" so that
// tools/bench-presentation.sh can take medians over runs; other lines are
// context for the reader.
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/runtime/com_apartment_win32.h"
#include "app/runtime/dib_surface_win32.h"
#include "base/error_win32.h"
#include "presentation/controller_win32.h"
#include "settings/settings.h"

using namespace kadrovix;

namespace {

PresentationController* g_controller = nullptr;
// Button flags of the next made-up raw mouse record.
std::uint16_t g_button_flags = 0;
bool g_failed = false;
// Animation ticks the window received through the message loop, and the
// longest of them.
int g_ticks_dispatched = 0;
double g_longest_tick_ms = 0.0;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (g_controller != nullptr) {
        if (message == WM_TIMER && wparam == kAnimationTimerId) {
            ++g_ticks_dispatched;
            const auto t0 = std::chrono::steady_clock::now();
            auto result = g_controller->handle_message(message, wparam, lparam);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            g_longest_tick_ms = std::max(g_longest_tick_ms, ms);
            if (result) return *result;
            return ::DefWindowProcW(window, message, wparam, lparam);
        }
        if (auto result = g_controller->handle_message(message, wparam, lparam)) return *result;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
}

UINT fake_mouse_record(HRAWINPUT, void* buffer, UINT size) {
    constexpr UINT kBytes = sizeof(RAWINPUTHEADER) + sizeof(RAWMOUSE);
    if (size < kBytes) return static_cast<UINT>(-1);
    std::memset(buffer, 0, size);
    auto* input = static_cast<RAWINPUT*>(buffer);
    input->header.dwType = RIM_TYPEMOUSE;
    input->header.dwSize = kBytes;
    input->data.mouse.usButtonFlags = g_button_flags;
    return kBytes;
}

std::uint64_t filetime_100ns(FILETIME t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

// Kernel plus user time, in milliseconds.
double thread_cpu_ms() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
    return static_cast<double>(filetime_100ns(kernel) + filetime_100ns(user)) / 10'000.0;
}

// Every thread of the process: Direct2D's software rasteriser may work on
// threads other than ours.
double process_cpu_ms() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
    return static_cast<double>(filetime_100ns(kernel) + filetime_100ns(user)) / 10'000.0;
}

double working_set_kib() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters)) {
        return -1.0;
    }
    return static_cast<double>(counters.WorkingSetSize) / 1024.0;
}

double private_kib() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters)) {
        return -1.0;
    }
    return static_cast<double>(counters.PrivateUsage) / 1024.0;
}

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty()) return -1.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void result(const char* name, double value) { std::printf("result %s %.3f\n", name, value); }

// Dispatches whatever is queued, without waiting.
void pump_pending() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Dispatches what is queued, but at most one animation tick: while a frame
// takes longer than the timer's interval the next tick is always due, and a
// plain pump would keep painting instead of letting the next shape be drawn.
void pump_one_frame() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        if (msg.message == WM_TIMER && msg.wParam == kAnimationTimerId) break;
    }
}

// Runs the message loop until `done` holds or `timeout_ms` passes; true when
// `done` held. Sleeps in MsgWaitForMultipleObjects between messages, like the
// resident's GetMessage loop.
template <class Done>
bool pump_until(Done done, DWORD timeout_ms) {
    const std::uint64_t end = ::GetTickCount64() + timeout_ms;
    for (;;) {
        pump_pending();
        if (done()) return true;
        const std::uint64_t now = ::GetTickCount64();
        if (now >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<std::uint64_t>(end - now, 50)),
                                    QS_ALLINPUT);
    }
}

struct Window {
    HWND hwnd = nullptr;
    ~Window() {
        if (hwnd != nullptr) ::DestroyWindow(hwnd);
    }
};

bool make_window(Window& window) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Kadrovix.PresentationBench";
    if (!::RegisterClassExW(&wc)) return false;
    // Hidden, like the resident window: it only receives input, hot keys and timers.
    window.hwnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"presentation bench", WS_POPUP, 0, 0, 1, 1,
                                    nullptr, nullptr, wc.hInstance, nullptr);
    return window.hwnd != nullptr;
}

std::unique_ptr<PresentationController> make_controller(HWND window, const Settings& settings) {
    auto made = PresentationController::create(window, settings);
    if (!made) {
        std::printf("controller: %s\n", win32::error_text(made.error()).c_str());
        return nullptr;
    }
    std::unique_ptr<PresentationController> controller = std::move(*made);
    controller->set_raw_input_reader(fake_mouse_record);
    controller->set_failure_report([](std::string_view text) {
        g_failed = true;
        std::printf("presentation stopped: %.*s\n", static_cast<int>(text.size()), text.data());
    });
    g_controller = controller.get();
    return controller;
}

bool activate(PresentationController& controller, std::uint32_t flags) {
    controller.state().features = flags;
    auto activated = controller.activate_with_priority(flags);
    if (!activated) {
        std::printf("activation: %s\n", win32::error_text(activated.error()).c_str());
        return false;
    }
    if (!activated->empty()) std::printf("shortcuts not available: %s\n", activated->c_str());
    return true;
}

POINT screen_size() { return POINT{::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN)}; }

// --- pointer moves ------------------------------------------------------------------------

// The i-th pointer position: a walk over the screen that never repeats the
// previous position, so every move has to move the halo.
POINT walk(int i) {
    const POINT size = screen_size();
    const POINT origin{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN)};
    const int w = std::max<int>(size.x - 200, 50), h = std::max<int>(size.y - 200, 50);
    return POINT{origin.x + 100 + (i * 7) % w, origin.y + 100 + (i * 5) % h};
}

struct MoveTimes {
    double thread_us = 0, process_us = 0, handler_wall_us = 0, handler_wall_mean_us = 0;
    int halo_misplaced = 0;
};

double mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) sum += v;
    return values.empty() ? -1.0 : sum / static_cast<double>(values.size());
}

// `count` moves; with `records`, each is followed by one WM_INPUT carrying
// `flags`. Per-move CPU is the loop's total over `count` (the system's CPU
// clocks are too coarse for one move); the handler's wall time is taken
// around handle_message alone.
bool time_moves(PresentationController& controller, int count, bool records, std::uint16_t flags, int offset,
                MoveTimes& out) {
    g_button_flags = flags;
    std::vector<double> handler;
    handler.reserve(static_cast<std::size_t>(count));
    const double thread0 = thread_cpu_ms(), process0 = process_cpu_ms();
    for (int i = 0; i < count; ++i) {
        const POINT p = walk(offset + i);
        ::SetCursorPos(p.x, p.y);
        if (records) {
            const auto t0 = Clock::now();
            controller.handle_message(WM_INPUT, RIM_INPUT, 0);
            handler.push_back(ms_since(t0) * 1000.0);
        }
    }
    const double thread1 = thread_cpu_ms(), process1 = process_cpu_ms();
    if (g_failed) return false;
    out.thread_us = (thread1 - thread0) * 1000.0 / count;
    out.process_us = (process1 - process0) * 1000.0 / count;
    out.handler_wall_us = records ? median(handler) : 0.0;
    out.handler_wall_mean_us = records ? mean(handler) : 0.0;
    if (records) {
        // The halo must be where the last move put it (centred on the pointer).
        RECT r{};
        POINT cursor{};
        ::GetCursorPos(&cursor);
        ::GetWindowRect(controller.halo_window(), &r);
        const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
        if (std::abs(cx - cursor.x) > 1 || std::abs(cy - cursor.y) > 1) out.halo_misplaced = 1;
    }
    return true;
}

// What a plain move should cost at best: the same SetCursorPos walk moving a
// bare layered window of the halo's size and styles with the same call the
// halo uses, without the controller.
bool time_bare_moves(int count, int offset, MoveTimes& out) {
    constexpr int kSide = 72;
    HWND bare = ::CreateWindowExW(win32::kOverlayExStyle, win32::kPresentationWindowClass, L"bare", WS_POPUP, 0, 0,
                                  kSide, kSide, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (bare == nullptr) return false;
    auto surface = win32::DibSurface::create(kSide, kSide);
    if (!surface) {
        ::DestroyWindow(bare);
        return false;
    }
    HDC dc = surface->dc();
    std::memset(surface->bits(), 0x40, static_cast<std::size_t>(kSide) * kSide * 4);
    POINT at{0, 0}, source{0, 0};
    SIZE size{kSide, kSide};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    HDC screen = ::GetDC(nullptr);
    ::UpdateLayeredWindow(bare, screen, &at, &size, dc, &source, 0, &blend, ULW_ALPHA);
    ::ReleaseDC(nullptr, screen);
    ::SetWindowPos(bare, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    pump_pending();

    std::vector<double> wall;
    wall.reserve(static_cast<std::size_t>(count));
    const double thread0 = thread_cpu_ms(), process0 = process_cpu_ms();
    for (int i = 0; i < count; ++i) {
        const POINT p = walk(offset + i);
        ::SetCursorPos(p.x, p.y);
        const auto t0 = Clock::now();
        ::SetWindowPos(bare, HWND_TOPMOST, p.x - kSide / 2, p.y - kSide / 2, 0, 0, SWP_NOACTIVATE | SWP_NOSIZE);
        wall.push_back(ms_since(t0) * 1000.0);
    }
    const double thread1 = thread_cpu_ms(), process1 = process_cpu_ms();
    out.thread_us = (thread1 - thread0) * 1000.0 / count;
    out.process_us = (process1 - process0) * 1000.0 / count;
    out.handler_wall_us = median(wall);
    out.handler_wall_mean_us = mean(wall);
    ::DestroyWindow(bare);
    pump_pending();
    return true;
}

int run_moves(HWND window, int count) {
    const double ws_start = working_set_kib();
    auto controller = make_controller(window, default_settings());
    if (!controller || !activate(*controller, kFeaturePointerHalo)) return 1;
    pump_pending();
    if (controller->halo_window() == nullptr) {
        std::printf("no halo window\n");
        return 1;
    }
    // Warm-up: the first repaint creates Direct2D's resources for the halo.
    MoveTimes warm;
    if (!time_moves(*controller, 50, true, kRawLeftDown | kRawLeftUp, 0, warm)) return 1;
    if (!time_moves(*controller, 50, true, 0, 50, warm)) return 1;
    pump_pending();
    // For comparison with the canvas's first paint in the memory case: how
    // much the first Direct2D paints of a small window bring in.
    std::printf("working set %.0f KiB before the controller, %.0f KiB after the first halo paints\n", ws_start,
                working_set_kib());

    MoveTimes baseline, bare, plain, repaint;
    if (!time_moves(*controller, count, false, 0, 1000, baseline)) return 1;
    if (!time_bare_moves(count, 1500, bare)) {
        std::printf("no bare layered window\n");
        return 1;
    }
    if (!time_moves(*controller, count, true, 0, 2000, plain)) return 1;
    pump_pending();
    if (!time_moves(*controller, count, true, kRawLeftDown | kRawLeftUp, 3000, repaint)) return 1;
    pump_pending();

    RECT r{};
    ::GetWindowRect(controller->halo_window(), &r);
    std::printf("screen %ldx%ld, halo window %ldx%ld, %d moves per case\n", screen_size().x, screen_size().y,
                r.right - r.left, r.bottom - r.top, count);
    if (plain.halo_misplaced != 0 || repaint.halo_misplaced != 0) {
        std::printf("the halo did not follow the pointer\n");
        return 1;
    }
    result("move.setcursorpos_only.thread_cpu_us", baseline.thread_us);
    result("move.setcursorpos_only.process_cpu_us", baseline.process_us);
    result("move.bare_setwindowpos.thread_cpu_us", bare.thread_us);
    result("move.bare_setwindowpos.process_cpu_us", bare.process_us);
    result("move.bare_setwindowpos.call_wall_us", bare.handler_wall_us);
    result("move.bare_setwindowpos.call_wall_mean_us", bare.handler_wall_mean_us);
    result("move.plain.thread_cpu_us", plain.thread_us);
    result("move.plain.process_cpu_us", plain.process_us);
    result("move.plain.handler_wall_us", plain.handler_wall_us);
    result("move.plain.handler_wall_mean_us", plain.handler_wall_mean_us);
    result("move.press_release.thread_cpu_us", repaint.thread_us);
    result("move.press_release.process_cpu_us", repaint.process_us);
    result("move.press_release.handler_wall_us", repaint.handler_wall_us);
    result("move.press_release.handler_wall_mean_us", repaint.handler_wall_mean_us);
    controller.reset();
    g_controller = nullptr;
    return g_failed ? 1 : 0;
}

// --- idle --------------------------------------------------------------------------------

int run_idle(HWND window, int seconds) {
    auto controller = make_controller(window, default_settings());
    if (!controller || !activate(*controller, kAllFeatures)) return 1;
    PresentationController& c = *controller;
    if (c.halo_window() == nullptr || c.input_display_window() == nullptr) {
        std::printf("overlays missing after activation\n");
        return 1;
    }
    const auto settle_start = Clock::now();
    if (!pump_until([&] { return !c.state().animation_running; }, 15000)) {
        std::printf("the animation timer still runs 15 s after activation\n");
        result("idle.animation_still_running", 1);
        return 1;
    }
    std::printf("animations over %.0f ms after activation (%d ticks)\n", ms_since(settle_start), g_ticks_dispatched);
    // A moment more, so that whatever the last frame set going elsewhere in
    // the process has finished before the clock starts.
    pump_until([] { return false; }, 500);

    constexpr UINT_PTR kEndTimer = 0xBE7C;
    const int ticks_before = g_ticks_dispatched;
    int messages = 0;
    const double process0 = process_cpu_ms(), thread0 = thread_cpu_ms();
    const auto t0 = Clock::now();
    ::SetTimer(window, kEndTimer, static_cast<UINT>(seconds) * 1000u, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == kEndTimer) break;
        ++messages;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::KillTimer(window, kEndTimer);
    const double wall = ms_since(t0);
    const double process1 = process_cpu_ms(), thread1 = thread_cpu_ms();
    std::printf("idle wall %.0f ms, %d messages dispatched, %d animation ticks, timer running at the end: %s\n", wall,
                messages, g_ticks_dispatched - ticks_before, c.state().animation_running ? "yes" : "no");
    result("idle.process_cpu_ms", process1 - process0);
    result("idle.thread_cpu_ms", thread1 - thread0);
    result("idle.animation_ticks", g_ticks_dispatched - ticks_before);
    result("idle.messages", messages);
    controller.reset();
    g_controller = nullptr;
    return g_failed ? 1 : 0;
}

// --- canvas ticks -------------------------------------------------------------------------

// `n` shapes spread over the canvas (client pixels), each living a minute so
// that none fades during the timing.
std::vector<FadingShape> long_lived_shapes(int n) {
    const POINT size = screen_size();
    const std::uint64_t now = ::GetTickCount64();
    std::vector<FadingShape> shapes;
    for (int i = 0; i < n; ++i) {
        const double x = 20.0 + (i * 53) % std::max<int>(size.x - 200, 1);
        const double y = 20.0 + (i * 37) % std::max<int>(size.y - 150, 1);
        Annotation a;
        switch (i % 3) {
            case 0: a.geometry = shape::Rectangle{Rect{Point{x, y}, Point{x + 120, y + 80}}}; break;
            case 1: a.geometry = shape::Ellipse{Rect{Point{x, y}, Point{x + 120, y + 80}}}; break;
            default: a.geometry = shape::Arrow{std::nullopt, std::nullopt, Point{x, y}, Point{x + 140, y + 90}}; break;
        }
        a.width = 5.0;
        a.colour = Rgb{0xed, 0x4f, 0x5c};
        shapes.push_back(FadingShape{a, 28.0, now, 60000});
    }
    return shapes;
}

bool time_ticks(PresentationController& c, int n, int ticks) {
    c.state().fading_shapes = long_lived_shapes(n);
    // The rectangle shortcut makes the canvas; Esc ends the drawing, and the
    // canvas stays for the shapes.
    c.handle_message(WM_HOTKEY, kRectangleHotkeyId, 0);
    HWND canvas = c.canvas_window();
    if (canvas == nullptr) {
        std::printf("no canvas after the rectangle shortcut\n");
        return false;
    }
    ::SendMessageW(canvas, WM_KEYDOWN, VK_ESCAPE, 0);
    if (c.state().drawing.active() || c.canvas_window() == nullptr) {
        std::printf("Esc did not end the drawing, or the canvas went\n");
        return false;
    }
    pump_pending();
    c.handle_message(WM_TIMER, kAnimationTimerId, 0);  // warm-up
    const double ws_before = working_set_kib();
    std::vector<double> wall, cpu;
    for (int i = 0; i < ticks; ++i) {
        const double cpu0 = process_cpu_ms();
        const auto t0 = Clock::now();
        c.handle_message(WM_TIMER, kAnimationTimerId, 0);
        wall.push_back(ms_since(t0));
        cpu.push_back(process_cpu_ms() - cpu0);
    }
    std::printf("%d shapes: %d ticks, wall min %.1f max %.1f ms, working set %.0f KiB before, %.0f KiB after\n", n,
                ticks, *std::min_element(wall.begin(), wall.end()), *std::max_element(wall.begin(), wall.end()),
                ws_before, working_set_kib());
    if (g_failed || c.state().fading_shapes.size() != static_cast<std::size_t>(n) || c.canvas_window() == nullptr) {
        std::printf("the shapes or the canvas went during the ticks (a minute's life is too short for this many)\n");
        return false;
    }
    const std::string base = "tick.shapes_" + std::to_string(n);
    result((base + ".wall_ms").c_str(), median(wall));
    result((base + ".process_cpu_ms").c_str(), median(cpu));
    // The canvas goes with the shapes at the next tick.
    c.state().fading_shapes.clear();
    const auto t0 = Clock::now();
    c.handle_message(WM_TIMER, kAnimationTimerId, 0);
    std::printf("the tick that destroys the canvas: %.0f ms\n", ms_since(t0));
    return c.canvas_window() == nullptr;
}

int run_ticks(HWND window, int ticks) {
    auto controller = make_controller(window, default_settings());
    if (!controller || !activate(*controller, kFeatureTemporaryShapes)) return 1;
    std::printf("screen %ldx%ld, canvas ticks timed one by one\n", screen_size().x, screen_size().y);
    for (int n : {1, 128}) {
        if (!time_ticks(*controller, n, ticks)) return 1;
    }
    controller.reset();
    g_controller = nullptr;
    return g_failed ? 1 : 0;
}

// --- memory --------------------------------------------------------------------------------

// Wall time of each step of one drawn shape, for the breakdown.
struct ShapeSteps {
    std::vector<double> shortcut, press, drag, release, pending;
};

// One rectangle through the real path: the shortcut, then press, drag and
// release on the canvas, then the messages due, with at most one tick.

bool draw_rectangle(PresentationController& c, int i, ShapeSteps* steps) {
    const POINT size = screen_size();
    const int x = 10 + (i * 31) % std::max<int>(size.x - 80, 1);
    const int y = 10 + (i * 23) % std::max<int>(size.y - 60, 1);
    const std::uint64_t started = ::GetTickCount64();
    auto t = Clock::now();
    const auto lap = [&](std::vector<double> ShapeSteps::*step) {
        if (steps != nullptr) (steps->*step).push_back(ms_since(t));
        t = Clock::now();
    };
    c.handle_message(WM_HOTKEY, kRectangleHotkeyId, 0);
    lap(&ShapeSteps::shortcut);
    HWND canvas = c.canvas_window();
    if (canvas == nullptr || !c.state().drawing.active()) return false;
    ::SendMessageW(canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    lap(&ShapeSteps::press);
    ::SendMessageW(canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y + 30));
    lap(&ShapeSteps::drag);
    ::SendMessageW(canvas, WM_LBUTTONUP, 0, MAKELPARAM(x + 40, y + 30));
    lap(&ShapeSteps::release);
    // The release must have made a shape: the newest one started just now.
    const auto& fading = c.state().fading_shapes;
    const bool made = !fading.empty() && fading.back().start_ms >= started;
    pump_one_frame();
    lap(&ShapeSteps::pending);
    return !g_failed && !c.state().drawing.active() && made;
}

int run_memory(HWND window, int count, int every) {
    Settings settings = default_settings();
    settings.shape_duration_ms = 1000;
    auto controller = make_controller(window, settings);
    if (!controller || !activate(*controller, kFeatureTemporaryShapes)) return 1;
    PresentationController& c = *controller;
    pump_until([] { return false; }, 500);
    const double ws_activated = working_set_kib();
    const double private_activated = private_kib();
    const auto gone = [&] { return c.state().fading_shapes.empty() && c.canvas_window() == nullptr; };

    // Ten shapes first, so that what one-off set-up the canvas needs shows
    // apart from any growth per shape.
    double ws_first = 0.0;
    for (int i = 0; i < 10; ++i) {
        if (!draw_rectangle(c, i, nullptr)) {
            std::printf("warm-up shape %d was not drawn\n", i);
            return 1;
        }
        if (i == 0) ws_first = working_set_kib();
    }
    if (!pump_until(gone, 30000)) {
        std::printf("the warm-up shapes did not fade within 30 s\n");
        return 1;
    }
    pump_until([] { return false; }, 500);
    const double ws_warm = working_set_kib();

    const int ticks0 = g_ticks_dispatched;
    g_longest_tick_ms = 0.0;
    const auto t0 = Clock::now();
    std::size_t most_alive = 0;
    double ws_checkpoint = -1.0;
    ShapeSteps steps;
    for (int i = 0; i < count; ++i) {
        if (!draw_rectangle(c, 10 + i, &steps)) {
            std::printf("shape %d was not drawn\n", i);
            return 1;
        }
        most_alive = std::max(most_alive, c.state().fading_shapes.size());
        if ((i + 1) % every == 0 && i + 1 < count) {
            const double ws = working_set_kib();
            if (ws_checkpoint < 0) ws_checkpoint = ws;
            std::printf("working set after %d shapes: %.0f KiB\n", i + 1, ws);
        }
    }
    const double draw_ms = ms_since(t0);
    const auto t1 = Clock::now();
    if (!pump_until(gone, 30000)) {
        std::printf("the shapes did not fade within 30 s\n");
        return 1;
    }
    const double fade_ms = ms_since(t1);
    const int ticks = g_ticks_dispatched - ticks0;
    const double ws_faded = working_set_kib();
    pump_until([] { return false; }, 3000);
    const double ws_later = working_set_kib();
    const double private_later = private_kib();

    std::printf("screen %ldx%ld, %d rectangles drawn in %.1f s (%.0f ms each), at most %zu alive at once, "
                "%d animation ticks; shapes and canvas gone %.0f ms after the last release; timer running at the "
                "end: %s\n",
                screen_size().x, screen_size().y, count, draw_ms / 1000.0, draw_ms / count, most_alive, ticks,
                fade_ms, c.state().animation_running ? "yes" : "no");
    // The tick that destroys the desktop-sized canvas is the long one.
    std::printf("longest animation tick %.0f ms\n", g_longest_tick_ms);
    std::printf("per shape, median wall ms: shortcut %.1f, press %.1f, drag %.1f, release %.1f, "
                "due messages %.1f\n",
                median(steps.shortcut), median(steps.press), median(steps.drag), median(steps.release),
                median(steps.pending));
    std::printf("private bytes: %.0f KiB after activation, %.0f KiB at the end\n", private_activated, private_later);
    result("memory.ws_activated_kib", ws_activated);
    result("memory.ws_after_first_shape_kib", ws_first);
    result("memory.ws_after_warmup_kib", ws_warm);
    result("memory.ws_faded_kib", ws_faded);
    result("memory.ws_faded_plus_3s_kib", ws_later);
    result("memory.growth_since_activation_kib", ws_later - ws_activated);
    result("memory.growth_since_warmup_kib", ws_later - ws_warm);
    if (ws_checkpoint >= 0) {
        // Growth that stops early is a cache filling up; growth that goes on
        // to the end is what a leak looks like.
        result("memory.ws_first_checkpoint_kib", ws_checkpoint);
        result("memory.growth_since_first_checkpoint_kib", ws_later - ws_checkpoint);
    }
    result("memory.draw_ms_per_shape", draw_ms / count);
    controller.reset();
    g_controller = nullptr;
    return g_failed ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: kadrovix_presentation_bench moves|idle|ticks|memory [count] [every]\n");
        return 2;
    }
    const std::wstring mode = argv[1];
    const int arg = argc > 2 ? _wtoi(argv[2]) : 0;
    const win32::ComApartment com;  // uninitialised last, after everything made below
    if (!com.ok()) return 3;
    Window window;
    if (!make_window(window)) return 3;
    int status = 2;
    if (mode == L"moves") status = run_moves(window.hwnd, arg > 0 ? arg : 2000);
    if (mode == L"idle") status = run_idle(window.hwnd, arg > 0 ? arg : 10);
    if (mode == L"ticks") status = run_ticks(window.hwnd, arg > 0 ? arg : 15);
    if (mode == L"memory") {
        const int every = argc > 3 ? _wtoi(argv[3]) : 0;
        status = run_memory(window.hwnd, arg > 0 ? arg : 1000, every > 0 ? every : 250);
    }
    std::fflush(stdout);
    ::DestroyWindow(window.hwnd);
    window.hwnd = nullptr;
    return status;
}
