#include "app/setup/settings_panel_win32.h"

#include <dwmapi.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/messages.h"
#include "app/notice/toast_win32.h"
#include "app/runtime/gdi_win32.h"
#include "app/runtime/text_win32.h"
#include "app/setup/hotkeys.h"
#include "app/setup/hotkeys_win32.h"
#include "app/setup/shortcut_names_win32.h"
#include "settings/settings_storage_win32.h"

namespace kadrovix {
namespace {

// --- colours -------------------------------------------------------------------

struct Colour {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    COLORREF ref() const { return RGB(r, g, b); }
};

constexpr Colour kBackground{0x20, 0x20, 0x20};
constexpr Colour kBorder{0x49, 0x49, 0x49};
constexpr Colour kSurface{0x2B, 0x2B, 0x2B};  // shortcut box, Cancel
constexpr Colour kRaised{0x38, 0x38, 0x38};   // badge, disabled Save
constexpr Colour kAccent{0x60, 0xCD, 0xFF};
constexpr Colour kText{0xFA, 0xFA, 0xFA};
constexpr Colour kTextSecondary{0xBD, 0xBD, 0xBD};
constexpr Colour kTextDim{0x90, 0x90, 0x90};
constexpr Colour kTextError{0xF8, 0x51, 0x49};

constexpr wchar_t kFontFace[] = L"Segoe UI";
constexpr DWORD kImmersiveDarkModeAttribute = 20;

// --- shapes: anti-aliased straight into the 32-bit off-screen bitmap ---------------

// GDI's own RoundRect has no anti-aliasing; the panel's rounded controls are
// instead rendered here with per-pixel coverage from a signed distance, so
// their corners stay smooth at every DPI. Text is drawn afterwards with GDI.
class PixelCanvas {
public:
    PixelCanvas(std::uint32_t* pixels, int width, int height) : pixels_(pixels), width_(width), height_(height) {}

    void fill(Colour c) { std::fill(pixels_, pixels_ + static_cast<std::size_t>(width_) * height_, pack(c)); }

    // Pixel-space rectangle with corner radius `radius`; the outline of
    // `outline_width` pixels lies inside the rectangle's edge.
    void rounded_rect(double left, double top, double right, double bottom, double radius, Colour fill_colour,
                      Colour outline, double outline_width) {
        const int x0 = std::max(0, static_cast<int>(std::floor(left)));
        const int y0 = std::max(0, static_cast<int>(std::floor(top)));
        const int x1 = std::min(width_, static_cast<int>(std::ceil(right)));
        const int y1 = std::min(height_, static_cast<int>(std::ceil(bottom)));
        const double cx = (left + right) / 2;
        const double cy = (top + bottom) / 2;
        const double hx = (right - left) / 2;
        const double hy = (bottom - top) / 2;
        radius = std::clamp(radius, 0.0, std::min(hx, hy));
        for (int y = y0; y < y1; ++y) {
            std::uint32_t* row = pixels_ + static_cast<std::size_t>(y) * width_;
            for (int x = x0; x < x1; ++x) {
                const double d = distance(x + 0.5 - cx, y + 0.5 - cy, hx, hy, radius);
                const double outer = coverage(d);
                if (outer <= 0) continue;
                const double inner = coverage(d + outline_width);
                std::uint32_t& p = row[x];
                p = blend(p, outline, outer);
                if (inner > 0) p = blend(p, fill_colour, inner);
            }
        }
    }

private:
    // Signed distance from a point (relative to the centre) to a rounded
    // rectangle of half extents hx, hy: negative inside.
    static double distance(double px, double py, double hx, double hy, double radius) {
        const double qx = std::abs(px) - (hx - radius);
        const double qy = std::abs(py) - (hy - radius);
        const double ox = std::max(qx, 0.0);
        const double oy = std::max(qy, 0.0);
        return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius;
    }
    static double coverage(double d) { return std::clamp(0.5 - d, 0.0, 1.0); }

    static std::uint32_t pack(Colour c) {
        return 0xFF000000u | (static_cast<std::uint32_t>(c.r) << 16) | (static_cast<std::uint32_t>(c.g) << 8) | c.b;
    }
    static std::uint32_t blend(std::uint32_t under, Colour over, double a) {
        if (a >= 1) return pack(over);
        const auto mix = [a](std::uint32_t u, std::uint8_t o) {
            return static_cast<std::uint32_t>(std::lround(u + (static_cast<double>(o) - u) * a));
        };
        const std::uint32_t r = mix((under >> 16) & 0xFF, over.r);
        const std::uint32_t g = mix((under >> 8) & 0xFF, over.g);
        const std::uint32_t b = mix(under & 0xFF, over.b);
        return 0xFF000000u | (r << 16) | (g << 8) | b;
    }

    std::uint32_t* pixels_;
    int width_;
    int height_;
};

// --- text ------------------------------------------------------------------------

struct Scale {
    double x = 1;
    double y = 1;
    double font = 1;
    RECT rect(const LogicalRect& r) const {
        return RECT{static_cast<LONG>(std::lround(r.left * x)), static_cast<LONG>(std::lround(r.top * y)),
                    static_cast<LONG>(std::lround(r.right * x)), static_cast<LONG>(std::lround(r.bottom * y))};
    }
};

win32::UniqueFont make_font(double size_units, int weight, const Scale& scale) {
    const int height = std::max(1, static_cast<int>(std::lround(size_units * scale.font)));
    return win32::UniqueFont(::CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                           DEFAULT_PITCH | FF_SWISS, kFontFace));
}

int text_width(HDC dc, std::wstring_view text) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// `text` cut so that it and a trailing ellipsis fit `width`.
std::wstring with_ellipsis(HDC dc, std::wstring_view text, int width) {
    if (text_width(dc, text) <= width) return std::wstring(text);
    constexpr std::wstring_view kEllipsis = L"\u2026";
    const int room = width - text_width(dc, kEllipsis);
    int fit = 0;
    SIZE size{};
    if (room > 0) {
        ::GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()), room, &fit, nullptr, &size);
    }
    std::wstring cut(text.substr(0, static_cast<std::size_t>(std::max(fit, 0))));
    while (!cut.empty() && cut.back() == L' ') cut.pop_back();
    return cut + std::wstring(kEllipsis);
}

// Lines of `text` broken at spaces to fit `width`, at most `max_lines`; the
// last line takes whatever is left, cut with an ellipsis.
std::vector<std::wstring> wrap_lines(HDC dc, std::wstring_view text, int width, int max_lines) {
    std::vector<std::wstring_view> words;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(L' ', start), text.size());
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::wstring> lines;
    std::size_t next = 0;
    while (next < words.size()) {
        if (static_cast<int>(lines.size()) == max_lines - 1) {
            std::wstring rest;
            for (std::size_t i = next; i < words.size(); ++i) {
                if (!rest.empty()) rest += L' ';
                rest += words[i];
            }
            lines.push_back(with_ellipsis(dc, rest, width));
            break;
        }
        std::wstring line(words[next++]);
        while (next < words.size()) {
            std::wstring longer = line + L' ' + std::wstring(words[next]);
            if (text_width(dc, longer) > width) break;
            line = std::move(longer);
            ++next;
        }
        lines.push_back(with_ellipsis(dc, line, width));
    }
    return lines;
}

class TextPainter {
public:
    TextPainter(HDC dc, const Scale& scale) : dc_(dc), scale_(scale) {
        ::SetBkMode(dc_, TRANSPARENT);
        ::SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    }

    // From the rectangle's top-left, wrapped at spaces, cut with an ellipsis.
    void block(std::string_view utf8, const LogicalRect& where, double size, int weight, Colour colour) {
        win32::UniqueFont font = make_font(size, weight, scale_);
        win32::SelectedObject selected(dc_, font.get());
        ::SetTextColor(dc_, colour.ref());
        const RECT r = scale_.rect(where);
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc_, &metrics);
        const int line_height = std::max<int>(1, metrics.tmHeight + metrics.tmExternalLeading);
        const int max_lines = std::max<int>(1, (r.bottom - r.top) / line_height);
        const std::wstring text = win32::to_wide(utf8);
        int y = r.top;
        for (const std::wstring& line : wrap_lines(dc_, text, r.right - r.left, max_lines)) {
            ::ExtTextOutW(dc_, r.left, y, ETO_CLIPPED, &r, line.data(), static_cast<UINT>(line.size()), nullptr);
            y += line_height;
        }
    }

    // One line centred both ways.
    void centred(std::string_view utf8, const LogicalRect& where, double size, int weight, Colour colour) {
        win32::UniqueFont font = make_font(size, weight, scale_);
        win32::SelectedObject selected(dc_, font.get());
        ::SetTextColor(dc_, colour.ref());
        RECT r = scale_.rect(where);
        const std::wstring text = win32::to_wide(utf8);
        ::DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }

private:
    HDC dc_;
    Scale scale_;
};

// --- the picture -----------------------------------------------------------------

void draw_panel(const SettingsPanel& panel, HDC dc, std::uint32_t* pixels, int width, int height) {
    namespace L = panel_layout;
    Scale scale;
    scale.x = static_cast<double>(width) / kPanelWidth;
    scale.y = static_cast<double>(height) / kPanelHeight;
    scale.font = std::min(scale.x, scale.y);
    // Hairlines stay one whole device pixel (or more at high DPI) so they stay sharp.
    const double hairline = std::max(1.0, std::floor(scale.font + 0.25));
    const double focus_line = std::max(2.0, std::floor(2 * scale.font + 0.25));

    PixelCanvas canvas(pixels, width, height);
    const auto shape = [&](const LogicalRect& r, int corner, Colour fill, Colour outline, double line) {
        const RECT p = scale.rect(r);
        canvas.rounded_rect(p.left, p.top, p.right, p.bottom, corner / 2.0 * scale.font, fill, outline, line);
    };

    const bool capturing = panel.capturing;
    const bool box_active = capturing || panel.focus == PanelItem::ShortcutBox;
    const bool cancel_focused = panel.focus == PanelItem::Cancel;
    const bool save_focused = panel.focus == PanelItem::Save;
    const bool save_enabled = panel_save_enabled(panel);

    canvas.fill(kBackground);
    shape(L::kBadge, L::kBadgeCorner, kRaised, kBorder, hairline);
    shape(L::kShortcutBox, L::kShortcutBoxCorner, kSurface, box_active ? kAccent : kBorder,
          box_active ? focus_line : hairline);
    shape(L::kCancelButton, L::kButtonCorner, kSurface, cancel_focused ? kAccent : kBorder,
          cancel_focused ? focus_line : hairline);
    shape(L::kSaveButton, L::kButtonCorner, save_enabled ? kAccent : kRaised, save_focused ? kText : kBorder,
          save_focused ? focus_line : hairline);
    // GDI draws the text into the same bitmap; it must see the pixels above.
    ::GdiFlush();

    TextPainter text(dc, scale);
    text.centred(kProductName.substr(0, 1), L::kBadge, 23, 650, kAccent);
    text.block(kProductName, L::kProductName, 20, FW_SEMIBOLD, kText);
    text.block(kPanelSettingsLabel, L::kSettingsLabel, 11, FW_SEMIBOLD, kTextSecondary);
    text.block(panel_title(panel.page), L::kTitle, 24, FW_SEMIBOLD, kText);
    text.block(panel_description(panel.page), L::kDescription, 14, FW_NORMAL, kTextSecondary);

    text.block(kPanelBoxLabel, L::kBoxLabel, 10, FW_SEMIBOLD, kTextSecondary);
    text.block(panel_shortcut_text(panel, &layout_key_name), L::kShortcutText, 22, FW_SEMIBOLD, kText);
    text.centred(panel_state_glyph(panel), L::kStateGlyph, 20, FW_NORMAL, kAccent);

    text.block(panel_hint(panel), L::kHint, 13, FW_NORMAL, panel_hint_is_error(panel) ? kTextError : kTextSecondary);
    text.block(kPanelFooter, L::kFooter, 13, FW_NORMAL, kTextDim);

    text.centred(kPanelCancel, L::kCancelButton, 14, FW_SEMIBOLD, kText);
    text.centred(kPanelSave, L::kSaveButton, 14, FW_SEMIBOLD, save_enabled ? kBackground : kTextDim);
    ::GdiFlush();
}

// --- window ----------------------------------------------------------------------

UINT window_dpi(HWND window) {
    const UINT dpi = ::GetDpiForWindow(window);
    return dpi < 96 ? 96 : dpi;
}

std::uint32_t current_modifiers() {
    const auto down = [](int vk) { return (::GetKeyState(vk) & 0x8000) != 0; };
    std::uint32_t modifiers = 0;
    if (down(VK_CONTROL)) modifiers |= kModCtrl;
    if (down(VK_SHIFT)) modifiers |= kModShift;
    if (down(VK_MENU)) modifiers |= kModAlt;
    if (down(VK_LWIN) || down(VK_RWIN)) modifiers |= kModWin;
    return modifiers;
}

void redraw(const AppState& app) {
    if (app.main_window != nullptr) ::InvalidateRect(app.main_window, nullptr, FALSE);
}

void save_panel(AppState& app) {
    const Shortcut candidate = app.panel.candidate;
    Expected<void> saved = app.panel.page == PanelPage::Capture
                               ? apply_capture_candidate(app, candidate)
                               : apply_shape_candidate(app, shape_slot(app.panel.page), candidate);
    if (!saved) {
        app.panel.message = std::move(saved).error();
        redraw(app);
        return;
    }
    close_panel(app);
    notify(app, NoticeKind::SettingsSaved);
}

void run_command(AppState& app, PanelCommand command) {
    switch (command) {
        case PanelCommand::None: break;
        case PanelCommand::Redraw: redraw(app); break;
        case PanelCommand::Close: close_panel(app); break;
        case PanelCommand::Save: save_panel(app); break;
    }
}

}  // namespace

Result<void> open_panel(AppState& app, PanelPage page) {
    HWND window = app.main_window;
    if (window == nullptr) return invalid_argument("The settings panel has no window.");

    if (app.stores_settings()) {
        auto path = settings_path();
        if (!path) return general_failure(path.error());
        auto loaded = read_settings_file(*path);
        if (!loaded) return general_failure(loaded.error());
        app.settings = std::move(*loaded);
    }
    if (app.presentation) {
        // The shape shortcuts are released while the panel is open, so that
        // pressing one records it instead of starting a drawing.
        PresentationController& presentation = *app.presentation;
        presentation.end_drawing();
        const std::uint32_t without_shapes = presentation.state().features & ~kFeatureTemporaryShapes;
        if (auto r = presentation.apply_features(without_shapes); !r) return r;
    }

    app.panel_open = true;
    reset_panel(app.panel, page, app.settings);

    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)) | WS_CAPTION | WS_SYSMENU;
    ::SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style));
    const DWORD ex_style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE)) | WS_EX_TOOLWINDOW;
    // A light caption over the dark panel would look broken; older systems
    // without the attribute simply keep theirs.
    const BOOL dark = TRUE;
    (void)::DwmSetWindowAttribute(window, kImmersiveDarkModeAttribute, &dark, sizeof dark);

    const UINT dpi = window_dpi(window);
    RECT frame{0, 0, ::MulDiv(kPanelWidth, static_cast<int>(dpi), 96), ::MulDiv(kPanelHeight, static_cast<int>(dpi), 96)};
    if (!::AdjustWindowRectExForDpi(&frame, style, FALSE, ex_style, dpi)) {
        ::AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    }
    const int frame_width = frame.right - frame.left;
    const int frame_height = frame.bottom - frame.top;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) work = monitor.rcWork;
    const int x = work.left + ((work.right - work.left) - frame_width) / 2;
    const int y = work.top + ((work.bottom - work.top) - frame_height) / 2;

    // Only asynchronous repaints from here: this often runs inside another
    // handler, where a synchronous WM_PAINT would not reach the panel.
    ::SetWindowPos(window, HWND_NOTOPMOST, x, y, frame_width, frame_height, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    ::SetForegroundWindow(window);
    ::InvalidateRect(window, nullptr, FALSE);
    return {};
}

void close_panel(AppState& app) {
    app.panel_open = false;
    if (app.presentation) {
        PresentationController& presentation = *app.presentation;
        if (!presentation.activate_with_priority(presentation.state().features)) presentation.turn_everything_off();
    }
    if (!app.capture_hotkey.registered && app.panel.page == PanelPage::Capture) {
        // First start cancelled: a resident without a capture shortcut has no purpose.
        ::PostQuitMessage(0);
    } else if (app.main_window != nullptr) {
        ::ShowWindow(app.main_window, SW_HIDE);
    }
}

void paint_panel(AppState& app, HWND window, HDC dc) {
    RECT client{};
    if (!::GetClientRect(window, &client)) return;
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    win32::UniqueBitmap bitmap(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    win32::UniqueDc memory(::CreateCompatibleDC(dc));
    if (!bitmap || !memory || bits == nullptr) {
        // Out of GDI resources: at least keep the panel's background.
        win32::UniqueBrush background(::CreateSolidBrush(kBackground.ref()));
        if (background) ::FillRect(dc, &client, background.get());
        return;
    }
    {
        win32::SelectedObject selected(memory.get(), bitmap.get());
        if (!selected.ok()) return;
        draw_panel(app.panel, memory.get(), static_cast<std::uint32_t*>(bits), width, height);
        ::BitBlt(dc, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
    }
}

Result<void> panel_left_button(AppState& app, POINT client) {
    RECT rect{};
    if (app.main_window == nullptr || !::GetClientRect(app.main_window, &rect)) return {};
    const LogicalPoint point = panel_logical_point(client.x, client.y, rect.right - rect.left, rect.bottom - rect.top);
    run_command(app, handle_panel_click(app.panel, point));
    return {};
}

Result<void> panel_key(AppState& app, UINT vk, bool key_up) {
    const std::uint32_t modifiers = current_modifiers();
    const PanelCommand command =
        key_up ? handle_panel_key_up(app.panel, vk, modifiers) : handle_panel_key_down(app.panel, vk, modifiers);
    run_command(app, command);
    return {};
}

Result<void> panel_hotkey(AppState& app, std::uint32_t modifiers, std::uint32_t key) {
    run_command(app, handle_panel_hotkey(app.panel, modifiers, key));
    return {};
}

void panel_dpi_changed(HWND window, const RECT* suggested) {
    if (suggested == nullptr) return;
    ::SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(window, nullptr, FALSE);
}

}  // namespace kadrovix
