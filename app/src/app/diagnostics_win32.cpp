#include "app/diagnostics_win32.h"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/diagnostics_report.h"
#include "app/messages.h"
#include "app/runtime/editor_process_win32.h"
#include "app/runtime/handles_win32.h"
#include "base/error_win32.h"
#include "render/bgra_image.h"
#include "render/screen_grab_win32.h"
#include "session/capture_session_win32.h"
#include "session/io/lens_upload_win32.h"
#include "settings/settings.h"

namespace kadrovix {
namespace {

const std::filesystem::path kTargetFolder = L"target";

Result<void> write_text_file(const std::filesystem::path& name, const std::string& text) {
    std::error_code ec;
    std::filesystem::create_directories(kTargetFolder, ec);
    const std::filesystem::path path = kTargetFolder / name;
    win32::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return win32::fail_last_error();
    DWORD written = 0;
    if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        return win32::fail_last_error();
    }
    return {};
}

double elapsed_ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

std::uint64_t process_cpu_100ns() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    const auto value = [](FILETIME t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    return value(kernel) + value(user);
}

struct MemoryCounters {
    std::uint64_t working_set = 0;
    std::uint64_t private_bytes = 0;
};

MemoryCounters memory_counters() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    MemoryCounters out;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                               sizeof counters)) {
        out.working_set = counters.WorkingSetSize;
        out.private_bytes = counters.PrivateUsage;
    }
    return out;
}

struct Baseline {
    std::chrono::steady_clock::time_point start;
    std::uint64_t cpu_100ns = 0;
};
Baseline g_baseline;

// Older SDK headers lack the flag (Windows 10 1803 and later honour it).
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr DWORD CREATE_WAITABLE_TIMER_HIGH_RESOLUTION = 0x00000002;
#endif

// Two seconds on a high-resolution waitable timer, or by sleeping.
void wait_two_seconds() {
    const auto start = std::chrono::steady_clock::now();
    HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (timer != nullptr) {
        LARGE_INTEGER due{};
        due.QuadPart = -20'000'000LL;  // relative, 100 ns units
        if (::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
            ::WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0) {
            ::CloseHandle(timer);
            return;
        }
        ::CloseHandle(timer);
    }
    ::Sleep(2000);
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) ::Sleep(1);
}

Result<std::string> read_text_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return general_failure(kInvalidEditorDiagnosticsMessage);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

Result<int> run_google_diagnostic() {
    auto image = new_filled_image(64, 64, 0xFFB45A28u);  // B 0x28, G 0x5A, R 0xB4, A 0xFF
    if (!image) return propagate(image);
    auto link = win32::upload_to_lens(*image);
    if (!link) return propagate(link);
    RETURN_IF_ERROR(write_text_file(L"google-diagnostic.txt", kGooglePassText));
    return 0;
}

Result<int> run_editor_diagnostic() {
    const auto start = std::chrono::steady_clock::now();
    auto grab = win32::grab_virtual_screen();
    if (!grab) return propagate(grab);
    const double capture_ms = elapsed_ms(start);
    EditorDiagnostics d;
    d.width = grab->width;
    d.height = grab->height;
    {
        Settings settings = default_settings();
        auto session = CaptureSession::from_image(nullptr, std::move(*grab), settings, std::nullopt);
        if (!session) return propagate(session);
        d.capture_ms = capture_ms;
        d.capture_and_session_ms = elapsed_ms(start);
    }
    RETURN_IF_ERROR(write_text_file(L"editor-diagnostics.txt", format_editor_diagnostics(d)));
    return 0;
}

Result<void> start_diagnostic_monitor() {
    g_baseline.start = std::chrono::steady_clock::now();
    g_baseline.cpu_100ns = process_cpu_100ns();
    const DWORD ui_thread = ::GetCurrentThreadId();
    try {
        std::thread([ui_thread] {
            wait_two_seconds();
            ::PostThreadMessageW(ui_thread, MSG_DIAGNOSTIC_CHECK, 0, 0);
        }).detach();
    } catch (...) {
        return general_failure("Could not start the diagnostics monitor");
    }
    return {};
}

Result<void> run_diagnostic_check() {
    ResidentDiagnostics report;
    report.idle_seconds = elapsed_ms(g_baseline.start) / 1000.0;
    report.idle_cpu_ms = static_cast<double>(process_cpu_100ns() - g_baseline.cpu_100ns) / 10'000.0;
    const MemoryCounters idle = memory_counters();
    report.idle_working_set_bytes = idle.working_set;
    report.idle_private_bytes = idle.private_bytes;
    report.gdi_before = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);

    auto exe = executable_path();
    if (!exe) return propagate(exe);
    for (int run = 0; run < 5; ++run) {
        std::wstring command = L"\"" + exe->wstring() + L"\" --editor-diagnostic";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        const auto started = std::chrono::steady_clock::now();
        if (!::CreateProcessW(exe->c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &info)) {
            return win32::fail_last_error();
        }
        win32::UniqueHandle process(info.hProcess);
        win32::UniqueHandle thread(info.hThread);
        ::WaitForSingleObject(process.get(), INFINITE);
        DWORD code = 1;
        ::GetExitCodeProcess(process.get(), &code);
        if (code != 0) return general_failure(kEditorCheckFailedMessage);
        report.worker_lifetime_ms.push_back(elapsed_ms(started));
        auto text = read_text_file(kTargetFolder / L"editor-diagnostics.txt");
        if (!text) return propagate(text);
        const auto parsed = parse_editor_diagnostics(*text);
        if (!parsed) return general_failure(kInvalidEditorDiagnosticsMessage);
        report.capture_dimensions.emplace_back(parsed->width, parsed->height);
        report.capture_ms.push_back(parsed->capture_ms);
        report.capture_and_editor_init_ms.push_back(parsed->capture_and_session_ms);
    }

    report.gdi_after = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (report.gdi_after != report.gdi_before) return general_failure(kGdiLeakMessage);
    const MemoryCounters after = memory_counters();
    report.working_set_after_captures = after.working_set;
    report.private_bytes_after_captures = after.private_bytes;
    if (after.private_bytes > idle.private_bytes + kRetainedBytesLimit) return general_failure(kRetainedMemoryMessage);
    return write_text_file(L"diagnostics.json", format_resident_diagnostics(report));
}

}  // namespace kadrovix
