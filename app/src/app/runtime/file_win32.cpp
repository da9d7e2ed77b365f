#include "app/runtime/file_win32.h"

#include <algorithm>
#include <cstddef>

#include "app/runtime/handles_win32.h"

namespace kadrovix::win32 {

DWORD write_file_durably(const std::filesystem::path& path, std::string_view bytes) {
    UniqueHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!::WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    if (!::FlushFileBuffers(file.get())) return ::GetLastError();
    return ERROR_SUCCESS;
}

}  // namespace kadrovix::win32
