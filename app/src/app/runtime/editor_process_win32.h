// Starting the editor process for a capture and noticing when it ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/runtime/error.h"

namespace kadrovix {

// The running executable's full path.
Result<std::filesystem::path> executable_path();

// The editor's command line: the quoted executable, "--editor" and
// "--notification-owner=" with the owner window's handle in decimal.
std::wstring editor_command_line(const std::filesystem::path& exe, HWND owner);

// Starts the editor and a detached watcher thread that waits for it to end
// and then posts MSG_EDITOR_EXITED (wParam = its process id) to `owner`.
// Returns the editor's process id.
Result<std::uint32_t> start_editor_process(HWND owner);

}  // namespace kadrovix
