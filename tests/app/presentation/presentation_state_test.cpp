// The controller's platform-free decisions: how the keyboard hook serves a
// shape shortcut another program holds, how unavailable shortcuts are named,
// and when the animation timer may stop.
#include <gtest/gtest.h>

#include "presentation/presentation_state.h"

namespace kadrovix {
namespace {

constexpr std::uint32_t kVkR = 0x52;
constexpr std::uint32_t kVkF = 0x46;

TEST(HookKeyFilter, TakesThePriorityShortcutWholeAndLetsEverythingElsePass) {
    ShapeShortcuts shortcuts = default_settings().shape_shortcuts;
    const HookPriorities priorities = hook_priorities(shortcuts, {false, true, false});
    HookKeyFilter filter;

    // Alt+R: the press becomes hot key 92 and neither press, repeat nor
    // release reaches the program that holds the combination.
    auto down = filter.key(kVkR, true, kModAlt, priorities);
    EXPECT_TRUE(down.swallow);
    EXPECT_EQ(down.hotkey_id, kRectangleHotkeyId);
    auto repeat = filter.key(kVkR, true, kModAlt, priorities);
    EXPECT_TRUE(repeat.swallow);
    EXPECT_EQ(repeat.hotkey_id, 0);
    EXPECT_TRUE(filter.key(kVkR, false, kModAlt, priorities).swallow);
    // Its release is taken once only.
    EXPECT_FALSE(filter.key(kVkR, false, kModAlt, priorities).swallow);

    // Other modifiers, other keys and shortcuts the system serves pass on.
    EXPECT_FALSE(filter.key(kVkR, true, kModAlt | kModShift, priorities).swallow);
    EXPECT_FALSE(filter.key(kVkR, false, kModAlt | kModShift, priorities).swallow);
    EXPECT_FALSE(filter.key(kVkF, true, kModAlt, priorities).swallow);
    EXPECT_FALSE(filter.key('A', true, 0, priorities).swallow);

    // A hot key that could not be posted gives the key back.
    ASSERT_TRUE(filter.key(kVkR, true, kModAlt, priorities).swallow);
    filter.undo(kVkR);
    EXPECT_FALSE(filter.key(kVkR, false, kModAlt, priorities).swallow);
    EXPECT_FALSE(filter.key(300, true, kModAlt, priorities).swallow);
}

TEST(PresentationReports, UnavailableShortcutsAreNamedInTheirFixedOrder) {
    EXPECT_EQ(unavailable_shortcut_names(false, {false, false, false}), "");
    EXPECT_EQ(unavailable_shortcut_names(true, {false, false, true}), "Turn everything off, Ellipse");
    EXPECT_EQ(shortcut_unavailable_notice(unavailable_shortcut_names(false, {true, true, false})),
              "Shortcut unavailable: Arrow, Rectangle");
    EXPECT_EQ(shortcut_in_use_message(shape_shortcut_text(0, default_settings().shape_shortcuts[0])),
              "Shortcut Arrow (modifiers 1, key 70) is already in use. No additional feature was enabled.");
}

TEST(PresentationAnimations, StopOnlyWhenNoAppliedFeatureMoves) {
    PresentationState state(default_settings());
    EXPECT_FALSE(animations(state, 1000).any());

    // A ring counts only while the halo is applied, and for 300 ms.
    apply_button_flags(state.halo_buttons, kRawLeftDown, 1000);
    EXPECT_FALSE(animations(state, 1100).any());
    state.applied = kFeaturePointerHalo;
    EXPECT_TRUE(animations(state, 1100).halo_ring);
    EXPECT_FALSE(animations(state, 1300).any());

    // A held key keeps the display lit, and so does the 600 ms after it.
    state.applied = kFeatureInputDisplay;
    devices::KeyEvent a;
    a.scan_code = 30;
    a.virtual_key = 'A';
    ASSERT_TRUE(state.input_slots.key_event(a, 2000, false, true).has_value());
    EXPECT_TRUE(animations(state, 5000).input_display);
    a.key_up = true;
    ASSERT_TRUE(state.input_slots.key_event(a, 5000, false, true).has_value());
    EXPECT_TRUE(animations(state, 5500).input_display);
    EXPECT_FALSE(animations(state, 5600).any());

    state.fading_shapes.push_back(FadingShape{});
    EXPECT_TRUE(animations(state, 5600).shapes);
}

}  // namespace
}  // namespace kadrovix
