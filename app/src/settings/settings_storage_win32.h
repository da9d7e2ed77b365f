// Where the settings file lives and how it is written: serialised across the
// program's processes by a named mutex, replaced atomically through a
// temporary file, and never replaced when the existing file cannot be read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/runtime/handles_win32.h"
#include "base/expected.h"
#include "settings/settings.h"

namespace kadrovix {

inline constexpr wchar_t kSettingsWriteMutexName[] = L"Local\\Kadrovix.SettingsWrite";
inline constexpr DWORD kSettingsLockTimeoutMs = 2000;
inline constexpr std::string_view kSettingsBusyMessage = "Settings are busy. Please try again.";

// Names the folder that holds the Kadrovix folder in place of the user's local
// application data. The tests set it so that neither they nor the programs
// they start ever read or write a real profile's settings. Only an absolute
// path to an existing folder is taken; any other non-empty value is an error.
inline constexpr wchar_t kDataFolderVariable[] = L"KADROVIX_DATA_FOLDER";
inline constexpr std::string_view kDataFolderMessage = "KADROVIX_DATA_FOLDER does not name an existing folder.";

// %LOCALAPPDATA%\Kadrovix\settings.txt, or the same under the folder that
// KADROVIX_DATA_FOLDER names. The Kadrovix folder is not created here.
Expected<std::filesystem::path> settings_path();

// settings.<pid>.tmp beside the settings file: two processes never share one.
std::filesystem::path settings_temporary_path(const std::filesystem::path& settings_file, DWORD process_id);

// Far beyond any settings file; refusing a larger one keeps a stray huge file
// from being read into memory.
inline constexpr std::int64_t kMaxSettingsFileBytes = 16 << 20;

// The one reader of the settings file, for the program and its tests alike.
// Failures carry the system's own error texts. A missing file (or folder)
// gives the defaults and creates nothing; a file over kMaxSettingsFileBytes
// gives kUnsupportedSettingsMessage; otherwise parse_settings_file decides.
// The file is never changed.
Expected<Settings> read_settings_file(const std::filesystem::path& path);

// Holds the cross-process write lock for its lifetime.
class SettingsWriteLock {
public:
    static Expected<SettingsWriteLock> acquire();

    SettingsWriteLock(SettingsWriteLock&&) noexcept = default;
    SettingsWriteLock& operator=(SettingsWriteLock&&) noexcept;
    SettingsWriteLock(const SettingsWriteLock&) = delete;
    SettingsWriteLock& operator=(const SettingsWriteLock&) = delete;
    ~SettingsWriteLock();

private:
    explicit SettingsWriteLock(win32::UniqueHandle mutex) : mutex_(std::move(mutex)) {}
    void release();
    win32::UniqueHandle mutex_;
};

// The caller holds the write lock. custom_color and capture_stroke_width come
// from the optional arguments when given, otherwise from the file as it is,
// so a whole-record save never undoes the editor's one-field saves.
Expected<void> write_settings(const std::filesystem::path& path, const Settings& settings,
                              std::optional<Rgb> custom_color = std::nullopt,
                              std::optional<std::uint32_t> capture_stroke_width = std::nullopt);

Expected<void> save_settings(const Settings& settings);
// One field on disk; every other field stays as the file holds it.
Expected<void> save_custom_color(Rgb colour);
Expected<void> save_capture_stroke_width(std::uint32_t width);

}  // namespace kadrovix
