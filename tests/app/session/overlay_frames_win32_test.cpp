// The overlay keeps its picture, veil and settled annotations in a retained
// layer, redraws only what moves on top, and repaints only where something
// changed. Whatever the user does, the picture kept up to date that way must
// be the very frame a full repaint of the same state gives, pixel for pixel.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "app/app_state_win32.h"
#include "app/runtime/com_apartment_win32.h"
#include "app/runtime/dib_surface_win32.h"
#include "base/error_win32.h"
#include "session/capture_session_win32.h"
#include "session/commands.h"
#include "settings/settings.h"
#include "support/pixels.h"
#include "support/test_window_win32.h"
#include "support/window_probe_win32.h"

namespace kadrovix {
namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 320;

// Colourful enough that a veil or an object drawn one pixel off shows.
// (`variant` 1: the desktop as a later grab finds it.)
BgraImage picture(int variant) {
    BgraImage image = new_filled_image(kWidth, kHeight, 0xFF000000u).value();
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        const std::size_t x = i / 4 % kWidth, y = i / 4 / kWidth;
        image.pixels[i] = static_cast<std::uint8_t>(x / 2);
        image.pixels[i + 1] = static_cast<std::uint8_t>((x / 16 + y / 16 + variant) % 2 * 120 + 60);
        image.pixels[i + 2] = static_cast<std::uint8_t>(y * 3 / 4);
    }
    return image;
}

// The first pixel whose colour differs, and how many do; empty when none does.
std::string first_difference(const BgraImage& a, const BgraImage& b) {
    std::string first;
    std::size_t count = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t got = testing::pixel_rgb(a, x, y), want = testing::pixel_rgb(b, x, y);
            if (got != want && count++ == 0) {
                first = "(" + std::to_string(x) + ", " + std::to_string(y) + "), " + testing::hex_rgb(got) +
                        " instead of " + testing::hex_rgb(want);
            }
        }
    }
    return count == 0 ? std::string() : first + ", " + std::to_string(count) + " pixels in all";
}

class OverlayFrames : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.ok());
        ASSERT_NE(window_.handle, nullptr);
        auto made = CaptureSession::from_image(window_.handle, picture(0), default_settings(), std::nullopt, true,
                                               [](const Desktop&) -> Result<BgraImage> { return picture(1); });
        ASSERT_TRUE(made.has_value()) << win32::error_text(made.error());
        session_ = std::move(*made);
        for (win32::DibSurface* surface : {&retained_, &full_}) {
            auto made_surface = win32::DibSurface::create(kWidth, kHeight);
            ASSERT_TRUE(made_surface.has_value());
            *surface = std::move(*made_surface);
        }
        app_.main_window = window_.handle;
        app_.role = Role::Diagnostics;
    }

    // Brings the kept picture up to date and draws the state afresh, at one
    // moment, and compares. The clock runs ahead of the real one, so that
    // tooltips come and fade between steps.
    void expect_same_frame(const std::string& step) {
        clock_ += 70;
        const std::uint64_t now = ::GetTickCount64() + clock_;
        const auto a = session_->render_dirty(retained_.dc(), now);
        const auto b = session_->render_frame(full_.dc(), false, now);
        ASSERT_TRUE(a.has_value()) << step << ": " << win32::error_text(a.error());
        ASSERT_TRUE(b.has_value()) << step << ": " << win32::error_text(b.error());
        const std::string at = first_difference(retained_.image(), full_.image());
        ASSERT_TRUE(at.empty()) << step << ": the repainted frame differs from a full repaint at " << at;
    }

    void run(CommandValue command) {
        const auto r = session_->execute(app_, command);
        ASSERT_TRUE(r.has_value()) << win32::error_text(r.error());
    }

    win32::ComApartment com_;
    testing::HiddenWindow window_;
    std::unique_ptr<CaptureSession> session_;
    win32::DibSurface retained_;
    win32::DibSurface full_;
    AppState app_;
    std::uint64_t clock_ = 0;
};

TEST_F(OverlayFrames, EveryFrameOfARandomSessionEqualsAFullRepaint) {
    std::mt19937 random(20261208);
    const auto coordinate = [&](int low, int high) {
        return static_cast<LONG>(std::uniform_int_distribution<int>(low, high)(random));
    };
    const auto point = [&] { return POINT{coordinate(0, kWidth - 1), coordinate(0, kHeight - 1)}; };
    // A press on the toolbar would run a command (copy, save, close): presses go beside it.
    const auto on_toolbar = [&](POINT p) {
        return over_toolbar(layout_toolbar(toolbar_input(session_->state())),
                            Point{static_cast<double>(p.x), static_cast<double>(p.y)});
    };
    const auto inside = [&] {
        POINT p{};
        do {
            p = POINT{coordinate(50, 330), coordinate(40, 200)};
        } while (on_toolbar(p));
        return p;
    };

    // The hint over the veiled picture, then a region dragged out.
    ASSERT_TRUE(session_->mouse_move(POINT{30, 30}).has_value());
    ASSERT_NO_FATAL_FAILURE(expect_same_frame("the hint"));
    ASSERT_TRUE(session_->mouse_down(app_, POINT{40, 30}).has_value());
    ASSERT_TRUE(session_->mouse_move(POINT{300, 150}).has_value());
    ASSERT_NO_FATAL_FAILURE(expect_same_frame("the region being dragged"));
    ASSERT_TRUE(session_->mouse_move(POINT{440, 230}).has_value());
    ASSERT_TRUE(session_->mouse_up(app_, POINT{440, 230}).has_value());
    ASSERT_NO_FATAL_FAILURE(expect_same_frame("the region"));
    LONG region_right = 440, region_bottom = 230;

    // A press inside the region, `moves` moves of up to `reach` pixels with a
    // frame compared after each, and the release.
    const auto drag = [&](Tool tool, int moves, int reach, const std::string& step) {
        run(select_tool_command(tool));
        POINT p = inside();
        ASSERT_TRUE(session_->mouse_move(p).has_value());
        ASSERT_TRUE(session_->mouse_down(app_, p).has_value());
        for (int i = 0; i < moves; ++i) {
            p = POINT{p.x + coordinate(-reach, 2 * reach), p.y + coordinate(-reach, reach)};
            ASSERT_TRUE(session_->mouse_move(p).has_value());
            ASSERT_NO_FATAL_FAILURE(expect_same_frame(step + ", the button held"));
        }
        ASSERT_TRUE(session_->mouse_up(app_, p).has_value());
    };
    constexpr Tool kTools[] = {Tool::Rectangle, Tool::Ellipse, Tool::Line, Tool::Arrow, Tool::Pen, Tool::Highlighter};
    for (int step = 0; step < 70; ++step) {
        const std::string name = "step " + std::to_string(step);
        // Live for a while, then frozen again on the picture grabbed then.
        if (step == 50 || step == 62) {
            ASSERT_NO_FATAL_FAILURE(run(command_value(CommandKind::LiveCapture)));
        }
        switch (std::uniform_int_distribution<int>(0, 8)(random)) {
            case 0:
            case 1:  // draw a shape, frames taken while the button is held
                ASSERT_NO_FATAL_FAILURE(drag(kTools[std::uniform_int_distribution<int>(0, 5)(random)], 3, 30, name));
                break;
            case 2:  // select and move whatever lies under the pointer
                ASSERT_NO_FATAL_FAILURE(drag(Tool::Select, 2, 25, name));
                break;
            case 3:  // hover anywhere, toolbar and tooltips included
                ASSERT_TRUE(session_->mouse_move(point()).has_value());
                break;
            case 4:
                run(command_value(CommandKind::Undo));
                break;
            case 7: {  // rest on a toolbar button until its tooltip shows, then leave it fading
                const ToolbarLayout layout = layout_toolbar(toolbar_input(session_->state()));
                if (layout.empty()) break;
                const ToolbarRect& r = layout.buttons()[random() % layout.count].rect;
                ASSERT_TRUE(session_->mouse_move(POINT{static_cast<LONG>(r.left + 10), static_cast<LONG>(r.top + 10)})
                                .has_value());
                for (int i = 0; i < 5; ++i) ASSERT_NO_FATAL_FAILURE(expect_same_frame(name + ", on a button"));
                ASSERT_TRUE(session_->mouse_move(point()).has_value());
                ASSERT_NO_FATAL_FAILURE(expect_same_frame(name + ", off the button"));
                break;
            }
            case 8:  // resize the region by its bottom-right handle
                if (on_toolbar(POINT{region_right, region_bottom})) break;
                ASSERT_TRUE(session_->mouse_move(POINT{region_right, region_bottom}).has_value());
                {
                    const auto r = session_->mouse_down(app_, POINT{region_right, region_bottom});
                    ASSERT_TRUE(r.has_value()) << win32::error_text(r.error());
                }
                region_right = coordinate(380, 470);
                region_bottom = coordinate(220, 300);
                ASSERT_TRUE(session_->mouse_move(POINT{region_right, region_bottom}).has_value());
                ASSERT_NO_FATAL_FAILURE(expect_same_frame(name + ", resizing"));
                ASSERT_TRUE(session_->mouse_up(app_, POINT{region_right, region_bottom}).has_value());
                break;

            case 5:
                run(command_value(CommandKind::Redo));
                break;
            case 6:
                run(set_colour_command(kPresetColours[std::uniform_int_distribution<int>(0, 5)(random)]));
                break;
        }
        ASSERT_NO_FATAL_FAILURE(expect_same_frame(name));
    }
    EXPECT_FALSE(session_->state().editor.objects.empty()) << "the session drew nothing to compare";
}

}  // namespace
}  // namespace kadrovix
