// The "Kadrovix shortcuts" thread: a low-level keyboard hook that forwards
// real (not injected) key transitions to the resident for the input display,
// and serves shape shortcuts another program holds by taking their keys
// before that program sees them.
#pragma once

#include <windows.h>

#include <memory>
#include <thread>

#include "base/error.h"
#include "presentation/presentation_state.h"

namespace kadrovix::win32 {

class ShortcutHookThread {
public:
    // Starts the thread and waits until its hook is in place; an error when
    // the thread or the hook cannot be had. `forward_keys`: post every key
    // transition to `target` as MSG_PRESENTATION_KEY.
    static Result<std::unique_ptr<ShortcutHookThread>> start(HWND target, bool forward_keys,
                                                             const HookPriorities& priorities);

    ShortcutHookThread(const ShortcutHookThread&) = delete;
    ShortcutHookThread& operator=(const ShortcutHookThread&) = delete;
    // Asks the thread to quit and joins it.
    ~ShortcutHookThread();

    bool forwards_keys() const { return forward_keys_; }
    const HookPriorities& priorities() const { return priorities_; }
    DWORD thread_id() const { return thread_id_; }

private:
    ShortcutHookThread(bool forward_keys, const HookPriorities& priorities)
        : forward_keys_(forward_keys), priorities_(priorities) {}

    bool forward_keys_ = false;
    HookPriorities priorities_{};
    std::thread thread_;
    DWORD thread_id_ = 0;
};

}  // namespace kadrovix::win32
