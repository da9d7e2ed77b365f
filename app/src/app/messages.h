// Private window messages, timers and notice kinds shared by the resident,
// the editor and their worker threads. Values only: no platform headers, so
// the pure parts of the program can name them too. The capture session's own
// (kWmApp + 4, its refresh timer, the notice kinds) are in
// session/session_messages.h.
#pragma once

#include <cstdint>
#include <string_view>

#include "session/session_messages.h"

namespace kadrovix {

inline constexpr unsigned MSG_TRAY_CALLBACK = kWmApp + 1;
inline constexpr unsigned MSG_START_CAPTURE = kWmApp + 2;
inline constexpr unsigned MSG_EDITOR_EXITED = kWmApp + 3;
inline constexpr unsigned MSG_NOTICE = kWmApp + 5;
inline constexpr unsigned MSG_PRESENTATION_FAILED = kWmApp + 10;
inline constexpr unsigned MSG_PRESENTATION_SAVE = kWmApp + 11;
inline constexpr unsigned MSG_PRESENTATION_KEY = kWmApp + 12;
inline constexpr unsigned MSG_DIAGNOSTIC_CHECK = kWmApp + 50;

// The toast text of a notice kind; empty for a value outside 1..4.
constexpr std::string_view notice_text(std::uint64_t kind) {
    switch (kind) {
        case 1: return "Screenshot copied to clipboard.";
        case 2: return "Image saved.";
        case 3: return "Searching Google\u2026";
        case 4: return "Settings saved.";
        default: return {};
    }
}

inline constexpr std::string_view kProductName = "Kadrovix";
inline constexpr std::string_view kAlreadyRunningMessage =
    "Kadrovix is already running. Use its notification-area icon.";
inline constexpr std::string_view kInternalFailureMessage = "Unexpected internal failure. Kadrovix has stopped.";

}  // namespace kadrovix
