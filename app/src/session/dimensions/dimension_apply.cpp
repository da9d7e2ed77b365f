#include "session/dimensions/dimension_apply.h"

#include <charconv>
#include <cmath>
#include <iterator>

#include "crop/expression.h"
#include "session/commands.h"

namespace kadrovix::dimensions {

std::string field_text(double extent) {
    char digits[64];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), extent);
    if (written.ec != std::errc()) return {};
    return std::string(digits, written.ptr);
}

Result<std::uint32_t> parse_field(std::string_view utf8) {
    if (utf8.size() > kFieldByteLimit) return invalid_argument(crop::kPixelCountMessage);
    return crop::parse_pixel_count(utf8);
}

ApplyOutcome apply_fields(const Region& region, const Desktop& desktop, std::string_view width_text,
                          std::string_view height_text) {
    ApplyOutcome out;
    if (!region.exists) return out;
    out.kind = ApplyOutcome::Kind::Invalid;
    out.region = region;
    const Result<std::uint32_t> width = parse_field(width_text);
    if (!width) {
        out.message = width.error().message;
        return out;
    }
    const Result<std::uint32_t> height = parse_field(height_text);
    if (!height) {
        out.message = height.error().message;
        return out;
    }
    const double x = region.left;
    const double y = region.top;
    // Written so that a NaN corner fails too.
    const bool inside = std::isfinite(x) && std::isfinite(y) && y + *height <= desktop.height &&
                        x + *width <= desktop.width;
    if (!inside) {
        out.message = kOutsideDesktopMessage;
        return out;
    }
    out.kind = ApplyOutcome::Kind::Applied;
    out.region = Region{{x, y, x + *width, y + *height}, true};
    return out;
}

Field tab_target(std::optional<Field> focused) {
    return focused == Field::Width ? Field::Height : Field::Width;
}

EditorKey editor_key(std::uint32_t key) {
    switch (key) {
        case vk::kTab: return EditorKey::Tab;
        case vk::kEscape: return EditorKey::Cancel;
        case vk::kReturn: return EditorKey::Apply;
        default: return EditorKey::None;
    }
}

}  // namespace kadrovix::dimensions
