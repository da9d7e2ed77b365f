// The capture region: dragging out a new one, moving its eight handles, and
// the "Select an area" hint shown before the first region exists.
//
// A drag goes begin_new_region / begin_handle_drag -> drag_region (any number)
// -> end_region_drag, or cancel_region_drag (Esc, loss of mouse capture). All
// of them read the pointer from the session, so the caller stores the clamped
// pointer first (clamp_to_desktop). Mouse capture is the caller's business.
#pragma once

#include <array>
#include <optional>

#include "editor/annotation.h"
#include "session/session_state.h"

namespace kadrovix {

// A handle is hit at a distance of at most this many pixels.
inline constexpr double kRegionHandleRadius = 8.0;
// A region narrower or lower than this after a drag is dropped.
inline constexpr double kMinRegionSize = 2.0;

// Handles are numbered clockwise from the top-left corner:
//   0 (l, t)   1 (cx, t)   2 (r, t)
//   7 (l, cy)              3 (r, cy)
//   6 (l, b)   5 (cx, b)   4 (r, b)
inline constexpr int kRegionHandleCount = 8;
std::array<Point, kRegionHandleCount> handle_points(const Region& region);

// The lowest-numbered handle within kRegionHandleRadius of p; none without a region.
std::optional<int> hit_handle(const Region& region, Point p);

// Edges included.
bool region_contains(const Region& region, Point p);

// Into 0..width, 0..height, edges included. A coordinate that is not a
// number stays so (a drag then has no region until the next real point).
Point clamp_to_desktop(Point p, const Desktop& desktop);

// Starts a new region at the pointer: the old region is kept for a cancel.
void begin_new_region(SessionState& s);
// Starts dragging handle 0..7 of the existing region; region-selection mode
// is on while it lasts.
void begin_handle_drag(SessionState& s, int handle);
// Follows the pointer. A handle moves its edges only, and dragging an edge
// across the opposite one flips the region rather than stopping it.
void drag_region(SessionState& s);
// Keeps the region when it is at least 2 x 2 (editing starts), otherwise
// removes it and stays in region-selection mode.
void end_region_drag(SessionState& s);
// Restores the region the drag started from. False when no drag was running.
bool cancel_region_drag(SessionState& s);

// --- hint ---

inline constexpr char kHintTitle[] = "Select an area";  // "Segoe UI" 13 px
inline constexpr char kHintDetail[] = "Esc to cancel";   // 11 px
inline constexpr double kHintHeight = 48.0;
inline constexpr double kHintPadding = 20.0;  // added to the title's width

// Before the first region, while nothing is dragged and the pointer has been seen.
bool hint_visible(const SessionState& s);

// Where the hint box goes, in desktop pixels. `title_width` is the measured
// width of kHintTitle; `monitor` is the monitor nearest the pointer, in
// desktop pixels (see to_screen / to_desktop). The box sits below-right of
// the pointer, flips per axis when it would come within 4 px of the
// monitor's far edge, and always stays on that monitor.
Rect hint_box(double title_width, Point pointer, const Rect& monitor);

// Between desktop pixels and screen coordinates (for monitor queries).
Point to_screen(const Desktop& desktop, Point p);
Rect to_desktop(const Desktop& desktop, const Rect& screen_rect);

}  // namespace kadrovix
