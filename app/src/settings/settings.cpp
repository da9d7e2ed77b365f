#include "settings/settings.h"

#include <limits>

#include "settings/utf8.h"

namespace kadrovix {

namespace {

constexpr const char* kInvalidNumber = "Invalid settings number";
constexpr const char* kInvalidShortcutOrStyle = "Invalid shortcut or drawing style";
constexpr const char* kInvalidFolder = "Invalid folder encoding";
constexpr const char* kInvalidLiveCapture = "Invalid live capture setting";
constexpr const char* kInvalidDuration = "Invalid presentation duration";
constexpr const char* kInvalidPresentationColor = "Invalid presentation color";
constexpr const char* kInvalidPosition = "Invalid input display position";
constexpr const char* kInvalidShapeShortcut = "Invalid shape shortcut";
constexpr const char* kShapeNeedsCtrlOrAlt = "Choose a shortcut with Ctrl or Alt to avoid triggering shapes while typing.";
constexpr const char* kShapeReserved = "Ctrl+Alt+Escape is reserved";
constexpr const char* kDuplicateShape = "Duplicate shape shortcut";
constexpr const char* kInvalidPresentationStroke = "Invalid presentation stroke width";
constexpr const char* kInvalidArrowSize = "Invalid presentation arrow size";
constexpr const char* kInvalidOffset = "Invalid input display offset";
constexpr const char* kInvalidLock = "Invalid input display lock";
constexpr const char* kInvalidCustomColor = "Invalid custom color";
constexpr const char* kInvalidStartup = "Invalid startup setting";
constexpr const char* kInvalidCaptureStroke = "Invalid capture stroke width";

constexpr std::uint32_t kAlt = 1;
constexpr std::uint32_t kCtrl = 2;
constexpr std::uint32_t kMaxModifiers = 15;
constexpr std::uint32_t kMaxKey = 254;
constexpr std::uint32_t kEscapeKey = 27;
constexpr std::uint32_t kMaxStrokeWidth = 40;
constexpr std::uint32_t kMaxOffset = 10000;

constexpr std::size_t kMaxLines = 20;

// Line count of each version, index = version - 1. Versions only ever append
// lines, so the count alone names the version.
constexpr std::array<std::size_t, kSettingsVersion> kLineCounts{5, 6, 9, 10, 13, 15, 17, 18, 20};

using Lines = std::array<std::string_view, kMaxLines>;

// Splits at LF, dropping a CR directly before it. A final line without LF
// counts; nothing after the last LF is not a line. False when there are more
// lines than any version has, which spares reading the rest of a huge file.
bool split_lines(std::string_view text, Lines& lines, std::size_t& count) {
    count = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        std::string_view line;
        if (lf == std::string_view::npos) {
            line = text.substr(start);
            start = text.size();
        } else {
            line = text.substr(start, lf - start);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            start = lf + 1;
        }
        if (count == kMaxLines) {
            return false;
        }
        lines[count++] = line;
    }
    return true;
}

int version_for_line_count(std::size_t count) {
    for (std::size_t i = 0; i < kLineCounts.size(); ++i) {
        if (kLineCounts[i] == count) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Unsigned decimal: digits with at most one leading '+', leading zeros
// allowed, no overflow.
std::optional<std::uint32_t> parse_u32(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t value = 0;
    for (const char c : text) {
        if (!is_digit(c)) {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uint32_t>(c - '0');
        if (value > (kMax - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

// Unsigned 16-bit hexadecimal: either case, at most one leading '+', leading
// zeros allowed.
std::optional<std::uint16_t> parse_u16_hex(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = hex_value(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
        if (value > 0xFFFFU) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<bool> parse_bool(std::string_view text) {
    if (text == "0") {
        return false;
    }
    if (text == "1") {
        return true;
    }
    return std::nullopt;
}

std::optional<Rgb> parse_color(std::string_view text) {
    if (text.size() != 6) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 3> channels{};
    for (std::size_t i = 0; i < 3; ++i) {
        const int high = hex_value(text[2 * i]);
        const int low = hex_value(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        channels[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return Rgb{channels[0], channels[1], channels[2]};
}

// 1..40 in canonical form only: no sign, no leading zero.
std::optional<std::uint32_t> parse_stroke_width(std::string_view text) {
    if (text.empty() || text.size() > 2 || text.front() == '0') {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        if (!is_digit(c)) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > kMaxStrokeWidth) {
        return std::nullopt;
    }
    return value;
}

std::optional<ShapeShortcut> parse_shape_shortcut(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        return std::nullopt;
    }
    const auto modifiers = parse_u32(text.substr(0, comma));
    const auto key = parse_u32(text.substr(comma + 1));
    if (!modifiers || !key) {
        return std::nullopt;
    }
    return ShapeShortcut{*modifiers, *key};
}

// A non-empty run of ASCII digits, 0..10000; leading zeros are harmless.
std::optional<std::uint16_t> parse_offset_part(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        if (!is_digit(c)) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > kMaxOffset) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint16_t>(value);
}

// Sets `offset` and returns true when the line is valid.
bool parse_offset(std::string_view text, std::optional<InputDisplayOffset>& offset) {
    if (text == "-") {
        offset.reset();
        return true;
    }
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        return false;
    }
    const auto x = parse_offset_part(text.substr(0, comma));
    const auto y = parse_offset_part(text.substr(comma + 1));
    if (!x || !y) {
        return false;
    }
    offset = InputDisplayOffset{*x, *y};
    return true;
}

// Comma-separated UTF-16 code units in hexadecimal; empty pieces are skipped.
bool parse_folder(std::string_view text, std::u16string& folder) {
    folder.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            comma = text.size();
        }
        const std::string_view piece = text.substr(start, comma - start);
        if (!piece.empty()) {
            const auto unit = parse_u16_hex(piece);
            if (!unit) {
                return false;
            }
            folder.push_back(static_cast<char16_t>(*unit));
        }
        start = comma + 1;
    }
    return true;
}

Expected<void> check_one_shortcut(const ShapeShortcut& shortcut) {
    if (shortcut.modifiers > kMaxModifiers || shortcut.key < 1 || shortcut.key > kMaxKey) {
        return Unexpected{kInvalidShapeShortcut};
    }
    if ((shortcut.modifiers & (kCtrl | kAlt)) == 0) {
        return Unexpected{kShapeNeedsCtrlOrAlt};
    }
    if (shortcut.modifiers == (kCtrl | kAlt) && shortcut.key == kEscapeKey) {
        return Unexpected{kShapeReserved};
    }
    return {};
}

constexpr char kHexDigits[] = "0123456789abcdef";

void append_hex_byte(std::string& out, std::uint8_t value) {
    out.push_back(kHexDigits[value >> 4]);
    out.push_back(kHexDigits[value & 0x0F]);
}

void append_color(std::string& out, const Rgb& color) {
    append_hex_byte(out, color.r);
    append_hex_byte(out, color.g);
    append_hex_byte(out, color.b);
}

// Lowercase, no leading zeros; zero itself is "0".
void append_hex_unit(std::string& out, char16_t unit) {
    auto value = static_cast<unsigned>(unit);
    char digits[4];
    int count = 0;
    do {
        digits[count++] = kHexDigits[value & 0x0F];
        value >>= 4;
    } while (value != 0);
    while (count > 0) {
        out.push_back(digits[--count]);
    }
}

void append_line(std::string& out, std::string_view text) {
    out.append(text);
    out.push_back('\n');
}

void append_number_line(std::string& out, std::uint32_t value) {
    append_line(out, std::to_string(value));
}

void append_bool_line(std::string& out, bool value) {
    append_line(out, value ? "1" : "0");
}

void append_color_line(std::string& out, const Rgb& color) {
    append_color(out, color);
    out.push_back('\n');
}

}  // namespace

Settings default_settings() {
    return Settings{};
}

Expected<void> validate_shape_shortcuts(const ShapeShortcuts& shortcuts) {
    for (std::size_t i = 0; i < shortcuts.size(); ++i) {
        if (auto checked = check_one_shortcut(shortcuts[i]); !checked) {
            return checked;
        }
        for (std::size_t earlier = 0; earlier < i; ++earlier) {
            if (shortcuts[i] == shortcuts[earlier]) {
                return Unexpected{kDuplicateShape};
            }
        }
    }
    return {};
}

Expected<Settings> parse_settings(std::string_view text) {
    Lines lines;
    std::size_t count = 0;
    const int version = split_lines(text, lines, count) ? version_for_line_count(count) : 0;
    if (version == 0 || lines[0].size() != kSettingsHeaderPrefix.size() + 1 ||
        !lines[0].starts_with(kSettingsHeaderPrefix) || lines[0].back() != static_cast<char>('0' + version)) {
        return Unexpected{kUnsupportedSettingsMessage};
    }
    // Lines are numbered from 1 as in the file; `line(1)` is the header.
    const auto line = [&lines](std::size_t number) { return lines[number - 1]; };

    // Fields of lines this version lacks keep their defaults: that is the
    // whole migration from older versions.
    Settings settings = default_settings();

    // The order of the checks decides which message a file with several
    // faults gets. Existing files must keep getting the same message, so the
    // capture shortcut lines (2 to 4) are still checked after the lines that
    // later versions added.
    if (version >= 2) {
        const auto live = parse_bool(line(6));
        if (!live) {
            return Unexpected{kInvalidLiveCapture};
        }
        settings.live_capture = *live;
    }
    if (version >= 3) {
        const std::string_view duration = line(7);
        if (duration == "1000") {
            settings.shape_duration_ms = 1000;
        } else if (duration == "3000") {
            settings.shape_duration_ms = 3000;
        } else if (duration == "5000") {
            settings.shape_duration_ms = 5000;
        } else {
            return Unexpected{kInvalidDuration};
        }
        const auto color_1 = parse_color(line(8));
        if (!color_1) {
            return Unexpected{kInvalidPresentationColor};
        }
        const auto color_2 = parse_color(line(9));
        if (!color_2) {
            return Unexpected{kInvalidPresentationColor};
        }
        settings.presentation_color_1 = *color_1;
        settings.presentation_color_2 = *color_2;
    }
    if (version >= 4) {
        const std::string_view position = line(10);
        if (position.size() != 1 || position[0] < '0' || position[0] > '5') {
            return Unexpected{kInvalidPosition};
        }
        settings.input_display_position = static_cast<std::uint8_t>(position[0] - '0');
    }
    if (version >= 5) {
        ShapeShortcuts shortcuts;
        for (std::size_t i = 0; i < shortcuts.size(); ++i) {
            const auto shortcut = parse_shape_shortcut(line(11 + i));
            if (!shortcut) {
                return Unexpected{kInvalidShapeShortcut};
            }
            shortcuts[i] = *shortcut;
        }
        if (auto valid = validate_shape_shortcuts(shortcuts); !valid) {
            return Unexpected{std::move(valid).error()};
        }
        settings.shape_shortcuts = shortcuts;
    }
    if (version >= 6) {
        const auto width = parse_stroke_width(line(14));
        if (!width) {
            return Unexpected{kInvalidPresentationStroke};
        }
        settings.presentation_stroke_width = *width;
        const std::string_view arrow = line(15);
        if (arrow == "16") {
            settings.presentation_arrow_size = 16;
        } else if (arrow == "28") {
            settings.presentation_arrow_size = 28;
        } else if (arrow == "40") {
            settings.presentation_arrow_size = 40;
        } else {
            return Unexpected{kInvalidArrowSize};
        }
    }
    if (version >= 7) {
        if (!parse_offset(line(16), settings.input_display_offset)) {
            return Unexpected{kInvalidOffset};
        }
        const auto lock = parse_bool(line(17));
        if (!lock) {
            return Unexpected{kInvalidLock};
        }
        settings.input_display_lock = *lock;
    }
    {
        const auto key = parse_u32(line(3));
        const auto modifiers = parse_u32(line(2));
        if (!key || !modifiers) {
            return Unexpected{kInvalidNumber};
        }
        const auto style = parse_bool(line(4));
        if (*modifiers > kMaxModifiers || *key > kMaxKey || !style) {
            return Unexpected{kInvalidShortcutOrStyle};
        }
        settings.capture_modifiers = *modifiers;
        settings.capture_key = *key;
        settings.drawing_style = *style;
    }
    if (!parse_folder(line(5), settings.save_folder)) {
        return Unexpected{kInvalidFolder};
    }
    if (version >= 9) {
        const auto start = parse_bool(line(19));
        if (!start) {
            return Unexpected{kInvalidStartup};
        }
        settings.start_with_windows = *start;
        const auto width = parse_stroke_width(line(20));
        if (!width) {
            return Unexpected{kInvalidCaptureStroke};
        }
        settings.capture_stroke_width = *width;
    }
    if (version >= 8) {
        const auto custom = parse_color(line(18));
        if (!custom) {
            return Unexpected{kInvalidCustomColor};
        }
        settings.custom_color = *custom;
    }
    return settings;
}

std::string format_settings(const Settings& settings) {
    std::string out;
    out.reserve(160 + settings.save_folder.size() * 5);
    out.append(kSettingsHeaderPrefix);
    out.push_back(static_cast<char>('0' + kSettingsVersion));
    out.push_back('\n');

    append_number_line(out, settings.capture_modifiers);
    append_number_line(out, settings.capture_key);
    append_bool_line(out, settings.drawing_style);
    for (std::size_t i = 0; i < settings.save_folder.size(); ++i) {
        if (i != 0) {
            out.push_back(',');
        }
        append_hex_unit(out, settings.save_folder[i]);
    }
    out.push_back('\n');
    append_bool_line(out, settings.live_capture);
    append_number_line(out, settings.shape_duration_ms);
    append_color_line(out, settings.presentation_color_1);
    append_color_line(out, settings.presentation_color_2);
    append_number_line(out, settings.input_display_position);
    for (const ShapeShortcut& shortcut : settings.shape_shortcuts) {
        append_line(out, std::to_string(shortcut.modifiers) + "," + std::to_string(shortcut.key));
    }
    append_number_line(out, settings.presentation_stroke_width);
    append_number_line(out, settings.presentation_arrow_size);
    if (settings.input_display_offset) {
        append_line(out, std::to_string(settings.input_display_offset->first) + "," +
                             std::to_string(settings.input_display_offset->second));
    } else {
        append_line(out, "-");
    }
    append_bool_line(out, settings.input_display_lock);
    append_color_line(out, settings.custom_color);
    append_bool_line(out, settings.start_with_windows);
    append_number_line(out, settings.capture_stroke_width);
    return out;
}

Expected<void> validate_settings(const Settings& settings) {
    // The reader is the authority on what it accepts; asking it keeps the
    // two from drifting apart. The text is canonical, so an accepted record
    // always reads back equal.
    auto parsed = parse_settings(format_settings(settings));
    if (!parsed) {
        return Unexpected{std::move(parsed).error()};
    }
    return {};
}

Expected<Settings> parse_settings_file(std::string_view bytes) {
    if (!is_valid_utf8(bytes)) {
        return Unexpected{kInvalidUtf8Message};
    }
    return parse_settings(bytes);
}

}  // namespace kadrovix
