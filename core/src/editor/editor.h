// The annotation document of one capture and its editing state. It never
// fails outward: bad input (non-finite coordinates, invalid text) is ignored
// as each operation documents.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/annotation.h"
#include "editor/gestures/gesture.h"

namespace kadrovix {

// Only the objects a change touched, matched by id: changed objects appear in
// both lists, new ones only in `after`, removed ones only in `before`.
struct HistoryStep {
    std::vector<Annotation> before;
    std::vector<Annotation> after;
};

struct TextLayoutUpdate {
    std::uint64_t id = 0;
    double font_size = 0.0;
    double width = 0.0;
    double height = 0.0;
};

class Editor {
public:
    // Read by the session, the renderer and tests. Writers go through the
    // operations below, which keep the invariants: unique ids, a selection
    // that names existing objects without duplicates, normalised boxes,
    // strokes with at least one point, objects in ascending id order.
    std::vector<std::uint64_t> selection;
    std::vector<Annotation> objects;
    std::vector<HistoryStep> undo_stack;
    std::vector<HistoryStep> redo_stack;
    std::optional<Gesture> gesture;
    double width = 3.0;
    Rgb colour = kPresetColours[0];
    std::uint64_t id_counter = 0;
    Tool tool = Tool::Select;

    // --- document ---
    void set_tool(Tool t);
    void set_colour(Rgb c);
    void narrow();
    void widen();
    void delete_selection();
    void nudge_selection(double dx, double dy);
    // Returns the new id, or nullopt when nothing was added.
    std::optional<std::uint64_t> add_text(double x, double y, std::string_view text, double layout_width,
                                          double layout_height, Rgb colour, double font_size);
    void update_text_layout(const std::vector<TextLayoutUpdate>& entries);
    std::vector<Annotation> copy_selection() const;
    // `count` is how often this copy has been pasted, this paste included.
    void paste(const std::vector<Annotation>& copied, std::uint64_t count);

    bool is_selected(std::uint64_t id) const;
    // Normalised rectangle of a running marquee, when its points are finite.
    std::optional<Rect> marquee() const;
    std::optional<Rect> selection_bounds() const;

    // Restores the gesture's snapshot and drops the gesture.
    void cancel_gesture();

    // --- gestures ---
    void press(Point p, bool shift, bool alt);
    void drag(Point p);
    void modifiers_changed(bool shift, bool alt);
    void release();
    void begin_rotate(Point p);

    // --- history ---
    void commit(std::vector<Annotation> snapshot);
    void apply_step(const std::vector<Annotation>& remove, const std::vector<Annotation>& insert);
    void undo();
    void redo();
    bool can_undo() const { return !undo_stack.empty(); }
    bool can_redo() const { return !redo_stack.empty(); }

private:
    std::uint64_t next_id() { return ++id_counter; }
    // Width and colour to every selected object (and every segment width of a
    // selected stroke), then commit.
    void apply_style_to_selection();
    void recompute_gesture();
};

}  // namespace kadrovix
