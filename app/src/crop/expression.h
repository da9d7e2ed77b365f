// The small arithmetic language of the dimension fields: a field may hold a
// plain number of pixels or an expression such as 800+20 or 1920/2.
//
//   expression = term { ("+" | "-") term }        left to right
//   term       = factor { ("*" | "/") factor }     left to right
//   factor     = "+" factor | "-" factor | "(" expression ")" | number
//   number     = the longest run of 0-9 "." ","; a comma is a decimal point
//
// ASCII whitespace (space, tab, line feed, form feed, carriage return) is
// skipped before every token. A number has no sign, exponent or thousands
// separator, so 2,000 is the number 2. Unary signs and parentheses together
// nest at most kMaxNesting deep, which keeps the recursion bounded whatever
// the text. Dividing by zero (of either sign) fails.
//
// Everything here is a pure function of the text; nothing needs a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/error.h"

namespace kadrovix::crop {

// The one message for every text that is not a usable number of pixels.
inline constexpr char kPixelCountMessage[] =
    "Enter a whole number of pixels (at least 2), or an expression such as 800+20.";

inline constexpr int kMaxNesting = 15;
inline constexpr double kMinPixels = 2.0;
inline constexpr double kMaxPixels = 4294967295.0;
// How far from a whole number a value may be and still count as one: the
// rounding noise of decimal fractions such as 0.29*100.
inline constexpr double kWholeTolerance = 1e-9;

struct Evaluation {
    double value = 0.0;
    std::size_t stop = 0;  // byte offset where parsing stopped
};

// Evaluates one expression from the start of `text` (UTF-8). Parsing stops
// after the expression; whatever follows is left for the caller to judge.
// Fails with kPixelCountMessage.
Result<Evaluation> evaluate_expression(std::string_view text);

// One field's text as a whole number of pixels in 2 ... 4294967295: the
// expression, then nothing but whitespace. Fails with kPixelCountMessage.
Result<std::uint32_t> parse_pixel_count(std::string_view text);

}  // namespace kadrovix::crop
