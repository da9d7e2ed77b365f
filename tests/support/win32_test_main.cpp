#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "settings/settings_storage_win32.h"
#include "support/child_process_win32.h"

namespace kadrovix::testing {
std::map<std::wstring, ChildMain>& child_registry() {
    static std::map<std::wstring, ChildMain> registry;
    return registry;
}
}  // namespace kadrovix::testing

int wmain(int argc, wchar_t** argv) {
    const std::wstring prefix = L"--child=";
    if (argc >= 2 && std::wstring(argv[1]).rfind(prefix, 0) == 0) {
        const std::wstring name = std::wstring(argv[1]).substr(prefix.size());
        auto& registry = kadrovix::testing::child_registry();
        auto it = registry.find(name);
        if (it == registry.end()) return 97;
        return it->second(std::vector<std::wstring>(argv + 2, argv + argc));
    }
    // Started as the editor by a test of the resident's start path: a
    // stand-in that ends at once.
    if (argc >= 2 && std::wstring(argv[1]) == L"--editor") return 0;
    ::testing::InitGoogleTest(&argc, argv);
    // Settings live in a folder of this run, for the tests, the children they
    // start and the programs those start (all inherit the variable): a real
    // profile's settings are never read, written or removed. A folder the
    // developer chose is kept as it is.
    std::filesystem::path own_folder;
    if (::GetEnvironmentVariableW(kadrovix::kDataFolderVariable, nullptr, 0) == 0) {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        if (n == 0 || n > MAX_PATH) return 96;
        own_folder = std::filesystem::path(temp) / (L"kadrovix-tests-" + std::to_wstring(::GetCurrentProcessId()));
        std::error_code ec;
        std::filesystem::create_directories(own_folder, ec);
        if (ec || !::SetEnvironmentVariableW(kadrovix::kDataFolderVariable, own_folder.c_str())) return 96;
    }
    const int result = RUN_ALL_TESTS();
    if (!own_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(own_folder, ec);
    }
    return result;
}
