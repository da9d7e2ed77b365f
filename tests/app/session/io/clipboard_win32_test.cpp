#include "session/io/clipboard_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/child_process_win32.h"
#include "support/document_fixtures.h"
#include "support/test_window_win32.h"

using namespace kadrovix;

namespace {

using kadrovix::testing::HiddenWindow;

// Another process may hold the clipboard open for a moment; wait for it.
bool open_clipboard_patiently(HWND owner) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (::OpenClipboard(owner)) return true;
        ::Sleep(10);
    }
    return false;
}

std::wstring temp_file(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name + std::to_wstring(::GetCurrentProcessId()) + L".bin";
}

std::vector<std::uint8_t> read_file(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t u32_at(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}
std::uint16_t u16_at(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

BgraImage test_image(std::uint32_t width, std::uint32_t height) {
    BgraImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(4ull * width * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* p = &image.pixels[4ull * (y * width + x)];
            p[0] = static_cast<std::uint8_t>(10 * x);  // blue
            p[1] = static_cast<std::uint8_t>(40 * y);  // green
            p[2] = static_cast<std::uint8_t>(200 - x - y);
            p[3] = 255;
        }
    }
    return image;
}

class ClipboardExport : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(window_.handle, nullptr); }
    HiddenWindow window_;
};

}  // namespace

// --- children ---------------------------------------------------------------

// Writes the clipboard's data in the format given by number to a file.
KADROVIX_TEST_CHILD(read_clipboard_format) {
    const UINT format = static_cast<UINT>(std::stoul(args.at(0)));
    if (!open_clipboard_patiently(nullptr)) return 2;
    HANDLE data = ::GetClipboardData(format);
    int code = 0;
    if (data == nullptr) {
        code = 3;
    } else {
        const SIZE_T size = ::GlobalSize(data);
        const void* bytes = ::GlobalLock(data);
        if (bytes == nullptr) {
            code = 4;
        } else {
            std::ofstream out(std::filesystem::path(args.at(1)), std::ios::binary | std::ios::trunc);
            out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
            ::GlobalUnlock(data);
            if (!out) code = 5;
        }
    }
    ::CloseClipboard();
    return code;
}

// Another program copying text: replaces everything on the clipboard.
KADROVIX_TEST_CHILD(copy_text) {
    HiddenWindow owner;
    if (owner.handle == nullptr || !open_clipboard_patiently(owner.handle)) return 2;
    const wchar_t text[] = L"from another program";
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, sizeof text);
    std::memcpy(::GlobalLock(memory), text, sizeof text);
    ::GlobalUnlock(memory);
    int code = 0;
    if (!::EmptyClipboard() || ::SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
        ::GlobalFree(memory);
        code = 3;
    }
    ::CloseClipboard();
    return code;
}

std::vector<std::uint8_t> read_in_child(UINT format, const wchar_t* name) {
    const std::wstring file = temp_file(name);
    ::DeleteFileW(file.c_str());
    kadrovix::testing::ChildProcess child(L"read_clipboard_format", {std::to_wstring(format), file});
    EXPECT_TRUE(child.started());
    EXPECT_EQ(child.wait(), 0);
    std::vector<std::uint8_t> bytes = read_file(file);
    ::DeleteFileW(file.c_str());
    return bytes;
}

// --- tests ------------------------------------------------------------------

TEST_F(ClipboardExport, AnotherProcessReadsTheImageAsATopDownDib) {
    const BgraImage image = test_image(7, 3);
    auto copied = win32::copy_image(image, window_.handle);
    ASSERT_TRUE(copied.has_value()) << copied.error().code;

    const std::vector<std::uint8_t> block = read_in_child(CF_DIB, L"kadrovix-dib-");
    // The clipboard may round its memory up; the block itself comes first.
    ASSERT_GE(block.size(), 40u + image.pixels.size());
    EXPECT_EQ(u32_at(block, 0), 40u);
    EXPECT_EQ(static_cast<std::int32_t>(u32_at(block, 4)), 7);
    EXPECT_EQ(static_cast<std::int32_t>(u32_at(block, 8)), -3);
    EXPECT_EQ(u16_at(block, 12), 1u);
    EXPECT_EQ(u16_at(block, 14), 32u);
    EXPECT_EQ(u32_at(block, 16), static_cast<std::uint32_t>(BI_RGB));
    for (std::size_t at = 20; at < 40; at += 4) EXPECT_EQ(u32_at(block, at), 0u) << "header offset " << at;
    EXPECT_TRUE(std::equal(image.pixels.begin(), image.pixels.end(), block.begin() + 40))
        << "pixels differ from the image, row by row from the top";
}

TEST_F(ClipboardExport, InvalidImageLeavesTheClipboardAlone) {
    ASSERT_TRUE(win32::copy_color_text({1, 2, 3}, window_.handle).has_value());
    const DWORD before = ::GetClipboardSequenceNumber();
    BgraImage broken = test_image(4, 4);
    broken.pixels.pop_back();
    auto copied = win32::copy_image(broken, window_.handle);
    ASSERT_FALSE(copied.has_value());
    EXPECT_EQ(copied.error().message, "Invalid BGRA image dimensions or buffer length");
    EXPECT_EQ(::GetClipboardSequenceNumber(), before);
    EXPECT_TRUE(::IsClipboardFormatAvailable(CF_UNICODETEXT));
}

TEST_F(ClipboardExport, AnotherProcessReadsTheColourCode) {
    ASSERT_TRUE(win32::copy_color_text(kPresetColours[0], window_.handle).has_value());
    const std::vector<std::uint8_t> text = read_in_child(CF_UNICODETEXT, L"kadrovix-text-");
    const std::vector<std::uint8_t> expected = {'#', 0, 'E', 0, 'D', 0, '4', 0, 'F', 0, '5', 0, 'C', 0, 0, 0};
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(std::vector<std::uint8_t>(text.begin(), text.begin() + static_cast<long>(expected.size())), expected);
}

TEST_F(ClipboardExport, PutClipboardDataReturnsTheSequenceOfItsOwnWrite) {
    // A private format: the system synthesises nothing from it, so the number
    // read while the clipboard was open is still current after it closed.
    // (Wine counts its synthesised text and bitmap formats at close, which is
    // harmless: only the private marker's number is ever compared.)
    const UINT format = ::RegisterClipboardFormatW(L"Kadrovix.Test.Private");
    ASSERT_NE(format, 0u);
    const std::uint8_t bytes[] = {7, 8, 9};
    auto first = win32::put_clipboard_data(window_.handle, format, bytes);
    ASSERT_TRUE(first.has_value());
    EXPECT_NE(*first, 0u);
    EXPECT_EQ(*first, ::GetClipboardSequenceNumber()) << "nothing else wrote since";
    auto second = win32::put_clipboard_data(window_.handle, format, bytes);
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*second, *first);

    ASSERT_TRUE(open_clipboard_patiently(window_.handle));
    HANDLE data = ::GetClipboardData(format);
    ASSERT_NE(data, nullptr);
    const auto* stored = static_cast<const std::uint8_t*>(::GlobalLock(data));
    ASSERT_NE(stored, nullptr);
    EXPECT_TRUE(std::equal(std::begin(bytes), std::end(bytes), stored));
    ::GlobalUnlock(data);
    ::CloseClipboard();
}

TEST_F(ClipboardExport, ObjectsPasteOnlyWhileTheMarkerIsTheClipboardContent) {
    Editor editor = kadrovix::testing::editor_with({kadrovix::testing::make_rect(1, {{10, 10}, {20, 30}})});
    editor.selection = {1};
    ObjectClipboard clipboard;

    // Copying objects replaces the image that was there.
    ASSERT_TRUE(win32::copy_image(test_image(2, 2), window_.handle).has_value());
    auto copied = win32::copy_objects(editor, clipboard, window_.handle);
    ASSERT_TRUE(copied.has_value());
    ASSERT_TRUE(*copied);
    EXPECT_FALSE(::IsClipboardFormatAvailable(CF_DIB));
    const UINT marker = ::RegisterClipboardFormatW(L"Kadrovix.Annotations.Session");
    EXPECT_TRUE(::IsClipboardFormatAvailable(marker));

    ASSERT_TRUE(win32::paste_objects(editor, clipboard));
    ASSERT_TRUE(win32::paste_objects(editor, clipboard));
    ASSERT_EQ(editor.objects.size(), 3u);
    EXPECT_EQ(editor.objects[1].as<shape::Rectangle>()->box.min, (Point{26, 26}));
    EXPECT_EQ(editor.objects[2].as<shape::Rectangle>()->box.min, (Point{42, 42}));
    EXPECT_EQ(editor.selection, (std::vector<std::uint64_t>{editor.objects[2].id}));

    // Another program copies text: our copy is no longer the clipboard's.
    kadrovix::testing::ChildProcess other(L"copy_text");
    ASSERT_TRUE(other.started());
    ASSERT_EQ(other.wait(), 0);
    EXPECT_FALSE(win32::paste_objects(editor, clipboard));
    EXPECT_EQ(editor.objects.size(), 3u);
}

TEST_F(ClipboardExport, CopyingAgainRestartsTheOffsetAndEmptySelectionsCopyNothing) {
    Editor editor = kadrovix::testing::editor_with({kadrovix::testing::make_rect(1, {{0, 0}, {8, 8}})});
    editor.selection = {1};
    ObjectClipboard clipboard;
    ASSERT_TRUE(win32::copy_objects(editor, clipboard, window_.handle).value_or(false));
    ASSERT_TRUE(win32::paste_objects(editor, clipboard));
    ASSERT_TRUE(win32::paste_objects(editor, clipboard));  // at +32

    editor.selection = {1};
    ASSERT_TRUE(win32::copy_objects(editor, clipboard, window_.handle).value_or(false));
    ASSERT_TRUE(win32::paste_objects(editor, clipboard));
    EXPECT_EQ(editor.objects.back().as<shape::Rectangle>()->box.min, (Point{16, 16}));

    // Nothing selected: no copy, and the clipboard keeps exactly what it had.
    editor.selection.clear();
    const DWORD before = ::GetClipboardSequenceNumber();
    auto nothing = win32::copy_objects(editor, clipboard, window_.handle);
    ASSERT_TRUE(nothing.has_value());
    EXPECT_FALSE(*nothing);
    EXPECT_EQ(::GetClipboardSequenceNumber(), before);
    ASSERT_TRUE(win32::paste_objects(editor, clipboard)) << "the earlier copy is still current";
    EXPECT_EQ(editor.objects.back().as<shape::Rectangle>()->box.min, (Point{32, 32}));
}

TEST_F(ClipboardExport, ACopyOfOurOwnImageAlsoEndsTheObjectCopy) {
    Editor editor = kadrovix::testing::editor_with({kadrovix::testing::make_rect(1, {{0, 0}, {8, 8}})});
    editor.selection = {1};
    ObjectClipboard clipboard;
    ASSERT_TRUE(win32::copy_objects(editor, clipboard, window_.handle).value_or(false));
    ASSERT_TRUE(win32::copy_color_text({9, 9, 9}, window_.handle).has_value());
    EXPECT_FALSE(win32::paste_objects(editor, clipboard));
    EXPECT_EQ(editor.objects.size(), 1u);
}
