// Presentation mode's record in the resident: which overlays are on, the
// feature state saved while an editor runs, and the values it persists.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "presentation/pointer_halo.h"
#include "presentation/temporary_shapes.h"
#include "settings/settings.h"

namespace kadrovix {

// Feature bits handed between the tray menu, the settings panel and
// presentation mode.
inline constexpr std::uint32_t kFeaturePointerHalo = 1;
inline constexpr std::uint32_t kFeatureTemporaryShapes = 2;
inline constexpr std::uint32_t kFeatureInputDisplay = 4;

struct PresentationState {
    // What the user has switched on, and what is applied right now; the two
    // differ while the settings panel holds the shape shortcuts released.
    std::uint32_t features = 0;
    std::uint32_t applied = 0;
    // Set while an editor runs: the features to turn back on afterwards.
    std::optional<std::uint32_t> saved_features;
    Settings settings;
    // Per shape shortcut (arrow, rectangle, ellipse): served through the
    // keyboard hook because another program holds the combination.
    bool hook_priority[3] = {false, false, false};
    // The window that was in front when the tray menu opened (a window handle
    // as an integer, so this header stays free of the platform's headers):
    // presentation mode hands the foreground back to it.
    std::uintptr_t return_window = 0;
    // The halo's held buttons and last press, the shape on the canvas and the
    // finished shapes still fading, oldest first.
    HaloButtons halo_buttons;
    ShapeDrawing drawing;
    std::vector<FadingShape> fading_shapes;

    explicit PresentationState(const Settings& s) : settings(s) {}

    // Strict switch of what is applied; the user's choice stays as it is.
    void apply_features(std::uint32_t flags) { applied = flags; }
    // Applies `flags` when features are turned on.
    void activate_with_priority(std::uint32_t flags) { applied = flags; }
    // Also forgets what the overlays showed, so that turning a feature on
    // again never brings back a half-drawn shape, old shapes or a stale ring.
    void turn_everything_off() {
        features = applied = 0;
        halo_buttons = HaloButtons{};
        end_drawing(drawing);
        fading_shapes.clear();
    }
    void apply_settings(const Settings& s) { settings = s; }
};

}  // namespace kadrovix
