#include "session/io/text_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "session/session_state.h"
#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

using testing::editor_with;
using testing::make_rect;
using testing::make_text;
using testing::object_by_id;

constexpr Desktop kDesktop{0, 0, 1920, 1080};
constexpr Rgb kBlue = kPresetColours[3];
constexpr Rgb kGreen = kPresetColours[2];

Annotation coloured_text(std::uint64_t id, std::string text, Point at, double size, double w, double h, Rgb c) {
    Annotation a = make_text(id, std::move(text), at, size, w, h);
    a.colour = c;
    return a;
}

SessionState session_with(std::vector<Annotation> objects) {
    SessionState s = new_session(kDesktop);
    s.editor = editor_with(std::move(objects));
    s.editor.tool = Tool::Text;
    return s;
}

// --- which object an entry edits ---

TEST(TextEntryStart, EmptySpotStartsANewEntryWithTheSessionsSizeAndColour) {
    SessionState s = session_with({coloured_text(1, "far away", {800, 800}, 40, 120, 50, kBlue)});
    s.text_size = 36;
    s.editor.colour = kGreen;
    const TextEntryStart start = text_entry_start(s, Point{210.5, 130.25});
    EXPECT_FALSE(start.edited_id.has_value());
    EXPECT_EQ(start.text, "");
    EXPECT_EQ(start.origin, (Point{210.5, 130.25}));
    EXPECT_EQ(start.font_size, 36.0);
    EXPECT_EQ(start.colour, kGreen);
    EXPECT_EQ(start.angle, 0.0);
}

TEST(TextEntryStart, PressOnATextEditsItWithItsOwnValuesNotTheCurrentOnes) {
    Annotation words = coloured_text(3, "line one\nline two", {200, 150}, 48, 180, 130, kBlue);
    words.angle = 0.5;
    SessionState s = session_with({words});
    s.text_size = 24;
    s.editor.colour = kPresetColours[0];
    const TextEntryStart start = text_entry_start(s, Point{290, 215});  // the box's centre
    ASSERT_TRUE(start.edited_id.has_value());
    EXPECT_EQ(*start.edited_id, 3u);
    EXPECT_EQ(start.text, "line one\r\nline two");  // what a multi-line control breaks on
    EXPECT_EQ(start.origin, (Point{200, 150}));
    EXPECT_EQ(start.font_size, 48.0);
    EXPECT_EQ(start.colour, kBlue);
    EXPECT_EQ(start.angle, 0.5);
}

TEST(TextEntryStart, TheTopmostTextUnderThePointWinsAndOtherKindsAreSkipped) {
    // Two overlapping texts under a rectangle whose border runs through the point.
    SessionState s = session_with({
        coloured_text(1, "below", {100, 100}, 20, 200, 40, kBlue),
        coloured_text(2, "above", {150, 110}, 30, 200, 40, kGreen),
        make_rect(3, Rect{{160, 90}, {400, 120}}),
    });
    const Point p{160, 120};
    EXPECT_EQ(text_entry_start(s, p).edited_id, std::optional<std::uint64_t>(2));
    // Left of the upper text only the lower one is there.
    EXPECT_EQ(text_entry_start(s, Point{120, 120}).edited_id, std::optional<std::uint64_t>(1));
    // Just outside the lower text's box: nothing to edit (text hits use no tolerance).
    EXPECT_FALSE(text_entry_start(s, Point{98, 120}).edited_id.has_value());
}

TEST(TextEntryStart, ARotatedTextIsFoundInItsTurnedBox) {
    // A wide, flat text turned a quarter: it now stands upright about its centre (300, 210).
    Annotation tall = make_text(4, "turned", {200, 200}, 20, 200, 20);
    tall.angle = std::numbers::pi / 2;
    SessionState s = session_with({tall});
    EXPECT_EQ(text_entry_start(s, Point{300, 290}).edited_id, std::optional<std::uint64_t>(4));
    EXPECT_FALSE(text_entry_start(s, Point{390, 210}).edited_id.has_value());
}

TEST(EditLineBreaks, LoneBreaksBecomeCarriageReturnLineFeed) {
    EXPECT_EQ(to_edit_line_breaks("a\nb"), "a\r\nb");
    EXPECT_EQ(to_edit_line_breaks("a\r\nb"), "a\r\nb");
    EXPECT_EQ(to_edit_line_breaks("a\rb\n\nc\r"), "a\r\nb\r\n\r\nc\r\n");
    EXPECT_EQ(to_edit_line_breaks("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
}

// --- the hidden control's place ---

TEST(EditPlacement, ReachesTheDesktopsEdgesFromTheOrigin) {
    EXPECT_EQ(edit_placement(Point{100.7, 50.2}, kDesktop), (EditPlacement{100, 50, 1820, 1030}));
    // On the right or bottom edge, or past it: still one pixel.
    EXPECT_EQ(edit_placement(Point{1920, 1080}, kDesktop), (EditPlacement{1920, 1080, 1, 1}));
    EXPECT_EQ(edit_placement(Point{5000, 10}, kDesktop), (EditPlacement{5000, 10, 1, 1070}));
}

TEST(EditPlacement, CoordinatesBeyondThirtyTwoBitsAreClampedNotWrapped) {
    const double huge = 1e12;
    const EditPlacement far = edit_placement(Point{huge, -huge}, kDesktop);
    EXPECT_EQ(far.x, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(far.y, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(far.width, 1);
    EXPECT_EQ(far.height, std::numeric_limits<std::int32_t>::max());  // 1080 - INT32_MIN does not fit
    const EditPlacement nan = edit_placement(Point{std::nan(""), std::numeric_limits<double>::infinity()}, kDesktop);
    EXPECT_EQ(nan.x, 0);
    EXPECT_EQ(nan.width, 1920);
    EXPECT_EQ(nan.y, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(nan.height, 1);
}

// --- caret positions from layout hits ---

TEST(CaretFromHit, LeadingAndTrailingHalvesOfACharacter) {
    const std::u16string_view text = u"ab\r\ncd";
    EXPECT_EQ(caret_from_hit(text, 1, false, 1), 1u);  // left half of 'b'
    EXPECT_EQ(caret_from_hit(text, 1, true, 1), 2u);   // right half of 'b'
    EXPECT_EQ(caret_from_hit(text, 5, true, 1), 6u);   // after the last character
    // A surrogate pair is one cluster of two code units.
    const std::u16string_view emoji = u"x\U0001F600y";
    EXPECT_EQ(caret_from_hit(emoji, 1, true, 2), 3u);
}

TEST(CaretFromHit, APointRightOfALinesEndStaysOnThatLine) {
    const std::u16string_view text = u"ab\r\ncd\nef";
    EXPECT_EQ(caret_from_hit(text, 2, true, 2), 2u);  // the "\r\n" cluster, trailing
    EXPECT_EQ(caret_from_hit(text, 2, true, 1), 2u);
    EXPECT_EQ(caret_from_hit(text, 6, true, 1), 6u);  // a lone "\n"
    // Never between the two halves of one break.
    EXPECT_EQ(caret_from_hit(text, 3, false, 1), 2u);
    EXPECT_EQ(caret_from_hit(text, 3, true, 1), 2u);
    EXPECT_EQ(caret_from_hit(text, 4, false, 1), 4u);  // start of the second line
}

TEST(CaretFromHit, PositionsPastTheEndClampToIt) {
    const std::u16string_view text = u"abc";
    EXPECT_EQ(caret_from_hit(text, 7, false, 0), 3u);
    EXPECT_EQ(caret_from_hit(text, 2, true, 9), 3u);
    EXPECT_EQ(caret_from_hit(std::u16string_view(), 0, true, 0), 0u);
}

// --- the field's area ---

TEST(FieldContains, TheBoxWithItsMarginInTheFieldsRotation) {
    const Rect box{{100, 100}, {300, 140}};
    EXPECT_TRUE(field_contains(box, 0.0, Point{100, 100}, 4));
    EXPECT_TRUE(field_contains(box, 0.0, Point{96, 144}, 4));
    EXPECT_FALSE(field_contains(box, 0.0, Point{95.9, 120}, 4));
    EXPECT_FALSE(field_contains(box, 0.0, Point{200, 144.1}, 4));
    // A quarter turn about (200, 120): the field stands from y = 20 to 220, x = 180 to 220.
    const double quarter = std::numbers::pi / 2;
    EXPECT_TRUE(field_contains(box, quarter, Point{200, 30}, 4));
    EXPECT_FALSE(field_contains(box, quarter, Point{280, 120}, 4));
    EXPECT_FALSE(field_contains(box, 0.0, Point{std::nan(""), 120}, 4));
}

// --- committing ---

TextCommit new_entry(std::string text, Point origin = {120, 140}) {
    TextCommit c;
    c.text = std::move(text);
    c.origin = origin;
    c.font_size = 24;
    c.width = 96.5;
    c.height = 64;
    c.colour = kBlue;
    return c;
}

TEST(CommitText, ANewEntryBecomesTheOnlySelectedTextObjectInOneUndoStep) {
    Editor e = editor_with({make_rect(1, Rect{{10, 10}, {50, 50}})});
    e.selection = {1};
    EXPECT_EQ(commit_text(e, new_entry("two\r\nlines")), CommitOutcome::Added);
    ASSERT_EQ(e.objects.size(), 2u);
    const Annotation& added = e.objects.back();
    const auto* text = added.as<shape::Text>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, "two\r\nlines");
    EXPECT_EQ(text->position, (Point{120, 140}));
    EXPECT_EQ(text->font_size, 24.0);
    EXPECT_EQ(text->layout_width, 96.5);
    EXPECT_EQ(text->layout_height, 64.0);
    EXPECT_EQ(added.colour, kBlue);
    EXPECT_EQ(e.selection, std::vector<std::uint64_t>{added.id});
    EXPECT_EQ(e.undo_stack.size(), 1u);
    e.undo();
    EXPECT_EQ(e.objects.size(), 1u);
}

TEST(CommitText, WhiteSpaceAndLineBreaksAloneAddNothing) {
    Editor e = editor_with({make_rect(1, Rect{{10, 10}, {50, 50}})});
    e.selection = {1};
    for (const char* blank : {"", "   ", " \r\n\t\r\n ", "\xC2\xA0\xE3\x80\x80"}) {
        EXPECT_EQ(commit_text(e, new_entry(blank)), CommitOutcome::Nothing) << '"' << blank << '"';
    }
    EXPECT_EQ(e.objects.size(), 1u);
    EXPECT_TRUE(e.undo_stack.empty());
    EXPECT_EQ(e.id_counter, 1u);
    EXPECT_EQ(e.selection, std::vector<std::uint64_t>{1});
}

TEST(CommitText, AnEditedObjectTakesTheNewWordsSizeExtentAndColourAsOneStep) {
    Annotation old = coloured_text(2, "old words", {300, 200}, 20, 80, 27, kGreen);
    old.angle = 1.25;
    Editor e = editor_with({make_rect(1, Rect{{10, 10}, {50, 50}}), old});
    TextCommit c = new_entry("new\r\nwords", {300, 200});
    c.edited_id = 2;
    c.font_size = 32;
    c.width = 70;
    c.height = 86;
    EXPECT_EQ(commit_text(e, c), CommitOutcome::Replaced);
    ASSERT_EQ(e.objects.size(), 2u);
    const Annotation* now = object_by_id(e, 2);
    ASSERT_NE(now, nullptr);
    const auto& text = *now->as<shape::Text>();
    EXPECT_EQ(text.text, "new\r\nwords");
    EXPECT_EQ(text.font_size, 32.0);
    EXPECT_EQ(text.layout_width, 70.0);
    EXPECT_EQ(text.layout_height, 86.0);
    EXPECT_EQ(text.position, (Point{300, 200}));
    EXPECT_EQ(now->colour, kBlue);
    EXPECT_EQ(now->angle, 1.25);  // the rotation is the object's, kept
    EXPECT_EQ(e.selection, std::vector<std::uint64_t>{2});
    ASSERT_EQ(e.undo_stack.size(), 1u);

    e.undo();
    EXPECT_EQ(*object_by_id(e, 2), old);
    e.redo();
    EXPECT_EQ(object_by_id(e, 2)->as<shape::Text>()->text, "new\r\nwords");
}

TEST(CommitText, UnusableValuesForAnEditedObjectChangeNothing) {
    const Annotation old = coloured_text(2, "keep me", {300, 200}, 20, 80, 27, kGreen);
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 6; ++k) {
        Editor e = editor_with({old});
        TextCommit c = new_entry("changed", {300, 200});
        c.edited_id = 2;
        switch (k) {
            case 0: c.font_size = 301; break;
            case 1: c.font_size = 7.5; break;
            case 2: c.font_size = nan; break;
            case 3: c.width = inf; break;
            case 4: c.height = nan; break;
            case 5: c.origin.x = -inf; break;
        }
        EXPECT_EQ(commit_text(e, c), CommitOutcome::Nothing) << "case " << k;
        EXPECT_EQ(e.objects, std::vector<Annotation>{old}) << "case " << k;
        EXPECT_TRUE(e.undo_stack.empty()) << "case " << k;
    }
}

TEST(CommitText, ClearingAnEditedTextDeletesItAsOneUndoableStep) {
    const Annotation old = coloured_text(2, "soon gone", {300, 200}, 20, 80, 27, kGreen);
    Editor e = editor_with({make_rect(1, Rect{{10, 10}, {50, 50}}), old});
    TextCommit c = new_entry(" \r\n ", {300, 200});
    c.edited_id = 2;
    EXPECT_EQ(commit_text(e, c), CommitOutcome::Removed);
    EXPECT_EQ(object_by_id(e, 2), nullptr);
    EXPECT_TRUE(e.selection.empty());
    ASSERT_EQ(e.undo_stack.size(), 1u);
    e.undo();
    ASSERT_NE(object_by_id(e, 2), nullptr);
    EXPECT_EQ(*object_by_id(e, 2), old);
}

TEST(CommitText, AnEditedObjectThatWentAwayKeepsTheWordsAsANewObject) {
    Editor e = editor_with({make_rect(1, Rect{{10, 10}, {50, 50}})});
    e.id_counter = 5;  // id 5 was the edited text, deleted meanwhile
    TextCommit c = new_entry("still here", {300, 200});
    c.edited_id = 5;
    EXPECT_EQ(commit_text(e, c), CommitOutcome::Added);
    ASSERT_EQ(e.objects.size(), 2u);
    EXPECT_EQ(e.objects.back().as<shape::Text>()->text, "still here");
    EXPECT_EQ(e.objects.back().id, 6u);
}

TEST(CommitText, EditingCancelsAGestureInProgress) {
    Editor e = editor_with({coloured_text(2, "words", {300, 200}, 20, 80, 27, kGreen)});
    e.tool = Tool::Rectangle;
    e.press(Point{500, 500}, false, false);
    e.drag(Point{600, 600});
    ASSERT_TRUE(e.gesture.has_value());
    ASSERT_EQ(e.objects.size(), 2u);  // the rectangle being drawn
    TextCommit c = new_entry("other words", {300, 200});
    c.edited_id = 2;
    EXPECT_EQ(commit_text(e, c), CommitOutcome::Replaced);
    EXPECT_FALSE(e.gesture.has_value());
    ASSERT_EQ(e.objects.size(), 1u);
    EXPECT_EQ(e.objects[0].as<shape::Text>()->text, "other words");
    EXPECT_EQ(e.undo_stack.size(), 1u);
}

}  // namespace
}  // namespace kadrovix
