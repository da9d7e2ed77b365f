#include "session/io/save_paths.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace kadrovix;

TEST(SavePaths, DefaultFileNameFromTheClock) {
    using namespace std::chrono;
    EXPECT_EQ(default_file_name(1700000000), u"Kadrovix-1700000000.png");
    EXPECT_EQ(default_file_name(0), u"Kadrovix-0.png");

    const system_clock::time_point epoch{};
    EXPECT_EQ(unix_seconds(epoch + milliseconds(1700000000999)), 1700000000u);  // whole seconds, not rounded
    EXPECT_EQ(unix_seconds(epoch - seconds(5)), 0u);                             // clock before 1970
    // Two saves in the same second propose the same name.
    EXPECT_EQ(default_file_name(unix_seconds(epoch + milliseconds(42100))),
              default_file_name(unix_seconds(epoch + milliseconds(42900))));
}

TEST(SavePaths, TemporaryPathReplacesTheExtension) {
    EXPECT_EQ(temporary_path(u"C:\\Users\\me\\Kadrovix-1700000000.png", 4242),
              u"C:\\Users\\me\\Kadrovix-1700000000.4242.tmp");
    EXPECT_EQ(temporary_path(u"C:\\a\\shot.final.png", 7), u"C:\\a\\shot.final.7.tmp");
    // A dot in a folder name is not the file's extension.
    EXPECT_EQ(temporary_path(u"C:\\v1.2\\shot", 7), u"C:\\v1.2\\shot.7.tmp");
    EXPECT_EQ(temporary_path(u"C:/v1.2/shot", 7), u"C:/v1.2/shot.7.tmp");
    // A leading dot names the file rather than starting an extension.
    EXPECT_EQ(temporary_path(u"C:\\a\\.png", 7), u"C:\\a\\.png.7.tmp");
    EXPECT_EQ(temporary_path(u"shot.png", 12), u"shot.12.tmp");
    // Even a target that looks like a temporary name gets a different one.
    EXPECT_NE(temporary_path(u"C:\\a\\x.7.tmp", 7), u"C:\\a\\x.7.tmp");
    EXPECT_NE(temporary_path(u"C:\\a\\x.7", 7), u"C:\\a\\x.7");
}

TEST(SavePaths, FolderOfAChosenFile) {
    EXPECT_EQ(folder_of(u"C:\\Users\\me\\Pictures\\shot.png"), u"C:\\Users\\me\\Pictures");
    EXPECT_EQ(folder_of(u"C:\\shot.png"), u"C:\\");  // a drive's root keeps its separator
    EXPECT_EQ(folder_of(u"\\\\server\\share\\shot.png"), u"\\\\server\\share");
    EXPECT_EQ(folder_of(u"D:/pics//shot.png"), u"D:/pics");
    EXPECT_EQ(folder_of(u"\\shot.png"), u"\\");
    EXPECT_EQ(folder_of(u"shot.png"), u"");
    // Unpaired surrogates pass through untouched.
    const std::u16string odd = std::u16string(u"C:\\x") + char16_t(0xD800) + u"\\shot.png";
    EXPECT_EQ(folder_of(odd), std::u16string(u"C:\\x") + char16_t(0xD800));
}
