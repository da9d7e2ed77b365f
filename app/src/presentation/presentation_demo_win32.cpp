#include "presentation/presentation_demo_win32.h"

#include <algorithm>
#include <cstring>

#include "app/runtime/dib_surface_win32.h"
#include "base/error_win32.h"
#include "presentation/devices/panel_layout.h"
#include "presentation/overlay_paint_win32.h"
#include "presentation/overlay_window_win32.h"
#include "render/renderer_win32.h"
#include "session/io/png_win32.h"
#include "settings/settings.h"

namespace kadrovix::win32 {
namespace {

// Paints `paint` into a premultiplied surface of width x height, as an
// overlay window's picture.
Result<BgraImage> overlay_picture(const RenderContext& context, int width, int height, const OverlayPainter& paint) {
    auto surface = DibSurface::create(width, height);
    if (!surface) return propagate(surface);
    const RECT rect{0, 0, width, height};
    ID2D1DCRenderTarget* target = context.dc_target.Get();
    if (HRESULT hr = target->BindDC(surface->dc(), &rect); FAILED(hr)) return fail_hresult(hr);
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0, 0, 0, 0));
    Result<void> drawn = paint(target);
    const HRESULT hr = target->EndDraw();
    if (!drawn) return propagate(drawn);
    if (FAILED(hr)) return fail_hresult(hr);
    ::GdiFlush();
    BgraImage out;
    out.width = static_cast<std::uint32_t>(width);
    out.height = static_cast<std::uint32_t>(height);
    out.pixels.assign(surface->bits(), surface->bits() + static_cast<std::size_t>(width) * height * 4);
    return out;
}

// Lays a premultiplied picture over an opaque one at (x, y).
void compose(BgraImage& under, const BgraImage& over, int x, int y) {
    for (std::uint32_t row = 0; row < over.height; ++row) {
        const int ty = y + static_cast<int>(row);
        if (ty < 0 || ty >= static_cast<int>(under.height)) continue;
        for (std::uint32_t col = 0; col < over.width; ++col) {
            const int tx = x + static_cast<int>(col);
            if (tx < 0 || tx >= static_cast<int>(under.width)) continue;
            const std::uint8_t* s = &over.pixels[(static_cast<std::size_t>(row) * over.width + col) * 4];
            std::uint8_t* d = &under.pixels[(static_cast<std::size_t>(ty) * under.width + tx) * 4];
            const int keep = 255 - s[3];
            for (int c = 0; c < 3; ++c) d[c] = static_cast<std::uint8_t>(std::min(255, s[c] + d[c] * keep / 255));
        }
    }
}

BgraImage crop(const BgraImage& image, int x, int y, int width, int height) {
    BgraImage out;
    out.width = static_cast<std::uint32_t>(width);
    out.height = static_cast<std::uint32_t>(height);
    out.pixels.resize(static_cast<std::size_t>(width) * height * 4);
    for (int row = 0; row < height; ++row) {
        std::memcpy(&out.pixels[static_cast<std::size_t>(row) * width * 4],
                    &image.pixels[(static_cast<std::size_t>(y + row) * image.width + x) * 4],
                    static_cast<std::size_t>(width) * 4);
    }
    return out;
}

Annotation shape_of(Geometry geometry, double width, Rgb colour) {
    Annotation a;
    a.geometry = std::move(geometry);
    a.width = width;
    a.colour = colour;
    return a;
}

Result<void> halo_demo(const RenderContext& context, const BgraImage& desktop, const std::filesystem::path& folder) {
    const Settings settings = default_settings();
    BgraImage scene = crop(desktop, 300, 120, 360, 200);
    const int side = halo_side(96);
    HaloButtons idle;
    HaloButtons pressed;
    apply_button_flags(pressed, kRawLeftDown, 1000);
    const struct {
        const HaloButtons* buttons;
        std::uint64_t now;
        int x;
    } halos[] = {{&idle, 0, 60}, {&pressed, 1120, 230}};
    for (const auto& h : halos) {
        const HaloFrame frame = halo_frame(side, *h.buttons, settings.presentation_color_1, h.now);
        auto picture = overlay_picture(context, side, side, [&](ID2D1RenderTarget* t) { return paint_halo(t, frame); });
        if (!picture) return propagate(picture);
        compose(scene, *picture, h.x, 100 - side / 2);
    }
    return write_png_file(scene, (folder / L"kadrovix-presentation-halo.png").wstring());
}

Result<void> shapes_demo(const RenderContext& context, const BgraImage& desktop, const std::filesystem::path& folder) {
    const Settings settings = default_settings();
    const Rgb colour = settings.presentation_color_2;
    const double width = settings.presentation_stroke_width;
    std::vector<FadingShape> fading;
    const auto add = [&](Geometry g, std::uint64_t start) {
        fading.push_back(FadingShape{shape_of(std::move(g), width, colour), 28.0, start, 1000});
    };
    // At 1700 ms: fully there, fading, nearly gone.
    add(shape::Rectangle{Rect{{80, 100}, {330, 260}}}, 1500);
    add(shape::Ellipse{Rect{{680, 150}, {900, 330}}}, 1000);
    add(shape::Arrow{std::nullopt, std::nullopt, {560, 480}, {360, 300}}, 850);
    // And an arrow being drawn.
    ShapeDrawing drawing;
    start_drawing(drawing, TemporaryShapeKind::Arrow);
    press_drawing(drawing, Point{420, 520}, settings.presentation_stroke_width, settings.presentation_arrow_size, 96,
                  false, false, colour);
    update_drawing(drawing, Point{640, 420}, false, false, colour);
    BgraImage scene = desktop;
    const int w = static_cast<int>(scene.width);
    const int h = static_cast<int>(scene.height);
    auto picture = overlay_picture(context, w, h, [&](ID2D1RenderTarget* t) {
        return paint_shapes(t, context.d2d_factory.Get(), context.round_stroke.Get(), fading, drawing, 1700);
    });
    if (!picture) return propagate(picture);
    compose(scene, *picture, 0, 0);
    return write_png_file(scene, (folder / L"kadrovix-presentation-shapes.png").wstring());
}

void key(devices::InputSlots& slots, std::uint32_t scan, std::uint32_t vk, bool up, std::uint64_t now, bool e0 = false) {
    devices::KeyEvent e;
    e.scan_code = scan;
    e.virtual_key = vk;
    e.key_up = up;
    e.e0 = e0;
    (void)slots.key_event(e, now, false, true);
}

devices::KeyLabel label(std::u16string_view text) {
    devices::KeyLabel l;
    for (char16_t c : text) {
        if (l.length < devices::kMaxLabelUnits) l.units[l.length++] = c;
    }
    return l;
}

Result<void> keys_demo(const RenderContext& context, const BgraImage& desktop, const std::filesystem::path& folder,
                       bool us_english) {
    devices::InputSlots slots;
    // Ctrl held with a letter, a key released a moment ago, a mouse click.
    key(slots, 29, 0x11, false, 1000);
    if (us_english) {
        key(slots, 46, 'C', false, 1000);
        slots.set_label(46, label(u"c"));
        key(slots, 47, 'V', false, 900);
        slots.set_label(47, label(u"v"));
        key(slots, 47, 'V', true, 1100);
    } else {
        // The French layout: the key left of the Backspace row's "2" types é.
        key(slots, 3, '2', false, 1000);
        slots.set_label(3, label(u"\u00e9"));
        key(slots, 16, 'A', false, 900);
        slots.set_label(16, label(u"a"));
        key(slots, 16, 'A', true, 1100);
    }
    key(slots, 14, 0x08, false, 800);
    key(slots, 14, 0x08, true, 1000);
    (void)slots.mouse_buttons(kRawLeftDown, 1000);

    const devices::PanelGeometry geometry = devices::panel_geometry(96);
    auto formats = create_panel_text_formats(context.dwrite_factory.Get(), geometry.width);
    if (!formats) return propagate(formats);
    InputDisplayPicture picture;
    picture.slots = &slots;
    picture.us_english = us_english;
    picture.panel_width = geometry.width;
    picture.now_ms = 1300;
    auto panel = overlay_picture(context, geometry.width, geometry.height,
                                 [&](ID2D1RenderTarget* t) { return paint_input_display(t, *formats, picture); });
    if (!panel) return propagate(panel);
    auto handle = overlay_picture(context, geometry.handle_side, geometry.handle_side,
                                  [&](ID2D1RenderTarget* t) { return paint_lock_handle(t, geometry.handle_side, false); });
    if (!handle) return propagate(handle);

    BgraImage scene = crop(desktop, 200, 380, geometry.width + 40, geometry.height + 40);
    compose(scene, *panel, 20, 20);
    compose(scene, *handle, 20 + geometry.handle_left, 20 + geometry.handle_top);
    const wchar_t* name = us_english ? L"kadrovix-presentation-keys-us.png" : L"kadrovix-presentation-keys-fr.png";
    return write_png_file(scene, (folder / name).wstring());
}

}  // namespace

Result<void> write_presentation_demo(const BgraImage& desktop, const std::filesystem::path& folder) {
    auto context = create_render_context(TargetAlpha::Premultiplied);
    if (!context) return propagate(context);
    if (auto r = halo_demo(*context, desktop, folder); !r) return r;
    if (auto r = shapes_demo(*context, desktop, folder); !r) return r;
    if (auto r = keys_demo(*context, desktop, folder, true); !r) return r;
    return keys_demo(*context, desktop, folder, false);
}

}  // namespace kadrovix::win32
