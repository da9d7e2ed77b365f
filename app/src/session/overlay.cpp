#include "session/overlay.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

#include "session/region.h"

namespace kadrovix {

namespace {

// Into [low, high]; `low` wins on a desktop too small for both.
double keep_within(double v, double low, double high) { return std::max(low, std::min(v, high)); }

}  // namespace

Point knob_for_bounds(const Rect& b, const Desktop& desktop) {
    const double x = (b.min.x + b.max.x) / 2.0;
    const double y = b.min.y - kKnobOffset;
    return Point{keep_within(x, kKnobMargin, desktop.width - kKnobMargin),
                 keep_within(y, kKnobMargin, desktop.height - kKnobMargin)};
}

Rect hairline_frame(const Rect& r) {
    const double left = std::round(r.min.x), top = std::round(r.min.y);
    const double right = std::round(r.max.x), bottom = std::round(r.max.y);
    // Narrower than two pixels: one line in the middle column or row.
    const double x0 = right - left >= 2.0 ? left + 0.5 : std::floor((left + right) / 2.0) + 0.5;
    const double x1 = right - left >= 2.0 ? right - 0.5 : x0;
    const double y0 = bottom - top >= 2.0 ? top + 0.5 : std::floor((top + bottom) / 2.0) + 0.5;
    const double y1 = bottom - top >= 2.0 ? bottom - 0.5 : y0;
    return Rect{{x0, y0}, {x1, y1}};
}

std::optional<Point> rotation_knob(const Editor& editor, const Desktop& desktop) {
    const std::optional<Rect> bounds = editor.selection_bounds();
    if (!bounds) {
        return std::nullopt;
    }
    return knob_for_bounds(*bounds, desktop);
}

std::optional<SelectionFrame> selection_frame(const SessionState& s, const PartsView& parts) {
    if (parts.text_entry_open) {
        return std::nullopt;
    }
    const std::optional<Rect> bounds = s.editor.selection_bounds();
    if (!bounds) {
        return std::nullopt;
    }
    SelectionFrame f;
    f.frame = Rect{{bounds->min.x - kFrameGap, bounds->min.y - kFrameGap},
                   {bounds->max.x + kFrameGap, bounds->max.y + kFrameGap}};
    f.corners = {{f.frame.min, {f.frame.max.x, f.frame.min.y}, f.frame.max, {f.frame.min.x, f.frame.max.y}}};
    f.stem = Point{(bounds->min.x + bounds->max.x) / 2.0, bounds->min.y};
    f.knob = knob_for_bounds(*bounds, s.desktop);
    return f;
}

double brush_diameter(const Editor& editor) {
    return editor.tool == Tool::Highlighter ? editor.width * 5.0 : editor.width;
}

std::string width_label_text(double diameter) {
    char digits[64];
    std::to_chars_result written{};
    if (std::isfinite(diameter) && diameter == std::trunc(diameter) && std::fabs(diameter) < 1e15) {
        written = std::to_chars(std::begin(digits), std::end(digits), static_cast<long long>(diameter));
    } else {
        written = std::to_chars(std::begin(digits), std::end(digits), diameter);
    }
    return std::string(digits, written.ptr) + " px";
}

std::optional<BrushPreview> brush_preview(const SessionState& s, const PartsView& parts) {
    if (!s.region.exists || s.region_selection || parts.picker_open || parts.text_entry_open || s.eyedropper_on) {
        return std::nullopt;
    }
    const bool indicator = s.width_indicator_visible;
    if (parts.over_toolbar && !indicator) {
        return std::nullopt;
    }
    const Point p = s.pointer;
    BrushPreview preview;
    preview.diameter = brush_diameter(s.editor);
    const double d = preview.diameter;
    if (indicator) {
        // Lifted above the pointer so the finger-sized circle is not hidden
        // under the cursor, but never off the top of the desktop.
        preview.centre = Point{p.x, std::max(p.y - d / 2.0 - kIndicatorLift, d / 2.0 + 4.0)};
        const double left = std::max(0.0, std::min(s.desktop.width - kWidthLabelWidth, p.x + d / 2.0 + 10.0));
        const double top = std::max(0.0, std::min(preview.centre.y + 10.0, s.desktop.height - kWidthLabelHeight));
        preview.label = WidthLabel{Rect{{left, top}, {left + kWidthLabelWidth, top + kWidthLabelHeight}},
                                   width_label_text(d)};
        return preview;
    }
    const Tool tool = s.editor.tool;
    if ((tool == Tool::Pen || tool == Tool::Highlighter) && region_contains(s.region, p)) {
        preview.centre = p;
        return preview;
    }
    return std::nullopt;
}

void veil_pixels(std::span<std::uint8_t> bgra) {
    // Black at the veil's opacity over each colour, rounded as 8-bit blending does.
    constexpr auto kept = static_cast<unsigned>((1.0 - kVeilOpacity) * 255.0 + 0.5);
    for (std::size_t i = 0; i + 3 < bgra.size(); i += 4) {
        for (std::size_t c = 0; c < 3; ++c) bgra[i + c] = static_cast<std::uint8_t>((bgra[i + c] * kept + 127u) / 255u);
    }
}

}  // namespace kadrovix
