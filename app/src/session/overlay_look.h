// What one overlay frame shows, reduced to what decides which pixels a change
// touches, and the area a change from one frame to the next must repaint.
// The session builds a look for every change and repaints only the
// difference; the painter draws from the same look, so that what is drawn
// and what is repainted cannot disagree.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "editor/annotation.h"
#include "session/dimensions/dimension_label.h"
#include "session/overlay.h"
#include "session/session_state.h"
#include "toolbar/toolbar.h"

namespace kadrovix {

struct TooltipLook {
    ToolbarRect box;
    TooltipShown shown;
    friend bool operator==(const TooltipLook&, const TooltipLook&) = default;
};

struct OverlayLook {
    // --- a difference in any of these repaints the whole overlay ---
    Desktop desktop;
    std::uint64_t picture = 0;            // the frozen picture's generation
    Region region;                        // with its veil, frame, handles and label place
    std::optional<std::uint64_t> edited;  // the text shown only as its live field
    bool live = false;
    // The text entry, the dimension editor and the colour picker draw from
    // state of their own: while one is open, every change repaints all.
    bool open_editor = false;

    // --- the rest repaints where it was and where it is ---
    std::vector<Annotation> objects;  // as drawn: none without a region
    std::optional<Rect> hint;
    std::optional<SelectionFrame> selection;
    std::optional<Rect> marquee;
    std::optional<BrushPreview> preview;
    std::optional<Point> loupe;  // the pointer the eyedropper magnifies at
    std::optional<dimensions::LabelPaint> label;
    // The toolbar's panels follow its input and the button under the pointer.
    std::optional<ToolbarInput> toolbar;
    std::optional<CommandValue> toolbar_pointer;
    std::vector<TooltipLook> tooltips;
};

// A rectangle of whole pixels, right and bottom exclusive.
struct PixelBox {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

// The area waiting to be repainted: everything, or a few rectangles.
class DirtyArea {
public:
    void add(const Rect& r);
    void add(const PixelBox& box);
    void add_everything() { everything_ = true; }
    bool empty() const { return !everything_ && rects_.empty(); }
    void clear();

    // Whole-pixel rectangles on the desktop, at most kMaxBoxes, merged where
    // one box would cost about as much as two; the whole desktop when they
    // would cover most of it.
    std::vector<PixelBox> boxes(const Desktop& desktop) const;

    static constexpr std::size_t kMaxBoxes = 4;

private:
    bool everything_ = false;
    std::vector<Rect> rects_;
};

// Adds to `area` what differs between a frame showing `before` and one
// showing `after`.
void add_changes(DirtyArea& area, const OverlayLook& before, const OverlayLook& after);

// Adds where objects were added, removed or changed between two documents
// (each in ascending id order), and where an attached arrow moved with its
// target.
void add_object_changes(DirtyArea& area, std::span<const Annotation> before, std::span<const Annotation> after);

}  // namespace kadrovix
