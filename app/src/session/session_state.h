// The plain state of one capture session: what the window shows and edits,
// without any window, bitmap or system handle. The Win32 session window owns
// one of these next to its rendering resources; everything in region.h and
// input.h reads and changes only this.
//
// The current tool, colour and stroke width live in `editor` (it stamps them
// on every new object); the session keeps no second copy that could drift.
//
// The rest of the session's platform-free logic, by file:
//   commands.h  command values, virtual keys, the shortcut table
//   parts.h     what the toolbar, dimension editor, text entry and picker report
//   region.h    dragging the region and its handles; the hint box
//   input.h     keys, the cancel chain, mouse, wheel, cursor
//   execute.h   carrying out a command
//   overlay.h   selection frame, rotation knob, brush preview geometry
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "editor/annotation.h"
#include "editor/editor.h"
#include "render/output_region.h"
#include "render/screen_geometry.h"

namespace kadrovix {

// The capture region in desktop pixels: its edges, left <= right and
// top <= bottom after every update, and whether there is one at all.
struct Region : RegionF {
    bool exists = false;
    friend bool operator==(const Region&, const Region&) = default;
};

// A drag that makes a new region or moves one of its eight handles.
struct RegionDrag {
    bool active = false;
    Region start;   // the region as it was at the press; a cancel restores it
    Point anchor;   // new region: the press point
    bool moves_handle = false;
    int handle = 0;  // 0..7, see region.h
};

inline constexpr Rgb kInitialColour = kPresetColours[0];
inline constexpr double kInitialTextSize = 24.0;

struct SessionState {
    Desktop desktop;
    Region region;
    RegionDrag region_drag;
    // On until the first region of at least 2 x 2 exists, and while a handle
    // is dragged; off while the user edits.
    bool region_selection = true;
    // Desktop pixels, clamped to the desktop on every mouse event; (-100, -100)
    // until the first one, which keeps the hint hidden.
    Point pointer{-100.0, -100.0};
    double text_size = kInitialTextSize;  // for the next text entry
    Rgb custom_colour = kInitialColour;
    bool custom_colour_chosen = false;
    bool live = false;
    bool search_in_progress = false;
    bool toolbar_visible = true;
    bool width_indicator_visible = false;
    bool eyedropper_on = false;
    Editor editor;  // tool, colour, width, objects, selection, gesture, history
};

// A session as it starts, before the settings are applied: no region, the
// Rectangle tool, red, width 3.
inline SessionState new_session(Desktop desktop) {
    SessionState s;
    s.desktop = desktop;
    s.editor.tool = Tool::Rectangle;
    s.editor.colour = kInitialColour;
    s.editor.width = 3.0;
    return s;
}

// The values a session takes from the settings and the cursor at its start.
// A width outside 1..40 is brought into range; one that is not a number
// keeps the initial 3. Without a cursor position the pointer stays off the
// desktop, which keeps the hint hidden until the first mouse event.
inline void apply_start_values(SessionState& s, Rgb custom_colour, double stroke_width,
                               std::optional<Point> cursor_on_screen) {
    s.custom_colour = custom_colour;
    if (!std::isnan(stroke_width)) {
        s.editor.width = std::clamp(stroke_width, kMinStrokeWidth, kMaxStrokeWidth);
    }
    if (cursor_on_screen) {
        s.pointer = Point{cursor_on_screen->x - s.desktop.x, cursor_on_screen->y - s.desktop.y};
    }
}

}  // namespace kadrovix
