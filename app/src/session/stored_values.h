// The capture stroke width and custom colour go into the settings file while
// the session runs, not only at its end, so that the next capture starts with
// them even when this one never ends in order. Only a change is written.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "base/expected.h"
#include "editor/annotation.h"
#include "session/session_state.h"

namespace kadrovix {

// The values the settings file took last (or was read with).
struct StoredSessionValues {
    std::uint32_t stroke_width = 0;
    std::optional<Rgb> custom_colour;
};

// The one-field writes of the settings file.
struct SessionValueWriters {
    std::function<Expected<void>(std::uint32_t)> stroke_width;
    std::function<Expected<void>(Rgb)> custom_colour;
};

// After every handled message: a stroke width other than the stored one is
// written, then a chosen custom colour other than the stored one. Each value
// counts as stored before its write, even when the write fails, so that one
// failure is reported once; the first failure is returned and the rest waits
// for the next message.
Expected<void> store_after_message(StoredSessionValues& stored, const SessionState& s,
                                   const SessionValueWriters& write);

// As the session ends: the custom colour alone (a width change was written by
// the message that made it), counted as stored only once written.
Expected<void> store_at_end(StoredSessionValues& stored, const SessionState& s,
                            const std::function<Expected<void>(Rgb)>& write_colour);

}  // namespace kadrovix
