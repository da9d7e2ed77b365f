// The persistent preferences and their line-oriented text file. Platform-free:
// the Windows storage layer finds the file, locks and replaces it, and uses
// these routines for the contents.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/expected.h"
#include "editor/annotation.h"

namespace kadrovix {

// A presentation-mode shape shortcut: system hot-key modifier bits (Alt 1,
// Ctrl 2, Shift 4, Windows 8) and a virtual-key code.
struct ShapeShortcut {
    std::uint32_t modifiers = 0;
    std::uint32_t key = 0;
    friend bool operator==(const ShapeShortcut&, const ShapeShortcut&) = default;
};

// Positions in Settings::shape_shortcuts.
inline constexpr std::size_t kArrowShortcut = 0;
inline constexpr std::size_t kRectangleShortcut = 1;
inline constexpr std::size_t kEllipseShortcut = 2;

using ShapeShortcuts = std::array<ShapeShortcut, 3>;

// x, y of the keyboard-and-mouse display, each 0..10000.
using InputDisplayOffset = std::pair<std::uint16_t, std::uint16_t>;

// Member initialisers are the defaults, so Settings{} == default_settings().
// Every writer keeps each field within what parse_settings accepts; a value
// outside that range would make the stored file unreadable.
struct Settings {
    std::uint32_t capture_modifiers = 0;  // 0..15
    std::uint32_t capture_key = 0;        // 0..254; 0 = no key chosen
    bool drawing_style = false;
    std::u16string save_folder;  // UTF-16 code units, unpaired surrogates allowed
    bool live_capture = false;
    std::uint32_t shape_duration_ms = 3000;  // 1000, 3000 or 5000
    Rgb presentation_color_1{0xff, 0xd3, 0x40};
    Rgb presentation_color_2{0xed, 0x4f, 0x5c};
    std::uint8_t input_display_position = 4;  // 0..5
    ShapeShortcuts shape_shortcuts{{{1, 0x46}, {1, 0x52}, {1, 0x43}}};  // Alt+F, Alt+R, Alt+C
    std::uint32_t presentation_stroke_width = 5;  // 1..40
    std::uint32_t presentation_arrow_size = 28;   // 16, 28 or 40
    std::optional<InputDisplayOffset> input_display_offset;
    bool input_display_lock = false;
    Rgb custom_color{0xed, 0x4f, 0x5c};
    bool start_with_windows = true;
    std::uint32_t capture_stroke_width = 3;  // 1..40

    friend bool operator==(const Settings&, const Settings&) = default;
};

inline constexpr int kSettingsVersion = 9;
inline constexpr std::string_view kSettingsHeaderPrefix = "kadrovix-settings-";

// Shown when the file's header and line count do not name a known version.
inline constexpr std::string_view kUnsupportedSettingsMessage =
    "Unsupported or damaged settings. The original file was preserved.";
inline constexpr std::string_view kInvalidUtf8Message = "stream did not contain valid UTF-8";

Settings default_settings();

// Checks the arrow, rectangle and ellipse shortcuts in that order; the first
// fault found is the error. Used before every save and when the user assigns
// a shape shortcut, as well as when reading.
Expected<void> validate_shape_shortcuts(const ShapeShortcuts& shortcuts);

// Succeeds when every field of `settings` holds a value the reader accepts,
// else gives the message reading its file would give. Writers check this
// before replacing the file: a value out of range would make the stored file
// unreadable, and a file that cannot be read is never replaced, so every
// later save would fail too.
Expected<void> validate_settings(const Settings& settings);

// Reads any of the nine file versions; fields a version lacks keep their
// defaults. The error is one fixed message per kind of fault.
Expected<Settings> parse_settings(std::string_view text);

// The newest version's text, ASCII only, every line ending in LF.
std::string format_settings(const Settings& settings);

// A whole settings file as read from disk: bytes that are not UTF-8 give
// kInvalidUtf8Message, anything else what parse_settings gives. The storage
// layer's read_settings_file is the one reader of the file itself.
Expected<Settings> parse_settings_file(std::string_view bytes);

}  // namespace kadrovix
