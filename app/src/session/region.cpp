#include "session/region.h"

#include <algorithm>
#include <cmath>

namespace kadrovix {

namespace {

bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The ordered rectangle spanned by two corners; absent when either is not finite.
Region spanned(Point a, Point b) {
    if (!finite(a) || !finite(b)) {
        return Region{};
    }
    return Region{{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)}, true};
}

// Which edges a handle moves: the left edge for the three handles on it, and so on.
bool moves_left(int h) { return h == 0 || h == 6 || h == 7; }
bool moves_top(int h) { return h == 0 || h == 1 || h == 2; }
bool moves_right(int h) { return h == 2 || h == 3 || h == 4; }
bool moves_bottom(int h) { return h == 4 || h == 5 || h == 6; }

// The hint's position along one axis of the monitor [low, high].
double place_hint(double pointer, double size, double low, double high) {
    constexpr double kGap = 20.0;     // between the pointer and the box
    constexpr double kMargin = 4.0;   // between the box and the monitor's edge
    const double after = pointer + kGap;
    const double position = after + size <= high - kMargin ? after : pointer - kGap - size;
    const double lowest = low + kMargin;
    const double highest = high - size - kMargin;
    if (highest < lowest) {
        // The monitor is too small for the box and its margins: start at
        // its near edge, which keeps the box off the neighbouring monitor.
        return low;
    }
    return std::clamp(position, lowest, highest);
}

}  // namespace

std::array<Point, kRegionHandleCount> handle_points(const Region& r) {
    const double cx = (r.left + r.right) / 2.0;
    const double cy = (r.top + r.bottom) / 2.0;
    return {{
        {r.left, r.top},
        {cx, r.top},
        {r.right, r.top},
        {r.right, cy},
        {r.right, r.bottom},
        {cx, r.bottom},
        {r.left, r.bottom},
        {r.left, cy},
    }};
}

std::optional<int> hit_handle(const Region& region, Point p) {
    if (!region.exists) {
        return std::nullopt;
    }
    const auto points = handle_points(region);
    for (int h = 0; h < kRegionHandleCount; ++h) {
        if (std::hypot(p.x - points[h].x, p.y - points[h].y) <= kRegionHandleRadius) {
            return h;
        }
    }
    return std::nullopt;
}

bool region_contains(const Region& r, Point p) {
    return r.exists && r.contains(p);
}

Point clamp_to_desktop(Point p, const Desktop& desktop) {
    // Written out rather than std::clamp so that NaN passes through unchanged.
    const auto clamp = [](double v, double high) { return v < 0.0 ? 0.0 : (v > high ? high : v); };
    return Point{clamp(p.x, desktop.width), clamp(p.y, desktop.height)};
}

void begin_new_region(SessionState& s) {
    s.region_drag = RegionDrag{true, s.region, s.pointer, false, 0};
    s.region = spanned(s.pointer, s.pointer);
}

void begin_handle_drag(SessionState& s, int handle) {
    if (!s.region.exists || handle < 0 || handle >= kRegionHandleCount) {
        return;
    }
    s.region_drag = RegionDrag{true, s.region, s.pointer, true, handle};
    s.region_selection = true;
}

// The pointer can rest on the last column and row but never beyond them, so a
// drag that reaches them means the desktop's edge: otherwise the whole screen
// could only be had by typing its size.
namespace {
Point reach_far_edges(Point p, const Desktop& desktop) {
    if (desktop.width >= 2 && p.x >= desktop.width - 1) p.x = desktop.width;
    if (desktop.height >= 2 && p.y >= desktop.height - 1) p.y = desktop.height;
    return p;
}
}  // namespace

void drag_region(SessionState& s) {
    const RegionDrag& d = s.region_drag;
    if (!d.active) {
        return;
    }
    const Point p = reach_far_edges(s.pointer, s.desktop);
    if (!d.moves_handle) {
        s.region = spanned(reach_far_edges(d.anchor, s.desktop), p);
        return;
    }
    const Region& from = d.start;
    const Point one{moves_left(d.handle) ? p.x : from.left, moves_top(d.handle) ? p.y : from.top};
    const Point two{moves_right(d.handle) ? p.x : from.right, moves_bottom(d.handle) ? p.y : from.bottom};
    s.region = spanned(one, two);
}

void end_region_drag(SessionState& s) {
    s.region_drag.active = false;
    s.region_drag.moves_handle = false;
    const Region& r = s.region;
    if (r.exists && r.right - r.left >= kMinRegionSize && r.bottom - r.top >= kMinRegionSize) {
        s.region_selection = false;
    } else {
        s.region = Region{};
        s.region_selection = true;
    }
}

bool cancel_region_drag(SessionState& s) {
    if (!s.region_drag.active) {
        return false;
    }
    s.region = s.region_drag.start;
    s.region_drag.active = false;
    s.region_drag.moves_handle = false;
    s.region_selection = !s.region.exists;
    return true;
}

bool hint_visible(const SessionState& s) {
    return s.region_selection && !s.region_drag.active && !s.region.exists && s.pointer.x >= 0.0 &&
           s.pointer.y >= 0.0;
}

Rect hint_box(double title_width, Point pointer, const Rect& monitor) {
    const double width = title_width + kHintPadding;
    const double left = place_hint(pointer.x, width, monitor.min.x, monitor.max.x);
    const double top = place_hint(pointer.y, kHintHeight, monitor.min.y, monitor.max.y);
    return Rect{{left, top}, {left + width, top + kHintHeight}};
}

Point to_screen(const Desktop& desktop, Point p) { return Point{p.x + desktop.x, p.y + desktop.y}; }

Rect to_desktop(const Desktop& desktop, const Rect& r) {
    return Rect{{r.min.x - desktop.x, r.min.y - desktop.y}, {r.max.x - desktop.x, r.max.y - desktop.y}};
}

}  // namespace kadrovix
