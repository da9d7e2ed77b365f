#include "session/stored_values.h"

namespace kadrovix {

namespace {

bool colour_to_store(const StoredSessionValues& stored, const SessionState& s) {
    return s.custom_colour_chosen && stored.custom_colour != s.custom_colour;
}

}  // namespace

Expected<void> store_after_message(StoredSessionValues& stored, const SessionState& s,
                                   const SessionValueWriters& write) {
    const auto width = static_cast<std::uint32_t>(s.editor.width);
    if (width != stored.stroke_width) {
        stored.stroke_width = width;
        RETURN_IF_ERROR(write.stroke_width(width));
    }
    if (colour_to_store(stored, s)) {
        stored.custom_colour = s.custom_colour;
        RETURN_IF_ERROR(write.custom_colour(s.custom_colour));
    }
    return {};
}

Expected<void> store_at_end(StoredSessionValues& stored, const SessionState& s,
                            const std::function<Expected<void>(Rgb)>& write_colour) {
    if (!colour_to_store(stored, s)) return {};
    RETURN_IF_ERROR(write_colour(s.custom_colour));
    stored.custom_colour = s.custom_colour;
    return {};
}

}  // namespace kadrovix
