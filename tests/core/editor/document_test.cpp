#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "editor/editor.h"
#include "editor/invariants.h"
#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

using namespace kadrovix::testing;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const Rect kBoxR{{0, 0}, {100, 50}};
const Rect kBoxS{{200, 0}, {300, 50}};

const shape::Rectangle& rect_of(const Editor& e, std::uint64_t id) {
    const Annotation* a = object_by_id(e, id);
    EXPECT_NE(a, nullptr) << "id " << id;
    return *a->as<shape::Rectangle>();
}

const shape::Arrow& arrow_of(const Editor& e, std::uint64_t id) {
    const Annotation* a = object_by_id(e, id);
    EXPECT_NE(a, nullptr) << "id " << id;
    return *a->as<shape::Arrow>();
}

// ---------------------------------------------------------------------------
// Ids

TEST(DocumentIds, AreTakenOnPressAndNeverReused) {
    Editor e;
    e.set_tool(Tool::Rectangle);
    gesture(e, {10, 10}, {{40, 30}});
    ASSERT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1}));

    // A click makes nothing and records nothing, but its id stays used.
    e.press({50, 50}, false, false);
    e.release();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1}));
    EXPECT_EQ(e.undo_stack.size(), 1u);

    e.set_tool(Tool::Ellipse);
    gesture(e, {200, 200}, {{220, 200}});
    const std::optional<std::uint64_t> text = e.add_text(5, 5, "hello", 40, 20, kPresetColours[1], 16);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, 4u);

    e.selection = {1};
    e.paste(e.copy_selection(), 1);
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 3, 4, 5}));
    EXPECT_EQ(e.id_counter, 5u);
    EXPECT_EQ(check_invariants(e), std::nullopt);
}

// ---------------------------------------------------------------------------
// Tool

TEST(DocumentTool, SetToolClearsSelectionEvenForTheSameTool) {
    Editor e = editor_with({make_rect(1, kBoxR), make_rect(2, kBoxS)});
    e.selection = {1, 2};
    e.set_tool(Tool::Select);
    EXPECT_TRUE(e.selection.empty());
    EXPECT_EQ(e.tool, Tool::Select);

    e.selection = {2};
    e.set_tool(Tool::Pen);
    EXPECT_TRUE(e.selection.empty());
    EXPECT_EQ(e.tool, Tool::Pen);
    EXPECT_FALSE(e.can_undo());
}

TEST(DocumentTool, SetToolDropsAHalfDrawnShape) {
    Editor e = editor_with({make_rect(1, kBoxR)});
    const std::vector<Annotation> before = e.objects;
    e.set_tool(Tool::Pen);
    e.press({10, 10}, false, false);
    e.drag({30, 10});
    e.set_tool(Tool::Rectangle);
    EXPECT_FALSE(e.gesture.has_value());
    EXPECT_EQ(e.objects, before);
    EXPECT_FALSE(e.can_undo());
}

// ---------------------------------------------------------------------------
// Style

TEST(DocumentStyle, SetColourRestylesEverySelectedObjectAndStrokeSegment) {
    Editor e = editor_with({make_rect(1, kBoxR), make_ellipse(2, kBoxS),
                            make_stroke(3, {{0, 0}, {10, 0}, {20, 5}, {30, 0}}, {2, 5, 7})});
    const Annotation untouched = e.objects[1];
    e.selection = {3, 1};
    e.width = 6;
    e.set_colour(kPresetColours[3]);

    EXPECT_EQ(e.colour, kPresetColours[3]);
    EXPECT_EQ(e.objects[0].colour, kPresetColours[3]);
    EXPECT_EQ(e.objects[0].width, 6);
    EXPECT_EQ(e.objects[1], untouched);
    EXPECT_EQ(e.objects[2].colour, kPresetColours[3]);
    EXPECT_EQ(e.objects[2].width, 6);
    EXPECT_EQ(e.objects[2].as<shape::Stroke>()->segment_widths, (std::vector<double>{6, 6, 6}));

    ASSERT_EQ(e.undo_stack.size(), 1u);
    EXPECT_EQ(ids_of(e.undo_stack[0].before), (std::vector<std::uint64_t>{1, 3}));
    EXPECT_EQ(ids_of(e.undo_stack[0].after), (std::vector<std::uint64_t>{1, 3}));
    e.undo();
    EXPECT_EQ(e.objects[2].as<shape::Stroke>()->segment_widths, (std::vector<double>{2, 5, 7}));
    EXPECT_EQ(e.objects[0].width, 3);
}

TEST(DocumentStyle, NothingSelectedOrNothingChangedRecordsNothing) {
    Editor e = editor_with({make_rect(1, kBoxR, 3.0, kPresetColours[0])});
    e.width = 3;
    e.selection = {1};
    e.set_colour(kPresetColours[2]);
    e.undo();
    ASSERT_TRUE(e.can_redo());

    // Empty selection: the current style changes, the history does not.
    e.selection.clear();
    e.set_colour(kPresetColours[4]);
    e.widen();
    EXPECT_EQ(e.colour, kPresetColours[4]);
    EXPECT_EQ(e.width, 4);
    EXPECT_FALSE(e.can_undo());
    EXPECT_TRUE(e.can_redo());

    // Re-applying the style an object already has is no change either.
    e.objects[0].colour = kPresetColours[4];
    e.objects[0].width = 4;
    e.selection = {1};
    e.set_colour(kPresetColours[4]);
    EXPECT_FALSE(e.can_undo());
    EXPECT_TRUE(e.can_redo());
}

TEST(DocumentStyle, NarrowAndWidenStayWithinOneToForty) {
    Editor e;
    e.width = 2;
    e.narrow();
    EXPECT_EQ(e.width, 1);
    e.narrow();
    EXPECT_EQ(e.width, 1);
    e.width = 39;
    e.widen();
    EXPECT_EQ(e.width, 40);
    e.widen();
    EXPECT_EQ(e.width, 40);

    e = editor_with({make_rect(1, kBoxR, 40.0, kPresetColours[0])});
    e.width = 40;
    e.selection = {1};
    e.widen();
    EXPECT_FALSE(e.can_undo()) << "width already at the limit and on the object";
    e.narrow();
    EXPECT_EQ(e.objects[0].width, 39);
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

TEST(DocumentStyle, WidthChangeWhileDrawingGoesOnlyToTheNewShape) {
    Editor e = editor_with({make_rect(1, kBoxR)});
    e.width = 3;
    e.set_tool(Tool::Pen);
    e.press({0, 200}, false, false);
    e.drag({10, 200});
    e.widen();
    EXPECT_TRUE(e.gesture.has_value()) << "a width change must not end the stroke";
    e.drag({20, 200});
    e.release();

    ASSERT_EQ(e.objects.size(), 2u);
    EXPECT_EQ(e.objects[0].width, 3) << "other objects keep their style";
    const auto* stroke = e.objects[1].as<shape::Stroke>();
    ASSERT_NE(stroke, nullptr);
    EXPECT_EQ(e.objects[1].width, 4);
    EXPECT_EQ(stroke->segment_widths, (std::vector<double>{3, 4}));
    EXPECT_EQ(e.undo_stack.size(), 1u) << "the stroke's own commit is the only step";
}

TEST(DocumentStyle, WidthChangeDuringAMoveCancelsItAndRestylesTheSelection) {
    Editor e = editor_with({make_rect(1, kBoxR)});
    e.width = 3;
    e.selection = {1};
    e.press({0, 25}, false, false);  // on the left edge
    ASSERT_TRUE(e.gesture.has_value());
    ASSERT_EQ(e.gesture->kind, GestureKind::Move);
    e.drag({10, 35});
    e.narrow();
    EXPECT_FALSE(e.gesture.has_value());
    EXPECT_EQ(rect_of(e, 1).box, kBoxR);
    EXPECT_EQ(e.objects[0].width, 2);
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

// ---------------------------------------------------------------------------
// Delete

TEST(DocumentDelete, UnselectedArrowsStayWhereTheyWereDrawnUnattached) {
    // Arrow 3 runs from S (left side) to R (right side); its stored points are
    // the free positions from before it snapped on.
    const Attachment on_s{-1, 0, 2};
    const Attachment on_r{1, 0, 1};
    Editor e = editor_with({make_rect(1, kBoxR), make_rect(2, kBoxS), make_arrow(3, {210, 30}, {90, 20}, on_s, on_r)});
    const std::vector<Annotation> original = e.objects;
    e.selection = {1};
    e.delete_selection();

    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_TRUE(e.selection.empty());
    const shape::Arrow& arrow = arrow_of(e, 3);
    EXPECT_FALSE(arrow.end_attachment.has_value());
    EXPECT_EQ(arrow.end, (Point{100, 25})) << "pinned where it was drawn, on R's right edge";
    ASSERT_TRUE(arrow.start_attachment.has_value()) << "S still exists";
    EXPECT_EQ(*arrow.start_attachment, on_s);
    EXPECT_EQ(arrow.start, (Point{210, 30}));
    ASSERT_EQ(e.undo_stack.size(), 1u);
    EXPECT_EQ(ids_of(e.undo_stack[0].before), (std::vector<std::uint64_t>{1, 3}));
    EXPECT_EQ(ids_of(e.undo_stack[0].after), (std::vector<std::uint64_t>{3}));

    // Undo puts R back in place and re-attaches the arrow, selecting nothing.
    e.undo();
    EXPECT_EQ(e.objects, original);
    EXPECT_TRUE(e.selection.empty());
    e.redo();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{2, 3}));
}

TEST(DocumentDelete, ArrowWithBothEndsOnOneSpotKeepsItsDrawnLength) {
    // Both ends resolve to R's right edge, so the arrow is drawn at its stored
    // points; pinning both ends to the attachment point would collapse it.
    const Attachment right{1, 0, 1};
    Editor e = editor_with({make_rect(1, kBoxR), make_arrow(2, {150, 80}, {150, 20}, right, right)});
    e.selection = {1};
    e.delete_selection();
    const shape::Arrow& arrow = arrow_of(e, 2);
    EXPECT_FALSE(arrow.start_attachment.has_value());
    EXPECT_FALSE(arrow.end_attachment.has_value());
    EXPECT_EQ(arrow.start, (Point{150, 80}));
    EXPECT_EQ(arrow.end, (Point{150, 20}));
}

TEST(DocumentDelete, ArrowDeletedWithItsTargetAndEmptySelection) {
    Editor e = editor_with({make_rect(1, kBoxR), make_arrow(2, {150, 25}, {90, 20}, std::nullopt, Attachment{1, 0, 1}),
                            make_ellipse(3, kBoxS)});
    e.delete_selection();
    EXPECT_EQ(e.objects.size(), 3u);
    EXPECT_FALSE(e.can_undo());

    e.selection = {2, 1};
    e.delete_selection();
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{3}));
    EXPECT_EQ(check_invariants(e), std::nullopt);
}

// ---------------------------------------------------------------------------
// Nudge

TEST(DocumentNudge, MovesEverySelectedKindByExactlyTheOffset) {
    Editor e = editor_with({make_rect(1, kBoxR), make_ellipse(2, kBoxS), make_arrow(3, {0, 100}, {50, 120}),
                            make_stroke(4, {{0, 200}, {10, 210}, {20, 200}}, {3, 3}),
                            make_text(5, "note", {300, 300}, 20, 50, 24), make_rect(6, {{400, 400}, {410, 410}})});
    e.selection = {1, 2, 3, 4, 5};
    e.nudge_selection(10, -1);

    EXPECT_EQ(rect_of(e, 1).box, (Rect{{10, -1}, {110, 49}}));
    EXPECT_EQ(object_by_id(e, 2)->as<shape::Ellipse>()->box, (Rect{{210, -1}, {310, 49}}));
    EXPECT_EQ(arrow_of(e, 3).start, (Point{10, 99}));
    EXPECT_EQ(arrow_of(e, 3).end, (Point{60, 119}));
    EXPECT_EQ(object_by_id(e, 4)->as<shape::Stroke>()->points, (std::vector<Point>{{10, 199}, {20, 209}, {30, 199}}));
    const auto* text = object_by_id(e, 5)->as<shape::Text>();
    EXPECT_EQ(text->position, (Point{310, 299}));
    EXPECT_EQ(text->font_size, 20);
    EXPECT_EQ(text->layout_width, 50);
    EXPECT_EQ(rect_of(e, 6).box, (Rect{{400, 400}, {410, 410}}));
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

TEST(DocumentNudge, IgnoresNonFiniteOffsetsAndEmptySelection) {
    Editor e = editor_with({make_rect(1, kBoxR)});
    const std::vector<Annotation> original = e.objects;
    e.nudge_selection(1, 0);
    e.selection = {1};
    e.nudge_selection(kNaN, 0);
    e.nudge_selection(0, kInf);
    e.nudge_selection(-kInf, 1);
    EXPECT_EQ(e.objects, original);
    EXPECT_FALSE(e.can_undo());
}

TEST(DocumentNudge, ArrowKeepsOnlyAttachmentsToSelectedObjects) {
    const Attachment on_r{1, 0, 1};
    Editor e = editor_with({make_rect(1, kBoxR), make_arrow(2, {150, 80}, {90, 20}, std::nullopt, on_r)});

    // The arrow alone leaves its target: its end is pinned first, then moved.
    e.selection = {2};
    e.nudge_selection(1, 0);
    EXPECT_FALSE(arrow_of(e, 2).end_attachment.has_value());
    EXPECT_EQ(arrow_of(e, 2).end, (Point{101, 25}));
    EXPECT_EQ(arrow_of(e, 2).start, (Point{151, 80}));
    e.undo();

    // Together with its target it stays attached and the target moves too.
    e.selection = {2, 1};
    e.nudge_selection(0, 10);
    ASSERT_TRUE(arrow_of(e, 2).end_attachment.has_value());
    EXPECT_EQ(*arrow_of(e, 2).end_attachment, on_r);
    EXPECT_EQ(rect_of(e, 1).box, (Rect{{0, 10}, {100, 60}}));
    EXPECT_EQ(arrow_of(e, 2).start, (Point{150, 90}));
}

// ---------------------------------------------------------------------------
// Text

TEST(DocumentText, AddTextAppendsATextObjectWithTheCurrentWidth) {
    Editor e = editor_with({make_rect(1, kBoxR)});
    e.width = 7;
    e.colour = kPresetColours[0];
    e.set_tool(Tool::Pen);
    e.press({5, 5}, false, false);
    e.drag({50, 5});

    const std::optional<std::uint64_t> id = e.add_text(12.5, 30, "Hi there", 80, 24, kPresetColours[5], 18);
    ASSERT_EQ(id, std::optional<std::uint64_t>(3)) << "the cancelled stroke took id 2";
    EXPECT_FALSE(e.gesture.has_value());
    ASSERT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 3}));
    const Annotation& a = e.objects[1];
    const auto* text = a.as<shape::Text>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, "Hi there");
    EXPECT_EQ(text->position, (Point{12.5, 30}));
    EXPECT_EQ(text->font_size, 18);
    EXPECT_EQ(text->layout_width, 80);
    EXPECT_EQ(text->layout_height, 24);
    EXPECT_EQ(a.angle, 0);
    EXPECT_EQ(a.width, 7);
    EXPECT_EQ(a.colour, kPresetColours[5]);
    ASSERT_EQ(e.undo_stack.size(), 1u);
    EXPECT_TRUE(e.undo_stack[0].before.empty());
    EXPECT_EQ(ids_of(e.undo_stack[0].after), (std::vector<std::uint64_t>{3}));

    // Bounds of the accepted range, an empty layout box and non-ASCII text.
    EXPECT_TRUE(e.add_text(0, 0, "a", 0, 0, kPresetColours[0], 8).has_value());
    EXPECT_TRUE(e.add_text(0, 0, " b ", 10, 10, kPresetColours[0], 300).has_value());
    EXPECT_TRUE(e.add_text(0, 0, "\xC3\xA9t\xC3\xA9", 10, 10, kPresetColours[0], 12).has_value());
}

TEST(DocumentText, RefusedTextAddsNothingAndTakesNoId) {
    struct Case {
        const char* name;
        double x, y;
        std::string text;
        double w, h, font;
    };
    const std::vector<Case> cases = {
        {"empty", 0, 0, "", 10, 10, 12},
        {"spaces", 0, 0, "   ", 10, 10, 12},
        {"tabs and line breaks", 0, 0, "\t\r\n\v\f", 10, 10, 12},
        // NO-BREAK SPACE, EM SPACE, IDEOGRAPHIC SPACE, LINE SEPARATOR, NEL
        {"Unicode spaces", 0, 0, "\xC2\xA0\xE2\x80\x83\xE3\x80\x80\xE2\x80\xA8\xC2\x85", 10, 10, 12},
        {"NaN x", kNaN, 0, "a", 10, 10, 12},
        {"infinite y", 0, kInf, "a", 10, 10, 12},
        {"NaN width", 0, 0, "a", kNaN, 10, 12},
        {"infinite height", 0, 0, "a", 10, kInf, 12},
        {"negative width", 0, 0, "a", -1, 10, 12},
        {"negative height", 0, 0, "a", 10, -0.5, 12},
        {"font too small", 0, 0, "a", 10, 10, 7.99},
        {"font too large", 0, 0, "a", 10, 10, 300.01},
        {"NaN font", 0, 0, "a", 10, 10, kNaN},
    };
    for (const Case& c : cases) {
        Editor e;
        EXPECT_EQ(e.add_text(c.x, c.y, c.text, c.w, c.h, kPresetColours[0], c.font), std::nullopt) << c.name;
        EXPECT_TRUE(e.objects.empty()) << c.name;
        EXPECT_EQ(e.id_counter, 0u) << c.name;
        EXPECT_FALSE(e.can_undo()) << c.name;
    }
}

TEST(DocumentText, UpdateTextLayoutIsAllOrNothing) {
    Editor e = editor_with({make_text(1, "one", {0, 0}, 20, 50, 24), make_rect(2, kBoxS),
                            make_text(3, "three", {0, 100}, 20, 60, 24)});
    const std::vector<Annotation> original = e.objects;
    const std::vector<std::vector<TextLayoutUpdate>> refused = {
        {},
        {{1, 30, 80, 36}, {2, 30, 80, 36}},   // a rectangle
        {{1, 30, 80, 36}, {99, 30, 80, 36}},  // no such object
        {{1, 30, 80, 36}, {3, 7, 80, 36}},
        {{1, 301, 80, 36}},
        {{1, 30, -1, 36}},
        {{1, 30, 80, kNaN}},
        {{3, 30, kInf, 36}},
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        e.update_text_layout(refused[i]);
        EXPECT_EQ(e.objects, original) << "case " << i;
    }
    EXPECT_FALSE(e.can_undo());

    e.update_text_layout({{1, 30, 80, 36}, {3, 300, 0, 0}});
    const auto* one = e.objects[0].as<shape::Text>();
    const auto* three = e.objects[2].as<shape::Text>();
    EXPECT_EQ(one->font_size, 30);
    EXPECT_EQ(one->layout_width, 80);
    EXPECT_EQ(one->layout_height, 36);
    EXPECT_EQ(one->position, (Point{0, 0}));
    EXPECT_EQ(three->font_size, 300);
    EXPECT_EQ(three->layout_width, 0);
    EXPECT_EQ(e.objects[1], original[1]);
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

// ---------------------------------------------------------------------------
// Copy and paste

TEST(DocumentCopyPaste, CopyIsInDocumentOrderAndLeavesTheDocumentAlone) {
    Editor e = editor_with({make_rect(1, kBoxR), make_rect(2, kBoxS), make_text(3, "t", {0, 0})});
    EXPECT_TRUE(e.copy_selection().empty());
    e.selection = {3, 1};
    const std::vector<Annotation> original = e.objects;
    const std::vector<Annotation> copied = e.copy_selection();
    EXPECT_EQ(ids_of(copied), (std::vector<std::uint64_t>{1, 3}));
    EXPECT_EQ(copied[0], original[0]);
    EXPECT_EQ(e.objects, original);
    EXPECT_FALSE(e.can_undo());
}

TEST(DocumentCopyPaste, ArrowCopiedWithItsTargetStaysAttachedToTheCopy) {
    Editor e = editor_with({make_rect(1, kBoxR), make_arrow(2, {200, 25}, {90, 20}, std::nullopt, Attachment{1, 0, 1})});
    e.set_tool(Tool::Pen);
    e.selection = {2, 1};
    e.paste(e.copy_selection(), 1);

    ASSERT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 2, 3, 4}));
    EXPECT_EQ(rect_of(e, 3).box, (Rect{{16, 16}, {116, 66}}));
    const shape::Arrow& pasted = arrow_of(e, 4);
    ASSERT_TRUE(pasted.end_attachment.has_value());
    EXPECT_EQ(pasted.end_attachment->target, 3u);
    EXPECT_EQ(pasted.end_attachment->dx, 1);
    EXPECT_EQ(pasted.start, (Point{216, 41}));
    EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{3, 4}));
    EXPECT_EQ(e.tool, Tool::Select);
    // The original arrow is untouched.
    EXPECT_EQ(arrow_of(e, 2).end_attachment->target, 1u);
    ASSERT_EQ(e.undo_stack.size(), 1u);
    EXPECT_EQ(ids_of(e.undo_stack[0].after), (std::vector<std::uint64_t>{3, 4}));

    // Target drawn after the arrow, and a third object between them: each
    // attachment follows its own target's new id.
    e = editor_with({make_arrow(1, {0, 0}, {5, 5}, Attachment{0, 1, 3}, Attachment{1, 0, 4}), make_text(2, "t", {0, 0}),
                     make_ellipse(3, kBoxS), make_rect(4, kBoxR)});
    e.selection = {1, 2, 3, 4};
    e.paste(e.copy_selection(), 2);
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(arrow_of(e, 5).start_attachment->target, 7u);
    EXPECT_EQ(arrow_of(e, 5).end_attachment->target, 8u);
    EXPECT_EQ(object_by_id(e, 7)->as<shape::Ellipse>()->box, (Rect{{232, 32}, {332, 82}}));
    EXPECT_EQ(check_invariants(e), std::nullopt);
}

TEST(DocumentCopyPaste, ArrowCopiedAloneIsPastedFreeAtItsDrawnPosition) {
    Editor e = editor_with({make_rect(1, kBoxR), make_arrow(2, {200, 25}, {90, 20}, std::nullopt, Attachment{1, 0, 1})});
    e.selection = {2};
    const std::vector<Annotation> copied = e.copy_selection();
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_FALSE(copied[0].as<shape::Arrow>()->end_attachment.has_value());
    EXPECT_EQ(copied[0].as<shape::Arrow>()->end, (Point{100, 25}));

    e.paste(copied, 1);
    const shape::Arrow& pasted = arrow_of(e, 3);
    EXPECT_FALSE(pasted.end_attachment.has_value());
    EXPECT_EQ(pasted.end, (Point{116, 41}));
    EXPECT_EQ(pasted.start, (Point{216, 41}));

    // An attachment to something outside the pasted set is dropped on paste too.
    Annotation stale = make_arrow(2, {0, 0}, {5, 5}, Attachment{0, 1, 1}, std::nullopt);
    e.paste({stale}, 1);
    EXPECT_FALSE(arrow_of(e, 4).start_attachment.has_value());
}

TEST(DocumentCopyPaste, RepeatedPastesStepBySixteenPixels) {
    Editor e = editor_with({make_rect(1, kBoxR)});
    e.selection = {1};
    const std::vector<Annotation> copied = e.copy_selection();
    for (std::uint64_t count = 1; count <= 3; ++count) {
        e.paste(copied, count);
        const double offset = 16.0 * static_cast<double>(count);
        EXPECT_EQ(e.objects.back().as<shape::Rectangle>()->box, (Rect{{offset, offset}, {100 + offset, 50 + offset}}));
        EXPECT_EQ(e.selection, (std::vector<std::uint64_t>{e.objects.back().id}));
    }
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 2, 3, 4}));

    // A fresh copy of the last paste starts again at +16 from it.
    const std::vector<Annotation> again = e.copy_selection();
    e.paste(again, 1);
    EXPECT_EQ(e.objects.back().as<shape::Rectangle>()->box, (Rect{{64, 64}, {164, 114}}));
    EXPECT_EQ(e.undo_stack.size(), 4u);
}

TEST(DocumentCopyPaste, PasteCountSaturatesAtTheLargestU32) {
    const double cap = 16.0 * 4294967295.0;
    for (std::uint64_t count : {std::uint64_t{1} << 32, std::numeric_limits<std::uint64_t>::max()}) {
        Editor e = editor_with({make_rect(1, kBoxR)});
        e.selection = {1};
        e.paste(e.copy_selection(), count);
        EXPECT_EQ(e.objects.back().as<shape::Rectangle>()->box.min, (Point{cap, cap})) << count;
    }
}

TEST(DocumentCopyPaste, PasteDropsAGestureInProgress) {
    Editor e = editor_with({make_rect(1, kBoxR)});
    e.selection = {1};
    const std::vector<Annotation> copied = e.copy_selection();
    e.set_tool(Tool::Rectangle);
    e.press({300, 300}, false, false);
    e.drag({350, 350});
    e.paste(copied, 1);
    EXPECT_FALSE(e.gesture.has_value());
    EXPECT_EQ(ids_of(e.objects), (std::vector<std::uint64_t>{1, 3}));
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

// ---------------------------------------------------------------------------
// Queries

TEST(DocumentQueries, SelectionMarqueeAndBounds) {
    Editor e = editor_with({make_rect(1, kBoxR), make_rect(2, kBoxS)});
    EXPECT_FALSE(e.is_selected(1));
    EXPECT_EQ(e.selection_bounds(), std::nullopt);
    e.selection = {2};
    EXPECT_TRUE(e.is_selected(2));
    EXPECT_FALSE(e.is_selected(1));
    EXPECT_EQ(e.selection_bounds(), std::optional<Rect>(kBoxS));

    EXPECT_EQ(e.marquee(), std::nullopt);
    e.press({500, 500}, false, false);
    ASSERT_TRUE(e.gesture.has_value());
    ASSERT_EQ(e.gesture->kind, GestureKind::Marquee);
    e.drag({400, 520});
    EXPECT_EQ(e.marquee(), (std::optional<Rect>(Rect{{400, 500}, {500, 520}})));
    e.gesture->current_point = {kNaN, 0};
    EXPECT_EQ(e.marquee(), std::nullopt);
    e.cancel_gesture();
    EXPECT_EQ(e.marquee(), std::nullopt);
}

TEST(DocumentQueries, CancelGestureRestoresTheSnapshot) {
    Editor e = editor_with({make_rect(1, kBoxR)});
    const std::vector<Annotation> original = e.objects;
    e.selection = {1};
    e.press({100, 25}, false, false);
    e.drag({150, 75});
    ASSERT_NE(e.objects, original);
    e.cancel_gesture();
    EXPECT_EQ(e.objects, original);
    EXPECT_FALSE(e.gesture.has_value());
    EXPECT_FALSE(e.can_undo());
    e.cancel_gesture();  // nothing in progress: harmless
    EXPECT_EQ(e.objects, original);
}

}  // namespace
}  // namespace kadrovix
