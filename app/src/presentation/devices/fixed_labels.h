// Key-cap texts for keys whose cap does not come from the keyboard layout:
// modifiers, function and navigation keys, and fallbacks for the keypad.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kadrovix::devices {

// Every fixed cap, back to back; a cap is a slice of it. Slices may overlap
// (the keypad digits 1 to 5 and 0 are the digits of "F1" … "F10").
inline constexpr std::u8string_view kFixedLabelText =
    u8"Esc←⇥↵Ctrl⇧Alt␣CapsNumScr*−+7896F1F2F3F4F5F6F7F8F9F10F11F12GrⅡPrt⊞☰↖↑⇞→End↓⇟InsDel/";

// A slice of kFixedLabelText, in bytes.
struct LabelSlice {
    std::uint8_t start = 0;
    std::uint8_t length = 0;
    friend bool operator==(const LabelSlice&, const LabelSlice&) = default;
};

// The slice for a key slot (scan code, plus 128 for extended keys), if the
// key has a fixed cap. `us_english` selects the cap of the right Alt key:
// "Alt" on a US-English layout, where it is a plain Alt, else "Gr".
std::optional<LabelSlice> fixed_label_slice(std::size_t slot, bool us_english = false);

// The slice's text.
std::u8string_view fixed_label_text(LabelSlice slice);

}  // namespace kadrovix::devices
