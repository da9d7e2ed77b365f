// UTF-8 <-> UTF-16 at the Win32 boundary, and the system's own wording of
// error codes. User-facing error texts travel as UTF-8 std::string.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kadrovix::win32 {

std::wstring to_wide(std::string_view utf8);
std::string to_utf8(std::wstring_view wide);

// The system's description of a Win32 error or HRESULT, without the trailing
// line break; empty when the system has none.
std::string system_message(DWORD code);
std::string hresult_message(HRESULT hr);

// An error from the system: its description, or the code in hexadecimal when
// the system has no text for it.
std::string describe_error(DWORD code);

}  // namespace kadrovix::win32
