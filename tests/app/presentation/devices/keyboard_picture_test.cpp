#include "presentation/devices/keyboard_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include "presentation/devices/fixed_labels.h"
#include "presentation/devices/input_slots.h"
#include "presentation/devices/panel_layout.h"

using namespace kadrovix::devices;

namespace {

constexpr std::size_t kExt = 128;

std::optional<KeyBox> find(const std::vector<KeyBox>& keys, std::size_t slot) {
    const auto it = std::find_if(keys.begin(), keys.end(), [&](const KeyBox& k) { return k.slot == slot; });
    if (it == keys.end()) return std::nullopt;
    return *it;
}

bool overlap(double l1, double t1, double w1, double h1, double l2, double t2, double w2, double h2) {
    return l1 < l2 + w2 && l2 < l1 + w1 && t1 < t2 + h2 && t2 < t1 + h1;
}

}  // namespace

TEST(DevicesKeyboardPicture, EveryKeyOnceInsideThePanelWithoutOverlaps) {
    for (bool us : {true, false}) {
        SCOPED_TRACE(us ? "ANSI" : "ISO");
        const auto keys = keyboard_picture(us);
        std::set<std::size_t> slots;
        for (const KeyBox& k : keys) {
            EXPECT_TRUE(slots.insert(k.slot).second) << "slot " << k.slot << " twice";
            EXPECT_LT(k.slot, kKeySlotCount);
            EXPECT_GE(k.left, 0.0);
            EXPECT_GE(k.top, 0.0);
            // Left of the mouse figure and above the panel's bottom edge.
            EXPECT_LE(k.left + k.width(), 450.0) << k.slot;
            EXPECT_LE(k.top + k.height(), double(kPanelHeight)) << k.slot;
            // Clear of the lock handle.
            EXPECT_FALSE(overlap(k.left, k.top, k.width(), k.height(), kHandleLeft, kHandleTop, kHandleSide,
                                 kHandleSide))
                << k.slot;
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            for (std::size_t j = i + 1; j < keys.size(); ++j) {
                const KeyBox& a = keys[i];
                const KeyBox& b = keys[j];
                EXPECT_FALSE(overlap(a.left, a.top, a.width(), a.height(), b.left, b.top, b.width(), b.height()))
                    << a.slot << " and " << b.slot;
            }
        }
        // Every key with a fixed cap has a place to light up.
        for (std::size_t slot = 0; slot < kKeySlotCount; ++slot) {
            if (fixed_label_slice(slot, us)) {
                EXPECT_TRUE(slots.count(slot)) << "slot " << slot << " not drawn";
            }
        }
        // A full-size board: 104 keys in ANSI, 105 in ISO (the extra key 86).
        EXPECT_EQ(keys.size(), us ? 104u : 105u);
    }
}

TEST(DevicesKeyboardPicture, PlacesGivenForTheMainBlock) {
    const auto iso = keyboard_picture(false);
    const auto k = [&](std::size_t slot) { return find(iso, slot).value(); };
    // Units of 18 px from x = 8; boxes are 3 px smaller than their cells.
    EXPECT_DOUBLE_EQ(k(1).left, 8.0);
    EXPECT_DOUBLE_EQ(k(1).top, 9.0);
    EXPECT_DOUBLE_EQ(k(1).width(), 15.0);
    EXPECT_DOUBLE_EQ(k(1).height(), 15.0);
    EXPECT_DOUBLE_EQ(k(59).left, 8 + 2 * 18.0);
    EXPECT_DOUBLE_EQ(k(63).left, 8 + 6.5 * 18);
    EXPECT_DOUBLE_EQ(k(66).left, 8 + 9.5 * 18);
    EXPECT_DOUBLE_EQ(k(67).left, 8 + 11 * 18.0);
    EXPECT_DOUBLE_EQ(k(88).left, 8 + 14 * 18.0);
    // Neighbouring keys 3 px apart.
    EXPECT_DOUBLE_EQ(k(3).left - (k(2).left + k(2).width()), 3.0);
    EXPECT_DOUBLE_EQ(k(14).left, 8 + 13 * 18.0);
    EXPECT_DOUBLE_EQ(k(14).width(), 33.0);
    EXPECT_DOUBLE_EQ(k(15).width(), 24.0);
    EXPECT_DOUBLE_EQ(k(27).left, 8 + 12.5 * 18);
    EXPECT_DOUBLE_EQ(k(58).width(), 1.75 * 18 - 3);
    EXPECT_DOUBLE_EQ(k(40).left, 8 + 11.75 * 18);
    EXPECT_DOUBLE_EQ(k(54).left, 8 + 12.25 * 18);
    EXPECT_DOUBLE_EQ(k(54).width(), 2.75 * 18 - 3);
    // Bottom row.
    EXPECT_DOUBLE_EQ(k(91 + kExt).left, 8 + 1.25 * 18);
    EXPECT_DOUBLE_EQ(k(57).left, 8 + 3.75 * 18);
    EXPECT_DOUBLE_EQ(k(57).width(), 6.25 * 18 - 3);
    EXPECT_DOUBLE_EQ(k(56 + kExt).left, 8 + 10 * 18.0);
    EXPECT_DOUBLE_EQ(k(29 + kExt).left, 8 + 13.75 * 18);
    EXPECT_DOUBLE_EQ(k(29 + kExt).top, 107.0);
    // Every row's y.
    EXPECT_DOUBLE_EQ(k(41).top, 35.0);
    EXPECT_DOUBLE_EQ(k(16).top, 53.0);
    EXPECT_DOUBLE_EQ(k(30).top, 71.0);
    EXPECT_DOUBLE_EQ(k(44).top, 89.0);
}

TEST(DevicesKeyboardPicture, UsEnglishIsAnsiOtherLayoutsIso) {
    const auto ansi = keyboard_picture(true);
    const auto iso = keyboard_picture(false);
    EXPECT_FALSE(find(ansi, 86));
    ASSERT_TRUE(find(iso, 86));
    EXPECT_DOUBLE_EQ(find(iso, 86)->left, 8 + 1.25 * 18);
    EXPECT_DOUBLE_EQ(find(ansi, 42)->width(), 2.25 * 18 - 3);
    EXPECT_DOUBLE_EQ(find(iso, 42)->width(), 1.25 * 18 - 3);
    // ANSI: 43 above Enter.
    const KeyBox a43 = find(ansi, 43).value();
    EXPECT_DOUBLE_EQ(a43.left, 251.0);
    EXPECT_DOUBLE_EQ(a43.top, 53.0);
    EXPECT_DOUBLE_EQ(a43.width(), 24.0);
    const KeyBox a28 = find(ansi, 28).value();
    EXPECT_DOUBLE_EQ(a28.left, 237.5);
    EXPECT_DOUBLE_EQ(a28.top, 71.0);
    EXPECT_DOUBLE_EQ(a28.width(), 2.25 * 18 - 3);
    EXPECT_DOUBLE_EQ(a28.height(), 15.0);
    // ISO: 43 ends the Caps Lock row; Enter fills the right ends of two rows,
    // its top row starting right after key 27's cell.
    const KeyBox i43 = find(iso, 43).value();
    EXPECT_DOUBLE_EQ(i43.left, 8 + 12.75 * 18);
    EXPECT_DOUBLE_EQ(i43.top, 71.0);
    const KeyBox i28 = find(iso, 28).value();
    EXPECT_DOUBLE_EQ(i28.top, 53.0);
    EXPECT_DOUBLE_EQ(i28.height(), 33.0);
    EXPECT_DOUBLE_EQ(i28.top_row_left, 8 + 13.5 * 18);
    EXPECT_DOUBLE_EQ(i28.left + i28.width(), find(iso, 14)->left + find(iso, 14)->width());
    const KeyBox k27 = find(iso, 27).value();
    EXPECT_GE(i28.top_row_left, k27.left + k27.width() + 3.0);
}

TEST(DevicesKeyboardPicture, NavigationBlockAndKeypad) {
    const auto keys = keyboard_picture(true);
    const auto at = [&](std::size_t slot) {
        const KeyBox k = find(keys, slot).value();
        return std::pair<double, double>{k.left, k.top};
    };
    using P = std::pair<double, double>;
    EXPECT_EQ(at(55 + kExt), (P{288, 9}));
    EXPECT_EQ(at(70), (P{306, 9}));
    EXPECT_EQ(at(69 + kExt), (P{324, 9}));
    EXPECT_EQ(at(82 + kExt), (P{288, 35}));
    EXPECT_EQ(at(73 + kExt), (P{324, 35}));
    EXPECT_EQ(at(83 + kExt), (P{288, 53}));
    EXPECT_EQ(at(81 + kExt), (P{324, 53}));
    EXPECT_EQ(at(72 + kExt), (P{306, 89}));
    EXPECT_EQ(at(75 + kExt), (P{288, 107}));
    EXPECT_EQ(at(77 + kExt), (P{324, 107}));
    // Keypad.
    EXPECT_EQ(at(69), (P{354, 35}));
    EXPECT_EQ(at(53 + kExt), (P{372, 35}));
    EXPECT_EQ(at(74), (P{408, 35}));
    EXPECT_EQ(at(71), (P{354, 53}));
    EXPECT_EQ(at(78), (P{408, 53}));
    EXPECT_DOUBLE_EQ(find(keys, 78)->height(), 33.0);
    EXPECT_EQ(at(77), (P{390, 71}));
    EXPECT_EQ(at(79), (P{354, 89}));
    EXPECT_EQ(at(28 + kExt), (P{408, 89}));
    EXPECT_DOUBLE_EQ(find(keys, 28 + kExt)->height(), 33.0);
    EXPECT_EQ(at(82), (P{354, 107}));
    EXPECT_DOUBLE_EQ(find(keys, 82)->width(), 33.0);
    EXPECT_EQ(at(83), (P{390, 107}));
    // The lock handle sits above the keypad.
    EXPECT_GE(kHandleLeft, 354);
    EXPECT_LE(kHandleTop + kHandleSide, 35);
}
