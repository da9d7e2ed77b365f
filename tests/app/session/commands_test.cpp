#include "session/commands.h"

#include <gtest/gtest.h>

#include <optional>

namespace kadrovix {
namespace {

std::optional<CommandValue> key(std::uint32_t vk, bool ctrl = false, bool shift = false, bool alt = false) {
    return lookup_key(vk, ctrl, shift, alt);
}

const CommandValue kRedo = command_value(CommandKind::Redo);

TEST(CommandValue, PayloadSitsAboveTheKindByte) {
    // Red (237, 79, 92) as Set colour: kind 1, then R, G, B upwards.
    EXPECT_EQ(set_colour_command(Rgb{237, 79, 92}), 0x5C4FED01u);
    EXPECT_EQ(select_tool_command(Tool::Highlighter), 0x0600u);
    EXPECT_EQ(colour_picked_command(Rgb{255, 0, 0}), 0x0000FF02u);

    EXPECT_EQ(command_kind(0x5C4FED01u), CommandKind::SetColour);
    EXPECT_EQ(command_colour(0x5C4FED01u), (Rgb{237, 79, 92}));
    EXPECT_EQ(command_tool(0x0600u), Tool::Highlighter);
}

TEST(CommandValue, ValuesThatNameNothingAreRefused) {
    EXPECT_EQ(command_kind(13), CommandKind::Close);
    EXPECT_EQ(command_kind(14), std::nullopt);
    EXPECT_EQ(command_kind(0xFFu), std::nullopt);
    EXPECT_EQ(command_tool(0x0700u), Tool::Text);
    EXPECT_EQ(command_tool(0x0800u), std::nullopt);  // no tool 8
    // A tool payload on another kind is not a tool command.
    EXPECT_EQ(command_tool(0x0301u), std::nullopt);
}

TEST(ShortcutTable, ToolsFirstThenTheFifteenActions) {
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(command_tool(kShortcuts[i].command), static_cast<Tool>(i)) << i;
    }
    // The actions panel is everything else, live capture first and close last.
    EXPECT_EQ(command_kind(kShortcuts[8].command), CommandKind::LiveCapture);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(kShortcuts[9 + i].command, set_colour_command(kPresetColours[i])) << i;
    }
    EXPECT_EQ(command_kind(kShortcuts.back().command), CommandKind::Close);
    EXPECT_EQ(kShortcuts.back().tooltip, "Close · Esc");
    EXPECT_EQ(kShortcuts[18].tooltip, "Redo · Ctrl+Y / Ctrl+Shift+Z");
}

TEST(LookupKey, ShiftIsIgnoredWithoutCtrlAndAltNeverMatches) {
    EXPECT_EQ(key('R'), select_tool_command(Tool::Rectangle));
    EXPECT_EQ(key('R', false, true), select_tool_command(Tool::Rectangle));
    EXPECT_EQ(key('R', false, false, true), std::nullopt);
    EXPECT_EQ(key('R', true), std::nullopt);  // the row has no Ctrl
    EXPECT_EQ(key('Z', true, false, true), std::nullopt);
    EXPECT_EQ(key('Z', true, true, true), std::nullopt);
    EXPECT_EQ(key(vk::kF2, false, true), command_value(CommandKind::LiveCapture));
}

TEST(LookupKey, RedoHasTwoSpellingsAndCtrlRowsNeedTheirShift) {
    EXPECT_EQ(key('Z', true), command_value(CommandKind::Undo));
    EXPECT_EQ(key('Z', true, true), kRedo);
    EXPECT_EQ(key('Y', true), kRedo);
    EXPECT_EQ(key('Y', true, true), std::nullopt);
    EXPECT_EQ(key('Z'), std::nullopt);
    EXPECT_EQ(key('S', true, true), std::nullopt);
    EXPECT_EQ(key('G', true), command_value(CommandKind::Search));
}

TEST(LookupKey, TheLetterCMeansThreeThings) {
    EXPECT_EQ(key('C'), command_value(CommandKind::CustomColour));
    EXPECT_EQ(key('C', false, true), command_value(CommandKind::CustomColour));
    EXPECT_EQ(key('C', true, true), command_value(CommandKind::CopyImage));
    // Plain Ctrl+C copies objects; that is the key handler's, not the table's.
    EXPECT_EQ(key('C', true), std::nullopt);
}

TEST(LookupKey, MainKeyboardDigitsPickThePresetColours) {
    for (std::uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(key('1' + i), set_colour_command(kPresetColours[i])) << i;
    }
    EXPECT_EQ(key('7'), std::nullopt);
    EXPECT_EQ(key('0'), std::nullopt);
    EXPECT_EQ(key(0x61), std::nullopt);  // numeric keypad 1
}

}  // namespace
}  // namespace kadrovix
