#include "app/setup/start_with_windows_win32.h"

#include <windows.h>

#include <string>

#include "app/runtime/handles_win32.h"
#include "app/runtime/text_win32.h"
#include "app/setup/start_with_windows.h"
#include "base/error_win32.h"

namespace kadrovix {

namespace {

// The full path of this executable, however long.
Result<std::wstring> executable_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            const DWORD code = ::GetLastError();
            return general_failure(win32::describe_error(code));
        }
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return general_failure(win32::describe_error(ERROR_INSUFFICIENT_BUFFER));
        path.resize(path.size() * 2);
    }
}

Unexpected<Error> registry_error(LSTATUS status) {
    return system_error(hresult_from_win32(static_cast<std::uint32_t>(status)));
}

}  // namespace

Result<void> set_start_with_windows(bool enabled) {
    auto path = executable_path();
    if (!path) return propagate(path);

    HKEY raw = nullptr;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) return registry_error(status);
    win32::UniqueRegistryKey key(raw);

    if (enabled) {
        const std::u16string data = run_value_data(std::u16string(path->begin(), path->end()));
        status = ::RegSetValueExW(key.get(), kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                  static_cast<DWORD>(data.size() * sizeof(char16_t)));
    } else {
        status = ::RegDeleteValueW(key.get(), kRunValueName);
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
    if (status != ERROR_SUCCESS) return registry_error(status);
    return {};
}

Result<bool> start_with_windows_enabled() {
    const LSTATUS status =
        ::RegGetValueW(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName, RRF_RT_REG_SZ, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) return true;
    if (status == ERROR_FILE_NOT_FOUND) return false;
    return registry_error(status);
}

}  // namespace kadrovix
