#include "app/setup/shortcut_names.h"

#include <string_view>

namespace kadrovix {
namespace {

// Keys whose layout names are unhelpful or vary between layouts ("Num *",
// "Prnt Scrn", "Strg"...) get one fixed English name.
std::string_view fixed_key_name(std::uint32_t key) {
    switch (key) {
        case 3: return "Break";
        case 8: return "Backspace";
        case 9: return "Tab";
        case 13: return "Enter";
        case 19: return "Pause";
        case 20: return "Caps Lock";
        case 27: return "Esc";
        case 32: return "Space";
        case 33: return "Page Up";
        case 34: return "Page Down";
        case 35: return "End";
        case 36: return "Home";
        case 37: return "Left";
        case 38: return "Up";
        case 39: return "Right";
        case 40: return "Down";
        case 44: return "Print Screen";
        case 45: return "Insert";
        case 46: return "Delete";
        case 106: return "Numpad *";
        case 107: return "Numpad +";
        case 109: return "Numpad -";
        case 110: return "Numpad .";
        case 111: return "Numpad /";
        case 144: return "Num Lock";
        case 145: return "Scroll Lock";
        default: return {};
    }
}

std::string hex_upper(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return digits;
}

}  // namespace

std::string key_name(std::uint32_t key, const KeyNameLookup& layout_name) {
    if (const std::string_view fixed = fixed_key_name(key); !fixed.empty()) return std::string(fixed);
    // Appended rather than concatenated: GCC 12 misreports the latter (-Wrestrict).
    if (key >= 96 && key <= 105) return std::string("Numpad ").append(std::to_string(key - 96));
    if (key >= 112 && key <= 135) return std::string("F").append(std::to_string(key - 111));
    if (layout_name) {
        std::string name = layout_name(key);
        if (!name.empty()) return name;
    }
    return std::string("Key 0x").append(hex_upper(key));
}

std::string shortcut_name(std::uint32_t modifiers, std::uint32_t key, const KeyNameLookup& layout_name) {
    std::string text;
    const auto add = [&text](std::string_view part) {
        if (!text.empty()) text += " + ";
        text += part;
    };
    if (modifiers & kModCtrl) add("Ctrl");
    if (modifiers & kModShift) add("Shift");
    if (modifiers & kModAlt) add("Alt");
    if (modifiers & kModWin) add("Win");
    add(key_name(key, layout_name));
    return text;
}

}  // namespace kadrovix
