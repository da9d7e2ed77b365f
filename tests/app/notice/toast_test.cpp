#include "app/notice/toast.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kadrovix;

TEST(ToastPlacement, CentredAboveTheWorkAreaBottom) {
    const WorkArea full_hd{0, 0, 1920, 1040};
    EXPECT_EQ(toast_placement(full_hd, 96), (ToastPlacement{780, 1040 - 24 - 56, 360, 56, 12}));

    // 150 %: 540 x 84, 36 pixels above the bottom, corner 18.
    const ToastPlacement p = toast_placement(full_hd, 144);
    EXPECT_EQ(p.width, 540);
    EXPECT_EQ(p.height, 84);
    EXPECT_EQ(p.corner, 18);
    EXPECT_EQ(p.y + p.height, 1040 - 36);
    EXPECT_EQ(p.x, (1920 - 540) / 2);

    // A secondary monitor left of and above the primary, with a taskbar at its top.
    const WorkArea secondary{-1280, -300, 0, 724};
    EXPECT_EQ(toast_placement(secondary, 96), (ToastPlacement{-1280 + 460, 724 - 80, 360, 56, 12}));

    // Odd leftover width rounds towards the left edge.
    EXPECT_EQ(toast_placement(WorkArea{0, 0, 1001, 700}, 96).x, 320);

    // Fractions are cut at 120 DPI: 450 x 70, gap 30, corner 15; at 110 DPI 412 x 64, gap 27, corner 13.
    EXPECT_EQ(toast_placement(full_hd, 120), (ToastPlacement{735, 1040 - 30 - 70, 450, 70, 15}));
    EXPECT_EQ(toast_placement(full_hd, 110), (ToastPlacement{754, 1040 - 27 - 64, 412, 64, 13}));
    // A DPI reported as 0 counts as 96.
    EXPECT_EQ(toast_placement(full_hd, 0), toast_placement(full_hd, 96));
}

TEST(ToastPlacement, NarrowWorkAreaGivesAToastExactlyAsWide) {
    const ToastPlacement p = toast_placement(WorkArea{100, 0, 400, 600}, 96);
    EXPECT_EQ(p.width, 300);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.height, 56);
    const ToastPlacement q = toast_placement(WorkArea{0, 0, 500, 600}, 144);
    EXPECT_EQ(q.width, 500);
    EXPECT_EQ(q.x, 0);
    EXPECT_EQ(q.height, 84);
    // A degenerate work area gives an empty width rather than a negative one.
    EXPECT_EQ(toast_placement(WorkArea{10, 0, 5, 600}, 96).width, 0);
}

TEST(ToastFade, OpaqueThenNineStepsThenClosedAt2100Ms) {
    std::vector<int> opacities;
    int ticks_to_close = 0;
    for (int i = 1; i <= 100; ++i) {
        const ToastTick t = toast_tick(static_cast<std::uint64_t>(i) * 30);
        if (i <= 60) {
            EXPECT_FALSE(t.opacity.has_value()) << i;
        }
        if (t.opacity) opacities.push_back(*t.opacity);
        if (t.close) {
            ticks_to_close = i;
            break;
        }
    }
    EXPECT_EQ(opacities, (std::vector<int>{229, 204, 178, 153, 127, 102, 76, 51, 25}));
    EXPECT_EQ(ticks_to_close, 70);

    // Ticks that still arrive after the close close again.
    EXPECT_EQ(toast_tick(0xFFFF'FFFF'FFFF'FFFFull), (ToastTick{std::nullopt, true}));
    EXPECT_EQ(toast_tick(1829), (ToastTick{std::nullopt, false}));
    EXPECT_EQ(toast_tick(1830), (ToastTick{std::uint8_t{229}, false}));
    EXPECT_EQ(toast_tick(2099), (ToastTick{std::uint8_t{25}, false}));
}

TEST(ToastFade, LateTicksDoNotStretchTheToast) {
    // A tick every 67 ms instead of 30: still opaque until 1.8 s, gone at the
    // first tick after 2.1 s rather than at the 70th.
    for (std::uint64_t at = 67;; at += 67) {
        const ToastTick t = toast_tick(at);
        if (at < 1800) {
            EXPECT_FALSE(t.opacity || t.close) << at;
        }
        if (t.close) {
            EXPECT_EQ(at, 2144u);
            break;
        }
        ASSERT_LT(at, 2100u);
    }
}
