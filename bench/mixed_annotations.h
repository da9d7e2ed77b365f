// The 200 annotations the Windows timing programs draw: rectangles, ellipses,
// free arrows, pen and highlighter strokes of 40 points and short texts,
// spread over a width x height desktop in a fixed pattern.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "editor/annotation.h"

namespace kadrovix::bench {

inline std::vector<Annotation> mixed_annotations(double width, double height, std::uint64_t first_id = 1) {
    std::vector<Annotation> objects;
    for (std::uint64_t i = 0; i < 200; ++i) {
        const double x = std::fmod(37.0 * static_cast<double>(i), width - 120.0);
        const double y = std::fmod(53.0 * static_cast<double>(i), height - 120.0);
        Annotation a;
        a.id = first_id + i;
        a.width = 3.0;
        a.colour = kPresetColours[i % 6];
        switch (i % 5) {
            case 0: a.geometry = shape::Rectangle{{{x, y}, {x + 100, y + 60}}}; break;
            case 1: a.geometry = shape::Ellipse{{{x, y}, {x + 90, y + 70}}}; break;
            case 2: a.geometry = shape::Arrow{std::nullopt, std::nullopt, {x, y}, {x + 110, y + 50}}; break;
            case 3: {
                shape::Stroke s;
                s.highlighter = static_cast<std::uint8_t>(i % 2);
                for (int k = 0; k < 40; ++k) s.points.push_back({x + 3.0 * k, y + 20.0 * std::sin(k * 0.4)});
                a.geometry = s;
                break;
            }
            default: {
                shape::Text t;
                t.text = "Note";
                t.position = {x, y};
                t.font_size = 18;
                t.layout_width = 40;
                t.layout_height = 24;
                a.geometry = t;
            }
        }
        objects.push_back(std::move(a));
    }
    return objects;
}

}  // namespace kadrovix::bench
