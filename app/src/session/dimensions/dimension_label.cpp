#include "session/dimensions/dimension_label.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "toolbar/toolbar.h"

namespace kadrovix::dimensions {

namespace {

// Truncated toward zero and kept within the signed 32-bit range; NaN reads as 0.
std::int64_t whole_side(double extent) {
    if (std::isnan(extent)) return 0;
    constexpr double low = std::numeric_limits<std::int32_t>::min();
    constexpr double high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int64_t>(std::trunc(std::clamp(extent, low, high)));
}

double clamp_position(double v, double high) {
    // high >= 0 always: the box is never larger than the desktop. A NaN
    // (no real region) lands on 0 rather than travelling on.
    if (!(v > 0.0)) return 0.0;
    return v > high ? high : v;
}

bool overlaps(const Rect& a, const Rect& b) {
    return a.min.x < b.max.x && b.min.x < a.max.x && a.min.y < b.max.y && b.min.y < a.max.y;
}

bool overlaps_any(const Rect& box, std::span<const Rect> avoid) {
    return std::any_of(avoid.begin(), avoid.end(), [&](const Rect& r) { return overlaps(box, r); });
}

Rect moved_to(const Rect& box, double left, double top) {
    return Rect{Point{left, top}, Point{left + (box.max.x - box.min.x), top + (box.max.y - box.min.y)}};
}

}  // namespace

std::optional<Rect> label_box(const Region& region, const Desktop& desktop) {
    if (!region.exists) return std::nullopt;
    const double desk_w = std::max(0, desktop.width);
    const double desk_h = std::max(0, desktop.height);
    const double w = std::min(kLabelWidth, desk_w);
    const double h = std::min(kLabelHeight, desk_h);
    const double left = clamp_position(region.right - w, desk_w - w);
    const double top = clamp_position(region.top - h - kLabelGap, desk_h - h);
    return Rect{Point{left, top}, Point{left + w, top + h}};
}

std::optional<Rect> label_box(const Region& region, const Desktop& desktop, std::span<const Rect> avoid) {
    const std::optional<Rect> usual = label_box(region, desktop);
    if (!usual || !overlaps_any(*usual, avoid)) return usual;
    const double w = usual->max.x - usual->min.x;
    const double h = usual->max.y - usual->min.y;
    // Left of the panels it would lie on, on the same line...
    double right = usual->max.x;
    for (const Rect& r : avoid) {
        if (overlaps(moved_to(*usual, right - w, usual->min.y), r)) right = std::min(right, r.min.x - kLabelGap);
    }
    const Rect beside = moved_to(*usual, right - w, usual->min.y);
    if (beside.min.x >= 0.0 && !overlaps_any(beside, avoid)) return beside;
    // ...else just inside the region's top right corner.
    const double desk_w = std::max(0, desktop.width);
    const double desk_h = std::max(0, desktop.height);
    const Rect inside = moved_to(*usual, clamp_position(region.right - w - kLabelGap, desk_w - w),
                                 clamp_position(region.top + kLabelGap, desk_h - h));
    if (!overlaps_any(inside, avoid)) return inside;
    return usual;
}

std::optional<Rect> label_box(const SessionState& s) {
    const ToolbarLayout layout = layout_toolbar(toolbar_input(s));
    std::array<Rect, 2> panels{};
    std::size_t count = 0;
    for (const ToolbarPanel panel : {ToolbarPanel::Tools, ToolbarPanel::Actions}) {
        if (const auto r = panel_background(layout, panel)) {
            panels[count++] = Rect{Point{r->left, r->top}, Point{r->right, r->bottom}};
        }
    }
    return label_box(s.region, s.desktop, std::span<const Rect>(panels.data(), count));
}

bool label_contains(const Rect& label, Point p) {
    return p.x >= label.min.x && p.x < label.max.x && p.y >= label.min.y && p.y < label.max.y;
}

bool label_hovered(const SessionState& s) {
    if (s.region_selection) return false;
    const std::optional<Rect> label = label_box(s);
    return label && label_contains(*label, s.pointer);
}

std::string label_text(const Region& region) {
    return std::to_string(whole_side(region.right - region.left)) + " × " +
           std::to_string(whole_side(region.bottom - region.top));
}

FieldBoxes field_boxes(const Rect& label) {
    const double label_width = label.max.x - label.min.x;
    const double fw = std::max(1.0, std::trunc((label_width - kFieldsSpare) / 2.0));
    const double top = label.min.y + kFieldTop;
    const double width_left = label.min.x + kFieldLeft;
    const double height_left = width_left + fw + kFieldGap;
    FieldBoxes boxes;
    boxes.width = Rect{Point{width_left, top}, Point{width_left + fw, top + kFieldHeight}};
    boxes.height = Rect{Point{height_left, top}, Point{height_left + fw, top + kFieldHeight}};
    boxes.times_sign = Point{label.min.x + label_width / 2.0 - 4.0, label.min.y + kLabelTextY};
    return boxes;
}

Field field_at(const Rect& label, double x) {
    return x < (label.min.x + label.max.x) / 2.0 ? Field::Width : Field::Height;
}

Rect message_box(const Rect& label, const Desktop& desktop) {
    const double desk_w = std::max(0, desktop.width);
    const double desk_h = std::max(0, desktop.height);
    const double w = std::min(desk_w, kMessageBoxWidth);
    const double left = std::min(label.min.x, desk_w - w);
    const double top = std::min(label.max.y + kMessageBoxGap, std::max(0.0, desk_h - kMessageBoxHeight));
    return Rect{Point{left, top}, Point{left + w, top + kMessageBoxHeight}};
}

std::optional<LabelPaint> label_paint(const SessionState& s, bool editor_open,
                                      const std::optional<std::string>& error) {
    const std::optional<Rect> label = label_box(s.region, s.desktop);
    if (!label) return std::nullopt;
    const bool hovered = label_hovered(s);
    LabelPaint paint;
    paint.label = *label;
    paint.fill = hovered ? kLabelHoverFill : kLabelFill;
    paint.editor_open = editor_open;
    if (editor_open) {
        paint.fields = field_boxes(*label);
        if (error) paint.message = LabelMessage{message_box(*label, s.desktop), *error, kErrorColour};
    } else {
        paint.text = label_text(s.region);
        if (hovered) paint.message = LabelMessage{message_box(*label, s.desktop), kHintText, kHintColour};
    }
    return paint;
}

}  // namespace kadrovix::dimensions
