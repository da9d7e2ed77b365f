// Where a session's pictures of the desktop come from. A frozen session works
// on the picture grabbed at its start (or when it was frozen). A live session
// shows the desktop as it is, so its outputs and its eyedropper grab it anew.
#pragma once

#include <cstdint>

#include "session/session_state.h"

namespace kadrovix {

// Whether an output (copy, save, search) is rendered from a fresh grab of the
// desktop rather than the held picture: in live mode, once there is a region
// to output.
bool output_grabs_desktop(const SessionState& s);

enum class EyedropperPicture : std::uint8_t {
    Held,           // the picture the session holds
    GrabNow,        // grabbed anew before the press or move is handled
    GrabAtRelease,  // the press waits; grabbed and picked at the release
};

// The picture the eyedropper reads at a press or move while it is on. Live,
// where the window is left out of screen grabs, it is grabbed at every press
// and move. Where it cannot be left out the window would have to step aside
// under the held button, losing the press and the focus, so the pick waits
// for the release.
EyedropperPicture eyedropper_picture(const SessionState& s, bool excluded_from_capture);

}  // namespace kadrovix
