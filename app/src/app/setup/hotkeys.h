// The rules that keep the capture shortcut and presentation mode's shape
// shortcuts apart, the capture registration's id alternation, and the texts
// the settings panel shows when a shortcut is refused. Platform-free; the
// registrations themselves are in hotkeys_win32.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/setup/settings_panel.h"
#include "app/setup/shortcut.h"
#include "base/expected.h"
#include "settings/settings.h"

namespace kadrovix {

// Hot-key ids on the resident's main window. The capture shortcut alternates
// between 1 and 2 so that the new combination is held before the old one goes;
// 90..93 belong to presentation mode; 99 is held only while a shape shortcut
// is being tried out.
inline constexpr int kCaptureHotkeyFirstId = 1;
inline constexpr int kCaptureHotkeySecondId = 2;
inline constexpr int kShapeTestHotkeyId = 99;

// ERROR_HOTKEY_ALREADY_REGISTERED: the combination is held, by this program or another.
inline constexpr std::uint32_t kHotkeyAlreadyRegisteredError = 1409;

// Presentation mode's "turn everything off" combination.
inline constexpr Shortcut kTurnEverythingOffShortcut{kModCtrl | kModAlt, 27};

inline constexpr std::string_view kUsedByPresentationMessage =
    "This shortcut is already used by presentation mode. Choose another shortcut.";
inline constexpr std::string_view kUsedForCaptureMessage = "This combination is already used for capture.";
inline constexpr std::string_view kCaptureShortcutInUseMessage =
    "The capture shortcut is already in use. Choose another combination.";

// 2 while id 1 is registered, otherwise 1.
int next_capture_hotkey_id(bool registered, int current_id);

enum class CaptureCandidateCheck {
    UsedByPresentation,  // refused with kUsedByPresentationMessage
    Unchanged,           // the registered shortcut itself: nothing to register
    Register,            // register it (and save)
};

// A candidate for the capture shortcut, before any registration is tried.
CaptureCandidateCheck check_capture_candidate(const Settings& settings, bool capture_registered, Shortcut candidate);

Settings with_capture_shortcut(Settings settings, Shortcut candidate);

// "Unable to register this shortcut ({code}). ..." with the result code in
// signed decimal; 0 when the system gave none.
std::string capture_registration_failure_message(std::int32_t code);

// "Shortcut unavailable or invalid: {error}".
std::string shape_failure_message(std::string_view error);

// The shape shortcut of a page: arrow, rectangle, ellipse for pages 1..3.
std::size_t shape_slot(PanelPage page);

// The settings with the candidate in the shape's slot, if the shape rule
// accepts the three shortcuts and the candidate is not the capture shortcut;
// otherwise the refusal's text (without the "unavailable" prefix).
Expected<Settings> shape_candidate_settings(const Settings& settings, std::size_t slot, Shortcut candidate);

}  // namespace kadrovix
