// Process-level helpers for tests that run a real program: start it with
// arguments, find the processes it starts in turn, read their command lines,
// and end whatever a test started.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrovix::testing {

// One argument quoted by the rules CommandLineToArgvW reads back.
std::wstring quote_argument(const std::wstring& argument);

// Windows path of a program path as the build system names it: a Unix
// absolute path (a MinGW cross build run under Wine) maps to drive Z:, where
// Wine shows the Unix root; any other path keeps its form, with backslashes.
std::wstring windows_program_path(std::string_view build_path);

// CreateProcessW (no inherited handles, default environment and folder),
// tried a few times: Wine's process creation fails now and then for a moment
// (error 1359) while other processes start or end. On success `info` holds
// both handles and 0 is returned, else the last attempt's error.
DWORD create_process(const wchar_t* program, const std::wstring& command_line, PROCESS_INFORMATION& info);

// A process started from a path and arguments. The destructor ends it if it
// is still running, so a failing test never leaves it behind.
class LaunchedProcess {
public:
    LaunchedProcess() = default;
    LaunchedProcess(const std::wstring& program, const std::vector<std::wstring>& args);
    LaunchedProcess(LaunchedProcess&& other) noexcept;
    LaunchedProcess& operator=(LaunchedProcess&& other) noexcept;
    LaunchedProcess(const LaunchedProcess&) = delete;
    LaunchedProcess& operator=(const LaunchedProcess&) = delete;
    ~LaunchedProcess();

    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }
    HANDLE handle() const { return process_; }
    // The system error of a failed start.
    DWORD start_error() const { return start_error_; }
    bool running() const;
    // The exit code, or nothing when the process did not end within `timeout_ms`.
    std::optional<DWORD> wait(DWORD timeout_ms) const;
    // Ends the process (when still running) and waits until it is gone.
    void terminate();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    DWORD start_error_ = 0;
};

struct ProcessEntry {
    DWORD id = 0;
    DWORD parent_id = 0;
    std::wstring exe_name;  // file name only, as the system lists it
};

// A snapshot of the running processes.
std::vector<ProcessEntry> list_processes();

// Ids of the running processes whose parent is `parent_id` and whose file
// name equals `exe_name` (case-insensitive).
std::vector<DWORD> child_processes(DWORD parent_id, std::wstring_view exe_name);

// The command line another process was started with, read from that
// process: first through the system's command-line query and, where the
// system lacks it, from the process parameters in its memory. Needs a handle
// with query and read access.
std::optional<std::wstring> process_command_line(HANDLE process);

// The arguments of a command line, without the program name.
std::vector<std::wstring> command_line_arguments(const std::wstring& command_line);

// Ends process `id` (if it still exists) and waits for it.
void terminate_process(DWORD id);

// Polls `condition` every few milliseconds until it holds or `timeout_ms`
// passes; true when it held.
template <class Condition>
bool wait_until(Condition condition, DWORD timeout_ms) {
    const ULONGLONG end = ::GetTickCount64() + timeout_ms;
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() >= end) return false;
        ::Sleep(10);
    }
}

}  // namespace kadrovix::testing
