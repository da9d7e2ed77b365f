#include "session/io/save_paths.h"

#include <string>

namespace kadrovix {

namespace {

bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

// Index just past the last separator (or a drive's colon), i.e. where the
// file name starts.
std::size_t name_start(const std::u16string& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        const char16_t c = path[i - 1];
        if (is_separator(c) || (c == u':' && i == 2)) return i;
    }
    return 0;
}

std::u16string ascii_decimal(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::uint64_t unix_seconds(std::chrono::system_clock::time_point now) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    return seconds > 0 ? static_cast<std::uint64_t>(seconds) : 0;
}

std::u16string default_file_name(std::uint64_t seconds) { return u"Kadrovix-" + ascii_decimal(seconds) + u".png"; }

std::u16string temporary_path(const std::u16string& target, std::uint32_t process_id) {
    const std::size_t start = name_start(target);
    std::size_t end = target.size();
    const std::size_t dot = target.rfind(u'.');
    // A dot inside the name but not leading it (".png" alone is a name, not an
    // extension) starts the extension.
    if (dot != std::u16string::npos && dot > start) end = dot;
    return target.substr(0, end) + u"." + ascii_decimal(process_id) + u".tmp";
}

std::u16string folder_of(const std::u16string& path) {
    const std::size_t start = name_start(path);
    if (start == 0) return {};
    std::size_t end = start;
    // Drop the separators before the name, but keep the one that makes a root
    // ("C:\", "\") a folder of its own.
    while (end > 0 && is_separator(path[end - 1])) --end;
    if (end == 0 || (end == 2 && path[1] == u':')) return path.substr(0, end < start ? end + 1 : end);
    return path.substr(0, end);
}

}  // namespace kadrovix
