// Document commands of the editor: tool and style, delete, nudge, text,
// copy and paste, and the queries the session and renderer read.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/editor.h"
#include "editor/id_index.h"
#include "paths/geometry.h"

namespace kadrovix {

namespace {

using editor_detail::IdIndex;

bool finite(double v) { return std::isfinite(v); }

// Unicode White_Space code points.
bool is_unicode_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// True when `text` holds no code point other than white space. Bytes that are
// not well-formed UTF-8 count as content: they are not white space.
bool is_blank_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t c = 0;
        char32_t min_value = 0;
        if (lead < 0x80) {
            length = 1;
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            c = lead & 0x1F;
            min_value = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            c = lead & 0x0F;
            min_value = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            c = lead & 0x07;
            min_value = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if (c < min_value || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
        if (!is_unicode_space(c)) {
            return false;
        }
        i += length;
    }
    return true;
}

bool valid_font_size(double size) { return size >= kMinFontSize && size <= kMaxFontSize; }

// Moves an object by (dx, dy) through the same box mapping that move and
// resize use, so every kind is shifted by one rule.
void translate(Annotation& a, double dx, double dy) {
    const Rect from = paths::bounds(a);
    const Rect to{{from.min.x + dx, from.min.y + dy}, {from.max.x + dx, from.max.y + dy}};
    paths::map_to_box(a, from, to);
}

// The targets of an arrow's attachments, copied out of `list`. The geometry
// helpers search whatever list they are handed, so giving them just these
// keeps an arrow's lookup constant-time instead of a scan of the document.
std::vector<Annotation> attachment_targets(const Annotation& a, const std::vector<Annotation>& list,
                                           const IdIndex& index) {
    std::vector<Annotation> targets;
    const auto* arrow = a.as<shape::Arrow>();
    if (arrow == nullptr) {
        return targets;
    }
    for (const auto* att : {&arrow->start_attachment, &arrow->end_attachment}) {
        if (!att->has_value()) {
            continue;
        }
        const std::size_t at = index.find((*att)->target);
        if (at == IdIndex::kNone) {
            continue;
        }
        const bool already = std::any_of(targets.begin(), targets.end(),
                                         [&](const Annotation& t) { return t.id == (*att)->target; });
        if (!already) {
            targets.push_back(list[at]);
        }
    }
    return targets;
}

// A width change while a shape is being drawn goes to that shape alone (the
// last object); the drawing's own commit records it. False when no shape is
// being drawn.
bool restyle_shape_being_drawn(Editor& e) {
    if (!e.gesture || e.gesture->kind != GestureKind::Create || e.objects.empty()) {
        return false;
    }
    e.objects.back().width = e.width;
    e.objects.back().colour = e.colour;
    return true;
}

paths::IdSet selection_set(const std::vector<std::uint64_t>& selection) {
    paths::IdSet set;
    set.reserve(selection.size());
    set.insert(selection.begin(), selection.end());
    return set;
}

}  // namespace

void Editor::cancel_gesture() {
    if (!gesture) {
        return;
    }
    objects = std::move(gesture->snapshot);
    gesture.reset();
}

void Editor::set_tool(Tool t) {
    // A half-drawn shape of the old tool cannot be continued by the new one.
    cancel_gesture();
    tool = t;
    selection.clear();
}

void Editor::set_colour(Rgb c) {
    colour = c;
    apply_style_to_selection();
}

void Editor::narrow() {
    width = std::max(width - 1.0, kMinStrokeWidth);
    if (!restyle_shape_being_drawn(*this)) {
        apply_style_to_selection();
    }
}

void Editor::widen() {
    width = std::min(width + 1.0, kMaxStrokeWidth);
    if (!restyle_shape_being_drawn(*this)) {
        apply_style_to_selection();
    }
}

void Editor::apply_style_to_selection() {
    cancel_gesture();
    if (selection.empty()) {
        return;
    }
    std::vector<Annotation> snapshot = objects;
    const paths::IdSet selected = selection_set(selection);
    for (Annotation& a : objects) {
        if (selected.count(a.id) == 0) {
            continue;
        }
        a.width = width;
        a.colour = colour;
        if (auto* stroke = a.as<shape::Stroke>()) {
            std::fill(stroke->segment_widths.begin(), stroke->segment_widths.end(), width);
        }
    }
    commit(std::move(snapshot));
}

void Editor::delete_selection() {
    cancel_gesture();
    if (selection.empty()) {
        return;
    }
    std::vector<Annotation> snapshot = objects;
    const paths::IdSet selected = selection_set(selection);
    const IdIndex index(snapshot);

    // Arrows left behind stay where they are drawn now, as free ends. The
    // drawn ends (not the bare attachment points) are used so that an arrow
    // whose two ends were bound to one spot keeps its length.
    for (Annotation& a : objects) {
        auto* arrow = a.as<shape::Arrow>();
        if (arrow == nullptr) {
            continue;
        }
        const bool start_goes = arrow->start_attachment && selected.count(arrow->start_attachment->target) != 0;
        const bool end_goes = arrow->end_attachment && selected.count(arrow->end_attachment->target) != 0;
        if (!start_goes && !end_goes) {
            continue;
        }
        const std::vector<Annotation> targets = attachment_targets(a, snapshot, index);
        const std::optional<paths::ArrowEnds> ends = paths::arrow_ends(a, targets);
        if (start_goes) {
            arrow->start = ends->start;
            arrow->start_attachment.reset();
        }
        if (end_goes) {
            arrow->end = ends->end;
            arrow->end_attachment.reset();
        }
    }

    std::erase_if(objects, [&](const Annotation& a) { return selected.count(a.id) != 0; });
    selection.clear();
    commit(std::move(snapshot));
}

void Editor::nudge_selection(double dx, double dy) {
    if (!finite(dx) || !finite(dy)) {
        return;
    }
    cancel_gesture();
    if (selection.empty()) {
        return;
    }
    std::vector<Annotation> snapshot = objects;
    const paths::IdSet kept = selection_set(selection);
    const IdIndex index(snapshot);
    for (Annotation& a : objects) {
        if (kept.count(a.id) == 0) {
            continue;
        }
        if (a.kind() == ShapeKind::Arrow) {
            const std::vector<Annotation> targets = attachment_targets(a, snapshot, index);
            paths::detach_for_transfer(a, targets, kept);
        }
        translate(a, dx, dy);
    }
    commit(std::move(snapshot));
}

std::optional<std::uint64_t> Editor::add_text(double x, double y, std::string_view text, double layout_width,
                                              double layout_height, Rgb text_colour, double font_size) {
    if (text.empty() || is_blank_utf8(text)) {
        return std::nullopt;
    }
    if (!finite(x) || !finite(y) || !finite(layout_width) || !finite(layout_height)) {
        return std::nullopt;
    }
    if (layout_width < 0.0 || layout_height < 0.0 || !valid_font_size(font_size)) {
        return std::nullopt;
    }
    cancel_gesture();
    std::vector<Annotation> snapshot = objects;
    Annotation a;
    a.geometry = shape::Text{std::string(text), Point{x, y}, font_size, layout_width, layout_height};
    a.angle = 0.0;
    a.id = next_id();
    a.width = width;
    a.colour = text_colour;
    objects.push_back(std::move(a));
    const std::uint64_t id = objects.back().id;
    commit(std::move(snapshot));
    return id;
}

void Editor::update_text_layout(const std::vector<TextLayoutUpdate>& entries) {
    if (entries.empty()) {
        return;
    }
    // Validate everything before touching anything: one bad entry refuses the lot.
    const IdIndex index(objects);
    std::vector<std::size_t> positions;
    positions.reserve(entries.size());
    for (const TextLayoutUpdate& e : entries) {
        if (!valid_font_size(e.font_size) || !finite(e.width) || !finite(e.height) || e.width < 0.0 ||
            e.height < 0.0) {
            return;
        }
        const std::size_t at = index.find(e.id);
        if (at == IdIndex::kNone || objects[at].kind() != ShapeKind::Text) {
            return;
        }
        positions.push_back(at);
    }
    // A gesture's snapshot holds the same ids at the same places (gestures
    // never add or remove anything but a new object at the end), so the
    // positions found above stay valid after the cancel.
    cancel_gesture();
    std::vector<Annotation> snapshot = objects;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const std::size_t at = positions[k];
        if (at >= objects.size() || objects[at].id != entries[k].id) {
            continue;
        }
        auto* text = objects[at].as<shape::Text>();
        if (text == nullptr) {
            continue;
        }
        text->font_size = entries[k].font_size;
        text->layout_width = entries[k].width;
        text->layout_height = entries[k].height;
    }
    commit(std::move(snapshot));
}

std::vector<Annotation> Editor::copy_selection() const {
    std::vector<Annotation> copied;
    if (selection.empty()) {
        return copied;
    }
    const paths::IdSet kept = selection_set(selection);
    const IdIndex index(objects);
    for (const Annotation& a : objects) {
        if (kept.count(a.id) == 0) {
            continue;
        }
        Annotation clone = a;
        if (clone.kind() == ShapeKind::Arrow) {
            const std::vector<Annotation> targets = attachment_targets(a, objects, index);
            paths::detach_for_transfer(clone, targets, kept);
        }
        copied.push_back(std::move(clone));
    }
    return copied;
}

void Editor::paste(const std::vector<Annotation>& copied, std::uint64_t count) {
    if (copied.empty()) {
        return;
    }
    cancel_gesture();
    std::vector<Annotation> snapshot = objects;

    // Old id -> position in `copied`; the new id of copied[i] is first_id + i.
    const IdIndex old_ids(copied);
    const std::uint64_t first_id = id_counter + 1;
    const std::uint64_t clamped = std::min<std::uint64_t>(count, std::numeric_limits<std::uint32_t>::max());
    const double offset = 16.0 * static_cast<double>(clamped);

    const auto remap = [&](std::optional<Attachment>& att) {
        if (!att) {
            return;
        }
        const std::size_t at = old_ids.find(att->target);
        if (at == IdIndex::kNone) {
            att.reset();
        } else {
            att->target = first_id + at;
        }
    };

    selection.clear();
    selection.reserve(copied.size());
    objects.reserve(objects.size() + copied.size());
    for (const Annotation& source : copied) {
        Annotation a = source;
        a.id = next_id();
        if (auto* arrow = a.as<shape::Arrow>()) {
            remap(arrow->start_attachment);
            remap(arrow->end_attachment);
        }
        translate(a, offset, offset);
        selection.push_back(a.id);
        objects.push_back(std::move(a));
    }
    tool = Tool::Select;
    commit(std::move(snapshot));
}

bool Editor::is_selected(std::uint64_t id) const {
    return std::find(selection.begin(), selection.end(), id) != selection.end();
}

std::optional<Rect> Editor::marquee() const {
    if (!gesture || gesture->kind != GestureKind::Marquee) {
        return std::nullopt;
    }
    const Point a = gesture->press_point;
    const Point b = gesture->current_point;
    if (!finite(a.x) || !finite(a.y) || !finite(b.x) || !finite(b.y)) {
        return std::nullopt;
    }
    return Rect{{std::min(a.x, b.x), std::min(a.y, b.y)}, {std::max(a.x, b.x), std::max(a.y, b.y)}};
}

std::optional<Rect> Editor::selection_bounds() const { return paths::selection_bounds(objects, selection); }

}  // namespace kadrovix
