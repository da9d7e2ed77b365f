#include "app/runtime/start_trace_win32.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "app/runtime/handles_win32.h"

namespace kadrovix::win32 {

namespace {

// FILETIME counts 100 ns steps from 1601; Unix time starts 11644473600 s later.
constexpr std::uint64_t kUnixEpochIn100ns = 116444736000000000ULL;

std::int64_t unix_microseconds(const FILETIME& ft) {
    const std::uint64_t ticks = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<std::int64_t>((ticks - kUnixEpochIn100ns) / 10);
}

class StartTrace {
public:
    StartTrace() {
        wchar_t path[MAX_PATH];
        const DWORD n = ::GetEnvironmentVariableW(L"KADROVIX_TRACE_START", path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return;
        // Appending writes land whole at the end even with several writers.
        file_.reset(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER frequency{};
        if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) file_.reset();
        frequency_ = frequency.QuadPart;
        on_.store(static_cast<bool>(file_), std::memory_order_release);
    }

    bool on() const { return on_.load(std::memory_order_acquire); }

    void write(const char* label, bool closes) {
        LARGE_INTEGER counter{};
        ::QueryPerformanceCounter(&counter);
        FILETIME now{};
        ::GetSystemTimePreciseAsFileTime(&now);
        const auto counter_us = static_cast<long long>(counter.QuadPart / frequency_ * 1000000 +
                                                       counter.QuadPart % frequency_ * 1000000 / frequency_);
        char line[160];
        const int length = std::snprintf(line, sizeof line, "%lu %s %lld %lld\n", ::GetCurrentProcessId(), label,
                                         counter_us, static_cast<long long>(unix_microseconds(now)));
        append(line, length);
        if (closes) on_.store(false, std::memory_order_release);
    }

    void write_created() {
        FILETIME created{}, exited{}, kernel{}, user{};
        if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
        char line[160];
        const int length = std::snprintf(line, sizeof line, "%lu created - %lld\n", ::GetCurrentProcessId(),
                                         static_cast<long long>(unix_microseconds(created)));
        append(line, length);
    }

private:
    void append(const char* line, int length) {
        if (length <= 0) return;
        const std::lock_guard lock(mutex_);
        DWORD written = 0;
        ::WriteFile(file_.get(), line, static_cast<DWORD>(length), &written, nullptr);
    }

    UniqueHandle file_;
    long long frequency_ = 1;
    std::atomic<bool> on_{false};
    std::mutex mutex_;
};

StartTrace& trace() {
    static StartTrace instance;
    return instance;
}

}  // namespace

void mark_start(const char* label, bool closes) {
    StartTrace& t = trace();
    if (t.on()) t.write(label, closes);
}

void mark_process_created() {
    StartTrace& t = trace();
    if (t.on()) t.write_created();
}

}  // namespace kadrovix::win32
