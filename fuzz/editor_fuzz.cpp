// Turns bytes into an editing session: pointer gestures with every tool and
// modifier, style changes, deletes, nudges, text, copy and paste, undo and
// redo, with coordinates that include NaN, infinities and huge values. The
// document must stay consistent after every operation, the renderer's
// geometry must cope with whatever the document holds, and the history must
// lead back to the empty document and forward again to the same objects.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "editor/editor.h"
#include "editor/invariants.h"
#include "paths/geometry.h"

namespace {

using namespace kadrovix;

constexpr int kMaxOperations = 2000;

[[noreturn]] void fail(const char* what, const std::string& detail, int operation) {
    std::fprintf(stderr, "editor_fuzz: %s after operation %d: %s\n", what, operation, detail.c_str());
    std::abort();
}

// Bit-exact image of a document: NaN coordinates make ordinary equality
// useless for telling whether undo and redo restored the same objects.
void put(std::string& out, const void* p, std::size_t n) { out.append(static_cast<const char*>(p), n); }
void put(std::string& out, double v) { put(out, &v, sizeof v); }
void put(std::string& out, std::uint64_t v) { put(out, &v, sizeof v); }
void put(std::string& out, Point p) {
    put(out, p.x);
    put(out, p.y);
}
void put(std::string& out, const std::optional<Attachment>& a) {
    out.push_back(a ? 1 : 0);
    if (a) {
        put(out, a->dx);
        put(out, a->dy);
        put(out, a->target);
    }
}

std::string fingerprint(const std::vector<Annotation>& objects) {
    std::string out;
    for (const Annotation& a : objects) {
        out.push_back(static_cast<char>(a.kind()));
        put(out, a.angle);
        put(out, a.id);
        put(out, a.width);
        put(out, &a.colour, sizeof a.colour);
        if (const auto* r = a.as<shape::Rectangle>()) {
            put(out, r->box.min);
            put(out, r->box.max);
        } else if (const auto* el = a.as<shape::Ellipse>()) {
            put(out, el->box.min);
            put(out, el->box.max);
        } else if (const auto* ar = a.as<shape::Arrow>()) {
            put(out, ar->start_attachment);
            put(out, ar->end_attachment);
            put(out, ar->start);
            put(out, ar->end);
        } else if (const auto* s = a.as<shape::Stroke>()) {
            put(out, static_cast<std::uint64_t>(s->points.size()));
            for (const Point& p : s->points) {
                put(out, p);
            }
            put(out, static_cast<std::uint64_t>(s->segment_widths.size()));
            for (double w : s->segment_widths) {
                put(out, w);
            }
            out.push_back(static_cast<char>(s->highlighter));
        } else if (const auto* t = a.as<shape::Text>()) {
            put(out, static_cast<std::uint64_t>(t->text.size()));
            out += t->text;
            put(out, t->position);
            put(out, t->font_size);
            put(out, t->layout_width);
            put(out, t->layout_height);
        }
    }
    return out;
}

// Decoding (fuzz/make_editor_seeds.py writes seeds in this layout): integral
// values are taken from the end of the input, one after another in the order
// the code below asks for them; text for add_text comes from the front.
class Session {
public:
    explicit Session(FuzzedDataProvider& in) : in_(in) {}

    void run() {
        int operation = 0;
        for (; operation < kMaxOperations && in_.remaining_bytes() > 0; ++operation) {
            step();
            if (const std::optional<std::string> fault = check_invariants(e_)) {
                fail("invariant broken", *fault, operation);
            }
        }
        e_.release();
        if (const std::optional<std::string> fault = check_invariants(e_)) {
            fail("invariant broken", *fault, operation);
        }
        round_trip(operation);
    }

private:
    void step() {
        switch (in_.ConsumeIntegralInRange<int>(0, 19)) {
        case 0:
        case 1: {
            if (in_.ConsumeBool()) {
                e_.set_tool(static_cast<Tool>(in_.ConsumeIntegralInRange<int>(0, kToolCount - 1)));
            }
            const Point p = point();
            const bool shift = in_.ConsumeBool();
            const bool alt = in_.ConsumeBool();
            e_.press(p, shift, alt);
            break;
        }
        case 2:
        case 3:
        case 4:
            if (e_.gesture) {
                e_.gesture->shift = in_.ConsumeBool();
                e_.gesture->alt = in_.ConsumeBool();
            }
            e_.drag(point());
            break;
        case 5: {
            const bool shift = in_.ConsumeBool();
            const bool alt = in_.ConsumeBool();
            e_.modifiers_changed(shift, alt);
            break;
        }
        case 6:
            e_.release();
            break;
        case 7:
            e_.begin_rotate(point());
            break;
        case 8: {
            const auto r = in_.ConsumeIntegral<std::uint8_t>();
            const auto g = in_.ConsumeIntegral<std::uint8_t>();
            const auto b = in_.ConsumeIntegral<std::uint8_t>();
            e_.set_colour(Rgb{r, g, b});
            break;
        }
        case 9:
            if (in_.ConsumeBool()) {
                e_.narrow();
            } else {
                e_.widen();
            }
            break;
        case 10:
            e_.delete_selection();
            break;
        case 11: {
            const double dx = coordinate();
            const double dy = coordinate();
            e_.nudge_selection(dx, dy);
            break;
        }
        case 12: {
            const std::string text = in_.ConsumeRandomLengthString(24);
            const double x = coordinate();
            const double y = coordinate();
            const double w = coordinate();
            const double h = coordinate();
            const double font = in_.ConsumeBool() ? in_.ConsumeFloatingPointInRange<double>(0.0, 400.0) : coordinate();
            const Rgb colour = kPresetColours[in_.ConsumeIntegralInRange<int>(0, 5)];
            e_.add_text(x, y, text, w, h, colour, font);
            break;
        }
        case 13: {
            std::vector<TextLayoutUpdate> entries;
            const int n = in_.ConsumeIntegralInRange<int>(0, 3);
            for (int i = 0; i < n; ++i) {
                TextLayoutUpdate u;
                u.id = in_.ConsumeBool() && !e_.objects.empty() ? pick_object().id : in_.ConsumeIntegral<std::uint64_t>();
                u.font_size = in_.ConsumeBool() ? in_.ConsumeFloatingPointInRange<double>(8.0, 300.0) : coordinate();
                u.width = coordinate();
                u.height = coordinate();
                entries.push_back(u);
            }
            e_.update_text_layout(entries);
            break;
        }
        case 14:
            copied_ = e_.copy_selection();
            paste_count_ = 0;
            break;
        case 15:
            paste_count_ = in_.ConsumeBool() ? paste_count_ + 1 : in_.ConsumeIntegral<std::uint64_t>();
            e_.paste(copied_, paste_count_);
            break;
        case 16:
            e_.undo();
            break;
        case 17:
            e_.redo();
            break;
        case 18:
            e_.cancel_gesture();
            break;
        case 19:
            draw_everything();
            break;
        }
    }

    // What the renderer and the editor window ask of the document.
    void draw_everything() {
        std::size_t points = 0;
        const Point probe = point();
        for (const Annotation& a : e_.objects) {
            for (const paths::Polyline& line : paths::outline(a, e_.objects)) {
                points += line.size();
            }
            for (const paths::StrokeRun& run : paths::stroke_runs(a)) {
                points += run.points.size();
            }
            (void)paths::hit_test(a, probe, paths::kSelectTolerance, e_.objects);
            (void)paths::rotated_bounds(a);
        }
        (void)e_.selection_bounds();
        (void)e_.marquee();
        if (points > std::numeric_limits<std::size_t>::max() / 2) {
            std::abort();  // keeps the work above from being optimised away
        }
    }

    const Annotation& pick_object() {
        return e_.objects[in_.ConsumeIntegralInRange<std::size_t>(0, e_.objects.size() - 1)];
    }

    double coordinate() {
        switch (in_.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
        case 1:
        case 2:
        case 3:
            return static_cast<double>(in_.ConsumeIntegralInRange<int>(-64, 2047));
        case 4:
            return in_.ConsumeIntegralInRange<int>(-1024, 32767) / 16.0;
        case 5: {
            static constexpr double kSpecial[] = {
                std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::max(),
                std::numeric_limits<double>::lowest(),   1e308,
                -1e308,                                   1e154,
                std::numeric_limits<double>::min(),       std::numeric_limits<double>::denorm_min(),
                -0.0,                                     9007199254740993.0,
            };
            return kSpecial[in_.ConsumeIntegralInRange<std::size_t>(0, std::size(kSpecial) - 1)];
        }
        case 6: {
            double raw = 0.0;
            const std::uint64_t bits = in_.ConsumeIntegral<std::uint64_t>();
            std::memcpy(&raw, &bits, sizeof raw);
            return raw;
        }
        default:
            return in_.ConsumeFloatingPoint<double>();
        }
    }

    // Free coordinates, or spots that matter: object corners and centres,
    // arrow ends, the selection's handles.
    Point point() {
        const int mode = in_.ConsumeIntegralInRange<int>(0, 3);
        if (mode == 0 || e_.objects.empty()) {
            return {coordinate(), coordinate()};
        }
        const double dx = in_.ConsumeIntegralInRange<int>(-12, 12);
        const double dy = in_.ConsumeIntegralInRange<int>(-12, 12);
        Point base;
        if (mode == 1) {
            const std::optional<Rect> b = e_.selection_bounds();
            if (!b) {
                return {coordinate(), coordinate()};
            }
            const Point spots[] = {b->min, {b->max.x, b->min.y}, b->max, {b->min.x, b->max.y},
                                   {(b->min.x + b->max.x) / 2, b->min.y - gestures::kRotationHandleOffset}};
            base = spots[in_.ConsumeIntegralInRange<int>(0, 4)];
        } else {
            const Annotation& a = pick_object();
            const Rect b = paths::bounds(a);
            const Point c = paths::rect_centre(b);
            if (const auto ends = paths::arrow_ends(a, e_.objects)) {
                base = in_.ConsumeBool() ? ends->start : ends->end;
            } else if (mode == 2) {
                base = paths::rotate_about(b.min, c, a.angle);
            } else {
                base = c;
            }
        }
        return {base.x + dx, base.y + dy};
    }

    // Undo everything back to the empty document, then redo to the same objects.
    void round_trip(int operation) {
        const std::string final_objects = fingerprint(e_.objects);
        const std::size_t depth = e_.undo_stack.size();
        const std::size_t pending = e_.redo_stack.size();
        for (std::size_t i = 0; i < depth; ++i) {
            e_.undo();
            if (const std::optional<std::string> fault = check_invariants(e_)) {
                fail("invariant broken while undoing", *fault, operation);
            }
        }
        if (!e_.objects.empty() || e_.can_undo() || e_.redo_stack.size() != depth + pending) {
            fail("undo", "undoing every step did not give the empty document", operation);
        }
        for (std::size_t i = 0; i < depth; ++i) {
            e_.redo();
            if (const std::optional<std::string> fault = check_invariants(e_)) {
                fail("invariant broken while redoing", *fault, operation);
            }
        }
        if (fingerprint(e_.objects) != final_objects) {
            fail("redo", "redoing every step did not give the same objects", operation);
        }
    }

    FuzzedDataProvider& in_;
    Editor e_;
    std::vector<Annotation> copied_;
    std::uint64_t paste_count_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Session session(in);
    session.run();
    return 0;
}
