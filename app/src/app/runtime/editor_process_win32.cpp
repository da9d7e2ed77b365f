#include "app/runtime/editor_process_win32.h"

#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/messages.h"
#include "app/runtime/handles_win32.h"
#include "app/runtime/start_trace_win32.h"
#include "base/error_win32.h"

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

void allow_foreground(std::uint32_t pid) { ::AllowSetForegroundWindow(pid); }

Result<std::uint32_t> start_editor_process(HWND owner, const ForegroundHandOff& hand_off) {
    auto exe = executable_path();
    if (!exe) return propagate(exe);
    std::wstring command = editor_command_line(*exe, owner);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    win32::mark_start("editor-create");
    // Started suspended: an editor whose end nobody would notice must never
    // run, so it only goes once its watcher exists.
    if (!::CreateProcessW(exe->c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                          &startup, &info)) {
        return win32::fail_last_error();
    }
    win32::mark_start("editor-created");
    win32::UniqueHandle process(info.hProcess);
    win32::UniqueHandle thread(info.hThread);
    const std::uint32_t pid = info.dwProcessId;
    const auto abandon = [&](Error error) -> Result<std::uint32_t> {
        ::TerminateProcess(process.get(), 1);
        return Unexpected<Error>{std::move(error)};
    };
    HANDLE watched = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), process.get(), ::GetCurrentProcess(), &watched, SYNCHRONIZE, FALSE,
                           0)) {
        return abandon(win32::last_error());
    }
    try {
        // The watcher owns its handle; it is never joined.
        std::thread([watched = win32::UniqueHandle(watched), owner, pid] {
            ::WaitForSingleObject(watched.get(), INFINITE);
            // A resident that has already gone away simply misses the message.
            ::PostMessageW(owner, MSG_EDITOR_EXITED, pid, 0);
        }).detach();
    } catch (const std::system_error& e) {
        // The lambda, and the handle it owns, are gone with the exception.
        return abandon(Error{kErrorFail, std::string("Cannot watch the editor process: ") + e.what()});
    }
    if (hand_off) hand_off(pid);
    if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) return abandon(win32::last_error());
    win32::mark_start("editor-resumed");
    return pid;
}

}  // namespace kadrovix
