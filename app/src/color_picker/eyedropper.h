// The eyedropper without the platform: the pixel a pick takes and the
// magnifier ("loupe") that follows the pointer while the eyedropper is on.
//
// Capture image pixels and desktop pixels are the same grid (the image is
// the desktop as grabbed), so the pointer indexes the image directly.
#pragma once

#include <optional>

#include "editor/annotation.h"
#include "render/bgra_image.h"
#include "session/session_state.h"

namespace kadrovix {

inline constexpr double kLoupeWidth = 126.0;
inline constexpr double kLoupeHeight = 164.0;
inline constexpr double kLoupeRadius = 6.0;
inline constexpr double kLoupeOffset = 24.0;  // from the pointer to the near corner
inline constexpr double kLoupeInset = 8.0;    // panel edge to grid
inline constexpr int kLoupeCells = 11;        // per side; the middle one is the pointer's pixel
inline constexpr double kLoupeCellSize = 10.0;
inline constexpr double kLoupeCodeSize = 13.0;
inline constexpr double kLoupeHintSize = 10.0;
inline constexpr double kLoupeHintBaseline = 147.0;  // below the grid's top
inline constexpr Rgb kLoupeBackground{25, 25, 25};
inline constexpr Rgb kLoupeCodeColour{250, 250, 250};
inline constexpr Rgb kLoupeHintColour{190, 190, 190};
inline constexpr char kLoupeHint[] = "Click to pick · Esc";

// The pixel of `image` a pointer at p picks: p clamped to the image and
// truncated to whole pixels (a pointer that is not a number counts as 0).
// None for an empty image.
std::optional<Rgb> pick_pixel(const BgraImage& image, Point p);

// The pixel at (x, y), or none outside the image.
std::optional<Rgb> image_pixel(const BgraImage& image, long long x, long long y);

struct Loupe {
    Rect panel;
    Rect grid;  // kLoupeCells x kLoupeCells cells of kLoupeCellSize
    // The image pixel shown in the middle cell (the pointer's, clamped to
    // the image); cell (i, j) shows pixel (centre_x - 5 + i, centre_y - 5 + j).
    long long centre_x = 0;
    long long centre_y = 0;
    Rect swatch;     // the colour under the pointer
    Rect code;       // its "#RRGGBB", vertically centred in this box
    Point hint;      // left end of the hint's baseline
};

// Per axis the panel goes kLoupeOffset past the pointer, or as far before it
// when it would cross the desktop's far edge, and is then kept on the desktop.
Rect loupe_panel(Point pointer, const Desktop& desktop);

Loupe layout_loupe(Point pointer, const Desktop& desktop, const BgraImage& image);

// The cell of the grid, desktop pixels.
Rect loupe_cell(const Loupe& loupe, int i, int j);

// What cell (i, j) shows; none when its pixel lies outside the image (the
// cell then shows only its outline).
std::optional<Rgb> loupe_cell_colour(const Loupe& loupe, const BgraImage& image, int i, int j);

}  // namespace kadrovix
