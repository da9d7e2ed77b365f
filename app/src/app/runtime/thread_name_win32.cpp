#include "app/runtime/thread_name_win32.h"

#include <windows.h>

namespace kadrovix::win32 {

bool set_current_thread_name(const wchar_t* name) {
    using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return false;
    const FARPROC proc = ::GetProcAddress(kernel, "SetThreadDescription");
    if (proc == nullptr) return false;
    // Through the generic function pointer type, which converts to any other
    // without a cast-function-type warning.
    const auto set_description = reinterpret_cast<SetThreadDescriptionFn>(reinterpret_cast<void (*)()>(proc));
    return SUCCEEDED(set_description(::GetCurrentThread(), name));
}

}  // namespace kadrovix::win32
