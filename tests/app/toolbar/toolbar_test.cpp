#include "toolbar/toolbar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "session/commands.h"

using namespace kadrovix;

namespace {

ToolbarInput editing(std::int32_t w, std::int32_t h, double l, double t, double r, double b) {
    ToolbarInput in;
    in.desktop_width = w;
    in.desktop_height = h;
    in.region_exists = true;
    in.region_left = l;
    in.region_top = t;
    in.region_right = r;
    in.region_bottom = b;
    in.toolbar_visible = true;
    in.region_selection = false;
    in.tool = Tool::Rectangle;
    return in;
}

std::vector<ToolbarButton> panel_buttons(const ToolbarLayout& layout, ToolbarPanel panel) {
    std::vector<ToolbarButton> out;
    for (const ToolbarButton& b : layout.buttons()) {
        if (b.panel == panel) out.push_back(b);
    }
    return out;
}

const ToolbarButton& by_kind(const ToolbarLayout& layout, CommandKind kind) {
    for (const ToolbarButton& b : layout.buttons()) {
        if (command_kind(b.command) == kind) return b;
    }
    ADD_FAILURE() << "no button of kind " << static_cast<int>(kind);
    return layout.slots[0];
}

bool overlapping(const ToolbarRect& a, const ToolbarRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

Point centre(const ToolbarRect& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace

TEST(ToolbarLayout, FullHdGivesOneActionRowAndOneToolColumn) {
    const ToolbarLayout layout = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 800));
    ASSERT_EQ(layout.buttons().size(), 23u);

    // Actions right-aligned below the region: 488 x 40.
    EXPECT_EQ(layout.actions_panel, (ToolbarRect{912, 808, 1400, 848}));
    // Tools right of the region, bottom-aligned: 40 x 264.
    EXPECT_EQ(layout.tools_panel, (ToolbarRect{1408, 536, 1448, 800}));

    const std::vector<ToolbarButton> tools = panel_buttons(layout, ToolbarPanel::Tools);
    const std::vector<ToolbarButton> actions = panel_buttons(layout, ToolbarPanel::Actions);
    ASSERT_EQ(tools.size(), 8u);
    ASSERT_EQ(actions.size(), 15u);
    for (std::size_t i = 0; i < tools.size(); ++i) {
        const double top = 536 + 5 + 32.0 * static_cast<double>(i);
        EXPECT_EQ(tools[i].rect, (ToolbarRect{1413, top, 1443, top + 30})) << i;
        EXPECT_EQ(command_kind(tools[i].command), CommandKind::SelectTool);
        EXPECT_EQ(command_tool(tools[i].command), static_cast<Tool>(i)) << "tools in table order";
    }
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const double left = 912 + 5 + 32.0 * static_cast<double>(i);
        EXPECT_EQ(actions[i].rect, (ToolbarRect{left, 813, left + 30, 843})) << i;
    }
    const std::vector<CommandKind> kinds{CommandKind::LiveCapture, CommandKind::SetColour,    CommandKind::SetColour,
                                         CommandKind::SetColour,   CommandKind::SetColour,    CommandKind::SetColour,
                                         CommandKind::SetColour,   CommandKind::CustomColour, CommandKind::Eyedropper,
                                         CommandKind::Undo,        CommandKind::Redo,         CommandKind::Search,
                                         CommandKind::CopyImage,   CommandKind::Save,         CommandKind::Close};
    for (std::size_t i = 0; i < actions.size(); ++i) EXPECT_EQ(command_kind(actions[i].command), kinds[i]) << i;
    // The six presets in key order: red first, black last.
    EXPECT_EQ(actions[1].command, 1u | (237u << 8) | (79u << 16) | (92u << 24));
    EXPECT_EQ(actions[6].command, 1u | (28u << 8) | (31u << 16) | (40u << 24));

    EXPECT_EQ(tools[0].tooltip, "Select \u00B7 V");
    EXPECT_EQ(tools[7].tooltip, "Text \u00B7 T");
    EXPECT_EQ(actions[1].tooltip, "Red \u00B7 1");
    EXPECT_EQ(actions[7].tooltip, "Custom color \u00B7 C");
    EXPECT_EQ(actions[12].tooltip, "Copy image \u00B7 Ctrl+Shift+C");
    EXPECT_EQ(actions[14].tooltip, "Close \u00B7 Esc");

    // The panel backgrounds are the buttons' union grown by 5: exactly the panels.
    EXPECT_EQ(panel_background(layout, ToolbarPanel::Actions), layout.actions_panel);
    EXPECT_EQ(panel_background(layout, ToolbarPanel::Tools), layout.tools_panel);
}

TEST(ToolbarLayout, NarrowDesktopWrapsActionsIntoRowsAndToolsIntoColumns) {
    // 400 wide: floor(364 / 32) = 11 columns, so 2 rows (360 x 72).
    const ToolbarLayout layout = layout_toolbar(editing(400, 700, 20, 20, 380, 300));
    ASSERT_EQ(layout.buttons().size(), 23u);
    EXPECT_EQ(layout.actions_panel.width(), 360);
    EXPECT_EQ(layout.actions_panel.height(), 72);
    const std::vector<ToolbarButton> actions = panel_buttons(layout, ToolbarPanel::Actions);
    const double x0 = layout.actions_panel.left + 5;
    const double y0 = layout.actions_panel.top + 5;
    EXPECT_EQ(actions[10].rect.left, x0 + 320);
    EXPECT_EQ(actions[10].rect.top, y0);
    EXPECT_EQ(actions[11].rect.left, x0) << "row by row";
    EXPECT_EQ(actions[11].rect.top, y0 + 32);
    EXPECT_EQ(actions[14].rect.left, x0 + 96);
    // The background still spans the full first row.
    EXPECT_EQ(panel_background(layout, ToolbarPanel::Actions), layout.actions_panel);

    // 232 high leaves floor((232 - 72 - 40) / 32) = 3 tool rows, so 3 columns.
    const ToolbarLayout shallow = layout_toolbar(editing(400, 232, 100, 20, 200, 100));
    ASSERT_FALSE(shallow.empty());
    EXPECT_EQ(shallow.tools_panel.height(), 3 * 32 + 8);
    EXPECT_EQ(shallow.tools_panel.width(), 3 * 32 + 8);
    const std::vector<ToolbarButton> tools = panel_buttons(shallow, ToolbarPanel::Tools);
    const double tx = shallow.tools_panel.left + 5;
    const double ty = shallow.tools_panel.top + 5;
    EXPECT_EQ(tools[2].rect.left, tx);
    EXPECT_EQ(tools[2].rect.top, ty + 64);
    EXPECT_EQ(tools[3].rect.left, tx + 32) << "column by column";
    EXPECT_EQ(tools[3].rect.top, ty);
    EXPECT_EQ(tools[7].rect.left, tx + 64);
    EXPECT_EQ(tools[7].rect.top, ty + 32);
    // The last column is partial; the background still covers the full first column.
    EXPECT_EQ(panel_background(shallow, ToolbarPanel::Tools), shallow.tools_panel);

    // Degenerate desktops still give one column or row, not zero.
    const ToolbarLayout tiny = layout_toolbar(editing(20, 20, 0, 0, 20, 20));
    ASSERT_FALSE(tiny.empty());
    EXPECT_EQ(tiny.actions_panel.width(), 40);
    EXPECT_EQ(tiny.actions_panel.height(), 15 * 32 + 8);
    EXPECT_EQ(tiny.tools_panel.height(), 40);
    EXPECT_EQ(tiny.tools_panel.width(), 8 * 32 + 8);
}

TEST(ToolbarLayout, ActionsGoBelowAboveOrInsideTheRegion) {
    // Touching the bottom edge: above the region.
    const ToolbarLayout above = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 1080));
    EXPECT_EQ(above.actions_panel, (ToolbarRect{912, 252, 1400, 292}));

    // Just fits below: its bottom may reach H - 4 exactly.
    const ToolbarLayout fits = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 1028));
    EXPECT_EQ(fits.actions_panel.top, 1036);
    const ToolbarLayout no_fit = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 1029));
    EXPECT_EQ(no_fit.actions_panel.top, 252);

    // Covering the desktop: inside at the bottom, clamped 4 pixels from the right.
    const ToolbarLayout full = layout_toolbar(editing(1920, 1080, 0, 0, 1920, 1080));
    EXPECT_EQ(full.actions_panel, (ToolbarRect{1428, 1032, 1916, 1072}));

    // Right-aligned with the region but kept 4 pixels from the left edge.
    const ToolbarLayout left = layout_toolbar(editing(1920, 1080, 10, 100, 200, 300));
    EXPECT_EQ(left.actions_panel.left, 4);
    EXPECT_EQ(left.actions_panel.top, 308);
}

TEST(ToolbarLayout, ToolsGoRightLeftOrInsideTheRegion) {
    // Touching the right edge: left of the region.
    const ToolbarLayout left = layout_toolbar(editing(1920, 1080, 500, 300, 1920, 800));
    EXPECT_EQ(left.tools_panel, (ToolbarRect{452, 536, 492, 800}));
    EXPECT_EQ(left.actions_panel, (ToolbarRect{1428, 808, 1916, 848}));

    // Spanning the width: inside at the right.
    const ToolbarLayout inside = layout_toolbar(editing(1920, 1080, 0, 300, 1920, 800));
    EXPECT_EQ(inside.tools_panel, (ToolbarRect{1872, 536, 1912, 800}));

    // A short region near the top: bottom-aligned would leave the desktop, so clamped to 4.
    const ToolbarLayout clamped = layout_toolbar(editing(1920, 1080, 100, 10, 600, 100));
    EXPECT_EQ(clamped.tools_panel, (ToolbarRect{608, 4, 648, 268}));
}

TEST(ToolbarLayout, OverlapMovesToolsAboveOrBelowTheActions) {
    // Covering the desktop: both panels land inside at the bottom right; the
    // tools move up to 8 pixels above the actions.
    const ToolbarLayout full = layout_toolbar(editing(1920, 1080, 0, 0, 1920, 1080));
    EXPECT_EQ(full.tools_panel, (ToolbarRect{1872, 760, 1912, 1024}));
    EXPECT_FALSE(overlapping(full.tools_panel, full.actions_panel));

    // A full-width strip at the top: no room above the actions, so below them.
    const ToolbarLayout strip = layout_toolbar(editing(1920, 1080, 0, 0, 1920, 200));
    EXPECT_EQ(strip.actions_panel, (ToolbarRect{1428, 208, 1916, 248}));
    EXPECT_EQ(strip.tools_panel, (ToolbarRect{1872, 256, 1912, 520}));
}

TEST(ToolbarLayout, OverlapLastResortStacksBothPanelsAtTheBottomRight) {
    // 400 x 400, a region across the top half: the tools fit neither above nor
    // below the two-row actions panel, so they go to the right edge, and as
    // that still shares the actions' columns, the actions drop to the bottom
    // with the tools just above them.
    const ToolbarLayout layout = layout_toolbar(editing(400, 400, 0, 0, 400, 200));
    EXPECT_EQ(layout.actions_panel, (ToolbarRect{36, 324, 396, 396}));
    EXPECT_EQ(layout.tools_panel, (ToolbarRect{356, 52, 396, 316}));
    EXPECT_FALSE(overlapping(layout.tools_panel, layout.actions_panel));
}

TEST(ToolbarLayout, PanelsNeverOverlapAndStayOnUsualDesktops) {
    // A sweep of regions on common desktop sizes: the panels never cover each
    // other and never leave the desktop.
    const std::vector<std::pair<int, int>> desktops{{1920, 1080}, {1366, 768}, {3840, 1080}, {1024, 768}, {800, 600}};
    for (const auto& [w, h] : desktops) {
        for (int l = 0; l < w; l += w / 9) {
            for (int t = 0; t < h; t += h / 7) {
                for (int r = l + 2; r <= w; r += w / 5 + 3) {
                    for (int b = t + 2; b <= h; b += h / 4 + 3) {
                        const ToolbarLayout layout = layout_toolbar(editing(w, h, l, t, r, b));
                        ASSERT_FALSE(layout.empty());
                        EXPECT_FALSE(overlapping(layout.tools_panel, layout.actions_panel))
                            << w << "x" << h << " region " << l << "," << t << "," << r << "," << b;
                        for (const ToolbarRect& p : {layout.tools_panel, layout.actions_panel}) {
                            EXPECT_GE(p.left, 4);
                            EXPECT_GE(p.top, 4);
                            EXPECT_LE(p.right, w - 4);
                            EXPECT_LE(p.bottom, h - 4);
                        }
                    }
                }
            }
        }
    }
}

TEST(ToolbarLayout, NoButtonsWhenHiddenSelectingOrWithoutRegion) {
    ToolbarInput in = editing(1920, 1080, 500, 300, 1400, 800);
    ASSERT_FALSE(layout_toolbar(in).empty());

    ToolbarInput hidden = in;
    hidden.toolbar_visible = false;
    ToolbarInput selecting = in;
    selecting.region_selection = true;
    ToolbarInput no_region = in;
    no_region.region_exists = false;
    for (const ToolbarInput& off : {hidden, selecting, no_region}) {
        const ToolbarLayout layout = layout_toolbar(off);
        EXPECT_TRUE(layout.empty());
        EXPECT_EQ(hit_test_button(layout, centre(layout_toolbar(in).slots[0].rect)), nullptr);
        EXPECT_FALSE(over_toolbar(layout, centre(layout_toolbar(in).slots[0].rect)));
        EXPECT_FALSE(panel_background(layout, ToolbarPanel::Tools).has_value());
    }
}

TEST(ToolbarButtons, UndoAndRedoFollowTheHistories) {
    ToolbarInput in = editing(1920, 1080, 500, 300, 1400, 800);
    in.can_undo = false;
    in.can_redo = false;
    const ToolbarLayout empty = layout_toolbar(in);
    EXPECT_FALSE(by_kind(empty, CommandKind::Undo).enabled);
    EXPECT_FALSE(by_kind(empty, CommandKind::Redo).enabled);
    EXPECT_EQ(by_kind(empty, CommandKind::Undo).tooltip, "Nothing to undo \u00B7 Ctrl+Z");
    EXPECT_EQ(by_kind(empty, CommandKind::Redo).tooltip, "Nothing to redo \u00B7 Ctrl+Y / Ctrl+Shift+Z");

    in.can_undo = true;
    const ToolbarLayout undo_only = layout_toolbar(in);
    EXPECT_TRUE(by_kind(undo_only, CommandKind::Undo).enabled);
    EXPECT_EQ(by_kind(undo_only, CommandKind::Undo).tooltip, "Undo \u00B7 Ctrl+Z");
    EXPECT_FALSE(by_kind(undo_only, CommandKind::Redo).enabled);

    in.can_undo = false;
    in.can_redo = true;
    const ToolbarLayout redo_only = layout_toolbar(in);
    EXPECT_FALSE(by_kind(redo_only, CommandKind::Undo).enabled);
    EXPECT_TRUE(by_kind(redo_only, CommandKind::Redo).enabled);
    EXPECT_EQ(by_kind(redo_only, CommandKind::Redo).tooltip, "Redo \u00B7 Ctrl+Y / Ctrl+Shift+Z");

    // Every other button is always enabled.
    for (const ToolbarButton& b : empty.buttons()) {
        const std::optional<CommandKind> kind = command_kind(b.command);
        if (kind != CommandKind::Undo && kind != CommandKind::Redo) {
            EXPECT_TRUE(b.enabled) << b.tooltip;
        }
    }
}

TEST(ToolbarButtons, LiveSearchToolAndEyedropperStates) {
    ToolbarInput in = editing(1920, 1080, 500, 300, 1400, 800);
    const ToolbarLayout idle = layout_toolbar(in);
    EXPECT_FALSE(by_kind(idle, CommandKind::LiveCapture).active);
    EXPECT_EQ(by_kind(idle, CommandKind::LiveCapture).tooltip, "Capture frozen \u00B7 F2 for live capture");
    EXPECT_FALSE(by_kind(idle, CommandKind::Search).active);
    EXPECT_EQ(by_kind(idle, CommandKind::Search).tooltip, "Search with Google Lens \u00B7 Ctrl+G");
    EXPECT_FALSE(by_kind(idle, CommandKind::Eyedropper).current);

    in.live = true;
    in.search_running = true;
    in.eyedropper = true;
    in.tool = Tool::Highlighter;
    const ToolbarLayout busy = layout_toolbar(in);
    EXPECT_TRUE(by_kind(busy, CommandKind::LiveCapture).active);
    EXPECT_EQ(by_kind(busy, CommandKind::LiveCapture).tooltip, "Live capture on \u00B7 F2 to freeze");
    EXPECT_TRUE(by_kind(busy, CommandKind::Search).active);
    EXPECT_EQ(by_kind(busy, CommandKind::Search).tooltip, "Google search in progress \u00B7 Ctrl+G");
    EXPECT_TRUE(by_kind(busy, CommandKind::Eyedropper).current);

    // Exactly one tool is current, the session's.
    int current_tools = 0;
    for (const ToolbarButton& b : busy.buttons()) {
        if (b.panel == ToolbarPanel::Tools && b.current) {
            ++current_tools;
            EXPECT_EQ(command_tool(b.command), Tool::Highlighter);
        }
    }
    EXPECT_EQ(current_tools, 1);
    EXPECT_EQ(by_kind(busy, CommandKind::CopyImage).active, false);
}

TEST(ToolbarButtons, FillAndIconColoursFollowTheState) {
    ToolbarInput in = editing(1920, 1080, 500, 300, 1400, 800);
    in.tool = Tool::Select;
    in.live = true;
    const ToolbarLayout layout = layout_toolbar(in);
    const ToolbarButton& select = layout.slots[0];
    const ToolbarButton& rectangle = layout.slots[1];
    const ToolbarButton& live = by_kind(layout, CommandKind::LiveCapture);
    const ToolbarButton& undo = by_kind(layout, CommandKind::Undo);
    const ToolbarButton& save = by_kind(layout, CommandKind::Save);
    const Point away{10, 10};

    EXPECT_EQ(button_fill(select, away), (Rgb{55, 70, 80}));
    EXPECT_EQ(icon_colour(select), (Rgb{153, 218, 255}));
    EXPECT_EQ(button_fill(live, away), (Rgb{55, 70, 80}));
    EXPECT_EQ(icon_colour(live), (Rgb{153, 218, 255}));

    EXPECT_EQ(button_fill(rectangle, away), (Rgb{32, 32, 32}));
    EXPECT_EQ(button_fill(rectangle, centre(rectangle.rect)), (Rgb{55, 55, 55}));
    EXPECT_EQ(button_fill(rectangle, Point{rectangle.rect.right, rectangle.rect.bottom}), (Rgb{55, 55, 55}));
    EXPECT_EQ(icon_colour(rectangle), (Rgb{235, 235, 235}));
    // Highlight wins over hover.
    EXPECT_EQ(button_fill(select, centre(select.rect)), (Rgb{55, 70, 80}));

    // Disabled: no hover fill, dim icon.
    EXPECT_EQ(button_fill(undo, centre(undo.rect)), (Rgb{32, 32, 32}));
    EXPECT_EQ(icon_colour(undo), (Rgb{100, 100, 100}));
    EXPECT_EQ(button_fill(save, centre(save.rect)), (Rgb{55, 55, 55}));

    in.eyedropper = true;
    const ToolbarLayout picking = layout_toolbar(in);
    EXPECT_EQ(button_fill(by_kind(picking, CommandKind::Eyedropper), away), (Rgb{55, 70, 80}));
}

TEST(ToolbarButtons, GlyphsForEveryCommand) {
    const ToolbarLayout layout = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 800));
    std::vector<ToolbarIcon> icons;
    for (const ToolbarButton& b : layout.buttons()) icons.push_back(toolbar_glyph(b.command).icon);
    const std::vector<ToolbarIcon> expected{
        ToolbarIcon::Select,     ToolbarIcon::Rectangle, ToolbarIcon::Ellipse,     ToolbarIcon::Line,
        ToolbarIcon::Arrow,      ToolbarIcon::Pen,       ToolbarIcon::Highlighter, ToolbarIcon::Text,
        ToolbarIcon::Live,       ToolbarIcon::Swatch,    ToolbarIcon::Swatch,      ToolbarIcon::Swatch,
        ToolbarIcon::Swatch,     ToolbarIcon::Swatch,    ToolbarIcon::Swatch,      ToolbarIcon::CustomColour,
        ToolbarIcon::Eyedropper, ToolbarIcon::Undo,      ToolbarIcon::Redo,        ToolbarIcon::Search,
        ToolbarIcon::Copy,       ToolbarIcon::Save,      ToolbarIcon::Close};
    EXPECT_EQ(icons, expected);
    EXPECT_EQ(toolbar_glyph(layout.slots[12].command).swatch, (Rgb{80, 153, 244}));
    EXPECT_EQ(toolbar_glyph(99u).icon, ToolbarIcon::None);
    EXPECT_EQ(toolbar_glyph(0u | (9u << 8)).icon, ToolbarIcon::None) << "no such tool";
}

TEST(ToolbarHitTest, EnabledButtonsOnlyButTheBackgroundStillCounts) {
    const ToolbarLayout layout = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 800));
    const ToolbarButton& undo = by_kind(layout, CommandKind::Undo);
    const ToolbarButton& redo = by_kind(layout, CommandKind::Redo);
    ASSERT_FALSE(undo.enabled);

    EXPECT_EQ(hit_test_button(layout, centre(undo.rect)), nullptr);
    EXPECT_TRUE(over_toolbar(layout, centre(undo.rect)));
    EXPECT_EQ(button_at(layout, centre(undo.rect)), &undo) << "hover still sees it";
    EXPECT_EQ(hit_test_button(layout, centre(redo.rect)), nullptr);

    // Edges included.
    const ToolbarButton& save = by_kind(layout, CommandKind::Save);
    EXPECT_EQ(hit_test_button(layout, Point{save.rect.left, save.rect.top}), &save);
    EXPECT_EQ(hit_test_button(layout, Point{save.rect.right, save.rect.bottom}), &save);
    EXPECT_EQ(hit_test_button(layout, Point{save.rect.right + 0.5, save.rect.bottom}), nullptr);

    // The 2-pixel gap between buttons and the 5-pixel margin are background.
    const Point gap{save.rect.right + 1, centre(save.rect).y};
    EXPECT_EQ(hit_test_button(layout, gap), nullptr);
    EXPECT_TRUE(over_toolbar(layout, gap));
    EXPECT_TRUE(over_toolbar(layout, Point{layout.actions_panel.left, layout.actions_panel.top}));
    EXPECT_FALSE(over_toolbar(layout, Point{layout.actions_panel.left - 0.5, layout.actions_panel.top}));
    EXPECT_TRUE(over_toolbar(layout, Point{layout.tools_panel.right, layout.tools_panel.bottom}));
    EXPECT_FALSE(over_toolbar(layout, Point{700, 500}));

    ToolbarInput with_history = editing(1920, 1080, 500, 300, 1400, 800);
    with_history.can_undo = true;
    const ToolbarLayout enabled = layout_toolbar(with_history);
    EXPECT_EQ(hit_test_button(enabled, centre(undo.rect)), &by_kind(enabled, CommandKind::Undo));
}

TEST(ToolbarHover, QuickMovesShowNoTooltipUntilThePointerRests) {
    const ToolbarLayout layout = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 800));
    ToolbarHoverState state;
    // Across five actions, 100 ms apart.
    for (int i = 0; i < 5; ++i) {
        const auto now = static_cast<std::uint64_t>(1000 + 100 * i);
        state.update_hover(layout, now, centre(layout.slots[8 + static_cast<std::size_t>(i)].rect));
        EXPECT_FALSE(state.tooltip_visible(now)) << i;
        EXPECT_FALSE(state.fade.has_value()) << "nothing was showing, so nothing fades";
    }
    ASSERT_TRUE(state.hover.has_value());
    EXPECT_EQ(state.hover->command, layout.slots[12].command);
    EXPECT_EQ(state.hover->since_ms, 1400u);

    // Small moves within the same button keep the hover's start.
    state.update_hover(layout, 1500, Point{layout.slots[12].rect.left + 1, layout.slots[12].rect.top + 1});
    EXPECT_EQ(state.hover->since_ms, 1400u);
    EXPECT_FALSE(state.tooltip_visible(1649));
    EXPECT_TRUE(state.tooltip_visible(1650));

    // Off the toolbar: the shown tooltip starts fading from full opacity.
    state.update_hover(layout, 1700, Point{700, 500});
    EXPECT_FALSE(state.hover.has_value());
    ASSERT_TRUE(state.fade.has_value());
    EXPECT_EQ(state.fade->command, layout.slots[12].command);
    EXPECT_EQ(state.fade->start_opacity, 1.0);
    EXPECT_EQ(state.fade->since_ms, 1700u);
    EXPECT_DOUBLE_EQ(state.fade_opacity(1730), 0.75);
    EXPECT_DOUBLE_EQ(state.fade_opacity(1820), 0.0);
    EXPECT_DOUBLE_EQ(state.fade_opacity(5000), 0.0);

    // A hover of exactly 249 ms had not shown its tooltip: it does not fade.
    ToolbarHoverState short_hover;
    short_hover.update_hover(layout, 0, centre(layout.slots[0].rect));
    short_hover.update_hover(layout, 249, centre(layout.slots[1].rect));
    EXPECT_FALSE(short_hover.fade.has_value());
    short_hover.update_hover(layout, 499, centre(layout.slots[2].rect));
    EXPECT_TRUE(short_hover.fade.has_value());

    // Disabled buttons are hovered too, so their tooltips appear.
    ToolbarHoverState disabled;
    const ToolbarButton& undo = by_kind(layout, CommandKind::Undo);
    disabled.update_hover(layout, 0, centre(undo.rect));
    EXPECT_TRUE(disabled.tooltip_visible(250));
    EXPECT_EQ(tooltip_text(layout, disabled.hover->command, disabled.hover->tooltip), "Nothing to undo \u00B7 Ctrl+Z");
}

TEST(ToolbarHover, MovedButtonIsANewHover) {
    ToolbarInput in = editing(1920, 1080, 500, 300, 1400, 800);
    const ToolbarLayout before = layout_toolbar(in);
    ToolbarHoverState state;
    const Point p = centre(before.slots[0].rect);
    state.update_hover(before, 0, p);
    // The region grows by a pixel: the same command, but the button moved under the pointer.
    in.region_bottom = 801;
    const ToolbarLayout after = layout_toolbar(in);
    state.update_hover(after, 300, p);
    ASSERT_TRUE(state.hover.has_value());
    EXPECT_EQ(state.hover->since_ms, 300u);
    EXPECT_EQ(state.hover->rect, after.slots[0].rect);
    ASSERT_TRUE(state.fade.has_value());
    EXPECT_EQ(state.fade->rect, before.slots[0].rect);
}

TEST(ToolbarHover, FadeRestartsFromItsCurrentOpacity) {
    const ToolbarLayout layout = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 800));
    ToolbarHoverState state;
    state.update_hover(layout, 0, centre(layout.slots[0].rect));
    state.update_hover(layout, 300, centre(layout.slots[1].rect));  // A fades from 1 at 300
    ASSERT_TRUE(state.fade.has_value());
    EXPECT_EQ(state.fade->command, layout.slots[0].command);

    // B was hovered only 60 ms: A's fade restarts at 1 x (1 - 60/120) = 0.5.
    state.update_hover(layout, 360, centre(layout.slots[2].rect));
    ASSERT_TRUE(state.fade.has_value());
    EXPECT_EQ(state.fade->command, layout.slots[0].command);
    EXPECT_DOUBLE_EQ(state.fade->start_opacity, 0.5);
    EXPECT_EQ(state.fade->since_ms, 360u);
    EXPECT_DOUBLE_EQ(state.fade_opacity(390), 0.375);

    // Again after 90 ms: 0.5 x (1 - 0.75) = 0.125.
    state.clear_hover(450);
    ASSERT_TRUE(state.fade.has_value());
    EXPECT_DOUBLE_EQ(state.fade->start_opacity, 0.125);
    EXPECT_FALSE(state.hover.has_value());

    // Run out (120 ms later): the next change drops it.
    state.update_hover(layout, 600, centre(layout.slots[3].rect));
    EXPECT_FALSE(state.fade.has_value());

    // A press on a button whose tooltip shows fades it from full opacity.
    state.clear_hover(900);
    ASSERT_TRUE(state.fade.has_value());
    EXPECT_EQ(state.fade->command, layout.slots[3].command);
    EXPECT_EQ(state.fade->start_opacity, 1.0);
    // Clearing again changes nothing.
    const ToolbarHoverState copy = state;
    state.clear_hover(950);
    EXPECT_EQ(state.fade, copy.fade);
}

TEST(ToolbarHover, RefreshDelays) {
    const ToolbarLayout layout = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 800));
    ToolbarHoverState state;
    EXPECT_EQ(state.next_refresh_delay(0), std::nullopt);

    state.update_hover(layout, 1000, centre(layout.slots[0].rect));
    EXPECT_EQ(state.next_refresh_delay(1000), 250u);
    EXPECT_EQ(state.next_refresh_delay(1100), 150u);
    EXPECT_EQ(state.next_refresh_delay(1249), 1u);
    EXPECT_EQ(state.next_refresh_delay(1250), std::nullopt) << "tooltip shown, nothing to animate";
    EXPECT_EQ(state.next_refresh_delay(999), 250u) << "a clock before the start counts as no time";

    // A fade younger than 120 ms wants frames, whatever the hover.
    state.update_hover(layout, 1300, centre(layout.slots[1].rect));
    EXPECT_EQ(state.next_refresh_delay(1300), 16u);
    EXPECT_EQ(state.next_refresh_delay(1419), 16u);
    // Then the new hover's remaining time (250 - 120).
    EXPECT_EQ(state.next_refresh_delay(1420), 130u);
    EXPECT_EQ(state.next_refresh_delay(1550), std::nullopt);

    state.clear_hover(1600);
    EXPECT_EQ(state.next_refresh_delay(1600), 16u);
    EXPECT_EQ(state.next_refresh_delay(1720), std::nullopt);
}

// A full-desktop paint can outlast the time left to a tooltip's 250 ms or a
// fade's 120 ms; the frame it leaves on screen must not stay stale.
TEST(ToolbarHover, SlowPaintsGetACatchUpFrame) {
    const ToolbarLayout layout = layout_toolbar(editing(1920, 1080, 500, 300, 1400, 800));
    ToolbarHoverState state;
    state.note_painted(900);
    state.update_hover(layout, 1000, centre(layout.slots[0].rect));
    EXPECT_EQ(state.next_refresh_delay(1000), 250u);
    // The move's repaint starts at once and takes 300 ms: it drew no tooltip.
    state.note_painted(1000);
    EXPECT_FALSE(state.tooltip_visible(1000));
    EXPECT_EQ(state.next_refresh_delay(1300), 1u) << "the tooltip fell due while the frame was drawn";
    EXPECT_EQ(state.next_refresh_delay(9000), 1u) << "due until a frame shows it";
    state.note_painted(1301);
    EXPECT_TRUE(state.tooltip_visible(1301));
    EXPECT_EQ(state.next_refresh_delay(1600), std::nullopt);

    // Off the toolbar: the fade's first frame, at full opacity, takes 300 ms.
    state.update_hover(layout, 2000, Point{700, 500});
    EXPECT_EQ(state.next_refresh_delay(2000), 16u);
    state.note_painted(2000);
    EXPECT_EQ(state.next_refresh_delay(2300), 1u) << "the screen still shows the tooltip";
    state.note_painted(2301);
    EXPECT_DOUBLE_EQ(state.fade_opacity(2301), 0.0);
    EXPECT_EQ(state.next_refresh_delay(2400), std::nullopt);

    // A frame drawn at the very moment the tooltip fell due showed it.
    state.update_hover(layout, 3000, centre(layout.slots[1].rect));
    state.note_painted(3250);
    EXPECT_EQ(state.next_refresh_delay(3400), std::nullopt);

    // A hover too short to show its tooltip leaves nothing to catch up.
    ToolbarHoverState brief;
    brief.update_hover(layout, 0, centre(layout.slots[0].rect));
    brief.note_painted(10);
    brief.update_hover(layout, 100, Point{700, 500});
    EXPECT_FALSE(brief.fade.has_value());
    EXPECT_EQ(brief.next_refresh_delay(600), std::nullopt);

    // Before the first paint there is no frame to catch up on.
    ToolbarHoverState unpainted;
    unpainted.update_hover(layout, 0, centre(layout.slots[0].rect));
    EXPECT_EQ(unpainted.next_refresh_delay(400), std::nullopt);
}

TEST(ToolbarTooltip, PlacementAndClamping) {
    // Below the button, starting at its centre: (text + 18) x 25.
    EXPECT_EQ(tooltip_rect(ToolbarRect{100, 200, 130, 230}, 100, 1920, 1080), (ToolbarRect{115, 236, 233, 261}));
    // Ending exactly at H - 4 still fits below.
    EXPECT_EQ(tooltip_rect(ToolbarRect{100, 1015, 130, 1045}, 100, 1920, 1080).top, 1051);
    // One pixel further: 31 above the button instead.
    EXPECT_EQ(tooltip_rect(ToolbarRect{100, 1016, 130, 1046}, 100, 1920, 1080).top, 1016 - 31);
    // Near the right edge: pulled left to end 4 pixels from it.
    EXPECT_EQ(tooltip_rect(ToolbarRect{1880, 200, 1910, 230}, 100, 1920, 1080), (ToolbarRect{1798, 236, 1916, 261}));
    // Wider than the desktop: pinned at 4.
    EXPECT_EQ(tooltip_rect(ToolbarRect{50, 10, 80, 40}, 500, 300, 200).left, 4);
    // A desktop too short for either side: pinned at the top margin.
    EXPECT_EQ(tooltip_rect(ToolbarRect{50, 5, 80, 35}, 50, 300, 40).top, 4);
}

TEST(ToolbarTooltip, TextFollowsTheCurrentState) {
    ToolbarInput in = editing(1920, 1080, 500, 300, 1400, 800);
    const ToolbarLayout frozen = layout_toolbar(in);
    ToolbarHoverState state;
    const ToolbarButton& live = by_kind(frozen, CommandKind::LiveCapture);
    state.update_hover(frozen, 0, centre(live.rect));
    in.live = true;
    const ToolbarLayout live_layout = layout_toolbar(in);
    // F2 pressed while the tooltip shows: the text changes, the hover does not.
    state.update_hover(live_layout, 400, centre(live.rect));
    EXPECT_EQ(state.hover->since_ms, 0u);
    EXPECT_EQ(tooltip_text(live_layout, state.hover->command, state.hover->tooltip),
              "Live capture on \u00B7 F2 to freeze");
    // Hidden toolbar: a fading tooltip keeps its recorded text.
    const ToolbarLayout none;
    EXPECT_EQ(tooltip_text(none, state.hover->command, state.hover->tooltip),
              "Capture frozen \u00B7 F2 for live capture");
}

TEST(ToolbarLayout, FollowsTheSessionState) {
    SessionState s = new_session(Desktop{-1920, 0, 3840, 1080});
    EXPECT_TRUE(layout_toolbar(toolbar_input(s)).empty()) << "a new session selects its region first";

    s.region = Region{{100, 100, 900, 700}, true};
    s.region_selection = false;
    s.editor.tool = Tool::Arrow;
    s.live = true;
    s.editor.undo_stack.push_back(HistoryStep{});
    const ToolbarLayout layout = layout_toolbar(toolbar_input(s));
    ASSERT_FALSE(layout.empty());
    EXPECT_EQ(layout.actions_panel, (ToolbarRect{412, 708, 900, 748}));
    EXPECT_TRUE(layout.slots[4].current);
    EXPECT_FALSE(layout.slots[1].current);
    EXPECT_TRUE(by_kind(layout, CommandKind::LiveCapture).active);
    EXPECT_TRUE(by_kind(layout, CommandKind::Undo).enabled);
    EXPECT_FALSE(by_kind(layout, CommandKind::Redo).enabled);
    EXPECT_FALSE(by_kind(layout, CommandKind::Search).active);

    s.toolbar_visible = false;
    EXPECT_TRUE(layout_toolbar(toolbar_input(s)).empty());
}
