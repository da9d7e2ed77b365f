// The capture editor's toolbar without the platform: where its two panels and
// their buttons go for a given region and desktop, what each button shows and
// does in the session's current state, and the hover record that times the
// tooltips. The toolbar keeps no state of its own besides that hover record;
// it is laid out anew for every paint, mouse move and hit test, so layout
// works in a fixed-size array and never allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "editor/annotation.h"
#include "session/commands.h"
#include "session/session_state.h"

namespace kadrovix {

// Desktop pixels, origin at the desktop's top-left corner.
using ToolbarRect = RegionF;

enum class ToolbarPanel : std::uint8_t { Tools = 0, Actions = 1 };

inline constexpr std::size_t kToolbarToolButtons = 8;
inline constexpr std::size_t kToolbarActionButtons = 15;
inline constexpr std::size_t kToolbarButtonCount = kToolbarToolButtons + kToolbarActionButtons;

inline constexpr double kToolbarButtonSize = 30.0;
inline constexpr double kToolbarButtonPitch = 32.0;
inline constexpr double kToolbarButtonInset = 5.0;   // panel corner to first button; also the background margin
inline constexpr double kToolbarPanelPadding = 8.0;  // panel size beyond its buttons' pitch
inline constexpr double kToolbarGap = 8.0;           // between the region and a panel, and between panels
inline constexpr double kToolbarEdgeMargin = 4.0;    // kept free at the desktop's edges

struct ToolbarButton {
    ToolbarRect rect;
    std::string_view tooltip;  // UTF-8, static storage
    CommandValue command = 0;
    ToolbarPanel panel = ToolbarPanel::Tools;
    bool active = false;   // live capture while live mode is on, search while a search runs
    bool enabled = true;   // false only for Undo and Redo with an empty history
    bool current = false;  // the session's tool, or the eyedropper while it is on
    friend bool operator==(const ToolbarButton&, const ToolbarButton&) = default;
};

// The session state the toolbar follows.
struct ToolbarInput {
    std::int32_t desktop_width = 0;
    std::int32_t desktop_height = 0;
    bool region_exists = false;
    double region_left = 0.0;
    double region_top = 0.0;
    double region_right = 0.0;
    double region_bottom = 0.0;
    bool toolbar_visible = true;
    bool region_selection = false;  // region-selection mode
    Tool tool = Tool::Rectangle;
    bool live = false;
    bool search_running = false;
    bool eyedropper = false;
    bool can_undo = false;
    bool can_redo = false;
    friend bool operator==(const ToolbarInput&, const ToolbarInput&) = default;
};

struct ToolbarLayout {
    // Panel rectangles as placed (also the union of each panel's buttons
    // grown by kToolbarButtonInset); meaningless when there are no buttons.
    ToolbarRect tools_panel;
    ToolbarRect actions_panel;
    std::array<ToolbarButton, kToolbarButtonCount> slots{};
    std::size_t count = 0;  // 0 or kToolbarButtonCount

    // Tools first (Select ... Text), then the actions in table order.
    std::span<const ToolbarButton> buttons() const { return {slots.data(), count}; }
    bool empty() const { return count == 0; }
};

// The session's current state as the toolbar sees it.
ToolbarInput toolbar_input(const SessionState& session);

// No buttons while the toolbar is hidden, in region-selection mode, or
// without a region.
ToolbarLayout layout_toolbar(const ToolbarInput& input);

// The first enabled button containing `p` (edges included), or null.
const ToolbarButton* hit_test_button(const ToolbarLayout& layout, Point p);

// The button under `p` whether enabled or not, or null.
const ToolbarButton* button_at(const ToolbarLayout& layout, Point p);

// A panel's background: the union of its buttons grown by 5 pixels; nullopt
// when the panel has no buttons.
std::optional<ToolbarRect> panel_background(const ToolbarLayout& layout, ToolbarPanel panel);

// Whether `p` lies on either panel's background (edges included). Presses
// there do nothing, even over a disabled button.
bool over_toolbar(const ToolbarLayout& layout, Point p);

// --- Hover and tooltips -----------------------------------------------------

inline constexpr std::uint64_t kTooltipDelayMs = 250;
inline constexpr std::uint64_t kTooltipFadeMs = 120;
inline constexpr std::uint32_t kTooltipFadeFrameMs = 16;

struct ToolbarHover {
    CommandValue command = 0;
    ToolbarRect rect;
    std::string_view tooltip;  // as laid out when the hover began
    std::uint64_t since_ms = 0;
    friend bool operator==(const ToolbarHover&, const ToolbarHover&) = default;
};

struct ToolbarFade {
    CommandValue command = 0;
    ToolbarRect rect;
    std::string_view tooltip;
    double start_opacity = 1.0;
    std::uint64_t since_ms = 0;
    friend bool operator==(const ToolbarFade&, const ToolbarFade&) = default;
};

// Session-owned. The window calls update_hover on every mouse move,
// clear_hover on a left-button press and when the pointer leaves the window,
// note_painted as every paint starts, and after every message re-arms its
// repaint timer with next_refresh_delay (killing it on nullopt). Times are
// milliseconds of a monotonic clock; a time earlier than a record's start
// counts as no time elapsed.
struct ToolbarHoverState {
    std::optional<ToolbarHover> hover;
    std::optional<ToolbarFade> fade;
    // The time the frame now on screen was drawn for; nothing before the
    // first paint.
    std::optional<std::uint64_t> painted_ms;

    // Every mouse move: the button under `p`, enabled or not, becomes the
    // hovered one. Nothing changes while it stays the same button at the same
    // place; otherwise a tooltip that was showing starts fading.
    void update_hover(const ToolbarLayout& layout, std::uint64_t now_ms, Point p);
    // A left-button press or the pointer leaving the window.
    void clear_hover(std::uint64_t now_ms);

    // Whether the hovered button's tooltip shows (its hover is 250 ms old).
    bool tooltip_visible(std::uint64_t now_ms) const;
    // The fading tooltip's opacity now; 0 when no fade runs.
    double fade_opacity(std::uint64_t now_ms) const;
    // A paint starts, drawing the tooltips as they are at `now_ms`.
    void note_painted(std::uint64_t now_ms) { painted_ms = now_ms; }

    // How long until the window must repaint for the tooltips: 16 ms while a
    // fade is younger than 120 ms, else the rest of a hover's 250 ms, else
    // nullopt (no timer). A paint can take longer than the time that was
    // left (a full-desktop paint under software rendering): when the last
    // frame was drawn before the hover's tooltip became due, or before the
    // fade ran out, that frame shows a stale tooltip and 1 ms asks for the
    // frame that catches up.
    std::optional<std::uint32_t> next_refresh_delay(std::uint64_t now_ms) const;

private:
    void change_hover(std::uint64_t now_ms, std::optional<ToolbarHover> next);
};

inline constexpr double kTooltipHeight = 25.0;
inline constexpr double kTooltipExtraWidth = 18.0;
inline constexpr double kTooltipGap = 6.0;
inline constexpr double kTooltipTextX = 8.0;
inline constexpr double kTooltipTextY = 4.0;
inline constexpr float kTooltipFontSize = 12.0f;
inline constexpr double kTooltipCornerRadius = 4.0;

// Where the tooltip of a button goes, given its text's width in the tooltip
// font: below the button, starting at its horizontal centre, or above it
// where it would reach into the desktop's bottom margin; kept on the desktop.
ToolbarRect tooltip_rect(const ToolbarRect& button, double text_width, std::int32_t desktop_width,
                         std::int32_t desktop_height);

// A tooltip as a frame at some moment draws it.
struct TooltipShown {
    ToolbarRect button;
    std::string_view text;
    double opacity = 1.0;
    friend bool operator==(const TooltipShown&, const TooltipShown&) = default;
};

// What a frame at `now_ms` draws: the fading tooltip, then the hovered
// button's once it is due and the button is still in the layout.
std::vector<TooltipShown> tooltips_shown(const ToolbarLayout& layout, const ToolbarHoverState& hover,
                                         std::uint64_t now_ms);

// The text shown for a hover record: the current layout's text for the same
// button (states change while a tooltip shows), else the recorded one.
std::string_view tooltip_text(const ToolbarLayout& layout, CommandValue command, std::string_view recorded);

// --- Looks ------------------------------------------------------------------

inline constexpr Rgb kToolbarPanelFill{32, 32, 32};
inline constexpr Rgb kToolbarPanelOutline{78, 78, 78};
inline constexpr Rgb kToolbarButtonHighlight{55, 70, 80};
inline constexpr Rgb kToolbarButtonHover{55, 55, 55};
inline constexpr Rgb kToolbarButtonFill{32, 32, 32};
inline constexpr Rgb kToolbarIconHighlight{153, 218, 255};
inline constexpr Rgb kToolbarIconEnabled{235, 235, 235};
inline constexpr Rgb kToolbarIconDisabled{100, 100, 100};
inline constexpr Rgb kTooltipFill{32, 32, 32};
inline constexpr Rgb kTooltipText{245, 245, 245};
inline constexpr double kToolbarPanelRadius = 8.0;
inline constexpr double kToolbarButtonRadius = 5.0;
inline constexpr double kToolbarIconInset = 5.0;
inline constexpr double kToolbarIconSize = 20.0;

// Highlighted: active, the current tool, or the eyedropper while it is on.
inline bool highlighted(const ToolbarButton& b) {
    return b.active || b.current;
}
Rgb button_fill(const ToolbarButton& button, Point pointer);
Rgb icon_colour(const ToolbarButton& button);

enum class ToolbarIcon : std::uint8_t {
    Select,
    Rectangle,
    Ellipse,
    Line,
    Arrow,
    Pen,
    Highlighter,
    Text,
    Live,
    Swatch,
    CustomColour,
    Eyedropper,
    Undo,
    Redo,
    Search,
    Copy,
    Save,
    Close,
    None,
};

struct ToolbarGlyph {
    ToolbarIcon icon = ToolbarIcon::None;
    Rgb swatch;  // the colour of a Swatch
    friend bool operator==(const ToolbarGlyph&, const ToolbarGlyph&) = default;
};

// What a command's button shows.
ToolbarGlyph toolbar_glyph(CommandValue command);

}  // namespace kadrovix
