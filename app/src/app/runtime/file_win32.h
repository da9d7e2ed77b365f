// Whole-file writes that survive a power loss once they return.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string_view>

namespace kadrovix::win32 {

// Creates (or truncates) `path`, writes `bytes` and flushes them to the disk
// before closing. A file about to be renamed over another must be written
// this way: otherwise the rename can reach the disk before the data, and a
// power loss leaves an empty file in place of the old one. Returns 0, or the
// system error of the step that failed.
DWORD write_file_durably(const std::filesystem::path& path, std::string_view bytes);

}  // namespace kadrovix::win32
