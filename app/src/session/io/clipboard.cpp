#include "session/io/clipboard.h"

#include <cassert>
#include <cstring>
#include <limits>
#include <utility>

namespace kadrovix {

namespace {

void put_u16(std::uint8_t* out, std::uint16_t v) {
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
}

void put_u32(std::uint8_t* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void put_utf16(std::vector<std::uint8_t>& out, std::uint32_t code_point) {
    auto unit = [&out](std::uint32_t u) {
        out.push_back(static_cast<std::uint8_t>(u));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    if (code_point < 0x10000) {
        unit(code_point);
    } else {
        code_point -= 0x10000;
        unit(0xD800 + (code_point >> 10));
        unit(0xDC00 + (code_point & 0x3FF));
    }
}

// Decodes one UTF-8 sequence at `i`; malformed input (bad lead, bad or missing
// continuation, overlong form, surrogate, beyond U+10FFFF) yields U+FFFD and
// consumes one byte.
std::uint32_t decode_utf8(std::string_view s, std::size_t& i) {
    const auto byte = [&s](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    std::uint32_t cp = 0;
    std::uint32_t min = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1Fu, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0Fu, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07u, min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (s.size() - i < length) {
        ++i;
        return 0xFFFD;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const std::uint8_t c = byte(i + k);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return cp;
}

}  // namespace

Result<std::size_t> dib_block_size(const BgraImage& image) {
    RETURN_IF_ERROR(validate_image(image));
    const std::size_t pixels = image.pixels.size();
    if (pixels > std::numeric_limits<std::size_t>::max() - kDibHeaderBytes) {
        return invalid_argument(kInvalidImageMessage);
    }
    return kDibHeaderBytes + pixels;
}

void write_dib_block(const BgraImage& image, std::span<std::uint8_t> out) {
    assert(out.size() == kDibHeaderBytes + image.pixels.size());
    std::uint8_t* h = out.data();
    std::memset(h, 0, kDibHeaderBytes);
    put_u32(h + 0, static_cast<std::uint32_t>(kDibHeaderBytes));  // biSize
    put_u32(h + 4, image.width);                                  // biWidth (at most 2^29 - 1)
    // biHeight: minus the height, two's complement. Heights go up to 2^31 - 1,
    // so the negation always fits.
    put_u32(h + 8, ~image.height + 1u);
    put_u16(h + 12, 1);             // biPlanes
    put_u16(h + 14, kDibBitCount);  // biBitCount
    put_u32(h + 16, kDibCompressionRgb);
    // biSizeImage, biXPelsPerMeter, biYPelsPerMeter, biClrUsed, biClrImportant stay 0.
    if (!image.pixels.empty()) {
        std::memcpy(h + kDibHeaderBytes, image.pixels.data(), image.pixels.size());
    }
}

std::string color_text(Rgb colour) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "#";
    for (std::uint8_t channel : {colour.r, colour.g, colour.b}) {
        text.push_back(kHex[channel >> 4]);
        text.push_back(kHex[channel & 0x0F]);
    }
    return text;
}

Result<std::vector<std::uint8_t>> unicode_text_block(std::string_view utf8) {
    if (utf8.find('\0') != std::string_view::npos) return invalid_argument(kClipboardTextNulMessage);
    std::vector<std::uint8_t> out;
    out.reserve(2 * utf8.size() + 2);
    for (std::size_t i = 0; i < utf8.size();) put_utf16(out, decode_utf8(utf8, i));
    out.push_back(0);
    out.push_back(0);
    return out;
}

void ObjectClipboard::store(std::vector<Annotation> copies, std::uint32_t clipboard_sequence) {
    objects = std::move(copies);
    sequence = clipboard_sequence;
    paste_count = 0;
}

bool ObjectClipboard::is_current(std::uint32_t current_sequence) const {
    return sequence != 0 && sequence == current_sequence;
}

std::uint32_t ObjectClipboard::count_paste() {
    if (paste_count < std::numeric_limits<std::uint32_t>::max()) ++paste_count;
    return paste_count;
}

}  // namespace kadrovix
