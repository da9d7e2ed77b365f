#include "presentation/devices/input_slots.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "presentation/devices/fixed_labels.h"

using namespace kadrovix::devices;

namespace {

constexpr std::size_t kExt = 128;

// A key event as the keyboard hook posts it.
KeyEvent hook(std::uint32_t vk, std::uint32_t scan, bool up, bool extended = false) {
    std::intptr_t lparam = static_cast<std::intptr_t>(scan) | (up ? (1 << 16) : 0) | (extended ? (1 << 17) : 0);
    return key_event_from_hook(vk, lparam);
}

std::u16string label_of(const InputSlots& s, std::size_t slot) { return std::u16string(s.key(slot).label.text()); }

}  // namespace

TEST(DevicesKeySlots, ReleasedKeyFadesOutOver600Ms) {
    InputSlots s;
    auto down = s.key_event(hook(0x41, 30, false), 1000, true, false);
    ASSERT_TRUE(down);
    EXPECT_EQ(down->slot, 30u);
    EXPECT_TRUE(down->refine_label);
    // Held: fully lit however long.
    EXPECT_DOUBLE_EQ(s.key_intensity(30, 1000), 1.0);
    EXPECT_DOUBLE_EQ(s.key_intensity(30, 1'000'000), 1.0);

    auto up = s.key_event(hook(0x41, 30, true), 2000, true, false);
    ASSERT_TRUE(up);
    EXPECT_FALSE(up->refine_label);
    EXPECT_EQ(s.key(30).linger_until, 2600u);
    EXPECT_DOUBLE_EQ(s.key_intensity(30, 2000), 1.0);
    EXPECT_DOUBLE_EQ(s.key_intensity(30, 2300), 0.5);
    EXPECT_GT(s.key_intensity(30, 2599), 0.0);
    EXPECT_TRUE(s.anything_lit(2599));
    EXPECT_DOUBLE_EQ(s.key_intensity(30, 2600), 0.0);
    EXPECT_FALSE(s.anything_lit(2600));
    // Only that key ever lit.
    EXPECT_DOUBLE_EQ(s.key_intensity(31, 2000), 0.0);
}

TEST(DevicesKeySlots, RepeatsAndStrayKeyUpsChangeNothing) {
    InputSlots s;
    s.key_event(hook(0x41, 30, false), 100, true, false);
    KeyLabel a;
    a.units[0] = u'a';
    a.length = 1;
    s.set_label(30, a);
    // Auto-repeat: still held, the refined cap stays, the caller may refine again.
    auto again = s.key_event(hook(0x41, 30, false), 400, true, false);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->refine_label);
    EXPECT_EQ(label_of(s, 30), u"a");
    s.key_event(hook(0x41, 30, true), 500, true, false);
    // A second key-up must not push the linger time out again.
    s.key_event(hook(0x41, 30, true), 900, true, false);
    EXPECT_EQ(s.key(30).linger_until, 1100u);

    // A key-up whose key-down was never seen lights nothing.
    InputSlots fresh;
    fresh.key_event(hook(0x42, 48, true), 100, true, false);
    EXPECT_FALSE(fresh.anything_lit(100));
}

TEST(DevicesKeySlots, ExtendedKeysHaveTheirOwnSlots) {
    InputSlots s;
    // Right Ctrl from the hook (extended bit), from raw input (E0 flag) and
    // from a mapped scan code with the E0 prefix all land on slot 29 + 128.
    auto hooked = s.key_event(hook(0xA3, 29, false, true), 10, true, false);
    ASSERT_TRUE(hooked);
    EXPECT_EQ(hooked->slot, 29 + kExt);
    EXPECT_TRUE(s.key(29 + kExt).held);
    EXPECT_FALSE(s.key(29).held);
    EXPECT_EQ(label_of(s, 29 + kExt), u"Ctrl");

    EXPECT_EQ(key_slot_index(key_event_from_raw(29, kRawKeyE0, 0xA3)), 29 + kExt);
    KeyEvent mapped;
    mapped.scan_code = 0xE01D;
    mapped.virtual_key = 0xA3;
    EXPECT_EQ(key_slot_index(mapped), 29 + kExt);
    // Left Ctrl stays apart.
    EXPECT_EQ(key_slot_index(key_event_from_raw(29, 0, 0xA2)), 29u);
    // Arrow keys share scan codes with the keypad digits.
    EXPECT_EQ(key_slot_index(hook(0x25, 75, false, true)), 75 + kExt);
    EXPECT_EQ(key_slot_index(hook(0x64, 75, false, false)), 75u);

    // Num Lock arrives flagged extended but has one slot: 69.
    EXPECT_EQ(key_slot_index(hook(kVkNumLock, 69, false, true)), 69u);
    EXPECT_EQ(key_slot_index(key_event_from_raw(69, kRawKeyE0, kVkNumLock)), 69u);
}

TEST(DevicesKeySlots, EventsThatAreNotShown) {
    // Virtual key 255 (fake keys some keyboards send).
    EXPECT_FALSE(key_slot_index(hook(kVkNone, 42, false)));
    // Scan code 255, and 0 left unmapped.
    EXPECT_FALSE(key_slot_index(hook(0x41, 255, false)));
    EXPECT_FALSE(key_slot_index(hook(0x41, 0, false)));
    // E1 records (the first half of Pause's make sequence).
    EXPECT_FALSE(key_slot_index(key_event_from_raw(29, kRawKeyE1, 0x11)));
    KeyEvent e1;
    e1.scan_code = 0xE11D;
    e1.virtual_key = 0x13;
    EXPECT_FALSE(key_slot_index(e1));
    // Scan codes above 127 would otherwise light another key's extended slot.
    EXPECT_FALSE(key_slot_index(hook(0x15, 0xF2, false)));
    EXPECT_FALSE(key_slot_index(hook(0x15, 0x9D, false, true)));

    InputSlots s;
    EXPECT_FALSE(s.key_event(hook(kVkNone, 42, false), 5, true, false));
    EXPECT_FALSE(s.anything_lit(5));
}

TEST(DevicesKeySlots, RawKeyDownsGiveWayToTheHookButRawKeyUpsCount) {
    InputSlots s;
    // While the hook forwards keys, a raw key-down is the same press again.
    EXPECT_FALSE(s.key_event(key_event_from_raw(30, 0, 0x41), 10, true, false));
    EXPECT_FALSE(s.key(30).held);
    s.key_event(hook(0x41, 30, false), 10, true, false);
    // The raw key-up releases it.
    auto up = s.key_event(key_event_from_raw(30, kRawKeyBreak, 0x41), 50, true, false);
    ASSERT_TRUE(up);
    EXPECT_FALSE(s.key(30).held);
    EXPECT_EQ(s.key(30).linger_until, 650u);

    // Without the hook the raw key-down is the only one.
    InputSlots no_hook;
    ASSERT_TRUE(no_hook.key_event(key_event_from_raw(57, 0, 0x20), 10, false, false));
    EXPECT_TRUE(no_hook.key(57).held);
    EXPECT_EQ(label_of(no_hook, 57), u"␣");
}

TEST(DevicesKeySlots, PauseLightsFor600MsWithoutAKeyUp) {
    InputSlots s;
    auto down = s.key_event(hook(kVkPause, 69, false), 5000, true, false);
    ASSERT_TRUE(down);
    EXPECT_EQ(down->slot, 69 + kExt);
    EXPECT_EQ(label_of(s, 69 + kExt), u"Ⅱ");
    EXPECT_FALSE(s.key(69).held);  // not Num Lock
    EXPECT_DOUBLE_EQ(s.key_intensity(69 + kExt, 5599), 1.0);
    EXPECT_TRUE(s.anything_lit(5599));
    EXPECT_DOUBLE_EQ(s.key_intensity(69 + kExt, 5600), 0.0);
    EXPECT_FALSE(s.anything_lit(5600));
    s.advance(5600);
    EXPECT_FALSE(s.key(69 + kExt).held);

    // A key-up that does come for Pause changes nothing.
    InputSlots t;
    t.key_event(hook(kVkPause, 69, false), 0, true, false);
    t.key_event(hook(kVkPause, 69, true), 100, true, false);
    EXPECT_DOUBLE_EQ(t.key_intensity(69 + kExt, 599), 1.0);
    EXPECT_DOUBLE_EQ(t.key_intensity(69 + kExt, 600), 0.0);
    // Pressed again after it let go, it lights again.
    t.key_event(hook(kVkPause, 69, false), 2000, true, false);
    EXPECT_DOUBLE_EQ(t.key_intensity(69 + kExt, 2599), 1.0);
}

TEST(DevicesKeySlots, LingerTimesSaturateAtTheClocksEnd) {
    const std::uint64_t end = std::numeric_limits<std::uint64_t>::max();
    InputSlots s;
    s.key_event(hook(0x41, 30, false), end - 100, true, false);
    s.key_event(hook(0x41, 30, true), end - 100, true, false);
    EXPECT_EQ(s.key(30).linger_until, end);
    EXPECT_GT(s.key_intensity(30, end - 50), 0.0);
    s.mouse_buttons(0x1 | 0x2, end - 10);
    EXPECT_EQ(s.mouse(MouseButton::Left).linger_until, end);
    EXPECT_TRUE(s.mouse_lit(MouseButton::Left, end - 1));
}

TEST(DevicesKeySlots, HeldModifiersAreWhatTheDisplaySaw) {
    InputSlots s;
    EXPECT_EQ(s.held_modifiers(), HeldModifiers{});
    s.key_event(hook(0xA1, 54, false), 0, true, false);        // right Shift
    s.key_event(hook(0xA5, 56, false, true), 0, true, false);  // right Alt
    s.key_event(hook(0x14, 58, false), 0, true, false);        // Caps Lock
    EXPECT_EQ(s.held_modifiers(), (HeldModifiers{true, false, true, true}));
    s.key_event(hook(0xA1, 54, true), 10, true, false);
    s.key_event(hook(0xA3, 29, false, true), 10, true, false);  // right Ctrl
    EXPECT_EQ(s.held_modifiers(), (HeldModifiers{false, true, true, true}));
    s.clear();
    EXPECT_EQ(s.held_modifiers(), HeldModifiers{});
    EXPECT_FALSE(s.anything_lit(10));
}

TEST(DevicesMouseSlots, ButtonsLinger180MsAfterRelease) {
    InputSlots s;
    EXPECT_TRUE(s.mouse_buttons(0x1, 1000));
    EXPECT_TRUE(s.mouse_lit(MouseButton::Left, 50'000));
    EXPECT_TRUE(s.mouse_buttons(0x2, 2000));
    EXPECT_TRUE(s.mouse_lit(MouseButton::Left, 2179));
    EXPECT_FALSE(s.mouse_lit(MouseButton::Left, 2180));
    EXPECT_FALSE(s.anything_lit(2180));

    // Each button's own pair of bits.
    const struct {
        std::uint32_t down;
        MouseButton button;
    } buttons[] = {{0x4, MouseButton::Right}, {0x10, MouseButton::Middle}, {0x40, MouseButton::X1},
                   {0x100, MouseButton::X2}};
    for (const auto& b : buttons) {
        InputSlots t;
        t.mouse_buttons(b.down, 0);
        for (std::size_t i = 0; i < kMouseButtonCount; ++i) {
            EXPECT_EQ(t.mouse_lit(static_cast<MouseButton>(i), 0), static_cast<MouseButton>(i) == b.button)
                << "flag " << b.down << " button " << i;
        }
        t.mouse_buttons(b.down << 1, 100);
        EXPECT_TRUE(t.mouse_lit(b.button, 279));
        EXPECT_FALSE(t.mouse_lit(b.button, 280));
        EXPECT_FALSE(t.wheel_lit(0));
    }
}

TEST(DevicesMouseSlots, ClicksInOneRecordStrayUpsAndTheWheel) {
    InputSlots s;
    // Press and release in one record: still shown for 180 ms.
    s.mouse_buttons(0x4 | 0x8, 500);
    EXPECT_FALSE(s.mouse(MouseButton::Right).held);
    EXPECT_TRUE(s.mouse_lit(MouseButton::Right, 679));
    EXPECT_FALSE(s.mouse_lit(MouseButton::Right, 680));

    // An up without its down (pressed before the display came on).
    InputSlots t;
    EXPECT_FALSE(t.mouse_buttons(0x2, 500));
    EXPECT_FALSE(t.mouse_lit(MouseButton::Left, 500));

    // Vertical and horizontal wheel steps; each step starts the 180 ms again.
    EXPECT_TRUE(t.mouse_buttons(kRawWheel, 1000));
    EXPECT_TRUE(t.wheel_lit(1179));
    EXPECT_TRUE(t.mouse_buttons(kRawHorizontalWheel, 1100));
    EXPECT_TRUE(t.wheel_lit(1279));
    EXPECT_FALSE(t.wheel_lit(1280));
    EXPECT_FALSE(t.mouse_lit(MouseButton::Left, 1100));
    EXPECT_TRUE(t.anything_lit(1279));
    EXPECT_FALSE(t.anything_lit(1280));
}

TEST(DevicesKeyLabels, FixedCaps) {
    const auto cap = [](std::size_t slot, bool us = false) { return std::u16string(fixed_key_label(slot, us).text()); };
    EXPECT_EQ(cap(1), u"Esc");
    EXPECT_EQ(cap(14), u"←");
    EXPECT_EQ(cap(15), u"⇥");
    EXPECT_EQ(cap(28), u"↵");
    // Four-unit caps are kept whole.
    EXPECT_EQ(cap(29), u"Ctrl");
    EXPECT_EQ(cap(58), u"Caps");
    EXPECT_EQ(cap(42), u"⇧");
    EXPECT_EQ(cap(54), u"⇧");
    EXPECT_EQ(cap(56), u"Alt");
    EXPECT_EQ(cap(57), u"␣");
    EXPECT_EQ(cap(59), u"F1");
    EXPECT_EQ(cap(68), u"F10");
    EXPECT_EQ(cap(87), u"F11");
    EXPECT_EQ(cap(88), u"F12");
    EXPECT_EQ(cap(69), u"Num");
    EXPECT_EQ(cap(70), u"Scr");
    // Keypad: operators and the digits, some borrowed from the F-key caps.
    EXPECT_EQ(cap(55), u"*");
    EXPECT_EQ(cap(74), u"−");
    EXPECT_EQ(cap(78), u"+");
    const char16_t* digits[] = {u"7", u"8", u"9", nullptr, u"4", u"5", u"6", nullptr, u"1", u"2", u"3", u"0"};
    for (std::size_t i = 0; i < 12; ++i) {
        if (digits[i] != nullptr) {
            EXPECT_EQ(cap(71 + i), digits[i]) << 71 + i;
        }
    }
    EXPECT_EQ(cap(53 + kExt), u"/");
    // Extended keys.
    EXPECT_EQ(cap(55 + kExt), u"Prt");
    EXPECT_EQ(cap(56 + kExt), u"Gr");
    EXPECT_EQ(cap(56 + kExt, true), u"Alt");
    EXPECT_EQ(cap(69 + kExt), u"Ⅱ");
    EXPECT_EQ(cap(71 + kExt), u"↖");
    EXPECT_EQ(cap(72 + kExt), u"↑");
    EXPECT_EQ(cap(73 + kExt), u"⇞");
    EXPECT_EQ(cap(75 + kExt), u"←");
    EXPECT_EQ(cap(77 + kExt), u"→");
    EXPECT_EQ(cap(79 + kExt), u"End");
    EXPECT_EQ(cap(80 + kExt), u"↓");
    EXPECT_EQ(cap(81 + kExt), u"⇟");
    EXPECT_EQ(cap(82 + kExt), u"Ins");
    EXPECT_EQ(cap(83 + kExt), u"Del");
    EXPECT_EQ(cap(91 + kExt), u"⊞");
    EXPECT_EQ(cap(92 + kExt), u"⊞");
    EXPECT_EQ(cap(93 + kExt), u"☰");
    // Keypad Enter and right Ctrl translate to nothing, so they need caps too.
    EXPECT_EQ(cap(28 + kExt), u"↵");
    EXPECT_EQ(cap(29 + kExt), u"Ctrl");
    // Keys whose cap comes from the layout, and slots beyond the table.
    EXPECT_EQ(cap(30), u"");
    EXPECT_EQ(cap(43), u"");
    EXPECT_EQ(cap(83), u"");
    EXPECT_EQ(cap(86), u"");
    EXPECT_FALSE(fixed_label_slice(300));
    // The right Alt's cap follows the layout flag at key-down.
    InputSlots s;
    s.key_event(hook(0xA5, 56, false, true), 0, true, true);
    EXPECT_EQ(label_of(s, 56 + kExt), u"Alt");
}

TEST(DevicesKeyLabels, TranslationsBecomeCapsOnlyWhenPrintable) {
    const auto text = [](const std::optional<KeyLabel>& l) { return l ? std::u16string(l->text()) : u"<none>"; };
    char16_t buf[4] = {u'é', 0, 0, 0};
    EXPECT_EQ(text(label_from_translation(1, buf, 4)), u"é");
    // A dead key gives its one character.
    char16_t dead[4] = {u'^', u'^', 0, 0};
    EXPECT_EQ(text(label_from_translation(-1, dead, 4)), u"^");
    char16_t four[4] = {u'a', u'b', u'c', u'd'};
    EXPECT_EQ(text(label_from_translation(4, four, 4)), u"abcd");
    EXPECT_EQ(text(label_from_translation(3, four, 4)), u"abc");
    // A character outside the BMP is two units and fits.
    char16_t pair[4] = {0xD83D, 0xDE00, 0, 0};
    EXPECT_EQ(text(label_from_translation(2, pair, 4)), std::u16string(u"\U0001F600"));
    // Nothing, an unknown result, or more than the buffer holds.
    EXPECT_EQ(text(label_from_translation(0, buf, 4)), u"<none>");
    EXPECT_EQ(text(label_from_translation(-2, buf, 4)), u"<none>");
    EXPECT_EQ(text(label_from_translation(5, four, 4)), u"<none>");
    EXPECT_EQ(text(label_from_translation(3, four, 2)), u"<none>");
    EXPECT_EQ(text(label_from_translation(1, nullptr, 4)), u"<none>");
    // Control characters, space, DEL (Ctrl+Backspace) and C1 controls.
    for (char16_t c : {char16_t{0x08}, char16_t{0x0D}, char16_t{0x1B}, char16_t{0x20}, char16_t{0x7F}, char16_t{0x85}}) {
        char16_t one[4] = {c, 0, 0, 0};
        EXPECT_EQ(text(label_from_translation(1, one, 4)), u"<none>") << int(c);
    }
    char16_t mixed[4] = {u'a', 0x09, 0, 0};
    EXPECT_EQ(text(label_from_translation(2, mixed, 4)), u"<none>");
}

TEST(DevicesKeyLabels, LayoutCapReplacesOnlyWhenPrintable) {
    // A French layout: the key that types é (scan 3) shows é; Backspace's
    // translation is a control character, so it keeps "←".
    InputSlots s;
    auto e = s.key_event(hook(0x32, 3, false), 0, true, false);
    ASSERT_TRUE(e && e->refine_label);
    char16_t typed[4] = {u'é', 0, 0, 0};
    if (auto l = label_from_translation(1, typed, 4)) s.set_label(e->slot, *l);
    EXPECT_EQ(label_of(s, 3), u"é");

    auto bs = s.key_event(hook(0x08, 14, false), 0, true, false);
    ASSERT_TRUE(bs && bs->refine_label);
    char16_t backspace[4] = {0x08, 0, 0, 0};
    if (auto l = label_from_translation(1, backspace, 4)) s.set_label(bs->slot, *l);
    EXPECT_EQ(label_of(s, 14), u"←");
    // A layout-labelled key keeps its last cap when pressed again.
    s.key_event(hook(0x32, 3, true), 10, true, false);
    s.key_event(hook(0x32, 3, false), 20, true, false);
    EXPECT_EQ(label_of(s, 3), u"é");
}
