#include "settings/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kadrovix {
namespace {

// Shortest-form encoding of a scalar value, written out independently of the
// validator so the two can be checked against each other.
std::string encode(std::uint32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

TEST(Utf8ValidationTest, AcceptsWellFormedText) {
    EXPECT_TRUE(is_valid_utf8(""));
    EXPECT_TRUE(is_valid_utf8(std::string("a\0b", 3)));
    EXPECT_TRUE(is_valid_utf8("kadrovix-settings-9\n"));
    for (const char* text : {
             "\xC2\x80",          // U+0080
             "\xDF\xBF",          // U+07FF
             "\xE0\xA0\x80",      // U+0800
             "\xED\x9F\xBF",      // U+D7FF, last before the surrogates
             "\xEE\x80\x80",      // U+E000, first after them
             "\xEF\xBF\xBF",      // U+FFFF
             "\xF0\x90\x80\x80",  // U+10000
             "\xF4\x8F\xBF\xBF",  // U+10FFFF
             "\xC3\xA9t\xC3\xA9",
         }) {
        EXPECT_TRUE(is_valid_utf8(text)) << testing::PrintToString(std::string(text));
    }
}

TEST(Utf8ValidationTest, RejectsMalformedText) {
    for (const char* text : {
             "\x80",              // stray continuation
             "a\xBF",             //
             "\xC0\x80",          // overlong NUL
             "\xC1\xBF",          // overlong
             "\xE0\x9F\xBF",      // overlong three-byte
             "\xF0\x8F\xBF\xBF",  // overlong four-byte
             "\xED\xA0\x80",      // U+D800
             "\xED\xBF\xBF",      // U+DFFF
             "\xF4\x90\x80\x80",  // U+110000
             "\xF5\x80\x80\x80",  //
             "\xF8\x88\x80\x80\x80",
             "\xFE",
             "\xFF",
             "\xC2",              // truncated at the end
             "\xE2\x82",          //
             "\xF0\x90\x80",      //
             "\xC2\x41",          // continuation missing
             "\xE2\x28\xA1",      //
             "\xE2\x82\x28",      //
             "\xF0\x90\x28\xBC",  //
             "\xF0\x90\x80\x28",  //
             "ok\xC3\xA9\xC3",    // fine until the last byte
         }) {
        EXPECT_FALSE(is_valid_utf8(text)) << testing::PrintToString(std::string(text));
    }
}

TEST(Utf8ValidationTest, AgreesWithTheEncoderOnEveryCodePoint) {
    for (std::uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
        // The same bit pattern is produced for surrogates; it must be refused.
        ASSERT_EQ(is_valid_utf8(encode(cp)), !surrogate) << std::hex << cp;
    }
}

TEST(Utf8ValidationTest, EveryTwoByteInputMatchesTheRules) {
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::string text{static_cast<char>(first), static_cast<char>(second)};
            bool expected = false;
            if (first < 0x80) {
                expected = second < 0x80;  // two ASCII characters
            } else if (first >= 0xC2 && first <= 0xDF) {
                expected = second >= 0x80 && second <= 0xBF;
            }
            ASSERT_EQ(is_valid_utf8(text), expected) << std::hex << first << " " << second;
        }
    }
}

}  // namespace
}  // namespace kadrovix
