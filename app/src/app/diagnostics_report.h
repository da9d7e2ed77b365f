// The files the self-tests write: the editor diagnostic's one line and the
// resident diagnostic's JSON object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrovix {

struct EditorDiagnostics {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    double capture_ms = 0.0;
    double capture_and_session_ms = 0.0;
};

// "W H capture_ms total_ms" and a line break.
std::string format_editor_diagnostics(const EditorDiagnostics& d);
// The four values separated by single spaces; nullopt for anything else.
std::optional<EditorDiagnostics> parse_editor_diagnostics(std::string_view text);

struct ResidentDiagnostics {
    double idle_seconds = 0.0;
    double idle_cpu_ms = 0.0;
    std::uint64_t idle_working_set_bytes = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> capture_dimensions;
    std::vector<double> capture_ms;
    std::vector<double> capture_and_editor_init_ms;
    std::uint32_t gdi_before = 0;
    std::uint32_t gdi_after = 0;
    std::uint64_t working_set_after_captures = 0;
    std::vector<double> worker_lifetime_ms;
    std::uint64_t idle_private_bytes = 0;
    std::uint64_t private_bytes_after_captures = 0;
};

// One JSON object, each key on its own line indented by two spaces, in the
// fixed key order.
std::string format_resident_diagnostics(const ResidentDiagnostics& d);

inline constexpr std::uint64_t kRetainedBytesLimit = 8ull * 1024 * 1024;
inline constexpr char kGdiLeakMessage[] = "GDI resources leaked during capture";
inline constexpr char kRetainedMemoryMessage[] = "Resident retained more than 8 MiB after editor workers exited";
inline constexpr char kEditorCheckFailedMessage[] = "Editor process check failed";
inline constexpr char kInvalidEditorDiagnosticsMessage[] = "Invalid editor diagnostics";
inline constexpr char kGooglePassText[] =
    "PASS: synthetic PNG sent to Google Lens; validated Google result redirect.";

}  // namespace kadrovix
