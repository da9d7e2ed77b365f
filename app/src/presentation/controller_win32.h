// Presentation mode in the resident: registers and releases the global
// shortcuts, raw-input subscriptions and keyboard hook its features need,
// routes the resident window's presentation messages, runs the animation
// timer and owns the four overlay windows (pointer halo, temporary-shapes
// canvas, keyboard-and-mouse panel and its lock handle). Everything runs on
// the resident window's thread except the hook thread.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "presentation/devices/key_look.h"
#include "presentation/devices/panel_layout.h"
#include "presentation/keyboard_hook_win32.h"
#include "presentation/overlay_paint_win32.h"
#include "presentation/overlay_window_win32.h"
#include "presentation/presentation_state.h"
#include "render/renderer_win32.h"

namespace kadrovix {

// The window property through which the resident window finds presentation
// mode on every presentation message.
inline constexpr wchar_t kPresentationProperty[] = L"Kadrovix.PresentationState";

class PresentationController final : public win32::OverlayHandler {
public:
    // Made for the resident window `window` from `settings`; attaches itself
    // as the window's property. Nothing is registered until features go on.
    static Result<std::unique_ptr<PresentationController>> create(HWND window, const Settings& settings);

    PresentationController(const PresentationController&) = delete;
    PresentationController& operator=(const PresentationController&) = delete;
    // Removes the property and turns everything off.
    ~PresentationController();

    PresentationState& state() { return state_; }
    const PresentationState& state() const { return state_; }
    HWND window() const { return window_; }

    // Strict switch: registers exactly what `flags` need and releases what
    // they no longer need. On failure the previous registrations stay and the
    // error says which shortcut could not be had.
    Result<void> apply_features(std::uint32_t flags);
    // Turning features on: starts afresh and tolerates shortcuts that cannot
    // be had (another program's shape shortcut goes to the keyboard hook).
    // Gives the names of the shortcuts that are not available, "" when none.
    Result<std::string> activate_with_priority(std::uint32_t flags);
    // Ends everything: drawing, overlays, timer, shortcuts, raw input, hook.
    void turn_everything_off();
    // A new settings snapshot: shape shortcuts re-registered, overlays
    // repainted. On failure the previous snapshot and registrations stay.
    Result<void> apply_settings(const Settings& settings);
    // Ends a shape being drawn (the shape is lost), giving the foreground back.
    void end_drawing();

    // A message of the resident window that belongs to presentation mode
    // (WM_INPUT, WM_HOTKEY 90..93, WM_TIMER 90, MSG_PRESENTATION_KEY and
    // MSG_PRESENTATION_FAILED): its result, or nothing for default handling
    // (WM_INPUT always, and every message that is not presentation's).
    // A failure turns everything off and is reported.
    std::optional<LRESULT> handle_message(UINT message, WPARAM wparam, LPARAM lparam);

    // Seams for tests: how a raw input record is read, and how a failure that
    // stopped presentation mode is told to the user (a message box).
    using RawInputReader = std::function<UINT(HRAWINPUT, void* buffer, UINT size)>;
    void set_raw_input_reader(RawInputReader reader) { read_raw_input_ = std::move(reader); }
    using FailureReport = std::function<void(std::string_view)>;
    void set_failure_report(FailureReport report) { report_failure_ = std::move(report); }

    // The overlay windows, for tests and the self-test; null when absent.
    HWND halo_window() const { return halo_ ? halo_->hwnd() : nullptr; }
    HWND canvas_window() const { return canvas_ ? canvas_->hwnd() : nullptr; }
    HWND input_display_window() const { return panel_ ? panel_->hwnd() : nullptr; }
    HWND lock_handle_window() const { return handle_ ? handle_->hwnd() : nullptr; }
    bool hook_running() const { return hook_ != nullptr; }
    DWORD hook_thread_id() const { return hook_ ? hook_->thread_id() : 0; }

    bool overlay_message(win32::OverlayRole role, HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                         LRESULT& result) override;

private:
    // What is registered with the system right now.
    struct Registered {
        bool turn_off = false;
        std::array<bool, 3> shapes{};
        bool mouse = false;
        bool keyboard = false;
    };

    PresentationController(HWND window, const Settings& settings, win32::RenderContext context);

    Result<void> dispatch(UINT message, WPARAM wparam, LPARAM lparam);
    void fail_and_report();

    // Registration.
    // 0 on success, else the system's error.
    DWORD register_hotkey(int id);
    void unregister_hotkey(int id);
    Result<void> subscribe(bool mouse, bool keyboard);
    Result<void> sync_hook(std::uint32_t flags, const std::array<bool, 3>& priority);
    void release_all();
    void clear_marks();
    Result<void> sync_overlays();

    // Input.
    Result<void> raw_input(HRAWINPUT handle);
    Result<void> mouse_record(std::uint16_t button_flags);
    Result<void> key_event(devices::KeyEvent event);
    void refine_label(std::size_t slot, HKL layout);
    Result<void> hotkey(int id);
    Result<void> tick();
    Result<void> start_animation();

    // The pointer halo.
    Result<void> move_halo();
    Result<void> repaint_halo();

    // Temporary shapes.
    Result<void> start_drawing(TemporaryShapeKind kind);
    Result<void> repaint_canvas();
    Result<bool> canvas_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
    void update_drawing_at(POINT client_point);
    void destroy_canvas_if_unneeded();

    // The keyboard-and-mouse display.
    Result<void> place_input_display();
    Result<void> repaint_input_display();
    Result<void> repaint_lock_handle();
    Result<bool> panel_message(win32::OverlayRole role, UINT message, LRESULT& result);
    void drag_step();
    Result<void> end_drag();
    void destroy_input_display();
    void post_save();

    HWND window_ = nullptr;
    PresentationState state_;
    win32::RenderContext context_;
    Registered registered_;
    std::unique_ptr<win32::ShortcutHookThread> hook_;

    std::optional<win32::OverlayWindow> halo_;
    std::optional<win32::OverlayWindow> canvas_;
    std::optional<win32::OverlayWindow> panel_;
    std::optional<win32::OverlayWindow> handle_;
    win32::PanelTextFormats panel_formats_;
    unsigned panel_dpi_ = 96;
    // The screen point whose monitor holds the panel.
    std::optional<POINT> anchor_;
    std::optional<devices::PanelDrag> drag_;
    // What the last tick animated, so that the frame after an animation ends
    // is painted once more without it.
    Animations last_animations_;
    bool ending_drawing_ = false;

    RawInputReader read_raw_input_;
    FailureReport report_failure_;
};

}  // namespace kadrovix
