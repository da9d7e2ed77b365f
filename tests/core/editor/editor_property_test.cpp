// Random editing sessions: every operation must keep the document consistent,
// and the history must take it back to empty and forward again exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "editor/editor.h"
#include "editor/invariants.h"
#include "paths/geometry.h"

namespace kadrovix {
namespace {

class Session {
public:
    explicit Session(std::uint64_t seed) : rng_(seed) {}

    // Runs one primitive operation; returns its description for failure
    // traces. Pointer gestures are planned as whole press-drag-release runs
    // (sometimes left unfinished) so that shapes actually get drawn, moved,
    // resized and rotated between the other commands.
    std::string step(Editor& e) {
        std::ostringstream log;
        if (drags_left_ > 0) {
            --drags_left_;
            if (chance(0.05)) {
                const bool shift = chance(0.5);
                const bool alt = chance(0.5);
                log << "modifiers_changed(" << shift << ", " << alt << ")";
                e.modifiers_changed(shift, alt);
                return log.str();
            }
            const Point p = next_drag_point(e);
            if (e.gesture) {
                e.gesture->shift = shift_;
                e.gesture->alt = alt_;
            }
            log << "drag(" << p.x << ", " << p.y << ")";
            e.drag(p);
            if (drags_left_ == 0 && chance(0.9)) {
                release_pending_ = true;
            }
            return log.str();
        }
        if (release_pending_) {
            release_pending_ = false;
            log << "release";
            e.release();
            return log.str();
        }

        const int op = pick(0, 99);
        if (op < 45) {
            if (chance(0.45)) {
                const auto t = static_cast<Tool>(pick(1, kToolCount - 1));
                e.set_tool(t);
                log << "set_tool(" << static_cast<int>(t) << ") ";
            } else if (e.tool != Tool::Select && chance(0.6)) {
                e.set_tool(Tool::Select);
                log << "set_tool(0) ";
            }
            const Point p = point(e);
            shift_ = chance(0.2);
            alt_ = chance(0.2);
            drags_left_ = pick(0, 8);
            release_pending_ = drags_left_ == 0;
            log << "press(" << p.x << ", " << p.y << ", " << shift_ << ", " << alt_ << ")";
            e.press(p, shift_, alt_);
        } else if (op < 47) {
            const Point p = point(e);
            drags_left_ = pick(1, 4);
            shift_ = false;
            alt_ = false;
            log << "begin_rotate(" << p.x << ", " << p.y << ")";
            e.begin_rotate(p);
        } else if (op < 50) {
            const Rgb c = kPresetColours[pick(0, 5)];
            log << "set_colour";
            e.set_colour(c);
        } else if (op < 53) {
            log << "narrow";
            e.narrow();
        } else if (op < 56) {
            log << "widen";
            e.widen();
        } else if (op < 59) {
            log << "delete_selection";
            e.delete_selection();
        } else if (op < 64) {
            const double d = chance(0.5) ? 1.0 : 10.0;
            const int dir = pick(0, 3);
            const double dx = dir == 0 ? d : dir == 1 ? -d : 0.0;
            const double dy = dir == 2 ? d : dir == 3 ? -d : 0.0;
            log << "nudge(" << dx << ", " << dy << ")";
            e.nudge_selection(dx, dy);
        } else if (op < 69) {
            static const char* const kTexts[] = {"note", "  ", "", "\xE3\x80\x80", "two words", "\xC3\xA9"};
            const char* text = kTexts[pick(0, 5)];
            const Point p = point(e);
            const double font = chance(0.1) ? 400.0 : real(8.0, 300.0);
            log << "add_text(\"" << text << "\", " << font << ")";
            e.add_text(p.x, p.y, text, real(0, 200), real(0, 60), kPresetColours[pick(0, 5)], font);
        } else if (op < 72) {
            std::vector<TextLayoutUpdate> entries;
            for (const Annotation& a : e.objects) {
                if (a.kind() == ShapeKind::Text && chance(0.5)) {
                    entries.push_back({a.id, real(8.0, 300.0), real(0, 300), real(0, 100)});
                }
            }
            log << "update_text_layout(" << entries.size() << ")";
            e.update_text_layout(entries);
        } else if (op < 77) {
            log << "copy";
            copied_ = e.copy_selection();
            paste_count_ = 0;
        } else if (op < 82) {
            log << "paste(" << copied_.size() << ", " << paste_count_ + 1 << ")";
            e.paste(copied_, ++paste_count_);
        } else if (op < 90) {
            log << "undo";
            e.undo();
        } else if (op < 96) {
            log << "redo";
            e.redo();
        } else if (op < 98) {
            log << "release";
            e.release();
        } else {
            log << "cancel_gesture";
            e.cancel_gesture();
        }
        return log.str();
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    double real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    // Mostly points on or near existing objects and their handles, so that
    // presses select, move, resize, rotate and grab arrow ends, not just miss.
    Point point(const Editor& e) {
        const int kind = pick(0, 9);
        if (e.selection.size() == 1 && chance(0.3)) {
            for (const Annotation& a : e.objects) {
                if (a.id == e.selection.front() && a.kind() == ShapeKind::Arrow) {
                    const auto ends = paths::arrow_ends(a, e.objects);
                    return jitter(chance(0.5) ? ends->start : ends->end);
                }
            }
        }
        if (kind < 3 || e.objects.empty()) {
            return {std::round(real(0, 800)), std::round(real(0, 600))};
        }
        if (kind < 5) {
            if (const std::optional<Rect> b = e.selection_bounds()) {
                const Point corners[] = {b->min, {b->max.x, b->min.y}, b->max, {b->min.x, b->max.y},
                                         {(b->min.x + b->max.x) / 2, b->min.y - gestures::kRotationHandleOffset}};
                return jitter(corners[pick(0, 4)]);
            }
        }
        const Annotation& a = e.objects[static_cast<std::size_t>(pick(0, static_cast<int>(e.objects.size()) - 1))];
        const Rect b = paths::bounds(a);
        const Point c = paths::rect_centre(b);
        switch (a.kind()) {
        case ShapeKind::Rectangle:
            // Corners select the rectangle; the inside is where arrows attach.
            return chance(0.5) ? jitter(paths::rotate_about(b.min, c, a.angle)) : jitter(c);
        case ShapeKind::Ellipse:
            return chance(0.5) ? jitter(paths::rotate_about({b.max.x, c.y}, c, a.angle)) : jitter(c);
        case ShapeKind::Arrow:
            if (const auto ends = paths::arrow_ends(a, e.objects)) {
                return jitter(chance(0.5) ? ends->start : ends->end);
            }
            return c;
        case ShapeKind::Stroke:
            return jitter(a.as<shape::Stroke>()->points.front());
        case ShapeKind::Text:
            return jitter(c);
        }
        return c;
    }

    Point next_drag_point(const Editor& e) {
        if (!e.gesture || chance(0.3)) {
            return point(e);
        }
        const Point from = e.gesture->current_point;
        if (chance(0.1)) {
            return from;  // no movement
        }
        return {from.x + std::round(real(-60, 60)), from.y + std::round(real(-60, 60))};
    }

    Point jitter(Point p) {
        if (chance(0.3)) {
            return p;
        }
        return {p.x + real(-5, 5), p.y + real(-5, 5)};
    }

    std::mt19937_64 rng_;
    std::vector<Annotation> copied_;
    std::uint64_t paste_count_ = 0;
    int drags_left_ = 0;
    bool release_pending_ = false;
    bool shift_ = false;
    bool alt_ = false;
};

// Runs `steps` random operations from an empty editor, checking the
// invariants after each, then walks the whole history back and forth.
void run_session(std::uint64_t seed, int steps) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Editor e;
    Session session(seed);
    std::vector<std::string> trail;
    for (int i = 0; i < steps; ++i) {
        trail.push_back(session.step(e));
        const std::optional<std::string> fault = check_invariants(e);
        if (fault) {
            std::string last;
            for (std::size_t k = trail.size() > 12 ? trail.size() - 12 : 0; k < trail.size(); ++k) {
                last += "\n  " + trail[k];
            }
            FAIL() << "after step " << i << ": " << *fault << "; last operations:" << last;
        }
    }
    e.release();
    ASSERT_EQ(check_invariants(e), std::nullopt);

    // Back to the empty document, one step at a time, remembering each state.
    std::vector<std::vector<Annotation>> states;
    states.push_back(e.objects);
    const std::size_t depth = e.undo_stack.size();
    // Undone steps left from the session stay on the redo stack beneath ours.
    const std::size_t pending_redo = e.redo_stack.size();
    for (std::size_t i = 0; i < depth; ++i) {
        e.undo();
        ASSERT_EQ(check_invariants(e), std::nullopt) << "undo " << i;
        states.push_back(e.objects);
    }
    EXPECT_TRUE(e.objects.empty());
    EXPECT_FALSE(e.can_undo());
    EXPECT_EQ(e.redo_stack.size(), depth + pending_redo);

    // And forward again through exactly the same states.
    for (std::size_t i = 0; i < depth; ++i) {
        e.redo();
        ASSERT_EQ(check_invariants(e), std::nullopt) << "redo " << i;
        ASSERT_EQ(e.objects, states[depth - 1 - i]) << "redo " << i << " of " << depth;
    }
    EXPECT_EQ(e.redo_stack.size(), pending_redo);
}

TEST(EditorProperty, RandomSessionsKeepInvariantsAndHistoryRoundTrips) {
    for (std::uint64_t seed = 1; seed <= 150; ++seed) {
        run_session(seed, 300);
        if (::testing::Test::HasFatalFailure() || ::testing::Test::HasNonfatalFailure()) {
            return;
        }
    }
}

TEST(EditorProperty, LongSessionsKeepInvariantsAndHistoryRoundTrips) {
    for (std::uint64_t seed = 1000; seed < 1004; ++seed) {
        run_session(seed, 3000);
        if (::testing::Test::HasFatalFailure() || ::testing::Test::HasNonfatalFailure()) {
            return;
        }
    }
}

}  // namespace
}  // namespace kadrovix
