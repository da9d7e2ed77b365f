#include "session/io/field_geometry.h"

#include <algorithm>

namespace kadrovix {

namespace {

struct LineSpan {
    std::uint32_t start = 0;
    std::uint32_t content_end = 0;  // where its break (if any) begins
    std::uint32_t end = 0;
    double top = 0.0;
    double height = 0.0;
};

struct ClusterSpan {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    double x = 0.0;  // from its line's left edge
    double width = 0.0;
    bool newline = false;
};

// Lines and clusters with their positions in the text and on the page.
struct Walked {
    std::vector<LineSpan> lines;
    std::vector<ClusterSpan> clusters;
    std::uint32_t length = 0;
    double height = 0.0;
    // The text ends with a line break the layout gave no line of its own.
    bool open_last_line = false;
};

Walked walk(std::span<const LayoutLine> lines, std::span<const LayoutCluster> clusters) {
    Walked w;
    std::uint32_t at = 0;
    double top = 0.0;
    for (const LayoutLine& l : lines) {
        LineSpan s;
        s.start = at;
        s.end = at + l.length;
        s.content_end = s.end - std::min(l.newline_length, l.length);
        s.top = top;
        s.height = l.height;
        w.lines.push_back(s);
        at = s.end;
        top += l.height;
    }
    w.length = at;
    w.height = top;
    w.open_last_line = !lines.empty() && lines.back().newline_length > 0;

    std::uint32_t start = 0;
    std::size_t line = 0;
    double x = 0.0;
    for (const LayoutCluster& c : clusters) {
        while (line + 1 < w.lines.size() && start >= w.lines[line].end) {
            ++line;
            x = 0.0;
        }
        w.clusters.push_back(ClusterSpan{start, start + c.length, x, c.width, c.newline});
        if (!c.newline) x += c.width;
        start += c.length;
    }
    return w;
}

// x of a position on its line: the right edge of the last cluster that ends
// at or before it; a position inside a cluster stands at the cluster's start.
double x_on_line(const Walked& w, const LineSpan& line, std::uint32_t index) {
    double x = 0.0;
    for (const ClusterSpan& c : w.clusters) {
        if (c.start < line.start || c.newline) continue;
        if (c.start >= line.content_end || c.start >= index) break;
        if (c.end > index) return c.x;
        x = c.x + c.width;
    }
    return x;
}

}  // namespace

CaretPlace caret_place(std::span<const LayoutLine> lines, std::span<const LayoutCluster> clusters,
                       std::uint32_t index) {
    const Walked w = walk(lines, clusters);
    if (w.lines.empty()) return {};
    index = std::min(index, w.length);
    if (w.open_last_line && index == w.length) {
        const LineSpan& last = w.lines.back();
        return CaretPlace{0.0, w.height, last.height};
    }
    for (const LineSpan& line : w.lines) {
        if (index <= line.content_end || (index < line.end)) {
            // Inside a break the caret stays at the line's end.
            const std::uint32_t at = std::min(index, line.content_end);
            return CaretPlace{x_on_line(w, line, at), line.top, line.height};
        }
    }
    const LineSpan& last = w.lines.back();
    return CaretPlace{x_on_line(w, last, last.content_end), last.top, last.height};
}

PositionHit position_at(std::span<const LayoutLine> lines, std::span<const LayoutCluster> clusters, double x,
                        double y) {
    const Walked w = walk(lines, clusters);
    if (w.lines.empty()) return {};
    if (w.open_last_line && y >= w.height) return PositionHit{w.length, false};
    const LineSpan* line = &w.lines.back();
    for (const LineSpan& l : w.lines) {
        if (y < l.top + l.height) {
            line = &l;
            break;
        }
    }
    double right = 0.0;
    for (const ClusterSpan& c : w.clusters) {
        if (c.start < line->start || c.newline) continue;
        if (c.start >= line->content_end) break;
        if (x < c.x + c.width / 2) {
            const bool inside = y >= 0.0 && y < w.height && x >= 0.0;
            return PositionHit{c.start, inside};
        }
        right = c.x + c.width;
    }
    const bool inside = y >= 0.0 && y < w.height && x >= 0.0 && x < right;
    return PositionHit{line->content_end, inside};
}

std::vector<Rect> range_rects(std::span<const LayoutLine> lines, std::span<const LayoutCluster> clusters,
                              std::uint32_t start, std::uint32_t end, double break_width) {
    std::vector<Rect> rects;
    const Walked w = walk(lines, clusters);
    if (start >= end) return rects;
    for (const LineSpan& line : w.lines) {
        const std::uint32_t s = std::max(start, line.start);
        const std::uint32_t e = std::min(end, line.end);
        if (s >= e) continue;
        const double x0 = x_on_line(w, line, std::min(s, line.content_end));
        double x1 = x_on_line(w, line, std::min(e, line.content_end));
        if (e > line.content_end) x1 += break_width;
        if (x1 > x0) rects.push_back(Rect{{x0, line.top}, {x1, line.top + line.height}});
    }
    return rects;
}

}  // namespace kadrovix
