#include "session/io/image_search_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/messages.h"
#include "app/session/io/loopback_http_server_win32.h"
#include "session/io/lens_upload_win32.h"
#include "support/test_window_win32.h"

using namespace kadrovix;
using kadrovix::testing::LoopbackHttpServer;

namespace {

using kadrovix::testing::HiddenWindow;

// Pumps this thread's queue until the worker's message for `window` arrives.
bool wait_for_search_message(HWND window, MSG& out, DWORD timeout_ms = 60000) {
    const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
    for (;;) {
        if (::PeekMessageW(&out, window, MSG_SEARCH_RESULT, MSG_SEARCH_RESULT, PM_REMOVE)) return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_POSTMESSAGE);
    }
}

BgraImage tiny_image() {
    BgraImage image;
    image.width = 4;
    image.height = 4;
    image.pixels.assign(64, 0xFF);
    return image;
}

// The calling thread's description, or nullopt where the system lacks the call.
std::optional<std::wstring> current_thread_name() {
    using GetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const FARPROC proc = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription");
    if (proc == nullptr) return std::nullopt;
    const auto get = reinterpret_cast<GetThreadDescriptionFn>(reinterpret_cast<void (*)()>(proc));
    PWSTR name = nullptr;
    if (FAILED(get(::GetCurrentThread(), &name)) || name == nullptr) return std::nullopt;
    std::wstring copy = name;
    ::LocalFree(name);
    return copy;
}

}  // namespace

TEST(ImageSearch, WorkerRunsNamedOffTheUiThreadThenSendsAndPosts) {
    HiddenWindow window;
    ASSERT_NE(window.handle, nullptr);
    const DWORD ui_thread = ::GetCurrentThreadId();
    std::atomic<DWORD> worker_thread{0};
    std::optional<std::wstring> worker_name;
    std::atomic<std::uint32_t> pixels_seen{0};

    auto receiver = win32::search_detail::start_search_worker(
        window.handle, tiny_image(), [&](const BgraImage& image) -> Result<std::string> {
            worker_thread = ::GetCurrentThreadId();
            worker_name = current_thread_name();
            pixels_seen = static_cast<std::uint32_t>(image.pixels.size());
            return std::string("https://lens.google.com/search?p=1");
        });
    ASSERT_TRUE(receiver.has_value()) << receiver.error().code;
    ASSERT_NE(*receiver, nullptr);

    MSG msg{};
    ASSERT_TRUE(wait_for_search_message(window.handle, msg));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);
    auto result = (*receiver)->receive();
    ASSERT_TRUE(result.has_value());
    ASSERT_TRUE(std::holds_alternative<SearchLink>(*result));
    EXPECT_EQ(std::get<SearchLink>(*result).url, "https://lens.google.com/search?p=1");
    EXPECT_NE(worker_thread.load(), 0u);
    EXPECT_NE(worker_thread.load(), ui_thread);
    EXPECT_EQ(pixels_seen.load(), 64u) << "the image is moved into the worker whole";
    if (worker_name) {
        EXPECT_EQ(*worker_name, L"Kadrovix Google Lens");
    } else {
        std::printf("note: thread descriptions are not available here; the name was not checked\n");
    }
}

TEST(ImageSearch, UploadErrorsArriveAsTheirTextAndCrashesAsInterrupted) {
    HiddenWindow window;
    ASSERT_NE(window.handle, nullptr);
    // A real upload against a loopback server that refuses the image.
    LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    ASSERT_TRUE(server.listening());
    const win32::lens_detail::LensEndpoint endpoint{L"127.0.0.1", server.port(), false};
    auto failing = win32::search_detail::start_search_worker(
        window.handle, tiny_image(),
        [endpoint](const BgraImage& image) { return win32::lens_detail::upload_to_lens_at(image, endpoint); });
    ASSERT_TRUE(failing.has_value());
    MSG msg{};
    ASSERT_TRUE(wait_for_search_message(window.handle, msg));
    auto failure = (*failing)->receive();
    EXPECT_EQ(search_result_message(failure),
              "Google search failed. Your capture is still open.\n"
              "Google Lens did not accept the image (HTTP 200). Your capture is preserved.");

    auto throwing = win32::search_detail::start_search_worker(
        window.handle, tiny_image(), [](const BgraImage&) -> Result<std::string> { throw std::runtime_error("boom"); });
    ASSERT_TRUE(throwing.has_value());
    ASSERT_TRUE(wait_for_search_message(window.handle, msg)) << "the editor is woken even when nothing was sent";
    auto nothing = (*throwing)->receive();
    EXPECT_FALSE(nothing.has_value());
    EXPECT_EQ(search_result_message(nothing), "Google search was interrupted. Your capture is still open.");
}

TEST(ImageSearch, StartDoesNothingWhileASearchRunsAndReportsRenderErrors) {
    HiddenWindow window;
    int renders = 0;
    bool searching = true;
    std::unique_ptr<SearchReceiver> pending;
    auto again = win32::start_image_search(searching, pending, window.handle, [&]() -> Result<BgraImage> {
        ++renders;
        return tiny_image();
    });
    ASSERT_TRUE(again.has_value());
    EXPECT_FALSE(*again);
    EXPECT_EQ(renders, 0) << "a second Ctrl+G must not even render";
    EXPECT_EQ(pending, nullptr);

    searching = false;
    auto no_region = win32::start_image_search(searching, pending, window.handle, [&]() -> Result<BgraImage> {
        ++renders;
        return invalid_argument("Select a capture region first");
    });
    ASSERT_FALSE(no_region.has_value());
    EXPECT_EQ(no_region.error().message, "Select a capture region first");
    EXPECT_EQ(renders, 1);
    EXPECT_FALSE(searching);
    EXPECT_EQ(pending, nullptr);
}

namespace {

struct ShownBox {
    std::wstring text;
    std::wstring caption;
    HWND owner = nullptr;
    bool information_icon = false;
};

// Waits on its own thread for the next "Kadrovix" message box, records it and
// presses OK, so that the UI thread's modal loop returns.
class MessageBoxCloser {
public:
    MessageBoxCloser() : thread_([this] { run(); }) {}
    ~MessageBoxCloser() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::optional<ShownBox> shown() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return box_;
    }

private:
    void run() {
        const ULONGLONG deadline = ::GetTickCount64() + 30000;
        while (!stop_ && ::GetTickCount64() < deadline) {
            HWND box = ::FindWindowW(L"#32770", L"Kadrovix");
            if (box != nullptr && ::IsWindowVisible(box)) {
                ShownBox seen;
                wchar_t buffer[512] = {};
                ::GetDlgItemTextW(box, 0xFFFF, buffer, 512);
                seen.text = buffer;
                ::GetWindowTextW(box, buffer, 512);
                seen.caption = buffer;
                seen.owner = ::GetWindow(box, GW_OWNER);
                // The icon sits in a static control: id 0x14 on Windows, 0x440 in Wine.
                const HICON information = ::LoadIconW(nullptr, IDI_INFORMATION);
                for (int id : {0x14, 0x440}) {
                    HWND icon = ::GetDlgItem(box, id);
                    if (icon != nullptr &&
                        reinterpret_cast<HICON>(::SendMessageW(icon, STM_GETICON, 0, 0)) == information) {
                        seen.information_icon = true;
                    }
                }
                box_ = seen;
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(10);
        }
    }
    std::atomic<bool> stop_{false};
    std::optional<ShownBox> box_;
    std::thread thread_;
};

}  // namespace

TEST(ImageSearch, FinishShowsFailuresInTheEditorsMessageBoxAndKeepsTheCapture) {
    HiddenWindow window;
    ASSERT_NE(window.handle, nullptr);
    {
        SearchChannel channel = make_search_channel();
        channel.sender.send(
            SearchFailure{"Google Lens did not accept the image (HTTP 200). Your capture is preserved."});
        MessageBoxCloser closer;
        EXPECT_FALSE(win32::finish_image_search(channel.receiver, window.handle));
        auto box = closer.shown();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->text,
                  L"Google search failed. Your capture is still open.\n"
                  L"Google Lens did not accept the image (HTTP 200). Your capture is preserved.");
        EXPECT_EQ(box->caption, L"Kadrovix");
        EXPECT_EQ(box->owner, window.handle);
        EXPECT_TRUE(box->information_icon);
    }
    {
        SearchChannel channel = make_search_channel();
        { SearchSender dropped = std::move(channel.sender); }
        MessageBoxCloser closer;
        EXPECT_FALSE(win32::finish_image_search(channel.receiver, window.handle));
        auto box = closer.shown();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->text, L"Google search was interrupted. Your capture is still open.");
    }
}
