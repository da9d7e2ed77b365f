#include "presentation/devices/key_look.h"

#include <gtest/gtest.h>

using namespace kadrovix::devices;

namespace {

KeyEvent hook(std::uint32_t vk, std::uint32_t scan, bool up, bool extended = false) {
    return key_event_from_hook(vk, static_cast<std::intptr_t>(scan) | (up ? (1 << 16) : 0) | (extended ? (1 << 17) : 0));
}

}  // namespace

TEST(DevicesKeyLook, HeldDarkCapThenFadingLightCapThenUnlit) {
    InputSlots s;
    s.key_event(hook(0x1B, 1, false), 0, true, false);  // Esc
    KeyLook held = key_look(s, 1, 100);
    EXPECT_DOUBLE_EQ(held.intensity, 1.0);
    EXPECT_TRUE(held.show_label);
    EXPECT_EQ(held.label_colour, (CapColour{20, 37, 50}));
    EXPECT_DOUBLE_EQ(held.label_opacity, 1.0);
    EXPECT_FALSE(held.large_text);  // "Esc" is three units

    s.key_event(hook(0x1B, 1, true), 1000, true, false);
    KeyLook fading = key_look(s, 1, 1450);
    EXPECT_DOUBLE_EQ(fading.intensity, 0.25);
    EXPECT_EQ(fading.label_colour, (CapColour{235, 241, 250}));
    EXPECT_DOUBLE_EQ(fading.label_opacity, 0.25);

    // Intensity 0: unlit and without its cap.
    KeyLook gone = key_look(s, 1, 1600);
    EXPECT_DOUBLE_EQ(gone.intensity, 0.0);
    EXPECT_FALSE(gone.show_label);
    EXPECT_FALSE(key_look(s, 999, 0).show_label);

    // A lit key without any cap yet (layout key, not refined) is lit but blank.
    s.key_event(hook(0x41, 30, false), 2000, true, false);
    EXPECT_DOUBLE_EQ(key_look(s, 30, 2000).intensity, 1.0);
    EXPECT_FALSE(key_look(s, 30, 2000).show_label);
}

TEST(DevicesKeyLook, CapSizesAndPanelSeeThrough) {
    EXPECT_TRUE(cap_uses_large_text(1));
    EXPECT_TRUE(cap_uses_large_text(2));   // "F1", a surrogate pair
    EXPECT_FALSE(cap_uses_large_text(3));  // "F10"
    EXPECT_FALSE(cap_uses_large_text(4));  // "Ctrl"
    InputSlots s;
    s.key_event(hook(0xA2, 29, false), 0, true, false);
    EXPECT_FALSE(key_look(s, 29, 0).large_text);
    s.key_event(hook(0x70, 59, false), 0, true, false);
    EXPECT_TRUE(key_look(s, 59, 0).large_text);

    EXPECT_DOUBLE_EQ(large_text_size(520), 11.0);
    EXPECT_DOUBLE_EQ(small_text_size(520), 7.5);
    EXPECT_DOUBLE_EQ(large_text_size(780), 16.5);
    EXPECT_DOUBLE_EQ(small_text_size(780), 11.25);

    EXPECT_DOUBLE_EQ(panel_background_alpha(true), 0.0);
    EXPECT_DOUBLE_EQ(panel_background_alpha(false), 1.0 / 255.0);
    EXPECT_TRUE(panel_passes_clicks(true));
    EXPECT_FALSE(panel_passes_clicks(false));
    EXPECT_DOUBLE_EQ(lock_handle_opacity(true), 1.0);
    EXPECT_DOUBLE_EQ(lock_handle_opacity(false), 0.882);
}

TEST(DevicesKeyLook, PauseShowsHeldUntilItLetsGo) {
    InputSlots s;
    s.key_event(hook(0x13, 69, false), 100, true, false);
    const KeyLook look = key_look(s, 69 + 128, 699);
    EXPECT_DOUBLE_EQ(look.intensity, 1.0);
    EXPECT_EQ(look.label_colour, kHeldCapColour);
    EXPECT_TRUE(look.large_text);  // "Ⅱ" is one unit
    EXPECT_FALSE(key_look(s, 69 + 128, 700).show_label);
}
