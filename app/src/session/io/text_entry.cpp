#include "session/io/text_entry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "paths/geometry.h"

namespace kadrovix {

namespace {

bool finite(double v) { return std::isfinite(v); }

std::int32_t clamp_to_int32(double v) {
    if (std::isnan(v)) return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(std::trunc(v), lo, hi));
}

// max(1, edge - start) without overflowing 32 bits.
std::int32_t extent_to(std::int32_t edge, std::int32_t start) {
    const std::int64_t d = static_cast<std::int64_t>(edge) - start;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(d, 1, std::numeric_limits<std::int32_t>::max()));
}

// Text that add_text would refuse as empty or white space only. Asking a
// scratch document keeps one definition of "blank" for both kinds of entry.
bool blank_text(std::string_view text) {
    Editor scratch;
    return !scratch.add_text(0.0, 0.0, text, 0.0, 0.0, Rgb{}, kMinFontSize).has_value();
}

std::size_t index_of(const Editor& editor, std::uint64_t id) {
    for (std::size_t i = 0; i < editor.objects.size(); ++i) {
        if (editor.objects[i].id == id) return i;
    }
    return editor.objects.size();
}

CommitOutcome add_new(Editor& editor, const TextCommit& c) {
    const std::optional<std::uint64_t> id =
        editor.add_text(c.origin.x, c.origin.y, c.text, c.width, c.height, c.colour, c.font_size);
    if (!id) return CommitOutcome::Nothing;
    editor.selection = {*id};
    return CommitOutcome::Added;
}

}  // namespace

const Annotation* text_object_at(std::span<const Annotation> objects, Point p) {
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        if (it->kind() == ShapeKind::Text && paths::hit_test(*it, p, kTextPickTolerance, objects)) return &*it;
    }
    return nullptr;
}

TextEntryStart text_entry_start(const SessionState& s, Point p) {
    TextEntryStart start;
    if (const Annotation* a = text_object_at(s.editor.objects, p)) {
        const auto& text = *a->as<shape::Text>();
        start.edited_id = a->id;
        start.angle = a->angle;
        start.text = to_edit_line_breaks(text.text);
        start.origin = text.position;
        start.font_size = text.font_size;
        start.colour = a->colour;
        return start;
    }
    start.origin = p;
    start.font_size = s.text_size;
    start.colour = s.editor.colour;
    return start;
}

std::string to_edit_line_breaks(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

EditPlacement edit_placement(Point origin, const Desktop& desktop) {
    EditPlacement p;
    p.x = clamp_to_int32(origin.x);
    p.y = clamp_to_int32(origin.y);
    p.width = extent_to(desktop.width, p.x);
    p.height = extent_to(desktop.height, p.y);
    return p;
}

bool field_contains(const Rect& box, double angle, Point p, double margin) {
    if (!finite(p.x) || !finite(p.y)) return false;
    const Point q = finite(angle) && angle != 0.0 ? paths::rotate_about(p, paths::rect_centre(box), -angle) : p;
    return q.x >= box.min.x - margin && q.x <= box.max.x + margin && q.y >= box.min.y - margin &&
           q.y <= box.max.y + margin;
}

CommitOutcome commit_text(Editor& editor, const TextCommit& c) {
    if (!c.edited_id) return add_new(editor, c);

    if (!finite(c.origin.x) || !finite(c.origin.y) || !finite(c.width) || !finite(c.height) ||
        !finite(c.font_size) || c.font_size < kMinFontSize || c.font_size > kMaxFontSize || c.width < 0.0 ||
        c.height < 0.0) {
        return CommitOutcome::Nothing;
    }
    editor.cancel_gesture();
    const std::size_t at = index_of(editor, *c.edited_id);
    if (at == editor.objects.size() || editor.objects[at].kind() != ShapeKind::Text) {
        // The object went away while the entry was open: keep the words as a
        // new object rather than dropping them.
        return add_new(editor, c);
    }
    if (blank_text(c.text)) {
        editor.selection = {*c.edited_id};
        editor.delete_selection();
        return CommitOutcome::Removed;
    }
    std::vector<Annotation> snapshot = editor.objects;
    Annotation& a = editor.objects[at];
    auto& text = *a.as<shape::Text>();
    text.text = c.text;
    text.font_size = c.font_size;
    text.layout_width = c.width;
    text.layout_height = c.height;
    a.colour = c.colour;
    const std::uint64_t id = a.id;
    editor.commit(std::move(snapshot));
    editor.selection = {id};
    return CommitOutcome::Replaced;
}

}  // namespace kadrovix
