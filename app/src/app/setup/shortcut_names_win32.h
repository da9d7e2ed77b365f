// Shortcut names with the key names of the current keyboard layout.
#pragma once

#include <cstdint>
#include <string>

#include "app/setup/shortcut.h"

namespace kadrovix {

// The layout's name for a virtual key (through its scan code), or empty.
std::string layout_key_name(std::uint32_t key);

// shortcut_name of shortcut_names.h with the current layout's key names.
std::string shortcut_name(std::uint32_t modifiers, std::uint32_t key);

inline std::string shortcut_name(Shortcut shortcut) { return shortcut_name(shortcut.modifiers, shortcut.key); }

}  // namespace kadrovix
