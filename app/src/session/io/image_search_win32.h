// "Search with Google Lens" (Ctrl+G): the upload runs on its own worker thread
// and hands its one result back through a single-use channel, announced by
// MSG_SEARCH_RESULT posted to the editor window.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "base/error.h"
#include "render/bgra_image.h"
#include "session/io/search_channel.h"

namespace kadrovix::win32 {

inline constexpr wchar_t kSearchThreadName[] = L"Kadrovix Google Lens";

// The Ctrl+G command. Does nothing and gives false while `searching` is set
// (one search per capture). Otherwise renders the output image on this thread
// with `render_output` (whose error, such as "Select a capture region first",
// is returned as is), moves it into a new "Kadrovix Google Lens" worker that
// uploads it, sets `searching`, keeps the receiving end in `pending` and gives
// true; the caller then sends the "Searching Google…" notice.
Result<bool> start_image_search(bool& searching, std::unique_ptr<SearchReceiver>& pending, HWND window,
                                const std::function<Result<BgraImage>()>& render_output);

// On MSG_SEARCH_RESULT, with the receiver taken out of the application record
// (the caller also clears the capture's searching flag). Opens an accepted
// link in the browser and gives true: the capture then ends. Every other
// outcome is shown in a message box owned by `window` and gives false: the
// capture stays open. A null receiver does nothing.
bool finish_image_search(const std::unique_ptr<SearchReceiver>& receiver, HWND window);

namespace search_detail {

using SearchUpload = std::function<Result<std::string>(const BgraImage&)>;

// Starts the named worker that runs `upload` on `image`, sends its result and
// then posts MSG_SEARCH_RESULT (both parameters 0) to `window`. The program
// passes upload_to_lens; tests pass an upload aimed at a loopback server.
Result<std::unique_ptr<SearchReceiver>> start_search_worker(HWND window, BgraImage image, SearchUpload upload);

}  // namespace search_detail

}  // namespace kadrovix::win32
