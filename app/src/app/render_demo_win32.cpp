#include "app/render_demo_win32.h"

#include <cmath>
#include <filesystem>
#include <numbers>
#include <vector>

#include "app/messages.h"
#include "app/notice/toast.h"
#include "app/notice/toast_win32.h"
#include "app/runtime/dib_surface_win32.h"
#include "app/runtime/gdi_win32.h"
#include "app/runtime/text_win32.h"
#include "app/setup/tray_menu.h"
#include "app/setup/tray_menu_win32.h"
#include "base/error_win32.h"
#include "presentation/presentation_demo_win32.h"
#include "presentation/presentation_state.h"
#include "render/renderer_win32.h"
#include "session/io/png_win32.h"
#include "settings/settings.h"

namespace kadrovix {
namespace {

void fill_rect(BgraImage& img, int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = std::max(0, y0); y < std::min<int>(img.height, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min<int>(img.width, x1); ++x) {
            std::uint8_t* p = &img.pixels[(static_cast<std::size_t>(y) * img.width + x) * 4];
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
            p[3] = 255;
        }
    }
}

// Something that looks like a desktop: wallpaper, a document window with
// lines of "text", and a small bar chart, so the annotations sit on content.
Result<BgraImage> demo_desktop(std::uint32_t width, std::uint32_t height) {
    auto filled = new_filled_image(width, height, 0xFF000000u);
    if (!filled) return filled;
    BgraImage img = std::move(*filled);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const double t = (static_cast<double>(x) / width + static_cast<double>(y) / height) / 2.0;
            std::uint8_t* p = &img.pixels[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(150 + 70 * t);  // blue
            p[1] = static_cast<std::uint8_t>(90 + 60 * t);   // green
            p[2] = static_cast<std::uint8_t>(40 + 30 * t);   // red
        }
    }
    // Document window.
    fill_rect(img, 60, 50, 620, 540, {243, 243, 243});
    fill_rect(img, 60, 50, 620, 82, {32, 32, 32});
    fill_rect(img, 76, 62, 180, 70, {200, 200, 200});
    for (int line = 0; line < 14; ++line) {
        const int y = 112 + line * 28;
        const int len = 420 - (line * 37) % 160;
        fill_rect(img, 92, y, 92 + len, y + 9, {150, 154, 160});
    }
    // Chart window.
    fill_rect(img, 660, 120, 920, 420, {250, 250, 252});
    fill_rect(img, 660, 120, 920, 148, {45, 45, 48});
    const Rgb bars[] = {{80, 153, 244}, {64, 199, 128}, {250, 192, 66}, {237, 79, 92}};
    for (int i = 0; i < 4; ++i) {
        const int h = 60 + i * 45;
        fill_rect(img, 690 + i * 55, 400 - h, 730 + i * 55, 400, bars[i]);
    }
    // Taskbar.
    fill_rect(img, 0, static_cast<int>(height) - 40, static_cast<int>(width), static_cast<int>(height), {28, 28, 30});
    return img;
}

Annotation make(std::uint64_t id, Geometry g, Rgb colour, double width, double angle = 0.0) {
    Annotation a;
    a.geometry = std::move(g);
    a.id = id;
    a.colour = colour;
    a.width = width;
    a.angle = angle;
    return a;
}

Result<Annotation> make_text(const win32::RenderContext& ctx, std::uint64_t id, Point at, std::string text,
                             double size, Rgb colour, double angle = 0.0) {
    auto measured = win32::measure_text(ctx.dwrite_factory.Get(), text, size);
    if (!measured) return propagate(measured);
    shape::Text t;
    t.text = std::move(text);
    t.position = at;
    t.font_size = size;
    t.layout_width = measured->width;
    t.layout_height = measured->height;
    return make(id, t, colour, 3.0, angle);
}

Result<std::vector<Annotation>> demo_annotations(const win32::RenderContext& ctx) {
    const Rgb red = kPresetColours[0], yellow = kPresetColours[1], green = kPresetColours[2],
              blue = kPresetColours[3], white = kPresetColours[4], black = kPresetColours[5];
    std::vector<Annotation> objects;
    objects.push_back(make(1, shape::Rectangle{{{80, 100}, {360, 230}}}, red, 4));
    objects.push_back(make(2, shape::Ellipse{{{690, 170}, {790, 270}}}, green, 3));
    objects.push_back(make(3, shape::Ellipse{{{430, 300}, {590, 380}}}, blue, 3, 0.45));
    // Arrows attached to the rectangle and the circle: their ends sit on the outlines.
    shape::Arrow to_rect;
    to_rect.start = {520, 150};
    to_rect.end = {0, 0};
    to_rect.end_attachment = Attachment{1.0, 0.1, 1};
    objects.push_back(make(4, to_rect, yellow, 4));
    shape::Arrow to_circle;
    to_circle.start = {610, 460};
    to_circle.end = {0, 0};
    to_circle.end_attachment = Attachment{-0.3, 1.0, 2};
    objects.push_back(make(5, to_circle, red, 3));
    // Pen: a wavy underline with rounded corners.
    shape::Stroke pen;
    for (int i = 0; i <= 12; ++i) pen.points.push_back({100.0 + i * 22.0, 470.0 + ((i % 2) ? -12.0 : 12.0)});
    objects.push_back(make(6, pen, blue, 3));
    // Highlighter crossing itself: one even tint where it overlaps.
    shape::Stroke marker;
    marker.highlighter = 1;
    marker.points = {{100, 300}, {380, 330}, {380, 300}, {100, 330}};
    objects.push_back(make(7, marker, yellow, 4));
    shape::Stroke line;
    line.points = {{650, 470}, {900, 520}};
    objects.push_back(make(8, line, black, 3));
    shape::Stroke white_line;
    white_line.points = {{650, 500}, {900, 550}};
    objects.push_back(make(9, white_line, white, 5));

    struct T {
        Point at;
        const char* text;
        double size;
        Rgb colour;
        double angle;
    };
    const T texts[] = {
        {{390, 96}, "Check this total", 24, red, 0.0},
        {{700, 440}, "Q3 up 18 %", 16, green, 0.0},
        {{650, 40}, "Kadrovix", 40, white, 0.0},
        {{760, 290}, "turned", 20, blue, -0.35},
        {{110, 250}, "small note", 12, black, 0.0},
    };
    std::uint64_t id = 10;
    for (const T& t : texts) {
        auto a = make_text(ctx, id++, t.at, t.text, t.size, t.colour, t.angle);
        if (!a) return propagate(a);
        objects.push_back(std::move(*a));
    }
    return objects;
}

Result<void> write_png(const BgraImage& image, const std::filesystem::path& path) {
    return win32::write_png_file(image, path.wstring());
}

// The tray menu as it opens from the notification icon, drawn off-screen.
Result<BgraImage> render_menu_image() {
    TrayMenuInputs inputs;
    const Settings settings = default_settings();
    inputs.features = kFeatureTemporaryShapes | kFeaturePointerHalo;
    inputs.shape_shortcuts = settings.shape_shortcuts;
    inputs.hook_priority = {false, true, false};
    inputs.shape_duration_ms = settings.shape_duration_ms;
    inputs.live_capture = true;
    inputs.run_value_exists = true;
    const TrayMenuModel model = build_tray_menu(inputs);
    auto menu = create_tray_menu(model);
    if (!menu) return propagate(menu);

    constexpr std::uint32_t dpi = 96;
    constexpr int kBorder = 1, kPad = 4, kStandardSeparator = 9;
    int width = 0, height = 0;
    for (const TrayMenuItem& item : model.items) {
        const MenuItemSize size = tray_menu_item_size(item.id, dpi);
        width = std::max(width, size.width);
        height += item.kind == TrayMenuItemKind::StandardSeparator ? kStandardSeparator : size.height;
    }
    const int total_w = width + 2 * (kBorder + kPad);
    const int total_h = height + 2 * (kBorder + kPad);
    auto canvas = win32::DibSurface::create(total_w, total_h);
    if (!canvas) return propagate(canvas);
    {
        win32::UniqueBrush border(::CreateSolidBrush(RGB(0x45, 0x45, 0x45)));
        win32::UniqueBrush fill(::CreateSolidBrush(RGB(0x2B, 0x2B, 0x2B)));
        RECT all{0, 0, total_w, total_h};
        ::FillRect(canvas->dc(), &all, border.get());
        RECT inner{kBorder, kBorder, total_w - kBorder, total_h - kBorder};
        ::FillRect(canvas->dc(), &inner, fill.get());
    }
    int y = kBorder + kPad;
    for (const TrayMenuItem& item : model.items) {
        const int x = kBorder + kPad;
        if (item.kind == TrayMenuItemKind::StandardSeparator) {
            win32::UniqueBrush line(::CreateSolidBrush(RGB(0x49, 0x49, 0x49)));
            RECT r{x + 8, y + kStandardSeparator / 2, x + width - 8, y + kStandardSeparator / 2 + 1};
            ::FillRect(canvas->dc(), &r, line.get());
            y += kStandardSeparator;
            continue;
        }
        const MenuItemSize size = tray_menu_item_size(item.id, dpi);
        DRAWITEMSTRUCT draw{};
        draw.CtlType = ODT_MENU;
        draw.itemID = item.id;
        draw.itemAction = ODA_DRAWENTIRE;
        draw.itemState = (item.checked ? ODS_CHECKED : 0) | (item.id == kMenuTakeScreenshot ? ODS_SELECTED : 0);
        draw.hwndItem = reinterpret_cast<HWND>(menu->get());
        draw.hDC = canvas->dc();
        draw.rcItem = RECT{x, y, x + width, y + size.height};
        draw.itemData = item.data;
        draw_menu_item(&draw, dpi);
        y += size.height;
    }
    return canvas->image();
}

// The confirmation toast, with the corners outside its rounded region left transparent.
Result<BgraImage> render_toast_image() {
    const ToastPlacement geometry = toast_placement(WorkArea{0, 0, 1280, 800}, 96);
    auto canvas = win32::DibSurface::create(geometry.width, geometry.height);
    if (!canvas) return propagate(canvas);
    const RECT client{0, 0, geometry.width, geometry.height};
    draw_toast(canvas->dc(), client, win32::to_wide(notice_text(1)));
    win32::UniqueRegion region(::CreateRoundRectRgn(0, 0, geometry.width + 1, geometry.height + 1,
                                                    geometry.corner, geometry.corner));
    return canvas->image(region.get());
}

}  // namespace

Result<void> run_render_demo() {
    const std::filesystem::path folder = L"target";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return system_error(hresult_from_win32(static_cast<std::uint32_t>(ec.value())));

    auto ctx = win32::create_render_context(win32::TargetAlpha::Ignore);
    if (!ctx) return propagate(ctx);
    auto desktop = demo_desktop(960, 600);
    if (!desktop) return propagate(desktop);
    auto objects = demo_annotations(*ctx);
    if (!objects) return propagate(objects);
    auto output = win32::render_output(*ctx, *desktop, *objects, RegionF{0, 0, 960, 600});
    if (!output) return propagate(output);
    if (auto r = write_png(*output, folder / L"kadrovix-demo.png"); !r) return r;

    auto menu = render_menu_image();
    if (!menu) return propagate(menu);
    if (auto r = write_png(*menu, folder / L"kadrovix-menu.png"); !r) return r;

    auto toast = render_toast_image();
    if (!toast) return propagate(toast);
    if (auto r = write_png(*toast, folder / L"kadrovix-confirmation.png"); !r) return r;

    return win32::write_presentation_demo(*desktop, folder);
}

}  // namespace kadrovix
