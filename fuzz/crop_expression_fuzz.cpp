// Feeds arbitrary bytes to the dimension fields' expression evaluator and to
// the field reader. Neither may crash or recurse without bound, every refusal
// carries the one message, and whatever is accepted as a pixel count must pass
// every check: a whole number in 2 ... 4294967295 that the expression really
// evaluates to, with only whitespace after it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "crop/expression.h"
#include "session/dimensions/dimension_apply.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view input) {
    std::fprintf(stderr, "crop_expression_fuzz: %s\n--- input (%zu bytes)\n%.*s\n", what, input.size(),
                 static_cast<int>(input.size()), input.data());
    std::abort();
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

template <class R>
void expect_message(const R& result, std::string_view input) {
    if (result.error().message != kadrovix::crop::kPixelCountMessage) fail("refused with another message", input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const auto evaluated = kadrovix::crop::evaluate_expression(input);
    if (evaluated) {
        if (evaluated->stop == 0 || evaluated->stop > input.size()) fail("stop position outside the text", input);
    } else {
        expect_message(evaluated, input);
    }

    const auto count = kadrovix::crop::parse_pixel_count(input);
    if (!count) {
        expect_message(count, input);
    } else {
        if (!evaluated) fail("a pixel count from a text that does not evaluate", input);
        if (*count < 2u) fail("accepted a count below 2", input);
        const double v = evaluated->value;
        if (!std::isfinite(v) || v < 2.0 || v > 4294967295.0) fail("accepted a value outside 2 ... 4294967295", input);
        if (std::fabs(v - static_cast<double>(*count)) > kadrovix::crop::kWholeTolerance) {
            fail("the count is not the value rounded", input);
        }
        for (std::size_t i = evaluated->stop; i < input.size(); ++i) {
            if (!is_space(input[i])) fail("accepted text after the expression", input);
        }
        // Whitespace around an accepted text changes nothing.
        const std::string padded = " \t" + std::string(input) + "\r\n";
        const auto again = kadrovix::crop::parse_pixel_count(padded);
        if (!again || *again != *count) fail("surrounding whitespace changed the count", input);
    }

    // The field reader: the same answer up to 128 bytes, a refusal beyond.
    const auto field = kadrovix::dimensions::parse_field(input);
    if (input.size() > kadrovix::dimensions::kFieldByteLimit) {
        if (field) fail("a field longer than 128 bytes was accepted", input);
        expect_message(field, input);
    } else if (field.has_value() != count.has_value() || (field && *field != *count)) {
        fail("the field reader and the evaluator disagree", input);
    }
    return 0;
}
