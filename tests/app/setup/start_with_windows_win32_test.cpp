#include "app/setup/start_with_windows_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/setup/start_with_windows.h"

using namespace kadrovix;

namespace {

struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> bytes;
};

std::optional<RawValue> read_raw() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RawValue value;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExW(key, kRunValueName, nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.bytes.resize(size);
        status = ::RegQueryValueExW(key, kRunValueName, nullptr, &value.type, value.bytes.data(), &size);
        value.bytes.resize(size);
    }
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

void write_raw(DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, kRunValueName, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    ::RegCloseKey(key);
}

void delete_raw() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    ::RegDeleteValueW(key, kRunValueName);
    ::RegCloseKey(key);
}

std::wstring this_executable() {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return std::wstring(path, n);
}

// The prefix's own Run value, if any, is put back after each test.
class StartWithWindows : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = read_raw();
        delete_raw();
    }
    void TearDown() override {
        delete_raw();
        if (saved_) write_raw(saved_->type, saved_->bytes.data(), static_cast<DWORD>(saved_->bytes.size()));
    }
    std::optional<RawValue> saved_;
};

}  // namespace

TEST_F(StartWithWindows, WriteReadDeleteRoundTrip) {
    auto enabled = start_with_windows_enabled();
    ASSERT_TRUE(enabled.has_value());
    EXPECT_FALSE(*enabled);

    ASSERT_TRUE(set_start_with_windows(true).has_value());
    enabled = start_with_windows_enabled();
    ASSERT_TRUE(enabled.has_value());
    EXPECT_TRUE(*enabled);

    const auto raw = read_raw();
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, DWORD{REG_SZ});
    const std::wstring expected = L"\"" + this_executable() + L"\"";
    // The size counts the terminating NUL.
    ASSERT_EQ(raw->bytes.size(), (expected.size() + 1) * sizeof(wchar_t));
    const std::wstring stored(reinterpret_cast<const wchar_t*>(raw->bytes.data()), expected.size());
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(reinterpret_cast<const wchar_t*>(raw->bytes.data())[expected.size()], L'\0');

    // Writing again replaces rather than failing.
    ASSERT_TRUE(set_start_with_windows(true).has_value());

    ASSERT_TRUE(set_start_with_windows(false).has_value());
    EXPECT_FALSE(read_raw().has_value());
    enabled = start_with_windows_enabled();
    ASSERT_TRUE(enabled.has_value());
    EXPECT_FALSE(*enabled);

    // Deleting a value that is already gone succeeds.
    EXPECT_TRUE(set_start_with_windows(false).has_value());
}

TEST_F(StartWithWindows, AnyStringValueCountsAsEnabled) {
    const wchar_t other[] = L"C:\\elsewhere\\old.exe";
    write_raw(REG_SZ, other, sizeof other);
    auto enabled = start_with_windows_enabled();
    ASSERT_TRUE(enabled.has_value());
    EXPECT_TRUE(*enabled);
    // Writing puts this executable's path back.
    ASSERT_TRUE(set_start_with_windows(true).has_value());
    const auto raw = read_raw();
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(raw->bytes.data())), L"\"" + this_executable() + L"\"");
}

TEST_F(StartWithWindows, ValueOfAnotherTypeIsAnError) {
    const DWORD number = 1;
    write_raw(REG_DWORD, &number, sizeof number);
    const auto enabled = start_with_windows_enabled();
    ASSERT_FALSE(enabled.has_value());
    EXPECT_NE(enabled.error().code, 0);
    // Disabling removes it whatever its type.
    EXPECT_TRUE(set_start_with_windows(false).has_value());
    EXPECT_FALSE(read_raw().has_value());
}
