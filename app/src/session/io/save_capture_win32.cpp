#include "session/io/save_capture_win32.h"

#include <commdlg.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <chrono>
#include <vector>

#include "base/error_win32.h"
#include "session/io/png_win32.h"
#include "session/io/save_paths.h"

namespace kadrovix::win32 {

namespace {

bool is_folder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Result<std::wstring> desktop_folder() {
    PWSTR path = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path);
    if (FAILED(hr)) {
        ::CoTaskMemFree(path);
        return fail_hresult(hr);
    }
    std::wstring folder(path);
    ::CoTaskMemFree(path);
    return folder;
}

}  // namespace

Result<SaveResult> save_capture(const BgraImage& output, const std::u16string& remembered_folder, HWND owner) {
    std::wstring initial(remembered_folder.begin(), remembered_folder.end());
    if (initial.empty() || !is_folder(initial)) {
        auto desktop = desktop_folder();
        if (!desktop) return propagate(desktop);
        initial = std::move(desktop).value();
    }

    // Zeroed, so whatever the dialog leaves is NUL-terminated.
    std::vector<wchar_t> file(kSaveDialogBufferUnits, L'\0');
    const std::u16string name = default_file_name(unix_seconds(std::chrono::system_clock::now()));
    std::copy(name.begin(), name.end(), file.begin());

    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    static_assert(sizeof(void*) != 8 || sizeof(OPENFILENAMEW) == 152);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"PNG image\0*.png\0";
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = initial.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    dialog.lpstrDefExt = L"png";
    if (!::GetSaveFileNameW(&dialog)) {
        const DWORD code = ::CommDlgExtendedError();
        if (code == 0) return SaveResult{};
        return general_failure("Could not open the Save dialog (" + std::to_string(code) + ")");
    }

    SaveResult result;
    result.outcome = SaveOutcome::Saved;
    result.path = std::wstring(file.data());
    RETURN_IF_ERROR(write_png_file(output, result.path));
    result.folder = folder_of(std::u16string(result.path.begin(), result.path.end()));
    return result;
}

}  // namespace kadrovix::win32
