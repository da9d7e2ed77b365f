// Undo history: each step keeps only the objects a change touched, before and
// after, matched by id.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "editor/editor.h"
#include "editor/id_index.h"

namespace kadrovix {

namespace {

using editor_detail::IdIndex;

bool by_id(const Annotation& a, const Annotation& b) { return a.id < b.id; }

}  // namespace

void Editor::commit(std::vector<Annotation> snapshot) {
    if (snapshot == objects) {
        // Nothing changed: nothing to record, and the redo stack stays usable.
        return;
    }
    const IdIndex current_index(objects);
    const IdIndex snapshot_index(snapshot);

    // unchanged[i]: the first current object with snapshot[i]'s id equals it.
    std::vector<char> unchanged(snapshot.size(), 0);
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        const std::size_t at = current_index.find(snapshot[i].id);
        unchanged[i] = at != IdIndex::kNone && objects[at] == snapshot[i];
    }

    HistoryStep step;
    for (std::size_t j = 0; j < objects.size(); ++j) {
        const std::uint64_t id = objects[j].id;
        const std::size_t at = snapshot_index.find(id);
        const bool same = at != IdIndex::kNone && unchanged[at] != 0 && current_index.find(id) == j;
        if (!same) {
            step.after.push_back(objects[j]);
        }
    }
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        if (unchanged[i] == 0) {
            step.before.push_back(std::move(snapshot[i]));
        }
    }
    undo_stack.push_back(std::move(step));
    redo_stack.clear();
}

void Editor::apply_step(const std::vector<Annotation>& remove, const std::vector<Annotation>& insert) {
    if (!remove.empty()) {
        IdIndex removed;
        removed.reserve(remove.size());
        for (std::size_t i = 0; i < remove.size(); ++i) {
            removed.insert(remove[i].id, i);
        }
        std::erase_if(objects, [&](const Annotation& a) { return removed.contains(a.id); });
    }

    const auto kept_end = static_cast<std::ptrdiff_t>(objects.size());
    objects.insert(objects.end(), insert.begin(), insert.end());

    if (objects.size() > 1) {
        // The kept objects are normally in id order already: sorting only the
        // inserted tail and merging keeps undo linear in the document size.
        const auto mid = objects.begin() + kept_end;
        if (std::is_sorted(objects.begin(), mid, by_id)) {
            std::stable_sort(mid, objects.end(), by_id);
            std::inplace_merge(objects.begin(), mid, objects.end(), by_id);
        } else {
            std::stable_sort(objects.begin(), objects.end(), by_id);
        }
    }

    if (!selection.empty()) {
        const IdIndex present(objects);
        std::erase_if(selection, [&](std::uint64_t id) { return !present.contains(id); });
    }
}

void Editor::undo() {
    cancel_gesture();
    if (undo_stack.empty()) {
        return;
    }
    HistoryStep step = std::move(undo_stack.back());
    undo_stack.pop_back();
    apply_step(step.after, step.before);
    redo_stack.push_back(std::move(step));
}

void Editor::redo() {
    cancel_gesture();
    if (redo_stack.empty()) {
        return;
    }
    HistoryStep step = std::move(redo_stack.back());
    redo_stack.pop_back();
    apply_step(step.before, step.after);
    undo_stack.push_back(std::move(step));
}

}  // namespace kadrovix
