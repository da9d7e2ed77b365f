// A press or command while the dimension editor is open: on the label it
// places the caret, on Close it cancels, anywhere else it applies first.
#include "session/dimensions/dimension_routing.h"

#include <gtest/gtest.h>

#include "app/session/session_fixtures.h"
#include "session/dimensions/dimension_label.h"

namespace kadrovix::dimensions {
namespace {

TEST(DimensionRouting, APressPlacesTheCaretOnTheLabelCancelsOnCloseAndAppliesElsewhere) {
    SessionState s = kadrovix::testing::editing_session(100, 300, 500, 600);
    PartsView open;
    open.dimension_editor_open = true;
    const auto step_at = [&](Point p, const PartsView& parts) { return press_step(s, on_press(s, parts, p), parts); };
    const Rect label = label_box(s).value();
    const Point on_label{(label.min.x + label.max.x) / 2, (label.min.y + label.max.y) / 2};
    EXPECT_EQ(step_at(on_label, open), EditorStep::PlaceCaret);
    EXPECT_EQ(step_at({label.max.x, on_label.y}, open), EditorStep::Apply);  // just past its right edge
    EXPECT_EQ(step_at({300, 450}, PartsView{}), EditorStep::PassOn);
    PartsView on_button = open;
    on_button.toolbar_button = command_value(CommandKind::Close);
    EXPECT_EQ(step_at({300, 450}, on_button), EditorStep::Cancel);
    on_button.toolbar_button = command_value(CommandKind::CopyImage);
    EXPECT_EQ(step_at({300, 450}, on_button), EditorStep::Apply);
    EXPECT_EQ(command_step(command_value(CommandKind::Close)), EditorStep::Cancel);
    EXPECT_EQ(command_step(command_value(CommandKind::Save)), EditorStep::Apply);
}

}  // namespace
}  // namespace kadrovix::dimensions
