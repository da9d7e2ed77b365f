// Display names of shortcuts, as the tray menu and the settings panel show
// them: "Ctrl + Shift + S", "Alt + F4", "Print Screen".
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/setup/shortcut.h"

namespace kadrovix {

// The keyboard layout's own name for a virtual key, or an empty text when the
// layout has none. Injected so that the naming rules stay platform-free.
using KeyNameLookup = std::function<std::string(std::uint32_t key)>;

// The key alone: the fixed names first (editing and navigation keys, the
// numeric keypad, F1..F24), then the layout's name, then "Key 0x..".
std::string key_name(std::uint32_t key, const KeyNameLookup& layout_name);

// Modifiers in the order Ctrl, Shift, Alt, Win, then the key, joined by " + ".
std::string shortcut_name(std::uint32_t modifiers, std::uint32_t key, const KeyNameLookup& layout_name);

inline std::string shortcut_name(Shortcut shortcut, const KeyNameLookup& layout_name) {
    return shortcut_name(shortcut.modifiers, shortcut.key, layout_name);
}

}  // namespace kadrovix
