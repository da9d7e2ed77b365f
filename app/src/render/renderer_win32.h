// Draws annotation objects with Direct2D and DirectWrite: in the editor's
// overlay while the user works, and into the final image that is copied,
// saved or searched. Shape geometry comes from paths/geometry.h; nothing here
// decides what a shape looks like, only how it is painted.
//
// Everything made from a RenderContext belongs to the thread that created it
// (the Direct2D factory is single-threaded). Calls that touch the Windows
// Imaging Component need COM initialised on that thread.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.h"
#include "editor/annotation.h"
#include "render/bgra_image.h"
#include "render/output_region.h"
#include "render/screen_geometry.h"

namespace kadrovix::win32 {

// How the DC render target treats alpha: premultiplied for layered windows
// that show the desktop through, ignore for opaque windows.
enum class TargetAlpha { Premultiplied, Ignore };

struct RenderContext {
    Microsoft::WRL::ComPtr<ID2D1Factory> d2d_factory;      // single-threaded
    Microsoft::WRL::ComPtr<IDWriteFactory> dwrite_factory;  // shared
    // Round caps, dash caps and joins, miter limit 1: pen strokes, lines,
    // highlighters and arrow shafts.
    Microsoft::WRL::ComPtr<ID2D1StrokeStyle> round_stroke;
    Microsoft::WRL::ComPtr<ID2D1DCRenderTarget> dc_target;  // 96 DPI, B8G8R8A8
    // Set where the platform cannot widen geometries and ignores round caps
    // and joins (Wine): strokes are then drawn run by run with round ends and
    // corners painted as discs, keeping what the user sees the same.
    bool emulate_round_strokes = false;
};

Result<RenderContext> create_render_context(TargetAlpha alpha);

// Draws `objects` in list order (later ones cover earlier ones) on `target`,
// which must be between BeginDraw and EndDraw, from the one at index `first`
// on (an arrow still finds the earlier object it is attached to). The object
// whose id is `leave_out` is skipped (the one being edited in place). The
// target's transform is the caller's and is restored when changed. Returns the
// first failing Direct2D or DirectWrite call's error. With `clip`, objects
// whose paint stays outside it are passed over.
Result<void> draw_annotations(const RenderContext& context, ID2D1RenderTarget* target,
                              std::span<const Annotation> objects,
                              std::optional<std::uint64_t> leave_out = std::nullopt, std::size_t first = 0,
                              const std::optional<Rect>& clip = std::nullopt);

// Binds the context's DC render target to `dc` (`rect` is the part drawn),
// begins drawing, clears to black with alpha 1/255 (so a layered window still
// takes the pointer everywhere) and draws `capture`, if given, at (0, 0) at
// its natural size. Finish with draw_annotations and end_overlay_frame.
Result<void> begin_overlay_frame(const RenderContext& context, HDC dc, const RECT& rect, ID2D1Bitmap* capture);
Result<void> end_overlay_frame(const RenderContext& context);

// A Direct2D bitmap of the whole image on `target` (B8G8R8A8, alpha ignored,
// 96 DPI); "Invalid BGRA image dimensions or buffer length" for a broken image.
Result<Microsoft::WRL::ComPtr<ID2D1Bitmap>> create_capture_bitmap(ID2D1RenderTarget* target, const BgraImage& image);

// The output image: the capture's pixels inside `region` (rounded outwards to
// whole pixels, clamped to the capture) with every object drawn over them at
// one device-independent pixel per capture pixel. Untouched pixels equal the
// capture's exactly. Fully opaque, origin (0, 0).
Result<BgraImage> render_output(const RenderContext& context, const BgraImage& capture,
                                std::span<const Annotation> objects, const RegionF& region);

struct TextSize {
    double width = 0.0;  // trailing white space included
    double height = 0.0;
};

// The size of `text` (UTF-8) on one line in the annotation font at `font_size`.
Result<TextSize> measure_text(IDWriteFactory* factory, std::string_view text, double font_size);

// What a capture session hands over to produce its output image.
struct CaptureOutputSource {
    const BgraImage* capture = nullptr;  // the picture taken when the capture started
    std::span<const Annotation> objects;
    std::optional<RegionF> region;  // none until the user selects one
    bool live = false;               // grab the screen again first
};

inline constexpr char kSelectRegionFirstMessage[] = "Select a capture region first";

// The common first step of copy, save and search: "Select a capture region
// first" without a region; in live mode a fresh grab of the same display
// layout (regrab_virtual_screen) replaces the picture; then render_output.
Result<BgraImage> output_image_of_capture(const RenderContext& context, const CaptureOutputSource& source);

}  // namespace kadrovix::win32
