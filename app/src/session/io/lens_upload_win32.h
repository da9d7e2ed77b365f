// The Google Lens upload over WinHTTP: one POST of the capture's PNG, answered
// by a redirect to the result page. Runs on the image-search worker thread.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <span>
#include <string>

#include "base/error.h"
#include "render/bgra_image.h"

namespace kadrovix::win32 {

// Encodes `image` as PNG and uploads it to lens.google.com over HTTPS; gives
// the accepted result link (UTF-8) or an error whose text the editor shows.
// Initialises COM on the calling thread for its own duration.
Result<std::string> upload_to_lens(const BgraImage& image);

namespace lens_detail {

// Where the request goes. The program always uses lens_endpoint(); the
// functions below take it as a parameter only so that tests can aim the very
// same request at a loopback server.
struct LensEndpoint {
    std::wstring host;
    INTERNET_PORT port = 0;
    bool secure = true;
};

LensEndpoint lens_endpoint();

Result<std::string> upload_to_lens_at(const BgraImage& image, const LensEndpoint& endpoint);

// Sends an already encoded PNG; refuses one above the size limit before any
// connection is made.
Result<std::string> post_png_to_lens(std::span<const std::uint8_t> png, const LensEndpoint& endpoint);

}  // namespace lens_detail

}  // namespace kadrovix::win32
