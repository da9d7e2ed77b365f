#include "color_picker/eyedropper.h"

#include <algorithm>
#include <cmath>

namespace kadrovix {

namespace {

// Whole pixel 0 .. size - 1 for coordinate v; size must be positive.
long long clamp_index(double v, std::uint32_t size) {
    if (std::isnan(v)) {
        return 0;
    }
    const double clamped = std::clamp(v, 0.0, static_cast<double>(size - 1));
    return static_cast<long long>(std::floor(clamped));
}

double place(double pointer, double desktop_size, double size) {
    double at = pointer + kLoupeOffset;
    if (at + size > desktop_size) {
        at = pointer - kLoupeOffset - size;
    }
    if (!std::isfinite(at)) {
        at = 0.0;
    }
    return std::clamp(at, 0.0, std::max(0.0, desktop_size - size));
}

}  // namespace

std::optional<Rgb> image_pixel(const BgraImage& image, long long x, long long y) {
    if (x < 0 || y < 0 || x >= static_cast<long long>(image.width) || y >= static_cast<long long>(image.height)) {
        return std::nullopt;
    }
    const std::size_t at = (static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x)) * 4;
    if (at + 4 > image.pixels.size()) {
        return std::nullopt;  // a buffer shorter than its dimensions
    }
    return Rgb{image.pixels[at + 2], image.pixels[at + 1], image.pixels[at]};
}

std::optional<Rgb> pick_pixel(const BgraImage& image, Point p) {
    if (image.width == 0 || image.height == 0) {
        return std::nullopt;
    }
    return image_pixel(image, clamp_index(p.x, image.width), clamp_index(p.y, image.height));
}

Rect loupe_panel(Point pointer, const Desktop& desktop) {
    const double x = place(pointer.x, desktop.width, kLoupeWidth);
    const double y = place(pointer.y, desktop.height, kLoupeHeight);
    return Rect{{x, y}, {x + kLoupeWidth, y + kLoupeHeight}};
}

Loupe layout_loupe(Point pointer, const Desktop& desktop, const BgraImage& image) {
    Loupe loupe;
    loupe.panel = loupe_panel(pointer, desktop);
    const Point grid_corner{loupe.panel.min.x + kLoupeInset, loupe.panel.min.y + kLoupeInset};
    const double grid_side = kLoupeCells * kLoupeCellSize;
    loupe.grid = Rect{grid_corner, {grid_corner.x + grid_side, grid_corner.y + grid_side}};
    if (image.width > 0 && image.height > 0) {
        loupe.centre_x = clamp_index(pointer.x, image.width);
        loupe.centre_y = clamp_index(pointer.y, image.height);
    }
    // Below the grid: a swatch with the code beside it, then the hint.
    const double row_top = loupe.grid.max.y + 4.0;
    constexpr double swatch_side = 16.0;
    loupe.swatch = Rect{{grid_corner.x, row_top}, {grid_corner.x + swatch_side, row_top + swatch_side}};
    loupe.code = Rect{{loupe.swatch.max.x + 8.0, row_top}, {loupe.grid.max.x, row_top + swatch_side}};
    loupe.hint = Point{grid_corner.x, grid_corner.y + kLoupeHintBaseline};
    return loupe;
}

Rect loupe_cell(const Loupe& loupe, int i, int j) {
    const double x = loupe.grid.min.x + i * kLoupeCellSize;
    const double y = loupe.grid.min.y + j * kLoupeCellSize;
    return Rect{{x, y}, {x + kLoupeCellSize, y + kLoupeCellSize}};
}

std::optional<Rgb> loupe_cell_colour(const Loupe& loupe, const BgraImage& image, int i, int j) {
    constexpr int half = kLoupeCells / 2;
    if (image.width == 0 || image.height == 0) {
        return std::nullopt;
    }
    return image_pixel(image, loupe.centre_x - half + i, loupe.centre_y - half + j);
}

}  // namespace kadrovix
