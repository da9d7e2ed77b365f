#include "toolbar/toolbar_win32.h"

#include <d2d1.h>
#include <dwrite.h>
#include <gtest/gtest.h>
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/runtime/com_apartment_win32.h"
#include "render/bgra_image.h"
#include "session/commands.h"
#include "session/io/png_win32.h"
#include "support/d2d_surface_win32.h"

using namespace kadrovix;
using namespace kadrovix::win32;
using Microsoft::WRL::ComPtr;

namespace {

struct Px {
    int r = 0, g = 0, b = 0;
};

std::ostream& operator<<(std::ostream& os, const Px& p) {
    return os << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}

bool close_to(Px p, Rgb c, int tolerance = 2) {
    return std::abs(p.r - c.r) <= tolerance && std::abs(p.g - c.g) <= tolerance && std::abs(p.b - c.b) <= tolerance;
}

using Surface = kadrovix::testing::D2dSurface;

Px pixel(const BgraImage& image, double x, double y) {
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x)) * 4;
    return Px{image.pixels[i + 2], image.pixels[i + 1], image.pixels[i]};
}

// Pixels within `r` (whole pixels) close to `c`.
int count_near(const BgraImage& image, const ToolbarRect& r, Rgb c, int tolerance = 6) {
    int n = 0;
    for (int y = static_cast<int>(r.top); y < static_cast<int>(r.bottom); ++y) {
        for (int x = static_cast<int>(r.left); x < static_cast<int>(r.right); ++x) {
            if (close_to(pixel(image, x, y), c, tolerance)) ++n;
        }
    }
    return n;
}

const ToolbarButton& by_kind(const ToolbarLayout& layout, CommandKind kind) {
    for (const ToolbarButton& b : layout.buttons()) {
        if (command_kind(b.command) == kind) return b;
    }
    ADD_FAILURE() << "no button of kind " << static_cast<int>(kind);
    return layout.slots[0];
}

ToolbarRect icon_area(const ToolbarButton& b) {
    return {b.rect.left + 5, b.rect.top + 5, b.rect.left + 25, b.rect.top + 25};
}

// A stand-in desktop: colourful, so that a missing panel or a wrong fill
// cannot pass for the panel colour, and dimmed outside the region.
void draw_backdrop(ID2D1RenderTarget* target, const ToolbarInput& in) {
    ComPtr<ID2D1SolidColorBrush> brush;
    ASSERT_HRESULT_SUCCEEDED(target->CreateSolidColorBrush(D2D1::ColorF(0.2f, 0.45f, 0.7f), &brush));
    target->Clear(D2D1::ColorF(0.85f, 0.88f, 0.92f));
    for (int i = 0; i < 8; ++i) {
        brush->SetColor(D2D1::ColorF(0.3f + 0.08f * i, 0.5f, 0.9f - 0.09f * i));
        target->FillRectangle(
            D2D1::RectF(40.0f + 90.0f * i, 60.0f + 25.0f * (i % 3), 110.0f + 90.0f * i, 400.0f - 20.0f * (i % 4)),
            brush.Get());
    }
    brush->SetColor(D2D1::ColorF(0, 0, 0, 0.48f));
    const auto W = static_cast<float>(in.desktop_width);
    const auto H = static_cast<float>(in.desktop_height);
    const auto l = static_cast<float>(in.region_left), t = static_cast<float>(in.region_top);
    const auto r = static_cast<float>(in.region_right), b = static_cast<float>(in.region_bottom);
    target->FillRectangle(D2D1::RectF(0, 0, W, t), brush.Get());
    target->FillRectangle(D2D1::RectF(0, b, W, H), brush.Get());
    target->FillRectangle(D2D1::RectF(0, t, l, b), brush.Get());
    target->FillRectangle(D2D1::RectF(r, t, W, b), brush.Get());
    brush->SetColor(D2D1::ColorF(100 / 255.0f, 170 / 255.0f, 1.0f));
    target->DrawRectangle(D2D1::RectF(l + 0.5f, t + 0.5f, r - 0.5f, b - 0.5f), brush.Get(), 1.0f);
}

std::filesystem::path screenshot_folder() {
    const std::filesystem::path folder = std::filesystem::path(KADROVIX_SOURCE_DIR) / "target" / "screenshots";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

// Every pixel of `area` repeated `scale` times each way, for looking at the
// artwork pixel by pixel.
BgraImage magnified(const BgraImage& image, const ToolbarRect& area, std::uint32_t scale) {
    const auto w = static_cast<std::uint32_t>(area.width());
    const auto h = static_cast<std::uint32_t>(area.height());
    BgraImage out = new_filled_image(w * scale, h * scale, 0xFF000000u).value();
    for (std::uint32_t y = 0; y < out.height; ++y) {
        for (std::uint32_t x = 0; x < out.width; ++x) {
            const std::size_t from = ((static_cast<std::size_t>(area.top) + y / scale) * image.width +
                                      static_cast<std::size_t>(area.left) + x / scale) *
                                     4;
            std::memcpy(out.pixels.data() + (static_cast<std::size_t>(y) * out.width + x) * 4,
                        image.pixels.data() + from, 4);
        }
    }
    return out;
}

class ToolbarPaint : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(com_.ok()); }
    ComApartment com_;
};

template <class... Args>
Result<void> paint_first(ID2D1RenderTarget* target, Args&&... args) {
    ToolbarResources resources;
    return paint_toolbar(target, resources, std::forward<Args>(args)...);
}

}  // namespace

TEST_F(ToolbarPaint, PanelsButtonsIconsAndTooltip) {
    ToolbarInput in;
    in.desktop_width = 720;
    in.desktop_height = 420;
    in.region_exists = true;
    in.region_left = 150;
    in.region_top = 40;
    in.region_right = 640;
    in.region_bottom = 300;
    in.region_selection = false;
    in.tool = Tool::Rectangle;
    in.live = true;
    in.can_undo = true;
    in.can_redo = false;
    const ToolbarLayout layout = layout_toolbar(in);
    ASSERT_FALSE(layout.empty());

    Surface surface(720, 420);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    ID2D1RenderTarget* target = surface.target();

    const ToolbarButton& save = by_kind(layout, CommandKind::Save);
    const Point pointer{save.rect.left + 12, save.rect.top + 14};
    ToolbarHoverState hover;
    hover.update_hover(layout, 1000, pointer);
    ASSERT_TRUE(hover.tooltip_visible(1300));

    target->BeginDraw();
    draw_backdrop(target, in);
    target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_CLEARTYPE);
    auto painted = paint_first(target, surface.dwrite(), in, layout, hover, pointer, 1300);
    EXPECT_EQ(target->GetTextAntialiasMode(), D2D1_TEXT_ANTIALIAS_MODE_CLEARTYPE) << "the caller's mode is kept";
    D2D1_MATRIX_3X2_F after{};
    target->GetTransform(&after);
    EXPECT_TRUE(D2D1::Matrix3x2F::ReinterpretBaseType(&after)->IsIdentity());
    ASSERT_HRESULT_SUCCEEDED(target->EndDraw());
    ASSERT_TRUE(painted.has_value()) << std::hex << painted.error().code;
    const BgraImage image = surface.pixels();

    // The panel colour in the 2-pixel gap between two buttons, and its
    // 1-pixel outline on the panel's edge.
    const ToolbarButton& red = layout.slots[9];
    EXPECT_TRUE(close_to(pixel(image, red.rect.right + 1, red.rect.top + 15), kToolbarPanelFill))
        << pixel(image, red.rect.right + 1, red.rect.top + 15);
    EXPECT_TRUE(
        close_to(pixel(image, layout.actions_panel.left, layout.actions_panel.top + 20), kToolbarPanelOutline, 3))
        << pixel(image, layout.actions_panel.left, layout.actions_panel.top + 20);
    EXPECT_TRUE(
        close_to(pixel(image, layout.tools_panel.right - 1, layout.tools_panel.top + 100), kToolbarPanelOutline, 3));

    // Highlighted fills: the current tool and the active live button; hover
    // fill on Save under the pointer; plain fill on Copy.
    const ToolbarButton& rectangle = layout.slots[1];
    const ToolbarButton& live = by_kind(layout, CommandKind::LiveCapture);
    const ToolbarButton& copy = by_kind(layout, CommandKind::CopyImage);
    EXPECT_TRUE(close_to(pixel(image, rectangle.rect.left + 2, rectangle.rect.top + 15), kToolbarButtonHighlight))
        << pixel(image, rectangle.rect.left + 2, rectangle.rect.top + 15);
    EXPECT_TRUE(close_to(pixel(image, live.rect.left + 2, live.rect.top + 15), kToolbarButtonHighlight));
    EXPECT_TRUE(close_to(pixel(image, save.rect.left + 2, save.rect.top + 15), kToolbarButtonHover))
        << pixel(image, save.rect.left + 2, save.rect.top + 15);
    EXPECT_TRUE(close_to(pixel(image, copy.rect.left + 2, copy.rect.top + 15), kToolbarButtonFill));

    // Icons in their state's ink: blue on highlighted buttons, grey on the
    // disabled Redo, light elsewhere; swatches in their colour.
    EXPECT_TRUE(close_to(pixel(image, live.rect.left + 15, live.rect.top + 15), kToolbarIconHighlight))
        << pixel(image, live.rect.left + 15, live.rect.top + 15);
    EXPECT_GT(count_near(image, icon_area(rectangle), kToolbarIconHighlight), 20);
    EXPECT_EQ(count_near(image, icon_area(rectangle), kToolbarIconEnabled), 0);
    const ToolbarButton& redo = by_kind(layout, CommandKind::Redo);
    const ToolbarButton& undo = by_kind(layout, CommandKind::Undo);
    EXPECT_GT(count_near(image, icon_area(redo), kToolbarIconDisabled), 10);
    EXPECT_EQ(count_near(image, icon_area(redo), kToolbarIconEnabled, 30), 0);
    EXPECT_GT(count_near(image, icon_area(undo), kToolbarIconEnabled), 10);
    for (std::size_t i = 9; i < 15; ++i) {
        const ToolbarButton& swatch = layout.slots[i];
        EXPECT_TRUE(close_to(pixel(image, swatch.rect.left + 15, swatch.rect.top + 15), command_colour(swatch.command)))
            << i << " " << pixel(image, swatch.rect.left + 15, swatch.rect.top + 15);
    }
    // The hue ring: red straight above the centre, cyan straight below.
    const ToolbarButton& custom = by_kind(layout, CommandKind::CustomColour);
    EXPECT_TRUE(close_to(pixel(image, custom.rect.left + 15, custom.rect.top + 8), Rgb{255, 0, 0}, 50))
        << pixel(image, custom.rect.left + 15, custom.rect.top + 8);
    EXPECT_TRUE(close_to(pixel(image, custom.rect.left + 15, custom.rect.top + 22), Rgb{0, 255, 255}, 50))
        << pixel(image, custom.rect.left + 15, custom.rect.top + 22);
    // Every button has some artwork.
    for (const ToolbarButton& b : layout.buttons()) {
        const Rgb fill = button_fill(b, pointer);
        const ToolbarRect area = icon_area(b);
        const int plain = count_near(image, area, fill, 3);
        EXPECT_LT(plain, 20 * 20 - 25) << b.tooltip;
    }

    // Save's tooltip below it, with light text on the tooltip fill.
    auto width = tooltip_text_width(surface.dwrite(), save.tooltip);
    ASSERT_TRUE(width.has_value());
    EXPECT_GT(*width, 30.0);
    const ToolbarRect tip = tooltip_rect(save.rect, *width, in.desktop_width, in.desktop_height);
    EXPECT_EQ(tip.top, save.rect.bottom + 6);
    EXPECT_TRUE(close_to(pixel(image, tip.left + 3, tip.top + 12), kTooltipFill))
        << pixel(image, tip.left + 3, tip.top + 12);
    EXPECT_TRUE(close_to(pixel(image, tip.right - 3, tip.top + 12), kTooltipFill));
    EXPECT_GT(
        count_near(image, ToolbarRect{tip.left + 8, tip.top + 4, tip.right - 8, tip.bottom - 4}, kTooltipText, 40), 15);
    // Nothing drawn past its right edge.
    EXPECT_FALSE(close_to(pixel(image, tip.right + 2, tip.top + 12), kTooltipFill, 4));

    const std::filesystem::path folder = screenshot_folder();
    auto written = write_png_file(image, (folder / "toolbar.png").wstring());
    ASSERT_TRUE(written.has_value()) << std::hex << written.error().code;
    written = write_png_file(magnified(image, layout.actions_panel, 4), (folder / "toolbar-actions-4x.png").wstring());
    ASSERT_TRUE(written.has_value());
    written = write_png_file(magnified(image, layout.tools_panel, 4), (folder / "toolbar-tools-4x.png").wstring());
    ASSERT_TRUE(written.has_value());
}

TEST_F(ToolbarPaint, FadingTooltipBlendsAndEmptyLayoutDrawsNothing) {
    ToolbarInput in;
    in.desktop_width = 600;
    in.desktop_height = 200;
    in.region_exists = true;
    in.region_left = 20;
    in.region_top = 20;
    in.region_right = 540;
    in.region_bottom = 100;
    in.region_selection = false;
    const ToolbarLayout layout = layout_toolbar(in);
    const ToolbarButton& close = by_kind(layout, CommandKind::Close);

    // Close's tooltip shown, then the pointer leaves: half faded after 60 ms.
    ToolbarHoverState hover;
    hover.update_hover(layout, 0, Point{close.rect.left + 3, close.rect.top + 3});
    hover.clear_hover(400);
    ASSERT_DOUBLE_EQ(hover.fade_opacity(460), 0.5);

    Surface surface(600, 200);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    ID2D1RenderTarget* target = surface.target();
    target->BeginDraw();
    target->Clear(D2D1::ColorF(1.0f, 1.0f, 1.0f));
    auto painted = paint_first(target, surface.dwrite(), in, layout, hover, Point{0, 0}, 460);
    ASSERT_HRESULT_SUCCEEDED(target->EndDraw());
    ASSERT_TRUE(painted.has_value());
    const BgraImage image = surface.pixels();
    auto width = tooltip_text_width(surface.dwrite(), close.tooltip);
    ASSERT_TRUE(width.has_value());
    const ToolbarRect tip = tooltip_rect(close.rect, *width, in.desktop_width, in.desktop_height);
    // Half of (32, 32, 32) over white.
    EXPECT_TRUE(close_to(pixel(image, tip.left + 3, tip.top + 12), Rgb{144, 144, 144}, 3))
        << pixel(image, tip.left + 3, tip.top + 12);

    // Hidden toolbar: neither buttons nor the fading tooltip.
    in.toolbar_visible = false;
    const ToolbarLayout hidden = layout_toolbar(in);
    Surface blank(600, 200);
    ASSERT_HRESULT_SUCCEEDED(blank.status());
    blank.target()->BeginDraw();
    blank.target()->Clear(D2D1::ColorF(1.0f, 1.0f, 1.0f));
    painted = paint_first(blank.target(), blank.dwrite(), in, hidden, hover, Point{0, 0}, 460);
    ASSERT_HRESULT_SUCCEEDED(blank.target()->EndDraw());
    ASSERT_TRUE(painted.has_value());
    EXPECT_EQ(count_near(blank.pixels(), ToolbarRect{0, 0, 600, 200}, Rgb{255, 255, 255}, 0), 600 * 200);
}

TEST_F(ToolbarPaint, CallersTransformMovesTheWholeToolbar) {
    // The overlay may draw through an offset; the toolbar follows it and
    // leaves the offset in place.
    ToolbarInput in;
    in.desktop_width = 600;
    in.desktop_height = 200;
    in.region_exists = true;
    in.region_left = 20;
    in.region_top = 20;
    in.region_right = 540;
    in.region_bottom = 100;
    in.region_selection = false;
    in.tool = Tool::Select;
    const ToolbarLayout layout = layout_toolbar(in);
    Surface surface(640, 240);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    ID2D1RenderTarget* target = surface.target();
    target->BeginDraw();
    target->Clear(D2D1::ColorF(1.0f, 1.0f, 1.0f));
    const D2D1_MATRIX_3X2_F shift = D2D1::Matrix3x2F::Translation(30.0f, 20.0f);
    target->SetTransform(shift);
    auto painted = paint_first(target, surface.dwrite(), in, layout, ToolbarHoverState{}, Point{0, 0}, 0);
    D2D1_MATRIX_3X2_F after{};
    target->GetTransform(&after);
    ASSERT_HRESULT_SUCCEEDED(target->EndDraw());
    ASSERT_TRUE(painted.has_value());
    EXPECT_EQ(after._31, 30.0f);
    EXPECT_EQ(after._32, 20.0f);
    const BgraImage image = surface.pixels();
    const ToolbarButton& select = layout.slots[0];
    EXPECT_TRUE(close_to(pixel(image, select.rect.left + 32, select.rect.top + 35), kToolbarButtonHighlight))
        << pixel(image, select.rect.left + 32, select.rect.top + 35);
    EXPECT_TRUE(close_to(pixel(image, select.rect.left + 2, select.rect.top + 2), Rgb{255, 255, 255}, 0));
}

TEST_F(ToolbarPaint, WrappedPanelsOnANarrowDesktop) {
    // 400 x 320: actions in 11 columns and 2 rows; tools in 3 columns.
    ToolbarInput in;
    in.desktop_width = 400;
    in.desktop_height = 320;
    in.region_exists = true;
    in.region_left = 30;
    in.region_top = 30;
    in.region_right = 270;
    in.region_bottom = 160;
    in.region_selection = false;
    in.tool = Tool::Text;
    in.search_running = true;
    in.eyedropper = true;
    const ToolbarLayout layout = layout_toolbar(in);
    ASSERT_EQ(layout.actions_panel.height(), 72);
    ASSERT_GT(layout.tools_panel.width(), 40);

    // The search tooltip, 300 ms into its hover.
    const ToolbarButton& search = by_kind(layout, CommandKind::Search);
    ToolbarHoverState hover;
    hover.update_hover(layout, 0, Point{search.rect.left + 15, search.rect.top + 15});

    Surface surface(400, 320);
    ASSERT_HRESULT_SUCCEEDED(surface.status());
    ID2D1RenderTarget* target = surface.target();
    target->BeginDraw();
    draw_backdrop(target, in);
    auto painted = paint_first(target, surface.dwrite(), in, layout, hover, Point{search.rect.left + 15, 0}, 300);
    ASSERT_HRESULT_SUCCEEDED(target->EndDraw());
    ASSERT_TRUE(painted.has_value());
    const BgraImage image = surface.pixels();

    // The second row's empty slots are still panel background.
    const double empty_x = layout.actions_panel.right - 40;
    const double empty_y = layout.actions_panel.bottom - 20;
    ASSERT_EQ(button_at(layout, Point{empty_x, empty_y}), nullptr);
    EXPECT_TRUE(close_to(pixel(image, empty_x, empty_y), kToolbarPanelFill)) << pixel(image, empty_x, empty_y);
    const ToolbarRect tools_last_column{layout.tools_panel.right - 36, layout.tools_panel.bottom - 36,
                                        layout.tools_panel.right - 6, layout.tools_panel.bottom - 6};
    EXPECT_EQ(count_near(image, tools_last_column, kToolbarPanelFill, 2), 30 * 30);

    // Text tool, running search and the eyedropper are highlighted.
    for (const ToolbarButton* b : {&layout.slots[7], &search, &by_kind(layout, CommandKind::Eyedropper)}) {
        EXPECT_TRUE(close_to(pixel(image, b->rect.left + 2, b->rect.top + 15), kToolbarButtonHighlight)) << b->tooltip;
        EXPECT_GT(count_near(image, icon_area(*b), kToolbarIconHighlight), 8) << b->tooltip;
    }
    auto written = write_png_file(image, (screenshot_folder() / "toolbar-narrow.png").wstring());
    ASSERT_TRUE(written.has_value());
}
