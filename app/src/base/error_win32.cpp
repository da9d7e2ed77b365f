#include "base/error_win32.h"

#include "app/runtime/text_win32.h"

namespace kadrovix::win32 {

std::string error_text(const Error& error) {
    if (!error.message.empty()) return error.message;
    if (error.code == 0) return {};
    const auto code = static_cast<std::uint32_t>(error.code);
    // Win32 errors wrapped as HRESULTs read best as the plain Win32 error.
    if ((code & 0xFFFF0000u) == 0x80070000u) return system_message(code & 0xFFFFu);
    return system_message(code);
}

}  // namespace kadrovix::win32
