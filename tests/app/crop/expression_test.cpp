// The dimension fields' expressions: what they evaluate to, and which texts
// are refused as a number of pixels.
#include "crop/expression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace kadrovix::crop {
namespace {

std::string nested(int depth, const std::string& inner) {
    return std::string(static_cast<std::size_t>(depth), '(') + inner + std::string(static_cast<std::size_t>(depth), ')');
}

// The pixel count of `text`, or 0 when it is refused (0 is never a valid count).
std::uint32_t pixels(const std::string& text) {
    const Result<std::uint32_t> r = parse_pixel_count(text);
    if (!r) {
        EXPECT_EQ(r.error().message, kPixelCountMessage) << "text: " << text;
        EXPECT_EQ(r.error().code, kErrorInvalidArgument) << "text: " << text;
        return 0;
    }
    return *r;
}

TEST(CropExpression, ArithmeticFollowsPrecedenceAndAssociativity) {
    EXPECT_EQ(pixels("800+20"), 820u);
    EXPECT_EQ(pixels("1920/2"), 960u);
    EXPECT_EQ(pixels("2*(3+4)"), 14u);
    EXPECT_EQ(pixels("2*3+4"), 10u);
    EXPECT_EQ(pixels("2+3*4"), 14u);
    EXPECT_EQ(pixels("-2*-3"), 6u);
    EXPECT_EQ(pixels("10-2-3"), 5u);   // left to right, not 10-(2-3)
    EXPECT_EQ(pixels("64/4/2"), 8u);   // left to right, not 64/(4/2)
    EXPECT_EQ(pixels("--5"), 5u);
    EXPECT_EQ(pixels("+5"), 5u);
    EXPECT_EQ(pixels("-(-7)"), 7u);
    EXPECT_EQ(pixels("3-+1"), 2u);
}

TEST(CropExpression, WhitespaceIsSkippedBetweenTokensAndAfterTheExpression) {
    EXPECT_EQ(pixels("  12  "), 12u);
    EXPECT_EQ(pixels("\t12\r\n"), 12u);
    EXPECT_EQ(pixels(" 800 + 20 "), 820u);
    EXPECT_EQ(pixels("( 2 * ( 3 + 4 ) )\f"), 14u);
    EXPECT_EQ(pixels("- 2 * - 3"), 6u);
    // A vertical tab is not one of the skipped characters.
    EXPECT_EQ(pixels("12\v"), 0u);
    // Whitespace inside a number ends it: what follows is trailing text.
    EXPECT_EQ(pixels("1 2"), 0u);
}

TEST(CropExpression, CommaIsADecimalPointAndNeverAThousandsSeparator) {
    EXPECT_EQ(pixels("1,5*2"), 3u);
    EXPECT_EQ(pixels("2,000"), 2u);
    EXPECT_EQ(pixels("1,000"), 0u);  // the value 1 is below 2
    EXPECT_EQ(pixels("2.5*2"), 5u);
    EXPECT_EQ(pixels("1.*4"), 4u);   // a trailing point
    EXPECT_EQ(pixels(".5*8"), 4u);   // a leading point
    EXPECT_EQ(pixels(",5*8"), 4u);
    EXPECT_EQ(pixels("1.2.3"), 0u);  // two points in one number
    EXPECT_EQ(pixels("1,2,3"), 0u);
    EXPECT_EQ(pixels("."), 0u);
    EXPECT_EQ(pixels(","), 0u);
    EXPECT_EQ(pixels("1e3"), 0u);    // no exponents
    EXPECT_EQ(pixels("0x10"), 0u);   // no hexadecimal
}

TEST(CropExpression, PixelCountsRunFromTwoToTheLargestUnsigned32BitValue) {
    EXPECT_EQ(pixels("1"), 0u);
    EXPECT_EQ(pixels("0"), 0u);
    EXPECT_EQ(pixels("-5"), 0u);
    EXPECT_EQ(pixels("2"), 2u);
    EXPECT_EQ(pixels("4294967295"), 4294967295u);
    EXPECT_EQ(pixels("4294967296"), 0u);
    EXPECT_EQ(pixels("4294967295+1"), 0u);
    EXPECT_EQ(pixels("1.9999"), 0u);
    // Digits beyond what a double holds read as infinity, which is refused.
    EXPECT_EQ(pixels(std::string(400, '9')), 0u);
    // Digits too small for a double read as zero, as the C library reads them.
    const std::string tiny = "0." + std::string(400, '0') + "1";
    EXPECT_EQ(pixels("2+" + tiny), 2u);
    EXPECT_EQ(pixels("5/" + tiny), 0u);  // zero as a divisor
}

TEST(CropExpression, ValuesMustBeWholeUpToRoundingNoise) {
    EXPECT_EQ(pixels("801/2"), 0u);         // 400.5
    EXPECT_EQ(pixels("800,5"), 0u);
    EXPECT_EQ(pixels("10/3*3"), 10u);       // 10.000000000000002 or so
    EXPECT_EQ(pixels("0,29*100"), 29u);     // 28.999999999999996: noise below the whole number
    EXPECT_EQ(pixels("1,1*3*10"), 33u);     // 33.00000000000001
    EXPECT_EQ(pixels("100,000001"), 0u);    // a real fraction, not noise
}

TEST(CropExpression, DivisionByZeroFails) {
    EXPECT_EQ(pixels("5/0"), 0u);
    EXPECT_EQ(pixels("5/(1-1)"), 0u);
    EXPECT_EQ(pixels("5/-0"), 0u);
    EXPECT_EQ(pixels("5/0,0"), 0u);
    EXPECT_FALSE(evaluate_expression("0/0").has_value());
    EXPECT_EQ(pixels("0*5+4"), 4u);  // a zero that is not a divisor is fine
}

TEST(CropExpression, TrailingTextAndMalformedExpressionsFail) {
    EXPECT_EQ(pixels("3a"), 0u);
    EXPECT_EQ(pixels("3 px"), 0u);
    EXPECT_EQ(pixels(""), 0u);
    EXPECT_EQ(pixels("   "), 0u);
    EXPECT_EQ(pixels("800+"), 0u);
    EXPECT_EQ(pixels("*3"), 0u);
    EXPECT_EQ(pixels("(3+4"), 0u);
    EXPECT_EQ(pixels("3+4)"), 0u);
    EXPECT_EQ(pixels("()"), 0u);
    EXPECT_EQ(pixels("2**3"), 0u);
    EXPECT_EQ(pixels(std::string("12\0", 3)), 0u);
    EXPECT_EQ(pixels("\xC3\x97" "3"), 0u);  // a multiplication sign is not an operator
}

TEST(CropExpression, EvaluationReportsWhereParsingStopped) {
    const auto e = evaluate_expression(" 800+20 px");
    ASSERT_TRUE(e.has_value());
    EXPECT_DOUBLE_EQ(e->value, 820.0);
    EXPECT_EQ(e->stop, 8u);  // at "px": the space was skipped looking for another operator
    const auto f = evaluate_expression("1,5");
    ASSERT_TRUE(f.has_value());
    EXPECT_DOUBLE_EQ(f->value, 1.5);
    EXPECT_EQ(f->stop, 3u);
    const auto g = evaluate_expression("-2*3");
    ASSERT_TRUE(g.has_value());
    EXPECT_DOUBLE_EQ(g->value, -6.0);
    const auto h = evaluate_expression("3)");
    ASSERT_TRUE(h.has_value());  // the stray parenthesis is left to the caller
    EXPECT_EQ(h->stop, 1u);
    EXPECT_FALSE(evaluate_expression("").has_value());
    EXPECT_EQ(evaluate_expression("x").error().message, kPixelCountMessage);
}

TEST(CropExpression, NestingIsLimitedToFifteenLevels) {
    EXPECT_EQ(pixels(nested(15, "42")), 42u);
    EXPECT_EQ(pixels(nested(16, "42")), 0u);
    EXPECT_EQ(pixels(std::string(15, '-') + "42"), 0u);  // odd count: -42
    EXPECT_EQ(pixels(std::string(14, '-') + "42"), 42u);
    EXPECT_EQ(pixels(std::string(15, '+') + "42"), 42u);
    EXPECT_EQ(pixels(std::string(16, '+') + "42"), 0u);
    EXPECT_EQ(pixels(std::string(16, '-') + "42"), 0u);
    // Signs and parentheses count together.
    EXPECT_EQ(pixels(nested(10, std::string(5, '+') + "42")), 42u);
    EXPECT_EQ(pixels(nested(10, std::string(6, '+') + "42")), 0u);
    // Depth is per path, not per text: many siblings at one level are fine.
    std::string wide = "(2)";
    for (int i = 0; i < 200; ++i) wide += "+(0)";
    EXPECT_EQ(pixels(wide), 2u);
    // A very deep text fails without exhausting the stack.
    EXPECT_EQ(pixels(nested(100000, "2")), 0u);
    EXPECT_EQ(pixels(std::string(100000, '-') + "2"), 0u);
}

}  // namespace
}  // namespace kadrovix::crop
