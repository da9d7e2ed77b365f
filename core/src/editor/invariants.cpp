#include "editor/invariants.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "editor/id_index.h"

namespace kadrovix {

namespace {

std::string describe(std::size_t index, const Annotation& a) {
    return "object " + std::to_string(index) + " (id " + std::to_string(a.id) + ", kind " +
           std::to_string(static_cast<int>(a.kind())) + ")";
}

bool normalised(const Rect& r) { return r.min.x <= r.max.x && r.min.y <= r.max.y; }

}  // namespace

std::optional<std::string> check_invariants(const Editor& editor) {
    const auto& objects = editor.objects;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const Annotation& a = objects[i];
        if (i > 0 && !(objects[i - 1].id < a.id)) {
            return describe(i, a) + ": ids not strictly ascending after id " + std::to_string(objects[i - 1].id);
        }
        if (a.id == 0 || a.id > editor.id_counter) {
            return describe(i, a) + ": id outside 1.." + std::to_string(editor.id_counter);
        }
        switch (a.kind()) {
        case ShapeKind::Rectangle:
            if (!normalised(a.as<shape::Rectangle>()->box)) {
                return describe(i, a) + ": rectangle box not normalised";
            }
            break;
        case ShapeKind::Ellipse:
            if (!normalised(a.as<shape::Ellipse>()->box)) {
                return describe(i, a) + ": ellipse box not normalised";
            }
            break;
        case ShapeKind::Arrow:
            if (a.angle != 0.0) {
                return describe(i, a) + ": arrow with a non-zero angle";
            }
            break;  // attachments are checked below, once every id is indexed
        case ShapeKind::Stroke: {
            const auto* stroke = a.as<shape::Stroke>();
            if (stroke->points.empty()) {
                return describe(i, a) + ": stroke without points";
            }
            if (stroke->segment_widths.size() >= stroke->points.size()) {
                return describe(i, a) + ": more segment widths than segments";
            }
            if (a.angle != 0.0) {
                return describe(i, a) + ": stroke with a non-zero angle";
            }
            break;
        }
        case ShapeKind::Text: {
            const auto* text = a.as<shape::Text>();
            if (!(text->font_size >= kMinFontSize && text->font_size <= kMaxFontSize)) {
                return describe(i, a) + ": font size out of range";
            }
            if (text->text.empty()) {
                return describe(i, a) + ": empty text";
            }
            break;
        }
        }
    }

    const editor_detail::IdIndex index(objects);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const auto* arrow = objects[i].as<shape::Arrow>();
        if (arrow == nullptr) {
            continue;
        }
        for (const auto* att : {&arrow->start_attachment, &arrow->end_attachment}) {
            if (!att->has_value()) {
                continue;
            }
            const std::size_t at = index.find((*att)->target);
            if (at == editor_detail::IdIndex::kNone) {
                return describe(i, objects[i]) + ": attached to missing id " + std::to_string((*att)->target);
            }
            const ShapeKind kind = objects[at].kind();
            if (kind != ShapeKind::Rectangle && kind != ShapeKind::Ellipse) {
                return describe(i, objects[i]) + ": attached to id " + std::to_string((*att)->target) +
                       ", which is neither a rectangle nor an ellipse";
            }
        }
    }
    editor_detail::IdIndex seen;
    seen.reserve(editor.selection.size());
    for (std::size_t k = 0; k < editor.selection.size(); ++k) {
        const std::uint64_t id = editor.selection[k];
        if (!index.contains(id)) {
            return "selection entry " + std::to_string(k) + " names missing id " + std::to_string(id);
        }
        if (!seen.insert(id, k)) {
            return "selection holds id " + std::to_string(id) + " twice";
        }
    }
    return std::nullopt;
}

}  // namespace kadrovix
