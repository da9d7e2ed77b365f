// Program entry for every role: start-up sequence, message loop, orderly end
// and the fatal path.
#pragma once

#include <span>
#include <string>

namespace kadrovix {

// Exit code: 0 after an orderly end (or "already running"), 1 after a fatal
// failure, or a self-test's own result.
int run_program(std::span<const std::wstring> args);

}  // namespace kadrovix
