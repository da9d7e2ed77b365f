#include "session/io/search_channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kadrovix {
namespace {

TEST(SearchChannel, DeliversTheOneResultAcrossThreads) {
    SearchChannel channel = make_search_channel();
    std::thread worker([sender = std::move(channel.sender)]() mutable {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sender.send(SearchLink{"https://lens.google.com/x"});
    });
    auto result = channel.receiver->receive();  // waits for the worker
    worker.join();
    ASSERT_TRUE(result.has_value());
    ASSERT_TRUE(std::holds_alternative<SearchLink>(*result));
    EXPECT_EQ(std::get<SearchLink>(*result).url, "https://lens.google.com/x");
    EXPECT_FALSE(channel.receiver->receive().has_value()) << "the result is taken once";
}

TEST(SearchChannel, SenderDroppedUnsentReadsAsInterrupted) {
    SearchChannel channel = make_search_channel();
    std::thread worker([sender = std::move(channel.sender)]() mutable {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SearchSender gone = std::move(sender);
    });
    auto result = channel.receiver->receive();  // woken by the drop, not by a value
    worker.join();
    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(search_result_message(result), "Google search was interrupted. Your capture is still open.");
}

TEST(SearchChannel, MessagesForEachOutcome) {
    EXPECT_EQ(search_result_message(SearchResult{SearchFailure{"The operation timed out"}}),
              "Google search failed. Your capture is still open.\nThe operation timed out");
    EXPECT_EQ(search_result_message(SearchResult{SearchLink{"https://lens.google.com/"}}), "");
}

}  // namespace
}  // namespace kadrovix
