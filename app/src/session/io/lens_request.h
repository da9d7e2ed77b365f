// The Google Lens upload as bytes and rules, free of the network: the fixed
// request parts, the multipart body, the size limit, and how the service's
// answer becomes a result link or a message. lens_upload_win32.h sends it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace kadrovix {

inline constexpr std::string_view kLensUploadHost = "lens.google.com";
inline constexpr std::string_view kSearchResultHost = "www.google.com";
inline constexpr std::uint16_t kLensPort = 443;
inline constexpr std::string_view kLensMethod = "POST";
inline constexpr std::string_view kLensPathAndQuery = "/v3/upload?ep=cntpubb&hl=en";
inline constexpr std::string_view kLensBoundary = "Kadrovix-Lens-7bf973acd8024d91";
inline constexpr std::string_view kLensUserAgent = "Kadrovix/0.1";

inline constexpr std::size_t kLensMaxPngBytes = 20u * 1024u * 1024u;  // 20,971,520

inline constexpr int kLensResolveTimeoutMs = 10000;
inline constexpr int kLensConnectTimeoutMs = 10000;
inline constexpr int kLensSendTimeoutMs = 20000;
inline constexpr int kLensReceiveTimeoutMs = 20000;

// The Location header is read into a zeroed buffer of this many UTF-16 units
// (16,384 bytes); a longer header is an error.
inline constexpr std::size_t kLensLocationUnits = 8192;

inline constexpr char kLensTooLargeMessage[] = "The image exceeds the Google Lens limit of 20 MB.";
inline constexpr char kIncompletePngMessage[] = "Incomplete PNG";
inline constexpr char kInvalidLensLinkMessage[] = "Invalid Google Lens link";

// Refuses a PNG of more than kLensMaxPngBytes; checked before any connection.
Result<void> check_lens_png_size(std::uint64_t png_bytes);

// The multipart/form-data body: one part "encoded_image" named capture.png.
std::vector<std::uint8_t> build_lens_body(std::span<const std::uint8_t> png);

// The two additional request header lines, each ending in CR LF.
std::string lens_request_headers();

bool is_lens_redirect_status(std::uint32_t status);

// "Google Lens did not accept the image (HTTP {status}). Your capture is preserved."
std::string lens_rejected_message(std::uint32_t status);

// A result link the browser may open: on the search-result host under
// "/search?" or on the upload host under "/", with no control character
// (U+0000..U+001F, U+007F..U+009F) and none of " space < > \ ^ ` { | }
// anywhere.
bool is_acceptable_lens_link(std::u16string_view link);

// Turns the Location buffer of a redirect into the result link (UTF-8): the
// text up to the first NUL (the whole buffer if there is none), which must be
// valid UTF-16 and an acceptable link. A link of the wrong shape is refused
// with "Google Lens returned an unexpected link: " and the link cut before its
// first "?", so that the query, which may carry anything, is never shown.
Result<std::string> lens_link_from_location(std::u16string_view location);

}  // namespace kadrovix
