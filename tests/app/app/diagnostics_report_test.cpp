#include "app/diagnostics_report.h"

#include <gtest/gtest.h>

using namespace kadrovix;

TEST(EditorDiagnosticsFile, RoundTripsItsFourValues) {
    const EditorDiagnostics d{1920, 1080, 12.5, 40.25};
    const std::string line = format_editor_diagnostics(d);
    EXPECT_EQ(line, "1920 1080 12.500 40.250\n");
    const auto back = parse_editor_diagnostics(line);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->width, 1920u);
    EXPECT_EQ(back->height, 1080u);
    EXPECT_DOUBLE_EQ(back->capture_ms, 12.5);
    EXPECT_DOUBLE_EQ(back->capture_and_session_ms, 40.25);
}

TEST(EditorDiagnosticsFile, AnythingButFourSingleSpacedValuesIsInvalid) {
    EXPECT_FALSE(parse_editor_diagnostics(""));
    EXPECT_FALSE(parse_editor_diagnostics("1920 1080 12.5"));
    EXPECT_FALSE(parse_editor_diagnostics("1920 1080 12.5 40 7"));
    EXPECT_FALSE(parse_editor_diagnostics("1920  1080 12.5 40"));
    EXPECT_FALSE(parse_editor_diagnostics("1920 1080 12.5.1 40"));
    EXPECT_FALSE(parse_editor_diagnostics("-1920 1080 12.5 40"));
    EXPECT_FALSE(parse_editor_diagnostics("1920 1080 x 40"));
    EXPECT_FALSE(parse_editor_diagnostics("1920 1080 12.5 "));
    EXPECT_TRUE(parse_editor_diagnostics("1 1 0 0\r\n"));
}

TEST(ResidentDiagnosticsFile, KeysInOrderOnePerLineIndentedByTwo) {
    ResidentDiagnostics d;
    d.capture_dimensions = {{1024, 768}, {1024, 768}};
    d.capture_ms = {1.0, 2.0};
    d.gdi_before = d.gdi_after = 7;
    const std::string json = format_resident_diagnostics(d);
    const char* keys[] = {"idle_seconds",   "idle_cpu_ms",  "idle_working_set_bytes",
                          "capture_dimensions", "capture_ms", "capture_and_editor_init_ms",
                          "gdi_before",     "gdi_after",    "working_set_after_captures",
                          "worker_lifetime_ms", "idle_private_bytes", "private_bytes_after_captures"};
    std::size_t at = 0;
    for (const char* key : keys) {
        const std::string line = std::string("\n  \"") + key + "\": ";
        const auto found = json.find(line, at);
        ASSERT_NE(found, std::string::npos) << key;
        at = found + line.size();
    }
    EXPECT_EQ(json.rfind("{\n", 0), 0u);
    EXPECT_EQ(json.substr(json.size() - 3), "\n}\n");
    EXPECT_NE(json.find("\"capture_dimensions\": [[1024, 768], [1024, 768]],"), std::string::npos);
}
