// "--hotkey-diagnostic": checks that the system takes a set of hot keys,
// among them keys without modifiers, with the no-repeat flag.
#pragma once

#include "base/error.h"

namespace kadrovix {

// Registers and at once releases each combination as a thread hot key; the
// first refusal is the result, with the system's error. 0 when all passed.
Result<int> run_hotkey_diagnostic();

}  // namespace kadrovix
