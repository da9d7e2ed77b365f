#include "app/runtime/editor_process_win32.h"

#include <thread>
#include <vector>

#include "app/messages.h"
#include "app/runtime/error_win32.h"
#include "app/runtime/handles_win32.h"

namespace kadrovix {

Result<std::filesystem::path> executable_path() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return win32::fail_last_error();
        if (n < buffer.size()) return std::filesystem::path(std::wstring(buffer.data(), n));
        // Truncated: the path is longer than the buffer.
        if (buffer.size() >= 32768) return system_error(hresult_from_win32(ERROR_INSUFFICIENT_BUFFER));
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring editor_command_line(const std::filesystem::path& exe, HWND owner) {
    return L"\"" + exe.wstring() + L"\" --editor --notification-owner=" +
           std::to_wstring(reinterpret_cast<std::uintptr_t>(owner));
}

Result<std::uint32_t> start_editor_process(HWND owner) {
    auto exe = executable_path();
    if (!exe) return Unexpected<Error>{exe.error()};
    std::wstring command = editor_command_line(*exe, owner);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe->c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        return win32::fail_last_error();
    }
    const std::uint32_t pid = info.dwProcessId;
    // The watcher owns both handles; it is never joined.
    std::thread([process = win32::UniqueHandle(info.hProcess), thread = win32::UniqueHandle(info.hThread), owner,
                 pid] {
        ::WaitForSingleObject(process.get(), INFINITE);
        DWORD code = 0;
        ::GetExitCodeProcess(process.get(), &code);
        // A resident that has already gone away simply misses the message.
        ::PostMessageW(owner, MSG_EDITOR_EXITED, pid, 0);
    }).detach();
    return pid;
}

}  // namespace kadrovix
