// The capture stroke width and custom colour reach the settings file once per
// change, and a failing file is reported once per value.
#include "session/stored_values.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/session/session_fixtures.h"

namespace kadrovix {
namespace {

// A settings file that records each write and fails them while `broken`.
struct FakeFile {
    std::vector<std::uint32_t> widths;
    std::vector<Rgb> colours;
    bool broken = false;
    Expected<void> outcome() const {
        if (broken) return Unexpected{std::string("disk full")};
        return {};
    }
    SessionValueWriters writers() {
        return {[this](std::uint32_t w) { return widths.push_back(w), outcome(); },
                [this](Rgb c) { return colours.push_back(c), outcome(); }};
    }
};

TEST(StoredValues, AfterAMessageOnlyAChangedWidthOrAChosenColourIsWrittenAndFailuresAreToldOnce) {
    SessionState s = testing::fresh_session();
    StoredSessionValues stored{3, std::nullopt};
    FakeFile file;
    const auto message = [&] { return store_after_message(stored, s, file.writers()); };
    ASSERT_TRUE(message().has_value());  // the start values, the colour not chosen
    s.editor.width = 7.0;
    s.custom_colour_chosen = true;
    ASSERT_TRUE(message().has_value());
    ASSERT_TRUE(message().has_value());
    EXPECT_EQ(file.widths, std::vector<std::uint32_t>{7});
    EXPECT_EQ(file.colours, std::vector<Rgb>{s.custom_colour});
    // Broken: the width fails first and the colour waits for the next message.
    file = {{}, {}, true};
    s.editor.width = 9.0;
    s.custom_colour = kPresetColours[2];
    EXPECT_EQ(message().error(), "disk full");
    EXPECT_TRUE(file.colours.empty());
    EXPECT_EQ(message().error(), "disk full");
    EXPECT_TRUE(message().has_value());
    EXPECT_EQ(file.widths.size() + file.colours.size(), 2u);
}

TEST(StoredValues, AtTheEndOnlyTheColourIsWrittenAndAFailedOneCountsAsUnstored) {
    SessionState s = testing::fresh_session();
    s.editor.width = 12.0;
    StoredSessionValues stored{3, std::nullopt};
    FakeFile file{{}, {}, true};
    const auto end = [&] { return store_at_end(stored, s, file.writers().custom_colour); };
    EXPECT_TRUE(end().has_value());  // nothing chosen
    s.custom_colour_chosen = true;
    EXPECT_FALSE(end().has_value());
    file.broken = false;
    EXPECT_TRUE(end().has_value());
    EXPECT_TRUE(end().has_value());
    EXPECT_TRUE(file.widths.empty());
    EXPECT_EQ(file.colours.size(), 2u);
}

}  // namespace
}  // namespace kadrovix
