#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/runtime/text_win32.h"
#include "settings/settings.h"
#include "settings/settings_storage_win32.h"
#include "support/child_process_win32.h"
#include "support/files.h"

namespace fs = std::filesystem;
using namespace kadrovix;

namespace {

using kadrovix::testing::read_bytes;

void write_bytes(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Each test starts from the run's data folder (never a real profile) without
// the program's folder.
class SettingsStorage : public ::testing::Test {
protected:
    void SetUp() override {
        auto path = settings_path();
        ASSERT_TRUE(path.has_value()) << path.error();
        file_ = *path;
        std::error_code ec;
        fs::remove_all(file_.parent_path(), ec);
        ASSERT_FALSE(fs::exists(file_.parent_path()));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(file_.parent_path(), ec);
    }
    std::vector<fs::path> leftovers() const {
        std::vector<fs::path> out;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(file_.parent_path(), ec)) {
            if (entry.path().extension() == L".tmp") out.push_back(entry.path());
        }
        return out;
    }
    fs::path file_;
};

const wchar_t kHeldEvent[] = L"Local\\Kadrovix.Test.LockHeld";

}  // namespace

// --- children ---------------------------------------------------------------

// Holds the write lock for the given number of milliseconds, then releases it.
KADROVIX_TEST_CHILD(hold_lock) {
    auto lock = SettingsWriteLock::acquire();
    if (!lock) return 2;
    kadrovix::testing::NamedEvent held(kHeldEvent);
    held.set();
    ::Sleep(static_cast<DWORD>(std::stoul(args.at(0))));
    return 0;
}

// Takes the write lock and ends without releasing it.
KADROVIX_TEST_CHILD(abandon_lock) {
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kSettingsWriteMutexName);
    if (mutex == nullptr || ::WaitForSingleObject(mutex, 5000) != WAIT_OBJECT_0) return 2;
    ::ExitProcess(0);
}

// Increments one counter field of the file, `count` times, each under the
// lock as a read-modify-write of the whole file.
KADROVIX_TEST_CHILD(increment) {
    const int field = std::stoi(args.at(0));
    const int count = std::stoi(args.at(1));
    kadrovix::testing::NamedEvent go(L"Local\\Kadrovix.Test.Go");
    if (!go.wait(30000)) return 3;
    for (int i = 0; i < count; ++i) {
        auto lock = SettingsWriteLock::acquire();
        if (!lock) {
            // Busy only under extreme load; try the same increment again.
            --i;
            continue;
        }
        auto path = settings_path();
        if (!path) return 4;
        auto current = read_settings_file(*path);
        if (!current) return 5;
        Settings s = *current;
        std::optional<Rgb> colour;
        switch (field) {
            case 0: s.input_display_offset->first += 1; break;
            case 1: s.input_display_offset->second += 1; break;
            case 2: s.capture_key += 1; break;
            default: {
                Rgb c = s.custom_color;
                c.g = static_cast<std::uint8_t>(c.g + 1);
                colour = c;
            }
        }
        if (auto w = write_settings(*path, s, colour); !w) {
            std::fprintf(stderr, "increment %d: %s\n", field, w.error().c_str());
            return 6;
        }
    }
    return 0;
}

// --- tests ------------------------------------------------------------------

TEST_F(SettingsStorage, PathIsUnderTheRunsDataFolderOrElseLocalAppData) {
    wchar_t chosen[MAX_PATH];
    ASSERT_GT(::GetEnvironmentVariableW(kDataFolderVariable, chosen, MAX_PATH), 0u);
    EXPECT_EQ(file_, fs::path(chosen) / L"Kadrovix" / L"settings.txt");
    EXPECT_EQ(settings_temporary_path(file_, 4242).filename(), fs::path(L"settings.4242.tmp"));

    // Only the path is asked for below; nothing is read or written there.
    wchar_t local[MAX_PATH];
    ASSERT_GT(::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
    ASSERT_TRUE(::SetEnvironmentVariableW(kDataFolderVariable, nullptr));
    const auto profile = settings_path();
    ASSERT_TRUE(::SetEnvironmentVariableW(kDataFolderVariable, L"relative\\folder"));
    const auto relative = settings_path();
    ASSERT_TRUE(::SetEnvironmentVariableW(kDataFolderVariable, chosen));
    ASSERT_TRUE(profile.has_value());
    EXPECT_EQ(*profile, fs::path(local) / L"Kadrovix" / L"settings.txt");
    ASSERT_FALSE(relative.has_value());
    EXPECT_EQ(relative.error(), kDataFolderMessage);
}

TEST_F(SettingsStorage, ReaderGivesDefaultsSystemTextsAndRefusesHugeFiles) {
    auto missing = read_settings_file(file_);
    ASSERT_TRUE(missing.has_value()) << missing.error();
    EXPECT_EQ(*missing, default_settings());
    EXPECT_FALSE(fs::exists(file_.parent_path())) << "reading creates nothing";

    fs::create_directories(file_);
    auto folder = read_settings_file(file_);
    ASSERT_FALSE(folder.has_value());
    EXPECT_EQ(folder.error(), win32::describe_error(ERROR_ACCESS_DENIED));
    fs::remove(file_);

    // Read whole: the fault lies past the first 64 KiB.
    write_bytes(file_, std::string(100000, 'a') + "\xFF");
    EXPECT_EQ(read_settings_file(file_).error(), std::string(kInvalidUtf8Message));
    // Too large to be read at all.
    fs::resize_file(file_, static_cast<std::uintmax_t>(kMaxSettingsFileBytes) + 1);
    EXPECT_EQ(read_settings_file(file_).error(), std::string(kUnsupportedSettingsMessage));
}

TEST_F(SettingsStorage, FirstSaveCreatesFolderAndVersion9Defaults) {
    Settings s = default_settings();
    s.capture_key = 0x53;
    s.capture_modifiers = 6;
    // The record's own custom colour and width are not what the first save
    // stores: those two come from the file, and no file means the defaults.
    s.custom_color = {1, 2, 3};
    s.capture_stroke_width = 17;
    auto saved = save_settings(s);
    ASSERT_TRUE(saved.has_value()) << saved.error();
    const std::string text = read_bytes(file_);
    EXPECT_EQ(text.rfind("kadrovix-settings-9\n6\n83\n", 0), 0u);
    EXPECT_NE(text.find("\ned4f5c\n1\n3\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 20);
    auto back = read_settings_file(file_);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->capture_key, 0x53u);
    EXPECT_EQ(back->custom_color, (Rgb{0xed, 0x4f, 0x5c}));
    EXPECT_EQ(back->capture_stroke_width, 3u);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(SettingsStorage, DamagedFileIsNeverReplaced) {
    const std::string damaged = "kadrovix-settings-9\nnot a settings file\n";
    write_bytes(file_, damaged);
    const std::string message(kUnsupportedSettingsMessage);

    auto a = save_settings(default_settings());
    ASSERT_FALSE(a.has_value());
    EXPECT_EQ(a.error(), message);
    auto b = save_custom_color({1, 2, 3});
    ASSERT_FALSE(b.has_value());
    EXPECT_EQ(b.error(), message);
    auto c = save_capture_stroke_width(9);
    ASSERT_FALSE(c.has_value());
    EXPECT_EQ(c.error(), message);
    EXPECT_EQ(read_bytes(file_), damaged);
    EXPECT_TRUE(leftovers().empty());

    // Not UTF-8 at all: the read's own message, file untouched.
    const std::string binary("kadrovix-settings-1\n\xff\xfe\n0\n0\n\n", 28);
    write_bytes(file_, binary);
    auto d = save_settings(default_settings());
    ASSERT_FALSE(d.has_value());
    EXPECT_EQ(d.error(), std::string(kInvalidUtf8Message));
    EXPECT_EQ(read_bytes(file_), binary);
}

TEST_F(SettingsStorage, OneFieldSavesKeepEveryOtherFieldOfTheFile) {
    Settings on_disk = default_settings();
    on_disk.capture_modifiers = 3;
    on_disk.capture_key = 0x4B;
    on_disk.save_folder = u"C:\\Shots";
    on_disk.presentation_arrow_size = 40;
    on_disk.input_display_offset = InputDisplayOffset{12, 34};
    write_bytes(file_, format_settings(on_disk));

    ASSERT_TRUE(save_custom_color({0x10, 0x20, 0x30}).has_value());
    ASSERT_TRUE(save_capture_stroke_width(12).has_value());
    auto back = read_settings_file(file_);
    ASSERT_TRUE(back.has_value());
    Settings expected = on_disk;
    expected.custom_color = {0x10, 0x20, 0x30};
    expected.capture_stroke_width = 12;
    EXPECT_EQ(*back, expected);

    // A whole-record save from a stale copy keeps the file's colour and width.
    Settings stale = default_settings();
    stale.live_capture = true;
    ASSERT_TRUE(save_settings(stale).has_value());
    back = read_settings_file(file_);
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->live_capture);
    EXPECT_EQ(back->capture_key, 0u);
    EXPECT_EQ(back->custom_color, (Rgb{0x10, 0x20, 0x30}));
    EXPECT_EQ(back->capture_stroke_width, 12u);
}

TEST_F(SettingsStorage, Version1FileIsRewrittenAsVersion9KeepingItsValues) {
    write_bytes(file_, "kadrovix-settings-1\r\n2\r\n65\r\n1\r\n43,3a,5c,41\r\n");
    auto current = read_settings_file(file_);
    ASSERT_TRUE(current.has_value()) << current.error();
    ASSERT_TRUE(save_settings(*current).has_value());
    const std::string text = read_bytes(file_);
    EXPECT_EQ(text.rfind("kadrovix-settings-9\n2\n65\n1\n43,3a,5c,41\n0\n3000\n", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 20);
}

TEST_F(SettingsStorage, RulesAndRangeChecksRefuseBeforeWriting) {
    Settings bad = default_settings();
    bad.shape_shortcuts[1] = bad.shape_shortcuts[0];
    auto r = save_settings(bad);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), "Duplicate shape shortcut");
    EXPECT_FALSE(fs::exists(file_));

    // A width the reader would refuse must not reach the disk.
    auto w = save_capture_stroke_width(0);
    ASSERT_FALSE(w.has_value());
    EXPECT_EQ(w.error(), "Invalid capture stroke width");
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(SettingsStorage, FolderNameTakenByAFileIsAnError) {
    write_bytes(file_.parent_path().parent_path() / L"Kadrovix.blocker", "x");
    const fs::path blocked = file_.parent_path().parent_path() / L"Kadrovix.blocker" / L"settings.txt";
    auto lock = SettingsWriteLock::acquire();
    ASSERT_TRUE(lock.has_value());
    auto r = write_settings(blocked, default_settings());
    ASSERT_FALSE(r.has_value());
    EXPECT_FALSE(r.error().empty());
    std::error_code ec;
    fs::remove(file_.parent_path().parent_path() / L"Kadrovix.blocker", ec);
}

TEST_F(SettingsStorage, ReadOnlyFileFailsTheSaveAtOnce) {
    write_bytes(file_, format_settings(default_settings()));
    ASSERT_TRUE(::SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_READONLY));
    const ULONGLONG start = ::GetTickCount64();
    auto r = save_capture_stroke_width(9);
    const ULONGLONG waited = ::GetTickCount64() - start;
    ::SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), win32::describe_error(ERROR_ACCESS_DENIED));
    // Waiting out a reader in the way would take more than half a second.
    EXPECT_LT(waited, 400u);
    EXPECT_EQ(read_bytes(file_), format_settings(default_settings()));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(SettingsStorage, ExistingFileIsReplacedWhole) {
    Settings s = default_settings();
    s.save_folder = std::u16string(3000, u'x');  // a long first file
    ASSERT_TRUE(save_settings(s).has_value());
    ASSERT_TRUE(save_settings(default_settings()).has_value());
    EXPECT_EQ(read_bytes(file_), format_settings(default_settings()));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(SettingsStorage, LockHeldElsewhereMakesSaveBusyAndChangesNothing) {
    ASSERT_TRUE(save_settings(default_settings()).has_value());
    const std::string before = read_bytes(file_);
    kadrovix::testing::NamedEvent held(kHeldEvent);
    kadrovix::testing::ChildProcess child(L"hold_lock", {L"4000"});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(held.wait(30000));

    const DWORD start = ::GetTickCount();
    Settings changed = default_settings();
    changed.live_capture = true;
    auto r = save_settings(changed);
    const DWORD waited = ::GetTickCount() - start;
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), std::string(kSettingsBusyMessage));
    EXPECT_GE(waited, 1900u);
    EXPECT_EQ(read_bytes(file_), before);
    EXPECT_EQ(child.wait(), 0);

    // Once released, the same save goes through.
    ASSERT_TRUE(save_settings(changed).has_value());
    EXPECT_TRUE(read_settings_file(file_)->live_capture);
}

TEST_F(SettingsStorage, AbandonedLockIsTakenOver) {
    kadrovix::testing::ChildProcess child(L"abandon_lock");
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.wait(), 0);
    auto r = save_custom_color({9, 8, 7});
    ASSERT_TRUE(r.has_value()) << r.error();
    EXPECT_EQ(read_settings_file(file_)->custom_color, (Rgb{9, 8, 7}));
}

TEST_F(SettingsStorage, ConcurrentWritersLoseNoUpdateAndReadersSeeWholeFiles) {
    constexpr int kProcesses = 4;
    constexpr int kSaves = 50;
    Settings start = default_settings();
    start.input_display_offset = InputDisplayOffset{0, 0};
    start.custom_color = {0, 0, 0};
    ASSERT_TRUE(save_settings(start).has_value());
    ASSERT_TRUE(save_custom_color({0, 0, 0}).has_value());

    kadrovix::testing::NamedEvent go(L"Local\\Kadrovix.Test.Go");
    std::vector<kadrovix::testing::ChildProcess> children;
    for (int i = 0; i < kProcesses; ++i) {
        children.emplace_back(L"increment", std::vector<std::wstring>{std::to_wstring(i), std::to_wstring(kSaves)});
        ASSERT_TRUE(children.back().started());
    }

    // Readers take no lock; every read must see a whole, valid file.
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, bad_reads{0};
    std::thread reader([&] {
        while (!done.load()) {
            auto r = read_settings_file(file_);
            ++reads;
            if (!r.has_value()) ++bad_reads;
        }
    });
    go.set();
    for (auto& child : children) EXPECT_EQ(child.wait(240000), 0);
    done = true;
    reader.join();

    auto final_settings = read_settings_file(file_);
    ASSERT_TRUE(final_settings.has_value());
    const int lost = (kSaves - final_settings->input_display_offset->first) +
                     (kSaves - final_settings->input_display_offset->second) +
                     (kSaves - static_cast<int>(final_settings->capture_key)) +
                     (kSaves - final_settings->custom_color.g);
    std::printf("concurrent writers: %d processes x %d saves, lost updates %d, reads %d, partial reads %d\n",
                kProcesses, kSaves, lost, reads.load(), bad_reads.load());
    EXPECT_EQ(final_settings->input_display_offset->first, kSaves);
    EXPECT_EQ(final_settings->input_display_offset->second, kSaves);
    EXPECT_EQ(final_settings->capture_key, static_cast<std::uint32_t>(kSaves));
    EXPECT_EQ(final_settings->custom_color.g, kSaves);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(bad_reads.load(), 0);
    EXPECT_TRUE(leftovers().empty());
}
