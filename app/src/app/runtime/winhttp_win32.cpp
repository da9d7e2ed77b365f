#include "app/runtime/winhttp_win32.h"

#include <string>

#include "app/runtime/text_win32.h"

namespace kadrovix::win32 {

namespace {

std::string module_message(HMODULE module, DWORD code) {
    if (module == nullptr) return {};
    wchar_t* buffer = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                         module, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (n != 0 && buffer != nullptr) text.assign(buffer, n);
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return to_utf8(text);
}

}  // namespace

Error winhttp_error(DWORD code) {
    std::string text = module_message(::GetModuleHandleW(L"winhttp.dll"), code);
    if (text.empty()) text = describe_error(code);
    return Error{hresult_from_win32(code), std::move(text)};
}

}  // namespace kadrovix::win32
