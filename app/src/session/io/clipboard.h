// What the editor puts on the clipboard, as plain bytes and state: the CF_DIB
// block of an output image, a colour as Unicode text, and the bookkeeping that
// decides whether the editor's own copied objects may still be pasted. The
// clipboard calls themselves live in clipboard_win32.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "editor/annotation.h"
#include "render/bgra_image.h"

namespace kadrovix {

// Registered clipboard format whose presence means "the objects this editor
// copied are still the clipboard's content". Its data is the single byte 1.
inline constexpr char kAnnotationsClipboardFormat[] = "Kadrovix.Annotations.Session";
inline constexpr std::uint8_t kAnnotationsMarkerByte = 1;

inline constexpr std::size_t kDibHeaderBytes = 40;  // BITMAPINFOHEADER
inline constexpr std::uint16_t kDibBitCount = 32;
inline constexpr std::uint32_t kDibCompressionRgb = 0;  // BI_RGB

inline constexpr char kClipboardTextNulMessage[] = "Clipboard text contains a null character";

// Size of the CF_DIB block of `image` (header plus 4 x width x height pixel
// bytes), or the invalid-image error when the image breaks its invariants.
Result<std::size_t> dib_block_size(const BgraImage& image);

// Writes the CF_DIB block of a valid `image` into `out`, which must hold
// exactly dib_block_size(image) bytes: a BITMAPINFOHEADER with a negative
// height (rows top-down), 32 bits per pixel, uncompressed, followed directly by
// the image's pixels unchanged. Writing in place lets the caller fill the
// clipboard's global memory without a second full-size copy.
void write_dib_block(const BgraImage& image, std::span<std::uint8_t> out);

// "#RRGGBB" with upper-case hexadecimal digits, e.g. "#ED4F5C".
std::string color_text(Rgb colour);

// CF_UNICODETEXT data: `utf8` as UTF-16LE followed by a two-byte terminator.
// Refuses text with a NUL character. Malformed UTF-8 becomes U+FFFD.
Result<std::vector<std::uint8_t>> unicode_text_block(std::string_view utf8);

// The editor's private copy of annotation objects for one capture. The objects
// never leave the process; `sequence` is the clipboard sequence number taken
// when the marker went onto the clipboard (0: nothing copied).
struct ObjectClipboard {
    std::vector<Annotation> objects;
    std::uint32_t sequence = 0;
    std::uint32_t paste_count = 0;

    // A successful copy: the new objects replace the old ones and the paste
    // offset starts again.
    void store(std::vector<Annotation> copies, std::uint32_t clipboard_sequence);

    // True while the clipboard sequence number still matches the copy's: no
    // one, this program included, has put anything on the clipboard since.
    bool is_current(std::uint32_t current_sequence) const;

    // Counts one more paste and gives its count (1 for the first paste after a
    // copy); stays at the largest u32 once reached.
    std::uint32_t count_paste();
};

}  // namespace kadrovix
