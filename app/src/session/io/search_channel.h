// The single-use channel that carries the image search's one result from its
// worker thread to the editor's UI thread, and the messages the editor shows
// for what arrives. The worker sends, then posts a window message; the UI
// thread receives only when that message arrives, so receiving never waits
// for the upload itself.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace kadrovix {

struct SearchLink {
    std::string url;  // an accepted result link, UTF-8
};
struct SearchFailure {
    std::string text;  // the error's display text
};
using SearchResult = std::variant<SearchLink, SearchFailure>;

inline constexpr char kSearchFailedMessage[] = "Google search failed. Your capture is still open.";
inline constexpr char kSearchInterruptedMessage[] = "Google search was interrupted. Your capture is still open.";
inline constexpr char kBrowserFailedMessage[] = "Could not open the browser. Your capture is still open.";

namespace detail {
struct SearchSlot;
}

// The worker's end. Sends at most once; dropping it unsent closes the channel,
// which the receiver sees as an interrupted search.
class SearchSender {
public:
    SearchSender() = default;
    explicit SearchSender(std::shared_ptr<detail::SearchSlot> slot);
    SearchSender(SearchSender&&) noexcept = default;
    SearchSender& operator=(SearchSender&& other) noexcept;
    SearchSender(const SearchSender&) = delete;
    SearchSender& operator=(const SearchSender&) = delete;
    ~SearchSender();

    // Hands over the result and closes this end. A result for a receiver that
    // is gone (the capture ended) is simply dropped.
    void send(SearchResult result);

private:
    void close();
    std::shared_ptr<detail::SearchSlot> slot_;
};

// The UI thread's end, kept by the application record while a search runs.
class SearchReceiver {
public:
    explicit SearchReceiver(std::shared_ptr<detail::SearchSlot> slot);

    // The one result: waits until it was sent or the sender was dropped, and
    // gives nothing in the latter case or when it was already taken.
    std::optional<SearchResult> receive();

private:
    std::shared_ptr<detail::SearchSlot> slot_;
};

struct SearchChannel {
    SearchSender sender;
    std::unique_ptr<SearchReceiver> receiver;
};

SearchChannel make_search_channel();

// The text shown for a result that is not a link to open: the failure message
// with the error text on a second line, or the interrupted message. Empty for
// a link.
std::string search_result_message(const std::optional<SearchResult>& result);

}  // namespace kadrovix
