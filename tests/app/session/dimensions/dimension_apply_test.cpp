// Applying the dimension fields to the region, reading one field, and the
// editor's own keys.
#include "session/dimensions/dimension_apply.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "crop/expression.h"
#include "session/commands.h"
#include "app/session/session_fixtures.h"

namespace kadrovix::dimensions {
namespace {

using kadrovix::testing::kFullHd;

constexpr Region kRegion{{100, 200, 900, 700}, true};

TEST(DimensionApply, ResizesAboutTheTopLeftCorner) {
    const ApplyOutcome out = apply_fields(kRegion, kFullHd, "800+20", "1920/4");
    ASSERT_EQ(out.kind, ApplyOutcome::Kind::Applied);
    EXPECT_EQ(out.region, (Region{{100, 200, 920, 680}, true}));
    EXPECT_TRUE(out.message.empty());

    // A fractional corner stays where it is; the size is exact.
    const ApplyOutcome frac = apply_fields(Region{{100.5, 50.25, 300, 300}, true}, kFullHd, " 12 ", "2*(3+4)");
    ASSERT_EQ(frac.kind, ApplyOutcome::Kind::Applied);
    EXPECT_EQ(frac.region, (Region{{100.5, 50.25, 112.5, 64.25}, true}));
}

TEST(DimensionApply, TheRegionMayEndOnTheDesktopsEdgeButNotBeyondIt) {
    const Region at_100{{100, 0, 300, 300}, true};
    const ApplyOutcome fits = apply_fields(at_100, kFullHd, "1820", "1080");
    ASSERT_EQ(fits.kind, ApplyOutcome::Kind::Applied);
    EXPECT_EQ(fits.region, (Region{{100, 0, 1920, 1080}, true}));

    const ApplyOutcome too_wide = apply_fields(at_100, kFullHd, "1821", "100");
    EXPECT_EQ(too_wide.kind, ApplyOutcome::Kind::Invalid);
    EXPECT_EQ(too_wide.message, "The capture must stay inside the desktop. Reduce its width or height.");
    EXPECT_EQ(too_wide.region, at_100);

    const ApplyOutcome too_high = apply_fields(at_100, kFullHd, "100", "1081");
    EXPECT_EQ(too_high.kind, ApplyOutcome::Kind::Invalid);
    EXPECT_EQ(too_high.message, kOutsideDesktopMessage);

    // The largest count the fields accept is far outside any desktop.
    EXPECT_EQ(apply_fields(at_100, kFullHd, "4294967295", "2").message, kOutsideDesktopMessage);
    // A small desktop.
    const Desktop small{0, 0, 640, 480};
    EXPECT_EQ(apply_fields(Region{{600, 400, 620, 420}, true}, small, "40", "80").kind, ApplyOutcome::Kind::Applied);
    EXPECT_EQ(apply_fields(Region{{600, 400, 620, 420}, true}, small, "41", "80").kind, ApplyOutcome::Kind::Invalid);
}

TEST(DimensionApply, CornersThatAreNotFiniteFailWithTheDesktopMessage) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(apply_fields(Region{{nan, 0, 10, 10}, true}, kFullHd, "5", "5").message, kOutsideDesktopMessage);
    EXPECT_EQ(apply_fields(Region{{0, nan, 10, 10}, true}, kFullHd, "5", "5").message, kOutsideDesktopMessage);
    EXPECT_EQ(apply_fields(Region{{-inf, 0, 10, 10}, true}, kFullHd, "5", "5").message, kOutsideDesktopMessage);
}

TEST(DimensionApply, TheFirstFieldThatFailsDecidesAndNothingChanges) {
    // The width is read first; a bad height is not reached.
    const ApplyOutcome bad_width = apply_fields(kRegion, kFullHd, "801/2", "5/0");
    EXPECT_EQ(bad_width.kind, ApplyOutcome::Kind::Invalid);
    EXPECT_EQ(bad_width.message, crop::kPixelCountMessage);
    EXPECT_EQ(bad_width.region, kRegion);
    // Both fields are read before the desktop is checked: a width far too
    // large with an unreadable height reports the height.
    const ApplyOutcome bad_height = apply_fields(kRegion, kFullHd, "5000", "3a");
    EXPECT_EQ(bad_height.message, crop::kPixelCountMessage);
    EXPECT_EQ(apply_fields(kRegion, kFullHd, "", "10").message, crop::kPixelCountMessage);
    EXPECT_EQ(apply_fields(kRegion, kFullHd, "10", "1").message, crop::kPixelCountMessage);
}

TEST(DimensionApply, WithoutARegionNothingHappensAndNoMessageIsGiven) {
    const ApplyOutcome out = apply_fields(Region{}, kFullHd, "800", "600");
    EXPECT_EQ(out.kind, ApplyOutcome::Kind::NoRegion);
    EXPECT_TRUE(out.message.empty());
}

TEST(DimensionApply, FieldTextsOfMoreThan128BytesAreRefused) {
    const std::string spaces_128 = "2" + std::string(127, ' ');
    EXPECT_EQ(*parse_field(spaces_128), 2u);
    const auto long_text = parse_field(spaces_128 + " ");  // 129 bytes, still a valid expression
    ASSERT_FALSE(long_text.has_value());
    EXPECT_EQ(long_text.error().message, crop::kPixelCountMessage);
    // 43 three-byte characters: 43 UTF-16 units, but 129 bytes.
    std::string wide;
    for (int i = 0; i < 43; ++i) wide += "\xE2\x80\x83";  // em space, not ASCII whitespace either
    EXPECT_EQ(wide.size(), 129u);
    EXPECT_FALSE(parse_field(wide).has_value());
    EXPECT_EQ(apply_fields(kRegion, kFullHd, "10", spaces_128 + " ").message, crop::kPixelCountMessage);
}

TEST(DimensionApply, FieldsStartWithTheRegionsSidesInShortestForm) {
    EXPECT_EQ(field_text(800.0), "800");
    EXPECT_EQ(field_text(400.5), "400.5");
    EXPECT_EQ(field_text(2.0), "2");
    EXPECT_EQ(field_text(1920.0), "1920");
    EXPECT_EQ(field_text(0.1 + 0.2), "0.30000000000000004");
    // What the fields start with reads back as the region's own size.
    const Region r{{37, 12, 37 + 1234, 12 + 567}, true};
    const ApplyOutcome same = apply_fields(r, kFullHd, field_text(r.right - r.left), field_text(r.bottom - r.top));
    ASSERT_EQ(same.kind, ApplyOutcome::Kind::Applied);
    EXPECT_EQ(same.region, r);
}

TEST(DimensionApply, TabAlternatesFieldsAndTheEditorKeepsOnlyItsThreeKeys) {
    EXPECT_EQ(tab_target(Field::Width), Field::Height);
    EXPECT_EQ(tab_target(Field::Height), Field::Width);
    EXPECT_EQ(tab_target(std::nullopt), Field::Width);
    EXPECT_EQ(editor_key(vk::kTab), EditorKey::Tab);
    EXPECT_EQ(editor_key(vk::kEscape), EditorKey::Cancel);
    EXPECT_EQ(editor_key(vk::kReturn), EditorKey::Apply);
    for (std::uint32_t other : {0x41u, 0x30u, vk::kLeft, vk::kDelete, 0x08u /* backspace */, vk::kF2}) {
        EXPECT_EQ(editor_key(other), EditorKey::None) << other;
    }
}

}  // namespace
}  // namespace kadrovix::dimensions
