#include "presentation/devices/panel_layout.h"

#include <algorithm>

namespace kadrovix::devices {
namespace {

struct FreeSpace {
    std::int64_t x = 0;
    std::int64_t y = 0;
};

FreeSpace free_space(const ScreenArea& area, const PanelGeometry& g) {
    return FreeSpace{std::max<std::int64_t>(std::int64_t{area.width()} - g.width, 0),
                     std::max<std::int64_t>(std::int64_t{area.height()} - g.height, 0)};
}

std::int64_t clamp_offset(std::uint16_t v) { return std::min<std::int64_t>(v, kOffsetScale); }

}  // namespace

int scale_to_dpi(int length96, unsigned dpi) {
    const std::int64_t d = dpi < 96 ? 96 : dpi;
    return static_cast<int>(std::int64_t{length96} * d / 96);
}

PanelGeometry panel_geometry(unsigned dpi) {
    return PanelGeometry{scale_to_dpi(kPanelWidth, dpi),  scale_to_dpi(kPanelHeight, dpi),
                         scale_to_dpi(kPanelMargin, dpi), scale_to_dpi(kHandleLeft, dpi),
                         scale_to_dpi(kHandleTop, dpi),   scale_to_dpi(kHandleSide, dpi)};
}

PixelPoint place_panel(const ScreenArea& work_area, unsigned dpi, std::uint8_t position,
                       const std::optional<PanelOffset>& offset) {
    const PanelGeometry g = panel_geometry(dpi);
    const FreeSpace free = free_space(work_area, g);
    std::int64_t dx = 0;
    std::int64_t dy = 0;
    if (offset) {
        dx = free.x * clamp_offset(offset->first) / kOffsetScale;
        dy = free.y * clamp_offset(offset->second) / kOffsetScale;
    } else {
        // A position the settings cannot hold falls back to the default place.
        const std::uint8_t p = position <= 5 ? position : kDefaultPosition;
        const std::int64_t m = g.margin;
        switch (p % 3) {
            case 0: dx = std::min(free.x, m); break;
            case 1: dx = free.x / 2; break;
            default: dx = std::max<std::int64_t>(free.x - m, 0); break;
        }
        dy = p < 3 ? std::min(free.y, m) : std::max<std::int64_t>(free.y - m, 0);
    }
    return PixelPoint{static_cast<int>(work_area.left + dx), static_cast<int>(work_area.top + dy)};
}

PixelPoint handle_position(PixelPoint panel, unsigned dpi) {
    const PanelGeometry g = panel_geometry(dpi);
    return PixelPoint{panel.x + g.handle_left, panel.y + g.handle_top};
}

DragStep drag_to(const PanelDrag& drag, PixelPoint cursor, const ScreenArea& work_area, unsigned dpi) {
    const FreeSpace free = free_space(work_area, panel_geometry(dpi));
    const std::int64_t wanted_x = std::int64_t{drag.start_panel.x} + cursor.x - drag.start_cursor.x - work_area.left;
    const std::int64_t wanted_y = std::int64_t{drag.start_panel.y} + cursor.y - drag.start_cursor.y - work_area.top;
    const std::int64_t left = std::clamp<std::int64_t>(wanted_x, 0, free.x);
    const std::int64_t top = std::clamp<std::int64_t>(wanted_y, 0, free.y);
    // Rounded up, so that placing the panel from the stored offset (which
    // rounds down) puts it back on the pixel where it was dropped instead of
    // one pixel short.
    const auto share = [](std::int64_t v, std::int64_t space) {
        return static_cast<std::uint16_t>(space < 1 ? 0 : (v * kOffsetScale + space - 1) / space);
    };
    DragStep step;
    step.panel = PixelPoint{static_cast<int>(work_area.left + left), static_cast<int>(work_area.top + top)};
    step.offset = PanelOffset{share(left, free.x), share(top, free.y)};
    step.anchor = cursor;
    return step;
}

}  // namespace kadrovix::devices
