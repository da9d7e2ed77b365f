#include "session/io/search_channel.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace kadrovix {

namespace detail {
// Guards only the hand-over of one value between two threads; no application
// state lives here.
struct SearchSlot {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<SearchResult> value;
    bool closed = false;
};
}  // namespace detail

SearchSender::SearchSender(std::shared_ptr<detail::SearchSlot> slot) : slot_(std::move(slot)) {}

SearchSender& SearchSender::operator=(SearchSender&& other) noexcept {
    if (this != &other) {
        close();
        slot_ = std::move(other.slot_);
    }
    return *this;
}

SearchSender::~SearchSender() {
    close();
}

void SearchSender::send(SearchResult result) {
    if (!slot_) return;
    {
        std::lock_guard lock(slot_->mutex);
        slot_->value = std::move(result);
    }
    close();
}

void SearchSender::close() {
    if (!slot_) return;
    {
        std::lock_guard lock(slot_->mutex);
        slot_->closed = true;
    }
    slot_->changed.notify_all();
    slot_.reset();
}

SearchReceiver::SearchReceiver(std::shared_ptr<detail::SearchSlot> slot) : slot_(std::move(slot)) {}

std::optional<SearchResult> SearchReceiver::receive() {
    if (!slot_) return std::nullopt;
    std::unique_lock lock(slot_->mutex);
    slot_->changed.wait(lock, [this] { return slot_->closed; });
    return std::exchange(slot_->value, std::nullopt);
}

SearchChannel make_search_channel() {
    auto slot = std::make_shared<detail::SearchSlot>();
    SearchChannel channel{SearchSender(slot), std::make_unique<SearchReceiver>(slot)};
    return channel;
}

std::string search_result_message(const std::optional<SearchResult>& result) {
    if (!result) return kSearchInterruptedMessage;
    if (const auto* failure = std::get_if<SearchFailure>(&*result)) {
        return std::string(kSearchFailedMessage) + "\n" + failure->text;
    }
    return {};
}

}  // namespace kadrovix
