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

#include "app/runtime/com_apartment_win32.h"
#include "bench/mixed_annotations.h"
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 7;
    const win32::ComApartment com;  // uninitialised last, after everything made below
    if (!com.ok()) return 1;
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
    const auto objects = bench::mixed_annotations(grab->width, grab->height);
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
    return 0;
}
