#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

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
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
