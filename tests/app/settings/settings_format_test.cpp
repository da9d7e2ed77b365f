#include "settings/settings.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kadrovix {
namespace {

constexpr const char* kUnsupported = "Unsupported or damaged settings. The original file was preserved.";

constexpr std::array<std::size_t, 9> kLineCounts{5, 6, 9, 10, 13, 15, 17, 18, 20};

// The file the writer produces from the defaults with an empty folder.
const std::vector<std::string> kDefaultLines{
    "kadrovix-settings-9", "0", "0", "0", "", "0", "3000", "ffd340", "ed4f5c", "4",
    "1,70", "1,82", "1,67", "5", "28", "-", "0", "ed4f5c", "1", "3",
};

// Lines of a version `version` file holding the defaults; index 0 is line 1.
std::vector<std::string> default_lines(int version) {
    std::vector<std::string> lines(kDefaultLines.begin(), kDefaultLines.begin() + kLineCounts[version - 1]);
    lines[0] = "kadrovix-settings-" + std::to_string(version);
    return lines;
}

std::string join(const std::vector<std::string>& lines, std::string_view ending = "\n") {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += ending;
    }
    return text;
}

// A version 9 file of defaults with the given 1-based lines replaced.
using LineChanges = std::vector<std::pair<int, std::string>>;

std::string file_with(const LineChanges& changes, int version = 9) {
    auto lines = default_lines(version);
    for (const auto& [number, text] : changes) {
        lines[number - 1] = text;
    }
    return join(lines);
}

std::string error_of(const Expected<Settings>& result) {
    return result ? std::string("(loaded)") : result.error();
}

std::string error_of(const Expected<void>& result) {
    return result ? std::string("(valid)") : result.error();
}

std::vector<std::string> split_lf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        EXPECT_NE(lf, std::string::npos) << "every written line ends in LF";
        if (lf == std::string::npos) {
            break;
        }
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

// ---------------------------------------------------------------------------
// Defaults and the written form

TEST(SettingsFormatTest, DefaultsAreTheDocumentedValues) {
    const Settings s = default_settings();
    EXPECT_EQ(s.capture_modifiers, 0u);
    EXPECT_EQ(s.capture_key, 0u);
    EXPECT_FALSE(s.drawing_style);
    EXPECT_TRUE(s.save_folder.empty());
    EXPECT_FALSE(s.live_capture);
    EXPECT_EQ(s.shape_duration_ms, 3000u);
    EXPECT_EQ(s.presentation_color_1, (Rgb{0xff, 0xd3, 0x40}));
    EXPECT_EQ(s.presentation_color_2, (Rgb{0xed, 0x4f, 0x5c}));
    EXPECT_EQ(s.input_display_position, 4);
    EXPECT_EQ(s.shape_shortcuts[kArrowShortcut], (ShapeShortcut{1, 0x46}));
    EXPECT_EQ(s.shape_shortcuts[kRectangleShortcut], (ShapeShortcut{1, 0x52}));
    EXPECT_EQ(s.shape_shortcuts[kEllipseShortcut], (ShapeShortcut{1, 0x43}));
    EXPECT_EQ(s.presentation_stroke_width, 5u);
    EXPECT_EQ(s.presentation_arrow_size, 28u);
    EXPECT_FALSE(s.input_display_offset.has_value());
    EXPECT_FALSE(s.input_display_lock);
    EXPECT_EQ(s.custom_color, (Rgb{0xed, 0x4f, 0x5c}));
    EXPECT_TRUE(s.start_with_windows);
    EXPECT_EQ(s.capture_stroke_width, 3u);
    EXPECT_TRUE(validate_shape_shortcuts(s.shape_shortcuts));
}

TEST(SettingsFormatTest, DefaultsFormatAsTheReferenceFileByteForByte) {
    EXPECT_EQ(format_settings(default_settings()), join(kDefaultLines));
    const auto parsed = parse_settings(join(kDefaultLines));
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(*parsed, default_settings());
}

TEST(SettingsFormatTest, WriterUsesLowercaseHexAndPlainDecimal) {
    Settings s;
    s.capture_modifiers = 15;
    s.capture_key = 254;
    s.drawing_style = true;
    s.save_folder = u"C:\\A";
    s.live_capture = true;
    s.shape_duration_ms = 1000;
    s.presentation_color_1 = {0x0A, 0xBC, 0x01};
    s.presentation_color_2 = {0x00, 0x00, 0x00};
    s.input_display_position = 0;
    s.shape_shortcuts = {{{2, 65}, {10, 9}, {7, 27}}};
    s.presentation_stroke_width = 40;
    s.presentation_arrow_size = 16;
    s.input_display_offset = InputDisplayOffset{10000, 0};
    s.input_display_lock = true;
    s.custom_color = {0xFF, 0xFF, 0xFF};
    s.start_with_windows = false;
    s.capture_stroke_width = 1;
    const std::string expected =
        "kadrovix-settings-9\n15\n254\n1\n43,3a,5c,41\n1\n1000\n0abc01\n000000\n0\n"
        "2,65\n10,9\n7,27\n40\n16\n10000,0\n1\nffffff\n0\n1\n";
    EXPECT_EQ(format_settings(s), expected);
    const auto parsed = parse_settings(expected);
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(*parsed, s);
}

TEST(SettingsFormatTest, FolderIsWrittenAsHexCodeUnits) {
    Settings s;
    s.save_folder = u"C:\\A";
    EXPECT_EQ(split_lf(format_settings(s)).at(4), "43,3a,5c,41");

    // Unpaired surrogates (a path that is not valid Unicode), NUL and the
    // largest unit all read back unchanged.
    s.save_folder = std::u16string{u'C', char16_t{0xD800}, u'\\', char16_t{0xDC01}, char16_t{0}, char16_t{0xFFFF}};
    const std::string text = format_settings(s);
    EXPECT_EQ(split_lf(text).at(4), "43,d800,5c,dc01,0,ffff");
    const auto parsed = parse_settings(text);
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(parsed->save_folder, s.save_folder);
}

TEST(SettingsFormatTest, EveryCodeUnitRoundTripsThroughTheFolderLine) {
    Settings s;
    s.save_folder.resize(1);
    for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
        s.save_folder[0] = static_cast<char16_t>(unit);
        const auto parsed = parse_settings(format_settings(s));
        ASSERT_TRUE(parsed) << "unit " << unit << ": " << parsed.error();
        ASSERT_EQ(parsed->save_folder, s.save_folder) << "unit " << unit;
    }
}

// ---------------------------------------------------------------------------
// Versions and migration

// A non-default value on every line, and the field it sets.
struct LineValue {
    int line;
    const char* text;
    std::function<void(Settings&)> apply;
};

const std::vector<LineValue>& non_default_values() {
    static const std::vector<LineValue> values{
        {2, "6", [](Settings& s) { s.capture_modifiers = 6; }},
        {3, "80", [](Settings& s) { s.capture_key = 80; }},
        {4, "1", [](Settings& s) { s.drawing_style = true; }},
        {5, "43,3a,5c,41", [](Settings& s) { s.save_folder = u"C:\\A"; }},
        {6, "1", [](Settings& s) { s.live_capture = true; }},
        {7, "5000", [](Settings& s) { s.shape_duration_ms = 5000; }},
        {8, "010203", [](Settings& s) { s.presentation_color_1 = {1, 2, 3}; }},
        {9, "A0B0C0", [](Settings& s) { s.presentation_color_2 = {0xa0, 0xb0, 0xc0}; }},
        {10, "0", [](Settings& s) { s.input_display_position = 0; }},
        {11, "2,65", [](Settings& s) { s.shape_shortcuts[0] = {2, 65}; }},
        {12, "3,66", [](Settings& s) { s.shape_shortcuts[1] = {3, 66}; }},
        {13, "9,67", [](Settings& s) { s.shape_shortcuts[2] = {9, 67}; }},
        {14, "40", [](Settings& s) { s.presentation_stroke_width = 40; }},
        {15, "16", [](Settings& s) { s.presentation_arrow_size = 16; }},
        {16, "12,3456", [](Settings& s) { s.input_display_offset = InputDisplayOffset{12, 3456}; }},
        {17, "1", [](Settings& s) { s.input_display_lock = true; }},
        {18, "0a0b0c", [](Settings& s) { s.custom_color = {10, 11, 12}; }},
        {19, "0", [](Settings& s) { s.start_with_windows = false; }},
        {20, "17", [](Settings& s) { s.capture_stroke_width = 17; }},
    };
    return values;
}

TEST(SettingsFormatTest, EveryVersionLoadsItsLinesAndDefaultsTheRest) {
    for (int version = 1; version <= 9; ++version) {
        SCOPED_TRACE("version " + std::to_string(version));
        const std::size_t count = kLineCounts[version - 1];

        const auto plain = parse_settings(join(default_lines(version)));
        ASSERT_TRUE(plain) << plain.error();
        EXPECT_EQ(*plain, default_settings());

        auto lines = default_lines(version);
        Settings expected = default_settings();
        for (const auto& value : non_default_values()) {
            if (static_cast<std::size_t>(value.line) <= count) {
                lines[value.line - 1] = value.text;
                value.apply(expected);
            }
        }
        const auto parsed = parse_settings(join(lines));
        ASSERT_TRUE(parsed) << parsed.error();
        EXPECT_EQ(*parsed, expected);

        // The next save writes version 9 with the same values.
        const std::string rewritten = format_settings(*parsed);
        const auto rewritten_lines = split_lf(rewritten);
        ASSERT_EQ(rewritten_lines.size(), 20u);
        EXPECT_EQ(rewritten_lines[0], "kadrovix-settings-9");
        for (std::size_t i = 1; i < count; ++i) {
            // Colours come back lowercase; everything else exactly as read.
            std::string original = lines[i];
            for (char& c : original) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            EXPECT_EQ(rewritten_lines[i], original) << "line " << i + 1;
        }
        const auto reparsed = parse_settings(rewritten);
        ASSERT_TRUE(reparsed) << reparsed.error();
        EXPECT_EQ(*reparsed, expected);
    }
}

TEST(SettingsFormatTest, VersionOneFileMigratesToVersionNine) {
    const auto parsed = parse_settings("kadrovix-settings-1\n4\n65\n1\n43,3a,5c,41\n");
    ASSERT_TRUE(parsed) << parsed.error();
    Settings expected;
    expected.capture_modifiers = 4;
    expected.capture_key = 65;
    expected.drawing_style = true;
    expected.save_folder = u"C:\\A";
    EXPECT_EQ(*parsed, expected);
    EXPECT_EQ(format_settings(*parsed),
              "kadrovix-settings-9\n4\n65\n1\n43,3a,5c,41\n0\n3000\nffd340\ned4f5c\n4\n"
              "1,70\n1,82\n1,67\n5\n28\n-\n0\ned4f5c\n1\n3\n");
}

TEST(SettingsFormatTest, LineCountMustMatchTheHeaderVersion) {
    // Every count that is not a version's, and every header on every count.
    for (std::size_t count = 0; count <= 24; ++count) {
        for (int header = 1; header <= 9; ++header) {
            std::vector<std::string> lines = default_lines(9);
            lines.resize(count, "0");
            if (count > 0) {
                lines[0] = "kadrovix-settings-" + std::to_string(header);
            }
            const bool matches = count == kLineCounts[header - 1];
            const auto result = parse_settings(join(lines));
            if (matches) {
                EXPECT_TRUE(result) << "count " << count << " header " << header << ": " << result.error();
            } else {
                EXPECT_EQ(error_of(result), kUnsupported) << "count " << count << " header " << header;
            }
        }
    }
}

TEST(SettingsFormatTest, DamagedStructureIsUnsupported) {
    const std::string v9 = join(default_lines(9));
    EXPECT_EQ(error_of(parse_settings("")), kUnsupported);
    EXPECT_EQ(error_of(parse_settings("\n")), kUnsupported);
    auto seven = default_lines(9);
    seven.resize(7);
    EXPECT_EQ(error_of(parse_settings(join(seven))), kUnsupported);
    EXPECT_EQ(error_of(parse_settings(v9 + "\n")), kUnsupported) << "a trailing blank line is a 21st line";
    EXPECT_EQ(error_of(parse_settings(v9 + "\r\n")), kUnsupported);
    EXPECT_EQ(error_of(parse_settings("\xEF\xBB\xBF" + v9)), kUnsupported) << "byte-order mark";
    EXPECT_EQ(error_of(parse_settings(file_with({{1, "kadrovix-settings-9 "}}))), kUnsupported);
    EXPECT_EQ(error_of(parse_settings(file_with({{1, "Kadrovix-settings-9"}}))), kUnsupported);
    EXPECT_EQ(error_of(parse_settings(file_with({{1, "kadrovix-settings-09"}}))), kUnsupported);
    EXPECT_EQ(error_of(parse_settings(file_with({{1, "kadrovix-settings-"}}))), kUnsupported);
    EXPECT_EQ(error_of(parse_settings(file_with({{1, "kadrovix-settings-0"}}))), kUnsupported);
    EXPECT_EQ(error_of(parse_settings(file_with({{1, "kadrovix-settings-9\r\r"}}))), kUnsupported)
        << "only the CR directly before the LF is dropped";

    // Huge files with many lines are rejected without trouble.
    std::string many;
    for (int i = 0; i < 100000; ++i) {
        many += "kadrovix-settings-9\n";
    }
    EXPECT_EQ(error_of(parse_settings(many)), kUnsupported);
}

TEST(SettingsFormatTest, VersionNineHeaderOnEighteenLinesIsRejected) {
    auto lines = default_lines(8);
    lines[0] = "kadrovix-settings-9";
    EXPECT_EQ(error_of(parse_settings(join(lines))), kUnsupported);

    lines[0] = "kadrovix-settings-8";
    lines[17] = "123456";
    const auto parsed = parse_settings(join(lines));
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_TRUE(parsed->start_with_windows);
    EXPECT_EQ(parsed->capture_stroke_width, 3u);
    EXPECT_EQ(parsed->custom_color, (Rgb{0x12, 0x34, 0x56}));
}

// ---------------------------------------------------------------------------
// Line endings

TEST(SettingsFormatTest, CrlfReadsExactlyLikeLf) {
    for (int version = 1; version <= 9; ++version) {
        auto lines = default_lines(version);
        for (const auto& value : non_default_values()) {
            if (static_cast<std::size_t>(value.line) <= lines.size()) {
                lines[value.line - 1] = value.text;
            }
        }
        const auto lf = parse_settings(join(lines, "\n"));
        const auto crlf = parse_settings(join(lines, "\r\n"));
        ASSERT_TRUE(lf) << lf.error();
        ASSERT_TRUE(crlf) << crlf.error();
        EXPECT_EQ(*lf, *crlf) << "version " << version;

        // The last line may lack its ending, with either style.
        std::string open_lf = join(lines, "\n");
        open_lf.pop_back();
        std::string open_crlf = join(lines, "\r\n");
        open_crlf.resize(open_crlf.size() - 2);
        const auto a = parse_settings(open_lf);
        const auto b = parse_settings(open_crlf);
        ASSERT_TRUE(a) << a.error();
        ASSERT_TRUE(b) << b.error();
        EXPECT_EQ(*a, *lf);
        EXPECT_EQ(*b, *lf);
    }

    // Mixed endings within one file.
    std::string mixed = join(default_lines(9), "\r\n");
    mixed.replace(mixed.find("3000\r\n"), 6, "3000\n");
    const auto parsed = parse_settings(mixed);
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(*parsed, default_settings());
}

TEST(SettingsFormatTest, StrayCarriageReturnsArePartOfTheValue) {
    EXPECT_EQ(error_of(parse_settings(file_with({{6, "1\r0"}}))), "Invalid live capture setting");
    EXPECT_EQ(error_of(parse_settings(file_with({{6, "1\r\r"}}))), "Invalid live capture setting")
        << "CR CR LF drops only one CR";
    EXPECT_EQ(error_of(parse_settings(file_with({{6, "\r1"}}))), "Invalid live capture setting");

    // A final line ending in CR without LF keeps its CR.
    std::string text = join(default_lines(9));
    text.back() = '\r';
    EXPECT_EQ(error_of(parse_settings(text)), "Invalid capture stroke width");

    // A lone CR does not split a line.
    auto lines = default_lines(9);
    lines[18] = "1\r3";
    lines.pop_back();
    EXPECT_EQ(error_of(parse_settings(join(lines))), kUnsupported);
}

// ---------------------------------------------------------------------------
// Value syntax, line by line

struct LineCase {
    int line;
    const char* text;
    const char* message;  // nullptr when the line is accepted
};

void check_line_cases(const std::vector<LineCase>& cases) {
    for (const auto& c : cases) {
        const auto result = parse_settings(file_with({{c.line, c.text}}));
        if (c.message == nullptr) {
            EXPECT_TRUE(result) << "line " << c.line << " \"" << c.text << "\": " << error_of(result);
        } else {
            EXPECT_EQ(error_of(result), c.message) << "line " << c.line << " \"" << c.text << "\"";
        }
    }
}

TEST(SettingsFormatTest, CaptureShortcutAndDrawingStyleLines) {
    constexpr const char* kNumber = "Invalid settings number";
    constexpr const char* kRange = "Invalid shortcut or drawing style";
    check_line_cases({
        {2, "0", nullptr},       {2, "15", nullptr},   {2, "+3", nullptr},   {2, "0003", nullptr},
        {2, "16", kRange},       {2, "4294967295", kRange},                  {2, "4294967296", kNumber},
        {2, "99999999999999999999", kNumber},          {2, "a", kNumber},    {2, "", kNumber},
        {2, "-1", kNumber},      {2, "-0", kNumber},   {2, "+", kNumber},    {2, "++3", kNumber},
        {2, " 3", kNumber},      {2, "3 ", kNumber},   {2, "3\t", kNumber},  {2, "0x3", kNumber},
        {2, "\xEF\xBC\x93", kNumber},  // a full-width digit
        {3, "0", nullptr},       {3, "254", nullptr},  {3, "+254", nullptr}, {3, "255", kRange},
        {3, "x", kNumber},       {3, "", kNumber},     {3, "1e2", kNumber},
        {4, "0", nullptr},       {4, "1", nullptr},    {4, "2", kRange},     {4, "", kRange},
        {4, "01", kRange},       {4, "+1", kRange},    {4, "true", kRange},
    });

    auto parsed = parse_settings(file_with({{2, "+3"}, {3, "0"}}));
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(parsed->capture_modifiers, 3u);
    EXPECT_EQ(parsed->capture_key, 0u);

    for (std::uint32_t value = 0; value <= 300; ++value) {
        const auto modifiers = parse_settings(file_with({{2, std::to_string(value)}}));
        EXPECT_EQ(error_of(modifiers), value <= 15 ? "(loaded)" : kRange) << value;
        if (modifiers) {
            EXPECT_EQ(modifiers->capture_modifiers, value);
        }
        const auto key = parse_settings(file_with({{3, std::to_string(value)}}));
        EXPECT_EQ(error_of(key), value <= 254 ? "(loaded)" : kRange) << value;
        if (key) {
            EXPECT_EQ(key->capture_key, value);
        }
    }
}

TEST(SettingsFormatTest, FolderLine) {
    constexpr const char* kFolder = "Invalid folder encoding";
    const auto folder_of = [](const char* line) {
        const auto parsed = parse_settings(file_with({{5, line}}));
        EXPECT_TRUE(parsed) << line << ": " << error_of(parsed);
        return parsed ? parsed->save_folder : std::u16string(u"(failed)");
    };
    EXPECT_EQ(folder_of(""), u"");
    EXPECT_EQ(folder_of(","), u"");
    EXPECT_EQ(folder_of(",,,"), u"");
    EXPECT_EQ(folder_of("43,,3a,"), u"C:");
    EXPECT_EQ(folder_of(",43"), u"C");
    EXPECT_EQ(folder_of("43,3A,5C,41"), u"C:\\A");
    EXPECT_EQ(folder_of("+43,0003a,00005c,+0041"), u"C:\\A");
    EXPECT_EQ(folder_of("FFFF,d800"), (std::u16string{char16_t{0xFFFF}, char16_t{0xD800}}));
    EXPECT_EQ(folder_of("0000000000000041"), u"A") << "leading zeros do not count as significant digits";

    check_line_cases({
        {5, "10000", kFolder},  // five significant digits: more than 16 bits
        {5, "43,g", kFolder},   {5, "43,3z", kFolder}, {5, "+", kFolder},     {5, "43,+", kFolder},
        {5, "++43", kFolder},   {5, "-43", kFolder},   {5, " 43", kFolder},   {5, "43 ", kFolder},
        {5, "43;3a", kFolder},  {5, "0x43", kFolder},  {5, "C:\\A", kFolder}, {5, "43,\t", kFolder},
    });
}

TEST(SettingsFormatTest, LiveCaptureLine) {
    constexpr const char* kLive = "Invalid live capture setting";
    check_line_cases({
        {6, "0", nullptr}, {6, "1", nullptr}, {6, "2", kLive}, {6, "", kLive},
        {6, " 1", kLive},  {6, "01", kLive},  {6, "+1", kLive}, {6, "true", kLive},
    });
}

TEST(SettingsFormatTest, PresentationDurationAndColourLines) {
    constexpr const char* kDuration = "Invalid presentation duration";
    constexpr const char* kColor = "Invalid presentation color";
    check_line_cases({
        {7, "1000", nullptr},   {7, "3000", nullptr},  {7, "5000", nullptr},  {7, "2000", kDuration},
        {7, "03000", kDuration}, {7, "+3000", kDuration}, {7, "", kDuration}, {7, "3000 ", kDuration},
        {7, "3e3", kDuration},
        {8, "FFD340", nullptr}, {8, "FfD340", nullptr}, {8, "000000", nullptr}, {8, "ffd34", kColor},
        {8, "ffd3400", kColor}, {8, "gfd340", kColor},  {8, "+fd340", kColor},  {8, "#ffd340", kColor},
        {8, "", kColor},        {8, " fd340", kColor},  {8, "ff d340", kColor},
        {9, "ABCDEF", nullptr}, {9, "abcdeg", kColor},  {9, "12345", kColor},   {9, "-12345", kColor},
    });
}

TEST(SettingsFormatTest, ColoursReadInEitherCaseAndAreWrittenLowercase) {
    for (int value = 0; value < 256; ++value) {
        static constexpr char kLower[] = "0123456789abcdef";
        static constexpr char kUpper[] = "0123456789ABCDEF";
        const std::string lower{kLower[value >> 4], kLower[value & 15]};
        const std::string upper{kUpper[value >> 4], kUpper[value & 15]};
        const auto a = parse_settings(file_with({{8, lower + "0000"}, {9, "00" + upper + "00"}, {18, "0000" + upper}}));
        const auto b = parse_settings(file_with({{8, upper + "0000"}, {9, "00" + lower + "00"}, {18, "0000" + lower}}));
        ASSERT_TRUE(a) << a.error();
        ASSERT_TRUE(b) << b.error();
        const auto v = static_cast<std::uint8_t>(value);
        EXPECT_EQ(a->presentation_color_1, (Rgb{v, 0, 0}));
        EXPECT_EQ(a->presentation_color_2, (Rgb{0, v, 0}));
        EXPECT_EQ(a->custom_color, (Rgb{0, 0, v}));
        EXPECT_EQ(*a, *b);
        const auto lines = split_lf(format_settings(*b));
        EXPECT_EQ(lines.at(7), lower + "0000");
        EXPECT_EQ(lines.at(8), "00" + lower + "00");
        EXPECT_EQ(lines.at(17), "0000" + lower);
    }
}

TEST(SettingsFormatTest, InputDisplayPositionLine) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string text(1, static_cast<char>(byte));
        if (byte == '\n' || byte == '\r') {
            continue;  // would change the line structure, not the value
        }
        const auto parsed = parse_settings(file_with({{10, text}}));
        if (byte >= '0' && byte <= '5') {
            ASSERT_TRUE(parsed) << parsed.error();
            EXPECT_EQ(parsed->input_display_position, byte - '0');
        } else {
            EXPECT_EQ(error_of(parsed), "Invalid input display position") << byte;
        }
    }
    check_line_cases({
        {10, "", "Invalid input display position"},
        {10, "00", "Invalid input display position"},
        {10, "+4", "Invalid input display position"},
        {10, "-1", "Invalid input display position"},
    });
}

TEST(SettingsFormatTest, ShapeShortcutLines) {
    constexpr const char* kInvalid = "Invalid shape shortcut";
    constexpr const char* kNeedsCtrlOrAlt =
        "Choose a shortcut with Ctrl or Alt to avoid triggering shapes while typing.";
    check_line_cases({
        {11, "1,70", nullptr},  {11, "+2,+70", nullptr}, {11, "0002,070", nullptr}, {11, "1;70", kInvalid},
        {11, "170", kInvalid},  {11, "1,", kInvalid},    {11, ",70", kInvalid},     {11, "1,70,3", kInvalid},
        {11, "1, 70", kInvalid}, {11, "-1,70", kInvalid}, {11, "", kInvalid},       {11, ",", kInvalid},
        {11, "1,0", kInvalid},  {11, "1,255", kInvalid}, {11, "16,70", kInvalid},   {11, "4294967296,70", kInvalid},
        {11, "4294967295,70", kInvalid},                 {11, "1,254", nullptr},    {11, "1,1", nullptr},
        {11, "4,70", kNeedsCtrlOrAlt},                   {11, "0,70", kNeedsCtrlOrAlt},
        {11, "3,27", "Ctrl+Alt+Escape is reserved"},     {11, "7,27", nullptr},
        {12, "4,70", kNeedsCtrlOrAlt},                   {13, "8,70", kNeedsCtrlOrAlt},
        {12, "1,70", "Duplicate shape shortcut"},        {13, "1,70", "Duplicate shape shortcut"},
        {13, "1,82", "Duplicate shape shortcut"},        {13, "+1,0082", "Duplicate shape shortcut"},
        {13, "2,70", nullptr},
    });
    // The example files of shape shortcut faults.
    EXPECT_EQ(error_of(parse_settings(file_with({{11, "1,70"}, {12, "1,70"}, {13, "1,67"}}))),
              "Duplicate shape shortcut");

    const auto parsed = parse_settings(file_with({{11, "+2,0065"}, {12, "15,66"}, {13, "6,67"}}));
    ASSERT_TRUE(parsed) << parsed.error();
    EXPECT_EQ(parsed->shape_shortcuts, (ShapeShortcuts{{{2, 65}, {15, 66}, {6, 67}}}));
}

TEST(SettingsFormatTest, PresentationStrokeArrowOffsetAndLockLines) {
    constexpr const char* kStroke = "Invalid presentation stroke width";
    constexpr const char* kArrow = "Invalid presentation arrow size";
    constexpr const char* kOffset = "Invalid input display offset";
    constexpr const char* kLock = "Invalid input display lock";
    check_line_cases({
        {14, "05", kStroke},    {14, "+5", kStroke},    {14, "40", nullptr},     {14, "41", kStroke},
        {14, "0", kStroke},     {14, "1", nullptr},     {14, "100", kStroke},    {14, "", kStroke},
        {14, "-5", kStroke},    {14, "5 ", kStroke},    {14, "040", kStroke},
        {15, "16", nullptr},    {15, "28", nullptr},    {15, "40", nullptr},     {15, "20", kArrow},
        {15, "028", kArrow},    {15, "+28", kArrow},    {15, "", kArrow},
        {16, "-", nullptr},     {16, "10000,0", nullptr}, {16, "0,10000", nullptr}, {16, "0,0", nullptr},
        {16, "007,08", nullptr}, {16, "10001,0", kOffset}, {16, "0,10001", kOffset}, {16, "-5,3", kOffset},
        {16, "5", kOffset},     {16, "5,", kOffset},    {16, ",5", kOffset},     {16, "5,3,1", kOffset},
        {16, "+5,3", kOffset},  {16, " 5,3", kOffset},  {16, "5,3 ", kOffset},   {16, "--", kOffset},
        {16, "", kOffset},      {16, "99999999999999999999,1", kOffset},         {16, "-,", kOffset},
        {17, "0", nullptr},     {17, "1", nullptr},     {17, "2", kLock},        {17, "", kLock},
    });
    const auto offset = parse_settings(file_with({{16, "007,10000"}}));
    ASSERT_TRUE(offset) << offset.error();
    EXPECT_EQ(offset->input_display_offset, (std::optional<InputDisplayOffset>{InputDisplayOffset{7, 10000}}));
}

TEST(SettingsFormatTest, StrokeWidthsMustBeCanonical) {
    for (int line : {14, 20}) {
        const char* message = line == 14 ? "Invalid presentation stroke width" : "Invalid capture stroke width";
        for (int value = 0; value <= 100; ++value) {
            const auto plain = parse_settings(file_with({{line, std::to_string(value)}}));
            if (value >= 1 && value <= 40) {
                ASSERT_TRUE(plain) << plain.error();
                EXPECT_EQ(line == 14 ? plain->presentation_stroke_width : plain->capture_stroke_width,
                          static_cast<std::uint32_t>(value));
            } else {
                EXPECT_EQ(error_of(plain), message) << value;
            }
            EXPECT_EQ(error_of(parse_settings(file_with({{line, "0" + std::to_string(value)}}))), message);
            EXPECT_EQ(error_of(parse_settings(file_with({{line, "+" + std::to_string(value)}}))), message);
        }
    }
}

TEST(SettingsFormatTest, CustomColourStartupAndCaptureStrokeLines) {
    constexpr const char* kCustom = "Invalid custom color";
    constexpr const char* kStartup = "Invalid startup setting";
    constexpr const char* kCapture = "Invalid capture stroke width";
    check_line_cases({
        {18, "123ABC", nullptr}, {18, "12345", kCustom}, {18, "1234567", kCustom}, {18, "12345g", kCustom},
        {18, "", kCustom},
        {19, "0", nullptr},      {19, "1", nullptr},     {19, "2", kStartup},      {19, "", kStartup},
        {19, "yes", kStartup},
        {20, "05", kCapture},    {20, "+5", kCapture},   {20, "41", kCapture},     {20, "0", kCapture},
        {20, "40", nullptr},     {20, "", kCapture},
    });
}

TEST(SettingsFormatTest, DrawingStyleSurvivesLoadAndSave) {
    for (const char* style : {"0", "1"}) {
        const auto parsed = parse_settings(file_with({{4, style}}));
        ASSERT_TRUE(parsed) << parsed.error();
        EXPECT_EQ(split_lf(format_settings(*parsed)).at(3), style);
    }
}

// ---------------------------------------------------------------------------
// Which fault is reported

TEST(SettingsFormatTest, FirstFaultInCheckOrderIsReported) {
    struct OrderCase {
        LineChanges changes;
        const char* message;
    };
    const std::vector<OrderCase> cases{
        // Lines 2 to 4 are checked after line 17.
        {{{2, "x"}, {6, "x"}}, "Invalid live capture setting"},
        {{{3, "255"}, {16, "x"}}, "Invalid input display offset"},
        {{{4, "2"}, {17, "x"}}, "Invalid input display lock"},
        {{{2, "x"}, {11, "x"}}, "Invalid shape shortcut"},
        {{{2, "x"}, {14, "x"}}, "Invalid presentation stroke width"},
        // ...but before lines 5, 18, 19 and 20.
        {{{2, "x"}, {5, "x"}}, "Invalid settings number"},
        {{{4, "2"}, {5, "x"}}, "Invalid shortcut or drawing style"},
        {{{2, "x"}, {18, "x"}}, "Invalid settings number"},
        {{{3, "x"}, {19, "x"}}, "Invalid settings number"},
        {{{4, "x"}, {20, "x"}}, "Invalid shortcut or drawing style"},
        // Both capture lines are parsed before either is range-checked.
        {{{2, "16"}, {3, "x"}}, "Invalid settings number"},
        {{{3, "255"}, {2, "x"}}, "Invalid settings number"},
        {{{4, "2"}, {3, "x"}}, "Invalid settings number"},
        // Line 5 before 19, 19 before 20, and 20 before 18.
        {{{5, "x"}, {19, "x"}}, "Invalid folder encoding"},
        {{{19, "x"}, {20, "x"}}, "Invalid startup setting"},
        {{{20, "x"}, {18, "x"}}, "Invalid capture stroke width"},
        {{{5, "x"}, {18, "x"}}, "Invalid folder encoding"},
        // The presentation lines in file order.
        {{{6, "x"}, {7, "x"}}, "Invalid live capture setting"},
        {{{7, "x"}, {8, "x"}}, "Invalid presentation duration"},
        {{{9, "x"}, {10, "x"}}, "Invalid presentation color"},
        {{{10, "x"}, {11, "x"}}, "Invalid input display position"},
        {{{13, "x"}, {14, "x"}}, "Invalid shape shortcut"},
        {{{14, "x"}, {15, "x"}}, "Invalid presentation stroke width"},
        {{{15, "x"}, {16, "x"}}, "Invalid presentation arrow size"},
        {{{16, "x"}, {17, "x"}}, "Invalid input display offset"},
        // All three shape lines are parsed before the shortcut rule runs.
        {{{11, "4,70"}, {13, "x"}}, "Invalid shape shortcut"},
        {{{11, "3,27"}, {12, "4,70"}}, "Ctrl+Alt+Escape is reserved"},
        // A duplicate second shortcut is found before the third is checked.
        {{{12, "1,70"}, {13, "4,5"}}, "Duplicate shape shortcut"},
        // Structure before everything.
        {{{1, "kadrovix-settings-8"}, {6, "x"}}, kUnsupported},
    };
    for (const auto& c : cases) {
        std::string description;
        for (const auto& [line, text] : c.changes) {
            description += " line " + std::to_string(line) + "=\"" + text + "\"";
        }
        EXPECT_EQ(error_of(parse_settings(file_with(c.changes))), c.message) << description;
    }
}

TEST(SettingsFormatTest, OlderVersionsIgnoreNothingTheyHold) {
    // The late check of lines 2 to 5 applies to every version.
    for (int version = 1; version <= 9; ++version) {
        EXPECT_EQ(error_of(parse_settings(file_with({{2, "x"}}, version))), "Invalid settings number") << version;
        EXPECT_EQ(error_of(parse_settings(file_with({{3, "255"}}, version))), "Invalid shortcut or drawing style");
        EXPECT_EQ(error_of(parse_settings(file_with({{5, "x"}}, version))), "Invalid folder encoding") << version;
    }
    EXPECT_EQ(error_of(parse_settings(file_with({{6, "x"}}, 2))), "Invalid live capture setting");
    EXPECT_EQ(error_of(parse_settings(file_with({{9, "x"}}, 3))), "Invalid presentation color");
    EXPECT_EQ(error_of(parse_settings(file_with({{10, "x"}}, 4))), "Invalid input display position");
    EXPECT_EQ(error_of(parse_settings(file_with({{13, "1,70"}}, 5))), "Duplicate shape shortcut");
    EXPECT_EQ(error_of(parse_settings(file_with({{15, "x"}}, 6))), "Invalid presentation arrow size");
    EXPECT_EQ(error_of(parse_settings(file_with({{17, "x"}}, 7))), "Invalid input display lock");
    EXPECT_EQ(error_of(parse_settings(file_with({{18, "x"}}, 8))), "Invalid custom color");
}

// ---------------------------------------------------------------------------
// Shape-shortcut rule

TEST(SettingsFormatTest, ShapeShortcutRuleChecksInOrder) {
    constexpr const char* kInvalid = "Invalid shape shortcut";
    constexpr const char* kNeedsCtrlOrAlt =
        "Choose a shortcut with Ctrl or Alt to avoid triggering shapes while typing.";
    constexpr const char* kReserved = "Ctrl+Alt+Escape is reserved";
    constexpr const char* kDuplicate = "Duplicate shape shortcut";
    const ShapeShortcut good_a{1, 70};
    const ShapeShortcut good_b{2, 70};
    const ShapeShortcut good_c{1, 71};
    struct RuleCase {
        ShapeShortcuts shortcuts;
        const char* message;  // nullptr when valid
    };
    const std::vector<RuleCase> cases{
        {{{good_a, good_b, good_c}}, nullptr},
        // Within one shortcut: range, then Ctrl/Alt, then the reserved chord.
        {{{{16, 70}, good_b, good_c}}, kInvalid},
        {{{{4, 0}, good_b, good_c}}, kInvalid},
        {{{{3, 255}, good_b, good_c}}, kInvalid},
        {{{{0xFFFFFFFF, 0xFFFFFFFF}, good_b, good_c}}, kInvalid},
        {{{{4, 27}, good_b, good_c}}, kNeedsCtrlOrAlt},
        {{{{0, 70}, good_b, good_c}}, kNeedsCtrlOrAlt},
        {{{{12, 70}, good_b, good_c}}, kNeedsCtrlOrAlt},
        {{{{3, 27}, good_b, good_c}}, kReserved},
        {{{{1, 27}, good_b, good_c}}, nullptr},
        {{{{2, 27}, good_b, good_c}}, nullptr},
        {{{{7, 27}, good_b, good_c}}, nullptr},
        {{{{15, 27}, good_b, good_c}}, nullptr},
        {{{{5, 1}, {10, 254}, {15, 128}}}, nullptr},
        // The first shortcut's fault wins over later ones.
        {{{{4, 70}, {1, 0}, {3, 27}}}, kNeedsCtrlOrAlt},
        {{{{3, 27}, {4, 70}, good_c}}, kReserved},
        // Second: its own checks, then equality with the first.
        {{{good_a, {1, 255}, good_a}}, kInvalid},
        {{{good_a, {8, 70}, good_c}}, kNeedsCtrlOrAlt},
        {{{good_a, {3, 27}, good_c}}, kReserved},
        {{{good_a, good_a, {0, 0}}}, kDuplicate},
        // Third: its own checks, then equality with the first or second.
        {{{good_a, good_b, {99, 70}}}, kInvalid},
        {{{good_a, good_b, good_a}}, kDuplicate},
        {{{good_a, good_b, good_b}}, kDuplicate},
        {{{good_a, good_b, {4, 70}}}, kNeedsCtrlOrAlt},
        {{{good_a, good_b, {3, 27}}}, kReserved},
        // Same key with other modifiers, or other key with same modifiers, is different.
        {{{{1, 70}, {3, 70}, {9, 70}}}, nullptr},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto result = validate_shape_shortcuts(cases[i].shortcuts);
        EXPECT_EQ(error_of(result), cases[i].message ? cases[i].message : "(valid)") << "case " << i;
    }
}

// ---------------------------------------------------------------------------
// Round trip

std::uint32_t uniform(std::mt19937& rng, std::uint32_t low, std::uint32_t high) {
    // Not std::uniform_int_distribution: its output differs between standard
    // libraries, and these records must be the same everywhere.
    return low + static_cast<std::uint32_t>(rng() % (static_cast<std::uint64_t>(high) - low + 1));
}

Rgb random_color(std::mt19937& rng) {
    return Rgb{static_cast<std::uint8_t>(uniform(rng, 0, 255)), static_cast<std::uint8_t>(uniform(rng, 0, 255)),
               static_cast<std::uint8_t>(uniform(rng, 0, 255))};
}

Settings random_settings(std::mt19937& rng) {
    Settings s;
    s.capture_modifiers = uniform(rng, 0, 15);
    s.capture_key = uniform(rng, 0, 254);
    s.drawing_style = uniform(rng, 0, 1) != 0;
    const std::uint32_t length = uniform(rng, 0, 3) == 0 ? 0 : uniform(rng, 1, 60);
    for (std::uint32_t i = 0; i < length; ++i) {
        // Mostly path-like characters, with surrogates and extremes mixed in.
        switch (uniform(rng, 0, 3)) {
            case 0: s.save_folder.push_back(static_cast<char16_t>(uniform(rng, 0x20, 0x7E))); break;
            case 1: s.save_folder.push_back(static_cast<char16_t>(uniform(rng, 0xD800, 0xDFFF))); break;
            case 2: s.save_folder.push_back(static_cast<char16_t>(uniform(rng, 0, 15))); break;
            default: s.save_folder.push_back(static_cast<char16_t>(uniform(rng, 0, 0xFFFF))); break;
        }
    }
    s.live_capture = uniform(rng, 0, 1) != 0;
    s.shape_duration_ms = std::array<std::uint32_t, 3>{1000, 3000, 5000}[uniform(rng, 0, 2)];
    s.presentation_color_1 = random_color(rng);
    s.presentation_color_2 = random_color(rng);
    s.input_display_position = static_cast<std::uint8_t>(uniform(rng, 0, 5));
    do {
        for (auto& shortcut : s.shape_shortcuts) {
            shortcut = {uniform(rng, 0, 15), uniform(rng, 1, 254)};
        }
    } while (!validate_shape_shortcuts(s.shape_shortcuts));
    s.presentation_stroke_width = uniform(rng, 1, 40);
    s.presentation_arrow_size = std::array<std::uint32_t, 3>{16, 28, 40}[uniform(rng, 0, 2)];
    if (uniform(rng, 0, 2) == 0) {
        s.input_display_offset.reset();
    } else {
        s.input_display_offset = InputDisplayOffset{static_cast<std::uint16_t>(uniform(rng, 0, 10000)),
                                                    static_cast<std::uint16_t>(uniform(rng, 0, 10000))};
    }
    s.input_display_lock = uniform(rng, 0, 1) != 0;
    s.custom_color = random_color(rng);
    s.start_with_windows = uniform(rng, 0, 1) != 0;
    s.capture_stroke_width = uniform(rng, 1, 40);
    return s;
}

TEST(SettingsFormatTest, RandomRecordsRoundTrip) {
    std::mt19937 rng(20240611u);
    for (int i = 0; i < 5000; ++i) {
        const Settings s = random_settings(rng);
        const std::string text = format_settings(s);
        for (const char c : text) {
            ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << "the writer emits ASCII only";
            ASSERT_NE(c, '\r');
        }
        ASSERT_EQ(split_lf(text).size(), 20u);
        const auto parsed = parse_settings(text);
        ASSERT_TRUE(parsed) << "record " << i << ": " << parsed.error() << "\n" << text;
        ASSERT_EQ(*parsed, s) << "record " << i << "\n" << text;
        ASSERT_EQ(format_settings(*parsed), text);
    }
}

TEST(SettingsFormatTest, ValidateSettingsRefusesWhatTheReaderWouldRefuse) {
    EXPECT_TRUE(validate_settings(default_settings()));
    std::mt19937 rng(7u);
    for (int i = 0; i < 200; ++i) {
        const Settings s = random_settings(rng);
        EXPECT_TRUE(validate_settings(s)) << i;
    }

    struct FieldCase {
        std::function<void(Settings&)> spoil;
        const char* message;
    };
    const std::vector<FieldCase> cases{
        {[](Settings& s) { s.capture_modifiers = 16; }, "Invalid shortcut or drawing style"},
        {[](Settings& s) { s.capture_key = 255; }, "Invalid shortcut or drawing style"},
        {[](Settings& s) { s.shape_duration_ms = 2000; }, "Invalid presentation duration"},
        {[](Settings& s) { s.input_display_position = 6; }, "Invalid input display position"},
        {[](Settings& s) { s.shape_shortcuts[1] = s.shape_shortcuts[0]; }, "Duplicate shape shortcut"},
        {[](Settings& s) { s.shape_shortcuts[2] = {4, 70}; },
         "Choose a shortcut with Ctrl or Alt to avoid triggering shapes while typing."},
        {[](Settings& s) { s.presentation_stroke_width = 0; }, "Invalid presentation stroke width"},
        {[](Settings& s) { s.presentation_stroke_width = 41; }, "Invalid presentation stroke width"},
        {[](Settings& s) { s.presentation_arrow_size = 20; }, "Invalid presentation arrow size"},
        {[](Settings& s) { s.input_display_offset = InputDisplayOffset{10001, 0}; }, "Invalid input display offset"},
        {[](Settings& s) { s.input_display_offset = InputDisplayOffset{0, 65535}; }, "Invalid input display offset"},
        {[](Settings& s) { s.capture_stroke_width = 0; }, "Invalid capture stroke width"},
        {[](Settings& s) { s.capture_stroke_width = 41; }, "Invalid capture stroke width"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Settings s = default_settings();
        cases[i].spoil(s);
        EXPECT_EQ(error_of(validate_settings(s)), cases[i].message) << "case " << i;
    }
}

TEST(SettingsFormatTest, RecordsDifferingInOneFieldCompareUnequal) {
    // operator== must see every field, or a changed setting would look unchanged.
    for (const auto& value : non_default_values()) {
        Settings changed = default_settings();
        value.apply(changed);
        EXPECT_NE(changed, default_settings()) << "line " << value.line;
    }
    Settings zero_offset;
    zero_offset.input_display_offset = InputDisplayOffset{0, 0};
    EXPECT_NE(zero_offset, default_settings());
}

// ---------------------------------------------------------------------------
// Whole files

TEST(SettingsFileTest, NonUtf8FileIsAnIoError) {
    const std::vector<std::string> invalid{
        "\xFF",
        file_with({{5, "\xC3"}}),                       // truncated sequence
        file_with({{5, "\xC0\xAF"}}),                   // overlong
        file_with({{5, "\xED\xA0\x80"}}),               // surrogate
        file_with({{5, "\xF4\x90\x80\x80"}}),           // above U+10FFFF
        std::string(20000, 'a') + "\x80",               // far into the file
        "\xFE\xFF" + join(default_lines(9)),
    };
    for (std::size_t i = 0; i < invalid.size(); ++i) {
        EXPECT_EQ(error_of(parse_settings_file(invalid[i])), "stream did not contain valid UTF-8") << "case " << i;
    }
    // Valid UTF-8 that is not a valid settings file is a parse fault.
    EXPECT_EQ(error_of(parse_settings_file(file_with({{5, "\xC3\xA9"}}))), "Invalid folder encoding");
    EXPECT_EQ(error_of(parse_settings_file("\xEF\xBB\xBF" + join(default_lines(9)))), kUnsupported);
    EXPECT_EQ(error_of(parse_settings_file("")), kUnsupported);
}

}  // namespace
}  // namespace kadrovix
