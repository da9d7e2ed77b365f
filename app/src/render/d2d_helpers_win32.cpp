#include "render/d2d_helpers_win32.h"

#include <mutex>
#include <string>
#include <vector>

namespace kadrovix::d2d {

namespace {

struct MadeFormat {
    Microsoft::WRL::ComPtr<IDWriteFactory> factory;  // held, so that its address is not reused
    std::wstring family;
    std::wstring locale;
    TextStyle style;
    Microsoft::WRL::ComPtr<IDWriteTextFormat> format;

    bool matches(IDWriteFactory* f, const TextStyle& s) const {
        return factory.Get() == f && family == s.family && locale == s.locale && style.size == s.size &&
               style.weight == s.weight && style.wrap == s.wrap &&
               style.centred_horizontally == s.centred_horizontally && style.centred_vertically == s.centred_vertically;
    }
};

// A handful of styles are in use at any time; a full list starts again.
constexpr std::size_t kMostFormats = 64;

}  // namespace

Result<Microsoft::WRL::ComPtr<IDWriteTextFormat>> text_format(IDWriteFactory* factory, const TextStyle& style) {
    // Presentation mode paints on threads of its own.
    static std::mutex guard;
    static std::vector<MadeFormat> made;
    const std::lock_guard<std::mutex> lock(guard);
    for (const MadeFormat& m : made) {
        if (m.matches(factory, style)) return m.format;
    }
    Microsoft::WRL::ComPtr<IDWriteTextFormat> format;
    RETURN_IF_FAILED(factory->CreateTextFormat(style.family, nullptr, style.weight, DWRITE_FONT_STYLE_NORMAL,
                                               DWRITE_FONT_STRETCH_NORMAL, style.size, style.locale, &format));
    format->SetWordWrapping(style.wrap ? DWRITE_WORD_WRAPPING_WRAP : DWRITE_WORD_WRAPPING_NO_WRAP);
    if (style.centred_horizontally) format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    if (style.centred_vertically) format->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
    if (made.size() == kMostFormats) made.clear();
    made.push_back({factory, style.family, style.locale, style, format});
    return format;
}

}  // namespace kadrovix::d2d
