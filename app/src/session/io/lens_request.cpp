#include "session/io/lens_request.h"

#include <optional>

namespace kadrovix {

namespace {

void append(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kPartHeaders =
    "Content-Disposition: form-data; name=\"encoded_image\"; filename=\"capture.png\"\r\n"
    "Content-Type: image/png\r\n"
    "\r\n";

bool starts_with_ascii(std::u16string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (text[i] != static_cast<char16_t>(static_cast<unsigned char>(prefix[i]))) return false;
    }
    return true;
}

bool starts_with_link_prefix(std::u16string_view link, std::string_view host, std::string_view path) {
    constexpr std::string_view kScheme = "https://";
    if (!starts_with_ascii(link, kScheme)) return false;
    link.remove_prefix(kScheme.size());
    if (!starts_with_ascii(link, host)) return false;
    link.remove_prefix(host.size());
    return starts_with_ascii(link, path);
}

// Strict UTF-16 to UTF-8: an unpaired surrogate gives nothing.
std::optional<std::string> utf16_to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return std::nullopt;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace

Result<void> check_lens_png_size(std::uint64_t png_bytes) {
    if (png_bytes > kLensMaxPngBytes) return general_failure(kLensTooLargeMessage);
    return {};
}

std::vector<std::uint8_t> build_lens_body(std::span<const std::uint8_t> png) {
    std::vector<std::uint8_t> body;
    body.reserve(png.size() + kPartHeaders.size() + 2 * kLensBoundary.size() + 16);
    append(body, "--");
    append(body, kLensBoundary);
    append(body, kCrLf);
    append(body, kPartHeaders);
    body.insert(body.end(), png.begin(), png.end());
    append(body, kCrLf);
    append(body, "--");
    append(body, kLensBoundary);
    append(body, "--");
    append(body, kCrLf);
    return body;
}

std::string lens_request_headers() {
    std::string headers = "Content-Type: multipart/form-data; boundary=";
    headers += kLensBoundary;
    headers += "\r\nCookie: SOCS=CAI\r\n";
    return headers;
}

bool is_lens_redirect_status(std::uint32_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string lens_rejected_message(std::uint32_t status) {
    return "Google Lens did not accept the image (HTTP " + std::to_string(status) + "). Your capture is preserved.";
}

bool is_acceptable_lens_link(std::u16string_view link) {
    if (!starts_with_link_prefix(link, kSearchResultHost, "/search?") &&
        !starts_with_link_prefix(link, kLensUploadHost, "/")) {
        return false;
    }
    // Characters a URL never holds unescaped: the shell would split the link at
    // a space or quote, and hand the rest to whatever opens it as arguments.
    constexpr std::u16string_view kUnsafe = u"\" <>\\^`{|}";
    for (char16_t c : link) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || kUnsafe.find(c) != std::u16string_view::npos) return false;
    }
    return true;
}

Result<std::string> lens_link_from_location(std::u16string_view location) {
    if (const auto nul = location.find(u'\0'); nul != std::u16string_view::npos) location = location.substr(0, nul);
    auto link = utf16_to_utf8(location);
    if (!link) return general_failure(kInvalidLensLinkMessage);
    if (is_acceptable_lens_link(location)) return std::move(*link);
    std::string shown = std::move(*link);
    if (const auto query = shown.find('?'); query != std::string::npos) shown.erase(query);
    return general_failure("Google Lens returned an unexpected link: " + shown);
}

}  // namespace kadrovix
