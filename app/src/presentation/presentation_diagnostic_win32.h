// "--presentation-diagnostic": drives presentation mode's input registration
// against a hidden probe window and writes its verdict to
// target/presentation-diagnostics.txt.
#pragma once

#include "base/error.h"

namespace kadrovix {

inline constexpr char kPresentationDiagnosticPass[] =
    "PASS: independent raw input, native shortcut rollback, priority hook fallback on collision, hook and "
    "registrations released";

// 0 when every check passed; the first failing check's text otherwise.
Result<int> run_presentation_diagnostic();

}  // namespace kadrovix
