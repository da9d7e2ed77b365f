#include "session/input.h"

#include <gtest/gtest.h>

#include "session/execute.h"
#include "session/overlay.h"
#include "session_fixtures.h"
#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

using testing::editing_session;
using testing::editor_with;
using testing::make_arrow;
using testing::make_rect;
using testing::make_text;
using testing::mouse_drag;

constexpr std::uint32_t kVkShift = 0x10;

KeyAction key_down(SessionState& s, std::uint32_t vk, bool ctrl = false, bool shift = false, bool alt = false,
                   const PartsView& parts = {}) {
    return on_key_down(s, parts, KeyEvent{vk, ctrl, shift, alt});
}

// An editing session over (100, 100)-(500, 400) holding `objects`, with `selected` selected.
SessionState session_with(std::vector<Annotation> objects, std::vector<std::uint64_t> selected = {},
                          Tool tool = Tool::Select) {
    SessionState s = editing_session(100, 100, 500, 400);
    s.editor = editor_with(std::move(objects));
    s.editor.tool = tool;
    s.editor.selection = std::move(selected);
    return s;
}

const Rect kBox{{200, 200}, {300, 260}};

// --- keys ---

TEST(KeyDown, EscRunsTheCancelChainAndEndsTheSessionWhenNothingIsPending) {
    SessionState s = editing_session(100, 100, 500, 400);
    const KeyAction a = key_down(s, vk::kEscape);
    EXPECT_EQ(a.kind, KeyActionKind::CancelChain);
    EXPECT_TRUE(a.end_session_if_nothing_cancelled);
    EXPECT_EQ(run_cancel_chain(s, {}), CancelStep::Nothing);
}

TEST(KeyDown, CtrlCCopiesTheSelectedObjectsOrElseTheImage) {
    SessionState s = session_with({make_rect(1, kBox)});
    EXPECT_EQ(key_down(s, 'C', true).kind, KeyActionKind::Execute);
    EXPECT_EQ(key_down(s, 'C', true).command, command_value(CommandKind::CopyImage));

    s.editor.selection = {1};
    EXPECT_EQ(key_down(s, 'C', true).kind, KeyActionKind::CopyObjects);
    // Ctrl+Shift+C is always the picture; Ctrl+Alt+C is nothing.
    EXPECT_EQ(key_down(s, 'C', true, true).command, command_value(CommandKind::CopyImage));
    EXPECT_EQ(key_down(s, 'C', true, false, true).kind, KeyActionKind::Nothing);

    EXPECT_EQ(key_down(s, 'V', true).kind, KeyActionKind::Paste);
    EXPECT_EQ(key_down(s, 'V', true, true).kind, KeyActionKind::Nothing);
    EXPECT_EQ(key_down(s, vk::kTab).kind, KeyActionKind::ToggleToolbar);
}

TEST(KeyDown, ShortcutsExecuteTheirCommands) {
    SessionState s = editing_session(100, 100, 500, 400);
    KeyAction a = key_down(s, 'R', false, true);
    EXPECT_EQ(a.kind, KeyActionKind::Execute);
    EXPECT_EQ(a.command, select_tool_command(Tool::Rectangle));
    EXPECT_EQ(key_down(s, 'R', false, false, true).kind, KeyActionKind::Nothing);
    EXPECT_EQ(key_down(s, 'Z', true, true).command, command_value(CommandKind::Redo));
    EXPECT_EQ(key_down(s, 'Y', true, true).kind, KeyActionKind::Nothing);
    EXPECT_EQ(key_down(s, '3').command, set_colour_command(kPresetColours[2]));
}

TEST(KeyDown, ArrowKeysNudgeAndDeleteRemovesOnlyWithASelection) {
    SessionState s = session_with({make_rect(1, kBox)});
    EXPECT_EQ(key_down(s, vk::kRight).kind, KeyActionKind::Nothing);
    EXPECT_EQ(key_down(s, vk::kDelete).kind, KeyActionKind::Nothing);

    s.editor.selection = {1};
    KeyAction a = key_down(s, vk::kRight, false, true);
    ASSERT_EQ(a.kind, KeyActionKind::Nudge);
    EXPECT_EQ(a.dx, 10.0);
    EXPECT_EQ(a.dy, 0.0);
    a = key_down(s, vk::kUp);
    EXPECT_EQ(a.dx, 0.0);
    EXPECT_EQ(a.dy, -1.0);
    EXPECT_EQ(key_down(s, vk::kLeft).dx, -1.0);
    EXPECT_EQ(key_down(s, vk::kDown, false, true).dy, 10.0);
    EXPECT_EQ(key_down(s, vk::kDelete).kind, KeyActionKind::Delete);
    EXPECT_EQ(key_down(s, vk::kRight, true).kind, KeyActionKind::Nothing);  // Ctrl+Right is no shortcut
}

TEST(KeyDown, OpenPartsHaveTheKeysFirst) {
    SessionState s = editing_session(100, 100, 500, 400);
    PartsView parts;
    parts.dimension_editor_open = true;
    EXPECT_EQ(key_down(s, vk::kEscape, false, false, false, parts).kind, KeyActionKind::Nothing);

    parts = {};
    parts.picker_open = true;
    EXPECT_EQ(key_down(s, vk::kReturn, false, false, false, parts).kind, KeyActionKind::ApplyPicker);
    EXPECT_EQ(key_down(s, 'R', false, false, false, parts).kind, KeyActionKind::Nothing);
    KeyAction esc = key_down(s, vk::kEscape, false, false, false, parts);
    EXPECT_EQ(esc.kind, KeyActionKind::CancelChain);
    EXPECT_FALSE(esc.end_session_if_nothing_cancelled);

    s.eyedropper_on = true;
    esc = key_down(s, vk::kEscape);
    EXPECT_EQ(esc.kind, KeyActionKind::CancelChain);
    EXPECT_TRUE(esc.restore_focus);
    EXPECT_EQ(key_down(s, '1').kind, KeyActionKind::Nothing);

    s.eyedropper_on = false;
    parts = {};
    parts.text_entry_open = true;
    EXPECT_EQ(key_down(s, 'R', false, false, false, parts).kind, KeyActionKind::Nothing);
    EXPECT_EQ(key_down(s, vk::kEscape, false, false, false, parts).kind, KeyActionKind::Nothing);
}

TEST(KeyDown, ShiftReachesAGestureInProgressAtOnce) {
    SessionState s = session_with({}, {}, Tool::Rectangle);
    carry_out_press(s, on_press(s, {}, {150, 150}), false, false);
    on_move(s, {}, {200, 170}, false, false);
    ASSERT_EQ(s.editor.objects.size(), 1u);
    EXPECT_EQ(s.editor.objects[0].as<shape::Rectangle>()->box, (Rect{{150, 150}, {200, 170}}));

    key_down(s, kVkShift, false, true);
    EXPECT_EQ(s.editor.objects[0].as<shape::Rectangle>()->box, (Rect{{150, 150}, {200, 200}}));
    on_key_up(s, KeyEvent{kVkShift, false, false, false});
    EXPECT_EQ(s.editor.objects[0].as<shape::Rectangle>()->box, (Rect{{150, 150}, {200, 170}}));
}

// --- cancel chain ---

TEST(CancelChain, RunsOneStepAtATimeInItsOrder) {
    SessionState s = session_with({make_rect(1, kBox)}, {}, Tool::Select);
    s.editor.press({250, 200}, false, false);  // a move gesture on the rectangle's edge
    ASSERT_TRUE(s.editor.gesture.has_value());
    s.pointer = {500, 400};
    begin_handle_drag(s, 4);
    s.pointer = {700, 700};
    drag_region(s);
    s.eyedropper_on = true;
    PartsView parts;
    parts.text_entry_open = true;
    parts.text_selecting = true;
    parts.picker_open = true;

    EXPECT_EQ(run_cancel_chain(s, parts), CancelStep::StopTextSelection);
    parts.text_selecting = false;  // the entry has stopped it
    EXPECT_EQ(run_cancel_chain(s, parts), CancelStep::ClosePicker);
    parts.picker_open = false;  // the picker has closed
    EXPECT_EQ(run_cancel_chain(s, parts), CancelStep::EyedropperOff);
    EXPECT_FALSE(s.eyedropper_on);
    EXPECT_EQ(run_cancel_chain(s, parts), CancelStep::RegionDrag);
    EXPECT_EQ(s.region, (Region{{100, 100, 500, 400}, true}));
    EXPECT_EQ(run_cancel_chain(s, parts), CancelStep::Gesture);
    EXPECT_FALSE(s.editor.gesture.has_value());
    EXPECT_EQ(run_cancel_chain(s, parts), CancelStep::Nothing);
}

TEST(CancelChain, LeavesRegionSelectionModeWhenARegionExists) {
    SessionState s = editing_session(100, 100, 500, 400);
    s.region_selection = true;
    EXPECT_EQ(run_cancel_chain(s, {}), CancelStep::RegionSelection);
    EXPECT_FALSE(s.region_selection);
    // Without a region the mode is where the session must stay.
    SessionState fresh = testing::fresh_session();
    EXPECT_EQ(run_cancel_chain(fresh, {}), CancelStep::Nothing);
    EXPECT_TRUE(fresh.region_selection);
}

TEST(CancelChain, EscDuringAHandleDragRestoresTheRegionAndReturnsToEditing) {
    SessionState s = editing_session(100, 100, 500, 400);
    carry_out_press(s, on_press(s, {}, {300, 400}), false, false);  // bottom-centre handle
    on_move(s, {}, {300, 40}, false, false);
    ASSERT_EQ(s.region, (Region{{100, 40, 500, 100}, true}));

    ASSERT_EQ(key_down(s, vk::kEscape).kind, KeyActionKind::CancelChain);
    EXPECT_EQ(run_cancel_chain(s, {}), CancelStep::RegionDrag);
    EXPECT_EQ(s.region, (Region{{100, 100, 500, 400}, true}));
    EXPECT_FALSE(s.region_selection);

    // The button coming up afterwards changes nothing.
    on_move(s, {}, {300, 10}, false, false);
    EXPECT_EQ(on_release(s, {}), PointerRoute::None);
    EXPECT_EQ(s.region, (Region{{100, 100, 500, 400}, true}));
}

TEST(CancelChain, CancelsAHalfDrawnShapeBeforeTheSessionCanEnd) {
    SessionState s = session_with({}, {}, Tool::Arrow);
    carry_out_press(s, on_press(s, {}, {150, 150}), false, false);
    on_move(s, {}, {300, 300}, false, false);
    ASSERT_EQ(s.editor.objects.size(), 1u);
    EXPECT_EQ(run_cancel_chain(s, {}), CancelStep::Gesture);
    EXPECT_TRUE(s.editor.objects.empty());
    EXPECT_EQ(run_cancel_chain(s, {}), CancelStep::Nothing);
}

// --- mouse press ---

TEST(PressDispatch, ADrawingToolOutsideTheRegionDoesNothing) {
    SessionState s = session_with({}, {}, Tool::Rectangle);
    const PressDecision d = mouse_drag(s, {700, 600}, {{800, 700}});
    EXPECT_EQ(d.target, PressTarget::Nothing);
    EXPECT_TRUE(s.editor.objects.empty());
    EXPECT_EQ(s.editor.id_counter, 0u);

    // On the region's edge it draws.
    EXPECT_EQ(mouse_drag(s, {500, 300}, {{450, 350}}).target, PressTarget::DrawGesture);
    EXPECT_EQ(s.editor.objects.size(), 1u);
    EXPECT_TRUE(s.editor.can_undo());
}

TEST(PressDispatch, TheSelectToolPressGoesToTheGestureAnywhere) {
    SessionState s = session_with({make_rect(1, kBox)});
    PressDecision d = on_press(s, {}, {700, 600});  // outside the region
    EXPECT_EQ(d.target, PressTarget::SelectGesture);
    EXPECT_TRUE(carry_out_press(s, d, false, false));
    ASSERT_TRUE(s.editor.gesture.has_value());
    EXPECT_EQ(s.editor.gesture->kind, GestureKind::Marquee);
    on_move(s, {}, {150, 150}, false, false);
    on_release(s, {});
    EXPECT_EQ(s.editor.selection, (std::vector<std::uint64_t>{1}));  // the marquee took it in

    // A drag on its edge moves it.
    mouse_drag(s, {200, 230}, {{210, 240}});
    EXPECT_EQ(s.editor.objects[0].as<shape::Rectangle>()->box, (Rect{{210, 210}, {310, 270}}));
}

TEST(PressDispatch, OpenPartsAreAskedInOrder) {
    SessionState s = session_with({}, {}, Tool::Text);
    s.eyedropper_on = true;
    PartsView parts;
    parts.dimension_editor_open = true;
    parts.picker_open = true;
    parts.toolbar_button = command_value(CommandKind::Save);
    parts.over_toolbar = true;
    parts.on_dimension_label = true;
    parts.text_entry_open = true;
    parts.in_text_field = true;

    const auto target = [&] { return on_press(s, parts, {300, 300}).target; };
    EXPECT_EQ(target(), PressTarget::DimensionEditor);
    parts.dimension_editor_open = false;
    EXPECT_EQ(target(), PressTarget::ColourPicker);
    parts.picker_open = false;
    EXPECT_EQ(target(), PressTarget::Eyedropper);
    s.eyedropper_on = false;
    EXPECT_EQ(target(), PressTarget::ToolbarButton);
    parts.toolbar_button.reset();
    EXPECT_EQ(target(), PressTarget::ToolbarPanel);
    parts.over_toolbar = false;
    EXPECT_EQ(target(), PressTarget::OpenDimensionEditor);
    parts.on_dimension_label = false;
    EXPECT_EQ(target(), PressTarget::TextCaret);
    parts.in_text_field = false;
    const PressDecision d = on_press(s, parts, {300, 300});
    EXPECT_EQ(d.target, PressTarget::OpenTextEntry);
    EXPECT_TRUE(d.commit_text_entry_first);
    EXPECT_FALSE(carry_out_press(s, d, false, false));
    EXPECT_TRUE(s.editor.objects.empty());
}

TEST(PressDispatch, ToolbarButtonsCommitTheTextEntryUnlessTheyStyleIt) {
    SessionState s = session_with({}, {}, Tool::Text);
    PartsView parts;
    parts.text_entry_open = true;
    const auto commits = [&](CommandValue command) {
        parts.toolbar_button = command;
        const PressDecision d = on_press(s, parts, {600, 450});
        EXPECT_EQ(d.target, PressTarget::ToolbarButton);
        EXPECT_EQ(d.command, command);
        return d.commit_text_entry_first;
    };
    EXPECT_FALSE(commits(set_colour_command(kPresetColours[3])));
    EXPECT_FALSE(commits(command_value(CommandKind::CustomColour)));
    EXPECT_FALSE(commits(command_value(CommandKind::Eyedropper)));
    EXPECT_TRUE(commits(command_value(CommandKind::Save)));
    EXPECT_TRUE(commits(select_tool_command(Tool::Select)));
    EXPECT_TRUE(commits(command_value(CommandKind::Thicker)));
}

TEST(PressDispatch, RegionSelectionModePassesOverTheToolbarAndTheLabel) {
    SessionState s = testing::fresh_session();
    PartsView parts;
    parts.toolbar_button = command_value(CommandKind::Save);
    parts.on_dimension_label = true;
    EXPECT_EQ(on_press(s, parts, {300, 300}).target, PressTarget::NewRegion);
}

TEST(PressDispatch, KnobThenRegionHandleThenTheSelectGesture) {
    // Selected rectangle whose knob is at (250, 172).
    SessionState s = session_with({make_rect(1, kBox)}, {1});
    PressDecision d = on_press(s, {}, {254, 170});
    EXPECT_EQ(d.target, PressTarget::RotationKnob);
    EXPECT_TRUE(carry_out_press(s, d, false, false));
    ASSERT_TRUE(s.editor.gesture.has_value());
    EXPECT_EQ(s.editor.gesture->kind, GestureKind::Rotate);
    on_release(s, {});

    // A region corner takes the press before the Select tool.
    d = on_press(s, {}, {103, 97});
    EXPECT_EQ(d.target, PressTarget::RegionHandle);
    EXPECT_EQ(d.handle, 0);
    // Other tools ignore the knob.
    s.editor.tool = Tool::Pen;
    s.editor.selection = {1};
    EXPECT_EQ(on_press(s, {}, {250, 172}).target, PressTarget::DrawGesture);
}

TEST(PressDispatch, APressHidesTheWidthIndicator) {
    SessionState s = editing_session(100, 100, 500, 400);
    s.width_indicator_visible = true;
    on_press(s, {}, {5000, -30});
    EXPECT_FALSE(s.width_indicator_visible);
    EXPECT_EQ(s.pointer, (Point{1920, 0}));
}

// --- move and release ---

TEST(PointerRoutes, PartsThatOwnADragComeFirst) {
    SessionState s = testing::fresh_session();
    carry_out_press(s, on_press(s, {}, {100, 100}), false, false);
    PartsView parts;
    parts.dimension_selecting = true;
    parts.picker_dragging = true;
    parts.text_selecting = true;
    EXPECT_EQ(on_move(s, parts, {300, 300}, false, false), PointerRoute::DimensionSelection);
    EXPECT_EQ(s.region, (Region{{100, 100, 100, 100}, true}));  // the region did not follow
    EXPECT_EQ(s.pointer, (Point{300, 300}));
    EXPECT_EQ(on_release(s, parts), PointerRoute::DimensionSelection);

    parts.dimension_selecting = false;
    EXPECT_EQ(on_move(s, parts, {300, 300}, false, false), PointerRoute::PickerDrag);
    EXPECT_EQ(on_release(s, parts), PointerRoute::TextSelection);
    parts.text_selecting = false;
    EXPECT_EQ(on_release(s, parts), PointerRoute::PickerDrag);
    parts.picker_dragging = false;

    EXPECT_EQ(on_move(s, parts, {300, 300}, false, false), PointerRoute::RegionDrag);
    EXPECT_EQ(on_release(s, parts), PointerRoute::RegionDrag);
    EXPECT_EQ(s.region, (Region{{100, 100, 300, 300}, true}));
    EXPECT_EQ(on_move(s, parts, {310, 310}, false, false), PointerRoute::None);
}

TEST(PointerRoutes, AGestureGetsTheModifiersOfEachMove) {
    SessionState s = session_with({}, {}, Tool::Line);
    carry_out_press(s, on_press(s, {}, {200, 200}), false, false);
    // 20 degrees off horizontal: with Shift the line snaps flat.
    EXPECT_EQ(on_move(s, {}, {200 + 100 * 0.9396926, 200 + 100 * 0.3420201}, true, false), PointerRoute::Gesture);
    const auto* line = s.editor.objects.at(0).as<shape::Stroke>();
    ASSERT_NE(line, nullptr);
    EXPECT_NEAR(line->points[1].y, 200.0, 1e-6);
    EXPECT_EQ(on_release(s, {}), PointerRoute::Gesture);
    EXPECT_FALSE(s.editor.gesture.has_value());
    EXPECT_TRUE(s.editor.can_undo());
}

// --- wheel ---

TEST(Wheel, StrokeWidthStaysWithinOneToForty) {
    SessionState s = editing_session(100, 100, 500, 400);
    s.editor.width = 39;
    for (int i = 0; i < 3; ++i) {
        const WheelAction w = decide_wheel(s, {}, 120);
        ASSERT_EQ(w.kind, WheelActionKind::Execute);
        ASSERT_TRUE(execute_command(s, {}, w.command).has_value());
    }
    EXPECT_EQ(s.editor.width, 40.0);
    EXPECT_TRUE(s.width_indicator_visible);

    s.editor.width = 2;
    for (int i = 0; i < 3; ++i) {
        const WheelAction w = decide_wheel(s, {}, -120);
        EXPECT_EQ(w.command, command_value(CommandKind::Thinner));
        ASSERT_TRUE(execute_command(s, {}, w.command).has_value());
    }
    EXPECT_EQ(s.editor.width, 1.0);
}

TEST(Wheel, TextSizesMoveByTwoWithinEightToThreeHundred) {
    EXPECT_EQ(stepped_text_size(24, 2), 26.0);
    EXPECT_EQ(stepped_text_size(299, 2), 300.0);
    EXPECT_EQ(stepped_text_size(300, 2), 300.0);
    EXPECT_EQ(stepped_text_size(9, -2), 8.0);

    // Selected texts change size; a selected rectangle and an unselected text do not count.
    SessionState s = session_with({make_text(1, "big", {150, 150}, 299), make_rect(2, kBox),
                                   make_text(3, "small", {150, 300}, 10), make_text(4, "other", {300, 300}, 40)},
                                  {3, 2, 1});
    WheelAction w = decide_wheel(s, {}, 120);
    ASSERT_EQ(w.kind, WheelActionKind::TextObjects);
    ASSERT_EQ(w.texts.size(), 2u);
    EXPECT_EQ(w.texts[0].id, 1u);
    EXPECT_EQ(w.texts[0].font_size, 300.0);
    EXPECT_EQ(w.texts[1].id, 3u);
    EXPECT_EQ(w.texts[1].font_size, 12.0);

    w = decide_wheel(s, {}, -1);
    EXPECT_EQ(w.texts[1].font_size, 8.0);

    PartsView entry;
    entry.text_entry_open = true;
    w = decide_wheel(s, entry, 120);
    EXPECT_EQ(w.kind, WheelActionKind::TextEntrySize);
    EXPECT_EQ(w.step, 2.0);
}

TEST(Wheel, IgnoredWhilePickerDimensionsOrEyedropperAreActive) {
    SessionState s = editing_session(100, 100, 500, 400);
    PartsView parts;
    parts.picker_open = true;
    EXPECT_EQ(decide_wheel(s, parts, 120).kind, WheelActionKind::Ignored);
    parts = {};
    parts.dimension_editor_open = true;
    EXPECT_EQ(decide_wheel(s, parts, 120).kind, WheelActionKind::Ignored);
    s.eyedropper_on = true;
    EXPECT_EQ(decide_wheel(s, {}, 120).kind, WheelActionKind::Ignored);
}

TEST(Wheel, PenWidthThreeToFourShowsTheLabel) {
    SessionState s = session_with({}, {}, Tool::Pen);
    s.pointer = {300, 300};
    ASSERT_TRUE(execute_command(s, {}, decide_wheel(s, {}, 120).command).has_value());
    const std::optional<BrushPreview> preview = brush_preview(s, {});
    ASSERT_TRUE(preview.has_value());
    ASSERT_TRUE(preview->label.has_value());
    EXPECT_EQ(preview->label->text, "4 px");
    // The next press hides it again; the pen's own circle stays at the pointer.
    on_press(s, {}, {300, 300});
    const std::optional<BrushPreview> after = brush_preview(s, {});
    ASSERT_TRUE(after.has_value());
    EXPECT_FALSE(after->label.has_value());
    EXPECT_EQ(after->centre, (Point{300, 300}));
}

// --- cursor ---

TEST(Cursor, RegionHandlesShowTheirSizingCursors) {
    const SessionState s = session_with({}, {}, Tool::Rectangle);
    const CursorShape expected[8] = {CursorShape::SizeNWSE, CursorShape::SizeNS, CursorShape::SizeNESW,
                                     CursorShape::SizeWE,   CursorShape::SizeNWSE, CursorShape::SizeNS,
                                     CursorShape::SizeNESW, CursorShape::SizeWE};
    const auto points = handle_points(s.region);
    for (int h = 0; h < 8; ++h) {
        EXPECT_EQ(choose_cursor(s, {}, points[h]), expected[h]) << h;
    }
    EXPECT_EQ(choose_cursor(s, {}, {300, 300}), CursorShape::Cross);
}

TEST(Cursor, TheSelectToolShowsWhatAPressWouldDo) {
    // A rectangle and an arrow from (150, 300) to (250, 350), both unselected.
    SessionState s = session_with({make_rect(1, kBox), make_arrow(2, {150, 300}, {250, 350})});
    EXPECT_EQ(choose_cursor(s, {}, {300, 230}), CursorShape::Move);   // 0 px from the rectangle's edge
    EXPECT_EQ(choose_cursor(s, {}, {250, 230}), CursorShape::Arrow);  // inside it: no hit
    EXPECT_EQ(choose_cursor(s, {}, {600, 500}), CursorShape::Arrow);

    s.editor.selection = {1};
    EXPECT_EQ(choose_cursor(s, {}, {250, 175}), CursorShape::Hand);  // 3 px from the knob at (250, 172)
    EXPECT_EQ(choose_cursor(s, {}, {205, 205}), CursorShape::SizeNWSE);
    EXPECT_EQ(choose_cursor(s, {}, {300, 260}), CursorShape::SizeNWSE);
    EXPECT_EQ(choose_cursor(s, {}, {296, 204}), CursorShape::SizeNESW);
    EXPECT_EQ(choose_cursor(s, {}, {200, 260}), CursorShape::SizeNESW);

    // One arrow selected: its ends (which are its bounds' corners) move the end.
    s.editor.selection = {2};
    EXPECT_EQ(choose_cursor(s, {}, {152, 302}), CursorShape::Move);
    EXPECT_EQ(choose_cursor(s, {}, {250, 350}), CursorShape::Move);
    // With the rectangle too, the same spot is a corner of the selection.
    s.editor.selection = {2, 1};
    EXPECT_EQ(choose_cursor(s, {}, {152, 352}), CursorShape::SizeNESW);

    // A knob on the region's top handle: the press turns, and so says the cursor.
    SessionState near = session_with({make_rect(3, {{250, 128}, {350, 180}})}, {3});
    EXPECT_EQ(on_press(near, {}, {303, 102}).target, PressTarget::RotationKnob);
    EXPECT_EQ(choose_cursor(near, {}, {303, 102}), CursorShape::Hand);
}

TEST(Cursor, ToolsAndOpenParts) {
    SessionState s = session_with({}, {}, Tool::Text);
    EXPECT_EQ(choose_cursor(s, {}, {300, 300}), CursorShape::IBeam);
    s.editor.tool = Tool::Highlighter;
    EXPECT_EQ(choose_cursor(s, {}, {300, 300}), CursorShape::Cross);

    PartsView parts;
    parts.on_dimension_label = true;
    EXPECT_EQ(choose_cursor(s, parts, {300, 300}), CursorShape::IBeam);
    s.region_selection = true;  // the label does not answer while a region is being made
    EXPECT_EQ(choose_cursor(s, parts, {300, 300}), CursorShape::Cross);
    s.region_selection = false;

    parts = {};
    parts.over_toolbar = true;
    EXPECT_EQ(choose_cursor(s, parts, {100, 100}), CursorShape::Arrow);  // even on a region handle
    parts = {};
    parts.picker_open = true;
    EXPECT_EQ(choose_cursor(s, parts, {300, 300}), CursorShape::Arrow);
    s.eyedropper_on = true;
    s.editor.tool = Tool::Select;
    EXPECT_EQ(choose_cursor(s, {}, {100, 100}), CursorShape::Cross);
}

}  // namespace
}  // namespace kadrovix
