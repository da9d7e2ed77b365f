// A keyboard shortcut as the system's hot-key registration takes it.
#pragma once

#include <cstdint>

namespace kadrovix {

// System hot-key modifier bits.
inline constexpr std::uint32_t kModAlt = 1;
inline constexpr std::uint32_t kModCtrl = 2;
inline constexpr std::uint32_t kModShift = 4;
inline constexpr std::uint32_t kModWin = 8;
inline constexpr std::uint32_t kModNoRepeat = 0x4000;

struct Shortcut {
    std::uint32_t modifiers = 0;  // 0..15
    std::uint32_t key = 0;        // virtual-key code 1..254; 0 = no shortcut
    friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

// Shift, Ctrl, Alt, the Windows keys and their left/right variants: never the
// key of a shortcut.
constexpr bool is_modifier_key(std::uint32_t vk) {
    return vk == 16 || vk == 17 || vk == 18 || vk == 91 || vk == 92 || (vk >= 160 && vk <= 165);
}

}  // namespace kadrovix
