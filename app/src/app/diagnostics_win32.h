// The self-tests behind "--google-diagnostic", "--editor-diagnostic" and the
// "--diagnostic" role. Results go to files under target/ (relative to the
// working folder) and to the exit code.
#pragma once

#include "base/error.h"

namespace kadrovix {

// Uploads a 64 x 64 synthetic image through the image search and checks the
// result redirect; writes target/google-diagnostic.txt on success.
Result<int> run_google_diagnostic();

// Times one grab and one session set-up; writes target/editor-diagnostics.txt.
Result<int> run_editor_diagnostic();

// Diagnostics role: notes the start time and CPU time, then starts the
// monitor thread that asks the UI thread for the check after 2 seconds.
Result<void> start_diagnostic_monitor();

// The check itself (on MSG_DIAGNOSTIC_CHECK): five editor runs, GDI and
// memory counters, target/diagnostics.json.
Result<void> run_diagnostic_check();

}  // namespace kadrovix
