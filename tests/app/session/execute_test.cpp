#include "session/execute.h"

#include <gtest/gtest.h>

#include "session_fixtures.h"
#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

using testing::editing_session;
using testing::editor_with;
using testing::make_rect;

const Rect kBox{{200, 200}, {300, 260}};
const Rgb kGreen = kPresetColours[2];

SessionState with_selected_rect() {
    SessionState s = editing_session(100, 100, 500, 400);
    s.editor = editor_with({make_rect(1, kBox)});
    s.editor.selection = {1};
    return s;
}

CommandOutcome run(SessionState& s, CommandValue command, const PartsView& parts = {}) {
    Result<CommandOutcome> r = execute_command(s, parts, command);
    EXPECT_TRUE(r.has_value());
    return r.has_value() ? r.value() : CommandOutcome{};
}

TEST(ExecuteCommand, SelectToolCancelsTheGestureAndClearsTheSelection) {
    SessionState s = with_selected_rect();
    s.editor.tool = Tool::Select;
    s.editor.press({300, 230}, false, false);
    s.editor.drag({350, 230});  // the rectangle is being moved
    s.eyedropper_on = true;
    const CommandOutcome out = run(s, select_tool_command(Tool::Arrow));
    EXPECT_EQ(s.editor.tool, Tool::Arrow);
    EXPECT_TRUE(s.editor.selection.empty());
    EXPECT_FALSE(s.editor.gesture.has_value());
    EXPECT_EQ(s.editor.objects[0].as<shape::Rectangle>()->box, kBox);
    EXPECT_FALSE(s.eyedropper_on);
    EXPECT_EQ(out.focus, FocusMove::OpenPart);
    EXPECT_FALSE(s.editor.can_undo());
}

TEST(ExecuteCommand, SetColourRecoloursTheSelectionUnlessATextEntryTakesIt) {
    SessionState s = with_selected_rect();
    CommandOutcome out = run(s, set_colour_command(kGreen));
    EXPECT_EQ(out.follow_up, FollowUp::None);
    EXPECT_EQ(s.editor.colour, kGreen);
    EXPECT_EQ(s.editor.objects[0].colour, kGreen);
    EXPECT_TRUE(s.editor.can_undo());

    SessionState typing = with_selected_rect();
    PartsView parts;
    parts.text_entry_open = true;
    out = run(typing, set_colour_command(kGreen), parts);
    EXPECT_EQ(out.follow_up, FollowUp::GiveColourToTextEntry);
    EXPECT_EQ(out.colour, kGreen);
    EXPECT_EQ(typing.editor.colour, kGreen);  // the next shape is green too
    EXPECT_EQ(typing.editor.objects[0].colour, kPresetColours[0]);
    EXPECT_FALSE(typing.editor.can_undo());
}

TEST(ExecuteCommand, WidthStepsShowTheIndicatorAndRestyleAShapeBeingDrawn) {
    SessionState s = editing_session(100, 100, 500, 400);
    s.editor.press({150, 150}, false, false);  // Rectangle tool
    s.editor.drag({250, 250});
    run(s, command_value(CommandKind::Thicker));
    EXPECT_TRUE(s.width_indicator_visible);
    ASSERT_TRUE(s.editor.gesture.has_value());  // not cancelled
    EXPECT_EQ(s.editor.objects.back().width, 4.0);

    s.width_indicator_visible = false;
    run(s, command_value(CommandKind::Thinner));
    run(s, command_value(CommandKind::Thinner));
    EXPECT_EQ(s.editor.width, 2.0);
    EXPECT_TRUE(s.width_indicator_visible);
}

TEST(ExecuteCommand, UndoAndRedoCancelTheGestureFirst) {
    SessionState s = with_selected_rect();
    run(s, command_value(CommandKind::Thicker));  // one history step
    s.editor.tool = Tool::Pen;
    s.editor.press({120, 120}, false, false);
    s.editor.drag({180, 180});
    run(s, command_value(CommandKind::Undo));
    ASSERT_EQ(s.editor.objects.size(), 1u);
    EXPECT_EQ(s.editor.objects[0].width, 3.0);
    run(s, command_value(CommandKind::Redo));
    EXPECT_EQ(s.editor.objects[0].width, 4.0);
}

TEST(ExecuteCommand, TheEyedropperIsTurnedOffByDrawingCommandsOnly) {
    SessionState s = editing_session(100, 100, 500, 400);
    CommandOutcome out = run(s, command_value(CommandKind::Eyedropper));
    EXPECT_TRUE(s.eyedropper_on);
    EXPECT_EQ(out.focus, FocusMove::SessionWindow);  // Esc must reach the session, not an open text

    run(s, command_value(CommandKind::LiveCapture));
    EXPECT_TRUE(s.eyedropper_on);
    run(s, command_value(CommandKind::Undo));
    EXPECT_FALSE(s.eyedropper_on);

    s.eyedropper_on = true;
    out = run(s, command_value(CommandKind::CustomColour));
    EXPECT_FALSE(s.eyedropper_on);
    EXPECT_EQ(out.follow_up, FollowUp::OpenPicker);
    EXPECT_EQ(out.focus, FocusMove::SessionWindow);  // Enter must apply the picker, not break the text
}

TEST(ExecuteCommand, OutputsNeedARegion) {
    SessionState s = testing::fresh_session();
    for (const CommandKind kind : {CommandKind::Search, CommandKind::CopyImage, CommandKind::Save}) {
        const Result<CommandOutcome> r = execute_command(s, {}, command_value(kind));
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().message, "Select a capture region first");
        EXPECT_EQ(r.error().code, kErrorInvalidArgument);
    }
    EXPECT_EQ(run(s, command_value(CommandKind::Close)).follow_up, FollowUp::EndSession);
    EXPECT_EQ(run(s, command_value(CommandKind::LiveCapture)).follow_up, FollowUp::ToggleLiveMode);

    s.region = Region{{10, 10, 20, 20}, true};
    EXPECT_EQ(run(s, command_value(CommandKind::Search)).follow_up, FollowUp::StartSearch);
    EXPECT_EQ(run(s, command_value(CommandKind::CopyImage)).follow_up, FollowUp::CopyImage);
    EXPECT_EQ(run(s, command_value(CommandKind::Save)).follow_up, FollowUp::Save);

    // A second search waits for the first.
    s.search_in_progress = true;
    EXPECT_EQ(run(s, command_value(CommandKind::Search)).follow_up, FollowUp::None);
}

TEST(ExecuteCommand, ValuesThatNameNothingChangeNothing) {
    SessionState s = with_selected_rect();
    s.eyedropper_on = true;
    for (const CommandValue bad : {CommandValue{14}, CommandValue{0xFF}, CommandValue{0x0900}}) {
        const CommandOutcome out = run(s, bad);
        EXPECT_EQ(out.follow_up, FollowUp::None);
        EXPECT_EQ(out.focus, FocusMove::Stay);
    }
    EXPECT_TRUE(s.eyedropper_on);
    EXPECT_EQ(s.editor.selection, (std::vector<std::uint64_t>{1}));
    EXPECT_EQ(s.editor.tool, Tool::Select);
}

TEST(ExecuteCommand, ColourPickedGoesToTheClipboardAsText) {
    SessionState s = editing_session(100, 100, 500, 400);
    const CommandOutcome out = run(s, colour_picked_command(Rgb{255, 0, 0}));
    EXPECT_EQ(out.follow_up, FollowUp::CopyColourText);
    EXPECT_EQ(out.colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(s.editor.colour, kPresetColours[0]);
}

}  // namespace
}  // namespace kadrovix
