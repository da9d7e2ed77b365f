#include "session/capture_session_win32.h"

#include <dwmapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/app_state_win32.h"
#include "app/events/event_handler_win32.h"
#include "app/messages.h"
#include "app/notice/toast_win32.h"
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
#include "settings/settings_storage_win32.h"
#include "toolbar/toolbar_win32.h"

namespace kadrovix {

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kExcludeFromCapture = 0x11;  // WDA_EXCLUDEFROMCAPTURE

using d2d::rgba;

bool key_down_now(int vk) { return (::GetKeyState(vk) & 0x8000) != 0; }

Point client_point(POINT p) { return Point{static_cast<double>(p.x), static_cast<double>(p.y)}; }

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

Result<ComPtr<IDWriteTextFormat>> text_format(IDWriteFactory* factory, float size) {
    return d2d::text_format(factory, {.family = L"Segoe UI", .size = size});
}

Result<double> text_width(IDWriteFactory* factory, IDWriteTextFormat* format, std::wstring_view text) {
    ComPtr<IDWriteTextLayout> layout;
    RETURN_IF_FAILED(factory->CreateTextLayout(text.data(), static_cast<UINT32>(text.size()), format, 100000.0f,
                                               1000.0f, layout.GetAddressOf()));
    DWRITE_TEXT_METRICS metrics{};
    if (const HRESULT m = layout->GetMetrics(&metrics); FAILED(m)) return win32::fail_hresult(m);
    return static_cast<double>(metrics.widthIncludingTrailingWhitespace);
}

}  // namespace

CaptureSession::CaptureSession(HWND window, BgraImage capture, Desktop geometry)
    : window_(window), capture_(std::move(capture)), geometry_(geometry) {}

CaptureSession::~CaptureSession() {
    if (mouse_captured_ && ::GetCapture() == window_) ::ReleaseCapture();
    if (live_previous_ != nullptr) ::SelectObject(live_dc_.get(), live_previous_);
}

std::uint64_t CaptureSession::now_ms() { return ::GetTickCount64(); }

Result<std::unique_ptr<CaptureSession>> CaptureSession::start(HWND window, const Settings& settings) {
    auto grab = win32::grab_virtual_screen();
    if (!grab) return propagate(grab);
    POINT cursor{};
    std::optional<Point> cursor_on_screen;
    if (::GetCursorPos(&cursor)) cursor_on_screen = client_point(cursor);
    return from_image(window, std::move(*grab), settings, cursor_on_screen);
}

Result<std::unique_ptr<CaptureSession>> CaptureSession::from_image(HWND window, BgraImage capture,
                                                                   const Settings& settings,
                                                                   std::optional<Point> cursor_on_screen) {
    RETURN_IF_ERROR(validate_image(capture));
    const Desktop geometry = geometry_of(capture);
    std::unique_ptr<CaptureSession> session(new CaptureSession(window, std::move(capture), geometry));
    session->state_ = new_session(geometry);
    apply_start_values(session->state_, settings.custom_color, static_cast<double>(settings.capture_stroke_width),
                       cursor_on_screen);
    RETURN_IF_ERROR(session->create_resources());
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
    }
    return made;
}

void CaptureSession::adopt(DrawingResources resources) {
    picker_.drop_resources();  // its bitmaps belong to the target replaced here
    context_ = std::move(resources.context);
    capture_bitmap_ = std::move(resources.capture_bitmap);
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
    const Desktop& d = state_.desktop;
    if (!::SetWindowPos(window_, HWND_TOPMOST, d.x, d.y, d.width, d.height, SWP_FRAMECHANGED | SWP_SHOWWINDOW)) {
        return win32::fail_last_error();
    }
    ::SetForegroundWindow(window_);
    ::SetFocus(window_);
    invalidate();
    return {};
}

Result<void> CaptureSession::set_live(bool live) {
    if (live == state_.live) return {};
    excluded_from_capture_ = exclude_from_capture(window_);
    if (live) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = state_.desktop.width;
        info.bmiHeader.biHeight = -state_.desktop.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        win32::UniqueDc dc(::CreateCompatibleDC(nullptr));
        if (!dc) return win32::fail_last_error();
        void* bits = nullptr;
        win32::UniqueBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!bitmap) return win32::fail_last_error();
        auto made = make_resources(true, capture_);
        if (!made) return propagate(made);
        if (live_previous_ != nullptr) ::SelectObject(live_dc_.get(), live_previous_);
        live_previous_ = ::SelectObject(dc.get(), bitmap.get());
        live_dc_ = std::move(dc);
        live_bitmap_ = std::move(bitmap);
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
        if (live_previous_ != nullptr) ::SelectObject(live_dc_.get(), live_previous_);
        live_previous_ = nullptr;
        live_bitmap_.reset();
        live_dc_.reset();
        adopt(std::move(*made));
    }
    invalidate();
    return {};
}

void CaptureSession::invalidate() const { ::InvalidateRect(window_, nullptr, FALSE); }

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

// --- painting ----------------------------------------------------------------

Result<void> CaptureSession::paint() {
    // The tooltips' repaint timer needs to know which moment this frame shows.
    hover_.note_painted(now_ms());
    PAINTSTRUCT ps;
    HDC window_dc = ::BeginPaint(window_, &ps);
    if (window_dc == nullptr) return win32::fail_last_error();
    struct EndPaintOnExit {
        HWND w;
        PAINTSTRUCT* ps;
        ~EndPaintOnExit() { ::EndPaint(w, ps); }
    } end_paint{window_, &ps};

    const RECT all{0, 0, state_.desktop.width, state_.desktop.height};
    HDC target_dc = state_.live ? live_dc_.get() : window_dc;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (auto r = win32::begin_overlay_frame(context_, target_dc, all, capture_bitmap_.Get()); !r) return r;
        auto drawn = draw_overlay(context_.dc_target.Get());
        // --- dimension editor: the label, its fields and its box go over everything else ---
        if (drawn) {
            drawn = win32::paint_dimension_label(context_.dc_target.Get(), context_.dwrite_factory.Get(), state_,
                                                 dimension_editor_ ? &*dimension_editor_ : nullptr);
        }
        auto ended = win32::end_overlay_frame(context_);
        if (!drawn) return drawn;
        if (!ended) {
            // The device went away: new resources and one more try.
            if (ended.error().code == static_cast<std::int32_t>(D2DERR_RECREATE_TARGET) && attempt == 0) {
                if (auto r = create_resources(); !r) return r;
                continue;
            }
            return ended;
        }
        break;
    }
    if (state_.live) {
        POINT origin{state_.desktop.x, state_.desktop.y};
        SIZE size{state_.desktop.width, state_.desktop.height};
        POINT source{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        if (!::UpdateLayeredWindow(window_, nullptr, &origin, &size, live_dc_.get(), &source, 0, &blend, ULW_ALPHA)) {
            return win32::fail_last_error();
        }
    }
    return {};
}

Result<void> CaptureSession::draw_overlay(ID2D1RenderTarget* target) {
    IDWriteFactory* dwrite = context_.dwrite_factory.Get();
    const double width = state_.desktop.width;
    const double height = state_.desktop.height;
    ComPtr<ID2D1SolidColorBrush> brush;
    if (const HRESULT hr = target->CreateSolidColorBrush(rgba(0, 0, 0, 0.48f), brush.GetAddressOf()); FAILED(hr)) {
        return win32::fail_hresult(hr);
    }
    const Region& region = state_.region;

    if (!region.exists) {
        target->FillRectangle(D2D1::RectF(0, 0, static_cast<float>(width), static_cast<float>(height)), brush.Get());
        if (!hint_visible(state_)) return {};
        auto title = text_format(dwrite, 13.0f);
        auto detail = text_format(dwrite, 11.0f);
        if (!title) return propagate(title);
        if (!detail) return propagate(detail);
        const std::wstring title_text = win32::to_wide(kHintTitle);
        const std::wstring detail_text = win32::to_wide(kHintDetail);
        auto title_width = text_width(dwrite, title->Get(), title_text);
        if (!title_width) return propagate(title_width);
        const Point on_screen = to_screen(state_.desktop, state_.pointer);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        HMONITOR monitor = ::MonitorFromPoint(POINT{static_cast<LONG>(on_screen.x), static_cast<LONG>(on_screen.y)},
                                              MONITOR_DEFAULTTONEAREST);
        Rect monitor_rect{{0, 0}, {width, height}};
        if (monitor != nullptr && ::GetMonitorInfoW(monitor, &info)) {
            monitor_rect = to_desktop(state_.desktop, Rect{{static_cast<double>(info.rcMonitor.left),
                                                            static_cast<double>(info.rcMonitor.top)},
                                                           {static_cast<double>(info.rcMonitor.right),
                                                            static_cast<double>(info.rcMonitor.bottom)}});
        }
        const Rect box = hint_box(*title_width, state_.pointer, monitor_rect);
        brush->SetColor(rgba(25, 25, 28, 0.94f));
        target->FillRoundedRectangle(D2D1::RoundedRect(d2d::rect(box), 5.0f, 5.0f), brush.Get());
        brush->SetColor(rgba(245, 245, 245));
        const float x = static_cast<float>(box.min.x), y = static_cast<float>(box.min.y);
        target->DrawText(title_text.c_str(), static_cast<UINT32>(title_text.size()), title->Get(),
                         D2D1::RectF(x + 10, y + 6, x + 1000, y + 26), brush.Get());
        brush->SetColor(rgba(180, 183, 188));
        target->DrawText(detail_text.c_str(), static_cast<UINT32>(detail_text.size()), detail->Get(),
                         D2D1::RectF(x + 10, y + 26, x + 1000, y + 44), brush.Get());
        return {};
    }

    // The veil around the region.
    const float l = static_cast<float>(region.left), t = static_cast<float>(region.top);
    const float r = static_cast<float>(region.right), b = static_cast<float>(region.bottom);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    target->FillRectangle(D2D1::RectF(0, 0, w, t), brush.Get());
    target->FillRectangle(D2D1::RectF(0, b, w, h), brush.Get());
    target->FillRectangle(D2D1::RectF(0, t, l, b), brush.Get());
    target->FillRectangle(D2D1::RectF(r, t, w, b), brush.Get());

    // The text being edited shows only as its live field.
    const std::optional<std::uint64_t> edited = text_entry_ ? text_entry_->edited_id() : std::nullopt;
    if (auto drawn = win32::draw_annotations(context_, target, state_.editor.objects, edited); !drawn) return drawn;
    if (text_entry_) {
        if (auto drawn = text_entry_->paint(target, dwrite); !drawn) return drawn;
    }

    const D2D1_COLOR_F accent = rgba(100, 170, 255);
    brush->SetColor(accent);
    target->DrawRectangle(d2d::rect(hairline_frame(Rect{{region.left, region.top}, {region.right, region.bottom}})),
                          brush.Get(), 1.0f);

    ComPtr<ID2D1SolidColorBrush> fill;
    if (const HRESULT hr = target->CreateSolidColorBrush(rgba(250, 250, 250), fill.GetAddressOf()); FAILED(hr)) {
        return win32::fail_hresult(hr);
    }
    ComPtr<ID2D1SolidColorBrush> dark;
    if (const HRESULT hr = target->CreateSolidColorBrush(rgba(32, 32, 32), dark.GetAddressOf()); FAILED(hr)) {
        return win32::fail_hresult(hr);
    }
    for (const Point& p : handle_points(region)) {
        const D2D1_RECT_F square = D2D1::RectF(static_cast<float>(p.x - 4), static_cast<float>(p.y - 4),
                                               static_cast<float>(p.x + 4), static_cast<float>(p.y + 4));
        target->FillRectangle(square, fill.Get());
        target->DrawRectangle(square, dark.Get(), 1.5f);
    }

    const PartsView parts = parts_at(state_.pointer);
    if (const auto frame = selection_frame(state_, parts)) {
        target->DrawRectangle(d2d::rect(hairline_frame(frame->frame)), brush.Get(), 1.0f);
        for (const Point& c : frame->corners) {
            target->FillRectangle(D2D1::RectF(static_cast<float>(c.x - 4), static_cast<float>(c.y - 4),
                                              static_cast<float>(c.x + 4), static_cast<float>(c.y + 4)),
                                  brush.Get());
        }
        target->DrawLine(D2D1::Point2F(static_cast<float>(frame->stem.x), static_cast<float>(frame->stem.y)),
                         D2D1::Point2F(static_cast<float>(frame->knob.x), static_cast<float>(frame->knob.y)),
                         brush.Get(), 1.0f);
        const D2D1_ELLIPSE knob = D2D1::Ellipse(
            D2D1::Point2F(static_cast<float>(frame->knob.x), static_cast<float>(frame->knob.y)), 6.0f, 6.0f);
        target->FillEllipse(knob, dark.Get());
        target->DrawEllipse(knob, brush.Get(), 2.0f);
    }
    if (const auto marquee = state_.editor.marquee()) {
        target->DrawRectangle(d2d::rect(hairline_frame(*marquee)), brush.Get(), 1.0f);
    }

    if (state_.region_selection) return {};

    const ToolbarInput input = toolbar_input(state_);
    const ToolbarLayout layout = layout_toolbar(input);
    if (auto painted = win32::paint_toolbar(target, dwrite, input, layout, hover_, state_.pointer, now_ms());
        !painted) {
        return painted;
    }

    if (const auto preview = brush_preview(state_, parts)) {
        const D2D1_ELLIPSE circle =
            D2D1::Ellipse(D2D1::Point2F(static_cast<float>(preview->centre.x), static_cast<float>(preview->centre.y)),
                          static_cast<float>(preview->diameter / 2), static_cast<float>(preview->diameter / 2));
        brush->SetColor(rgba(25, 25, 25));
        target->DrawEllipse(circle, brush.Get(), 3.0f);
        brush->SetColor(rgba(250, 250, 250));
        target->DrawEllipse(circle, brush.Get(), 1.0f);
        if (preview->label) {
            brush->SetColor(rgba(25, 25, 25));
            target->FillRoundedRectangle(D2D1::RoundedRect(d2d::rect(preview->label->box), 4.0f, 4.0f), brush.Get());
            auto format = text_format(dwrite, 12.0f);
            if (!format) return propagate(format);
            const std::wstring text = win32::to_wide(preview->label->text);
            const Rect& box = preview->label->box;
            brush->SetColor(rgba(250, 250, 250));
            target->DrawText(text.c_str(), static_cast<UINT32>(text.size()), format->Get(),
                             D2D1::RectF(static_cast<float>(box.min.x + 7), static_cast<float>(box.min.y + 3),
                                         static_cast<float>(box.max.x), static_cast<float>(box.max.y)),
                             brush.Get());
        }
    }
    // Colour picker and eyedropper: the loupe is the pointer overlay; the
    // open picker goes over it.
    if (state_.eyedropper_on) {
        auto loupe = win32::paint_loupe(target, dwrite, capture_, state_.pointer, state_.desktop);
        if (!loupe) return loupe;
    }
    if (auto picker = picker_.paint(target, dwrite); !picker) return picker;
    return {};
}

// --- input -------------------------------------------------------------------

Result<SessionRequest> CaptureSession::key_down(AppState& app, UINT vk) {
    const KeyEvent key{vk, key_down_now(VK_CONTROL), key_down_now(VK_SHIFT), key_down_now(VK_MENU)};
    const KeyAction action = on_key_down(state_, parts_at(state_.pointer), key);
    SessionRequest request = SessionRequest::None;
    switch (action.kind) {
        case KeyActionKind::Nothing:
            break;
        case KeyActionKind::ApplyPicker: {
            auto r = apply_picker(app);
            if (!r) return r;
            request = *r;
            break;
        }
        case KeyActionKind::CancelChain: {
            const CancelStep step = run_cancel_chain(state_, parts_at(state_.pointer));
            if (step == CancelStep::StopTextSelection && text_entry_) text_entry_->end_selection();
            if (step == CancelStep::ClosePicker) picker_.close();
            if (step == CancelStep::Nothing && action.end_session_if_nothing_cancelled) request = SessionRequest::End;
            // The picker or the eyedropper gone: the keys go back to what is open.
            if (step == CancelStep::ClosePicker || step == CancelStep::EyedropperOff) {
                restore_focus();
            } else if (action.restore_focus) {
                ::SetFocus(window_);
            }
            break;
        }
        case KeyActionKind::ToggleToolbar:
            state_.toolbar_visible = !state_.toolbar_visible;
            break;
        case KeyActionKind::CopyObjects: {
            auto copied = win32::copy_objects(state_.editor, object_clipboard_, window_);
            if (!copied) return propagate(copied);
            if (!*copied) {
                auto r = execute(app, command_value(CommandKind::CopyImage));
                if (!r) return r;
                request = *r;
            }
            break;
        }
        case KeyActionKind::Paste:
            win32::paste_objects(state_.editor, object_clipboard_);
            break;
        case KeyActionKind::Execute: {
            auto r = execute(app, action.command);
            if (!r) return r;
            request = *r;
            break;
        }
        case KeyActionKind::Nudge:
            state_.editor.nudge_selection(action.dx, action.dy);
            break;
        case KeyActionKind::Delete:
            state_.editor.delete_selection();
            break;
    }
    invalidate();
    return request;
}

void CaptureSession::key_up(UINT vk) {
    on_key_up(state_, KeyEvent{vk, key_down_now(VK_CONTROL), key_down_now(VK_SHIFT), key_down_now(VK_MENU)});
    invalidate();
}

Result<SessionRequest> CaptureSession::mouse_down(AppState& app, POINT client) {
    last_move_ = MovePoint{client.x + state_.desktop.x, client.y + state_.desktop.y,
                           static_cast<std::uint32_t>(::GetMessageTime())};
    RETURN_IF_ERROR(regrab_for_eyedropper());
    const Point raw = client_point(client);
    // --- dimension editor: it takes every press while it is open ---
    if (dimension_editor_) {
        auto taken = dimension_editor_press(raw);
        if (!taken) return propagate(taken);
        if (*taken) {
            invalidate();
            return SessionRequest::None;
        }
    }
    const PressDecision decision = on_press(state_, parts_at(clamp_to_desktop(raw, state_.desktop)), raw);
    hover_.clear_hover(now_ms());
    SessionRequest request = SessionRequest::None;
    // A press that leaves the text entry commits it first; when the commit
    // fails the entry stays open with its text and the press goes no further.
    if (decision.commit_text_entry_first && !commit_text_entry()) {
        invalidate();
        return request;
    }
    switch (decision.target) {
        case PressTarget::TextCaret:
            if (text_entry_) {
                if (auto r = text_entry_->caret_press(context_.dwrite_factory.Get(), state_.pointer,
                                                      key_down_now(VK_SHIFT));
                    !r) {
                    return propagate(r);
                }
                ::SetCapture(window_);
                mouse_captured_ = true;
            }
            break;
        case PressTarget::OpenTextEntry:
            RETURN_IF_ERROR(open_text_entry(state_.pointer));
            break;
        case PressTarget::OpenDimensionEditor:  // --- dimension editor ---
            RETURN_IF_ERROR(open_dimension_editor());
            break;
        case PressTarget::ToolbarButton: {
            auto r = execute(app, decision.command);
            if (!r) return r;
            request = *r;
            break;
        }
        case PressTarget::ColourPicker:
            if (picker_.press(state_.pointer) == PickerPress::Inside) {
                ::SetCapture(window_);
                mouse_captured_ = true;
            } else {
                auto r = apply_picker(app);
                if (!r) return r;
                request = *r;
            }
            break;
        case PressTarget::Eyedropper: {
            if (state_.live && !excluded_from_capture_) {
                // The window cannot be left out of a grab here: it steps
                // aside for one at the release, never under a held button.
                pending_pick_ = state_.pointer;
                break;
            }
            auto r = pick_colour(app, state_.pointer);
            if (!r) return r;
            request = *r;
            break;
        }
        case PressTarget::RotationKnob:
        case PressTarget::NewRegion:
        case PressTarget::RegionHandle:
        case PressTarget::SelectGesture:
        case PressTarget::DrawGesture:
            if (carry_out_press(state_, decision, key_down_now(VK_SHIFT), key_down_now(VK_MENU))) {
                ::SetCapture(window_);
                mouse_captured_ = true;
            }
            break;
        default:
            // The panel background takes the press and does nothing.
            break;
    }
    invalidate();
    return request;
}

// A freehand stroke takes every position the pointer passed since the last
// move it saw, so that its shape does not depend on how fast the overlay
// repaints. Without a history (or when it no longer reaches back) the move is
// taken as it comes.
void CaptureSession::replay_missed_moves(POINT client) {
    const MovePoint now{client.x + state_.desktop.x, client.y + state_.desktop.y,
                        static_cast<std::uint32_t>(::GetMessageTime())};
    const std::optional<MovePoint> since = std::exchange(last_move_, now);
    const Tool tool = state_.editor.tool;
    if (!since || !state_.editor.gesture || (tool != Tool::Pen && tool != Tool::Highlighter)) return;
    MOUSEMOVEPOINT in{};
    in.x = now.x & 0xFFFF;
    in.y = now.y & 0xFFFF;
    in.time = now.time;
    MOUSEMOVEPOINT history[64];
    const int count = ::GetMouseMovePointsEx(sizeof in, &in, history, 64, GMMP_USE_DISPLAY_POINTS);
    if (count <= 0) return;
    std::vector<MovePoint> points;
    points.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        points.push_back(MovePoint{unwrap_history_coordinate(history[i].x), unwrap_history_coordinate(history[i].y),
                                   static_cast<std::uint32_t>(history[i].time)});
    }
    const bool shift = key_down_now(VK_SHIFT), alt = key_down_now(VK_MENU);
    for (const MovePoint& p : missed_moves(points, *since, now)) {
        const Point raw{static_cast<double>(p.x - state_.desktop.x), static_cast<double>(p.y - state_.desktop.y)};
        on_move(state_, parts_at(clamp_to_desktop(raw, state_.desktop)), raw, shift, alt);
    }
}

Result<void> CaptureSession::mouse_move(POINT client) {
    if (auto r = regrab_for_eyedropper(); !r) return r;
    replay_missed_moves(client);
    const Point raw = client_point(client);
    const PointerRoute route = on_move(state_, parts_at(clamp_to_desktop(raw, state_.desktop)), raw,
                                       key_down_now(VK_SHIFT), key_down_now(VK_MENU));
    if (route == PointerRoute::DimensionSelection && dimension_editor_) {  // --- dimension editor ---
        if (auto r = dimension_editor_->extend_selection(context_.dwrite_factory.Get(), state_.pointer); !r) return r;
    }
    if (route == PointerRoute::TextSelection && text_entry_) {
        if (auto r = text_entry_->extend_selection(context_.dwrite_factory.Get(), state_.pointer); !r) return r;
    }
    if (route == PointerRoute::PickerDrag) picker_.move(state_.pointer);
    hover_.update_hover(toolbar_layout(), now_ms(), state_.pointer);
    if (!tracking_leave_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
        tracking_leave_ = ::TrackMouseEvent(&track) != FALSE;
    }
    invalidate();
    return {};
}

Result<SessionRequest> CaptureSession::mouse_up(AppState& app, POINT client) {
    const Point raw = client_point(client);
    const PartsView parts = parts_at(clamp_to_desktop(raw, state_.desktop));
    const PointerRoute route = on_move(state_, parts, raw, key_down_now(VK_SHIFT), key_down_now(VK_MENU));
    if (route == PointerRoute::DimensionSelection && dimension_editor_) {  // --- dimension editor ---
        RETURN_IF_ERROR(dimension_editor_->extend_selection(context_.dwrite_factory.Get(), state_.pointer));
        dimension_editor_->end_selection();
    }
    if (route == PointerRoute::TextSelection && text_entry_) {
        RETURN_IF_ERROR(text_entry_->extend_selection(context_.dwrite_factory.Get(), state_.pointer));
    }
    if (route == PointerRoute::PickerDrag) picker_.move(state_.pointer);
    const PointerRoute released = on_release(state_, parts);
    if (released == PointerRoute::TextSelection && text_entry_) text_entry_->end_selection();
    if (released == PointerRoute::PickerDrag) picker_.release();
    if (mouse_captured_) {
        mouse_captured_ = false;
        ::ReleaseCapture();
    }
    invalidate();
    if (const std::optional<Point> at = std::exchange(pending_pick_, std::nullopt)) {
        // A grab that fails leaves the pick to the picture already held.
        if (auto grab = grab_desktop_now(); grab && validate_image(*grab)) capture_ = std::move(*grab);
        return pick_colour(app, *at);
    }
    return SessionRequest::None;
}

Result<void> CaptureSession::wheel(int delta) {
    const WheelAction action = decide_wheel(state_, parts_at(state_.pointer), delta);
    switch (action.kind) {
        case WheelActionKind::Ignored:
            break;
        case WheelActionKind::TextEntrySize:
            if (text_entry_) {
                if (auto r = text_entry_->change_size(action.step); !r) return r;
            }
            break;
        case WheelActionKind::TextObjects: {
            std::vector<TextLayoutUpdate> updates;
            for (const TextResize& resize : action.texts) {
                const Annotation* object = nullptr;
                for (const Annotation& a : state_.editor.objects) {
                    if (a.id == resize.id) {
                        object = &a;
                        break;
                    }
                }
                const auto* text = object ? object->as<shape::Text>() : nullptr;
                if (text == nullptr) continue;
                auto size = win32::measure_text(context_.dwrite_factory.Get(), text->text, resize.font_size);
                if (!size) return propagate(size);
                updates.push_back(TextLayoutUpdate{resize.id, resize.font_size, size->width, size->height});
            }
            state_.editor.update_text_layout(updates);
            break;
        }
        case WheelActionKind::Execute: {
            auto outcome = execute_command(state_, parts_at(state_.pointer), action.command);
            if (!outcome) return propagate(outcome);
            break;
        }
    }
    invalidate();
    return {};
}

HCURSOR CaptureSession::cursor(POINT client) const {
    const Point p = clamp_to_desktop(client_point(client), state_.desktop);
    const wchar_t* id = IDC_ARROW;
    switch (choose_cursor(state_, parts_at(p), p)) {
        case CursorShape::Arrow: id = IDC_ARROW; break;
        case CursorShape::IBeam: id = IDC_IBEAM; break;
        case CursorShape::Cross: id = IDC_CROSS; break;
        case CursorShape::Hand: id = IDC_HAND; break;
        case CursorShape::Move: id = IDC_SIZEALL; break;
        case CursorShape::SizeNWSE: id = IDC_SIZENWSE; break;
        case CursorShape::SizeNESW: id = IDC_SIZENESW; break;
        case CursorShape::SizeNS: id = IDC_SIZENS; break;
        case CursorShape::SizeWE: id = IDC_SIZEWE; break;
    }
    return ::LoadCursorW(nullptr, id);
}

void CaptureSession::capture_changed(HWND new_owner) {
    // Our own ReleaseCapture after a drag must not cancel anything.
    if (new_owner == window_ || !mouse_captured_) return;
    mouse_captured_ = false;
    // --- dimension editor: a selection without the mouse's button ends ---
    if (dimension_editor_) dimension_editor_->end_selection();
    const CancelStep step = run_cancel_chain(state_, parts_at(state_.pointer));
    if (step == CancelStep::StopTextSelection && text_entry_) text_entry_->end_selection();
    if (step == CancelStep::ClosePicker) picker_.close();
    invalidate();
}

void CaptureSession::mouse_leave() {
    tracking_leave_ = false;
    hover_.clear_hover(now_ms());
    invalidate();
}

void CaptureSession::activated() {
    // --- dimension editor: the width field, unless a field has the keyboard ---
    if (dimension_editor_ && !parts_at(state_.pointer).picker_open && !state_.eyedropper_on) {
        dimension_editor_->take_focus();
        return;
    }
    // The open text entry gets the keyboard back; the picker and the
    // eyedropper keep it on the session window.
    restore_focus();
}

std::optional<std::uint32_t> CaptureSession::refresh_delay() const { return hover_.next_refresh_delay(now_ms()); }

// --- commands ----------------------------------------------------------------

Result<SessionRequest> CaptureSession::execute(AppState& app, CommandValue command) {
    auto r = carry_out(app, command);
    invalidate();
    return r;
}

Result<SessionRequest> CaptureSession::carry_out(AppState& app, CommandValue command) {
    // --- dimension editor: applied before any command (Close cancels it);
    // a command whose apply fails is dropped ---
    if (dimension_editor_) {
        if (command_kind(command) == CommandKind::Close) {
            close_dimension_editor();
        } else if (!apply_dimension_editor()) {
            return SessionRequest::None;
        }
    }
    auto outcome = execute_command(state_, parts_at(state_.pointer), command);
    if (!outcome) return propagate(outcome);
    switch (outcome->follow_up) {
        case FollowUp::None:
            break;
        case FollowUp::OpenPicker:
            picker_.open(state_.custom_colour, state_.pointer, state_.desktop);
            break;
        case FollowUp::GiveColourToTextEntry:
            if (text_entry_) text_entry_->set_colour(outcome->colour);
            break;
        case FollowUp::CopyColourText:
            RETURN_IF_ERROR(win32::copy_color_text(outcome->colour, window_));
            break;
        case FollowUp::ToggleLiveMode:
            RETURN_IF_ERROR(set_live(!state_.live));
            break;
        case FollowUp::StartSearch:
            RETURN_IF_ERROR(start_search(app));
            break;
        case FollowUp::CopyImage:
            return copy_image(app);
        case FollowUp::Save:
            return save_image(app);
        case FollowUp::EndSession:
            return SessionRequest::End;
    }
    if (outcome->focus == FocusMove::SessionWindow) ::SetFocus(window_);
    if (outcome->focus == FocusMove::OpenPart) restore_focus();
    return SessionRequest::None;
}

Result<BgraImage> CaptureSession::output_image() const {
    win32::CaptureOutputSource source;
    source.capture = &capture_;
    source.objects = state_.editor.objects;
    if (state_.region.exists) {
        source.region = state_.region;
    }
    // Live mode renders the desktop as it is now.
    std::optional<BgraImage> fresh;
    if (state_.live && source.region) {
        auto grab = grab_desktop_now();
        if (!grab) return grab;
        fresh = std::move(*grab);
        source.capture = &*fresh;
    }
    auto image = win32::output_image_of_capture(context_, source);
    if (!image) return image;
    RETURN_IF_ERROR(validate_image(*image));
    return image;
}

Result<BgraImage> CaptureSession::grab_desktop_now() const {
    if (excluded_from_capture_) return win32::regrab_virtual_screen(geometry_);
    // The window steps aside: an empty window region takes it off the screen
    // without losing focus, activation or the mouse capture. Without a
    // compositor the windows below repaint themselves a moment later, so the
    // picture is taken once two grabs in a row agree (bounded).
    win32::UniqueRegion empty(::CreateRectRgn(0, 0, 0, 0));
    if (!empty || !::SetWindowRgn(window_, empty.get(), TRUE)) return win32::regrab_virtual_screen(geometry_);
    empty.release();  // the window owns it now
    struct RestoreRegion {
        HWND window;
        ~RestoreRegion() { ::SetWindowRgn(window, nullptr, TRUE); }
    } restore{window_};
    ::DwmFlush();
    ::Sleep(30);
    // Bounded: a whole-desktop grab of three 4K monitors costs tens of
    // milliseconds on this thread, and a desktop that keeps changing never
    // gives two equal ones.
    return settled_grab([&] { return win32::regrab_virtual_screen(geometry_); }, [] { return ::GetTickCount64(); },
                        [] { ::Sleep(20); }, SettleLimits{});
}

Result<SessionRequest> CaptureSession::copy_image(AppState& app) {
    auto image = output_image();
    if (!image) return propagate(image);
    RETURN_IF_ERROR(win32::copy_image(*image, window_));
    notify(app, NoticeKind::Copied);
    return SessionRequest::End;
}

Result<SessionRequest> CaptureSession::save_image(AppState& app) {
    auto image = output_image();
    if (!image) return propagate(image);
    auto saved = win32::save_capture(*image, app.settings.save_folder, window_);
    if (!saved) return propagate(saved);
    if (saved->outcome != win32::SaveOutcome::Saved) return SessionRequest::None;
    if (!saved->folder.empty()) app.settings.save_folder = saved->folder;
    notify(app, NoticeKind::Saved);
    return SessionRequest::End;
}

Result<void> CaptureSession::start_search(AppState& app) {
    auto started = win32::start_image_search(state_.search_in_progress, app.search_result, window_,
                                             [this] { return output_image(); });
    if (!started) return propagate(started);
    if (*started) notify(app, NoticeKind::Searching);
    return {};
}

// --- dimension editor ------------------------------------------------------------

Result<void> CaptureSession::open_dimension_editor() {
    if (!state_.region.exists) return {};
    // A text entry that cannot be committed stays open, and the editor closed.
    if (!commit_text_entry()) return {};
    state_.editor.cancel_gesture();
    auto editor = win32::DimensionEditor::open(window_, state_);
    if (!editor) return propagate(editor);
    dimension_editor_.emplace(std::move(*editor));
    dimension_editor_->start();
    invalidate();
    return {};
}

bool CaptureSession::apply_dimension_editor() {
    if (!dimension_editor_) return true;
    const dimensions::ApplyOutcome out = dimension_editor_->apply(state_.region, state_.desktop);
    invalidate();
    if (out.kind != dimensions::ApplyOutcome::Kind::Applied) return false;
    state_.region = out.region;
    close_dimension_editor();
    return true;
}

void CaptureSession::close_dimension_editor() {
    if (!dimension_editor_) return;
    if (dimension_editor_->selecting() && mouse_captured_) {
        // Ours to release: the capture-loss handler must not take it for a cancel.
        mouse_captured_ = false;
        if (::GetCapture() == window_) ::ReleaseCapture();
    }
    dimension_editor_.reset();
    ::SetFocus(window_);
    invalidate();
}

Result<bool> CaptureSession::dimension_editor_press(Point raw) {
    const PressDecision decision = on_press(state_, parts_at(clamp_to_desktop(raw, state_.desktop)), raw);
    if (decision.target != PressTarget::DimensionEditor) return false;
    hover_.clear_hover(now_ms());
    const std::optional<Rect> label = dimensions::label_box(state_);
    if (label && dimensions::label_contains(*label, state_.pointer)) {
        if (auto r = dimension_editor_->caret_press(context_.dwrite_factory.Get(), *label, state_.pointer,
                                                     key_down_now(VK_SHIFT));
            !r) {
            return propagate(r);
        }
        ::SetCapture(window_);
        mouse_captured_ = true;
        return true;
    }
    // The toolbar's Close cancels the editor instead of applying it, so that
    // a number the editor refuses never keeps the user from leaving.
    const PartsView parts = parts_at(state_.pointer);
    if (parts.toolbar_button && command_kind(*parts.toolbar_button) == CommandKind::Close) {
        close_dimension_editor();
        return false;
    }
    return !apply_dimension_editor();
}

bool CaptureSession::dimension_editor_key(UINT vk) {
    if (!dimension_editor_) return false;
    switch (dimensions::editor_key(vk)) {
        case dimensions::EditorKey::None:
            return false;
        case dimensions::EditorKey::Tab:
            dimension_editor_->focus_and_select(dimensions::tab_target(dimension_editor_->focused_field()));
            break;
        case dimensions::EditorKey::Cancel:
            close_dimension_editor();
            break;
        case dimensions::EditorKey::Apply:
            apply_dimension_editor();
            break;
    }
    invalidate();
    return true;
}

// --- text entry ----------------------------------------------------------------

Result<void> CaptureSession::open_text_entry(Point p) {
    const TextEntryStart start = text_entry_start(state_, p);
    auto entry = win32::TextEntry::open(window_, start, state_.desktop);
    if (!entry) return propagate(entry);
    // A second entry replaces the first; its text is dropped.
    close_text_entry();
    text_entry_.emplace(std::move(*entry));
    text_entry_->focus();
    if (start.edited_id) {
        // As a press in the field would: the caret goes where the user clicked.
        RETURN_IF_ERROR(text_entry_->caret_press(context_.dwrite_factory.Get(), p, false));
        ::SetCapture(window_);
        mouse_captured_ = true;
    }
    invalidate();
    return {};
}

bool CaptureSession::commit_text_entry() {
    if (!text_entry_) return true;
    auto result = text_entry_->result(context_.dwrite_factory.Get());
    if (!result) {
        const std::wstring text = win32::to_wide(win32::error_text(result.error()));
        const std::wstring caption = win32::to_wide(win32::kTextLayoutFailedCaption);
        ::MessageBoxW(window_, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
        return false;
    }
    commit_text(state_.editor, *result);
    close_text_entry();
    return true;
}

void CaptureSession::close_text_entry() {
    if (!text_entry_) return;
    if (text_entry_->selecting() && mouse_captured_) {
        // Ours to release: the capture-loss handler must not take it for a cancel.
        mouse_captured_ = false;
        if (::GetCapture() == window_) ::ReleaseCapture();
    }
    text_entry_.reset();
    ::SetFocus(window_);
    invalidate();
}

bool CaptureSession::text_entry_key(UINT vk, bool ctrl) {
    if (!text_entry_ || parts_at(state_.pointer).picker_open || state_.eyedropper_on) return false;
    if (vk == VK_ESCAPE) {
        close_text_entry();
        return true;
    }
    if (vk == VK_RETURN && ctrl) {
        commit_text_entry();
        return true;
    }
    return false;
}

void CaptureSession::restore_focus() const {
    if (text_entry_ && !parts_at(state_.pointer).picker_open && !state_.eyedropper_on) {
        text_entry_->focus();
    } else {
        ::SetFocus(window_);
    }
}

// --- colour picker and eyedropper ----------------------------------------------

// Enter, or a press outside the panel.
Result<SessionRequest> CaptureSession::apply_picker(AppState& app) {
    const Rgb colour = picker_.colour();
    picker_.close();
    return take_colour(app, colour, false);
}

// A press with the eyedropper on (after the live regrab).
Result<SessionRequest> CaptureSession::pick_colour(AppState& app, Point at) {
    const std::optional<Rgb> colour = pick_pixel(capture_, at);
    state_.eyedropper_on = false;
    if (!colour) {
        restore_focus();
        return SessionRequest::None;
    }
    return take_colour(app, *colour, true);
}

// The chosen colour becomes the custom colour (stored by the message tail)
// and the current one; a picked colour's code also goes to the clipboard.
Result<SessionRequest> CaptureSession::take_colour(AppState& app, Rgb colour, bool copy_code) {
    state_.custom_colour = colour;
    state_.custom_colour_chosen = true;
    auto set = execute(app, set_colour_command(colour));
    if (!set || *set != SessionRequest::None || !copy_code) return set;
    return execute(app, colour_picked_command(colour));
}

// In live mode the eyedropper looks at the screen as it is now; a failed
// grab leaves it on with the picture it had.
Result<void> CaptureSession::regrab_for_eyedropper() {
    if (!state_.live || !state_.eyedropper_on) return {};
    // Stepping aside means hiding the window under a held button on every
    // move and press, which loses the press and the focus; where the window
    // cannot be left out of grabs, the eyedropper keeps the last picture.
    if (!excluded_from_capture_) return {};
    auto grab = grab_desktop_now();
    if (!grab) return propagate(grab);
    RETURN_IF_ERROR(validate_image(*grab));
    capture_ = std::move(*grab);
    return {};
}

// --- the editor process's side ------------------------------------------------

Result<void> begin_capture_session(AppState& app) {
    auto session = CaptureSession::start(app.main_window, app.settings);
    if (!session) return propagate(session);
    app.session = std::move(*session);
    app.stored_stroke_width = app.settings.capture_stroke_width;
    if (auto shown = app.session->show_over_desktop(); !shown) {
        app.session.reset();
        return shown;
    }
    return {};
}

void end_capture_session(AppState& app) {
    ::KillTimer(app.main_window, kSessionRefreshTimer);
    if (app.session && app.stores_settings()) {
        const SessionState& s = app.session->state();
        if (s.custom_colour_chosen && app.stored_custom_color != s.custom_colour) {
            if (auto r = save_custom_color(s.custom_colour); !r) {
                show_message(app.main_window, r.error());
            } else {
                app.stored_custom_color = s.custom_colour;
            }
        }
    }
    app.session.reset();
    app.search_result.reset();
    ::ShowWindow(app.main_window, SW_HIDE);
    if (app.stores_settings()) {
        if (auto r = save_settings(app.settings); !r) show_message(app.main_window, "Could not save settings: " + r.error());
    }
    if (app.is_editor()) ::PostQuitMessage(0);
}

Result<void> session_message_tail(AppState& app) {
    ::KillTimer(app.main_window, kSessionRefreshTimer);
    if (!app.session) return {};
    if (const auto delay = app.session->refresh_delay()) {
        ::SetTimer(app.main_window, kSessionRefreshTimer, *delay, nullptr);
    }
    if (!app.stores_settings()) return {};
    const SessionState& s = app.session->state();
    const auto width = static_cast<std::uint32_t>(s.editor.width);
    if (width != app.stored_stroke_width) {
        // Remembered even when the write fails, so one failure is reported once.
        app.stored_stroke_width = width;
        if (auto r = save_capture_stroke_width(width); !r) return general_failure(r.error());
    }
    if (s.custom_colour_chosen && app.stored_custom_color != s.custom_colour) {
        app.stored_custom_color = s.custom_colour;
        if (auto r = save_custom_color(s.custom_colour); !r) return general_failure(r.error());
    }
    return {};
}

}  // namespace kadrovix
