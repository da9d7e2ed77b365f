#include "render/text_pieces_win32.h"

#include <algorithm>

#include "base/error_win32.h"

namespace kadrovix::win32 {
namespace {

// Lives on the stack for one Draw call: reference counting is a formality,
// and nothing ever deletes it through an interface pointer.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class PieceRenderer final : public IDWriteTextRenderer {
public:
    PieceRenderer(ID2D1RenderTarget* target, ID2D1Brush* brush) : target_(target), brush_(brush) {}
    virtual ~PieceRenderer() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDWritePixelSnapping) || iid == __uuidof(IDWriteTextRenderer)) {
            *object = static_cast<IDWriteTextRenderer*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE IsPixelSnappingDisabled(void*, BOOL* disabled) override {
        *disabled = FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentTransform(void*, DWRITE_MATRIX* transform) override {
        D2D1_MATRIX_3X2_F m;
        target_->GetTransform(&m);
        *transform = DWRITE_MATRIX{m._11, m._12, m._21, m._22, m._31, m._32};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelsPerDip(void*, FLOAT* pixels_per_dip) override {
        float dpi_x = 96.0f, dpi_y = 96.0f;
        target_->GetDpi(&dpi_x, &dpi_y);
        *pixels_per_dip = dpi_x / 96.0f;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE DrawGlyphRun(void*, FLOAT x, FLOAT y, DWRITE_MEASURING_MODE mode,
                                           const DWRITE_GLYPH_RUN* run, const DWRITE_GLYPH_RUN_DESCRIPTION*,
                                           IUnknown*) override {
        // Right-to-left runs advance leftwards from their origin.
        const float direction = (run->bidiLevel & 1) != 0 ? -1.0f : 1.0f;
        float pen = x;
        for (UINT32 first = 0; first < run->glyphCount; first += kGlyphsPerPiece) {
            DWRITE_GLYPH_RUN piece = *run;
            piece.glyphCount = std::min(kGlyphsPerPiece, run->glyphCount - first);
            piece.glyphIndices = run->glyphIndices + first;
            piece.glyphAdvances = run->glyphAdvances != nullptr ? run->glyphAdvances + first : nullptr;
            piece.glyphOffsets = run->glyphOffsets != nullptr ? run->glyphOffsets + first : nullptr;
            if (run->glyphAdvances == nullptr) {
                // No advances to cut by: drawn whole, as one piece.
                target_->DrawGlyphRun(D2D1::Point2F(pen, y), &piece, brush_, mode);
                break;
            }
            float width = 0.0f;
            for (UINT32 i = 0; i < piece.glyphCount; ++i) width += piece.glyphAdvances[i];
            const float from = direction > 0 ? pen : pen - width;
            // A long text is mostly off the target: its pieces there cost
            // nothing to skip and a lot to rasterise.
            if (on_target(from, y, width, run->fontEmSize)) {
                target_->DrawGlyphRun(D2D1::Point2F(pen, y), &piece, brush_, mode);
            }
            pen += direction * width;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawUnderline(void*, FLOAT, FLOAT, const DWRITE_UNDERLINE*, IUnknown*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawStrikethrough(void*, FLOAT, FLOAT, const DWRITE_STRIKETHROUGH*, IUnknown*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawInlineObject(void*, FLOAT, FLOAT, IDWriteInlineObject*, BOOL, BOOL,
                                               IUnknown*) override {
        return S_OK;
    }

private:
    // Whether the box of a piece (its advance across, a generous line height
    // around the baseline) reaches the target through the current transform.
    bool on_target(float left, float baseline, float width, float em) const {
        D2D1_MATRIX_3X2_F m;
        target_->GetTransform(&m);
        const D2D1_SIZE_F size = target_->GetSize();
        const D2D1_POINT_2F corners[4] = {{left, baseline - 2 * em}, {left + width, baseline - 2 * em},
                                          {left, baseline + em}, {left + width, baseline + em}};
        float min_x = 1e30f, min_y = 1e30f, max_x = -1e30f, max_y = -1e30f;
        for (const D2D1_POINT_2F& c : corners) {
            const float tx = c.x * m._11 + c.y * m._21 + m._31;
            const float ty = c.x * m._12 + c.y * m._22 + m._32;
            min_x = std::min(min_x, tx);
            max_x = std::max(max_x, tx);
            min_y = std::min(min_y, ty);
            max_y = std::max(max_y, ty);
        }
        return max_x >= 0.0f && min_x <= size.width && max_y >= 0.0f && min_y <= size.height;
    }

    ID2D1RenderTarget* target_;
    ID2D1Brush* brush_;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace

Result<void> draw_layout_in_pieces(ID2D1RenderTarget* target, IDWriteTextLayout* layout, D2D1_POINT_2F origin,
                                   ID2D1Brush* brush) {
    PieceRenderer renderer(target, brush);
    RETURN_IF_FAILED(layout->Draw(nullptr, &renderer, origin.x, origin.y));
    return {};
}

}  // namespace kadrovix::win32
