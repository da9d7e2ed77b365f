#include "support/process_win32.h"

#include <shellapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cwctype>
#include <utility>

namespace kadrovix::testing {

namespace {

bool same_name(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return true;
}

class Snapshot {
public:
    Snapshot() : handle_(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)) {}
    ~Snapshot() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

using QueryProcess = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

QueryProcess query_process_function() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return nullptr;
    return reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryInformationProcess")));
}

// Information class 60 answers with a UNICODE_STRING followed by its text.
std::optional<std::wstring> command_line_by_query(QueryProcess query, HANDLE process) {
    constexpr ULONG kCommandLineInformation = 60;
    std::vector<unsigned char> buffer(4096);
    for (int attempt = 0; attempt < 4; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(process, kCommandLineInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status >= 0) {
            const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
            if (text->Buffer == nullptr) return std::wstring();
            return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
        }
        if (needed <= buffer.size()) return std::nullopt;
        buffer.resize(needed);
    }
    return std::nullopt;
}

template <class T>
bool read_remote(HANDLE process, const void* address, T& out) {
    SIZE_T read = 0;
    return ::ReadProcessMemory(process, address, &out, sizeof out, &read) && read == sizeof out;
}

// The command line as the process's own parameters block holds it.
std::optional<std::wstring> command_line_from_memory(QueryProcess query, HANDLE process) {
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (query(process, 0 /* ProcessBasicInformation */, &basic, sizeof basic, &length) < 0) return std::nullopt;
    if (basic.PebBaseAddress == nullptr) return std::nullopt;
    PEB peb{};
    if (!read_remote(process, basic.PebBaseAddress, peb) || peb.ProcessParameters == nullptr) return std::nullopt;
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (!read_remote(process, peb.ProcessParameters, parameters)) return std::nullopt;
    const UNICODE_STRING& line = parameters.CommandLine;
    std::wstring text(line.Length / sizeof(wchar_t), L'\0');
    if (text.empty()) return text;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, line.Buffer, text.data(), line.Length, &read) || read != line.Length) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::wstring quote_argument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            // Backslashes before a quote are doubled, and the quote escaped.
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out += c;
    }
    // Backslashes before the closing quote are doubled too.
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

std::wstring windows_program_path(std::string_view build_path) {
    std::wstring path(build_path.begin(), build_path.end());
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    if (!build_path.empty() && build_path.front() == '/') path = L"Z:" + path;
    return path;
}

DWORD create_process(const wchar_t* program, const std::wstring& command_line, PROCESS_INFORMATION& info) {
    constexpr int kAttempts = 5;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        info = PROCESS_INFORMATION{};
        std::wstring line = command_line;  // CreateProcessW may write into it
        if (::CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            return ERROR_SUCCESS;
        }
        error = ::GetLastError();
        // Nothing to wait on: the failure clears by itself, a little later.
        if (attempt < kAttempts) ::Sleep(100 * attempt);
    }
    return error;
}

LaunchedProcess::LaunchedProcess(const std::wstring& program, const std::vector<std::wstring>& args) {
    std::wstring command = quote_argument(program);
    for (const std::wstring& a : args) command += L" " + quote_argument(a);
    PROCESS_INFORMATION info{};
    start_error_ = create_process(program.c_str(), command, info);
    if (start_error_ != ERROR_SUCCESS) return;
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
}

LaunchedProcess::LaunchedProcess(LaunchedProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)),
      id_(std::exchange(other.id_, 0)),
      start_error_(other.start_error_) {}

LaunchedProcess& LaunchedProcess::operator=(LaunchedProcess&& other) noexcept {
    if (this != &other) {
        terminate();
        if (process_ != nullptr) ::CloseHandle(process_);
        process_ = std::exchange(other.process_, nullptr);
        id_ = std::exchange(other.id_, 0);
        start_error_ = other.start_error_;
    }
    return *this;
}

LaunchedProcess::~LaunchedProcess() {
    terminate();
    if (process_ != nullptr) ::CloseHandle(process_);
}

bool LaunchedProcess::running() const {
    return process_ != nullptr && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> LaunchedProcess::wait(DWORD timeout_ms) const {
    if (process_ == nullptr || ::WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    if (!::GetExitCodeProcess(process_, &code)) return std::nullopt;
    return code;
}

void LaunchedProcess::terminate() {
    if (!running()) return;
    ::TerminateProcess(process_, 99);
    ::WaitForSingleObject(process_, 30000);
}

std::vector<ProcessEntry> list_processes() {
    std::vector<ProcessEntry> out;
    Snapshot snapshot;
    if (snapshot.get() == INVALID_HANDLE_VALUE) return out;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        out.push_back(ProcessEntry{entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    }
    return out;
}

std::vector<DWORD> child_processes(DWORD parent_id, std::wstring_view exe_name) {
    std::vector<DWORD> out;
    for (const ProcessEntry& p : list_processes()) {
        if (p.parent_id == parent_id && same_name(p.exe_name, exe_name)) out.push_back(p.id);
    }
    return out;
}

std::optional<std::wstring> process_command_line(HANDLE process) {
    const QueryProcess query = query_process_function();
    if (query == nullptr) return std::nullopt;
    if (auto line = command_line_by_query(query, process)) return line;
    return command_line_from_memory(query, process);
}

std::vector<std::wstring> command_line_arguments(const std::wstring& command_line) {
    std::vector<std::wstring> out;
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(command_line.c_str(), &count);
    if (argv == nullptr) return out;
    for (int i = 1; i < count; ++i) out.emplace_back(argv[i]);
    ::LocalFree(argv);
    return out;
}

void terminate_process(DWORD id) {
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process == nullptr) return;
    if (::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process, 99);
        ::WaitForSingleObject(process, 30000);
    }
    ::CloseHandle(process);
}

}  // namespace kadrovix::testing
