// The overlay's retained base: the frozen picture under its veil with the
// annotations that are not moving, kept in an offscreen bitmap and redrawn
// only when what it shows changes. A frame copies it and draws the rest (the
// objects a gesture is changing, frames, handles, toolbar, tooltips) on top,
// so the cost of a pointer move no longer grows with the user's work.
#pragma once

#include <d2d1.h>
#include <wrl/client.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/error_win32.h"
#include "editor/annotation.h"
#include "session/session_state.h"

namespace kadrovix::win32 {

// Everything the base shows besides its annotations.
struct BaseKey {
    std::uint64_t picture = 0;  // the frozen picture's generation
    Region region;
    std::optional<std::uint64_t> edited;  // the text shown only as its live field
    friend bool operator==(const BaseKey&, const BaseKey&) = default;
};

class OverlayBase {
public:
    // Forgets the bitmap: its render target is gone, or the picture changed.
    void reset();

    // How many leading objects of `objects` the bitmap holds for `key`: all
    // it holds must still be the first objects, unchanged. None when it
    // cannot serve.
    std::optional<std::size_t> covers(const BaseKey& key, std::span<const Annotation> objects) const;

    // Decides whether this frame redraws the base, and with how many objects;
    // none draws this frame directly. During a gesture (`before_gesture` is
    // the document as the gesture found it) the base takes the objects before
    // the first one the gesture changed, at once. Otherwise it takes all
    // objects, but only once they and the key stayed the same for two frames
    // in a row, so that a region dragged or a document changing on every
    // frame costs no more than drawing it directly. An arrow stays out of the
    // base unless the object it is attached to is in it.
    std::optional<std::size_t> plan_rebuild(const BaseKey& key, std::span<const Annotation> objects,
                                            std::span<const Annotation> const* before_gesture);

    // Redraws the base on a bitmap compatible with `target` (which is between
    // BeginDraw and EndDraw), `draw(layer, objects)` painting the picture, the
    // veil and the first `count` objects.
    template <class Draw>
    Result<void> rebuild(ID2D1RenderTarget* target, D2D1_SIZE_U size, const BaseKey& key,
                         std::span<const Annotation> objects, std::size_t count, Draw&& draw) {
        reset();
        Microsoft::WRL::ComPtr<ID2D1BitmapRenderTarget> layer;
        RETURN_IF_FAILED(target->CreateCompatibleRenderTarget(
            D2D1::SizeF(static_cast<float>(size.width), static_cast<float>(size.height)), size, &layer));
        layer->BeginDraw();
        Result<void> drawn = draw(layer.Get(), objects.first(count));
        const HRESULT ended = layer->EndDraw();
        if (!drawn) return drawn;
        RETURN_IF_FAILED(ended);
        Microsoft::WRL::ComPtr<ID2D1Bitmap> bitmap;
        RETURN_IF_FAILED(layer->GetBitmap(&bitmap));
        layer_ = std::move(layer);
        bitmap_ = std::move(bitmap);
        key_ = key;
        objects_.assign(objects.begin(), objects.begin() + static_cast<std::ptrdiff_t>(count));
        return {};
    }

    ID2D1Bitmap* bitmap() const { return bitmap_.Get(); }

private:
    Microsoft::WRL::ComPtr<ID2D1BitmapRenderTarget> layer_;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> bitmap_;
    BaseKey key_;
    std::vector<Annotation> objects_;  // what the bitmap holds
    // What the last frame that drew directly would have put in the base.
    std::optional<BaseKey> pending_key_;
    std::vector<Annotation> pending_objects_;
};

}  // namespace kadrovix::win32
