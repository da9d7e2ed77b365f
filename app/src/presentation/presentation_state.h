// Presentation mode's record in the resident and the rules its controller
// follows, free of the platform: which overlays are on and what is applied,
// what a set of features must register, which shortcuts the keyboard hook
// serves, the texts failures are reported with, and whether anything still
// animates. The Windows controller (controller_win32.h) owns one of these.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/setup/shortcut.h"
#include "presentation/devices/input_slots.h"
#include "presentation/pointer_halo.h"
#include "presentation/temporary_shapes.h"
#include "settings/settings.h"

namespace kadrovix {

// Feature bits handed between the tray menu, the settings panel and
// presentation mode as one 32-bit word.
inline constexpr std::uint32_t kFeaturePointerHalo = 1u << 0;
inline constexpr std::uint32_t kFeatureTemporaryShapes = 1u << 8;
inline constexpr std::uint32_t kFeatureInputDisplay = 1u << 16;
inline constexpr std::uint32_t kAllFeatures = kFeaturePointerHalo | kFeatureTemporaryShapes | kFeatureInputDisplay;

// Ctrl+Alt+Esc: turn everything off.
inline constexpr int kTurnOffHotkeyId = 90;
inline constexpr Shortcut kTurnOffShortcut{kModCtrl | kModAlt, 0x1B};
// The animation timer on the resident window.
inline constexpr std::uintptr_t kAnimationTimerId = 90;
inline constexpr unsigned kAnimationIntervalMs = 33;

inline constexpr std::string_view kPresentationStoppedMessage =
    "Presentation stopped after an error. You can enable it again from the Kadrovix menu.";
inline constexpr std::string_view kTruncatedInputMessage = "Truncated input event";

// What a set of features needs from the system.
struct InputNeeds {
    bool turn_off_shortcut = false;  // id 90
    bool shape_shortcuts = false;    // ids 91..93
    bool mouse = false;              // raw mouse, as an input sink
    bool keyboard = false;           // raw keyboard, as an input sink
    friend bool operator==(const InputNeeds&, const InputNeeds&) = default;
};

InputNeeds input_needs(std::uint32_t flags);

// The keyboard hook thread runs while the input display is on (it forwards
// keys) or while temporary shapes are on with a shape shortcut another
// program holds (it serves that shortcut).
bool hook_needed(std::uint32_t flags, const std::array<bool, 3>& priority);

// "Arrow", "Rectangle" or "Ellipse" for shape shortcut 0, 1 or 2.
std::string_view shape_action_name(std::size_t index);

// How a refused registration names its shortcut: "Ctrl+Alt+Esc", or
// "Arrow (modifiers 1, key 70)" for a shape shortcut.
std::string turn_off_shortcut_text();
std::string shape_shortcut_text(std::size_t index, const ShapeShortcut& shortcut);
// "Shortcut {shortcut} is already in use. No additional feature was enabled."
std::string shortcut_in_use_message(std::string_view shortcut_text);

// The shortcuts activation could not have, for the user: the action names in
// the order "Turn everything off", "Arrow", "Rectangle", "Ellipse", joined by
// ", "; empty when everything was had.
std::string unavailable_shortcut_names(bool turn_off, const std::array<bool, 3>& shapes);
// The start-up toast for those names.
std::string shortcut_unavailable_notice(std::string_view names);

// --- the keyboard hook's decisions --------------------------------------------------

// A shape shortcut that the hook serves because another program holds it.
struct HookPriority {
    bool in_use = false;
    std::uint32_t modifiers = 0;
    std::uint32_t key = 0;
    int hotkey_id = 0;
    friend bool operator==(const HookPriority&, const HookPriority&) = default;
};
using HookPriorities = std::array<HookPriority, 3>;

// The priority entries for shape shortcuts marked as held by another program.
HookPriorities hook_priorities(const ShapeShortcuts& shortcuts, const std::array<bool, 3>& priority);

// The hook's memory of the key-downs it swallowed, so that their key-ups are
// swallowed too and the other program never sees half a keystroke.
class HookKeyFilter {
public:
    struct Decision {
        bool swallow = false;
        int hotkey_id = 0;  // post WM_HOTKEY with this id when not 0
    };

    // One key transition with the modifiers held now (hot-key bit layout).
    Decision key(std::uint32_t vk, bool key_down, std::uint32_t modifiers, const HookPriorities& priorities);
    // The hot key could not be posted: the key passes on after all.
    void undo(std::uint32_t vk);

private:
    std::array<bool, 256> swallowed_{};
};

// --- the record -----------------------------------------------------------------------

struct PresentationState {
    // Set while a message is being handled; a message arriving re-entrantly
    // (from inside a message box or a window-positioning call) sees it.
    int busy = 0;
    // What the user has switched on, and what is registered right now; the
    // two differ while the settings panel holds the shape shortcuts released.
    std::uint32_t features = 0;
    std::uint32_t applied = 0;
    // Set while an editor runs: the features to turn back on afterwards.
    std::optional<std::uint32_t> saved_features;
    Settings settings;
    // Per shape shortcut (arrow, rectangle, ellipse): served through the
    // keyboard hook because another program holds the combination, or not to
    // be had at all; and whether Ctrl+Alt+Esc could not be had.
    std::array<bool, 3> hook_priority{};
    std::array<bool, 3> shortcut_unavailable{};
    bool turn_off_unavailable = false;
    // The window that was in front when the tray menu opened or a drawing
    // began (a window handle as an integer, so this header stays free of the
    // platform's headers): presentation mode hands the foreground back to it.
    std::uintptr_t return_window = 0;
    // The halo's held buttons and last press, the shape on the canvas and the
    // finished shapes still fading, oldest first, and the keys and buttons the
    // input display shows.
    HaloButtons halo_buttons;
    ShapeDrawing drawing;
    std::vector<FadingShape> fading_shapes;
    devices::InputSlots input_slots;
    // The foreground window's keyboard layout is US English: the input
    // display draws the ANSI keyboard and names the right Alt key "Alt".
    bool us_english = true;
    bool animation_running = false;

    explicit PresentationState(const Settings& s) : settings(s) {}

    bool on(std::uint32_t feature) const { return (features & feature) != 0; }
    bool applied_on(std::uint32_t feature) const { return (applied & feature) != 0; }

    // Forgets what the overlays showed, so that turning a feature on again
    // never brings back a half-drawn shape, old shapes or a stale ring.
    void clear_overlay_state();
    // The record's part of turning everything off: no feature on or applied,
    // nothing shown. The controller releases what the system holds.
    void turn_everything_off() {
        features = applied = 0;
        clear_overlay_state();
    }
};

// What still moves at `now_ms` among the applied features: a halo ring, a
// fading shape or a lit key or button. The animation timer stops when none.
struct Animations {
    bool halo_ring = false;
    bool shapes = false;
    bool input_display = false;
    bool any() const { return halo_ring || shapes || input_display; }
};
Animations animations(const PresentationState& state, std::uint64_t now_ms);

}  // namespace kadrovix
