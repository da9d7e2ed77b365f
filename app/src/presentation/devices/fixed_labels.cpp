#include "presentation/devices/fixed_labels.h"

#include <array>

namespace kadrovix::devices {
namespace {

// Finds `label` in the fixed text at compile time; a label missing from it
// fails the build instead of showing an empty cap.
consteval LabelSlice slice(std::u8string_view label) {
    const std::size_t at = kFixedLabelText.find(label);
    if (at == std::u8string_view::npos || at > 255 || label.size() > 255 || label.empty()) {
        throw "label not in the fixed text";
    }
    return LabelSlice{static_cast<std::uint8_t>(at), static_cast<std::uint8_t>(label.size())};
}

constexpr LabelSlice kNone{};

// Non-extended scan codes 42 … 88.
constexpr std::size_t kLowFirst = 42;
constexpr std::array<LabelSlice, 88 - 42 + 1> kLowTable{
    slice(u8"⇧"),                                       // 42 left Shift
    kNone,                                              // 43 (from the layout)
    kNone, kNone, kNone, kNone, kNone,                  // 44 … 48
    kNone, kNone, kNone, kNone, kNone,                  // 49 … 53
    slice(u8"⇧"),                                       // 54 right Shift
    slice(u8"*"),                                       // 55 keypad *
    slice(u8"Alt"),                                     // 56 left Alt
    slice(u8"␣"),                                       // 57 Space
    slice(u8"Caps"),                                    // 58 Caps Lock
    slice(u8"F1"), slice(u8"F2"), slice(u8"F3"), slice(u8"F4"), slice(u8"F5"),   // 59 … 63
    slice(u8"F6"), slice(u8"F7"), slice(u8"F8"), slice(u8"F9"), slice(u8"F10"),  // 64 … 68
    slice(u8"Num"),                                     // 69 Num Lock
    slice(u8"Scr"),                                     // 70 Scroll Lock
    slice(u8"7"), slice(u8"8"), slice(u8"9"),           // 71 … 73 keypad
    slice(u8"−"),                                       // 74 keypad −
    slice(u8"4"), slice(u8"5"), slice(u8"6"),           // 75 … 77 keypad
    slice(u8"+"),                                       // 78 keypad +
    slice(u8"1"), slice(u8"2"), slice(u8"3"),           // 79 … 81 keypad
    slice(u8"0"),                                       // 82 keypad 0
    kNone,                                              // 83 keypad . (from the layout)
    kNone, kNone, kNone,                                // 84 … 86
    slice(u8"F11"), slice(u8"F12"),                     // 87, 88
};

// Extended scan codes 53 … 93.
constexpr std::size_t kHighFirst = 53;
constexpr std::array<LabelSlice, 93 - 53 + 1> kHighTable{
    slice(u8"/"),                                       // e53 keypad /
    kNone,                                              // e54
    slice(u8"Prt"),                                     // e55 Print Screen
    slice(u8"Gr"),                                      // e56 right Alt
    kNone, kNone, kNone, kNone, kNone, kNone,           // e57 … e62
    kNone, kNone, kNone, kNone, kNone, kNone,           // e63 … e68
    slice(u8"Ⅱ"),                                       // e69 Pause
    kNone,                                              // e70
    slice(u8"↖"),                                       // e71 Home
    slice(u8"↑"),                                       // e72 Up
    slice(u8"⇞"),                                       // e73 Page Up
    kNone,                                              // e74
    slice(u8"←"),                                       // e75 Left
    kNone,                                              // e76
    slice(u8"→"),                                       // e77 Right
    kNone,                                              // e78
    slice(u8"End"),                                     // e79 End
    slice(u8"↓"),                                       // e80 Down
    slice(u8"⇟"),                                       // e81 Page Down
    slice(u8"Ins"),                                     // e82 Insert
    slice(u8"Del"),                                     // e83 Delete
    kNone, kNone, kNone, kNone, kNone, kNone, kNone,    // e84 … e90
    slice(u8"⊞"),                                       // e91 left Windows
    slice(u8"⊞"),                                       // e92 right Windows
    slice(u8"☰"),                                       // e93 Menu
};

}  // namespace

std::optional<LabelSlice> fixed_label_slice(std::size_t slot, bool us_english) {
    const bool extended = slot >= 128;
    const std::size_t scan = slot & 127;
    if (slot >= 256) return std::nullopt;
    if (!extended) {
        switch (scan) {
            case 1: return slice(u8"Esc");
            case 14: return slice(u8"←");
            case 15: return slice(u8"⇥");
            case 28: return slice(u8"↵");
            case 29: return slice(u8"Ctrl");
            default: break;
        }
        if (scan >= kLowFirst && scan < kLowFirst + kLowTable.size() && kLowTable[scan - kLowFirst] != kNone) {
            return kLowTable[scan - kLowFirst];
        }
        return std::nullopt;
    }
    // The keypad's Enter and the right Ctrl produce no text in any layout, so
    // without these two their caps would stay blank.
    if (scan == 28) return slice(u8"↵");
    if (scan == 29) return slice(u8"Ctrl");
    if (scan == 56 && us_english) return slice(u8"Alt");
    if (scan >= kHighFirst && scan < kHighFirst + kHighTable.size() && kHighTable[scan - kHighFirst] != kNone) {
        return kHighTable[scan - kHighFirst];
    }
    return std::nullopt;
}

std::u8string_view fixed_label_text(LabelSlice s) {
    if (s.start >= kFixedLabelText.size()) return {};
    return kFixedLabelText.substr(s.start, s.length);
}

}  // namespace kadrovix::devices
