#include "presentation/devices/key_look.h"

#include "presentation/devices/panel_layout.h"

namespace kadrovix::devices {

KeyLook key_look(const InputSlots& slots, std::size_t slot, std::uint64_t now) {
    KeyLook look;
    if (slot >= kKeySlotCount) return look;
    look.intensity = slots.key_intensity(slot, now);
    if (look.intensity <= 0.0) return look;
    const KeySlot& key = slots.key(slot);
    // A held Pause past its own release time is already fading (or gone).
    const bool held = key.held && !(key.release_at && now >= *key.release_at);
    look.show_label = key.label.length > 0;
    look.label_colour = held ? kHeldCapColour : kFadingCapColour;
    look.label_opacity = look.intensity;
    look.large_text = cap_uses_large_text(key.label.length);
    return look;
}

bool cap_uses_large_text(std::size_t units) { return units <= 2; }

double large_text_size(int panel_width) { return 11.0 * panel_width / kPanelWidth; }
double small_text_size(int panel_width) { return 7.5 * panel_width / kPanelWidth; }

double panel_background_alpha(bool locked) { return locked ? 0.0 : 1.0 / 255.0; }
bool panel_passes_clicks(bool locked) { return locked; }
double lock_handle_opacity(bool locked) { return locked ? 1.0 : 0.882; }

}  // namespace kadrovix::devices
