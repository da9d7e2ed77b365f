#include "session/io/hidden_edit_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/runtime/text_win32.h"
#include "base/error_win32.h"

namespace kadrovix::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 0x4B54;  // any value unique among this control's subclasses

// Messages after which what the field shows may have changed: its text, its
// selection or whether it has focus.
bool may_change_field(UINT message) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case WM_IME_STARTCOMPOSITION:
        case WM_IME_COMPOSITION:
        case WM_IME_ENDCOMPOSITION:
        case WM_CUT:
        case WM_PASTE:
        case WM_CLEAR:
        case WM_UNDO:
        case EM_UNDO:
        case EM_REPLACESEL:
        case WM_SETTEXT:
        case EM_SETSEL:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            return true;
        default:
            return false;
    }
}

LRESULT CALLBACK hidden_edit_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                  DWORD_PTR) {
    switch (message) {
        case WM_PAINT:
            // The overlay draws the field; the control draws nothing.
            ::ValidateRect(window, nullptr);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(window, hidden_edit_proc, id);
            return ::DefSubclassProc(window, message, wparam, lparam);
        default:
            break;
    }
    const LRESULT result = ::DefSubclassProc(window, message, wparam, lparam);
    if (message == WM_SETFOCUS) {
        // The control made and showed its caret; the field painter draws its own.
        ::HideCaret(window);
    }
    if (may_change_field(message)) {
        if (HWND parent = ::GetParent(window)) ::InvalidateRect(parent, nullptr, FALSE);
    }
    return result;
}

int font_pixels(double size) {
    if (!std::isfinite(size)) return 1;
    return static_cast<int>(std::clamp(std::round(size), 1.0, 100000.0));
}

}  // namespace

HFONT create_field_font(double size) {
    // A negative height asks for the em height, the size DirectWrite draws with.
    return ::CreateFontW(-font_pixels(size), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                         kFieldFont);
}

Result<HiddenEdit> HiddenEdit::create(HWND parent, std::string_view utf8_text, const HiddenEditOptions& options) {
    return create(parent, std::wstring_view(to_wide(utf8_text)), options);
}

Result<HiddenEdit> HiddenEdit::create(HWND parent, std::wstring_view text, const HiddenEditOptions& options) {
    HiddenEdit edit;
    edit.multi_line_ = options.multi_line;
    edit.font_size_ = options.font_size;
    edit.font_.reset(create_field_font(options.font_size));
    if (!edit.font_) return fail_last_error();

    DWORD style = WS_CHILD | WS_VISIBLE | ES_LEFT | ES_AUTOHSCROLL;
    if (options.multi_line) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    const std::wstring initial(text);
    edit.window_.reset(::CreateWindowExW(WS_EX_TRANSPARENT, L"EDIT", initial.c_str(), style, options.x, options.y,
                                         std::max(1, options.width), std::max(1, options.height), parent, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr));
    if (!edit.window_) return fail_last_error();
    HWND w = edit.window_.get();

    // An empty region: the control never paints on screen nor takes the mouse.
    UniqueRegion empty(::CreateRectRgn(0, 0, 0, 0));
    if (!empty) return fail_last_error();
    if (::SetWindowRgn(w, empty.get(), FALSE) == 0) return fail_last_error();
    empty.release();  // the system owns a region once it is the window's

    if (!::SetWindowSubclass(w, hidden_edit_proc, kSubclassId, 0)) return fail_last_error();

    ::SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(edit.font_.get()), FALSE);
    ::SendMessageW(w, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    // 0 lifts the control's default limit of 32767 characters.
    ::SendMessageW(w, EM_SETLIMITTEXT, options.limit, 0);
    const auto length = static_cast<WPARAM>(::GetWindowTextLengthW(w));
    ::SendMessageW(w, EM_SETSEL, length, static_cast<LPARAM>(length));
    return edit;
}

HiddenEdit& HiddenEdit::operator=(HiddenEdit&& other) noexcept {
    if (this != &other) {
        destroy();
        font_ = std::move(other.font_);
        window_ = std::move(other.window_);
        font_size_ = other.font_size_;
        multi_line_ = other.multi_line_;
    }
    return *this;
}

HiddenEdit::~HiddenEdit() { destroy(); }

void HiddenEdit::destroy() {
    window_.reset();
    font_.reset();
}

std::wstring HiddenEdit::text() const {
    if (!window_) return {};
    const int length = ::GetWindowTextLengthW(window_.get());
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(window_.get(), text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

std::string HiddenEdit::text_utf8() const { return to_utf8(text()); }

void HiddenEdit::set_text(std::wstring_view text) {
    if (!window_) return;
    const std::wstring copy(text);
    ::SetWindowTextW(window_.get(), copy.c_str());
}

EditSelection HiddenEdit::selection() const {
    if (!window_) return {};
    DWORD start = 0, end = 0;
    ::SendMessageW(window_.get(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start > end) std::swap(start, end);
    return EditSelection{start, end};
}

void HiddenEdit::set_selection(std::uint32_t anchor, std::uint32_t active) {
    if (!window_) return;
    // Past the end means the end; the control takes -1 as "no selection",
    // so large values must not reach it as such.
    const auto length = static_cast<std::uint32_t>(std::max(0, ::GetWindowTextLengthW(window_.get())));
    anchor = std::min(anchor, length);
    active = std::min(active, length);
    ::SendMessageW(window_.get(), EM_SETSEL, anchor, static_cast<LPARAM>(active));
    // A multi-line control scrolls the caret into view only when asked.
    ::SendMessageW(window_.get(), EM_SCROLLCARET, 0, 0);
}

void HiddenEdit::select_all() {
    if (!window_) return;
    ::SendMessageW(window_.get(), EM_SETSEL, 0, -1);
}

void HiddenEdit::focus() const {
    if (window_) ::SetFocus(window_.get());
}

bool HiddenEdit::has_focus() const { return window_ && ::GetFocus() == window_.get(); }

Result<void> HiddenEdit::set_font_size(double size) {
    if (!window_) return {};
    UniqueFont font(create_field_font(size));
    if (!font) return fail_last_error();
    ::SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    // A new font brings the control's own margins back.
    ::SendMessageW(window_.get(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    // The control now uses the new font; the old one goes.
    font_ = std::move(font);
    font_size_ = size;
    if (HWND parent = ::GetParent(window_.get())) ::InvalidateRect(parent, nullptr, FALSE);
    return {};
}

std::uint32_t HiddenEdit::first_visible_char() const {
    if (!window_ || multi_line_) return 0;
    // For a single-line control this is the first visible character.
    const LRESULT first = ::SendMessageW(window_.get(), EM_GETFIRSTVISIBLELINE, 0, 0);
    return first > 0 ? static_cast<std::uint32_t>(first) : 0;
}

}  // namespace kadrovix::win32
