#include "color_picker/color_picker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "session/io/clipboard.h"

namespace kadrovix {

namespace {

constexpr double kTurn = 2.0 * std::numbers::pi;

// The panel's corner on one axis: at the pointer, kept on the desktop.
double place(double pointer, double desktop_size, double panel_size) {
    if (!std::isfinite(pointer)) {
        return 0.0;
    }
    return std::clamp(pointer, 0.0, std::max(0.0, desktop_size - panel_size));
}

bool in_box(Point u, const Rect& box) {
    return u.x >= box.min.x && u.x <= box.max.x && u.y >= box.min.y && u.y <= box.max.y;
}

void refresh_code(ColourPicker& picker) { picker.code = color_text(picker_colour(picker)); }

std::uint8_t premultiplied(std::uint8_t channel, double alpha) {
    return static_cast<std::uint8_t>(std::lround(channel * alpha));
}

}  // namespace

ColourPicker open_picker(Rgb custom_colour, Point pointer, const Desktop& desktop) {
    using namespace picker_units;
    // A valid grab is at least 1 x 1; the floor keeps k positive regardless.
    const double width = std::max(1, desktop.width);
    const double height = std::max(1, desktop.height);
    ColourPicker picker;
    picker.hsv = rgb_to_hsv(custom_colour);
    picker.k = std::min({width / kWidth, height / kHeight, 1.0});
    const double panel_width = kWidth * picker.k;
    const double panel_height = kHeight * picker.k;
    picker.left = place(pointer.x, width, panel_width);
    picker.top = place(pointer.y, height, panel_height);
    picker.right = picker.left + panel_width;
    picker.bottom = picker.top + panel_height;
    picker.drag = PickerDrag::None;
    refresh_code(picker);
    return picker;
}

PickerPress picker_press(ColourPicker& picker, Point p) {
    using namespace picker_units;
    if (!picker.contains(p)) {
        return PickerPress::Apply;
    }
    const Point u = picker.to_units(p);
    const double distance = std::hypot(u.x - kRingCentre.x, u.y - kRingCentre.y);
    if (distance >= kRingInner && distance <= kRingOuter) {
        picker.drag = PickerDrag::Ring;
    } else if (in_box(u, kSquare)) {
        picker.drag = PickerDrag::Square;
    } else {
        picker.drag = PickerDrag::None;
    }
    picker_move(picker, p);
    return PickerPress::Inside;
}

bool picker_move(ColourPicker& picker, Point p) {
    using namespace picker_units;
    if (picker.drag == PickerDrag::None || !std::isfinite(p.x) || !std::isfinite(p.y)) {
        return false;
    }
    const Point u = picker.to_units(p);
    const Hsv before = picker.hsv;
    if (picker.drag == PickerDrag::Ring) {
        const double dx = u.x - kRingCentre.x;
        const double dy = u.y - kRingCentre.y;
        if (dx != 0.0 || dy != 0.0) {
            picker.hsv.h = wrap_unit(std::atan2(dy, dx) / kTurn);
        }
    } else {
        const double side = kSquare.max.x - kSquare.min.x;
        picker.hsv.s = std::clamp((u.x - kSquare.min.x) / side, 0.0, 1.0);
        picker.hsv.v = std::clamp(1.0 - (u.y - kSquare.min.y) / side, 0.0, 1.0);
    }
    if (picker.hsv == before) {
        return false;
    }
    refresh_code(picker);
    return true;
}

void picker_release(ColourPicker& picker) { picker.drag = PickerDrag::None; }

Rgb picker_colour(const ColourPicker& picker) { return hsv_to_rgb(picker.hsv); }

Point ring_marker(const ColourPicker& picker) {
    using namespace picker_units;
    const double angle = kTurn * picker.hsv.h;
    return picker.to_pixels(
        Point{kRingCentre.x + kRingMarker * std::cos(angle), kRingCentre.y + kRingMarker * std::sin(angle)});
}

Point square_marker(const ColourPicker& picker) {
    using namespace picker_units;
    const double side = kSquare.max.x - kSquare.min.x;
    return picker.to_pixels(Point{kSquare.min.x + side * picker.hsv.s, kSquare.max.y - side * picker.hsv.v});
}

std::vector<std::uint8_t> hue_ring_pixels() {
    constexpr int n = kHueRingBitmapSize;
    constexpr double centre = n / 2.0;
    // The ring's radii with half a pixel of soft edge on either side.
    constexpr double outer_edge = picker_units::kRingOuter + 0.5;
    constexpr double inner_edge = picker_units::kRingInner - 0.5;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(n) * n * 4, 0);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double dx = x + 0.5 - centre;
            const double dy = y + 0.5 - centre;
            const double d = std::hypot(dx, dy);
            const double alpha = std::clamp(std::min(outer_edge - d, d - inner_edge), 0.0, 1.0);
            if (alpha <= 0.0) {
                continue;
            }
            const Rgb c = hsv_to_rgb(Hsv{wrap_unit(std::atan2(dy, dx) / kTurn), 1.0, 1.0});
            std::uint8_t* px = &pixels[(static_cast<std::size_t>(y) * n + x) * 4];
            px[0] = premultiplied(c.b, alpha);
            px[1] = premultiplied(c.g, alpha);
            px[2] = premultiplied(c.r, alpha);
            px[3] = static_cast<std::uint8_t>(std::lround(alpha * 255.0));
        }
    }
    return pixels;
}

std::vector<std::uint8_t> saturation_value_pixels(double h) {
    constexpr int n = kSquareBitmapSize;
    constexpr double last = n - 1;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(n) * n * 4, 0);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const Rgb c = hsv_to_rgb(Hsv{h, i / last, 1.0 - j / last});
            std::uint8_t* px = &pixels[(static_cast<std::size_t>(j) * n + i) * 4];
            px[0] = c.b;
            px[1] = c.g;
            px[2] = c.r;
            px[3] = 255;
        }
    }
    return pixels;
}

}  // namespace kadrovix
