#include "app/hotkey_diagnostic_win32.h"

#include <windows.h>

#include "app/setup/shortcut.h"
#include "base/error_win32.h"

namespace kadrovix {

Result<int> run_hotkey_diagnostic() {
    struct Combination {
        UINT modifiers;
        UINT key;
    };
    // Pause, Ctrl+Shift+Pause, A, Numpad 0, Escape, Ctrl+Alt+A.
    static constexpr Combination kCombinations[] = {
        {0, VK_PAUSE}, {kModCtrl | kModShift, VK_PAUSE}, {0, 'A'}, {0, VK_NUMPAD0}, {0, VK_ESCAPE},
        {kModCtrl | kModAlt, 'A'},
    };
    constexpr int kId = 1;
    for (const Combination& c : kCombinations) {
        if (!::RegisterHotKey(nullptr, kId, c.modifiers | kModNoRepeat, c.key)) return win32::fail_last_error();
        ::UnregisterHotKey(nullptr, kId);
    }
    return 0;
}

}  // namespace kadrovix
