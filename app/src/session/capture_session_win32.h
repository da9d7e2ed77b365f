// The capture session's window side: the grab, the overlay painting, and the
// translation of window messages into the session's input rules. The
// decisions themselves live in the platform-free session modules; this class
// owns the pixels, the Direct2D resources and the system calls around them.
#pragma once

#include <windows.h>
#include <d2d1.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "app/runtime/gdi_win32.h"
#include "base/error.h"
#include "color_picker/color_picker_win32.h"
#include "render/bgra_image.h"
#include "render/renderer_win32.h"
#include "session/commands.h"
#include "session/dimensions/dimension_editor_win32.h"
#include "session/input.h"
#include "session/io/clipboard.h"
#include "session/io/text_entry_win32.h"
#include "session/live/live_surface_win32.h"
#include "session/move_history.h"
#include "session/overlay_base_win32.h"
#include "session/overlay_look.h"
#include "session/parts.h"
#include "session/session_state.h"
#include "settings/settings.h"
#include "toolbar/toolbar.h"
#include "toolbar/toolbar_win32.h"

namespace kadrovix {

class SessionHost;

// What a handler asks of the window procedure once it returns.
enum class SessionRequest { None, End };

// Grabs the desktop anew; fails when its layout is no longer `earlier`'s.
using DesktopGrab = std::function<Result<BgraImage>(const Desktop& earlier)>;

class CaptureSession {
public:
    // Grabs the desktop and builds a session from it, with the settings' custom
    // colour, capture stroke width and live-capture flag and the cursor
    // position. `window` becomes the session window (see show_over_desktop).
    static Result<std::unique_ptr<CaptureSession>> start(HWND window, const Settings& settings);
    // Builds a session around an image already grabbed (the editor diagnostic
    // and tests use it too). `draw_now` false leaves the drawing resources
    // until the window is shown (see show_over_desktop). Later pictures (live
    // outputs and picks, freezing) come from `regrab`, the display by default.
    static Result<std::unique_ptr<CaptureSession>> from_image(HWND window, BgraImage capture, const Settings& settings,
                                                              std::optional<Point> cursor_on_screen,
                                                              bool draw_now = true, DesktopGrab regrab = {});
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // Plain topmost popup over the grabbed desktop, in front and focused.
    // Without drawing resources yet, the picture under its veil goes on
    // screen first through GDI, and the resources are made while it shows:
    // making them takes many times longer than the grab.
    Result<void> show_over_desktop();

    Result<void> paint();
    // Draws the whole overlay into `dc` as paint() shows it at tick count
    // `now` (tooltips fade with time); `retained` false draws every layer
    // afresh, for comparison with the retained frames.
    Result<void> render_frame(HDC dc, bool retained, std::uint64_t now);
    // Draws into `dc`, which holds the frame last drawn, only what changed
    // since, as paint() does; returns the bounds of what it drew, if anything.
    Result<std::optional<PixelBox>> render_dirty(HDC dc, std::uint64_t now);
    // Marks what changed since the last call for repainting. Every change of
    // what the overlay shows calls it (tooltips change with time alone).
    void invalidate();
    Result<SessionRequest> key_down(SessionHost& host, UINT vk);
    void key_up(UINT vk);
    Result<SessionRequest> mouse_down(SessionHost& host, POINT client);
    Result<void> mouse_move(POINT client);
    Result<SessionRequest> mouse_up(SessionHost& host, POINT client);
    Result<void> wheel(int delta);
    HCURSOR cursor(POINT client) const;
    // WM_CAPTURECHANGED: only another window taking the mouse cancels.
    void capture_changed(HWND new_owner);
    void mouse_leave();
    void activated();
    Result<SessionRequest> execute(SessionHost& host, CommandValue command);
    Result<void> set_live(bool live);

    // Milliseconds until the toolbar's tooltip animation wants a repaint.
    std::optional<std::uint32_t> refresh_delay() const;

    const SessionState& state() const { return state_; }
    SessionState& state() { return state_; }
    bool search_in_progress() const { return state_.search_in_progress; }
    void search_finished() { state_.search_in_progress = false; }
    HWND window() const { return window_; }

    // --- dimension editor ---
    // The message loop's key pre-handling, before the text entry's: while the
    // editor is open it keeps Tab, Esc and Enter. True when the key was taken.
    bool dimension_editor_key(UINT vk);

    // --- text entry ---
    // The message loop's key pre-handling: while an entry is open and neither
    // the colour picker nor the eyedropper is active, Esc discards it and
    // Ctrl+Enter commits it. True when the key was taken.
    bool text_entry_key(UINT vk, bool ctrl);
    // Commits the open entry, if any (a layout failure is shown and keeps it
    // open). True when no entry is open afterwards.
    bool commit_text_entry();
    bool text_entry_open() const { return text_entry_.has_value(); }

private:
    CaptureSession(HWND window, BgraImage capture, Desktop geometry);

    PartsView parts_at(Point p) const;
    ToolbarLayout toolbar_layout() const;
    // Drawing resources for a mode, made before anything switches to it, so
    // that a failure leaves the session as it was.
    struct DrawingResources {
        win32::RenderContext context;
        Microsoft::WRL::ComPtr<ID2D1Bitmap> capture_bitmap;  // frozen mode only
    };
    static Result<DrawingResources> make_resources(bool live, const BgraImage& picture);
    void adopt(DrawingResources resources);
    Result<void> create_resources();
    void paint_veiled_picture() const;
    void replay_missed_moves(POINT client);
    void capture_mouse();
    // What a press does once the input rules have decided where it went.
    Result<SessionRequest> carry_out_press_target(SessionHost& host, const PressDecision& decision);
    Result<void> make_brushes(ID2D1RenderTarget* target);
    Result<void> make_text_formats();
    // What the overlay shows at `now`, and its changes since the last call.
    OverlayLook look(std::uint64_t now);
    void account(std::uint64_t now);
    std::optional<Rect> hint_at() const;
    std::optional<double> tooltip_width(std::string_view text);
    // Each box is drawn on its own, clipped to it.
    Result<void> render_boxes(HDC dc, std::span<const PixelBox> boxes, bool retained, std::uint64_t now,
                              const OverlayLook& shown);
    Result<void> draw_whole(HDC dc, const OverlayLook& shown, bool retained);
    Result<void> draw_parts(HDC dc, std::span<const PixelBox> boxes, const OverlayLook& shown, bool retained);
    Result<void> draw_boxes(ID2D1RenderTarget* target, std::span<const PixelBox> boxes, const OverlayLook& shown,
                            bool retained);
    Result<void> copy_out(HDC dc, ID2D1BitmapRenderTarget* from, std::span<const PixelBox> boxes);
    // Brings the retained base up to date for this frame; how many objects it
    // holds, none when the frame draws the base directly.
    Result<std::optional<std::size_t>> plan_base(ID2D1RenderTarget* target, const OverlayLook& shown, bool retained);
    // The frame within `box`: the base (retained or drawn directly), then
    // what moves. Objects outside a `clipped` box are passed over.
    Result<void> draw_frame(ID2D1RenderTarget* target, const OverlayLook& shown, std::optional<std::size_t> held,
                            const PixelBox& box, bool clipped);
    PixelBox whole_desktop() const { return {0, 0, state_.desktop.width, state_.desktop.height}; }
    // The frozen picture, the veil and `objects`: what the retained base holds.
    Result<void> draw_base(ID2D1RenderTarget* target, std::span<const Annotation> objects,
                           std::optional<std::uint64_t> edited, const std::optional<Rect>& clip);
    // Frames, handles, toolbar, previews and the open sub-editors.
    Result<void> draw_moving(ID2D1RenderTarget* target, const OverlayLook& shown);
    Result<void> draw_hint(ID2D1RenderTarget* target, const Rect& box);
    void draw_region_frame(ID2D1RenderTarget* target);
    void draw_selection(ID2D1RenderTarget* target, const SelectionFrame& frame);
    void draw_preview(ID2D1RenderTarget* target, const BrushPreview& preview);
    Result<BgraImage> output_image() const;
    // The desktop as it is now, without the overlay in it.
    Result<BgraImage> grab_desktop_now() const;
    Result<SessionRequest> carry_out(SessionHost& host, CommandValue command);
    Result<SessionRequest> copy_image(SessionHost& host);
    Result<SessionRequest> save_image(SessionHost& host);
    Result<void> start_search(SessionHost& host);

    // --- dimension editor ---
    Result<void> open_dimension_editor();
    // True when the editor was closed (the region took the new size). On
    // failure it stays open and shows why.
    bool apply_dimension_editor();
    void close_dimension_editor();
    // A press while the editor is open: on the label it places the caret; off
    // it, it applies. True when the press went no further; false when the
    // editor closed and the press goes on as an ordinary press.
    Result<bool> dimension_editor_press(Point raw);

    // --- text entry ---
    Result<void> open_text_entry(Point p);
    void close_text_entry();
    // Keyboard focus after a command or an activation: the open entry's
    // control, else the session window.
    void restore_focus() const;
    static std::uint64_t now_ms();
    static Point client_point(POINT p);
    static bool key_down_now(int vk);

    // --- colour picker and eyedropper ---
    Result<SessionRequest> apply_picker(SessionHost& host);
    Result<SessionRequest> pick_colour(SessionHost& host, Point at);
    Result<SessionRequest> take_colour(SessionHost& host, Rgb colour, bool copy_code);
    Result<void> regrab_for_eyedropper();

    HWND window_ = nullptr;
    BgraImage capture_;
    Desktop geometry_;
    DesktopGrab regrab_;
    SessionState state_;
    ObjectClipboard object_clipboard_;
    ToolbarHoverState hover_;
    bool tracking_leave_ = false;
    bool mouse_captured_ = false;
    // A live eyedropper press where the window cannot be left out of grabs:
    // picked at the release, from a fresh grab.
    std::optional<Point> pending_pick_;
    // The last pointer position the session took, for a freehand stroke's
    // missed moves.
    std::optional<MovePoint> last_move_;
    // The system leaves the window out of screen grabs (Windows 10 2004 and
    // later); otherwise the window steps aside for each grab.
    bool excluded_from_capture_ = false;
    win32::ColourPickerPanel picker_;

    win32::RenderContext context_;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> capture_bitmap_;
    // Counts the pictures adopted, so that the base knows when its picture went.
    std::uint64_t picture_generation_ = 0;
    std::uint64_t frame_ms_ = 0;  // the tick count the frame being drawn shows
    win32::OverlayBase base_;
    // Where parts of a frame are drawn before they are copied to the window.
    Microsoft::WRL::ComPtr<ID2D1BitmapRenderTarget> frame_;
    // Made with the render target (again after a device loss), not per frame.
    struct Brushes {
        // `parts` is the one the sub-painters (text field, dimension label,
        // loupe) set to their colours.
        Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> veil, ink, fill, dark, parts;
    } brushes_;
    win32::ToolbarResources toolbar_paint_;
    // Made once for the session.
    struct TextFormats {
        Microsoft::WRL::ComPtr<IDWriteTextFormat> hint_title, hint_detail, preview_label;
    } formats_;
    std::optional<double> hint_title_width_;
    std::vector<std::pair<std::string_view, double>> tooltip_widths_;
    // What the screen shows (as far as changes were marked), and what waits
    // to be repainted.
    OverlayLook shown_;
    DirtyArea dirty_;
    std::optional<win32::LiveSurface> live_surface_;  // live mode only

    // Declared last: destroyed first, so an entry still open when the session
    // ends is discarded while the window and resources it uses exist.
    std::optional<win32::TextEntry> text_entry_;
    // --- dimension editor --- (destroyed first, like the text entry)
    std::optional<win32::DimensionEditor> dimension_editor_;
};

}  // namespace kadrovix
