// Feeds arbitrary bytes to the settings reader. Whatever it accepts must be
// written as ASCII text that reads back as the same record, so a save after a
// load never changes or loses a setting.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/settings.h"
#include "settings/utf8.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view input, const std::string& text) {
    std::fprintf(stderr, "settings_fuzz: %s\n--- input (%zu bytes)\n%.*s\n--- formatted\n%s\n", what, input.size(),
                 static_cast<int>(input.size()), input.data(), text.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    (void)kadrovix::is_valid_utf8(input);

    const auto parsed = kadrovix::parse_settings(input);
    if (!parsed) {
        if (parsed.error().empty()) {
            fail("rejected without a message", input, {});
        }
        return 0;
    }
    if (!kadrovix::validate_shape_shortcuts(parsed->shape_shortcuts)) {
        fail("accepted shape shortcuts that break the rule", input, {});
    }
    if (!kadrovix::validate_settings(*parsed)) {
        fail("accepted a record that the writer would refuse", input, {});
    }

    const std::string text = kadrovix::format_settings(*parsed);
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            fail("formatted text is not ASCII", input, text);
        }
    }
    const auto reparsed = kadrovix::parse_settings(text);
    if (!reparsed) {
        fail(("formatted text is rejected: " + reparsed.error()).c_str(), input, text);
    }
    if (!(*reparsed == *parsed)) {
        fail("formatted text reads back as a different record", input, text);
    }
    if (kadrovix::format_settings(*reparsed) != text) {
        fail("formatting is not stable", input, text);
    }
    return 0;
}
