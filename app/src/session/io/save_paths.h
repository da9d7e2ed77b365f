// File names and folders of the Save command, as UTF-16 code units (paths may
// hold unpaired surrogates, so they are never converted on the way).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kadrovix {

// Whole seconds since 1970-01-01 00:00 UTC; 0 when the clock lies before it.
std::uint64_t unix_seconds(std::chrono::system_clock::time_point now);

// "Kadrovix-{seconds}.png".
std::u16string default_file_name(std::uint64_t seconds);

// The temporary name a file is written under before it is moved onto
// `target`: the same folder, the extension of the file name replaced by
// ".{process id}.tmp" (appended when the name has none). Never equal to
// `target`.
std::u16string temporary_path(const std::u16string& target, std::uint32_t process_id);

// The folder part of `path` (without the final separator, except for a root
// such as "C:\"), or empty when the path names no folder.
std::u16string folder_of(const std::u16string& path);

}  // namespace kadrovix
