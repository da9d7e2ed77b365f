// Caret, selection and hit-test geometry of a left-to-right text layout,
// worked out from its lines and character clusters alone. The field painter
// asks the platform's text layout first; where the platform cannot hit-test
// (Wine's DirectWrite leaves those calls unimplemented) it measures the
// layout's lines and clusters and uses these rules, which give the same
// answers for the left-to-right text the fields hold.
//
// Positions are code-unit indices into the laid-out text; x and y are
// relative to the layout's top-left corner.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "editor/annotation.h"

namespace kadrovix {

struct LayoutLine {
    std::uint32_t length = 0;          // code units, the line break included
    std::uint32_t newline_length = 0;  // code units of the line break ending it (0 for the last line)
    double height = 0.0;
};

struct LayoutCluster {
    std::uint32_t length = 0;  // code units
    double width = 0.0;
    bool newline = false;  // a line break: takes no place on the line
};

// Where the caret of position `index` stands: its x, and the top and height
// of its line. A position just past a final line break stands at the start of
// a new line below the last one.
struct CaretPlace {
    double x = 0.0;
    double top = 0.0;
    double height = 0.0;
};
CaretPlace caret_place(std::span<const LayoutLine> lines, std::span<const LayoutCluster> clusters,
                       std::uint32_t index);

// The position nearest to (x, y): the line under y (the first or last when y
// lies above or below them all), then the cluster boundary nearest to x on
// it, never past the line's break. `inside` says whether the point lies on
// the line's text.
struct PositionHit {
    std::uint32_t index = 0;
    bool inside = false;
};
PositionHit position_at(std::span<const LayoutLine> lines, std::span<const LayoutCluster> clusters, double x,
                        double y);

// One rectangle per line that the range [start, end) touches, from its first
// to its last selected character on that line; a selected line break adds
// the width of a space-like sliver so that a selected empty line shows.
std::vector<Rect> range_rects(std::span<const LayoutLine> lines, std::span<const LayoutCluster> clusters,
                              std::uint32_t start, std::uint32_t end, double break_width);

}  // namespace kadrovix
