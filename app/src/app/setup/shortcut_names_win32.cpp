#include "app/setup/shortcut_names_win32.h"

#include <windows.h>

#include "app/runtime/text_win32.h"
#include "app/setup/shortcut_names.h"

namespace kadrovix {

std::string layout_key_name(std::uint32_t key) {
    const UINT scan = ::MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    wchar_t name[128] = {};
    // The scan code goes in bits 16-23 of the request, as in a key message's lParam.
    const int length = ::GetKeyNameTextW(static_cast<LONG>((scan & 0xFF) << 16), name, 128);
    if (length <= 0) return {};
    return win32::to_utf8(std::wstring_view(name, static_cast<std::size_t>(length)));
}

std::string shortcut_name(std::uint32_t modifiers, std::uint32_t key) {
    return shortcut_name(modifiers, key, KeyNameLookup(&layout_key_name));
}

}  // namespace kadrovix
