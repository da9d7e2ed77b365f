#include "toolbar/toolbar.h"

#include <algorithm>
#include <cmath>

#include "session/commands.h"

namespace kadrovix {

namespace {

// Integer floor division; the desktop can be narrower than the margins.
std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

std::int64_t ceil_div(std::int64_t a, std::int64_t b) {
    return (a + b - 1) / b;
}

double clamp_between(double v, double low, double high) {
    return std::min(std::max(v, low), std::max(low, high));
}

constexpr std::size_t count_tool_rows() {
    std::size_t n = 0;
    for (const ShortcutRow& row : kShortcuts) {
        if (command_kind(row.command) == CommandKind::SelectTool) ++n;
    }
    return n;
}
static_assert(count_tool_rows() == kToolbarToolButtons && kShortcuts.size() == kToolbarButtonCount,
              "the toolbar is laid out for eight tools and fifteen actions");

struct PanelBox {
    double x = 0.0;
    double y = 0.0;
    double w = 0.0;
    double h = 0.0;
};

// Touching edges do not overlap.
bool overlap(const PanelBox& a, const PanelBox& b) {
    return !(a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y);
}

ToolbarRect button_rect(const PanelBox& panel, std::int64_t column, std::int64_t row) {
    const double left = panel.x + kToolbarButtonPitch * static_cast<double>(column) + kToolbarButtonInset;
    const double top = panel.y + kToolbarButtonPitch * static_cast<double>(row) + kToolbarButtonInset;
    return {left, top, left + kToolbarButtonSize, top + kToolbarButtonSize};
}

std::uint64_t elapsed(std::uint64_t now_ms, std::uint64_t since_ms) {
    return now_ms > since_ms ? now_ms - since_ms : 0;
}

}  // namespace

ToolbarLayout layout_toolbar(const ToolbarInput& in) {
    ToolbarLayout layout;
    if (!in.toolbar_visible || in.region_selection || !in.region_exists) return layout;

    const std::int64_t W = in.desktop_width;
    const std::int64_t H = in.desktop_height;
    const double Wd = static_cast<double>(W);
    const double Hd = static_cast<double>(H);
    const double l = in.region_left;
    const double t = in.region_top;
    const double r = in.region_right;
    const double b = in.region_bottom;
    constexpr std::int64_t nA = static_cast<std::int64_t>(kToolbarActionButtons);
    constexpr std::int64_t nT = static_cast<std::int64_t>(kToolbarToolButtons);
    const auto pitch = static_cast<std::int64_t>(kToolbarButtonPitch);
    const auto padding = static_cast<std::int64_t>(kToolbarPanelPadding);
    const double margin = kToolbarEdgeMargin;
    const double gap = kToolbarGap;

    // 1, 2: panel grids. The actions row takes the width less 36 pixels; the
    // tools column the height the actions leave, less 40.
    const std::int64_t cA = std::min(std::max(floor_div(W - 36, pitch), std::int64_t{1}), nA);
    const std::int64_t rA = ceil_div(nA, cA);
    const std::int64_t hA_int = pitch * rA + padding;
    const std::int64_t rT = std::min(std::max(floor_div(H - hA_int - 40, pitch), std::int64_t{1}), nT);
    const std::int64_t cT = ceil_div(nT, rT);
    PanelBox actions{0.0, 0.0, static_cast<double>(pitch * cA + padding), static_cast<double>(hA_int)};
    PanelBox tools{0.0, 0.0, static_cast<double>(pitch * cT + padding), static_cast<double>(pitch * rT + padding)};

    // 3: actions below the region, else above it, else inside at its bottom;
    // right-aligned with the region.
    actions.y = b + gap;
    if (actions.y + actions.h > Hd - margin) {
        actions.y = t - gap - actions.h;
        if (actions.y < margin) actions.y = b - actions.h - gap;
    }
    actions.x = r - actions.w;
    actions.x = clamp_between(actions.x, margin, Wd - actions.w - margin);
    actions.y = clamp_between(actions.y, margin, Hd - actions.h - margin);

    // 4: tools right of the region, else left of it, else inside at its
    // right; bottom-aligned with the region.
    const auto clamp_tools = [&] {
        tools.x = clamp_between(tools.x, margin, Wd - tools.w - margin);
        tools.y = clamp_between(tools.y, margin, Hd - tools.h - margin);
    };
    tools.x = r + gap;
    if (tools.x + tools.w > Wd - margin) {
        tools.x = l - gap - tools.w;
        if (tools.x < margin) tools.x = r - tools.w - gap;
    }
    tools.y = b - tools.h;
    clamp_tools();

    // 5: on overlap the tools go above the actions (or below them), then to
    // the desktop's right edge, and as a last resort both stack at the bottom.
    if (overlap(tools, actions)) {
        tools.y = actions.y - tools.h - gap;
        if (tools.y < margin) tools.y = actions.y + actions.h + gap;
        clamp_tools();
        if (overlap(tools, actions)) {
            tools.x = std::max(margin, Wd - tools.w - margin);
            if (tools.x < actions.x + actions.w && actions.x < tools.x + tools.w) {
                actions.y = std::max(margin, Hd - actions.h - margin);
                tools.y = std::max(margin, actions.y - tools.h - gap);
            }
        }
    }

    layout.tools_panel = {tools.x, tools.y, tools.x + tools.w, tools.y + tools.h};
    layout.actions_panel = {actions.x, actions.y, actions.x + actions.w, actions.y + actions.h};

    // 6: tools column by column, actions row by row, in table order.
    std::int64_t tool_index = 0;
    std::int64_t action_index = 0;
    std::size_t tool_slot = 0;
    std::size_t action_slot = kToolbarToolButtons;
    for (const ShortcutRow& row : kShortcuts) {
        const std::optional<CommandKind> kind = command_kind(row.command);
        ToolbarButton button;
        button.command = row.command;
        button.tooltip = row.tooltip;
        if (kind == CommandKind::SelectTool) {
            if (tool_slot >= kToolbarToolButtons) continue;
            button.panel = ToolbarPanel::Tools;
            button.rect = button_rect(tools, tool_index / rT, tool_index % rT);
            const std::optional<Tool> tool = command_tool(row.command);
            button.current = tool == in.tool;
            ++tool_index;
            layout.slots[tool_slot++] = button;
            continue;
        }
        if (action_slot >= kToolbarButtonCount) continue;
        button.panel = ToolbarPanel::Actions;
        button.rect = button_rect(actions, action_index % cA, action_index / cA);
        ++action_index;
        switch (kind ? *kind : CommandKind::Close) {  // the table names only known kinds
            case CommandKind::LiveCapture:
                button.active = in.live;
                button.tooltip = in.live ? std::string_view{"Live capture on \u00B7 F2 to freeze"}
                                         : std::string_view{"Capture frozen \u00B7 F2 for live capture"};
                break;
            case CommandKind::Search:
                button.active = in.search_running;
                if (in.search_running) button.tooltip = "Google search in progress \u00B7 Ctrl+G";
                break;
            case CommandKind::Undo:
                button.enabled = in.can_undo;
                button.tooltip = in.can_undo ? std::string_view{"Undo \u00B7 Ctrl+Z"}
                                             : std::string_view{"Nothing to undo \u00B7 Ctrl+Z"};
                break;
            case CommandKind::Redo:
                button.enabled = in.can_redo;
                button.tooltip = in.can_redo ? std::string_view{"Redo \u00B7 Ctrl+Y / Ctrl+Shift+Z"}
                                             : std::string_view{"Nothing to redo \u00B7 Ctrl+Y / Ctrl+Shift+Z"};
                break;
            case CommandKind::Eyedropper:
                button.current = in.eyedropper;
                break;
            default:
                break;
        }
        layout.slots[action_slot++] = button;
    }
    layout.count = (tool_slot == kToolbarToolButtons && action_slot == kToolbarButtonCount) ? kToolbarButtonCount : 0;
    return layout;
}

const ToolbarButton* hit_test_button(const ToolbarLayout& layout, Point p) {
    for (const ToolbarButton& button : layout.buttons()) {
        if (button.enabled && button.rect.contains(p)) return &button;
    }
    return nullptr;
}

const ToolbarButton* button_at(const ToolbarLayout& layout, Point p) {
    for (const ToolbarButton& button : layout.buttons()) {
        if (button.rect.contains(p)) return &button;
    }
    return nullptr;
}

std::optional<ToolbarRect> panel_background(const ToolbarLayout& layout, ToolbarPanel panel) {
    std::optional<ToolbarRect> bounds;
    for (const ToolbarButton& button : layout.buttons()) {
        if (button.panel != panel) continue;
        if (!bounds) {
            bounds = button.rect;
            continue;
        }
        bounds->left = std::min(bounds->left, button.rect.left);
        bounds->top = std::min(bounds->top, button.rect.top);
        bounds->right = std::max(bounds->right, button.rect.right);
        bounds->bottom = std::max(bounds->bottom, button.rect.bottom);
    }
    if (bounds) *bounds = bounds->grown(kToolbarButtonInset);
    return bounds;
}

bool over_toolbar(const ToolbarLayout& layout, Point p) {
    for (const ToolbarPanel panel : {ToolbarPanel::Tools, ToolbarPanel::Actions}) {
        const std::optional<ToolbarRect> background = panel_background(layout, panel);
        if (background && background->contains(p)) return true;
    }
    return false;
}

void ToolbarHoverState::update_hover(const ToolbarLayout& layout, std::uint64_t now_ms, Point p) {
    const ToolbarButton* under = button_at(layout, p);
    if (under && hover && hover->command == under->command && hover->rect == under->rect) return;
    if (!under && !hover) return;
    change_hover(now_ms,
                 under ? std::optional<ToolbarHover>{ToolbarHover{under->command, under->rect, under->tooltip, now_ms}}
                       : std::nullopt);
}

void ToolbarHoverState::clear_hover(std::uint64_t now_ms) {
    if (hover) change_hover(now_ms, std::nullopt);
}

void ToolbarHoverState::change_hover(std::uint64_t now_ms, std::optional<ToolbarHover> next) {
    if (hover && elapsed(now_ms, hover->since_ms) >= kTooltipDelayMs) {
        // Its tooltip was showing: fade it out from full opacity.
        fade = ToolbarFade{hover->command, hover->rect, hover->tooltip, 1.0, now_ms};
    } else if (fade) {
        // A fade under way restarts from where it has got to; once it has
        // run out it is dropped.
        const double opacity = fade_opacity(now_ms);
        if (opacity > 0.0) {
            fade->start_opacity = opacity;
            fade->since_ms = now_ms;
        } else {
            fade.reset();
        }
    }
    hover = next;
}

bool ToolbarHoverState::tooltip_visible(std::uint64_t now_ms) const {
    return hover && elapsed(now_ms, hover->since_ms) >= kTooltipDelayMs;
}

double ToolbarHoverState::fade_opacity(std::uint64_t now_ms) const {
    if (!fade) return 0.0;
    const double t = static_cast<double>(elapsed(now_ms, fade->since_ms)) / static_cast<double>(kTooltipFadeMs);
    return std::max(0.0, fade->start_opacity * (1.0 - t));
}

std::optional<std::uint32_t> ToolbarHoverState::next_refresh_delay(std::uint64_t now_ms) const {
    if (fade && elapsed(now_ms, fade->since_ms) < kTooltipFadeMs) return kTooltipFadeFrameMs;
    if (hover) {
        const std::uint64_t age = elapsed(now_ms, hover->since_ms);
        if (age < kTooltipDelayMs) return static_cast<std::uint32_t>(kTooltipDelayMs - age);
    }
    // Both times have passed; a frame drawn before either of them is stale.
    // The catch-up frame is drawn after both, which ends the asking.
    if (painted_ms) {
        if (hover && *painted_ms < hover->since_ms + kTooltipDelayMs) return 1;
        if (fade && *painted_ms < fade->since_ms + kTooltipFadeMs) return 1;
    }
    return std::nullopt;
}

ToolbarRect tooltip_rect(const ToolbarRect& button, double text_width, std::int32_t desktop_width,
                         std::int32_t desktop_height) {
    const double W = static_cast<double>(desktop_width);
    const double H = static_cast<double>(desktop_height);
    const double width = text_width + kTooltipExtraWidth;
    double left = (button.left + button.right) / 2.0;
    double top = button.bottom + kTooltipGap;
    if (top + kTooltipHeight > H - kToolbarEdgeMargin) top = button.top - kTooltipHeight - kTooltipGap;
    left = clamp_between(left, kToolbarEdgeMargin, W - width - kToolbarEdgeMargin);
    top = clamp_between(top, kToolbarEdgeMargin, H - kTooltipHeight - kToolbarEdgeMargin);
    return {left, top, left + width, top + kTooltipHeight};
}

std::vector<TooltipShown> tooltips_shown(const ToolbarLayout& layout, const ToolbarHoverState& hover,
                                         std::uint64_t now_ms) {
    std::vector<TooltipShown> shown;
    if (const double fade = hover.fade_opacity(now_ms); fade > 0.0) {
        shown.push_back({hover.fade->rect, tooltip_text(layout, hover.fade->command, hover.fade->tooltip), fade});
    }
    if (hover.tooltip_visible(now_ms)) {
        const auto buttons = layout.buttons();
        const bool still_there = std::any_of(buttons.begin(), buttons.end(), [&](const ToolbarButton& b) {
            return b.command == hover.hover->command && b.rect == hover.hover->rect;
        });
        if (still_there) {
            shown.push_back({hover.hover->rect, tooltip_text(layout, hover.hover->command, hover.hover->tooltip), 1.0});
        }
    }
    return shown;
}

std::string_view tooltip_text(const ToolbarLayout& layout, CommandValue command, std::string_view recorded) {
    for (const ToolbarButton& button : layout.buttons()) {
        if (button.command == command) return button.tooltip;
    }
    return recorded;
}

Rgb button_fill(const ToolbarButton& button, Point pointer) {
    if (highlighted(button)) return kToolbarButtonHighlight;
    if (button.enabled && button.rect.contains(pointer)) return kToolbarButtonHover;
    return kToolbarButtonFill;
}

Rgb icon_colour(const ToolbarButton& button) {
    if (highlighted(button)) return kToolbarIconHighlight;
    return button.enabled ? kToolbarIconEnabled : kToolbarIconDisabled;
}

ToolbarGlyph toolbar_glyph(CommandValue command) {
    const std::optional<CommandKind> kind = command_kind(command);
    if (!kind) return {};
    switch (*kind) {
        case CommandKind::SelectTool: {
            const std::optional<Tool> tool = command_tool(command);
            if (!tool) return {};
            return {static_cast<ToolbarIcon>(static_cast<std::uint8_t>(*tool)), {}};
        }
        case CommandKind::SetColour:
            return {ToolbarIcon::Swatch, command_colour(command)};
        case CommandKind::CustomColour:
            return {ToolbarIcon::CustomColour, {}};
        case CommandKind::Eyedropper:
            return {ToolbarIcon::Eyedropper, {}};
        case CommandKind::Undo:
            return {ToolbarIcon::Undo, {}};
        case CommandKind::Redo:
            return {ToolbarIcon::Redo, {}};
        case CommandKind::Search:
            return {ToolbarIcon::Search, {}};
        case CommandKind::LiveCapture:
            return {ToolbarIcon::Live, {}};
        case CommandKind::CopyImage:
            return {ToolbarIcon::Copy, {}};
        case CommandKind::Save:
            return {ToolbarIcon::Save, {}};
        case CommandKind::Close:
            return {ToolbarIcon::Close, {}};
        default:
            return {};
    }
}

ToolbarInput toolbar_input(const SessionState& s) {
    ToolbarInput in;
    in.desktop_width = s.desktop.width;
    in.desktop_height = s.desktop.height;
    in.region_exists = s.region.exists;
    in.region_left = s.region.left;
    in.region_top = s.region.top;
    in.region_right = s.region.right;
    in.region_bottom = s.region.bottom;
    in.toolbar_visible = s.toolbar_visible;
    in.region_selection = s.region_selection;
    in.tool = s.editor.tool;
    in.live = s.live;
    in.search_running = s.search_in_progress;
    in.eyedropper = s.eyedropper_on;
    in.can_undo = s.editor.can_undo();
    in.can_redo = s.editor.can_redo();
    return in;
}

}  // namespace kadrovix
