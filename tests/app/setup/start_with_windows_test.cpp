#include "app/setup/start_with_windows.h"

#include <gtest/gtest.h>

using namespace kadrovix;

TEST(RunValueData, QuotedPathWithTerminatingNul) {
    const std::u16string data = run_value_data(u"C:\\Program Files\\Kadrovix\\kadrovix.exe");
    EXPECT_EQ(data, std::u16string(u"\"C:\\Program Files\\Kadrovix\\kadrovix.exe\"") + u'\0');
    // The stored size counts the NUL: 2 quotes + 38 characters + NUL, two bytes each.
    EXPECT_EQ(data.size() * sizeof(char16_t), (2 + 38 + 1) * 2u);
    EXPECT_EQ(data.back(), u'\0');

    // Non-ASCII folders survive unchanged.
    const std::u16string path = u"D:\\\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u044b\\k.exe";
    EXPECT_EQ(run_value_data(path), u"\"" + path + u"\"" + u'\0');
    EXPECT_EQ(run_value_data(u""), std::u16string(u"\"\"") + u'\0');
}
