#include "session/overlay.h"

#include <gtest/gtest.h>

#include "session_fixtures.h"
#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

using testing::editing_session;
using testing::editor_with;
using testing::make_rect;

Editor with_selected_box(Rect box) {
    Editor e = editor_with({make_rect(1, box)});
    e.selection = {1};
    return e;
}

TEST(RotationKnob, SitsAboveTheSelectionAndStaysOnTheDesktop) {
    const Desktop d = testing::kFullHd;
    EXPECT_EQ(rotation_knob(Editor{}, d), std::nullopt);
    EXPECT_EQ(rotation_knob(with_selected_box({{100, 100}, {200, 150}}), d), (Point{150, 72}));
    // Near the top edge the knob drops to 8 px; near the right edge it stops 8 px short.
    EXPECT_EQ(rotation_knob(with_selected_box({{100, 10}, {200, 50}}), d), (Point{150, 8}));
    EXPECT_EQ(rotation_knob(with_selected_box({{1900, 500}, {1940, 600}}), d), (Point{1912, 472}));
    EXPECT_EQ(rotation_knob(with_selected_box({{-40, 1200}, {0, 1300}}), d), (Point{8, 1072}));
}

TEST(SelectionFrame, LiesThreePixelsOutsideTheSelection) {
    SessionState s = editing_session(0, 0, 1000, 800);
    EXPECT_EQ(selection_frame(s, {}), std::nullopt);
    s.editor = with_selected_box({{100, 100}, {200, 150}});
    const std::optional<SelectionFrame> f = selection_frame(s, {});
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->frame, (Rect{{97, 97}, {203, 153}}));
    EXPECT_EQ(f->corners[1], (Point{203, 97}));
    EXPECT_EQ(f->corners[3], (Point{97, 153}));
    EXPECT_EQ(f->stem, (Point{150, 100}));
    EXPECT_EQ(f->knob, (Point{150, 72}));

    PartsView typing;
    typing.text_entry_open = true;
    EXPECT_EQ(selection_frame(s, typing), std::nullopt);
}

TEST(BrushPreview, HighlighterIsFiveTimesTheWidth) {
    SessionState s = editing_session(100, 100, 500, 400);
    s.editor.tool = Tool::Highlighter;
    s.editor.width = 4;
    s.width_indicator_visible = true;
    s.pointer = {300, 300};
    const std::optional<BrushPreview> p = brush_preview(s, {});
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->diameter, 20.0);
    ASSERT_TRUE(p->label.has_value());
    EXPECT_EQ(p->label->text, "20 px");
    // Centre lifted by d/2 + 38; label 10 px right of the circle and 10 px below its centre.
    EXPECT_EQ(p->centre, (Point{300, 252}));
    EXPECT_EQ(p->label->box, (Rect{{320, 262}, {392, 286}}));
}

TEST(BrushPreview, IndicatorAndLabelStayOnTheDesktop) {
    SessionState s = editing_session(0, 0, 1920, 1080);
    s.width_indicator_visible = true;
    s.editor.width = 20;
    s.pointer = {1910, 1075};
    std::optional<BrushPreview> p = brush_preview(s, {});
    ASSERT_TRUE(p && p->label);
    EXPECT_EQ(p->centre, (Point{1910, 1027}));
    EXPECT_EQ(p->label->box.min, (Point{1848, 1037}));

    s.pointer = {100, 10};  // the circle cannot rise above d/2 + 4
    p = brush_preview(s, {});
    EXPECT_EQ(p->centre, (Point{100, 14}));

    // A desktop smaller than the label keeps it at 0, 0.
    SessionState small = editing_session(0, 0, 60, 20, Desktop{0, 0, 60, 20});
    small.width_indicator_visible = true;
    small.pointer = {30, 10};
    p = brush_preview(small, {});
    ASSERT_TRUE(p && p->label);
    EXPECT_EQ(p->label->box.min, (Point{0, 0}));
}

TEST(BrushPreview, WithoutTheIndicatorOnlyPenAndHighlighterInsideTheRegion) {
    SessionState s = editing_session(100, 100, 500, 400);
    s.pointer = {300, 300};
    EXPECT_EQ(brush_preview(s, {}), std::nullopt);  // Rectangle tool

    s.editor.tool = Tool::Pen;
    std::optional<BrushPreview> p = brush_preview(s, {});
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->centre, (Point{300, 300}));
    EXPECT_EQ(p->diameter, 3.0);
    EXPECT_FALSE(p->label.has_value());

    s.pointer = {600, 300};
    EXPECT_EQ(brush_preview(s, {}), std::nullopt);
}

TEST(BrushPreview, HiddenWhileSomethingElseOwnsThePointer) {
    SessionState s = editing_session(100, 100, 500, 400);
    s.editor.tool = Tool::Pen;
    s.pointer = {300, 300};
    PartsView toolbar;
    toolbar.over_toolbar = true;
    EXPECT_EQ(brush_preview(s, toolbar), std::nullopt);
    s.width_indicator_visible = true;
    EXPECT_NE(brush_preview(s, toolbar), std::nullopt);  // the indicator shows over the toolbar too

    PartsView picker;
    picker.picker_open = true;
    EXPECT_EQ(brush_preview(s, picker), std::nullopt);
    PartsView typing;
    typing.text_entry_open = true;
    EXPECT_EQ(brush_preview(s, typing), std::nullopt);
    s.eyedropper_on = true;
    EXPECT_EQ(brush_preview(s, {}), std::nullopt);
    s.eyedropper_on = false;
    s.region_selection = true;
    EXPECT_EQ(brush_preview(s, {}), std::nullopt);
}

TEST(BrushPreview, LabelTextIsWholeWhenTheWidthIs) {
    EXPECT_EQ(width_label_text(4), "4 px");
    EXPECT_EQ(width_label_text(200), "200 px");
    EXPECT_EQ(width_label_text(2.5), "2.5 px");
}

}  // namespace
}  // namespace kadrovix
