// Builders for editor tests: objects made directly, with the ids an editor
// would have handed out, so document and history cases do not depend on
// pointer gestures unless they are about them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "editor/annotation.h"
#include "editor/editor.h"

namespace kadrovix::testing {

inline void expect_point_near(Point actual, Point expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << "x";
    EXPECT_NEAR(actual.y, expected.y, tolerance) << "y";
}

inline void expect_rect_near(const Rect& actual, const Rect& expected, double tolerance = 1e-9) {
    expect_point_near(actual.min, expected.min, tolerance);
    expect_point_near(actual.max, expected.max, tolerance);
}

inline Annotation make_rect(std::uint64_t id, Rect box, double width = 3.0, Rgb colour = kPresetColours[0]) {
    Annotation a;
    a.geometry = shape::Rectangle{box};
    a.id = id;
    a.width = width;
    a.colour = colour;
    return a;
}

inline Annotation make_ellipse(std::uint64_t id, Rect box) {
    Annotation a;
    a.geometry = shape::Ellipse{box};
    a.id = id;
    a.width = 3.0;
    a.colour = kPresetColours[0];
    return a;
}

inline Annotation make_arrow(std::uint64_t id, Point start, Point end, std::optional<Attachment> start_att = {},
                             std::optional<Attachment> end_att = {}) {
    Annotation a;
    a.geometry = shape::Arrow{start_att, end_att, start, end};
    a.id = id;
    a.width = 3.0;
    a.colour = kPresetColours[0];
    return a;
}

inline Annotation make_stroke(std::uint64_t id, std::vector<Point> points, std::vector<double> segment_widths = {},
                              std::uint8_t highlighter = 0) {
    Annotation a;
    a.geometry = shape::Stroke{std::move(points), std::move(segment_widths), highlighter};
    a.id = id;
    a.width = 3.0;
    a.colour = kPresetColours[0];
    return a;
}

inline Annotation make_text(std::uint64_t id, std::string text, Point position, double font_size = 20.0,
                            double layout_width = 50.0, double layout_height = 24.0) {
    Annotation a;
    a.geometry = shape::Text{std::move(text), position, font_size, layout_width, layout_height};
    a.id = id;
    a.width = 3.0;
    a.colour = kPresetColours[0];
    return a;
}

// An editor whose document is `objects` (ids ascending), with the id counter
// at the largest id and empty history.
inline Editor editor_with(std::vector<Annotation> objects) {
    Editor e;
    for (const Annotation& a : objects) {
        if (a.id > e.id_counter) {
            e.id_counter = a.id;
        }
    }
    e.objects = std::move(objects);
    return e;
}

inline std::vector<std::uint64_t> ids_of(const std::vector<Annotation>& objects) {
    std::vector<std::uint64_t> ids;
    for (const Annotation& a : objects) {
        ids.push_back(a.id);
    }
    return ids;
}

inline const Annotation* object_by_id(const Editor& e, std::uint64_t id) {
    for (const Annotation& a : e.objects) {
        if (a.id == id) {
            return &a;
        }
    }
    return nullptr;
}

// Press, drag through `path`, release: one complete pointer gesture.
inline void gesture(Editor& e, Point from, std::initializer_list<Point> path, bool shift = false, bool alt = false) {
    e.press(from, shift, alt);
    for (const Point& p : path) {
        if (e.gesture) {
            e.gesture->shift = shift;
            e.gesture->alt = alt;
        }
        e.drag(p);
    }
    e.release();
}

}  // namespace kadrovix::testing
