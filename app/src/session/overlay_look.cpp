#include "session/overlay_look.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "color_picker/eyedropper.h"
#include "paths/geometry.h"
#include "render/paint_bounds.h"

namespace kadrovix {

namespace {

// Wide enough for the antialiased edge of every part's outline.
constexpr double kPartMargin = 3.0;
// More boxes than this are not worth sorting out: one box holds them all.
constexpr std::size_t kMaxRects = 64;

Rect grown(const Rect& r, double by) {
    return {{r.min.x - by, r.min.y - by}, {r.max.x + by, r.max.y + by}};
}
Rect around(Point c, double half) {
    return {{c.x - half, c.y - half}, {c.x + half, c.y + half}};
}
Rect rect_of(const ToolbarRect& r) {
    return {{r.left, r.top}, {r.right, r.bottom}};
}

Rect unite(const Rect& a, const Rect& b) {
    return {{std::min(a.min.x, b.min.x), std::min(a.min.y, b.min.y)},
            {std::max(a.max.x, b.max.x), std::max(a.max.y, b.max.y)}};
}

std::int64_t area(const PixelBox& b) {
    return static_cast<std::int64_t>(b.right - b.left) * static_cast<std::int64_t>(b.bottom - b.top);
}

PixelBox unite(const PixelBox& a, const PixelBox& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// Outward to whole pixels, on the desktop; empty boxes stay empty.
std::optional<PixelBox> on_desktop(const Rect& r, const Desktop& desktop) {
    const auto clamp = [](double v, std::int32_t high) {
        if (!(v > 0.0)) return std::int32_t{0};  // NaN too
        return v >= static_cast<double>(high) ? high : static_cast<std::int32_t>(v);
    };
    const PixelBox box{clamp(std::floor(r.min.x), desktop.width), clamp(std::floor(r.min.y), desktop.height),
                       clamp(std::ceil(r.max.x), desktop.width), clamp(std::ceil(r.max.y), desktop.height)};
    if (box.right <= box.left || box.bottom <= box.top) return std::nullopt;
    return box;
}

Rect selection_box(const SelectionFrame& f) {
    Rect box = unite(f.frame, around(f.knob, kKnobRadius + 1.0));
    for (const Point& c : f.corners) box = unite(box, around(c, kFrameCornerSize / 2.0));
    return unite(box, Rect{f.stem, f.stem});
}

Rect preview_box(const BrushPreview& p) {
    // The dark ring is 3 pixels wide around the circle.
    const Rect circle = around(p.centre, p.diameter / 2.0 + 2.0);
    return p.label ? unite(circle, p.label->box) : circle;
}

Rect label_box(const dimensions::LabelPaint& l) {
    return l.message ? unite(l.label, l.message->box) : l.label;
}

// Where the part was and where it is, when it changed at all.
template <class T, class Box>
void add_part(DirtyArea& area, const std::optional<T>& before, const std::optional<T>& after, Box box) {
    if (before == after) return;
    if (before) area.add(grown(box(*before), kPartMargin));
    if (after) area.add(grown(box(*after), kPartMargin));
}

void add_toolbar(DirtyArea& area, const std::optional<ToolbarInput>& input) {
    if (!input) return;
    const ToolbarLayout layout = layout_toolbar(*input);
    if (layout.empty()) return;
    area.add(grown(rect_of(layout.tools_panel), kPartMargin));
    area.add(grown(rect_of(layout.actions_panel), kPartMargin));
}

bool same_scene(const OverlayLook& a, const OverlayLook& b) {
    return a.desktop == b.desktop && a.picture == b.picture && a.region == b.region && a.edited == b.edited &&
           a.live == b.live && !a.open_editor && !b.open_editor;
}

}  // namespace

void DirtyArea::add(const Rect& r) {
    if (everything_) return;
    if (!(r.max.x > r.min.x && r.max.y > r.min.y)) return;
    if (rects_.size() == kMaxRects) {
        Rect all = r;
        for (const Rect& each : rects_) all = unite(all, each);
        rects_.assign(1, all);
        return;
    }
    rects_.push_back(r);
}

void DirtyArea::add(const PixelBox& box) {
    add(Rect{{static_cast<double>(box.left), static_cast<double>(box.top)},
             {static_cast<double>(box.right), static_cast<double>(box.bottom)}});
}

void DirtyArea::clear() {
    everything_ = false;
    rects_.clear();
}

std::vector<PixelBox> DirtyArea::boxes(const Desktop& desktop) const {
    const PixelBox whole{0, 0, desktop.width, desktop.height};
    if (everything_) return area(whole) > 0 ? std::vector<PixelBox>{whole} : std::vector<PixelBox>{};
    std::vector<PixelBox> boxes;
    for (const Rect& r : rects_) {
        if (const auto box = on_desktop(r, desktop)) boxes.push_back(*box);
    }
    // Merge the pair whose union wastes least, while a union costs little
    // more than its two parts or there are too many boxes. Each step removes
    // a box, and the list is short.
    while (boxes.size() > 1) {
        std::size_t best_i = 0, best_j = 1;
        std::int64_t best_waste = std::numeric_limits<std::int64_t>::max();
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            for (std::size_t j = i + 1; j < boxes.size(); ++j) {
                const std::int64_t waste = area(unite(boxes[i], boxes[j])) - area(boxes[i]) - area(boxes[j]);
                if (waste < best_waste) {
                    best_waste = waste;
                    best_i = i;
                    best_j = j;
                }
            }
        }
        // A frame costs about as much to set up as a few thousand pixels.
        constexpr std::int64_t kSetUpPixels = 4096;
        if (boxes.size() <= kMaxBoxes && best_waste > kSetUpPixels) break;
        boxes[best_i] = unite(boxes[best_i], boxes[best_j]);
        boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(best_j));
    }
    std::int64_t covered = 0;
    for (const PixelBox& b : boxes) covered += area(b);
    if (covered * 5 > area(whole) * 3) return {whole};
    return boxes;
}

void add_object_changes(DirtyArea& area, std::span<const Annotation> before, std::span<const Annotation> after) {
    const auto changed_arrow = [&](const Annotation& a, const Annotation& b) {
        const auto* arrow = a.as<shape::Arrow>();
        if (arrow == nullptr || (!arrow->start_attachment && !arrow->end_attachment)) return false;
        return paint_bounds(a, before) != paint_bounds(b, after);
    };
    std::size_t i = 0, j = 0;
    while (i < before.size() || j < after.size()) {
        if (j == after.size() || (i < before.size() && before[i].id < after[j].id)) {
            area.add(paint_bounds(before[i], before));
            ++i;
        } else if (i == before.size() || after[j].id < before[i].id) {
            area.add(paint_bounds(after[j], after));
            ++j;
        } else {
            if (!(before[i] == after[j]) || changed_arrow(before[i], after[j])) {
                area.add(paint_bounds(before[i], before));
                area.add(paint_bounds(after[j], after));
            }
            ++i;
            ++j;
        }
    }
}

void add_changes(DirtyArea& area, const OverlayLook& before, const OverlayLook& after) {
    if (!same_scene(before, after)) {
        area.add_everything();
        return;
    }
    add_object_changes(area, before.objects, after.objects);
    add_part(area, before.hint, after.hint, [](const Rect& r) { return r; });
    add_part(area, before.selection, after.selection, selection_box);
    add_part(area, before.marquee, after.marquee, [](const Rect& r) { return r; });
    add_part(area, before.preview, after.preview, preview_box);
    add_part(area, before.loupe, after.loupe,
             [&](Point p) { return unite(loupe_panel(p, before.desktop), loupe_panel(p, after.desktop)); });
    add_part(area, before.label, after.label, label_box);
    if (before.toolbar != after.toolbar || before.toolbar_pointer != after.toolbar_pointer) {
        add_toolbar(area, before.toolbar);
        add_toolbar(area, after.toolbar);
    }
    if (before.tooltips != after.tooltips) {
        for (const auto* tips : {&before.tooltips, &after.tooltips}) {
            for (const TooltipLook& tip : *tips) area.add(grown(rect_of(tip.box), kPartMargin));
        }
    }
}

}  // namespace kadrovix
