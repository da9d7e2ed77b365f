#include "presentation/pointer_halo.h"

#include <gtest/gtest.h>

using namespace kadrovix;

namespace {

constexpr Rgb kYellow{0xff, 0xd3, 0x40};
constexpr Rgb kRed{237, 79, 92};

}  // namespace

TEST(PresentationHaloSize, ScalesFromSeventyTwoAndTruncates) {
    EXPECT_EQ(halo_side(96), 72);
    EXPECT_EQ(halo_side(120), 90);
    EXPECT_EQ(halo_side(144), 108);
    EXPECT_EQ(halo_side(192), 144);
    // 72 x 110 / 96 = 82.5 and 72 x 98 / 96 = 73.5: the fraction is cut off.
    EXPECT_EQ(halo_side(110), 82);
    EXPECT_EQ(halo_side(98), 73);
    EXPECT_EQ(halo_side(97), 72);
}

TEST(PresentationHaloSize, FailedOrImpossibleDpiCountsAsOneHundredPercent) {
    EXPECT_EQ(halo_side(0), 72);
    EXPECT_EQ(halo_side(48), 72);
    EXPECT_EQ(halo_side(95), 72);
}

TEST(PresentationHaloFollow, CentresOnThePointerWithIntegerHalving) {
    const HaloPlacement even = follow_pointer(500, 400, 96, 72);
    EXPECT_EQ(even.side, 72);
    EXPECT_FALSE(even.recreate);
    EXPECT_EQ(even.x, 464);
    EXPECT_EQ(even.y, 364);

    // Side 73: half is 36, so the odd pixel lies right of and below the pointer.
    const HaloPlacement odd = follow_pointer(500, 400, 98, 73);
    EXPECT_EQ(odd.x, 464);
    EXPECT_EQ(odd.y, 364);

    // Monitors left of and above the primary one have negative coordinates.
    const HaloPlacement negative = follow_pointer(-1000, -5, 144, 108);
    EXPECT_EQ(negative.x, -1054);
    EXPECT_EQ(negative.y, -59);
}

TEST(PresentationHaloFollow, RecreatesOnlyWhenTheScaleChangesOrNoWindowExists) {
    EXPECT_TRUE(follow_pointer(10, 10, 96, std::nullopt).recreate);

    // From a 150 % monitor (108 px) to a 100 % one, and back.
    const HaloPlacement to_normal = follow_pointer(10, 10, 96, 108);
    EXPECT_TRUE(to_normal.recreate);
    EXPECT_EQ(to_normal.side, 72);
    const HaloPlacement to_large = follow_pointer(2000, 10, 144, 72);
    EXPECT_TRUE(to_large.recreate);
    EXPECT_EQ(to_large.side, 108);

    EXPECT_FALSE(follow_pointer(2100, 50, 144, 108).recreate);
    // Two DPIs that give the same side need no new window.
    EXPECT_FALSE(follow_pointer(0, 0, 97, 72).recreate);
}

TEST(PresentationHaloButtons, PressesHoldAndSendOutARing) {
    HaloButtons b;
    EXPECT_TRUE(apply_button_flags(b, kRawLeftDown, 1000));
    EXPECT_TRUE(b.left);
    EXPECT_TRUE(b.pressed());
    EXPECT_TRUE(b.click);
    EXPECT_EQ(b.last_press_ms, 1000u);

    EXPECT_TRUE(apply_button_flags(b, kRawLeftUp, 1100));
    EXPECT_FALSE(b.pressed());
    // The release neither restarts nor cancels the ring.
    EXPECT_TRUE(b.click);
    EXPECT_EQ(b.last_press_ms, 1000u);

    EXPECT_TRUE(apply_button_flags(b, kRawMiddleDown, 2000));
    EXPECT_TRUE(b.middle);
    EXPECT_EQ(b.last_press_ms, 2000u);
    EXPECT_TRUE(apply_button_flags(b, kRawMiddleUp, 2050));
    EXPECT_FALSE(b.middle);
}

TEST(PresentationHaloButtons, HoldingKeepsTheDiscRedWithoutANewRingAndEachPressRestartsIt) {
    HaloButtons b;
    apply_button_flags(b, kRawRightDown, 500);
    // Pointer movement while held: no transition, no new ring, still pressed.
    EXPECT_FALSE(apply_button_flags(b, 0, 5000));
    EXPECT_TRUE(b.right);
    EXPECT_EQ(b.last_press_ms, 500u);
    EXPECT_FALSE(halo_ring_running(b, 5000));
    EXPECT_EQ(halo_frame(72, b, kYellow, 5000).fill.colour, kRed);

    // Another button pressed while the right one is held restarts the ring;
    // releasing that one keeps the disc red because the right is still down.
    apply_button_flags(b, kRawLeftDown, 6000);
    EXPECT_EQ(b.last_press_ms, 6000u);
    apply_button_flags(b, kRawLeftUp, 6100);
    EXPECT_TRUE(b.pressed());
    apply_button_flags(b, kRawRightUp, 6200);
    EXPECT_FALSE(b.pressed());
}

TEST(PresentationHaloButtons, XButtonsAndWheelChangeNothing) {
    HaloButtons b;
    apply_button_flags(b, kRawLeftDown, 100);
    const HaloButtons before = b;
    for (std::uint16_t flags : {0x0040, 0x0080, 0x0100, 0x0200, 0x0400, 0x0800, 0x03C0 | 0x0C00}) {
        EXPECT_FALSE(apply_button_flags(b, flags, 900)) << flags;
        EXPECT_EQ(b, before) << flags;
    }
    // Mixed with a main-button transition, only that transition counts.
    EXPECT_TRUE(apply_button_flags(b, static_cast<std::uint16_t>(kRawLeftUp | 0x0400), 950));
    EXPECT_FALSE(b.left);
    EXPECT_EQ(b.last_press_ms, 100u);
}

TEST(PresentationHaloButtons, PressAndReleaseInOneRecordLeaveTheButtonUpWithARing) {
    HaloButtons b;
    EXPECT_TRUE(apply_button_flags(b, kRawLeftDown | kRawLeftUp, 700));
    EXPECT_FALSE(b.pressed());
    EXPECT_TRUE(b.click);
    EXPECT_EQ(b.last_press_ms, 700u);
    EXPECT_TRUE(halo_ring_running(b, 700));
}

TEST(PresentationHaloPaint, DiscAndOutlineAtRestAndPressed) {
    HaloButtons idle;
    const HaloFrame rest = halo_frame(72, idle, kYellow, 0);
    EXPECT_DOUBLE_EQ(rest.centre.x, 36.0);
    EXPECT_DOUBLE_EQ(rest.centre.y, 36.0);
    EXPECT_DOUBLE_EQ(rest.fill.radius, 24.0);
    EXPECT_EQ(rest.fill.colour, kYellow);
    EXPECT_DOUBLE_EQ(rest.fill.alpha, 0.14);
    EXPECT_DOUBLE_EQ(rest.outline.radius, 24.0);
    EXPECT_EQ(rest.outline.colour, kYellow);
    EXPECT_DOUBLE_EQ(rest.outline.alpha, 0.55);
    EXPECT_DOUBLE_EQ(rest.outline_width, 2.0);
    EXPECT_FALSE(rest.ring.has_value());

    HaloButtons held;
    apply_button_flags(held, kRawMiddleDown, 0);
    const HaloFrame pressed = halo_frame(108, held, kYellow, 10'000);
    EXPECT_DOUBLE_EQ(pressed.centre.x, 54.0);
    EXPECT_DOUBLE_EQ(pressed.fill.radius, 36.0);
    EXPECT_EQ(pressed.fill.colour, kRed);
    EXPECT_DOUBLE_EQ(pressed.fill.alpha, 0.24);
    EXPECT_EQ(pressed.outline.colour, kRed);
    EXPECT_DOUBLE_EQ(pressed.outline.alpha, 0.55);
}

TEST(PresentationHaloPaint, RingGrowsToOnePointFourAndFadesOutIn300Ms) {
    HaloButtons b;
    apply_button_flags(b, kRawLeftDown, 1000);

    const HaloFrame start = halo_frame(72, b, kYellow, 1000);
    ASSERT_TRUE(start.ring.has_value());
    EXPECT_DOUBLE_EQ(start.ring->radius, 24.0);
    EXPECT_DOUBLE_EQ(start.ring->alpha, 0.5);
    EXPECT_EQ(start.ring->colour, kRed);  // the button is still held
    EXPECT_DOUBLE_EQ(start.ring_width, 2.0);

    const HaloFrame half = halo_frame(72, b, kYellow, 1150);
    ASSERT_TRUE(half.ring.has_value());
    EXPECT_DOUBLE_EQ(half.ring->radius, 24.0 * 1.2);
    EXPECT_DOUBLE_EQ(half.ring->alpha, 0.25);

    apply_button_flags(b, kRawLeftUp, 1200);
    const HaloFrame late = halo_frame(72, b, kYellow, 1299);
    ASSERT_TRUE(late.ring.has_value());
    EXPECT_EQ(late.ring->colour, kYellow);  // released: the halo's own colour
    EXPECT_NEAR(late.ring->radius, 24.0 * (1.0 + 0.4 * 299.0 / 300.0), 1e-9);
    EXPECT_NEAR(late.ring->alpha, 0.5 / 300.0, 1e-12);
    EXPECT_TRUE(halo_ring_running(b, 1299));

    EXPECT_FALSE(halo_frame(72, b, kYellow, 1300).ring.has_value());
    EXPECT_FALSE(halo_ring_running(b, 1300));
    EXPECT_FALSE(halo_ring_running(b, 100'000));
}

TEST(PresentationHaloPaint, NoRingWithoutAPressAndNoneFromAClockThatSteppedBack) {
    HaloButtons never;
    EXPECT_FALSE(halo_ring_running(never, 0));
    EXPECT_FALSE(halo_frame(72, never, kYellow, 100).ring.has_value());

    // A reading before the press counts as age 0, never as a huge wrapped age
    // or a negative one that would draw a ring bigger than its start.
    HaloButtons b;
    apply_button_flags(b, kRawRightDown, 5000);
    const HaloFrame f = halo_frame(72, b, kYellow, 4000);
    ASSERT_TRUE(f.ring.has_value());
    EXPECT_DOUBLE_EQ(f.ring->radius, 24.0);
    EXPECT_DOUBLE_EQ(f.ring->alpha, 0.5);
    EXPECT_EQ(elapsed_ms(5000, 4000), 0u);
    EXPECT_EQ(elapsed_ms(4000, 5000), 1000u);
}
