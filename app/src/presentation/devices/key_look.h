// How the panel shows a slot: how strongly a key is lit, in which colour and
// size its cap is written, and the see-through settings of the panel and its
// lock handle. The painter turns these into Direct2D calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "presentation/devices/input_slots.h"

namespace kadrovix::devices {

struct CapColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const CapColour&, const CapColour&) = default;
};

inline constexpr CapColour kHeldCapColour{20, 37, 50};
inline constexpr CapColour kFadingCapColour{235, 241, 250};

struct KeyLook {
    double intensity = 0.0;  // 0 unlit … 1 fully lit
    bool show_label = false;
    CapColour label_colour = kFadingCapColour;
    double label_opacity = 0.0;
    bool large_text = true;  // the 11-point format; else the 7.5-point one
};

KeyLook key_look(const InputSlots& slots, std::size_t slot, std::uint64_t now);

// Caps of one or two UTF-16 units are written large, longer ones small.
bool cap_uses_large_text(std::size_t units);

// Text sizes (DIPs) of the panel's two formats for a panel `width` pixels wide.
double large_text_size(int panel_width);
double small_text_size(int panel_width);

// A locked panel is fully transparent where nothing is drawn and lets clicks
// through; an unlocked one keeps a barely visible black so it can be grabbed.
double panel_background_alpha(bool locked);
bool panel_passes_clicks(bool locked);
double lock_handle_opacity(bool locked);

}  // namespace kadrovix::devices
