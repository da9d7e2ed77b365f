// Starting the editor process for a capture and noticing when it ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "base/error.h"

namespace kadrovix {

// The running executable's full path.
Result<std::filesystem::path> executable_path();

// The editor's command line: the quoted executable, "--editor" and
// "--notification-owner=" with the owner window's handle in decimal.
std::wstring editor_command_line(const std::filesystem::path& exe, HWND owner);

// Lets process `pid` take the foreground: the resident received the capture
// shortcut, so it may pass that right on to the editor it starts, which
// otherwise can be refused the foreground and leave the keys with the
// previous program.
using ForegroundHandOff = std::function<void(std::uint32_t pid)>;
void allow_foreground(std::uint32_t pid);

// Starts the editor and a detached watcher thread that waits for it to end
// and then posts MSG_EDITOR_EXITED (wParam = its process id) to `owner`.
// `hand_off` runs while the editor is still suspended, before it can ask for
// the foreground. Returns the editor's process id.
Result<std::uint32_t> start_editor_process(HWND owner, const ForegroundHandOff& hand_off = allow_foreground);

}  // namespace kadrovix
