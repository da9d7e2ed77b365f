#include "session/io/lens_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kadrovix {
namespace {

std::string as_text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(LensRequest, BodyIsTheMultipartFormByteForByte) {
    // PNG bytes that contain CR LF, NUL and a boundary-like run must pass untouched.
    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0x00, '-', '-', 0xFF};
    const std::vector<std::uint8_t> body = build_lens_body(png);
    const std::string expected_head =
        "--Kadrovix-Lens-7bf973acd8024d91\r\n"
        "Content-Disposition: form-data; name=\"encoded_image\"; filename=\"capture.png\"\r\n"
        "Content-Type: image/png\r\n"
        "\r\n";
    const std::string expected_tail = "\r\n--Kadrovix-Lens-7bf973acd8024d91--\r\n";
    ASSERT_EQ(body.size(), expected_head.size() + png.size() + expected_tail.size());
    const std::string text = as_text(body);
    EXPECT_EQ(text.substr(0, expected_head.size()), expected_head);
    EXPECT_EQ(std::vector<std::uint8_t>(body.begin() + static_cast<long>(expected_head.size()),
                                        body.begin() + static_cast<long>(expected_head.size() + png.size())),
              png);
    EXPECT_EQ(text.substr(expected_head.size() + png.size()), expected_tail);
}

TEST(LensRequest, HeadersAreTheTwoExtraLines) {
    EXPECT_EQ(lens_request_headers(),
              "Content-Type: multipart/form-data; boundary=Kadrovix-Lens-7bf973acd8024d91\r\n"
              "Cookie: SOCS=CAI\r\n");
}

TEST(LensRequest, SizeLimitAllowsExactlyTwentyMebibytes) {
    EXPECT_TRUE(check_lens_png_size(20971520).has_value());
    EXPECT_TRUE(check_lens_png_size(0).has_value());
    auto over = check_lens_png_size(20971521);
    ASSERT_FALSE(over.has_value());
    EXPECT_EQ(over.error().message, "The image exceeds the Google Lens limit of 20 MB.");
}

TEST(LensRequest, OnlyRedirectStatusesCarryALink) {
    for (std::uint32_t status : {301u, 302u, 303u, 307u, 308u}) EXPECT_TRUE(is_lens_redirect_status(status)) << status;
    for (std::uint32_t status : {200u, 201u, 300u, 304u, 305u, 306u, 400u, 500u}) {
        EXPECT_FALSE(is_lens_redirect_status(status)) << status;
    }
    EXPECT_EQ(lens_rejected_message(200),
              "Google Lens did not accept the image (HTTP 200). Your capture is preserved.");
    EXPECT_EQ(lens_rejected_message(503),
              "Google Lens did not accept the image (HTTP 503). Your capture is preserved.");
}

TEST(LensLink, AcceptsTheTwoResultShapes) {
    EXPECT_TRUE(is_acceptable_lens_link(u"https://www.google.com/search?vsrid=abc&gsessionid=x"));
    EXPECT_TRUE(is_acceptable_lens_link(u"https://www.google.com/search?"));
    EXPECT_TRUE(is_acceptable_lens_link(u"https://lens.google.com/search?p=1"));
    EXPECT_TRUE(is_acceptable_lens_link(u"https://lens.google.com/"));
    EXPECT_TRUE(is_acceptable_lens_link(u"https://www.google.com/search?q=caf\u00e9"));
}

TEST(LensLink, RefusesOtherHostsSchemesAndPaths) {
    for (const char16_t* link : {
             u"http://www.google.com/search?q=1",             // not HTTPS
             u"https://www.google.com/searchx?q=1",           // other path
             u"https://www.google.com/search",                // no query
             u"https://www.google.com/url?q=https://x.test",  // open redirect path
             u"https://www.google.com.evil.test/search?q=1",  // host only starts the same
             u"https://www.google.com@evil.test/search?q=1",  // user info trick
             u"https://lens.google.com.evil.test/",
             u"https://lens.google.com",  // no path
             u"https://LENS.google.com/",
             u"https://evil.test/search?https://www.google.com/search?",
             u"//www.google.com/search?q=1",
             u"",
         }) {
        EXPECT_FALSE(is_acceptable_lens_link(link)) << std::u16string(link).size();
    }
}

TEST(LensLink, RefusesControlCharactersAnywhere) {
    const std::u16string good = u"https://www.google.com/search?q=1";
    ASSERT_TRUE(is_acceptable_lens_link(good));
    for (char16_t c : {u'\t', u'\n', u'\r', u'\x01', u'\x1F', u'\x7F', u'\x80', u'\x85', u'\x9F'}) {
        std::u16string link = good;
        link.insert(link.begin() + 30, c);
        EXPECT_FALSE(is_acceptable_lens_link(link)) << static_cast<int>(c);
        link = good + c;
        EXPECT_FALSE(is_acceptable_lens_link(link)) << static_cast<int>(c);
    }
    // The neighbours of the refused ranges are fine.
    EXPECT_TRUE(is_acceptable_lens_link(good + u'!'));
    EXPECT_TRUE(is_acceptable_lens_link(good + u'~'));
    EXPECT_TRUE(is_acceptable_lens_link(good + u'\u00A0'));
}

TEST(LensLink, RefusesCharactersTheShellWouldSplitOrPassOn) {
    for (char16_t c : std::u16string_view(u"\" <>\\^`{|}")) {
        auto result = lens_link_from_location(u"https://lens.google.com/a" + std::u16string(1, c) + u"b?q");
        ASSERT_FALSE(result.has_value()) << static_cast<int>(c);
        EXPECT_EQ(result.error().message,
                  "Google Lens returned an unexpected link: https://lens.google.com/a" + std::string(1, char(c)) + "b");
    }
}

TEST(LensLink, LocationBufferIsCutAtTheFirstNul) {
    std::u16string buffer(kLensLocationUnits, u'\0');
    const std::u16string link = u"https://lens.google.com/search?p=\u00e9";
    std::copy(link.begin(), link.end(), buffer.begin());
    buffer[link.size() + 3] = u'x';  // garbage after the terminator is ignored
    auto result = lens_link_from_location(buffer);
    ASSERT_TRUE(result.has_value()) << result.error().message;
    EXPECT_EQ(*result, "https://lens.google.com/search?p=\xC3\xA9");

    // A full buffer without any NUL is taken whole.
    std::u16string full = u"https://lens.google.com/";
    full.resize(kLensLocationUnits, u'a');
    auto whole = lens_link_from_location(full);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->size(), kLensLocationUnits);
}

TEST(LensLink, WrongShapesShowTheLinkWithoutItsQuery) {
    auto other = lens_link_from_location(u"https://evil.test/phish?token=secret&x=1");
    ASSERT_FALSE(other.has_value());
    EXPECT_EQ(other.error().message, "Google Lens returned an unexpected link: https://evil.test/phish");

    auto no_query = lens_link_from_location(u"https://evil.test/path");
    ASSERT_FALSE(no_query.has_value());
    EXPECT_EQ(no_query.error().message, "Google Lens returned an unexpected link: https://evil.test/path");

    // A right-looking link refused for a tab is also shown cut at "?".
    auto tab = lens_link_from_location(u"https://www.google.com/search?q=a\tb");
    ASSERT_FALSE(tab.has_value());
    EXPECT_EQ(tab.error().message, "Google Lens returned an unexpected link: https://www.google.com/search");

    auto del = lens_link_from_location(u"https://lens.google.com/x\x7F");
    ASSERT_FALSE(del.has_value());
    EXPECT_EQ(del.error().message, "Google Lens returned an unexpected link: https://lens.google.com/x\x7F");

    auto empty = lens_link_from_location(std::u16string(16, u'\0'));
    ASSERT_FALSE(empty.has_value());
    EXPECT_EQ(empty.error().message, "Google Lens returned an unexpected link: ");
}

TEST(LensLink, UnpairedSurrogatesAreNotALink) {
    for (std::u16string link : {std::u16string(u"https://www.google.com/search?q=") + char16_t(0xD800),
                                std::u16string(u"https://www.google.com/search?q=") + char16_t(0xDC00) + u"a",
                                std::u16string(1, char16_t(0xDBFF)) + u"https://lens.google.com/"}) {
        auto result = lens_link_from_location(link);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().message, "Invalid Google Lens link");
    }
    // A proper pair is fine and arrives as four UTF-8 bytes.
    auto paired =
        lens_link_from_location(std::u16string(u"https://lens.google.com/") + char16_t(0xD83D) + char16_t(0xDE00));
    ASSERT_TRUE(paired.has_value());
    EXPECT_EQ(*paired, "https://lens.google.com/\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace kadrovix
