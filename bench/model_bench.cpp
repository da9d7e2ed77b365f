// Annotation model costs that the user feels: one drag step of a move, the
// commit and undo that every edit ends in, a click with the Select tool, and
// the geometry the renderer asks for on every frame. Document sizes of 100,
// 1,000 and 10,000 objects show whether the cost per object stays flat.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "editor/editor.h"
#include "paths/geometry.h"

namespace {

using namespace kadrovix;

constexpr double kCell = 60.0;
constexpr int kColumns = 100;

Point cell_origin(std::size_t i) {
    return {static_cast<double>(i % kColumns) * kCell, static_cast<double>(i / kColumns) * kCell};
}

// A document of `n` objects, one per grid cell, cycling through rectangles,
// ellipses, arrows attached to the rectangle two cells back, eight-point pen
// strokes and texts.
Editor make_document(std::size_t n) {
    Editor e;
    e.objects.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Point o = cell_origin(i);
        Annotation a;
        a.id = i + 1;
        a.width = 3.0;
        a.colour = kPresetColours[i % 6];
        switch (i % 5) {
        case 0:
            a.geometry = shape::Rectangle{{{o.x + 5, o.y + 5}, {o.x + 45, o.y + 35}}};
            break;
        case 1:
            a.geometry = shape::Ellipse{{{o.x + 5, o.y + 5}, {o.x + 45, o.y + 35}}};
            break;
        case 2: {
            shape::Arrow arrow;
            arrow.start = {o.x + 5, o.y + 50};
            const Point target = cell_origin(i - 2);
            arrow.end = {target.x + 25, target.y + 20};
            arrow.end_attachment = Attachment{1.0, 0.0, a.id - 2};
            a.geometry = arrow;
            break;
        }
        case 3: {
            shape::Stroke stroke;
            for (int k = 0; k < 8; ++k) {
                stroke.points.push_back({o.x + 5 + 5 * k, o.y + 20 + ((k % 2) != 0 ? 10.0 : -10.0)});
            }
            stroke.segment_widths.assign(7, 3.0);
            a.geometry = stroke;
            break;
        }
        default:
            a.geometry = shape::Text{"label", {o.x + 5, o.y + 5}, 16.0, 40.0, 20.0};
            break;
        }
        e.objects.push_back(std::move(a));
    }
    e.id_counter = n;
    return e;
}

// The rectangle nearest the middle of the document, and a point on its left edge.
std::size_t middle_rectangle(std::size_t n) { return n / 2 / 5 * 5; }
Point on_left_edge(std::size_t index) {
    const Point o = cell_origin(index);
    return {o.x + 5, o.y + 20};
}

void per_object(benchmark::State& state, std::size_t n) {
    state.counters["per_object"] = benchmark::Counter(static_cast<double>(n),
                                                      benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
}

void move_drag_step(benchmark::State& state, bool select_all) {
    const auto n = static_cast<std::size_t>(state.range(0));
    Editor e = make_document(n);
    const std::size_t target = middle_rectangle(n);
    if (select_all) {
        for (const Annotation& a : e.objects) {
            e.selection.push_back(a.id);
        }
    } else {
        e.selection = {e.objects[target].id};
    }
    const Point press = on_left_edge(target);
    e.press(press, false, false);
    if (!e.gesture || e.gesture->kind != GestureKind::Move) {
        state.SkipWithError("the press did not start a move");
        return;
    }
    double dx = 1.0;
    for (auto _ : state) {
        e.drag({press.x + dx, press.y + 0.5 * dx});
        dx = dx > 40.0 ? 1.0 : dx + 1.0;
        benchmark::DoNotOptimize(e.objects.data());
    }
    e.release();
    per_object(state, n);
}

void BM_MoveDragStep_OneSelected(benchmark::State& state) { move_drag_step(state, false); }
void BM_MoveDragStep_AllSelected(benchmark::State& state) { move_drag_step(state, true); }

// commit alone: the snapshot copy and the change happen with the clock stopped.
void BM_Commit(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    Editor e = make_document(n);
    const std::size_t target = middle_rectangle(n);
    double shift = 1.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Annotation> snapshot = e.objects;
        auto* rect = e.objects[target].as<shape::Rectangle>();
        rect->box.min.x += shift;
        rect->box.max.x += shift;
        shift = -shift;
        if (e.undo_stack.size() > 4096) {
            e.undo_stack.clear();
        }
        state.ResumeTiming();
        e.commit(std::move(snapshot));
    }
    per_object(state, n);
}

// A whole edit as the keyboard makes it: snapshot, change, commit.
void BM_Nudge(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    Editor e = make_document(n);
    e.selection = {e.objects[middle_rectangle(n)].id};
    double d = 1.0;
    for (auto _ : state) {
        e.nudge_selection(d, 0.0);
        d = -d;
        if (e.undo_stack.size() > 4096) {
            state.PauseTiming();
            e.undo_stack.clear();
            state.ResumeTiming();
        }
    }
    per_object(state, n);
}

// Undo and redo of a one-object step, alternately.
void BM_UndoRedo(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    Editor e = make_document(n);
    e.selection = {e.objects[middle_rectangle(n)].id};
    e.nudge_selection(10.0, 0.0);
    bool undo = true;
    for (auto _ : state) {
        if (undo) {
            e.undo();
        } else {
            e.redo();
        }
        undo = !undo;
    }
    per_object(state, n);
}

// A press with the Select tool: snapshot, then hit tests from the top object
// down until one is hit. The gesture is cancelled again outside the clock.
void select_press(benchmark::State& state, bool hit_bottom) {
    const auto n = static_cast<std::size_t>(state.range(0));
    Editor e = make_document(n);
    // The bottom-most object is the first rectangle; a miss is in the gap
    // between cells, so every object is tried.
    const Point p = hit_bottom ? on_left_edge(0) : Point{cell_origin(n / 2).x + 55, cell_origin(n / 2).y + 58};
    e.press(p, false, false);
    const bool hit = e.gesture && e.gesture->kind == GestureKind::Move;
    if (hit != hit_bottom) {
        state.SkipWithError("the press did not land where intended");
        return;
    }
    e.cancel_gesture();
    for (auto _ : state) {
        e.press(p, false, false);
        state.PauseTiming();
        e.cancel_gesture();
        e.selection.clear();
        state.ResumeTiming();
    }
    per_object(state, n);
}
void BM_SelectPress_Miss(benchmark::State& state) { select_press(state, false); }
void BM_SelectPress_HitBottom(benchmark::State& state) { select_press(state, true); }

void BM_EllipseOutline_R10000(benchmark::State& state) {
    Annotation a;
    a.geometry = shape::Ellipse{{{-10000, -10000}, {10000, 10000}}};
    a.id = 1;
    a.width = 3.0;
    a.angle = 0.3;
    const std::vector<Annotation> objects{a};
    std::size_t points = 0;
    for (auto _ : state) {
        const std::vector<paths::Polyline> lines = paths::outline(a, objects);
        points = lines.front().size();
        benchmark::DoNotOptimize(lines.data());
    }
    state.counters["points"] = static_cast<double>(points);
}

void BM_PenStrokeRuns_10000Points(benchmark::State& state) {
    shape::Stroke stroke;
    for (int k = 0; k < 10000; ++k) {
        stroke.points.push_back({k * 1.5, 300.0 + 80.0 * std::sin(k * 0.05)});
    }
    stroke.segment_widths.assign(9999, 4.0);
    Annotation a;
    a.geometry = stroke;
    a.id = 1;
    a.width = 4.0;
    std::size_t points = 0;
    for (auto _ : state) {
        const std::vector<paths::StrokeRun> runs = paths::stroke_runs(a);
        points = runs.front().points.size();
        benchmark::DoNotOptimize(runs.data());
    }
    state.counters["points"] = static_cast<double>(points);
}

}  // namespace

BENCHMARK(BM_MoveDragStep_OneSelected)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveDragStep_AllSelected)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Commit)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Nudge)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SelectPress_Miss)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SelectPress_HitBottom)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EllipseOutline_R10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PenStrokeRuns_10000Points)->Unit(benchmark::kMicrosecond);
