// WinHTTP handles (session, connection, request), each closed on every path,
// and WinHTTP's own error texts, which the system message table lacks.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "app/runtime/handles_win32.h"
#include "base/error.h"

namespace kadrovix::win32 {

struct InternetHandleTraits {
    using handle_type = HINTERNET;
    static HINTERNET invalid() { return nullptr; }
    static bool valid(HINTERNET h) { return h != nullptr; }
    static void close(HINTERNET h) { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = BasicHandle<InternetHandleTraits>;

// `code` (a Win32 or WinHTTP error, 12001..12199 being WinHTTP's) as an error
// value carrying the system's text: from winhttp.dll's message table when it
// has one, else from the system, else the code in hexadecimal.
Error winhttp_error(DWORD code);
inline Unexpected<Error> fail_winhttp() {
    return Unexpected<Error>{winhttp_error(::GetLastError())};
}

}  // namespace kadrovix::win32
