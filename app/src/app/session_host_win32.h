// The editor process's side of a capture session: starting it, ending it,
// and what follows every message the session handled.
#pragma once

#include "app/app_state_win32.h"
#include "base/error.h"

namespace kadrovix {

// The capture request in the editor process: grab, build the session, show it.
Result<void> begin_capture_session(AppState& app);

// Ends the open session: persists the custom colour and the settings, hides
// the window and ends the editor process.
void end_capture_session(AppState& app);

// After every handled message while a session is open: re-arms the refresh
// timer and stores a changed capture stroke width or custom colour.
Result<void> session_message_tail(AppState& app);

}  // namespace kadrovix
