#include "settings/settings_storage_win32.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "app/runtime/file_win32.h"
#include "app/runtime/text_win32.h"

namespace kadrovix {
namespace {

constexpr int kReplaceAttempts = 60;

Unexpected<std::string> fail(std::string text) { return Unexpected<std::string>{std::move(text)}; }
Unexpected<std::string> fail_with_last_error() { return fail(win32::describe_error(::GetLastError())); }

// Creates `folder` and any missing parents. An existing folder is fine; an
// existing file of that name is not.
Expected<void> create_folders(const std::filesystem::path& folder) {
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {};
        return fail(win32::describe_error(ERROR_ALREADY_EXISTS));
    }
    const std::filesystem::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder) {
        if (auto made = create_folders(parent); !made) return made;
    }
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) {
        const DWORD error = ::GetLastError();
        // Another process may have made it between the check and here.
        const DWORD now = ::GetFileAttributesW(folder.c_str());
        if (error == ERROR_ALREADY_EXISTS && now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY)) {
            return {};
        }
        return fail(win32::describe_error(error));
    }
    return {};
}

std::optional<std::filesystem::path> data_folder_from_environment() {
    const DWORD needed = ::GetEnvironmentVariableW(kDataFolderVariable, nullptr, 0);
    if (needed <= 1) return std::nullopt;  // unset or empty
    std::wstring value(needed, L'\0');
    value.resize(::GetEnvironmentVariableW(kDataFolderVariable, value.data(), needed));
    if (value.empty()) return std::nullopt;
    return std::filesystem::path(value);
}

}  // namespace

Expected<std::filesystem::path> settings_path() {
    std::filesystem::path folder;
    if (auto chosen = data_folder_from_environment()) {
        folder = std::move(*chosen);
        // A stray value must neither scatter settings files nor quietly fall
        // back to the profile that was meant to be kept out of reach.
        const DWORD attributes = ::GetFileAttributesW(folder.c_str());
        if (!folder.is_absolute() || attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return fail(std::string(kDataFolderMessage));
        }
    } else {
        PWSTR known = nullptr;
        const HRESULT hr = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known);
        if (FAILED(hr)) {
            if (known != nullptr) ::CoTaskMemFree(known);
            std::string text = win32::hresult_message(hr);
            if (text.empty()) text = win32::describe_error(static_cast<DWORD>(hr));
            return fail(std::move(text));
        }
        folder = known;
        ::CoTaskMemFree(known);
    }
    return folder / L"Kadrovix" / L"settings.txt";
}

std::filesystem::path settings_temporary_path(const std::filesystem::path& settings_file, DWORD process_id) {
    std::filesystem::path temporary = settings_file;
    temporary.replace_extension(std::to_wstring(process_id) + L".tmp");
    return temporary;
}

Expected<Settings> read_settings_file(const std::filesystem::path& path) {
    win32::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return default_settings();
        return fail(win32::describe_error(error));
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return fail_with_last_error();
    if (size.QuadPart > kMaxSettingsFileBytes) return fail(std::string(kUnsupportedSettingsMessage));
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr)) {
            return fail_with_last_error();
        }
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return parse_settings_file(bytes);
}

Expected<SettingsWriteLock> SettingsWriteLock::acquire() {
    win32::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kSettingsWriteMutexName));
    if (!mutex) return fail_with_last_error();
    const DWORD wait = ::WaitForSingleObject(mutex.get(), kSettingsLockTimeoutMs);
    // An abandoned mutex means its owner died mid-write; the file itself is
    // still whole thanks to the atomic replace, so the lock is simply taken over.
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return fail(std::string(kSettingsBusyMessage));
    return SettingsWriteLock(std::move(mutex));
}

SettingsWriteLock& SettingsWriteLock::operator=(SettingsWriteLock&& other) noexcept {
    if (this != &other) {
        release();
        mutex_ = std::move(other.mutex_);
    }
    return *this;
}

SettingsWriteLock::~SettingsWriteLock() { release(); }

void SettingsWriteLock::release() {
    if (mutex_) {
        ::ReleaseMutex(mutex_.get());
        mutex_.reset();
    }
}

Expected<void> write_settings(const std::filesystem::path& path, const Settings& settings,
                              std::optional<Rgb> custom_color, std::optional<std::uint32_t> capture_stroke_width) {
    if (auto rule = validate_shape_shortcuts(settings.shape_shortcuts); !rule) return fail(rule.error());

    auto existing = read_settings_file(path);
    if (!existing) return fail(existing.error());

    Settings merged = settings;
    merged.custom_color = custom_color.value_or(existing->custom_color);
    merged.capture_stroke_width = capture_stroke_width.value_or(existing->capture_stroke_width);

    const std::string text = format_settings(merged);
    // A record holding a value the reader refuses would leave a file that no
    // later start or save could read; refuse it here instead.
    if (auto check = parse_settings(text); !check) return fail(check.error());

    // A read-only file is denied for good (some systems would even replace
    // it): fail at once rather than wait out the retries below.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return fail(win32::describe_error(ERROR_ACCESS_DENIED));
    }

    if (auto made = create_folders(path.parent_path()); !made) return made;

    const std::filesystem::path temporary = settings_temporary_path(path, ::GetCurrentProcessId());
    if (const DWORD error = win32::write_file_durably(temporary, text); error != ERROR_SUCCESS) {
        return fail(win32::describe_error(error));
    }

    // Readers take no lock, and a reader that has the old file open at this
    // very moment makes the replace fail: with a sharing violation, or with
    // access denied when it shares deletion as read_settings_file does. Such a
    // reader is done within milliseconds, so try again briefly rather than
    // fail the user's save.
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return {};
        }
        const DWORD error = ::GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt >= kReplaceAttempts) {
            return fail(win32::describe_error(error));
        }
        ::Sleep(attempt < 10 ? 1 : 10);
    }
}

namespace {

template <class Change>
Expected<void> locked_write(Change&& change) {
    auto lock = SettingsWriteLock::acquire();
    if (!lock) return fail(lock.error());
    auto path = settings_path();
    if (!path) return fail(path.error());
    return change(*path);
}

}  // namespace

Expected<void> save_settings(const Settings& settings) {
    return locked_write([&](const std::filesystem::path& path) { return write_settings(path, settings); });
}

Expected<void> save_custom_color(Rgb colour) {
    return locked_write([&](const std::filesystem::path& path) -> Expected<void> {
        auto current = read_settings_file(path);
        if (!current) return fail(current.error());
        return write_settings(path, *current, colour, std::nullopt);
    });
}

Expected<void> save_capture_stroke_width(std::uint32_t width) {
    return locked_write([&](const std::filesystem::path& path) -> Expected<void> {
        auto current = read_settings_file(path);
        if (!current) return fail(current.error());
        return write_settings(path, *current, std::nullopt, width);
    });
}

}  // namespace kadrovix
