// Windows tests that need a second process (a lock holder, a concurrent
// writer) start their own executable again with --child=NAME; the test's main
// runs the registered child instead of the test suite.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kadrovix::testing {

using ChildMain = std::function<int(const std::vector<std::wstring>& args)>;

std::map<std::wstring, ChildMain>& child_registry();

struct ChildRegistration {
    ChildRegistration(const wchar_t* name, ChildMain fn) { child_registry()[name] = std::move(fn); }
};

#define KADROVIX_TEST_CHILD(name)                                                                  \
    static int kadrovix_child_##name(const std::vector<std::wstring>& args);                      \
    static ::kadrovix::testing::ChildRegistration kadrovix_child_reg_##name(L## #name,            \
                                                                            &kadrovix_child_##name); \
    static int kadrovix_child_##name([[maybe_unused]] const std::vector<std::wstring>& args)

}  // namespace kadrovix::testing

#include <windows.h>

namespace kadrovix::testing {

// A child started from this test executable with --child=NAME args...; the
// handle is closed (and the process killed, if still running) on destruction.
class ChildProcess {
public:
    ChildProcess(const std::wstring& name, const std::vector<std::wstring>& args = {});
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    bool started() const { return process_ != nullptr; }
    // Exit code, or nullopt-like -1 when it did not end within `timeout_ms`.
    long wait(DWORD timeout_ms = 60000);
    DWORD id() const { return id_; }

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// A named manual-reset event for handshakes between a test and its children.
class NamedEvent {
public:
    explicit NamedEvent(const std::wstring& name);
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    void set();
    bool wait(DWORD timeout_ms);

private:
    HANDLE event_ = nullptr;
};

}  // namespace kadrovix::testing
