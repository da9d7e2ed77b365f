#include "support/child_process_win32.h"

#include <utility>

#include "support/process_win32.h"

namespace kadrovix::testing {

namespace {
std::wstring quote(const std::wstring& arg) {
    std::wstring out = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}
}  // namespace

ChildProcess::ChildProcess(const std::wstring& name, const std::vector<std::wstring>& args) {
    wchar_t exe[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameW(nullptr, exe, static_cast<DWORD>(std::size(exe)));
    if (n == 0 || n >= std::size(exe)) return;
    std::wstring command = quote(exe) + L" --child=" + name;
    for (const auto& a : args) command += L" " + quote(a);
    PROCESS_INFORMATION pi{};
    if (create_process(exe, command, pi) != ERROR_SUCCESS) return;
    ::CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    id_ = pi.dwProcessId;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(other.id_) {}

ChildProcess::~ChildProcess() {
    if (process_ != nullptr) {
        if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) ::TerminateProcess(process_, 99);
        ::CloseHandle(process_);
    }
}

long ChildProcess::wait(DWORD timeout_ms) {
    if (process_ == nullptr) return -1;
    if (::WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return static_cast<long>(code);
}

NamedEvent::NamedEvent(const std::wstring& name) { event_ = ::CreateEventW(nullptr, TRUE, FALSE, name.c_str()); }
NamedEvent::~NamedEvent() {
    if (event_ != nullptr) ::CloseHandle(event_);
}
void NamedEvent::set() { ::SetEvent(event_); }
bool NamedEvent::wait(DWORD timeout_ms) { return ::WaitForSingleObject(event_, timeout_ms) == WAIT_OBJECT_0; }

}  // namespace kadrovix::testing
