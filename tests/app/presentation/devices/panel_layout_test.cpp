#include "presentation/devices/panel_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kadrovix::devices;

namespace {

const ScreenArea kFullHd{0, 0, 1920, 1040};

}  // namespace

TEST(DevicesPanelGeometry, SizesFollowTheMonitorDpiCutToWholePixels) {
    EXPECT_EQ(panel_geometry(96), (PanelGeometry{520, 140, 16, 407, 8, 17}));
    // 150 %: 610.5 and 25.5 are cut.
    EXPECT_EQ(panel_geometry(144), (PanelGeometry{780, 210, 24, 610, 12, 25}));
    // 125 %: 508.75 and 21.25 are cut.
    EXPECT_EQ(panel_geometry(120), (PanelGeometry{650, 175, 20, 508, 10, 21}));
    EXPECT_EQ(panel_geometry(192), (PanelGeometry{1040, 280, 32, 814, 16, 34}));
    // 110 DPI: 595.8 x 160.4.
    EXPECT_EQ(panel_geometry(110).width, 595);
    EXPECT_EQ(panel_geometry(110).height, 160);
    // A DPI of 0 (not reported) or under 96 counts as 96.
    EXPECT_EQ(panel_geometry(0), panel_geometry(96));
    EXPECT_EQ(panel_geometry(72), panel_geometry(96));
    EXPECT_EQ(handle_position(PixelPoint{700, 884}, 96), (PixelPoint{1107, 892}));
    EXPECT_EQ(handle_position(PixelPoint{-1000, 50}, 144), (PixelPoint{-390, 62}));
}

TEST(DevicesPanelPlacement, SixPresetPlaces) {
    // Position 4 on a 1920 x 1040 work area at 100 %.
    EXPECT_EQ(place_panel(kFullHd, 96, 4, std::nullopt), (PixelPoint{700, 884}));
    EXPECT_EQ(place_panel(kFullHd, 96, 0, std::nullopt), (PixelPoint{16, 16}));
    EXPECT_EQ(place_panel(kFullHd, 96, 1, std::nullopt), (PixelPoint{700, 16}));
    EXPECT_EQ(place_panel(kFullHd, 96, 2, std::nullopt), (PixelPoint{1384, 16}));
    EXPECT_EQ(place_panel(kFullHd, 96, 3, std::nullopt), (PixelPoint{16, 884}));
    EXPECT_EQ(place_panel(kFullHd, 96, 5, std::nullopt), (PixelPoint{1384, 884}));
    // 150 %: 780 x 210 with a 24-pixel margin.
    EXPECT_EQ(place_panel(kFullHd, 144, 5, std::nullopt), (PixelPoint{1920 - 780 - 24, 1040 - 210 - 24}));
    EXPECT_EQ(place_panel(kFullHd, 144, 1, std::nullopt), (PixelPoint{570, 24}));
    // A monitor left of and above the primary, taskbar at its top.
    const ScreenArea secondary{-1280, -300, 0, 724};
    EXPECT_EQ(place_panel(secondary, 96, 0, std::nullopt), (PixelPoint{-1264, -284}));
    EXPECT_EQ(place_panel(secondary, 96, 5, std::nullopt), (PixelPoint{-16 - 520, 724 - 16 - 140}));
    EXPECT_EQ(place_panel(secondary, 96, 4, std::nullopt), (PixelPoint{-1280 + 380, 724 - 16 - 140}));
    // An odd free width rounds the centre towards the left.
    EXPECT_EQ(place_panel(ScreenArea{0, 0, 1001, 700}, 96, 1, std::nullopt).x, 240);
    // A position the settings cannot hold is the default, bottom centre.
    EXPECT_EQ(place_panel(kFullHd, 96, 9, std::nullopt), (PixelPoint{700, 884}));
}

TEST(DevicesPanelPlacement, CrampedWorkAreasKeepThePanelOnThem) {
    // 10 px of free width, less than the margin: the corner places stay flush
    // inside it rather than off its edge.
    const ScreenArea narrow{100, 0, 630, 150};  // free 10 x 10
    EXPECT_EQ(place_panel(narrow, 96, 0, std::nullopt), (PixelPoint{110, 10}));
    EXPECT_EQ(place_panel(narrow, 96, 2, std::nullopt), (PixelPoint{100, 10}));
    EXPECT_EQ(place_panel(narrow, 96, 5, std::nullopt), (PixelPoint{100, 0}));
    EXPECT_EQ(place_panel(narrow, 96, 4, std::nullopt), (PixelPoint{105, 0}));
    // Smaller than the panel: every place is the work area's corner.
    const ScreenArea tiny{-50, 20, 350, 120};
    for (std::uint8_t p = 0; p <= 5; ++p) {
        EXPECT_EQ(place_panel(tiny, 96, p, std::nullopt), (PixelPoint{-50, 20})) << int(p);
    }
    EXPECT_EQ(place_panel(tiny, 96, 0, PanelOffset{10000, 10000}), (PixelPoint{-50, 20}));
    // A degenerate (inverted) rectangle counts as empty.
    EXPECT_EQ(place_panel(ScreenArea{500, 500, 400, 400}, 96, 5, std::nullopt), (PixelPoint{500, 500}));
}

TEST(DevicesPanelPlacement, OffsetsShareOutTheFreeSpace) {
    // Free space 1400 x 900.
    EXPECT_EQ(place_panel(kFullHd, 96, 0, PanelOffset{0, 0}), (PixelPoint{0, 0}));
    EXPECT_EQ(place_panel(kFullHd, 96, 0, PanelOffset{10000, 10000}), (PixelPoint{1400, 900}));
    EXPECT_EQ(place_panel(kFullHd, 96, 0, PanelOffset{5000, 3333}), (PixelPoint{700, 299}));
    // 1400 * 7 / 10000 is cut to 0.
    EXPECT_EQ(place_panel(kFullHd, 96, 0, PanelOffset{7, 1}), (PixelPoint{0, 0}));
    // The offset wins over the position.
    EXPECT_EQ(place_panel(kFullHd, 96, 5, PanelOffset{0, 0}), (PixelPoint{0, 0}));
    // A value past the scale is held at the far edge, never beyond it.
    EXPECT_EQ(place_panel(kFullHd, 96, 0, PanelOffset{65535, 10001}), (PixelPoint{1400, 900}));
    // Far right on another monitor at 150 % is that monitor's right edge.
    const ScreenArea right{1920, 0, 4480, 1400};
    EXPECT_EQ(place_panel(right, 144, 0, PanelOffset{10000, 0}), (PixelPoint{4480 - 780, 0}));
    // Large monitors do not overflow the arithmetic.
    const ScreenArea huge{0, 0, 2'000'000, 2'000'000};
    EXPECT_EQ(place_panel(huge, 96, 0, PanelOffset{10000, 10000}), (PixelPoint{2'000'000 - 520, 2'000'000 - 140}));
}

TEST(DevicesPanelDrag, FollowsTheCursorAndClampsToTheMonitorUnderIt) {
    const PanelDrag drag{PixelPoint{800, 900}, PixelPoint{700, 884}};
    // A small move.
    DragStep step = drag_to(drag, PixelPoint{850, 880}, kFullHd, 96);
    EXPECT_EQ(step.panel, (PixelPoint{750, 864}));
    // 750 / 1400 and 864 / 900 of the free space, rounded up.
    EXPECT_EQ(step.offset, (PanelOffset{5358, 9600}));
    EXPECT_EQ(step.anchor, (PixelPoint{850, 880}));
    // Far past the right and bottom edges: flush, offset 10000.
    step = drag_to(drag, PixelPoint{5000, 3000}, kFullHd, 96);
    EXPECT_EQ(step.panel, (PixelPoint{1400, 900}));
    EXPECT_EQ(step.offset, (PanelOffset{10000, 10000}));
    // Past the top-left: flush at the origin, offset 0.
    step = drag_to(drag, PixelPoint{-3000, -3000}, kFullHd, 96);
    EXPECT_EQ(step.panel, (PixelPoint{0, 0}));
    EXPECT_EQ(step.offset, (PanelOffset{0, 0}));

    // Onto a 150 % monitor right of the primary: its own origin and free space.
    const ScreenArea right{1920, 0, 4480, 1400};  // free 1780 x 1190
    step = drag_to(drag, PixelPoint{3000, 500}, right, 144);
    EXPECT_EQ(step.panel, (PixelPoint{2900, 484}));
    EXPECT_EQ(step.offset, (PanelOffset{5506, 4068}));
    EXPECT_EQ(step.anchor, (PixelPoint{3000, 500}));
    // Dragged to its far right edge, the offset is 10000; placed from that
    // offset on any other monitor, the panel sits at that monitor's right edge.
    step = drag_to(drag, PixelPoint{9000, 500}, right, 144);
    EXPECT_EQ(step.panel.x, 4480 - 780);
    EXPECT_EQ(step.offset.first, 10000);
    EXPECT_EQ(place_panel(kFullHd, 96, 4, step.offset).x, 1400);
    // Placing again from the stored offset keeps the panel where it was dropped.
    EXPECT_EQ(place_panel(right, 144, 4, step.offset), step.panel);
}

TEST(DevicesPanelDrag, NoFreeSpaceGivesOffsetZero) {
    const PanelDrag drag{PixelPoint{100, 100}, PixelPoint{0, 0}};
    // Exactly as wide and as tall as the panel, then narrower.
    DragStep step = drag_to(drag, PixelPoint{400, 300}, ScreenArea{0, 0, 520, 140}, 96);
    EXPECT_EQ(step.panel, (PixelPoint{0, 0}));
    EXPECT_EQ(step.offset, (PanelOffset{0, 0}));
    step = drag_to(drag, PixelPoint{400, 300}, ScreenArea{10, 10, 300, 100}, 96);
    EXPECT_EQ(step.panel, (PixelPoint{10, 10}));
    EXPECT_EQ(step.offset, (PanelOffset{0, 0}));
    // One pixel of free width: the full range in one step.
    step = drag_to(drag, PixelPoint{400, 300}, ScreenArea{0, 0, 521, 140}, 96);
    EXPECT_EQ(step.panel, (PixelPoint{1, 0}));
    EXPECT_EQ(step.offset, (PanelOffset{10000, 0}));
}

TEST(DevicesPanelDrag, DroppedPanelIsPlacedAgainOnTheSamePixel) {
    // Every reachable position on monitors of various free spaces: the offset
    // stored at the drop puts the panel back exactly where it was let go.
    const struct {
        ScreenArea area;
        unsigned dpi;
    } monitors[] = {{kFullHd, 96}, {ScreenArea{1920, 0, 4480, 1400}, 144}, {ScreenArea{-800, -600, 0, 0}, 120},
                    {ScreenArea{0, 0, 10520, 10140}, 96}};
    for (const auto& m : monitors) {
        const PanelGeometry g = panel_geometry(m.dpi);
        const int fx = m.area.width() - g.width;
        const int fy = m.area.height() - g.height;
        const PanelDrag drag{PixelPoint{0, 0}, PixelPoint{m.area.left, m.area.top}};
        for (int d = 0; d <= std::max(fx, fy); ++d) {
            const DragStep step = drag_to(drag, PixelPoint{std::min(d, fx), std::min(d, fy)}, m.area, m.dpi);
            ASSERT_EQ(step.panel, (PixelPoint{m.area.left + std::min(d, fx), m.area.top + std::min(d, fy)}));
            ASSERT_LE(step.offset.first, 10000);
            ASSERT_LE(step.offset.second, 10000);
            ASSERT_EQ(place_panel(m.area, m.dpi, 0, step.offset), step.panel) << "at " << d;
        }
    }
}
