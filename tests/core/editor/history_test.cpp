#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "editor/editor.h"
#include "editor/invariants.h"
#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

using namespace kadrovix::testing;

const Rect kBoxA{{0, 0}, {100, 50}};
const Rect kBoxB{{200, 0}, {300, 50}};
const Rect kBoxC{{0, 200}, {100, 250}};

// ---------------------------------------------------------------------------
// Commit

TEST(HistoryCommit, NoChangeRecordsNothingAndKeepsTheRedoStack) {
    Editor e = editor_with({make_rect(1, kBoxA), make_rect(2, kBoxB)});
    e.selection = {1};
    e.nudge_selection(5, 5);
    e.undo();
    ASSERT_TRUE(e.can_redo());
    ASSERT_FALSE(e.can_undo());

    e.commit(e.objects);
    EXPECT_FALSE(e.can_undo());
    EXPECT_TRUE(e.can_redo());

    // The same through a gesture: moved away and back in one drag.
    e.press({0, 25}, false, false);
    ASSERT_TRUE(e.gesture.has_value());
    ASSERT_EQ(e.gesture->kind, GestureKind::Move);
    e.drag({40, 60});
    e.drag({0, 25});
    e.release();
    EXPECT_FALSE(e.can_undo());
    EXPECT_TRUE(e.can_redo());
}

TEST(HistoryCommit, StepHoldsOnlyTheTouchedObjects) {
    Editor e = editor_with({make_rect(1, kBoxA), make_rect(2, kBoxB), make_rect(3, kBoxC)});
    e.redo_stack.push_back(HistoryStep{});
    const std::vector<Annotation> snapshot = e.objects;

    // 1 unchanged, 2 changed, 3 removed, 4 and 5 added.
    e.objects[1].colour = kPresetColours[2];
    e.objects.erase(e.objects.begin() + 2);
    e.objects.push_back(make_ellipse(5, kBoxC));
    e.objects.push_back(make_text(4, "x", {0, 0}));
    e.id_counter = 5;
    e.commit(snapshot);

    ASSERT_EQ(e.undo_stack.size(), 1u);
    const HistoryStep& step = e.undo_stack[0];
    EXPECT_EQ(ids_of(step.before), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_EQ(step.before[0], snapshot[1]);
    EXPECT_EQ(ids_of(step.after), (std::vector<std::uint64_t>{2, 5, 4})) << "current order";
    EXPECT_EQ(step.after[0].colour, kPresetColours[2]);
    EXPECT_FALSE(e.can_redo()) << "a new change ends the redo branch";

    // Undo restores the old objects, now in id order.
    e.undo();
    EXPECT_EQ(e.objects, snapshot);
    e.redo();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 2, 4, 5}));
}

// ---------------------------------------------------------------------------
// Undo and redo

TEST(HistoryUndo, DrawAThenBUndoDrawCLeavesAAndC) {
    Editor e;
    e.set_tool(Tool::Rectangle);
    gesture(e, {10, 10}, {{60, 40}});
    gesture(e, {100, 100}, {{160, 140}});
    ASSERT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 2}));
    e.undo();
    EXPECT_TRUE(e.can_redo());
    gesture(e, {200, 200}, {{260, 240}});
    EXPECT_FALSE(e.can_redo());
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 3}));
    EXPECT_EQ(e.objects[1].as<shape::Rectangle>()->box, (Rect{{200, 200}, {260, 240}}));

    e.undo();
    e.undo();
    EXPECT_TRUE(e.objects.empty());
    EXPECT_FALSE(e.can_undo());
    e.undo();  // empty stack: nothing happens
    EXPECT_TRUE(e.objects.empty());
    e.redo();
    e.redo();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 3}));
    e.redo();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 3}));
}

TEST(HistoryUndo, RestoredObjectsReturnToTheirPlaceInDrawingOrder) {
    Editor e = editor_with({make_rect(1, kBoxA), make_rect(2, kBoxB), make_rect(3, kBoxC), make_text(4, "t", {5, 5})});
    const std::vector<Annotation> original = e.objects;
    e.selection = {3, 1};
    e.delete_selection();
    e.selection = {4};
    e.delete_selection();
    ASSERT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{2}));

    e.undo();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{2, 4}));
    e.undo();
    EXPECT_EQ(e.objects, original);
    e.redo();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{2, 4}));
    e.redo();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{2}));
}

TEST(HistoryUndo, ApplyStepSortsByIdWhateverOrderObjectsArriveIn) {
    Editor e = editor_with({make_rect(1, kBoxA), make_rect(6, kBoxB)});
    e.selection = {6, 1};
    e.apply_step({}, {make_rect(5, kBoxC), make_text(4, "t", {0, 0}), make_rect(2, kBoxA)});
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 2, 4, 5, 6}));

    // Removing by id takes whatever object carries that id; the selection is pruned.
    e.apply_step({make_ellipse(6, kBoxC), make_rect(5, kBoxC)}, {});
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 2, 4}));
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{1}));

    // Even a document that arrives out of order ends sorted.
    e.objects = {make_rect(9, kBoxA), make_rect(3, kBoxB)};
    e.apply_step({}, {make_rect(7, kBoxC)});
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{3, 7, 9}));
}

TEST(HistoryUndo, UndoOfDeleteReattachesArrowsWithoutReselecting) {
    const Attachment on_a{1, 0, 1};
    const Attachment on_b{-1, 0, 2};
    Editor e = editor_with({make_rect(1, kBoxA), make_rect(2, kBoxB), make_arrow(3, {190, 30}, {110, 20}, on_b, on_a)});
    const std::vector<Annotation> original = e.objects;
    e.selection = {1, 2};
    e.delete_selection();
    const shape::Arrow* arrow = e.objects[0].as<shape::Arrow>();
    ASSERT_NE(arrow, nullptr);
    EXPECT_FALSE(arrow->start_attachment.has_value());
    EXPECT_FALSE(arrow->end_attachment.has_value());
    EXPECT_EQ(arrow->start, (Point{200, 25}));
    EXPECT_EQ(arrow->end, (Point{100, 25}));

    e.undo();
    EXPECT_EQ(e.objects, original);
    EXPECT_TRUE(e.selection.empty());
    EXPECT_EQ(check_invariants(e), std::nullopt);
}

TEST(HistoryUndo, UndoOfPasteDropsThePastedObjectsFromTheSelection) {
    Editor e = editor_with({make_rect(1, kBoxA), make_rect(2, kBoxB)});
    e.selection = {1, 2};
    e.paste(e.copy_selection(), 1);
    ASSERT_EQ(e.selection, (std::vector<std::uint64_t>{3, 4}));
    e.undo();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 2}));
    EXPECT_TRUE(e.selection.empty());
    e.redo();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 2, 3, 4}));
    EXPECT_TRUE(e.selection.empty()) << "redo does not select either";
}

TEST(HistoryUndo, UndoAndRedoEndAGestureInProgressFirst) {
    Editor e;
    ASSERT_TRUE(e.add_text(10, 10, "note", 40, 20, kPresetColours[0], 16).has_value());
    e.selection = {1};
    e.press({20, 20}, false, false);
    ASSERT_TRUE(e.gesture.has_value());
    e.drag({80, 90});
    e.undo();
    EXPECT_FALSE(e.gesture.has_value());
    EXPECT_TRUE(e.objects.empty());
    EXPECT_TRUE(e.can_redo());

    e.set_tool(Tool::Pen);
    e.press({0, 0}, false, false);
    e.drag({30, 0});
    e.redo();
    EXPECT_FALSE(e.gesture.has_value());
    ASSERT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1}));
    EXPECT_EQ(e.objects[0].as<shape::Text>()->position, (Point{10, 10}));
}

}  // namespace
}  // namespace kadrovix
