#include "session/io/clipboard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "editor/editor.h"
#include "support/document_fixtures.h"

namespace kadrovix {
namespace {

std::uint32_t read_u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::int32_t read_i32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::int32_t>(read_u32(b, at));
}
std::uint16_t read_u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

BgraImage patterned_image(std::uint32_t width, std::uint32_t height) {
    BgraImage image;
    image.width = width;
    image.height = height;
    image.origin_x = -1920;  // a grab's origin must not leak into the block
    image.origin_y = 40;
    image.pixels.resize(4ull * width * height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        image.pixels[i] = (i % 4 == 3) ? 255 : static_cast<std::uint8_t>(i * 7 + 3);
    }
    return image;
}

std::vector<std::uint8_t> dib_of(const BgraImage& image) {
    auto size = dib_block_size(image);
    EXPECT_TRUE(size.has_value());
    std::vector<std::uint8_t> block(size.has_value() ? *size : 0, 0xCD);
    if (size.has_value()) write_dib_block(image, block);
    return block;
}

TEST(ClipboardDib, HeaderFieldsAndPixelsFollowTheBitmapLayout) {
    const BgraImage image = patterned_image(3, 2);
    const std::vector<std::uint8_t> block = dib_of(image);
    ASSERT_EQ(block.size(), 40u + 4u * 3u * 2u);
    EXPECT_EQ(read_u32(block, 0), 40u);   // biSize
    EXPECT_EQ(read_i32(block, 4), 3);     // biWidth
    EXPECT_EQ(read_i32(block, 8), -2);    // biHeight: top-down rows
    EXPECT_EQ(read_u16(block, 12), 1u);   // biPlanes
    EXPECT_EQ(read_u16(block, 14), 32u);  // biBitCount
    EXPECT_EQ(read_u32(block, 16), 0u);   // BI_RGB
    for (std::size_t at = 20; at < 40; at += 4) EXPECT_EQ(read_u32(block, at), 0u) << "header offset " << at;
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin() + 40, block.end()), image.pixels);
}

TEST(ClipboardDib, TallImagesKeepTheirFullNegativeHeight) {
    // Heights beyond 16 bits must survive the two's-complement negation.
    const BgraImage image = patterned_image(1, 70000);
    const std::vector<std::uint8_t> block = dib_of(image);
    EXPECT_EQ(read_i32(block, 4), 1);
    EXPECT_EQ(read_i32(block, 8), -70000);
    EXPECT_EQ(block.size(), 40u + 4u * 70000u);
}

TEST(ClipboardDib, InvalidImagesAreRefused) {
    BgraImage no_width = patterned_image(2, 2);
    no_width.width = 0;
    BgraImage short_buffer = patterned_image(2, 2);
    short_buffer.pixels.pop_back();
    BgraImage too_wide;
    too_wide.width = kMaxImageWidth + 1;
    too_wide.height = 1;
    for (const BgraImage* image : {&no_width, &short_buffer, &too_wide}) {
        auto size = dib_block_size(*image);
        ASSERT_FALSE(size.has_value());
        EXPECT_EQ(size.error().message, "Invalid BGRA image dimensions or buffer length");
        EXPECT_EQ(size.error().code, kErrorInvalidArgument);
    }
}

TEST(ClipboardText, ColourCodeIsUpperCaseHex) {
    EXPECT_EQ(color_text(kPresetColours[0]), "#ED4F5C");
    EXPECT_EQ(color_text({0, 0, 0}), "#000000");
    EXPECT_EQ(color_text({255, 15, 160}), "#FF0FA0");
    EXPECT_EQ(color_text({10, 171, 1}), "#0AAB01");
}

TEST(ClipboardText, UnicodeBlockIsUtf16LittleEndianWithTerminator) {
    auto block = unicode_text_block("#ED4F5C");
    ASSERT_TRUE(block.has_value());
    const std::vector<std::uint8_t> expected = {'#', 0, 'E', 0, 'D', 0, '4', 0, 'F', 0, '5', 0, 'C', 0, 0, 0};
    EXPECT_EQ(*block, expected);

    // U+00E9 and U+1F600, the latter as a surrogate pair.
    auto wide = unicode_text_block("\xC3\xA9\xF0\x9F\x98\x80");
    ASSERT_TRUE(wide.has_value());
    const std::vector<std::uint8_t> pair = {0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0, 0};
    EXPECT_EQ(*wide, pair);

    // A stray continuation byte and a cut-off sequence become U+FFFD each.
    auto bad = unicode_text_block(
        "a\x80"
        "b\xE2\x82");
    ASSERT_TRUE(bad.has_value());
    const std::vector<std::uint8_t> replaced = {'a', 0, 0xFD, 0xFF, 'b', 0, 0xFD, 0xFF, 0xFD, 0xFF, 0, 0};
    EXPECT_EQ(*bad, replaced);

    auto empty = unicode_text_block("");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(*empty, (std::vector<std::uint8_t>{0, 0}));
}

TEST(ClipboardText, TextWithNulIsRefused) {
    auto block = unicode_text_block(std::string_view("#ED\0F5C", 7));
    ASSERT_FALSE(block.has_value());
    EXPECT_EQ(block.error().message, "Clipboard text contains a null character");
}

TEST(ObjectClipboardState, CopyIsCurrentOnlyForItsOwnSequenceNumber) {
    ObjectClipboard state;
    EXPECT_FALSE(state.is_current(0)) << "nothing copied yet";
    EXPECT_FALSE(state.is_current(7));
    state.store({testing::make_rect(1, {{0, 0}, {10, 10}})}, 41);
    EXPECT_TRUE(state.is_current(41));
    EXPECT_FALSE(state.is_current(42)) << "something else was copied since";
    state.store({testing::make_rect(1, {{0, 0}, {10, 10}})}, 0);
    EXPECT_FALSE(state.is_current(0)) << "a zero sequence number never matches";
}

TEST(ObjectClipboardState, RepeatedPastesStepOutAndANewCopyStartsAgain) {
    Editor editor = testing::editor_with({testing::make_rect(1, {{10, 20}, {30, 40}})});
    editor.selection = {1};
    ObjectClipboard state;
    state.store(editor.copy_selection(), 5);

    std::vector<double> lefts;
    for (int i = 0; i < 3; ++i) {
        editor.paste(state.objects, state.count_paste());
        ASSERT_EQ(editor.selection.size(), 1u);
        lefts.push_back(editor.objects.back().as<shape::Rectangle>()->box.min.x);
    }
    EXPECT_EQ(lefts, (std::vector<double>{26, 42, 58}));

    // Copy the last pasted object: its copy is pasted at +16 from it, not +64.
    state.store(editor.copy_selection(), 9);
    EXPECT_EQ(state.paste_count, 0u);
    editor.paste(state.objects, state.count_paste());
    EXPECT_EQ(editor.objects.back().as<shape::Rectangle>()->box.min, (Point{74, 84}));
    EXPECT_EQ(editor.objects.size(), 5u);
}

TEST(ObjectClipboardState, PasteCountStopsAtItsMaximum) {
    ObjectClipboard state;
    state.paste_count = std::numeric_limits<std::uint32_t>::max() - 1;
    EXPECT_EQ(state.count_paste(), std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(state.count_paste(), std::numeric_limits<std::uint32_t>::max());
}

}  // namespace
}  // namespace kadrovix
