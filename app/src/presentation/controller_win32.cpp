#include "presentation/controller_win32.h"

#include <shellscalingapi.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "app/messages.h"
#include "app/runtime/text_win32.h"
#include "base/error_win32.h"

namespace kadrovix {
namespace {

std::uint64_t now_ms() { return ::GetTickCount64(); }

bool key_held(int vk) { return (::GetAsyncKeyState(vk) & 0x8000) != 0; }


POINT virtual_origin() { return POINT{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN)}; }

POINT lparam_point(LPARAM lparam) {
    return POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
}

devices::ScreenArea work_area_of(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info)) {
        return devices::ScreenArea{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    return devices::ScreenArea{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

// The effective DPI of a monitor; 96 where the system cannot say (the rules
// treat anything under 96 as 96 too).
unsigned monitor_dpi(HMONITOR monitor) {
    UINT x = 0, y = 0;
    if (monitor != nullptr && SUCCEEDED(::GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y)) && x >= 96) return x;
    return 96;
}

unsigned monitor_dpi(POINT p) { return monitor_dpi(::MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST)); }

HKL foreground_layout() {
    HWND front = ::GetForegroundWindow();
    const DWORD thread = front != nullptr ? ::GetWindowThreadProcessId(front, nullptr) : 0;
    return ::GetKeyboardLayout(thread);
}

constexpr WORD kUsEnglish = 1033;

void show_stopped_box(HWND owner, std::string_view text) {
    const std::wstring wide = win32::to_wide(text);
    ::MessageBoxW(owner, wide.c_str(), L"Kadrovix", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

// --- creation and teardown ----------------------------------------------------------------

PresentationController::PresentationController(HWND window, const Settings& settings, win32::RenderContext context)
    : window_(window), state_(settings), context_(std::move(context)) {}

Result<std::unique_ptr<PresentationController>> PresentationController::create(HWND window,
                                                                                const Settings& settings) {
    if (window == nullptr) return invalid_argument("Presentation mode needs a window");
    auto context = win32::create_render_context(win32::TargetAlpha::Premultiplied);
    if (!context) return propagate(context);
    RETURN_IF_ERROR(win32::register_overlay_class());
    std::unique_ptr<PresentationController> controller(
        new PresentationController(window, settings, std::move(*context)));
    if (!::SetPropW(window, kPresentationProperty, controller.get())) return win32::fail_last_error();
    return controller;
}

PresentationController::~PresentationController() {
    turn_everything_off();
    if (::IsWindow(window_) && ::GetPropW(window_, kPresentationProperty) == this) {
        ::RemovePropW(window_, kPresentationProperty);
    }
}

// --- registration ------------------------------------------------------------------------

DWORD PresentationController::register_hotkey(int id) {
    Shortcut shortcut = kTurnOffShortcut;
    if (id != kTurnOffHotkeyId) {
        const ShapeShortcut& shape = state_.settings.shape_shortcuts[static_cast<std::size_t>(id - kArrowHotkeyId)];
        shortcut = Shortcut{shape.modifiers, shape.key};
    }
    if (!::RegisterHotKey(window_, id, shortcut.modifiers | MOD_NOREPEAT, shortcut.key)) {
        const DWORD error = ::GetLastError();
        return error != 0 ? error : ERROR_HOTKEY_ALREADY_REGISTERED;
    }
    if (id == kTurnOffHotkeyId) {
        registered_.turn_off = true;
    } else {
        registered_.shapes[static_cast<std::size_t>(id - kArrowHotkeyId)] = true;
    }
    return 0;
}

void PresentationController::unregister_hotkey(int id) {
    bool& flag = id == kTurnOffHotkeyId ? registered_.turn_off
                                        : registered_.shapes[static_cast<std::size_t>(id - kArrowHotkeyId)];
    if (flag) ::UnregisterHotKey(window_, id);
    flag = false;
}

Result<void> PresentationController::subscribe(bool mouse, bool keyboard) {
    RAWINPUTDEVICE devices[2]{};
    UINT count = 0;
    // Input sinks without RIDEV_NOLEGACY: other programs keep their input.
    if (mouse != registered_.mouse) {
        devices[count++] = RAWINPUTDEVICE{1, 2, mouse ? DWORD{RIDEV_INPUTSINK} : DWORD{RIDEV_REMOVE},
                                          mouse ? window_ : nullptr};
    }
    if (keyboard != registered_.keyboard) {
        devices[count++] = RAWINPUTDEVICE{1, 6, keyboard ? DWORD{RIDEV_INPUTSINK} : DWORD{RIDEV_REMOVE},
                                          keyboard ? window_ : nullptr};
    }
    if (count > 0 && !::RegisterRawInputDevices(devices, count, sizeof devices[0])) return win32::fail_last_error();
    registered_.mouse = mouse;
    registered_.keyboard = keyboard;
    return {};
}

Result<void> PresentationController::sync_hook(std::uint32_t flags, const std::array<bool, 3>& priority) {
    if (!hook_needed(flags, priority)) {
        hook_.reset();
        return {};
    }
    const bool forward = (flags & kFeatureInputDisplay) != 0;
    const HookPriorities entries = (flags & kFeatureTemporaryShapes) != 0
                                       ? hook_priorities(state_.settings.shape_shortcuts, priority)
                                       : HookPriorities{};
    if (hook_ && hook_->forwards_keys() == forward && hook_->priorities() == entries) return {};
    auto started = win32::ShortcutHookThread::start(window_, forward, entries);
    if (!started) return propagate(started);
    hook_ = std::move(*started);
    return {};
}

void PresentationController::release_all() {
    unregister_hotkey(kTurnOffHotkeyId);
    for (int id = kArrowHotkeyId; id <= kEllipseHotkeyId; ++id) unregister_hotkey(id);
    if (!subscribe(false, false)) {
        // A removal the system refused: forget it all the same, so that the
        // next subscription asks afresh.
        registered_.mouse = registered_.keyboard = false;
    }
    hook_.reset();
}

void PresentationController::clear_marks() {
    state_.hook_priority = {};
    state_.shortcut_unavailable = {};
    state_.turn_off_unavailable = false;
}

Result<void> PresentationController::apply_features(std::uint32_t flags) {
    const InputNeeds needs = input_needs(flags);
    const Registered before = registered_;
    std::vector<int> made;
    const auto undo = [&] {
        for (int id : made) unregister_hotkey(id);
    };

    if (needs.turn_off_shortcut && !registered_.turn_off && !state_.turn_off_unavailable) {
        if (register_hotkey(kTurnOffHotkeyId) != 0) {
            return general_failure(shortcut_in_use_message(turn_off_shortcut_text()));
        }
        made.push_back(kTurnOffHotkeyId);
    }
    if (needs.shape_shortcuts) {
        for (std::size_t i = 0; i < 3; ++i) {
            // Shortcuts the hook serves, or that activation could not have,
            // stay as they are.
            if (registered_.shapes[i] || state_.hook_priority[i] || state_.shortcut_unavailable[i]) continue;
            const int id = kArrowHotkeyId + static_cast<int>(i);
            if (register_hotkey(id) != 0) {
                undo();
                return general_failure(
                    shortcut_in_use_message(shape_shortcut_text(i, state_.settings.shape_shortcuts[i])));
            }
            made.push_back(id);
        }
    }
    if (auto r = subscribe(needs.mouse, needs.keyboard); !r) {
        undo();
        return r;
    }
    const std::array<bool, 3> priority = needs.shape_shortcuts ? state_.hook_priority : std::array<bool, 3>{};
    if (auto r = sync_hook(flags, priority); !r) {
        (void)subscribe(before.mouse, before.keyboard);
        undo();
        return r;
    }

    // What the new flags no longer need goes.
    if (!needs.turn_off_shortcut) {
        unregister_hotkey(kTurnOffHotkeyId);
        state_.turn_off_unavailable = false;
    }
    if (!needs.shape_shortcuts) {
        for (int id = kArrowHotkeyId; id <= kEllipseHotkeyId; ++id) unregister_hotkey(id);
        state_.hook_priority = {};
        state_.shortcut_unavailable = {};
    }
    state_.applied = flags & kAllFeatures;
    if (auto r = sync_overlays(); !r) {
        turn_everything_off();
        return r;
    }
    return {};
}

Result<std::string> PresentationController::activate_with_priority(std::uint32_t flags) {
    release_all();
    clear_marks();
    const InputNeeds needs = input_needs(flags);
    if (needs.turn_off_shortcut && register_hotkey(kTurnOffHotkeyId) != 0) state_.turn_off_unavailable = true;
    if (needs.shape_shortcuts) {
        for (std::size_t i = 0; i < 3; ++i) {
            const DWORD error = register_hotkey(kArrowHotkeyId + static_cast<int>(i));
            if (error == ERROR_HOTKEY_ALREADY_REGISTERED) {
                state_.hook_priority[i] = true;
            } else if (error != 0) {
                state_.shortcut_unavailable[i] = true;
            }
        }
    }
    const auto fail = [&](Error error) -> Result<std::string> {
        release_all();
        clear_marks();
        return Unexpected<Error>{std::move(error)};
    };
    if (auto r = subscribe(needs.mouse, needs.keyboard); !r) return fail(r.error());
    if (auto r = sync_hook(flags, state_.hook_priority); !r) return fail(r.error());
    state_.applied = flags & kAllFeatures;
    if (auto r = sync_overlays(); !r) {
        turn_everything_off();
        return propagate(r);
    }
    return unavailable_shortcut_names(state_.turn_off_unavailable, state_.shortcut_unavailable);
}

void PresentationController::turn_everything_off() {
    end_drawing();
    drag_.reset();
    halo_.reset();
    canvas_.reset();
    destroy_input_display();
    if (state_.animation_running) ::KillTimer(window_, kAnimationTimerId);
    state_.animation_running = false;
    last_animations_ = Animations{};
    release_all();
    clear_marks();
    state_.turn_everything_off();
}

Result<void> PresentationController::apply_settings(const Settings& settings) {
    const Settings previous = state_.settings;
    state_.settings = settings;
    if (state_.applied_on(kFeatureTemporaryShapes) && previous.shape_shortcuts != settings.shape_shortcuts) {
        // The old combinations go first, so that a shortcut moved from one
        // shape to another can be had again.
        const std::uint32_t flags = state_.applied;
        for (int id = kArrowHotkeyId; id <= kEllipseHotkeyId; ++id) unregister_hotkey(id);
        state_.hook_priority = {};
        state_.shortcut_unavailable = {};
        if (auto r = apply_features(flags); !r) {
            state_.settings = previous;
            (void)apply_features(flags);
            return r;
        }
    }
    if (halo_) {
        if (auto r = repaint_halo(); !r) return r;
    }
    return {};
}

Result<void> PresentationController::sync_overlays() {
    if (!state_.applied_on(kFeaturePointerHalo)) {
        halo_.reset();
        state_.halo_buttons = HaloButtons{};
    } else if (!halo_) {
        if (auto r = move_halo(); !r) return r;
    }
    if (!state_.applied_on(kFeatureTemporaryShapes)) {
        end_drawing();
        state_.fading_shapes.clear();
        canvas_.reset();
    }
    if (!state_.applied_on(kFeatureInputDisplay)) {
        destroy_input_display();
        state_.input_slots.clear();
    } else if (!panel_) {
        if (auto r = place_input_display(); !r) return r;
    }
    return {};
}

// --- messages of the resident window ----------------------------------------------------------

std::optional<LRESULT> PresentationController::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INPUT:
        case MSG_PRESENTATION_KEY:
        case MSG_PRESENTATION_FAILED: break;
        case WM_TIMER:
            if (wparam != kAnimationTimerId) return std::nullopt;
            break;
        case WM_HOTKEY:
            if (wparam < static_cast<WPARAM>(kTurnOffHotkeyId) || wparam > static_cast<WPARAM>(kEllipseHotkeyId)) {
                return std::nullopt;
            }
            break;
        default: return std::nullopt;
    }
    if (state_.busy != 0) {
        // Re-entered from inside a handler: a key must not be lost, the rest
        // (pointer moves, ticks) comes again soon enough.
        if (message == MSG_PRESENTATION_KEY) ::PostMessageW(window_, message, wparam, lparam);
        if (message == WM_INPUT) return std::nullopt;
        return 0;
    }
    if (message == MSG_PRESENTATION_FAILED) {
        fail_and_report();
        return 0;
    }
    if (message == WM_HOTKEY) ::EndMenu();
    state_.busy = 1;
    const Result<void> outcome = dispatch(message, wparam, lparam);
    state_.busy = 0;
    if (!outcome) fail_and_report();
    if (message == WM_INPUT) return std::nullopt;
    return 0;
}

Result<void> PresentationController::dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INPUT: return raw_input(reinterpret_cast<HRAWINPUT>(lparam));
        case WM_HOTKEY: return hotkey(static_cast<int>(wparam));
        case WM_TIMER: return tick();
        case MSG_PRESENTATION_KEY:
            if (!state_.applied_on(kFeatureInputDisplay)) return {};
            return key_event(devices::key_event_from_hook(wparam, lparam));
        default: return {};
    }
}

void PresentationController::fail_and_report() {
    turn_everything_off();
    if (report_failure_) {
        report_failure_(kPresentationStoppedMessage);
    } else {
        show_stopped_box(window_, kPresentationStoppedMessage);
    }
}

Result<void> PresentationController::raw_input(HRAWINPUT handle) {
    alignas(8) BYTE buffer[48]{};
    UINT got = 0;
    if (read_raw_input_) {
        got = read_raw_input_(handle, buffer, sizeof buffer);
    } else {
        UINT size = sizeof buffer;
        got = ::GetRawInputData(handle, RID_INPUT, buffer, &size, sizeof(RAWINPUTHEADER));
    }
    if (got == static_cast<UINT>(-1)) return win32::fail_last_error();
    if (got < 24 || got < sizeof(RAWINPUTHEADER)) return general_failure(std::string(kTruncatedInputMessage));
    const auto* input = reinterpret_cast<const RAWINPUT*>(buffer);
    if (input->header.dwType == RIM_TYPEKEYBOARD) {
        if (got < sizeof(RAWINPUTHEADER) + sizeof(RAWKEYBOARD)) return general_failure(std::string(kTruncatedInputMessage));
        if (!state_.applied_on(kFeatureInputDisplay)) return {};
        const RAWKEYBOARD& key = input->data.keyboard;
        return key_event(devices::key_event_from_raw(key.MakeCode, key.Flags, key.VKey));
    }
    if (input->header.dwType == RIM_TYPEMOUSE) {
        if (got < sizeof(RAWINPUTHEADER) + sizeof(RAWMOUSE)) return general_failure(std::string(kTruncatedInputMessage));
        return mouse_record(input->data.mouse.usButtonFlags);
    }
    return {};
}

Result<void> PresentationController::mouse_record(std::uint16_t button_flags) {
    const std::uint64_t now = now_ms();
    if (state_.applied_on(kFeaturePointerHalo)) {
        if (auto r = move_halo(); !r) return r;
        if (apply_button_flags(state_.halo_buttons, button_flags, now)) {
            if (auto r = repaint_halo(); !r) return r;
            if (auto r = start_animation(); !r) return r;
        }
    }
    if (state_.applied_on(kFeatureInputDisplay)) {
        if (drag_) {
            drag_step();
            if ((button_flags & kRawLeftUp) != 0) {
                if (auto r = end_drag(); !r) return r;
            }
        }
        if (state_.input_slots.mouse_buttons(button_flags, now)) {
            if (auto r = repaint_input_display(); !r) return r;
            if (auto r = start_animation(); !r) return r;
        }
    }
    return {};
}

Result<void> PresentationController::hotkey(int id) {
    if (id == kTurnOffHotkeyId) {
        turn_everything_off();
        return {};
    }
    if (!state_.applied_on(kFeatureTemporaryShapes)) return {};
    const auto kind = shape_kind_for_hotkey(id);
    if (!kind) return {};
    return start_drawing(*kind);
}

Result<void> PresentationController::start_animation() {
    if (state_.animation_running) return {};
    if (::SetTimer(window_, kAnimationTimerId, kAnimationIntervalMs, nullptr) == 0) return win32::fail_last_error();
    state_.animation_running = true;
    return {};
}

Result<void> PresentationController::tick() {
    const std::uint64_t now = now_ms();
    const bool shapes_left = prune_faded(state_.fading_shapes, now);
    state_.input_slots.advance(now);
    const Animations now_animating = animations(state_, now);
    const Animations& before = last_animations_;

    if (halo_ && (now_animating.halo_ring || before.halo_ring)) {
        if (auto r = repaint_halo(); !r) return r;
    }
    if (canvas_) {
        if (!canvas_needed(state_.drawing, state_.fading_shapes)) {
            canvas_.reset();
        } else if (shapes_left || before.shapes) {
            if (auto r = repaint_canvas(); !r) return r;
        }
    }
    if (panel_ && (now_animating.input_display || before.input_display)) {
        if (auto r = repaint_input_display(); !r) return r;
    }
    last_animations_ = now_animating;
    if (!now_animating.any()) {
        ::KillTimer(window_, kAnimationTimerId);
        state_.animation_running = false;
    }
    return {};
}

// --- the pointer halo ------------------------------------------------------------------------

Result<void> PresentationController::move_halo() {
    POINT cursor{};
    // No cursor position (a secure desktop in front): the halo waits.
    if (!::GetCursorPos(&cursor)) return {};
    const std::optional<std::int32_t> side = halo_ ? std::optional<std::int32_t>(halo_->width()) : std::nullopt;
    const HaloPlacement placement = follow_pointer(cursor.x, cursor.y, monitor_dpi(cursor), side);
    if (placement.recreate) {
        halo_.reset();
        auto window = win32::OverlayWindow::create(win32::OverlayRole::Halo, this, placement.x, placement.y,
                                                   placement.side, placement.side);
        if (!window) return propagate(window);
        halo_ = std::move(*window);
        if (auto r = repaint_halo(); !r) return r;
    }
    const POINT at = halo_->position();
    // A plain move only repositions the window: the picture stays as it is.
    if (at.x != placement.x || at.y != placement.y) halo_->move_to(placement.x, placement.y);
    halo_->show();
    return {};
}

Result<void> PresentationController::repaint_halo() {
    if (!halo_) return {};
    const HaloFrame frame =
        halo_frame(halo_->width(), state_.halo_buttons, state_.settings.presentation_color_1, now_ms());
    return halo_->paint(context_, [&](ID2D1RenderTarget* target) { return win32::paint_halo(target, frame); });
}

// --- temporary shapes ----------------------------------------------------------------------------

Result<void> PresentationController::start_drawing(TemporaryShapeKind kind) {
    if (!canvas_) {
        const int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
        const int height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
        const POINT origin = virtual_origin();
        auto window = win32::OverlayWindow::create(win32::OverlayRole::Canvas, this, origin.x, origin.y, width, height);
        if (!window) return propagate(window);
        canvas_ = std::move(*window);
    }
    HWND canvas = canvas_->hwnd();
    if (HWND front = ::GetForegroundWindow(); front != canvas) {
        state_.return_window = reinterpret_cast<std::uintptr_t>(front);
    }
    kadrovix::start_drawing(state_.drawing, kind);
    canvas_->set_input_style(true, true);
    if (auto r = repaint_canvas(); !r) return r;
    canvas_->show();
    ::SetForegroundWindow(canvas);
    ::SetFocus(canvas);
    return {};
}

void PresentationController::end_drawing() {
    if (ending_drawing_) return;
    ending_drawing_ = true;
    kadrovix::end_drawing(state_.drawing);
    if (canvas_) {
        HWND canvas = canvas_->hwnd();
        canvas_->set_input_style(false, false);
        if (::GetCapture() == canvas) ::ReleaseCapture();
        if (::GetForegroundWindow() == canvas) {
            HWND back = reinterpret_cast<HWND>(state_.return_window);
            if (back != nullptr && ::IsWindow(back)) ::SetForegroundWindow(back);
        }
        if (!canvas_needed(state_.drawing, state_.fading_shapes)) {
            canvas_.reset();
        } else if (!repaint_canvas()) {
            ::PostMessageW(window_, MSG_PRESENTATION_FAILED, 0, 0);
        }
    }
    ending_drawing_ = false;
}

Result<void> PresentationController::repaint_canvas() {
    if (!canvas_) return {};
    const std::uint64_t now = now_ms();
    return canvas_->paint(context_, [&](ID2D1RenderTarget* target) {
        return win32::paint_shapes(target, context_.d2d_factory.Get(), context_.round_stroke.Get(),
                                   state_.fading_shapes, state_.drawing, now);
    });
}

void PresentationController::update_drawing_at(POINT client_point) {
    kadrovix::update_drawing(state_.drawing, Point{static_cast<double>(client_point.x), static_cast<double>(client_point.y)},
                             key_held(VK_SHIFT), key_held(VK_MENU), state_.settings.presentation_color_2);
}

Result<bool> PresentationController::canvas_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    const bool drawing = state_.drawing.active();
    switch (message) {
        case WM_LBUTTONDOWN: {
            if (!drawing) return false;
            const POINT p = lparam_point(lparam);
            const POINT origin = virtual_origin();
            const unsigned dpi = monitor_dpi(POINT{p.x + origin.x, p.y + origin.y});
            press_drawing(state_.drawing, Point{static_cast<double>(p.x), static_cast<double>(p.y)},
                          state_.settings.presentation_stroke_width, state_.settings.presentation_arrow_size, dpi,
                          key_held(VK_SHIFT), key_held(VK_MENU), state_.settings.presentation_color_2);
            ::SetCapture(canvas_->hwnd());
            RETURN_IF_ERROR(repaint_canvas());
            return true;
        }
        case WM_MOUSEMOVE:
            if (!drawing || !state_.drawing.press_finite) return false;
            update_drawing_at(lparam_point(lparam));
            RETURN_IF_ERROR(repaint_canvas());
            return true;
        case WM_LBUTTONUP:
            if (!drawing) return false;
            update_drawing_at(lparam_point(lparam));
            commit_drawing(state_.drawing, state_.fading_shapes, now_ms(), state_.settings.shape_duration_ms);
            end_drawing();
            RETURN_IF_ERROR(start_animation());
            return true;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            if (!drawing) return false;
            const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
            if (wparam == VK_ESCAPE && down) {
                end_drawing();
                return true;
            }
            if (wparam == VK_SHIFT || wparam == VK_LSHIFT || wparam == VK_RSHIFT) {
                POINT cursor{};
                if (::GetCursorPos(&cursor) && state_.drawing.press_finite) {
                    const POINT origin = virtual_origin();
                    update_drawing_at(POINT{cursor.x - origin.x, cursor.y - origin.y});
                    if (auto r = repaint_canvas(); !r) return propagate(r);
                }
            }
            // Alt+letter while drawing must not beep or open a menu.
            return true;
        }
        case WM_MOUSEWHEEL: {
            if (!drawing) return false;
            POINT cursor{};
            ::GetCursorPos(&cursor);
            if (wheel_drawing(state_.drawing, state_.settings.presentation_stroke_width,
                              GET_WHEEL_DELTA_WPARAM(wparam), monitor_dpi(cursor))) {
                post_save();
            }
            RETURN_IF_ERROR(repaint_canvas());
            return true;
        }
        case WM_CLOSE:
            end_drawing();
            result = 0;
            return true;
        case WM_KILLFOCUS:
        case WM_CANCELMODE:
        case WM_CAPTURECHANGED:
        case WM_RBUTTONDOWN:
            if (drawing) end_drawing();
            return false;
        default: return false;
    }
}

// --- the keyboard-and-mouse display ---------------------------------------------------------------

Result<void> PresentationController::key_event(devices::KeyEvent event) {
    if (event.virtual_key == devices::kVkNone) return {};
    if ((event.scan_code & 0xFF) == 0) {
        event.scan_code = ::MapVirtualKeyW(event.virtual_key, MAPVK_VK_TO_VSC_EX);
    }
    const HKL layout = foreground_layout();
    const bool us_english = LOWORD(reinterpret_cast<std::uintptr_t>(layout)) == kUsEnglish;
    state_.us_english = us_english;
    const bool hook_forwards = hook_ && hook_->forwards_keys();
    const auto outcome = state_.input_slots.key_event(event, now_ms(), hook_forwards, us_english);
    if (!outcome) return {};
    if (outcome->refine_label) refine_label(outcome->slot, layout);
    if (auto r = repaint_input_display(); !r) return r;
    return start_animation();
}

void PresentationController::refine_label(std::size_t slot, HKL layout) {
    BYTE keys[256]{};
    ::GetKeyboardState(keys);
    const devices::HeldModifiers held = state_.input_slots.held_modifiers();
    const auto set = [&](std::initializer_list<int> vks, bool on) {
        for (int vk : vks) keys[vk] = on ? 0x80 : 0x00;
    };
    set({VK_SHIFT, VK_LSHIFT, VK_RSHIFT}, held.shift);
    set({VK_CONTROL, VK_LCONTROL, VK_RCONTROL}, held.ctrl);
    set({VK_MENU, VK_LMENU, VK_RMENU}, held.alt);
    set({VK_CAPITAL}, held.caps);

    const UINT scan = static_cast<UINT>(slot & 0x7F);
    const bool extended = slot >= 128;
    const UINT vk = ::MapVirtualKeyExW(scan | (extended ? 0xE000u : 0u), MAPVK_VSC_TO_VK_EX, layout);
    if (vk == 0) return;
    const auto translate = [&]() -> std::optional<devices::KeyLabel> {
        wchar_t buffer[devices::kMaxLabelUnits] = {};
        // Flag 4: the translation leaves the keyboard state (dead keys) alone.
        const int result = ::ToUnicodeEx(vk, scan, keys, buffer, static_cast<int>(devices::kMaxLabelUnits), 4, layout);
        char16_t units[devices::kMaxLabelUnits] = {};
        for (std::size_t i = 0; i < devices::kMaxLabelUnits; ++i) units[i] = static_cast<char16_t>(buffer[i]);
        return devices::label_from_translation(result, units, devices::kMaxLabelUnits);
    };
    auto label = translate();
    if (!label && held.ctrl) {
        // Ctrl+letter gives a control character: show the letter.
        set({VK_CONTROL, VK_LCONTROL, VK_RCONTROL}, false);
        label = translate();
    }
    if (label) state_.input_slots.set_label(slot, *label);
}

Result<void> PresentationController::place_input_display() {
    const POINT anchor = anchor_.value_or(POINT{0, 0});
    HMONITOR monitor = ::MonitorFromPoint(anchor, anchor_ ? MONITOR_DEFAULTTONEAREST : MONITOR_DEFAULTTOPRIMARY);
    const unsigned dpi = monitor_dpi(monitor);
    const devices::PanelGeometry geometry = devices::panel_geometry(dpi);
    if (!panel_ || panel_->width() != geometry.width) {
        destroy_input_display();
        auto panel = win32::OverlayWindow::create(win32::OverlayRole::InputDisplay, this, 0, 0, geometry.width,
                                                  geometry.height);
        if (!panel) return propagate(panel);
        auto handle = win32::OverlayWindow::create(win32::OverlayRole::LockHandle, this, 0, 0, geometry.handle_side,
                                                   geometry.handle_side);
        if (!handle) return propagate(handle);
        auto formats = win32::create_panel_text_formats(context_.dwrite_factory.Get(), geometry.width);
        if (!formats) return propagate(formats);
        panel_ = std::move(*panel);
        handle_ = std::move(*handle);
        panel_formats_ = std::move(*formats);
    }
    panel_dpi_ = dpi;
    const bool locked = state_.settings.input_display_lock;
    const devices::PixelPoint at = devices::place_panel(work_area_of(monitor), dpi,
                                                        state_.settings.input_display_position,
                                                        state_.settings.input_display_offset);
    // A locked panel lets clicks through; the handle always takes them.
    panel_->set_input_style(!devices::panel_passes_clicks(locked), false);
    panel_->move_to(at.x, at.y);
    if (auto r = repaint_input_display(); !r) return r;
    panel_->show();
    const devices::PixelPoint handle_at = devices::handle_position(at, dpi);
    handle_->set_input_style(true, false);
    handle_->move_to(handle_at.x, handle_at.y);
    if (auto r = repaint_lock_handle(); !r) return r;
    handle_->show();
    return start_animation();
}

Result<void> PresentationController::repaint_input_display() {
    if (!panel_) return {};
    win32::InputDisplayPicture picture;
    picture.slots = &state_.input_slots;
    picture.us_english = state_.us_english;
    picture.locked = state_.settings.input_display_lock;
    picture.dpi = panel_dpi_;
    picture.panel_width = panel_->width();
    picture.now_ms = now_ms();
    return panel_->paint(context_, [&](ID2D1RenderTarget* target) {
        return win32::paint_input_display(target, panel_formats_, picture);
    });
}

Result<void> PresentationController::repaint_lock_handle() {
    if (!handle_) return {};
    const bool locked = state_.settings.input_display_lock;
    const int side = handle_->width();
    return handle_->paint(context_,
                          [&](ID2D1RenderTarget* target) { return win32::paint_lock_handle(target, side, locked); });
}

Result<bool> PresentationController::panel_message(win32::OverlayRole role, UINT message, LRESULT& result) {
    if (message != WM_LBUTTONDOWN && message != WM_LBUTTONUP) return false;
    result = 0;
    if (role == win32::OverlayRole::LockHandle) {
        if (message != WM_LBUTTONDOWN) return true;
        state_.settings.input_display_lock = !state_.settings.input_display_lock;
        drag_.reset();
        RETURN_IF_ERROR(place_input_display());
        post_save();
        return true;
    }
    if (message == WM_LBUTTONUP) {
        if (drag_) {
            if (auto r = end_drag(); !r) return propagate(r);
        }
        return true;
    }
    if (state_.settings.input_display_lock || !panel_) return true;
    POINT cursor{};
    if (!::GetCursorPos(&cursor)) return true;
    const POINT at = panel_->position();
    drag_ = devices::PanelDrag{devices::PixelPoint{cursor.x, cursor.y}, devices::PixelPoint{at.x, at.y}};
    ::SetCapture(panel_->hwnd());
    return true;
}

void PresentationController::drag_step() {
    if (!drag_ || !panel_) return;
    POINT cursor{};
    if (!::GetCursorPos(&cursor)) return;
    HMONITOR monitor = ::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
    const devices::DragStep step =
        devices::drag_to(*drag_, devices::PixelPoint{cursor.x, cursor.y}, work_area_of(monitor), monitor_dpi(monitor));
    state_.settings.input_display_offset = step.offset;
    anchor_ = POINT{step.anchor.x, step.anchor.y};
    panel_->move_to(step.panel.x, step.panel.y);
    if (handle_) {
        const devices::PixelPoint handle_at = devices::handle_position(step.panel, panel_dpi_);
        handle_->move_to(handle_at.x, handle_at.y);
    }
}

Result<void> PresentationController::end_drag() {
    drag_.reset();
    if (panel_ && ::GetCapture() == panel_->hwnd()) ::ReleaseCapture();
    if (auto r = place_input_display(); !r) return r;
    post_save();
    return {};
}

void PresentationController::destroy_input_display() {
    drag_.reset();
    handle_.reset();
    panel_.reset();
    panel_formats_ = win32::PanelTextFormats{};
}

void PresentationController::post_save() { ::PostMessageW(window_, MSG_PRESENTATION_SAVE, 0, 0); }

// --- overlay window messages ----------------------------------------------------------------------

bool PresentationController::overlay_message(win32::OverlayRole role, HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam, LRESULT& result) {
    using win32::OverlayRole;
    // Answers that need no state, even while a handler runs.
    if (message == WM_MOUSEACTIVATE) {
        const bool canvas_takes_focus = role == OverlayRole::Canvas && state_.drawing.active();
        result = canvas_takes_focus ? MA_ACTIVATE : MA_NOACTIVATE;
        return true;
    }
    if (message == WM_SETCURSOR) {
        LPCWSTR cursor = role == OverlayRole::Canvas         ? IDC_CROSS
                         : role == OverlayRole::LockHandle   ? IDC_HAND
                         : role == OverlayRole::InputDisplay ? IDC_SIZEALL
                                                             : IDC_ARROW;
        ::SetCursor(::LoadCursorW(nullptr, cursor));
        result = TRUE;
        return true;
    }
    if (role == OverlayRole::Halo || state_.busy != 0) return false;
    (void)window;
    state_.busy = 1;
    const Result<bool> taken = role == OverlayRole::Canvas ? canvas_message(message, wparam, lparam, result)
                                                           : panel_message(role, message, result);
    state_.busy = 0;
    if (!taken) {
        // Turning everything off here would destroy the window whose message
        // this is; the resident window does it next.
        ::PostMessageW(window_, MSG_PRESENTATION_FAILED, 0, 0);
        return false;
    }
    return *taken;
}

}  // namespace kadrovix
