// The program's error value: a system result code (an HRESULT; a Win32 error
// n is 0x8007 in the high half and n in the low half) and an optional message.
// Its display text is the message when there is one, else the system's
// description of the code (see error_text in error_win32.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "base/expected.h"

namespace kadrovix {

struct Error {
    std::int32_t code = 0;
    std::string message;  // UTF-8; empty when the system's text is wanted
};

inline constexpr std::int32_t kErrorInvalidArgument = static_cast<std::int32_t>(0x80070057);  // E_INVALIDARG
inline constexpr std::int32_t kErrorFail = static_cast<std::int32_t>(0x80004005);             // E_FAIL

constexpr std::int32_t hresult_from_win32(std::uint32_t error) {
    return error == 0 ? 0 : static_cast<std::int32_t>((error & 0xFFFFu) | 0x80070000u);
}

// The program's own failures: one fixed sentence with a generic code.
inline Unexpected<Error> invalid_argument(std::string message) {
    return Unexpected<Error>{Error{kErrorInvalidArgument, std::move(message)}};
}
inline Unexpected<Error> general_failure(std::string message) {
    return Unexpected<Error>{Error{kErrorFail, std::move(message)}};
}
inline Unexpected<Error> system_error(std::int32_t code) {
    return Unexpected<Error>{Error{code, {}}};
}

template <class T>
using Result = Expected<T, Error>;

}  // namespace kadrovix
