#pragma once

#include <windows.h>

#include <string>

#include "base/error.h"

namespace kadrovix::win32 {

// The attached message, or the system's description of the code, or empty.
std::string error_text(const Error& error);

// The calling thread's last Win32 error as an error value.
inline Error last_error() {
    return Error{hresult_from_win32(::GetLastError()), {}};
}
inline Unexpected<Error> fail_last_error() {
    return Unexpected<Error>{last_error()};
}
inline Unexpected<Error> fail_hresult(HRESULT hr) {
    return Unexpected<Error>{Error{static_cast<std::int32_t>(hr), {}}};
}

}  // namespace kadrovix::win32

// Returns the HRESULT of `expr` as the enclosing function's error when it failed.
#define RETURN_IF_FAILED(expr)                                           \
    do {                                                                 \
        if (const HRESULT kadrovix_hr_ = (expr); FAILED(kadrovix_hr_)) { \
            return ::kadrovix::win32::fail_hresult(kadrovix_hr_);        \
        }                                                                \
    } while (false)
