// What the keyboard-and-mouse display shows: which keys and mouse buttons are
// held or still lingering, and each key's cap. Fed by raw input records and
// by the keyboard hook; the window code asks it what to light.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kadrovix::devices {

inline constexpr std::size_t kKeySlotCount = 256;   // scan code, plus 128 when extended
inline constexpr std::uint64_t kKeyLingerMs = 600;
inline constexpr std::uint64_t kMouseLingerMs = 180;

// Virtual keys the rules single out.
inline constexpr std::uint32_t kVkPause = 0x13;
inline constexpr std::uint32_t kVkNumLock = 0x90;
inline constexpr std::uint32_t kVkNone = 255;

// Raw keyboard record flags.
inline constexpr std::uint32_t kRawKeyBreak = 0x1;
inline constexpr std::uint32_t kRawKeyE0 = 0x2;
inline constexpr std::uint32_t kRawKeyE1 = 0x4;

// A cap holds what a four-unit translation buffer can give, so that the fixed
// caps "Ctrl" and "Caps" and two-surrogate-pair translations fit whole.
inline constexpr std::size_t kMaxLabelUnits = 4;

struct KeyLabel {
    std::array<char16_t, kMaxLabelUnits> units{};
    std::uint8_t length = 0;
    std::u16string_view text() const { return {units.data(), length}; }
};

struct KeySlot {
    KeyLabel label;
    bool held = false;
    std::uint64_t linger_until = 0;
    // Pause sends no key-up: the slot lets go of itself at this time.
    std::optional<std::uint64_t> release_at;
};

// One key transition. `scan_code` may carry the 0xE0 or 0xE1 prefix in its
// high byte (as the virtual-key-to-scan-code mapping gives it); a scan code of
// 0 must be mapped from the virtual key by the caller first.
struct KeyEvent {
    std::uint32_t scan_code = 0;
    std::uint32_t virtual_key = 0;
    bool key_up = false;
    bool e0 = false;
    bool e1 = false;
    bool from_raw_input = false;
};

// From a raw keyboard record (make code, flags, virtual key).
KeyEvent key_event_from_raw(std::uint16_t make_code, std::uint16_t flags, std::uint16_t virtual_key);
// From the keyboard hook's message: wParam the virtual key, lParam the scan
// code in bits 0-15, bit 16 key up, bit 17 extended.
KeyEvent key_event_from_hook(std::uintptr_t wparam, std::intptr_t lparam);

// 0 … 255, or none for events that are not shown.
std::optional<std::size_t> key_slot_index(const KeyEvent& event);

// The ToUnicodeEx result and buffer turned into a cap: a dead key (-1) gives
// its one character, 1 … 4 that many; nothing when a character is a control
// character or space, so that the fixed cap stays.
std::optional<KeyLabel> label_from_translation(int result, const char16_t* buffer, std::size_t buffer_units);

KeyLabel fixed_key_label(std::size_t slot, bool us_english);

enum class MouseButton : std::uint8_t { Left, Right, Middle, X1, X2 };
inline constexpr std::size_t kMouseButtonCount = 5;

// Raw mouse button flags.
inline constexpr std::uint32_t kRawWheel = 0x400;
inline constexpr std::uint32_t kRawHorizontalWheel = 0x800;

struct MouseSlot {
    bool held = false;
    std::uint64_t linger_until = 0;
};

// The modifiers as the display saw them, for translating a key as the user
// typed it.
struct HeldModifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool caps = false;
    friend bool operator==(const HeldModifiers&, const HeldModifiers&) = default;
};

class InputSlots {
public:
    // What a key event did: the slot it touched and whether the caller should
    // refine the cap from the foreground keyboard layout (key-downs only).
    struct KeyOutcome {
        std::size_t slot = 0;
        bool refine_label = false;
    };

    // `hook_forwards_keys`: the keyboard hook delivers key-downs, so raw
    // key-downs would count every press twice and are dropped; raw key-ups are
    // always taken. `us_english` picks the right Alt's fixed cap.
    std::optional<KeyOutcome> key_event(const KeyEvent& event, std::uint64_t now, bool hook_forwards_keys,
                                        bool us_english);

    void set_label(std::size_t slot, const KeyLabel& label);

    // Raw button flags; true when anything changed.
    bool mouse_buttons(std::uint32_t flags, std::uint64_t now);

    // Lets go of keys whose release was due (Pause). Call before reading.
    void advance(std::uint64_t now);

    // 1 while held, then falling linearly to 0 over the linger time.
    double key_intensity(std::size_t slot, std::uint64_t now) const;
    bool mouse_lit(MouseButton button, std::uint64_t now) const;
    bool wheel_lit(std::uint64_t now) const;
    // Whether anything is still lit, so the animation must go on.
    bool anything_lit(std::uint64_t now) const;

    HeldModifiers held_modifiers() const;

    const KeySlot& key(std::size_t slot) const { return keys_[slot]; }
    const MouseSlot& mouse(MouseButton button) const { return mouse_[static_cast<std::size_t>(button)]; }

    void clear();

private:
    std::array<KeySlot, kKeySlotCount> keys_{};
    std::array<MouseSlot, kMouseButtonCount> mouse_{};
    std::uint64_t wheel_linger_until_ = 0;
};

}  // namespace kadrovix::devices
