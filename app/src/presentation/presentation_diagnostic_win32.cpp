#include "presentation/presentation_diagnostic_win32.h"

#include <windows.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/runtime/window_win32.h"
#include "base/error_win32.h"
#include "presentation/controller_win32.h"

namespace kadrovix {
namespace {

std::vector<RAWINPUTDEVICE> registered_devices() {
    UINT count = 0;
    if (::GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE)) == static_cast<UINT>(-1) &&
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    std::vector<RAWINPUTDEVICE> devices(count);
    if (count == 0) return devices;
    const UINT got = ::GetRegisteredRawInputDevices(devices.data(), &count, sizeof(RAWINPUTDEVICE));
    if (got == static_cast<UINT>(-1)) return {};
    devices.resize(got);
    return devices;
}

bool observes(const std::vector<RAWINPUTDEVICE>& devices, USHORT usage, HWND target) {
    for (const RAWINPUTDEVICE& d : devices) {
        if (d.usUsagePage == 1 && d.usUsage == usage && d.hwndTarget == target && (d.dwFlags & RIDEV_NOLEGACY) == 0) {
            return true;
        }
    }
    return false;
}

// Combinations nobody is likely to hold, tried until three are free.
std::vector<ShapeShortcut> free_combinations(HWND probe) {
    std::vector<ShapeShortcut> found;
    const std::uint32_t modifier_sets[] = {kModCtrl | kModAlt | kModShift, kModCtrl | kModShift | kModWin,
                                           kModAlt | kModShift | kModWin};
    for (std::uint32_t modifiers : modifier_sets) {
        for (std::uint32_t key = VK_F13; key <= VK_F24 && found.size() < 3; ++key) {
            if (::RegisterHotKey(probe, 0xB000, modifiers, key)) {
                ::UnregisterHotKey(probe, 0xB000);
                found.push_back(ShapeShortcut{modifiers, key});
            }
        }
    }
    return found;
}

bool thread_exists(DWORD id) {
    HANDLE thread = ::OpenThread(SYNCHRONIZE, FALSE, id);
    if (thread == nullptr) return false;
    const bool running = ::WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
    ::CloseHandle(thread);
    return running;
}

Result<void> run_checks(HWND probe, HWND holder) {
    const auto fail = [](const char* text) { return general_failure(text); };
    if (!registered_devices().empty()) return fail("Fresh process already has raw input");

    const std::vector<ShapeShortcut> combos = free_combinations(probe);
    if (combos.size() < 3) return fail("Three free diagnostic combinations are required");
    Settings settings = default_settings();
    for (std::size_t i = 0; i < 3; ++i) settings.shape_shortcuts[i] = combos[i];

    auto made = PresentationController::create(probe, settings);
    if (!made) return propagate(made);
    PresentationController& presentation = **made;
    presentation.set_failure_report([](std::string_view) {});
    // A resident running beside this test holds Ctrl+Alt+Esc; the checks are
    // about this process's own registrations, so that one is left out.
    bool turn_off_held = false;
    if (::RegisterHotKey(probe, 0xB001, kTurnOffShortcut.modifiers, kTurnOffShortcut.key)) {
        ::UnregisterHotKey(probe, 0xB001);
    } else {
        turn_off_held = true;
    }
    const auto apply = [&](std::uint32_t flags) {
        presentation.state().turn_off_unavailable = turn_off_held;
        return presentation.apply_features(flags);
    };

    if (auto r = apply(kFeatureTemporaryShapes); !r) return r;
    if (!registered_devices().empty()) return fail("Drawing shortcuts must not monitor any device");

    if (auto r = apply(kFeaturePointerHalo); !r) return r;
    {
        const auto devices = registered_devices();
        if (devices.size() != 1 || !observes(devices, 2, probe)) {
            return fail("Halo must observe only the mouse, without suppressing legacy input");
        }
    }
    if (auto r = apply(kFeaturePointerHalo | kFeatureInputDisplay); !r) return r;
    {
        const auto devices = registered_devices();
        if (!observes(devices, 2, probe) || !observes(devices, 6, probe)) {
            return fail("Keys must observe mouse and keyboard on the resident");
        }
    }
    if (auto r = apply(kFeaturePointerHalo); !r) return r;
    if (observes(registered_devices(), 6, probe)) return fail("Disabling keys must unregister the keyboard");
    if (auto r = apply(0); !r) return r;

    // Native rollback: with the rectangle's combination held elsewhere the
    // strict switch fails and keeps none of the shortcuts it had made.
    if (!::RegisterHotKey(holder, 1, combos[1].modifiers, combos[1].key)) {
        return fail("Three free diagnostic combinations are required");
    }
    if (apply(kFeatureTemporaryShapes)) return fail("Shortcut rollback kept a registration");
    if (!::RegisterHotKey(holder, 2, combos[0].modifiers, combos[0].key)) {
        return fail("Shortcut rollback kept a registration");
    }
    ::UnregisterHotKey(holder, 2);

    // Priority fallback: the held combination goes to the hook thread.
    auto unavailable = presentation.activate_with_priority(kFeatureTemporaryShapes);
    if (!unavailable) return propagate(unavailable);
    const std::string expected_names = turn_off_held ? "Turn everything off" : "";
    if (!presentation.state().hook_priority[1] || !presentation.hook_running() || *unavailable != expected_names) {
        return fail("Stop must release the priority hook thread");
    }
    const DWORD hook_thread = presentation.hook_thread_id();
    presentation.turn_everything_off();
    ::UnregisterHotKey(holder, 1);
    if (presentation.hook_running() || thread_exists(hook_thread)) return fail("Stop must release the priority hook thread");
    if (!registered_devices().empty()) return fail("Stop left raw input registered");
    return {};
}

}  // namespace

Result<int> run_presentation_diagnostic() {
    win32::UniqueWindow probe(::CreateWindowExW(0, L"STATIC", L"Kadrovix input probe", WS_POPUP, -32000, -32000, 1, 1,
                                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    if (!probe) return win32::fail_last_error();
    win32::UniqueWindow holder(::CreateWindowExW(0, L"STATIC", L"Kadrovix input probe", WS_POPUP, -32000, -32000, 1,
                                                 1, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    if (!holder) return win32::fail_last_error();
    RETURN_IF_ERROR(run_checks(probe.get(), holder.get()));

    std::error_code ec;
    std::filesystem::create_directories("target", ec);
    std::ofstream out("target/presentation-diagnostics.txt", std::ios::binary | std::ios::trunc);
    out << kPresentationDiagnosticPass << "\n";
    out.close();
    if (!out) return general_failure("Cannot write target/presentation-diagnostics.txt");
    return 0;
}

}  // namespace kadrovix
