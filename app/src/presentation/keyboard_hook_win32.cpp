#include "presentation/keyboard_hook_win32.h"

#include <future>
#include <system_error>
#include <utility>

#include "app/messages.h"
#include "app/runtime/handles_win32.h"
#include "app/runtime/thread_name_win32.h"
#include "base/error_win32.h"

namespace kadrovix::win32 {
namespace {

// What the hook procedure works with; it lives on the hook thread's stack and
// is reached through thread-local storage, since the procedure gets no
// context of its own.
struct HookThreadState {
    HWND target = nullptr;
    bool forward_keys = false;
    HookPriorities priorities{};
    HookKeyFilter filter;
    bool in_use = false;
};

thread_local HookThreadState* t_hook_state = nullptr;

bool held(int vk) { return (::GetAsyncKeyState(vk) & 0x8000) != 0; }

std::uint32_t held_modifiers() {
    std::uint32_t modifiers = 0;
    if (held(VK_MENU)) modifiers |= kModAlt;
    if (held(VK_CONTROL)) modifiers |= kModCtrl;
    if (held(VK_SHIFT)) modifiers |= kModShift;
    if (held(VK_LWIN) || held(VK_RWIN)) modifiers |= kModWin;
    return modifiers;
}

LRESULT CALLBACK keyboard_hook(int code, WPARAM wparam, LPARAM lparam) {
    HookThreadState* state = t_hook_state;
    const bool key_message = wparam == WM_KEYDOWN || wparam == WM_KEYUP || wparam == WM_SYSKEYDOWN ||
                             wparam == WM_SYSKEYUP;
    if (code == HC_ACTION && state != nullptr && !state->in_use && key_message) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lparam);
        if ((key->flags & LLKHF_INJECTED) == 0) {
            state->in_use = true;
            const bool up = wparam == WM_KEYUP || wparam == WM_SYSKEYUP;
            if (state->forward_keys) {
                const LPARAM bits = static_cast<LPARAM>((key->scanCode & 0xFFFF) | (up ? 1u << 16 : 0u) |
                                                        ((key->flags & LLKHF_EXTENDED) != 0 ? 1u << 17 : 0u));
                ::PostMessageW(state->target, MSG_PRESENTATION_KEY, key->vkCode, bits);
            }
            const std::uint32_t modifiers = held_modifiers();
            HookKeyFilter::Decision decision = state->filter.key(key->vkCode, !up, modifiers, state->priorities);
            if (decision.hotkey_id != 0 &&
                !::PostMessageW(state->target, WM_HOTKEY, static_cast<WPARAM>(decision.hotkey_id),
                                MAKELPARAM(modifiers, key->vkCode))) {
                state->filter.undo(key->vkCode);
                decision.swallow = false;
            }
            state->in_use = false;
            if (decision.swallow) return 1;
        }
    }
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

struct HookHookTraits {
    using handle_type = HHOOK;
    static HHOOK invalid() { return nullptr; }
    static bool valid(HHOOK h) { return h != nullptr; }
    static void close(HHOOK h) { ::UnhookWindowsHookEx(h); }
};
using UniqueHook = BasicHandle<HookHookTraits>;

void run_hook_thread(HWND target, bool forward_keys, HookPriorities priorities, std::promise<Result<DWORD>>& ready) {
    set_current_thread_name(L"Kadrovix shortcuts");
    HookThreadState state;
    state.target = target;
    state.forward_keys = forward_keys;
    state.priorities = priorities;
    t_hook_state = &state;

    // The queue must exist before anyone posts the quit message to it.
    MSG msg{};
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    UniqueHook hook(::SetWindowsHookExW(WH_KEYBOARD_LL, keyboard_hook, ::GetModuleHandleW(nullptr), 0));
    if (!hook) {
        ready.set_value(fail_last_error());
        t_hook_state = nullptr;
        return;
    }
    ready.set_value(::GetCurrentThreadId());
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    hook.reset();
    t_hook_state = nullptr;
}

}  // namespace

Result<std::unique_ptr<ShortcutHookThread>> ShortcutHookThread::start(HWND target, bool forward_keys,
                                                                      const HookPriorities& priorities) {
    std::unique_ptr<ShortcutHookThread> hook(new ShortcutHookThread(forward_keys, priorities));
    std::promise<Result<DWORD>> ready;
    std::future<Result<DWORD>> started = ready.get_future();
    try {
        hook->thread_ = std::thread(run_hook_thread, target, forward_keys, priorities, std::ref(ready));
    } catch (const std::system_error& e) {
        return general_failure(std::string("Cannot start the keyboard shortcut thread: ") + e.what());
    }
    Result<DWORD> id = started.get();
    if (!id) {
        hook->thread_.join();
        return propagate(id);
    }
    hook->thread_id_ = *id;
    return hook;
}

ShortcutHookThread::~ShortcutHookThread() {
    if (!thread_.joinable()) return;
    // The queue exists (the thread made it before reporting ready); a post
    // that still fails leaves the thread running, so keep trying briefly.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::PostThreadMessageW(thread_id_, WM_QUIT, 0, 0)) break;
        ::Sleep(5);
    }
    thread_.join();
}

}  // namespace kadrovix::win32
