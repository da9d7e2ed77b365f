#include "crop/expression.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

namespace kadrovix::crop {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool is_number_char(char c) { return (c >= '0' && c <= '9') || c == '.' || c == ','; }

// Recursive descent over the bytes of the text. Every function returns
// nothing on failure; the one message is attached at the top.
class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<double> expression(int depth) {
        std::optional<double> value = term(depth);
        if (!value) return std::nullopt;
        for (;;) {
            skip_space();
            if (at_end() || (peek() != '+' && peek() != '-')) return value;
            const char op = peek();
            ++pos_;
            const std::optional<double> rhs = term(depth);
            if (!rhs) return std::nullopt;
            *value = op == '+' ? *value + *rhs : *value - *rhs;
        }
    }

    std::size_t position() const { return pos_; }

private:
    std::optional<double> term(int depth) {
        std::optional<double> value = factor(depth);
        if (!value) return std::nullopt;
        for (;;) {
            skip_space();
            if (at_end() || (peek() != '*' && peek() != '/')) return value;
            const char op = peek();
            ++pos_;
            const std::optional<double> rhs = factor(depth);
            if (!rhs) return std::nullopt;
            if (op == '*') {
                *value *= *rhs;
            } else {
                // Both zeros compare equal to 0.0; a NaN divisor does not and divides.
                if (*rhs == 0.0) return std::nullopt;
                *value /= *rhs;
            }
        }
    }

    std::optional<double> factor(int depth) {
        if (depth > kMaxNesting) return std::nullopt;
        skip_space();
        if (at_end()) return std::nullopt;
        switch (peek()) {
            case '+':
                ++pos_;
                return factor(depth + 1);
            case '-': {
                ++pos_;
                const std::optional<double> inner = factor(depth + 1);
                if (!inner) return std::nullopt;
                return -*inner;
            }
            case '(': {
                ++pos_;
                const std::optional<double> inner = expression(depth + 1);
                if (!inner) return std::nullopt;
                skip_space();
                if (at_end() || peek() != ')') return std::nullopt;
                ++pos_;
                return inner;
            }
            default:
                return number();
        }
    }

    std::optional<double> number() {
        const std::size_t start = pos_;
        while (!at_end() && is_number_char(peek())) ++pos_;
        if (pos_ == start) return std::nullopt;
        std::string run(text_.substr(start, pos_ - start));
        bool has_digit = false;
        for (char& c : run) {
            if (c == ',') c = '.';
            has_digit = has_digit || (c >= '0' && c <= '9');
        }
        if (!has_digit) return std::nullopt;  // "." alone
        double value = 0.0;
        const char* first = run.data();
        const char* last = run.data() + run.size();
        const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
        if (end != last) return std::nullopt;  // a second point, as in 1.2.3
        if (ec == std::errc::result_out_of_range) {
            // Too large for a double, or too small to be anything but zero:
            // what the C library's reading of the same digits gives.
            const std::size_t point = run.find('.');
            const std::string_view whole(run.data(), point == std::string::npos ? run.size() : point);
            const bool large = whole.find_first_not_of('0') != std::string_view::npos;
            return large ? std::numeric_limits<double>::infinity() : 0.0;
        }
        if (ec != std::errc()) return std::nullopt;
        return value;
    }

    void skip_space() {
        while (!at_end() && is_space(peek())) ++pos_;
    }
    bool at_end() const { return pos_ >= text_.size(); }
    char peek() const { return text_[pos_]; }

    std::string_view text_;
    std::size_t pos_ = 0;
};

Unexpected<Error> not_a_pixel_count() { return invalid_argument(kPixelCountMessage); }

}  // namespace

Result<Evaluation> evaluate_expression(std::string_view text) {
    Parser parser(text);
    const std::optional<double> value = parser.expression(0);
    if (!value) return not_a_pixel_count();
    return Evaluation{*value, parser.position()};
}

Result<std::uint32_t> parse_pixel_count(std::string_view text) {
    const Result<Evaluation> evaluated = evaluate_expression(text);
    if (!evaluated) return propagate(evaluated);
    for (std::size_t i = evaluated->stop; i < text.size(); ++i) {
        if (!is_space(text[i])) return not_a_pixel_count();
    }
    const double v = evaluated->value;
    if (!std::isfinite(v) || v < kMinPixels || v > kMaxPixels) return not_a_pixel_count();
    // Measured against the nearest whole number, so that noise on either
    // side counts: 0.29*100 is 28.999999999999996 and means 29.
    const double whole = std::round(v);  // halves away from zero
    if (std::fabs(v - whole) > kWholeTolerance) return not_a_pixel_count();
    return static_cast<std::uint32_t>(whole);
}

}  // namespace kadrovix::crop
