#include "session/io/lens_upload_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "app/runtime/com_apartment_win32.h"
#include "app/session/io/loopback_http_server_win32.h"
#include "session/io/lens_request.h"
#include "session/io/png_win32.h"

using namespace kadrovix;
using kadrovix::testing::LoopbackHttpServer;
using win32::lens_detail::LensEndpoint;

namespace {

LensEndpoint loopback(const LoopbackHttpServer& server) {
    return LensEndpoint{L"127.0.0.1", server.port(), false};
}

// A redirect whose body is announced but never sent: a client that tried to
// read it would wait for the receive time-out instead of returning at once.
std::string redirect_to(int status, const std::string& location) {
    return "HTTP/1.1 " + std::to_string(status) + " Moved\r\nLocation: " + location +
           "\r\nContent-Length: 100000\r\nContent-Type: text/html\r\n\r\n";
}

const std::string kAccepted200 = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/plain\r\n\r\nhello";

BgraImage small_image() {
    BgraImage image;
    image.width = 24;
    image.height = 16;
    image.pixels.resize(4u * 24u * 16u);
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        image.pixels[i] = static_cast<std::uint8_t>(i);
        image.pixels[i + 1] = static_cast<std::uint8_t>(i / 7);
        image.pixels[i + 2] = 0xB4;
        image.pixels[i + 3] = 0xFF;
    }
    return image;
}

struct ParsedHead {
    std::string request_line;
    std::map<std::string, std::string> headers;  // names lower-cased
};

ParsedHead parse_head(const std::string& head) {
    ParsedHead parsed;
    std::size_t at = head.find("\r\n");
    parsed.request_line = head.substr(0, at);
    while (at != std::string::npos && at + 2 < head.size()) {
        const std::size_t next = head.find("\r\n", at + 2);
        const std::string line = head.substr(at + 2, next - at - 2);
        at = next;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        parsed.headers[name] = value;
    }
    return parsed;
}

Result<std::string> post_to(LoopbackHttpServer& server, const std::vector<std::uint8_t>& png) {
    return win32::lens_detail::post_png_to_lens(png, loopback(server));
}

std::string error_of(const Result<std::string>& result) {
    return result.has_value() ? "<link " + *result + ">" : result.error().message;
}

}  // namespace

TEST(LensUpload, RequestIsTheMultipartPostByteForByte) {
    win32::ComApartment com;
    ASSERT_TRUE(com.ok());
    LoopbackHttpServer server(kAccepted200);
    ASSERT_TRUE(server.listening());
    const BgraImage image = small_image();

    auto result = win32::lens_detail::upload_to_lens_at(image, loopback(server));
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().message, "Google Lens did not accept the image (HTTP 200). Your capture is preserved.");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const ParsedHead head = parse_head(requests[0].head);
    EXPECT_EQ(head.request_line, "POST /v3/upload?ep=cntpubb&hl=en HTTP/1.1");
    EXPECT_EQ(head.headers.at("user-agent"), "Kadrovix/0.1");
    EXPECT_EQ(head.headers.at("content-type"), "multipart/form-data; boundary=Kadrovix-Lens-7bf973acd8024d91");
    EXPECT_EQ(head.headers.at("cookie"), "SOCS=CAI");
    EXPECT_EQ(head.headers.at("content-length"), std::to_string(requests[0].body.size()));

    auto png = win32::encode_png(image);
    ASSERT_TRUE(png.has_value());
    ASSERT_GT(png->size(), 8u);
    EXPECT_EQ(requests[0].body, build_lens_body(*png)) << "the body is the form around the image's own PNG";
    const std::string text(requests[0].body.begin(), requests[0].body.end());
    EXPECT_EQ(text.rfind("--Kadrovix-Lens-7bf973acd8024d91\r\nContent-Disposition: form-data; "
                         "name=\"encoded_image\"; filename=\"capture.png\"\r\nContent-Type: image/png\r\n\r\n\x89PNG",
                         0),
              0u);
    EXPECT_EQ(text.substr(text.size() - 38), "\r\n--Kadrovix-Lens-7bf973acd8024d91--\r\n");
}

TEST(LensUpload, RedirectIsReturnedNeitherFollowedNorItsBodyRead) {
    // First to this very server, so that a client following redirects would
    // show up here as a second request instead of reaching any other host.
    {
        LoopbackHttpServer server(kAccepted200);
        ASSERT_TRUE(server.listening());
        const std::string self = "http://127.0.0.1:" + std::to_string(server.port()) + "/followed";
        // An empty body here, so that a following client is not held up draining it.
        server.set_response("HTTP/1.1 302 Found\r\nLocation: " + self + "?x=1\r\nContent-Length: 0\r\n\r\n");
        auto result = post_to(server, {1, 2, 3});
        ASSERT_EQ(server.requests().size(), 1u) << "the redirect must not be followed";
        ASSERT_EQ(error_of(result), "Google Lens returned an unexpected link: " + self);
        ASSERT_EQ(server.stop_and_count_connections(), 1);
    }
    // Proven not to follow: now the real result shapes, each for every redirect status.
    const std::string links[] = {"https://www.google.com/search?vsrid=CKC&gsessionid=7&lsessionid=1",
                                 "https://lens.google.com/search?p=AbC"};
    for (int status : {301, 302, 303, 307, 308}) {
        const std::string& link = links[status % 2];
        LoopbackHttpServer server(redirect_to(status, link));
        ASSERT_TRUE(server.listening());
        const auto start = std::chrono::steady_clock::now();
        auto result = post_to(server, {0x89, 'P', 'N', 'G'});
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(result.has_value()) << status << ": " << result.error().message;
        EXPECT_EQ(*result, link);
        // The body of 100000 announced bytes never comes; reading it would
        // have taken the 20-second receive time-out.
        EXPECT_LT(elapsed, std::chrono::seconds(10)) << status;
        EXPECT_EQ(server.stop_and_count_connections(), 1) << status;
        EXPECT_EQ(server.requests().size(), 1u) << status;
    }
}

TEST(LensUpload, StatusesOtherThanRedirectsAreNotAccepted) {
    for (const auto& [response, status] : std::vector<std::pair<std::string, int>>{
             {kAccepted200, 200},
             {"HTTP/1.1 304 Not Modified\r\nLocation: https://lens.google.com/\r\n\r\n", 304},
             {"HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n", 500}}) {
        LoopbackHttpServer server(response);
        ASSERT_TRUE(server.listening());
        EXPECT_EQ(error_of(post_to(server, {1})), "Google Lens did not accept the image (HTTP " +
                                                      std::to_string(status) + "). Your capture is preserved.");
    }
}

TEST(LensUpload, LinksOfTheWrongShapeAreRefused) {
    struct Case {
        std::string location;
        std::string message;
    };
    const Case cases[] = {
        {"https://evil.invalid/phish?token=secret",
         "Google Lens returned an unexpected link: https://evil.invalid/phish"},
        {"https://www.google.com.evil.invalid/search?q=1",
         "Google Lens returned an unexpected link: https://www.google.com.evil.invalid/search"},
        {"https://www.google.com/search?q=a\tb",
         "Google Lens returned an unexpected link: https://www.google.com/search"},
        {"https://lens.google.com/a\tb", "Google Lens returned an unexpected link: https://lens.google.com/a\tb"},
        {"https://www.google.com/search?q=a\x7F"
         "b",
         "Google Lens returned an unexpected link: https://www.google.com/search"},
        {"https://lens.google.com/a\x7F"
         "b?q",
         "Google Lens returned an unexpected link: https://lens.google.com/a\x7F"
         "b"},
    };
    for (const Case& c : cases) {
        LoopbackHttpServer server(redirect_to(302, c.location));
        ASSERT_TRUE(server.listening());
        EXPECT_EQ(error_of(post_to(server, {1})), c.message) << c.location;
    }
}

TEST(LensUpload, SizeLimitIsCheckedBeforeAnyConnection) {
    {
        LoopbackHttpServer server(kAccepted200);
        ASSERT_TRUE(server.listening());
        std::vector<std::uint8_t> too_big(20971521, 0x5A);
        EXPECT_EQ(error_of(post_to(server, too_big)), "The image exceeds the Google Lens limit of 20 MB.");
        EXPECT_EQ(server.stop_and_count_connections(), 0);
    }
    {
        LoopbackHttpServer server(kAccepted200);
        ASSERT_TRUE(server.listening());
        std::vector<std::uint8_t> at_limit(20971520, 0x5A);
        at_limit.front() = 0x89;
        at_limit.back() = 0x42;
        EXPECT_EQ(error_of(post_to(server, at_limit)),
                  "Google Lens did not accept the image (HTTP 200). Your capture is preserved.");
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].body, build_lens_body(at_limit));
    }
}

TEST(LensUpload, InvalidImagesAndUnreachableServersFailWithTheirTexts) {
    LoopbackHttpServer server(kAccepted200);
    ASSERT_TRUE(server.listening());
    BgraImage broken = small_image();
    broken.pixels.pop_back();
    auto invalid = win32::lens_detail::upload_to_lens_at(broken, loopback(server));
    EXPECT_EQ(error_of(invalid), "Invalid BGRA image dimensions or buffer length");
    EXPECT_EQ(server.stop_and_count_connections(), 0);

    // A port nobody listens on any more: WinHTTP's own error, with its text.
    LensEndpoint closed = loopback(server);
    {
        LoopbackHttpServer gone(kAccepted200);
        closed.port = gone.port();
    }
    auto unreachable = win32::lens_detail::post_png_to_lens(std::vector<std::uint8_t>{1}, closed);
    ASSERT_FALSE(unreachable.has_value());
    EXPECT_EQ(unreachable.error().code, hresult_from_win32(ERROR_WINHTTP_CANNOT_CONNECT));
    EXPECT_FALSE(unreachable.error().message.empty());
}
