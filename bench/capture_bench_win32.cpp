// Times the capture pipeline on the current virtual screen: the grab, the
// output render of the whole screen with 200 mixed annotations, PNG encoding,
// and a plain copy of the pixel buffer (the floor any grab has to pay).
// Prints one line per step with the median of the runs.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "render/renderer_win32.h"
#include "render/screen_grab_win32.h"
#include "session/io/png_win32.h"

using namespace kadrovix;

namespace {

template <class F>
double median_ms(int runs, F&& step) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!step()) return -1.0;
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<Annotation> mixed_annotations(double width, double height) {
    std::vector<Annotation> objects;
    for (std::uint64_t i = 0; i < 200; ++i) {
        const double x = std::fmod(37.0 * static_cast<double>(i), width - 120.0);
        const double y = std::fmod(53.0 * static_cast<double>(i), height - 120.0);
        Annotation a;
        a.id = i + 1;
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 7;
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    auto grab = win32::grab_virtual_screen();
    if (!grab) return 2;
    std::printf("screen %ux%u, %d runs, medians:\n", grab->width, grab->height, runs);

    std::printf("grab_virtual_screen      %9.2f ms\n", median_ms(runs, [] { return win32::grab_virtual_screen().has_value(); }));

    std::vector<std::uint8_t> copy(grab->pixels.size());
    std::printf("raw buffer copy          %9.2f ms\n", median_ms(runs, [&] {
                    std::memcpy(copy.data(), grab->pixels.data(), copy.size());
                    return copy[copy.size() / 2] == grab->pixels[copy.size() / 2];
                }));

    auto ctx = win32::create_render_context(win32::TargetAlpha::Ignore);
    if (!ctx) return 3;
    const auto objects = mixed_annotations(grab->width, grab->height);
    const RegionF all{0, 0, static_cast<double>(grab->width), static_cast<double>(grab->height)};
    std::optional<BgraImage> output;
    std::printf("render_output (200 obj.) %9.2f ms\n", median_ms(runs, [&] {
                    auto r = win32::render_output(*ctx, *grab, objects, all);
                    if (!r) return false;
                    output = std::move(*r);
                    return true;
                }));
    if (!output) return 4;
    std::printf("encode_png               %9.2f ms\n",
                median_ms(runs, [&] { return win32::encode_png(*output).has_value(); }));
    ::CoUninitialize();
    return 0;
}
