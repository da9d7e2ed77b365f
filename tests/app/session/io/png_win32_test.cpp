#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/runtime/com_apartment_win32.h"
#include "session/io/png_win32.h"
#include "session/io/save_capture_win32.h"
#include "session/io/save_paths.h"
#include "support/files.h"

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;
using namespace kadrovix;
using namespace kadrovix::win32;

namespace {

BgraImage sample_image(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
    BgraImage image = new_filled_image(width, height, 0xFF000000u).value();
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        const std::size_t p = i / 4;
        image.pixels[i] = static_cast<std::uint8_t>(p * 7 + seed);
        image.pixels[i + 1] = static_cast<std::uint8_t>(p * 13 + seed * 3);
        image.pixels[i + 2] = static_cast<std::uint8_t>((p / width) * 29 + seed);
    }
    return image;
}

using kadrovix::testing::read_bytes;

void write_bytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Decodes a PNG file with WIC into 32bppBGRA.
BgraImage decode_png(const fs::path& path) {
    BgraImage image;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
        return image;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromFilename(path.wstring().c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, &decoder))) {
        return image;
    }
    GUID container{};
    decoder->GetContainerFormat(&container);
    if (container != GUID_ContainerFormatPng) return image;
    UINT frames = 0;
    decoder->GetFrameCount(&frames);
    if (frames != 1) return image;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame))) return image;
    ComPtr<IWICFormatConverter> converter;
    factory->CreateFormatConverter(&converter);
    if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return image;
    }
    UINT w = 0, h = 0;
    converter->GetSize(&w, &h);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
    if (FAILED(converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data()))) return image;
    image.width = w;
    image.height = h;
    image.pixels = std::move(pixels);
    return image;
}

std::vector<fs::path> temporaries_in(const fs::path& folder) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().extension() == L".tmp") out.push_back(entry.path());
    }
    return out;
}

class Png : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t base[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, base), 0u);
        folder_ = fs::path(base) / (L"kadrovix-png-" + std::to_wstring(GetCurrentProcessId()));
        std::error_code ec;
        fs::remove_all(folder_, ec);
        ASSERT_TRUE(fs::create_directories(folder_));
    }
    void TearDown() override {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(folder_, ec)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(folder_, ec);
    }
    win32::ComApartment com_;  // first made, last gone
    fs::path folder_;
};

}  // namespace

TEST_F(Png, WrittenFileDecodesToTheSamePixels) {
    const BgraImage image = sample_image(37, 23, 5);
    const fs::path target = folder_ / L"shot.png";
    auto written = write_png_file(image, target.wstring());
    ASSERT_TRUE(written.has_value()) << std::hex << written.error().code;
    const BgraImage decoded = decode_png(target);
    EXPECT_EQ(decoded.width, 37u);
    EXPECT_EQ(decoded.height, 23u);
    EXPECT_TRUE(decoded.pixels == image.pixels);
    EXPECT_TRUE(temporaries_in(folder_).empty());

    // The in-memory encoding is the same file.
    auto bytes = encode_png(image);
    ASSERT_TRUE(bytes.has_value());
    const std::string on_disk = read_bytes(target);
    ASSERT_GE(bytes->size(), 8u);
    EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), on_disk);
}

TEST_F(Png, ExistingFileIsReplacedWhole) {
    const fs::path target = folder_ / L"shot.png";
    ASSERT_TRUE(write_png_file(sample_image(300, 200, 1), target.wstring()).has_value());
    const auto big = fs::file_size(target);
    const BgraImage small = sample_image(4, 3, 9);
    ASSERT_TRUE(write_png_file(small, target.wstring()).has_value());
    EXPECT_LT(fs::file_size(target), big);
    EXPECT_EQ(read_bytes(target), [&] {
        auto b = encode_png(small);
        return std::string(b->begin(), b->end());
    }());
    EXPECT_TRUE(decode_png(target).pixels == small.pixels);
    EXPECT_TRUE(temporaries_in(folder_).empty());
}

TEST_F(Png, FailedWriteLeavesTargetAndNoTemporary) {
    const fs::path target = folder_ / L"held.png";
    write_bytes(target, "previous contents");
    {
        // Held open without sharing: the move onto it cannot happen.
        HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        auto r = write_png_file(sample_image(8, 8, 2), target.wstring());
        CloseHandle(held);
        ASSERT_FALSE(r.has_value());
        EXPECT_NE(r.error().code, 0);
    }
    EXPECT_EQ(read_bytes(target), "previous contents");
    EXPECT_TRUE(temporaries_in(folder_).empty());

    // A folder that does not exist: nothing is created anywhere.
    auto missing = write_png_file(sample_image(8, 8, 2), (folder_ / L"no such folder" / L"x.png").wstring());
    ASSERT_FALSE(missing.has_value());
    EXPECT_FALSE(fs::exists(folder_ / L"no such folder"));

    // A stale read-only file at the temporary name, and a move that fails:
    // the temporary is removed all the same. (Depending on the account, the
    // write already fails on the read-only file, or succeeds and the move
    // fails; either way nothing may be left behind.)
    const fs::path temporary = fs::path(temporary_path(target.u16string(), GetCurrentProcessId()));
    write_bytes(temporary, "stale");
    ASSERT_TRUE(SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_READONLY));
    {
        HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        auto blocked = write_png_file(sample_image(8, 8, 2), target.wstring());
        CloseHandle(held);
        ASSERT_FALSE(blocked.has_value());
    }
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(read_bytes(target), "previous contents");
}

TEST_F(Png, RefusesBrokenImages) {
    BgraImage image = sample_image(8, 8, 3);
    image.pixels.pop_back();
    const fs::path target = folder_ / L"broken.png";
    auto r = write_png_file(image, target.wstring());
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message, "Invalid BGRA image dimensions or buffer length");
    EXPECT_FALSE(fs::exists(target));
    auto bytes = encode_png(image);
    ASSERT_FALSE(bytes.has_value());
    EXPECT_EQ(bytes.error().message, "Invalid BGRA image dimensions or buffer length");
}

namespace {

// Answers the Save dialog that the test thread is about to show: finds it among
// that thread's windows and presses the given button.
class DialogAnswer {
public:
    DialogAnswer(DWORD thread, int button) : thread_(thread), button_(button), worker_([this] { run(); }) {}
    ~DialogAnswer() {
        stop_ = true;
        worker_.join();
    }
    bool answered() const { return answered_; }

private:
    static BOOL CALLBACK find(HWND window, LPARAM param) {
        wchar_t name[32] = {};
        GetClassNameW(window, name, 32);
        if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
            *reinterpret_cast<HWND*>(param) = window;
            return FALSE;
        }
        return TRUE;
    }
    void run() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!stop_ && std::chrono::steady_clock::now() < deadline) {
            HWND dialog = nullptr;
            EnumThreadWindows(thread_, find, reinterpret_cast<LPARAM>(&dialog));
            if (dialog != nullptr) {
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, button_)));
                answered_ = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    DWORD thread_;
    int button_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> answered_{false};
    std::thread worker_;
};

class OwnerWindow {
public:
    OwnerWindow() {
        window_ = CreateWindowExW(0, L"STATIC", L"Kadrovix test owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    }
    ~OwnerWindow() {
        if (window_) DestroyWindow(window_);
    }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

fs::path desktop() {
    PWSTR path = nullptr;
    fs::path result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path))) result = path;
    CoTaskMemFree(path);
    return result;
}

}  // namespace

TEST_F(Png, SaveDialogCancelled) {
    OwnerWindow owner;
    ASSERT_NE(owner.get(), nullptr);
    const BgraImage image = sample_image(16, 9, 4);
    DialogAnswer answer(GetCurrentThreadId(), IDCANCEL);
    auto r = save_capture(image, folder_.u16string(), owner.get());
    ASSERT_TRUE(answer.answered());
    ASSERT_TRUE(r.has_value()) << r.error().message;
    EXPECT_EQ(r->outcome, SaveOutcome::Cancelled);
    EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(Png, SaveDialogWritesTheProposedNameInTheRememberedFolder) {
    OwnerWindow owner;
    const BgraImage image = sample_image(16, 9, 4);
    const auto before = unix_seconds(std::chrono::system_clock::now());
    DialogAnswer answer(GetCurrentThreadId(), IDOK);
    auto r = save_capture(image, folder_.u16string(), owner.get());
    const auto after = unix_seconds(std::chrono::system_clock::now());
    ASSERT_TRUE(answer.answered());
    ASSERT_TRUE(r.has_value()) << r.error().message;
    ASSERT_EQ(r->outcome, SaveOutcome::Saved);
    const fs::path saved(r->path);
    EXPECT_TRUE(fs::equivalent(saved.parent_path(), folder_));
    EXPECT_TRUE(fs::equivalent(fs::path(r->folder), folder_));
    // "Kadrovix-{seconds}.png" for a second within the call.
    const std::wstring name = saved.filename().wstring();
    bool proposed = false;
    for (auto s = before; s <= after; ++s) {
        const std::u16string expected = default_file_name(s);
        proposed = proposed || name == std::wstring(expected.begin(), expected.end());
    }
    EXPECT_TRUE(proposed) << saved.filename().string();
    EXPECT_TRUE(decode_png(saved).pixels == image.pixels);
    EXPECT_TRUE(temporaries_in(folder_).empty());
}

TEST_F(Png, SaveDialogFallsBackToTheDesktop) {
    const fs::path desk = desktop();
    ASSERT_FALSE(desk.empty());
    std::error_code ec;
    fs::create_directories(desk, ec);
    OwnerWindow owner;
    const BgraImage image = sample_image(5, 5, 8);
    // A remembered folder that has since been deleted.
    DialogAnswer answer(GetCurrentThreadId(), IDOK);
    auto r = save_capture(image, (folder_ / L"deleted").u16string(), owner.get());
    ASSERT_TRUE(answer.answered());
    ASSERT_TRUE(r.has_value()) << r.error().message;
    ASSERT_EQ(r->outcome, SaveOutcome::Saved);
    const fs::path saved(r->path);
    EXPECT_TRUE(fs::equivalent(saved.parent_path(), desk));
    EXPECT_TRUE(decode_png(saved).pixels == image.pixels);
    fs::remove(saved, ec);
}
