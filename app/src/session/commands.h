// Editor commands and the keyboard shortcuts that name them.
//
// A command is one 32-bit value: the low byte is its kind, the three bytes
// above it a payload (a tool number, or red, green, blue). The same value is
// carried by the shortcut table below, by the toolbar's buttons (which are
// laid out from this table, in its order) and by the session's command
// dispatch, so a button and its key always do the same thing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "editor/annotation.h"

namespace kadrovix {

using CommandValue = std::uint32_t;

enum class CommandKind : std::uint8_t {
    SelectTool = 0,    // payload: tool number
    SetColour = 1,     // payload: R, G, B
    ColourPicked = 2,  // payload: R, G, B; its "#RRGGBB" text goes to the clipboard
    CustomColour = 3,  // opens the colour picker
    Eyedropper = 4,
    Thinner = 5,
    Thicker = 6,
    Undo = 7,
    Redo = 8,
    Search = 9,
    LiveCapture = 10,  // toggles live and frozen capture
    CopyImage = 11,
    Save = 12,
    Close = 13,
};
inline constexpr std::uint8_t kCommandKindCount = 14;

// --- building values ---

constexpr CommandValue command_value(CommandKind kind, std::uint8_t b1 = 0, std::uint8_t b2 = 0,
                                     std::uint8_t b3 = 0) {
    return static_cast<CommandValue>(kind) | static_cast<CommandValue>(b1) << 8 | static_cast<CommandValue>(b2) << 16 |
           static_cast<CommandValue>(b3) << 24;
}

constexpr CommandValue select_tool_command(Tool tool) {
    return command_value(CommandKind::SelectTool, static_cast<std::uint8_t>(tool));
}

constexpr CommandValue set_colour_command(Rgb c) { return command_value(CommandKind::SetColour, c.r, c.g, c.b); }

constexpr CommandValue colour_picked_command(Rgb c) { return command_value(CommandKind::ColourPicked, c.r, c.g, c.b); }

// --- reading values ---

// nullopt for a low byte that names no command.
constexpr std::optional<CommandKind> command_kind(CommandValue value) {
    const auto kind = static_cast<std::uint8_t>(value & 0xFFu);
    if (kind >= kCommandKindCount) {
        return std::nullopt;
    }
    return static_cast<CommandKind>(kind);
}

// The tool of a Select tool command; nullopt for any other command or for a
// payload that names no tool.
constexpr std::optional<Tool> command_tool(CommandValue value) {
    const auto tool = static_cast<std::uint8_t>((value >> 8) & 0xFFu);
    if (command_kind(value) != CommandKind::SelectTool || tool >= kToolCount) {
        return std::nullopt;
    }
    return static_cast<Tool>(tool);
}

// The payload read as red, green, blue (meaningful for SetColour and ColourPicked).
constexpr Rgb command_colour(CommandValue value) {
    return Rgb{static_cast<std::uint8_t>((value >> 8) & 0xFFu), static_cast<std::uint8_t>((value >> 16) & 0xFFu),
               static_cast<std::uint8_t>((value >> 24) & 0xFFu)};
}

// --- keys ---

// Win32 virtual-key codes the editor reacts to. Letters and the main
// keyboard's digits are their upper-case ASCII codes ('R', '1').
namespace vk {
inline constexpr std::uint32_t kTab = 0x09;
inline constexpr std::uint32_t kReturn = 0x0D;
inline constexpr std::uint32_t kEscape = 0x1B;
inline constexpr std::uint32_t kLeft = 0x25;
inline constexpr std::uint32_t kUp = 0x26;
inline constexpr std::uint32_t kRight = 0x27;
inline constexpr std::uint32_t kDown = 0x28;
inline constexpr std::uint32_t kDelete = 0x2E;
inline constexpr std::uint32_t kF2 = 0x71;
}  // namespace vk

// One shortcut. Rows without Ctrl match whatever the Shift state; rows with
// Ctrl need Shift to be exactly as given.
struct ShortcutRow {
    std::uint32_t key = 0;
    bool ctrl = false;
    bool shift = false;
    CommandValue command = 0;
    std::string_view tooltip;
};

// In toolbar order: the eight tools make the tools panel, the rest the
// actions panel. The Esc row is only ever reached through its button: the Esc
// key itself runs the cancel chain (see input.h).
inline constexpr std::array<ShortcutRow, 23> kShortcuts{{
    {'V', false, false, select_tool_command(Tool::Select), "Select · V"},
    {'R', false, false, select_tool_command(Tool::Rectangle), "Rectangle · R"},
    {'O', false, false, select_tool_command(Tool::Ellipse), "Ellipse · O"},
    {'L', false, false, select_tool_command(Tool::Line), "Line · L"},
    {'A', false, false, select_tool_command(Tool::Arrow), "Arrow · A"},
    {'P', false, false, select_tool_command(Tool::Pen), "Pen · P"},
    {'H', false, false, select_tool_command(Tool::Highlighter), "Highlighter · H"},
    {'T', false, false, select_tool_command(Tool::Text), "Text · T"},
    {vk::kF2, false, false, command_value(CommandKind::LiveCapture), "Live capture · F2 · refresh on copy or save"},
    {'1', false, false, set_colour_command(kPresetColours[0]), "Red · 1"},
    {'2', false, false, set_colour_command(kPresetColours[1]), "Yellow · 2"},
    {'3', false, false, set_colour_command(kPresetColours[2]), "Green · 3"},
    {'4', false, false, set_colour_command(kPresetColours[3]), "Blue · 4"},
    {'5', false, false, set_colour_command(kPresetColours[4]), "White · 5"},
    {'6', false, false, set_colour_command(kPresetColours[5]), "Black · 6"},
    {'C', false, false, command_value(CommandKind::CustomColour), "Custom color · C"},
    {'I', false, false, command_value(CommandKind::Eyedropper), "Eyedropper · I"},
    {'Z', true, false, command_value(CommandKind::Undo), "Undo · Ctrl+Z"},
    {'Y', true, false, command_value(CommandKind::Redo), "Redo · Ctrl+Y / Ctrl+Shift+Z"},
    {'G', true, false, command_value(CommandKind::Search), "Search with Google Lens · Ctrl+G"},
    {'C', true, true, command_value(CommandKind::CopyImage), "Copy image · Ctrl+Shift+C"},
    {'S', true, false, command_value(CommandKind::Save), "Save · Ctrl+S"},
    {vk::kEscape, false, false, command_value(CommandKind::Close), "Close · Esc"},
}};

// The command a key press names: none whenever Alt is held; Ctrl+Shift+Z is
// Redo; otherwise the first matching row of kShortcuts.
std::optional<CommandValue> lookup_key(std::uint32_t vk, bool ctrl, bool shift, bool alt);

}  // namespace kadrovix
