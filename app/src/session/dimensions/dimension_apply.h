// The rules of the dimension editor that need no window: the fields' first
// texts, reading a field, applying both fields to the region, and which field
// Tab moves to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "session/dimensions/dimension_label.h"
#include "session/session_state.h"

namespace kadrovix::dimensions {

inline constexpr char kOutsideDesktopMessage[] =
    "The capture must stay inside the desktop. Reduce its width or height.";

// The edit controls take at most this many UTF-16 units; their UTF-8 text is
// read with the same limit in bytes, and a longer one is refused.
inline constexpr std::size_t kFieldCharLimit = 128;
inline constexpr std::size_t kFieldByteLimit = 128;

// A region side as a field's first text, in the shortest form that reads
// back as the same value ("800", "400.5").
std::string field_text(double extent);

// One field's UTF-8 text as a number of pixels (crop/expression.h); a text
// of more than kFieldByteLimit bytes fails with the same message.
Result<std::uint32_t> parse_field(std::string_view utf8);

struct ApplyOutcome {
    enum class Kind {
        NoRegion,  // nothing to resize: the editor stays as it is, without a message
        Invalid,   // `message` says why; the region is unchanged
        Applied,   // `region` is the new region
    };
    Kind kind = Kind::NoRegion;
    Region region;
    std::string message;
};

// Resizes the region about its top-left corner. The width is read first and
// the first failure wins. The region may end exactly on the desktop's edge
// but not beyond it.
ApplyOutcome apply_fields(const Region& region, const Desktop& desktop, std::string_view width_text,
                          std::string_view height_text);

// Tab: from the width field to the height field, from anywhere else (the
// height field, or no field) to the width field.
Field tab_target(std::optional<Field> focused);

// The keys the open editor keeps for itself; every other key goes on to
// the focused field.
enum class EditorKey { None, Tab, Cancel, Apply };
EditorKey editor_key(std::uint32_t vk);

}  // namespace kadrovix::dimensions
