#include "session/io/image_search_win32.h"

#include <shellapi.h>

#include <utility>

#include "app/runtime/handles_win32.h"
#include "app/runtime/text_win32.h"
#include "app/runtime/thread_name_win32.h"
#include "base/error_win32.h"
#include "session/io/lens_upload_win32.h"
#include "session/session_messages.h"

namespace kadrovix::win32 {

namespace {

struct SearchWork {
    HWND window = nullptr;
    BgraImage image;
    SearchSender sender;
    search_detail::SearchUpload upload;
};

DWORD WINAPI search_thread(void* parameter) {
    std::unique_ptr<SearchWork> work(static_cast<SearchWork*>(parameter));
    set_current_thread_name(kSearchThreadName);
    const HWND window = work->window;
    try {
        SearchSender sender = std::move(work->sender);
        auto link = work->upload(work->image);
        if (link) {
            sender.send(SearchLink{std::move(*link)});
        } else {
            sender.send(SearchFailure{error_text(link.error())});
        }
    } catch (...) {
        // Nothing may leave the thread; the unsent channel closes and the
        // editor reports the search as interrupted.
    }
    // The image can be large; release it before the editor wakes.
    work.reset();
    // The window is gone when the capture ended meanwhile; the result is then
    // dropped with the channel.
    ::PostMessageW(window, MSG_SEARCH_RESULT, 0, 0);
    return 0;
}

void show_information(HWND owner, const std::string& text) {
    ::MessageBoxW(owner, to_wide(text).c_str(), L"Kadrovix", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

namespace search_detail {

Result<std::unique_ptr<SearchReceiver>> start_search_worker(HWND window, BgraImage image, SearchUpload upload) {
    SearchChannel channel = make_search_channel();
    auto work = std::make_unique<SearchWork>();
    work->window = window;
    work->image = std::move(image);
    work->sender = std::move(channel.sender);
    work->upload = std::move(upload);
    // Detached: the worker owns its work and ends on its own; nothing waits for it.
    UniqueHandle thread(::CreateThread(nullptr, 0, search_thread, work.get(), 0, nullptr));
    if (!thread) return fail_last_error();
    work.release();
    return std::move(channel.receiver);
}

}  // namespace search_detail

Result<bool> start_image_search(bool& searching, std::unique_ptr<SearchReceiver>& pending, HWND window,
                                const std::function<Result<BgraImage>()>& render_output) {
    if (searching) return false;
    auto image = render_output();
    if (!image) return propagate(image);
    auto receiver = search_detail::start_search_worker(window, std::move(*image), &upload_to_lens);
    if (!receiver) return propagate(receiver);
    searching = true;
    pending = std::move(*receiver);
    return true;
}

bool finish_image_search(const std::unique_ptr<SearchReceiver>& receiver, HWND window) {
    if (!receiver) return false;
    const std::optional<SearchResult> result = receiver->receive();
    if (result) {
        if (const auto* link = std::get_if<SearchLink>(&*result)) {
            const std::wstring url = to_wide(link->url);
            const HINSTANCE opened = ::ShellExecuteW(window, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            if (reinterpret_cast<INT_PTR>(opened) > 32) return true;
            show_information(window, kBrowserFailedMessage);
            return false;
        }
    }
    show_information(window, search_result_message(result));
    return false;
}

}  // namespace kadrovix::win32
