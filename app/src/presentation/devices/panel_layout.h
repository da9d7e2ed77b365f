// Where the keyboard-and-mouse panel and its lock handle go: their sizes at a
// monitor's DPI, the six preset places on the work area, the stored offset,
// and the offset a drag produces.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

namespace kadrovix::devices {

// Sizes at 96 DPI.
inline constexpr int kPanelWidth = 520;
inline constexpr int kPanelHeight = 140;
inline constexpr int kPanelMargin = 16;
inline constexpr int kHandleLeft = 407;
inline constexpr int kHandleTop = 8;
inline constexpr int kHandleSide = 17;
inline constexpr int kOffsetScale = 10000;
inline constexpr std::uint8_t kDefaultPosition = 4;  // bottom centre

// A monitor's work area in screen pixels (right and bottom exclusive).
struct ScreenArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right > left ? right - left : 0; }
    int height() const { return bottom > top ? bottom - top : 0; }
};

struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// A 96-DPI length at `dpi`, cut to whole pixels; a DPI under 96 (or none
// reported) counts as 96.
int scale_to_dpi(int length96, unsigned dpi);

struct PanelGeometry {
    int width = 0;
    int height = 0;
    int margin = 0;
    // The lock handle, relative to the panel's top-left corner.
    int handle_left = 0;
    int handle_top = 0;
    int handle_side = 0;
    friend bool operator==(const PanelGeometry&, const PanelGeometry&) = default;
};

PanelGeometry panel_geometry(unsigned dpi);

// Offset settings: x, y each 0 … 10000 of the free space.
using PanelOffset = std::pair<std::uint16_t, std::uint16_t>;

// The panel's top-left corner on the work area: from the offset when there is
// one, else at `position` (0 top-left, 1 top-centre, 2 top-right,
// 3 bottom-left, 4 bottom-centre, 5 bottom-right).
PixelPoint place_panel(const ScreenArea& work_area, unsigned dpi, std::uint8_t position,
                       const std::optional<PanelOffset>& offset);

// The lock handle's top-left corner for a panel at `panel`.
PixelPoint handle_position(PixelPoint panel, unsigned dpi);

// A drag of the panel, from the press on it.
struct PanelDrag {
    PixelPoint start_cursor;
    PixelPoint start_panel;  // the panel's top-left at the press
};

struct DragStep {
    PixelPoint panel;     // new top-left in screen pixels
    PanelOffset offset;   // what the settings keep
    PixelPoint anchor;    // the cursor: the monitor the panel now belongs to
};

// One pointer move during a drag; `work_area` and `dpi` are those of the
// monitor under `cursor`. The panel stays within that work area, and
// place_panel with the step's offset on that monitor gives the step's panel
// position again.
DragStep drag_to(const PanelDrag& drag, PixelPoint cursor, const ScreenArea& work_area, unsigned dpi);

}  // namespace kadrovix::devices
