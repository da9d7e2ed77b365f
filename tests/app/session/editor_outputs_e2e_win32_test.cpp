// The real editor process, driven with real input, for what leaves a session
// and what a session leaves behind: the PNG written through the system's own
// Save dialog against the image the copy command puts on the clipboard, the
// desktop grabbed again at the copy in live mode, the stroke width stored in
// the settings file for the next session, and the toolbar's tooltips after a
// single pointer move.
#include <gtest/gtest.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "session/io/png_win32.h"
#include "settings/settings.h"
#include "settings/settings_storage_win32.h"
#include "support/editor_fixture_win32.h"
#include "toolbar/toolbar.h"

#ifndef KADROVIX_EXE_PATH
#error "the end-to-end tests need the path of the program they start"
#endif

namespace kadrovix::testing {
namespace {

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;

constexpr DWORD kDialogTimeoutMs = 20000;

// The common file dialog's file-name controls: the combo box of the Explorer
// style and the plain edit of the older one.
constexpr int kFileNameCombo = 0x47C;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1

constexpr POINT kAway{60, 60};        // outside the region and the toolbar

// For failure messages: UTF-8 of a window text.
std::string narrow(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
    if (n > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    }
    return out;
}

// Pixels of an output image of kRegion that differ from pattern `variant`,
// leaving out those the rectangle's outline may have painted.
std::size_t mismatches_outside_rectangle(const BgraImage& image, int variant, std::string& first) {
    const auto covered = [](double x, double y) { return near_rectangle_outline(x, y, kRectFrom, kRectTo, 8.0); };
    return pattern_mismatches(image, POINT{kRegion.left, kRegion.top}, covered, first, variant);
}

POINT out(int x, int y) { return POINT{x - kRegion.left, y - kRegion.top}; }

// The rectangle's top side, at its middle, in red in an output image of kRegion.
bool rectangle_in(const BgraImage& image) {
    const POINT side = out((kRectFrom.x + kRectTo.x) / 2, kRectFrom.y);
    return near_rgb(pixel_rgb(image, side.x, side.y), kRed, 8);
}

// How many pixels of the column through the middle of the rectangle's top
// side, within 30 pixels of that side, are the rectangle's red.
int top_side_thickness(const BgraImage& image) {
    const POINT side = out((kRectFrom.x + kRectTo.x) / 2, kRectFrom.y);
    int count = 0;
    for (int y = side.y - 30; y <= side.y + 30; ++y) {
        if (near_rgb(pixel_rgb(image, side.x, y), kRed, 8)) ++count;
    }
    return count;
}

// The top-level windows of process `id`, with their classes, texts and
// children's classes and ids, for failure messages.
std::string describe_windows(DWORD id) {
    struct Search {
        DWORD id;
        std::string text;
    } search{id, {}};
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(lp);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner != s.id) return TRUE;
            s.text += "\n  " + narrow(window_class(w)) + " \"" + narrow(window_text(w)) + "\"" +
                      (::IsWindowVisible(w) ? " visible" : " hidden") + ":";
            ::EnumChildWindows(
                w,
                [](HWND c, LPARAM lp2) -> BOOL {
                    auto& text = *reinterpret_cast<std::string*>(lp2);
                    text += ' ';
                    text += narrow(window_class(c));
                    text += '#';
                    text += std::to_string(::GetDlgCtrlID(c));
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&s.text));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.text;
}

// A PNG file decoded by WIC into 32-bit BGRA with its alpha kept; nothing
// when the file is not a one-frame PNG.
std::optional<BgraImage> read_png(const fs::path& path) {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
        return std::nullopt;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromFilename(path.wstring().c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, &decoder))) {
        return std::nullopt;
    }
    GUID container{};
    UINT frames = 0;
    if (FAILED(decoder->GetContainerFormat(&container)) || container != GUID_ContainerFormatPng) return std::nullopt;
    if (FAILED(decoder->GetFrameCount(&frames)) || frames != 1) return std::nullopt;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return std::nullopt;
    }
    UINT width = 0, height = 0;
    if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0) return std::nullopt;
    BgraImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<std::size_t>(width) * height * 4);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(image.pixels.size()), image.pixels.data()))) {
        return std::nullopt;
    }
    return image;
}

// Types `text` through the system's input queue as Unicode characters.
bool type_text(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (const wchar_t c : text) {
        for (const DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = static_cast<WORD>(c);
            input.ki.dwFlags = KEYEVENTF_UNICODE | up;
            inputs.push_back(input);
        }
    }
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// The file-name edit control of a common Save dialog, or null: the Edit
// inside the file-name combo box (it sits in a ComboBoxEx in the Explorer
// style) or the old style's plain edit.
HWND file_name_edit(HWND dialog) {
    HWND found = nullptr;
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM lp) -> BOOL {
            const int id = ::GetDlgCtrlID(child);
            if ((id != kFileNameCombo && id != kFileNameEdit) || !::IsWindowVisible(child) ||
                window_class(child) != L"Edit") {
                return TRUE;
            }
            *reinterpret_cast<HWND*>(lp) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool is_save_dialog(HWND window) {
    return ::IsWindowVisible(window) && ::GetDlgItem(window, IDOK) != nullptr && file_name_edit(window) != nullptr;
}

// "Kadrovix-{seconds}.png" with {seconds} within a minute of `now`.
bool is_default_file_name(const std::wstring& name, std::time_t now) {
    const std::wstring prefix = L"Kadrovix-", suffix = L".png";
    if (name.size() <= prefix.size() + suffix.size()) return false;
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    const std::wstring digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return std::iswdigit(c) != 0; })) return false;
    const long long seconds = std::stoll(digits);
    return seconds >= static_cast<long long>(now) - 60 && seconds <= static_cast<long long>(now) + 60;
}

// A folder of the test's own under the temporary folder, removed with
// everything in it when the scope ends.
class ScratchFolder {
public:
    ScratchFolder() {
        std::error_code ec;
        path_ = fs::temp_directory_path(ec) / (L"kadrovix-e2e-save-" + std::to_wstring(::GetCurrentProcessId()));
        fs::remove_all(path_, ec);
        created_ = fs::create_directories(path_, ec);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    bool created() const { return created_; }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
    bool created_ = false;
};

std::vector<std::wstring> file_names_in(const fs::path& folder) {
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().wstring());
    return names;
}

std::optional<Settings> settings_on_disk() {
    auto path = settings_path();
    if (!path) return std::nullopt;
    auto read = read_settings_file(*path);
    if (!read) return std::nullopt;
    return *read;
}

class EditorOutputsEndToEnd : public EditorFixture {
protected:
    // Starts an editor over the pattern with the pointer out of the way.
    void start_editor() {
        ASSERT_TRUE(move_pointer(kAway.x, kAway.y));
        ASSERT_NO_FATAL_FAILURE(EditorFixture::start_editor());
    }

    // A region with a rectangle and an arrow attached to it.
    void annotate() {
        ASSERT_NO_FATAL_FAILURE(drag_region());
        ASSERT_NO_FATAL_FAILURE(draw_rectangle());
        ASSERT_NO_FATAL_FAILURE(draw_arrow());
    }

    void wait_for_exit(const char* after) {
        const auto code = editor_.wait(kExitTimeoutMs);
        ASSERT_TRUE(code.has_value()) << "the editor did not end after " << after;
        EXPECT_EQ(*code, 0u);
    }

    // Ctrl+Shift+C, the editor's end, and the image it left on the clipboard.
    void copy(std::optional<BgraImage>& image) {
        ASSERT_NO_FATAL_FAILURE(keys({VK_CONTROL, VK_SHIFT, 'C'}));
        ASSERT_NO_FATAL_FAILURE(wait_for_exit("Ctrl+Shift+C"));
        image = clipboard_dib();
        ASSERT_TRUE(image.has_value()) << "no CF_DIB on the clipboard";
        ASSERT_EQ(image->width, static_cast<std::uint32_t>(kRegion.right - kRegion.left));
        ASSERT_EQ(image->height, static_cast<std::uint32_t>(kRegion.bottom - kRegion.top));
    }
};

// Two sessions draw the same region and shapes over the same picture: the
// first copies, the second saves through the Save dialog, typed into as a
// user would. The file holds exactly the copied pixels, fully opaque, under
// the typed name with the default extension added, with no temporary file
// beside it, and its folder is the one the settings file remembers.
TEST_F(EditorOutputsEndToEnd, SaveDialogWritesTheCopiedImageAndRemembersItsFolder) {
    const win32::ComApartment com;
    ScratchFolder folder;
    ASSERT_TRUE(folder.created()) << "cannot create " << folder.path().string();
    Settings settings = default_settings();
    settings.start_with_windows = false;
    ASSERT_TRUE(settings_.write(format_settings(settings)));

    ASSERT_NO_FATAL_FAILURE(show_pattern());
    ASSERT_NO_FATAL_FAILURE(start_editor());
    ASSERT_NO_FATAL_FAILURE(annotate());
    std::optional<BgraImage> copied;
    ASSERT_NO_FATAL_FAILURE(copy(copied));
    ASSERT_TRUE(rectangle_in(*copied)) << "the copy lacks the rectangle";

    ASSERT_NO_FATAL_FAILURE(start_editor());
    ASSERT_NO_FATAL_FAILURE(annotate());
    const std::time_t before_save = std::time(nullptr);
    ASSERT_TRUE(press_keys({VK_CONTROL, 'S'}));
    const HWND dialog = wait_for_window(editor_.id(), kDialogClass, is_save_dialog, kDialogTimeoutMs);
    if (dialog == nullptr) (void)save_screenshot(grab_virtual_screen_for_test(), L"editor-save-dialog-missing.png");
    ASSERT_NE(dialog, nullptr) << "no Save dialog appeared; the editor's windows:" << describe_windows(editor_.id());
    const HWND edit = file_name_edit(dialog);
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(is_default_file_name(window_text(edit), before_save))
        << "proposed name: " << narrow(window_text(edit));

    // Click into the name, select it all and type over it; no extension, so
    // the dialog adds the default one.
    ASSERT_TRUE(bring_to_foreground(dialog, 5000));
    const RECT field = client_rect_on_screen(edit);
    ASSERT_TRUE(click(dialog, POINT{(field.left + field.right) / 2, (field.top + field.bottom) / 2}));
    ASSERT_TRUE(press_keys({VK_HOME}));
    ASSERT_TRUE(press_keys({VK_SHIFT, VK_END}));
    const std::wstring typed = (folder.path() / L"saved capture").wstring();
    ASSERT_TRUE(type_text(typed));
    ASSERT_TRUE(wait_until([&] { return window_text(edit) == typed; }, 10000))
        << "the name field holds " << narrow(window_text(edit));
    ASSERT_TRUE(press_keys({VK_RETURN}));
    ASSERT_NO_FATAL_FAILURE(wait_for_exit("the Save dialog's Enter"));

    const fs::path saved = folder.path() / L"saved capture.png";
    const std::vector<std::wstring> names = file_names_in(folder.path());
    ASSERT_EQ(names.size(), 1u) << "the folder holds other files than the saved one";
    EXPECT_EQ(names.front(), L"saved capture.png");
    const auto image = read_png(saved);
    ASSERT_TRUE(image.has_value()) << "the saved file is no PNG WIC can read";
    ASSERT_EQ(image->width, copied->width);
    ASSERT_EQ(image->height, copied->height);
    std::size_t differing = 0, translucent = 0;
    std::string first;
    for (std::uint32_t y = 0; y < image->height; ++y) {
        for (std::uint32_t x = 0; x < image->width; ++x) {
            const std::uint32_t got = pixel_rgb(*image, static_cast<int>(x), static_cast<int>(y));
            const std::uint32_t want = pixel_rgb(*copied, static_cast<int>(x), static_cast<int>(y));
            if (image->pixels[(static_cast<std::size_t>(y) * image->width + x) * 4 + 3] != 255) ++translucent;
            if (got != want && differing++ == 0) {
                first = "(" + std::to_string(x) + ", " + std::to_string(y) + "): " + hex_rgb(got) + " instead of " +
                        hex_rgb(want);
            }
        }
    }
    EXPECT_EQ(differing, 0u) << "the saved pixels differ from the copied ones; first " << first;
    EXPECT_EQ(translucent, 0u) << "the saved image is not fully opaque";

    const auto stored = settings_on_disk();
    ASSERT_TRUE(stored.has_value()) << "the settings file cannot be read after the save";
    const fs::path remembered(std::wstring(stored->save_folder.begin(), stored->save_folder.end()));
    std::error_code ec;
    EXPECT_TRUE(fs::equivalent(remembered, folder.path(), ec))
        << "remembered folder: " << remembered.string() << ", saved into " << folder.path().string();
    // The rest of the file is as the test wrote it.
    Settings expected = settings;
    expected.save_folder = stored->save_folder;
    EXPECT_EQ(*stored, expected);
}

// F2 turns live mode on; the desktop under the editor then changes, and the
// copy shows the desktop as it is at the copy, with the annotation on it and
// none of the overlay (Wine cannot leave the window out of grabs, so this also
// covers the editor stepping aside for its grab).
TEST_F(EditorOutputsEndToEnd, LiveModeCopiesTheDesktopAsItIsAtTheCopy) {
    ASSERT_NO_FATAL_FAILURE(show_pattern());
    ASSERT_NO_FATAL_FAILURE(start_editor());
    ASSERT_NO_FATAL_FAILURE(drag_region());
    ASSERT_NO_FATAL_FAILURE(draw_rectangle());
    ASSERT_NO_FATAL_FAILURE(keys({VK_F2}));
    ASSERT_TRUE(wait_until([&] { return (::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }, 10000))
        << "F2 did not turn live mode on";
    ASSERT_TRUE(settle(window_));
    ASSERT_TRUE(pattern_->show_variant(1)) << "the pattern window did not repaint";
    (void)save_screenshot(grab_virtual_screen_for_test(), L"editor-live.png");

    std::optional<BgraImage> copied;
    ASSERT_NO_FATAL_FAILURE(copy(copied));
    (void)save_screenshot(*copied, L"editor-live-copy.png");
    EXPECT_TRUE(rectangle_in(*copied)) << "the live copy lacks the rectangle";
    std::string first;
    EXPECT_EQ(mismatches_outside_rectangle(*copied, 1, first), 0u) << "not the new desktop; first: " << first;
}

// The same change of the desktop without F2: the frozen picture is copied.
TEST_F(EditorOutputsEndToEnd, FrozenModeCopiesTheDesktopAsGrabbed) {
    ASSERT_NO_FATAL_FAILURE(show_pattern());
    ASSERT_NO_FATAL_FAILURE(start_editor());
    ASSERT_NO_FATAL_FAILURE(drag_region());
    ASSERT_NO_FATAL_FAILURE(draw_rectangle());
    ASSERT_TRUE(pattern_->show_variant(1)) << "the pattern window did not repaint";

    std::optional<BgraImage> copied;
    ASSERT_NO_FATAL_FAILURE(copy(copied));
    EXPECT_TRUE(rectangle_in(*copied)) << "the copy lacks the rectangle";
    std::string first;
    EXPECT_EQ(mismatches_outside_rectangle(*copied, 0, first), 0u) << "not the grabbed desktop; first: " << first;
}

// Wheel turns change the stroke width; the settings file holds the new width
// while the session still runs and after it ends, every other field as the
// file had it, and the next session draws with that width.
TEST_F(EditorOutputsEndToEnd, WheelStrokeWidthPersistsIntoTheNextSession) {
    Settings settings = default_settings();
    settings.start_with_windows = false;
    settings.capture_stroke_width = 7;
    settings.drawing_style = true;
    settings.save_folder = u"C:\\kadrovix-e2e-marker";
    ASSERT_TRUE(settings_.write(format_settings(settings)));

    ASSERT_NO_FATAL_FAILURE(show_pattern());
    ASSERT_NO_FATAL_FAILURE(start_editor());
    ASSERT_NO_FATAL_FAILURE(drag_region());
    ASSERT_TRUE(move_pointer(400, 300));
    for (const int delta : {WHEEL_DELTA, WHEEL_DELTA, WHEEL_DELTA, -WHEEL_DELTA}) {
        ASSERT_TRUE(send_wheel(delta));
        ASSERT_TRUE(settle(window_));
    }
    const auto stored_width = [] {
        const auto s = settings_on_disk();
        return s ? static_cast<int>(s->capture_stroke_width) : -1;
    };
    EXPECT_TRUE(wait_until([&] { return stored_width() == 9; }, 10000))
        << "while the session runs the file holds width " << stored_width();
    ASSERT_TRUE(press_keys({VK_ESCAPE}));
    ASSERT_NO_FATAL_FAILURE(wait_for_exit("Esc"));

    const auto stored = settings_on_disk();
    ASSERT_TRUE(stored.has_value()) << "the settings file cannot be read after the session";
    Settings expected = settings;
    expected.capture_stroke_width = 9;
    EXPECT_EQ(*stored, expected);

    // The next session starts with width 9: its rectangle's side is three
    // times as thick as the default width draws it.
    ASSERT_NO_FATAL_FAILURE(start_editor());
    ASSERT_NO_FATAL_FAILURE(drag_region());
    ASSERT_NO_FATAL_FAILURE(draw_rectangle());
    std::optional<BgraImage> copied;
    ASSERT_NO_FATAL_FAILURE(copy(copied));
    const int thickness = top_side_thickness(*copied);
    EXPECT_GE(thickness, 8) << "the next session did not draw with width 9";
    EXPECT_LE(thickness, 10) << "the next session did not draw with width 9";
}

// Each toolbar button whose tooltip falls clear of both panels, reached from
// outside the toolbar by one single pointer move, shows its tooltip and
// drops it again when the pointer moves away.
// Moves sent faster than the overlay repaints are folded into one by the
// system; the pen still passes every corner of the zig-zag.
TEST_F(EditorOutputsEndToEnd, AFastZigZagKeepsEveryCornerOfThePenStroke) {
    ASSERT_NO_FATAL_FAILURE(show_pattern());
    ASSERT_NO_FATAL_FAILURE(start_editor());
    ASSERT_NO_FATAL_FAILURE(drag_region());
    ASSERT_NO_FATAL_FAILURE(keys({'P'}));
    ASSERT_TRUE(move_pointer(240, 300));
    ASSERT_TRUE(send_mouse(240, 300, MOUSEEVENTF_LEFTDOWN) && settle(window_));
    std::vector<POINT> corners;
    for (int i = 0; i < 8; ++i) corners.push_back(POINT{260 + 36 * i, i % 2 == 0 ? 190 : 410});
    for (const POINT& c : corners) ASSERT_TRUE(send_mouse(c.x, c.y));
    ASSERT_TRUE(settle(window_));
    ASSERT_TRUE(send_mouse(corners.back().x, corners.back().y, MOUSEEVENTF_LEFTUP) && settle(window_));
    std::optional<BgraImage> image;
    ASSERT_NO_FATAL_FAILURE(copy(image));
    for (const POINT& c : corners) {
        bool inked = false;
        for (int dy = -4; dy <= 4 && !inked; ++dy) {
            for (int dx = -4; dx <= 4 && !inked; ++dx) {
                inked = near_rgb(pixel_rgb(*image, c.x - kRegion.left + dx, c.y - kRegion.top + dy), kRed, 24);
            }
        }
        EXPECT_TRUE(inked) << "the stroke missed the corner at " << c.x << "," << c.y;
    }
}

TEST_F(EditorOutputsEndToEnd, OnePointerMoveOntoAButtonShowsItsTooltip) {
    ASSERT_NO_FATAL_FAILURE(show_pattern());
    ASSERT_NO_FATAL_FAILURE(start_editor());
    ASSERT_NO_FATAL_FAILURE(drag_region());

    ToolbarInput input = region_toolbar_input();
    const VirtualScreen vs = virtual_screen();
    const ToolbarLayout layout = layout_toolbar(input);
    ASSERT_FALSE(layout.empty());
    struct Probe {
        POINT button;
        POINT tooltip;
    };
    std::vector<Probe> probes;
    for (const ToolbarButton& b : layout.buttons()) {
        // A point 3 pixels into the tooltip's left end: its left edge is the
        // button's centre whatever the text's width.
        const ToolbarRect tip = tooltip_rect(b.rect, 60.0, vs.width, vs.height);
        const Point sample{tip.left + 3, (tip.top + tip.bottom) / 2};
        if (layout.tools_panel.grown(2).contains(sample) || layout.actions_panel.grown(2).contains(sample)) continue;
        probes.push_back(Probe{POINT{static_cast<LONG>((b.rect.left + b.rect.right) / 2),
                                     static_cast<LONG>((b.rect.top + b.rect.bottom) / 2)},
                               POINT{static_cast<LONG>(sample.x), static_cast<LONG>(sample.y)}});
    }
    ASSERT_GE(probes.size(), 3u) << "too few tooltips clear of the panels";
    if (probes.size() > 6) probes.resize(6);

    int missing = 0;
    for (const Probe& probe : probes) {
        const auto tooltip_shown = [&] { return screen_shows_near(probe.tooltip.x, probe.tooltip.y, 0x202020, 4); };
        ASSERT_TRUE(move_pointer(kAway.x, kAway.y));
        ASSERT_TRUE(settle(window_));
        if (!wait_until([&] { return !tooltip_shown(); }, 5000)) {
            (void)save_screenshot(grab_virtual_screen_for_test(), L"editor-tooltip-stayed.png");
            FAIL() << "a tooltip stayed after the pointer left the toolbar, at " << probe.tooltip.x << ", "
                   << probe.tooltip.y;
        }
        ASSERT_TRUE(move_pointer(probe.button.x, probe.button.y));
        ASSERT_TRUE(settle(window_));
        if (!wait_until(tooltip_shown, 3000)) {
            (void)save_screenshot(grab_virtual_screen_for_test(), L"editor-tooltip-after-one-move.png");
            ++missing;
            ADD_FAILURE() << "no tooltip after one move onto the button at " << probe.button.x << ", "
                          << probe.button.y;
        }
    }
    EXPECT_EQ(missing, 0) << "of " << probes.size() << " buttons";

    ASSERT_TRUE(press_keys({VK_ESCAPE}));
    ASSERT_NO_FATAL_FAILURE(wait_for_exit("Esc"));
}

}  // namespace
}  // namespace kadrovix::testing
