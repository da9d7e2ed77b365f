// The per-user Run value that starts the resident at log-on, without the
// registry: its location and the exact data stored.
#pragma once

#include <string>
#include <string_view>

namespace kadrovix {

inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"Kadrovix";

// The executable's path in double quotes (a path with spaces would otherwise
// be split by the shell), with no arguments, followed by the terminating NUL.
// The value's size in bytes is size() * 2: it counts the NUL.
std::u16string run_value_data(std::u16string_view executable_path);

}  // namespace kadrovix
