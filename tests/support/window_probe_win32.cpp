#include "support/window_probe_win32.h"

#include <algorithm>

#include "app/runtime/gdi_win32.h"
#include "support/process_win32.h"

namespace kadrovix::testing {

namespace {

constexpr UINT kTextTimeoutMs = 5000;

struct WindowSearch {
    DWORD process_id = 0;
    std::wstring_view class_name;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND window, LPARAM lparam) {
    auto& search = *reinterpret_cast<WindowSearch*>(lparam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search.process_id && window_class(window) == search.class_name) search.found.push_back(window);
    return TRUE;
}

BOOL CALLBACK collect_static_text(HWND child, LPARAM lparam) {
    auto& text = *reinterpret_cast<std::wstring*>(lparam);
    if (window_class(child) != L"Static") return TRUE;
    const std::wstring part = window_text(child);
    if (part.empty()) return TRUE;
    if (!text.empty()) text += L'\n';
    text += part;
    return TRUE;
}

bool extended_key(WORD vk) {
    switch (vk) {
        case VK_UP:
        case VK_DOWN:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_HOME:
        case VK_END:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_INSERT:
        case VK_DELETE: return true;
        default: return false;
    }
}

}  // namespace

std::wstring window_class(HWND window) {
    wchar_t name[256] = {};
    const int n = ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::wstring window_text(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs, &length)) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, kTextTimeoutMs, &copied)) {
        return {};
    }
    text.resize(std::min<std::size_t>(static_cast<std::size_t>(copied), text.size() - 1));
    return text;
}

std::vector<HWND> top_level_windows(DWORD process_id, std::wstring_view class_name) {
    WindowSearch search{process_id, class_name, {}};
    ::EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND wait_for_window(DWORD process_id, std::wstring_view class_name, const std::function<bool(HWND)>& accept,
                     DWORD timeout_ms) {
    HWND found = nullptr;
    wait_until(
        [&] {
            for (HWND w : top_level_windows(process_id, class_name)) {
                if (accept(w)) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeout_ms);
    return found;
}

std::wstring dialog_static_text(HWND dialog) {
    std::wstring text;
    ::EnumChildWindows(dialog, collect_static_text, reinterpret_cast<LPARAM>(&text));
    return text;
}

bool dismiss_message_box(HWND dialog) {
    return ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0) != FALSE;
}

bool send_key_events(const std::vector<KeyEvent>& events) {
    std::vector<INPUT> inputs;
    inputs.reserve(events.size());
    for (const KeyEvent& e : events) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = e.vk;
        input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(e.vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = (e.up ? KEYEVENTF_KEYUP : 0u) | (extended_key(e.vk) ? KEYEVENTF_EXTENDEDKEY : 0u);
        inputs.push_back(input);
    }
    const UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return sent == inputs.size();
}

bool press_keys(std::initializer_list<WORD> keys) {
    std::vector<KeyEvent> events;
    for (WORD vk : keys) events.push_back(KeyEvent{vk, false});
    for (auto it = keys.end(); it != keys.begin();) events.push_back(KeyEvent{*--it, true});
    return send_key_events(events);
}

bool bring_to_foreground(HWND window, DWORD timeout_ms) {
    return wait_until(
        [window] {
            if (::GetForegroundWindow() == window) return true;
            ::SetForegroundWindow(window);
            return ::GetForegroundWindow() == window;
        },
        timeout_ms);
}

RECT client_rect_on_screen(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    ::OffsetRect(&client, origin.x, origin.y);
    return client;
}

BgraImage grab_screen(const RECT& area) {
    BgraImage image;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return image;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    win32::WindowDc screen(nullptr);
    if (!screen) return image;
    win32::UniqueDc memory(::CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    win32::UniqueBitmap bitmap(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !bitmap || bits == nullptr) return image;
    win32::SelectedObject selected(memory.get(), bitmap.get());
    if (!selected.ok()) return image;
    if (!::BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY | CAPTUREBLT)) {
        return image;
    }
    ::GdiFlush();
    const auto* p = static_cast<const std::uint8_t*>(bits);
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    image.pixels.assign(p, p + static_cast<std::size_t>(width) * height * 4);
    make_opaque(image);
    return image;
}

std::uint32_t pixel_rgb(const BgraImage& image, int x, int y) {
    if (x < 0 || y < 0 || static_cast<std::uint32_t>(x) >= image.width ||
        static_cast<std::uint32_t>(y) >= image.height) {
        return 0xFFFFFFFFu;
    }
    const std::uint8_t* p = &image.pixels[(static_cast<std::size_t>(y) * image.width + x) * 4];
    return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

}  // namespace kadrovix::testing
