#include "presentation/devices/input_slots.h"

#include <limits>

#include "presentation/devices/fixed_labels.h"

namespace kadrovix::devices {
namespace {

constexpr std::size_t kPauseSlot = 69 + 128;
constexpr std::size_t kLeftShift = 42, kRightShift = 54, kLeftCtrl = 29, kRightCtrl = 29 + 128,
                      kLeftAlt = 56, kRightAlt = 56 + 128, kCapsLock = 58;

std::uint64_t later(std::uint64_t now, std::uint64_t delay) {
    return now > std::numeric_limits<std::uint64_t>::max() - delay ? std::numeric_limits<std::uint64_t>::max()
                                                                   : now + delay;
}

// Characters that would show as an empty box or nothing on a cap: C0 and C1
// controls, space and DEL (which Ctrl+Backspace produces).
bool printable(char16_t c) { return c > 0x20 && !(c >= 0x7F && c <= 0x9F); }

// Decodes a slice of the fixed text, which is valid UTF-8 from the Basic
// Multilingual Plane by construction.
KeyLabel decode(std::u8string_view text) {
    KeyLabel label;
    std::size_t i = 0;
    while (i < text.size() && label.length < kMaxLabelUnits) {
        const auto b = static_cast<unsigned char>(text[i]);
        char32_t c = 0;
        std::size_t n = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            n = 2;
        } else {
            c = b & 0x0F;
            n = 3;
        }
        for (std::size_t k = 1; k < n && i + k < text.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        label.units[label.length++] = static_cast<char16_t>(c);
        i += n;
    }
    return label;
}

}  // namespace

KeyEvent key_event_from_raw(std::uint16_t make_code, std::uint16_t flags, std::uint16_t virtual_key) {
    KeyEvent e;
    e.scan_code = make_code;
    e.virtual_key = virtual_key;
    e.key_up = (flags & kRawKeyBreak) != 0;
    e.e0 = (flags & kRawKeyE0) != 0;
    e.e1 = (flags & kRawKeyE1) != 0;
    e.from_raw_input = true;
    return e;
}

KeyEvent key_event_from_hook(std::uintptr_t wparam, std::intptr_t lparam) {
    const auto bits = static_cast<std::uint64_t>(lparam);
    KeyEvent e;
    e.virtual_key = static_cast<std::uint32_t>(wparam & 0xFF);
    e.scan_code = static_cast<std::uint32_t>(bits & 0xFFFF);
    e.key_up = (bits & (1u << 16)) != 0;
    e.e0 = (bits & (1u << 17)) != 0;
    return e;
}

std::optional<std::size_t> key_slot_index(const KeyEvent& event) {
    if (event.virtual_key == kVkNone) return std::nullopt;
    const std::uint32_t prefix = (event.scan_code >> 8) & 0xFF;
    const std::uint32_t scan = event.scan_code & 0xFF;
    if (event.e1 || prefix == 0xE1) return std::nullopt;
    // 0 is what an unmappable virtual key leaves; 128 … 255 would land on the
    // extended slots of other keys.
    if (scan == 0 || scan >= 128) return std::nullopt;
    if (event.virtual_key == kVkPause) return kPauseSlot;
    const bool extended = (event.e0 || prefix == 0xE0) && event.virtual_key != kVkNumLock;
    return scan + (extended ? 128 : 0);
}

std::optional<KeyLabel> label_from_translation(int result, const char16_t* buffer, std::size_t buffer_units) {
    std::size_t count = 0;
    if (result == -1) {
        count = 1;
    } else if (result >= 1 && result <= static_cast<int>(kMaxLabelUnits)) {
        count = static_cast<std::size_t>(result);
    } else {
        return std::nullopt;
    }
    if (buffer == nullptr || count > buffer_units) return std::nullopt;
    KeyLabel label;
    for (std::size_t i = 0; i < count; ++i) {
        if (!printable(buffer[i])) return std::nullopt;
        label.units[i] = buffer[i];
    }
    label.length = static_cast<std::uint8_t>(count);
    return label;
}

KeyLabel fixed_key_label(std::size_t slot, bool us_english) {
    const auto slice = fixed_label_slice(slot, us_english);
    return slice ? decode(fixed_label_text(*slice)) : KeyLabel{};
}

std::optional<InputSlots::KeyOutcome> InputSlots::key_event(const KeyEvent& event, std::uint64_t now,
                                                            bool hook_forwards_keys, bool us_english) {
    advance(now);
    const auto index = key_slot_index(event);
    if (!index) return std::nullopt;
    if (event.from_raw_input && !event.key_up && hook_forwards_keys) return std::nullopt;
    KeySlot& slot = keys_[*index];

    if (event.virtual_key == kVkPause) {
        // No key-up will come: the key shows as held and lets go by itself.
        if (event.key_up) return std::nullopt;
        slot.held = true;
        slot.release_at = later(now, kKeyLingerMs);
        if (fixed_label_slice(*index, us_english)) slot.label = fixed_key_label(*index, us_english);
        return KeyOutcome{*index, true};
    }

    if (!event.key_up) {
        if (!slot.held) {
            slot.held = true;
            if (fixed_label_slice(*index, us_english)) slot.label = fixed_key_label(*index, us_english);
        }
        return KeyOutcome{*index, true};
    }
    if (slot.held) {
        slot.held = false;
        slot.linger_until = later(now, kKeyLingerMs);
    }
    return KeyOutcome{*index, false};
}

void InputSlots::set_label(std::size_t slot, const KeyLabel& label) {
    if (slot < kKeySlotCount) keys_[slot].label = label;
}

bool InputSlots::mouse_buttons(std::uint32_t flags, std::uint64_t now) {
    bool changed = false;
    for (std::size_t b = 0; b < kMouseButtonCount; ++b) {
        const std::uint32_t down = 1u << (2 * b);
        const std::uint32_t up = down << 1;
        MouseSlot& slot = mouse_[b];
        // A record may carry a whole click; the press comes first.
        if ((flags & down) != 0) {
            slot.held = true;
            changed = true;
        }
        if ((flags & up) != 0 && slot.held) {
            slot.held = false;
            slot.linger_until = later(now, kMouseLingerMs);
            changed = true;
        }
    }
    if ((flags & (kRawWheel | kRawHorizontalWheel)) != 0) {
        wheel_linger_until_ = later(now, kMouseLingerMs);
        changed = true;
    }
    return changed;
}

void InputSlots::advance(std::uint64_t now) {
    for (KeySlot& slot : keys_) {
        if (slot.release_at && now >= *slot.release_at) {
            slot.held = false;
            slot.linger_until = *slot.release_at;
            slot.release_at.reset();
        }
    }
}

double InputSlots::key_intensity(std::size_t slot, std::uint64_t now) const {
    if (slot >= kKeySlotCount) return 0.0;
    const KeySlot& k = keys_[slot];
    std::uint64_t linger_until = k.linger_until;
    if (k.held) {
        if (!k.release_at || now < *k.release_at) return 1.0;
        linger_until = *k.release_at;
    }
    if (now >= linger_until) return 0.0;
    const std::uint64_t left = linger_until - now;
    return left >= kKeyLingerMs ? 1.0 : static_cast<double>(left) / static_cast<double>(kKeyLingerMs);
}

bool InputSlots::mouse_lit(MouseButton button, std::uint64_t now) const {
    const MouseSlot& m = mouse_[static_cast<std::size_t>(button)];
    return m.held || now < m.linger_until;
}

bool InputSlots::wheel_lit(std::uint64_t now) const { return now < wheel_linger_until_; }

bool InputSlots::anything_lit(std::uint64_t now) const {
    for (std::size_t i = 0; i < kKeySlotCount; ++i) {
        if (key_intensity(i, now) > 0.0) return true;
    }
    for (std::size_t b = 0; b < kMouseButtonCount; ++b) {
        if (mouse_lit(static_cast<MouseButton>(b), now)) return true;
    }
    return wheel_lit(now);
}

HeldModifiers InputSlots::held_modifiers() const {
    return HeldModifiers{keys_[kLeftShift].held || keys_[kRightShift].held,
                         keys_[kLeftCtrl].held || keys_[kRightCtrl].held,
                         keys_[kLeftAlt].held || keys_[kRightAlt].held, keys_[kCapsLock].held};
}

void InputSlots::clear() {
    keys_ = {};
    mouse_ = {};
    wheel_linger_until_ = 0;
}

}  // namespace kadrovix::devices
