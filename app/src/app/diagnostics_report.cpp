#include "app/diagnostics_report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kadrovix {
namespace {

std::string number(double value) {
    if (!std::isfinite(value)) return "0";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    return buffer;
}

template <class T, class F>
std::string array(const std::vector<T>& values, F&& format) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i != 0) out += ", ";
        out += format(values[i]);
    }
    return out + "]";
}

bool parse_u32(std::string_view text, std::uint32_t& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parse_double(std::string_view text, double& out) {
    // Digits with at most one decimal point: the diagnostic's own output.
    if (text.empty()) return false;
    double value = 0.0, scale = 0.0;
    for (char c : text) {
        if (c == '.') {
            if (scale != 0.0) return false;
            scale = 1.0;
        } else if (c >= '0' && c <= '9') {
            if (scale == 0.0) {
                value = value * 10.0 + (c - '0');
            } else {
                scale /= 10.0;
                value += (c - '0') * scale;
            }
        } else {
            return false;
        }
    }
    out = value;
    return true;
}

}  // namespace

std::string format_editor_diagnostics(const EditorDiagnostics& d) {
    return std::to_string(d.width) + " " + std::to_string(d.height) + " " + number(d.capture_ms) + " " +
           number(d.capture_and_session_ms) + "\n";
}

std::optional<EditorDiagnostics> parse_editor_diagnostics(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::string_view parts[4];
    for (int i = 0; i < 4; ++i) {
        const auto space = text.find(' ');
        if (i < 3) {
            if (space == std::string_view::npos) return std::nullopt;
            parts[i] = text.substr(0, space);
            text.remove_prefix(space + 1);
        } else {
            if (space != std::string_view::npos) return std::nullopt;
            parts[i] = text;
        }
    }
    EditorDiagnostics d;
    if (!parse_u32(parts[0], d.width) || !parse_u32(parts[1], d.height) || !parse_double(parts[2], d.capture_ms) ||
        !parse_double(parts[3], d.capture_and_session_ms)) {
        return std::nullopt;
    }
    return d;
}

std::string format_resident_diagnostics(const ResidentDiagnostics& d) {
    const auto dims = array(d.capture_dimensions, [](const std::pair<std::uint32_t, std::uint32_t>& p) {
        return "[" + std::to_string(p.first) + ", " + std::to_string(p.second) + "]";
    });
    const auto ms = [](double v) { return number(v); };
    std::string out = "{\n";
    out += "  \"idle_seconds\": " + number(d.idle_seconds) + ",\n";
    out += "  \"idle_cpu_ms\": " + number(d.idle_cpu_ms) + ",\n";
    out += "  \"idle_working_set_bytes\": " + std::to_string(d.idle_working_set_bytes) + ",\n";
    out += "  \"capture_dimensions\": " + dims + ",\n";
    out += "  \"capture_ms\": " + array(d.capture_ms, ms) + ",\n";
    out += "  \"capture_and_editor_init_ms\": " + array(d.capture_and_editor_init_ms, ms) + ",\n";
    out += "  \"gdi_before\": " + std::to_string(d.gdi_before) + ",\n";
    out += "  \"gdi_after\": " + std::to_string(d.gdi_after) + ",\n";
    out += "  \"working_set_after_captures\": " + std::to_string(d.working_set_after_captures) + ",\n";
    out += "  \"worker_lifetime_ms\": " + array(d.worker_lifetime_ms, ms) + ",\n";
    out += "  \"idle_private_bytes\": " + std::to_string(d.idle_private_bytes) + ",\n";
    out += "  \"private_bytes_after_captures\": " + std::to_string(d.private_bytes_after_captures) + "\n";
    out += "}\n";
    return out;
}

}  // namespace kadrovix
