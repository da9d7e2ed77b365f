// The editable objects of one capture. Plain data, no platform headers: the
// editor window, the renderer and the clipboard all read these same values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kadrovix {

// Capture-image pixels, y growing downwards.
struct Point {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
};

// min and max corners; normalised (min <= max) wherever an operation says so.
struct Rect {
    Point min;
    Point max;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Binds an arrow end to a rectangle or ellipse: a direction from the target's
// centre in the target's unrotated frame.
struct Attachment {
    double dx = 0.0;
    double dy = 0.0;
    std::uint64_t target = 0;
    friend bool operator==(const Attachment&, const Attachment&) = default;
};

namespace shape {

struct Rectangle {
    Rect box;
    friend bool operator==(const Rectangle&, const Rectangle&) = default;
};

// Inscribed in its box.
struct Ellipse {
    Rect box;
    friend bool operator==(const Ellipse&, const Ellipse&) = default;
};

// The stored points are the free positions; an attached end is drawn where
// its attachment resolves. The head is at `end`.
struct Arrow {
    std::optional<Attachment> start_attachment;
    std::optional<Attachment> end_attachment;
    Point start;
    Point end;
    friend bool operator==(const Arrow&, const Arrow&) = default;
};

// Line, pen and highlighter all make strokes; a line has exactly two points.
// segment_widths is empty, or holds one width per freehand segment drawn.
struct Stroke {
    std::vector<Point> points;
    std::vector<double> segment_widths;
    std::uint8_t highlighter = 0;
    friend bool operator==(const Stroke&, const Stroke&) = default;
};

struct Text {
    std::string text;  // UTF-8
    Point position;    // top-left of the laid-out text
    double font_size = 0.0;
    double layout_width = 0.0;
    double layout_height = 0.0;
    friend bool operator==(const Text&, const Text&) = default;
};

}  // namespace shape

using Geometry = std::variant<shape::Rectangle, shape::Ellipse, shape::Arrow, shape::Stroke, shape::Text>;

// Variant index of each kind, for code that switches on the tag.
enum class ShapeKind : std::uint8_t { Rectangle = 0, Ellipse = 1, Arrow = 2, Stroke = 3, Text = 4 };

struct Annotation {
    Geometry geometry;
    // Radians about the centre of the unrotated bounds. Arrows and strokes keep
    // 0: they are rotated by moving their points.
    double angle = 0.0;
    std::uint64_t id = 0;
    double width = 0.0;
    Rgb colour;

    ShapeKind kind() const { return static_cast<ShapeKind>(geometry.index()); }
    template <class T> T* as() { return std::get_if<T>(&geometry); }
    template <class T> const T* as() const { return std::get_if<T>(&geometry); }

    // Ordinary floating-point equality field by field; history relies on it.
    friend bool operator==(const Annotation&, const Annotation&) = default;
};

enum class Tool : std::uint8_t {
    Select = 0,
    Rectangle = 1,
    Ellipse = 2,
    Line = 3,
    Arrow = 4,
    Pen = 5,
    Highlighter = 6,
    Text = 7,
};
inline constexpr std::uint8_t kToolCount = 8;

// Keys 1 to 6 pick these, in this order.
inline constexpr Rgb kPresetColours[6] = {
    {237, 79, 92},    // Red
    {250, 192, 66},   // Yellow
    {64, 199, 128},   // Green
    {80, 153, 244},   // Blue
    {245, 245, 248},  // White
    {28, 31, 40},     // Black
};

inline constexpr double kMinStrokeWidth = 1.0;
inline constexpr double kMaxStrokeWidth = 40.0;
inline constexpr double kMinFontSize = 8.0;
inline constexpr double kMaxFontSize = 300.0;

}  // namespace kadrovix
