// The per-user Run value that starts the resident at log-on.
#pragma once

#include "base/error.h"

namespace kadrovix {

// Writes the running executable's quoted path as the "Kadrovix" value under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run, or deletes the value
// (a value already missing counts as success).
Result<void> set_start_with_windows(bool enabled);

// Whether a string value named "Kadrovix" exists, whatever it holds. A value
// of another type is an error.
Result<bool> start_with_windows_enabled();

}  // namespace kadrovix
