#include "app/setup/tray_menu_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/setup/start_with_windows_win32.h"
#include "app/setup/tray_menu.h"
#include "presentation/presentation_state.h"
#include "settings/settings_storage_win32.h"
#include "support/canvas_win32.h"

using namespace kadrovix;
using kadrovix::testing::Canvas;
using kadrovix::testing::near_rgb;

namespace {

constexpr wchar_t kOwnerClass[] = L"Kadrovix.Test.TrayOwner";

// Stands in for the main window: answers the menu's measure and draw requests.
LRESULT CALLBACK owner_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_MEASUREITEM && measure_menu_item(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lparam))) {
        return TRUE;
    }
    if (message == WM_DRAWITEM && draw_menu_item(window, reinterpret_cast<DRAWITEMSTRUCT*>(lparam))) return TRUE;
    return ::DefWindowProcW(window, message, wparam, lparam);
}

HWND create_owner() { return kadrovix::testing::create_tool_window(kOwnerClass, owner_proc); }

void drain_messages(HWND window) {
    MSG msg;
    while (::PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
    }
}

class TrayMenuWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = create_owner();
        ASSERT_NE(window_, nullptr);
        app_.main_window = window_;
        app_.role = Role::Diagnostics;  // the settings file is left alone unless a test says otherwise
        app_.presentation = std::move(PresentationController::create(app_.main_window, app_.settings).value());
    }
    void TearDown() override {
        drain_messages(window_);
        ::DestroyWindow(window_);
    }
    HWND window_ = nullptr;
    AppState app_;
};

// Draws one item of `menu` (`id`, located through `item_menu`) into a canvas.
void draw_item(Canvas& canvas, HMENU item_menu, UINT id, UINT state, std::uint32_t data, std::uint32_t dpi,
               RECT rect) {
    DRAWITEMSTRUCT d{};
    d.CtlType = ODT_MENU;
    d.itemID = id;
    d.itemAction = ODA_DRAWENTIRE;
    d.itemState = state;
    d.hwndItem = reinterpret_cast<HWND>(item_menu);
    d.hDC = canvas.dc();
    d.rcItem = rect;
    d.itemData = data;
    ASSERT_TRUE(draw_menu_item(&d, dpi));
}

// Columns [x0, x1) of row band [y0, y1) that hold a pixel close to `colour`.
std::vector<int> columns_with(const Canvas& canvas, std::uint32_t colour, int x0, int x1, int y0, int y1,
                              int tolerance = 12) {
    std::vector<int> xs;
    for (int x = x0; x < x1; ++x) {
        for (int y = y0; y < y1; ++y) {
            if (near_rgb(canvas.rgb(x, y), colour, tolerance)) {
                xs.push_back(x);
                break;
            }
        }
    }
    return xs;
}

}  // namespace

TEST_F(TrayMenuWin32, IconRecordForTheMainWindow) {
    HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION);
    fill_tray_icon_record(app_, icon);
    const NOTIFYICONDATAW& r = app_.tray_icon;
    EXPECT_EQ(r.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(r.hWnd, window_);
    EXPECT_EQ(r.uID, 1u);
    EXPECT_EQ(r.uFlags, UINT{NIF_MESSAGE | NIF_ICON | NIF_TIP});
    EXPECT_EQ(r.uCallbackMessage, MSG_TRAY_CALLBACK);
    EXPECT_EQ(r.hIcon, icon);
    EXPECT_EQ(std::wstring(r.szTip), L"Kadrovix \u2014 capture and annotate");
    EXPECT_FALSE(app_.tray_icon_added);

    // Delete without a successful add leaves the shell alone; after an add it
    // removes the icon once.
    delete_tray_icon(app_);
    EXPECT_FALSE(app_.tray_icon_added);
    ASSERT_TRUE(add_tray_icon(app_));
    EXPECT_TRUE(app_.tray_icon_added);
    delete_tray_icon(app_);
    EXPECT_FALSE(app_.tray_icon_added);
    // Already gone: the shell refuses a second delete.
    EXPECT_FALSE(::Shell_NotifyIconW(NIM_DELETE, &app_.tray_icon));
    delete_tray_icon(app_);
}

TEST_F(TrayMenuWin32, MenuHoldsTheModelsItems) {
    TrayMenuInputs in;
    in.features = kFeatureTemporaryShapes;
    in.shape_shortcuts = {{{1, 0x46}, {2, 0x52}, {1, 0x43}}};
    in.hook_priority = {false, true, false};
    in.shape_duration_ms = 5000;
    in.run_value_exists = true;
    auto menu = create_tray_menu(build_tray_menu(in));
    ASSERT_TRUE(menu.has_value());
    HMENU m = menu->get();
    ASSERT_EQ(::GetMenuItemCount(m), 16);

    const std::vector<UINT> types = {MFT_OWNERDRAW, MFT_OWNERDRAW, MFT_OWNERDRAW, MFT_OWNERDRAW, MFT_OWNERDRAW,
                                     MFT_OWNERDRAW, MFT_SEPARATOR, MFT_OWNERDRAW, MFT_OWNERDRAW, MFT_OWNERDRAW,
                                     MFT_SEPARATOR, MFT_OWNERDRAW, MFT_OWNERDRAW, MFT_OWNERDRAW, MFT_OWNERDRAW,
                                     MFT_OWNERDRAW};
    const std::vector<UINT> ids = {1, 2, 0, 101, 102, 103, 0, 110, 111, 112, 0, 120, 5, 4, 0, 3};
    for (int i = 0; i < 16; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_DATA | MIIM_SUBMENU;
        ASSERT_TRUE(::GetMenuItemInfoW(m, static_cast<UINT>(i), TRUE, &info)) << i;
        EXPECT_EQ(info.fType & (MFT_OWNERDRAW | MFT_SEPARATOR), types[i]) << i;
        if (types[i] == MFT_OWNERDRAW) {
            EXPECT_EQ(info.wID, ids[i]) << i;
        }
        if (i == 2 || i == 14) {
            EXPECT_NE(info.fState & MFS_DISABLED, 0u) << "owner-drawn separator " << i;
        }
        const bool checked = (info.fState & MFS_CHECKED) != 0;
        EXPECT_EQ(checked, ids[i] == 102 || ids[i] == 4) << i;
        if (ids[i] == 120) {
            ASSERT_NE(info.hSubMenu, nullptr);
            ASSERT_EQ(::GetMenuItemCount(info.hSubMenu), 3);
            EXPECT_EQ(::GetMenuItemID(info.hSubMenu, 0), 121u);
            EXPECT_EQ(::GetMenuItemID(info.hSubMenu, 2), 123u);
            EXPECT_EQ(::GetMenuState(info.hSubMenu, 123, MF_BYCOMMAND) & MF_CHECKED, UINT{MF_CHECKED});
            EXPECT_EQ(::GetMenuState(info.hSubMenu, 122, MF_BYCOMMAND) & MF_CHECKED, 0u);
        }
        if (ids[i] == 110) {
            EXPECT_EQ(info.dwItemData, 0x0046'0001u);
        }
        if (ids[i] == 111) {
            EXPECT_EQ(info.dwItemData, 0x8052'0002u);
        }
    }
    // Owner-drawn items keep their text for the drawing to read.
    wchar_t text[64] = {};
    ASSERT_GT(::GetMenuStringW(m, 110, text, 64, MF_BYCOMMAND), 0);
    EXPECT_EQ(std::wstring(text), L"Arrow\tAlt+F");
    ASSERT_GT(::GetMenuStringW(m, 2, text, 64, MF_BYCOMMAND), 0);
    EXPECT_EQ(std::wstring(text), L"Capture shortcut\u2026");
}

TEST_F(TrayMenuWin32, MeasureAnswersOnlyMenuItems) {
    MEASUREITEMSTRUCT m{};
    m.CtlType = ODT_MENU;
    m.itemID = 101;
    ASSERT_TRUE(measure_menu_item(window_, &m));
    const std::uint32_t dpi = std::max(96u, static_cast<std::uint32_t>(::GetDpiForWindow(window_)));
    EXPECT_EQ(static_cast<int>(m.itemWidth), tray_menu_item_size(101, dpi).width);
    EXPECT_EQ(static_cast<int>(m.itemHeight), tray_menu_item_size(101, dpi).height);
    m.itemID = 0;
    ASSERT_TRUE(measure_menu_item(window_, &m));
    EXPECT_EQ(static_cast<int>(m.itemHeight), tray_menu_item_size(0, dpi).height);

    MEASUREITEMSTRUCT button{};
    button.CtlType = ODT_BUTTON;
    EXPECT_FALSE(measure_menu_item(window_, &button));
    EXPECT_FALSE(measure_menu_item(window_, nullptr));
    DRAWITEMSTRUCT list{};
    list.CtlType = ODT_LISTBOX;
    EXPECT_FALSE(draw_menu_item(window_, &list));
}

TEST_F(TrayMenuWin32, ItemBackgroundSelectionAndSeparatorColours) {
    auto menu = create_tray_menu(build_tray_menu(TrayMenuInputs{}));
    ASSERT_TRUE(menu.has_value());
    for (const std::uint32_t dpi : {96u, 144u}) {
        const int s = static_cast<int>(dpi);
        const MenuItemSize item = tray_menu_item_size(1, dpi);
        const MenuItemSize sep = tray_menu_item_size(0, dpi);
        // Draw at an offset, as the system does for every item but the first.
        Canvas canvas(item.width + 10, item.height * 2 + sep.height + 10);
        ASSERT_TRUE(canvas.ok());
        canvas.fill(0xFF00FF);
        const RECT plain{5, 5, 5 + item.width, 5 + item.height};
        const RECT selected{5, plain.bottom, 5 + item.width, plain.bottom + item.height};
        const RECT separator{5, selected.bottom, 5 + item.width, selected.bottom + sep.height};
        draw_item(canvas, menu->get(), 1, 0, 0, dpi, plain);
        draw_item(canvas, menu->get(), 3, ODS_SELECTED, 0, dpi, selected);
        draw_item(canvas, menu->get(), 0, ODS_DISABLED, 0, dpi, separator);

        // Unselected: #2B2B2B everywhere outside the text, edges included.
        EXPECT_EQ(canvas.rgb(plain.left, plain.top), 0x2B2B2Bu) << dpi;
        EXPECT_EQ(canvas.rgb(plain.right - 1, plain.bottom - 1), 0x2B2B2Bu) << dpi;
        EXPECT_EQ(canvas.rgb(plain.left + 15 * s / 96, plain.top + 14 * s / 96), 0x2B2B2Bu) << dpi;
        // Nothing outside the item rectangle is touched.
        EXPECT_EQ(canvas.rgb(plain.left - 1, plain.top), 0xFF00FFu);
        EXPECT_EQ(canvas.rgb(plain.left, plain.top - 1), 0xFF00FFu);

        // Selected: the rounded rectangle (2, 1)..(w-2, h-1) in #414141, the
        // item's own edges still #2B2B2B.
        EXPECT_EQ(canvas.rgb(selected.left + 15 * s / 96, selected.top + 14 * s / 96), 0x414141u) << dpi;
        EXPECT_EQ(canvas.rgb(selected.left + 4 * s / 96, selected.top + 3 * s / 96), 0x414141u) << dpi;
        EXPECT_EQ(canvas.rgb(selected.left, selected.top + 14 * s / 96), 0x2B2B2Bu) << dpi;
        EXPECT_EQ(canvas.rgb(selected.left + 15 * s / 96, selected.top), 0x2B2B2Bu) << dpi;
        EXPECT_EQ(canvas.rgb(selected.right - 1, selected.top + 14 * s / 96), 0x2B2B2Bu) << dpi;

        // Label text in #F0F0F0 starts at x = 30 units, within a pixel or two.
        const auto label = columns_with(canvas, 0xF0F0F0, plain.left, plain.right, plain.top, plain.bottom, 40);
        ASSERT_FALSE(label.empty()) << dpi;
        EXPECT_GE(label.front() - plain.left, 30 * s / 96 - 1) << dpi;
        EXPECT_LE(label.front() - plain.left, 30 * s / 96 + 3 * s / 96) << dpi;

        // Separator: one #494949 line from x = 30 to w - 8 at y = 3 units.
        const int line_y = separator.top + (3 * s + s / 2) / 96;
        EXPECT_EQ(canvas.rgb(separator.left + 100 * s / 96, line_y), 0x494949u) << dpi;
        EXPECT_EQ(canvas.rgb(separator.left + 28 * s / 96, line_y), 0x2B2B2Bu) << dpi;
        EXPECT_EQ(canvas.rgb(separator.right - 6 * s / 96, line_y), 0x2B2B2Bu) << dpi;
        EXPECT_EQ(canvas.rgb(separator.left + 100 * s / 96, separator.top), 0x2B2B2Bu) << dpi;
        EXPECT_EQ(canvas.rgb(separator.left + 100 * s / 96, separator.bottom - 1), 0x2B2B2Bu) << dpi;
    }
}

TEST_F(TrayMenuWin32, CheckMarkAndShortcutAcceleratorText) {
    TrayMenuInputs in;
    in.features = kFeaturePointerHalo;
    auto menu = create_tray_menu(build_tray_menu(in));
    ASSERT_TRUE(menu.has_value());
    const MenuItemSize size = tray_menu_item_size(110, 96);
    const RECT rect{0, 0, size.width, size.height};

    // The check mark sits between x = 7 and 25.
    Canvas unchecked(size.width, size.height);
    Canvas checked(size.width, size.height);
    draw_item(unchecked, menu->get(), 101, 0, 0, 96, rect);
    draw_item(checked, menu->get(), 101, ODS_CHECKED, 0, 96, rect);
    EXPECT_TRUE(columns_with(unchecked, 0xF0F0F0, 0, 28, 0, size.height, 60).empty());
    const auto mark = columns_with(checked, 0xF0F0F0, 0, 28, 0, size.height, 60);
    ASSERT_FALSE(mark.empty());
    EXPECT_GE(mark.front(), 7);
    EXPECT_LE(mark.back(), 25);

    // A shape item shows its shortcut right-aligned in #C6C6C6 ending 16
    // units from the edge; the hook mark adds " (in use)".
    Canvas plain(size.width, size.height);
    Canvas in_use(size.width, size.height);
    Canvas built_in(size.width, size.height);
    draw_item(plain, menu->get(), 111, 0, pack_shortcut_item_data(Shortcut{kModCtrl | kModShift, 0x52}, false), 96,
              rect);
    draw_item(in_use, menu->get(), 111, 0, pack_shortcut_item_data(Shortcut{kModCtrl | kModShift, 0x52}, true), 96,
              rect);
    draw_item(built_in, menu->get(), 111, 0, 0, 96, rect);
    const auto accel_plain = columns_with(plain, 0xC6C6C6, 150, size.width, 0, size.height, 20);
    const auto accel_in_use = columns_with(in_use, 0xC6C6C6, 150, size.width, 0, size.height, 20);
    const auto accel_built_in = columns_with(built_in, 0xC6C6C6, 150, size.width, 0, size.height, 20);
    ASSERT_FALSE(accel_plain.empty());
    ASSERT_FALSE(accel_in_use.empty());
    ASSERT_FALSE(accel_built_in.empty());
    EXPECT_LE(accel_plain.back(), size.width - 16);
    EXPECT_GE(accel_plain.back(), size.width - 20);
    EXPECT_LE(accel_in_use.back(), size.width - 16);
    // "Ctrl+Shift+R (in use)" is much wider than "Ctrl+Shift+R", which is wider than "Alt+R".
    EXPECT_LT(accel_in_use.front() + 30, accel_plain.front());
    EXPECT_LT(accel_plain.front() + 10, accel_built_in.front());
    // The label stays where it was.
    EXPECT_EQ(columns_with(in_use, 0xF0F0F0, 0, 150, 0, size.height, 40).front(),
              columns_with(plain, 0xF0F0F0, 0, 150, 0, size.height, 40).front());

    // A preview at 150 %: plain, checked, selected, shortcut, "in use", separator.
    const std::uint32_t dpi = 144;
    const MenuItemSize wide = tray_menu_item_size(101, dpi);
    const MenuItemSize sep = tray_menu_item_size(0, dpi);
    Canvas preview(wide.width, wide.height * 5 + sep.height);
    int y = 0;
    const auto next = [&](int h) {
        const RECT r{0, y, wide.width, y + h};
        y += h;
        return r;
    };
    draw_item(preview, menu->get(), 1, 0, 0, dpi, next(wide.height));
    draw_item(preview, menu->get(), 101, ODS_CHECKED, 0, dpi, next(wide.height));
    draw_item(preview, menu->get(), 102, ODS_SELECTED, 0, dpi, next(wide.height));
    draw_item(preview, menu->get(), 110, 0, pack_shortcut_item_data(Shortcut{kModAlt, 0x46}, false), dpi,
              next(wide.height));
    draw_item(preview, menu->get(), 111, 0, pack_shortcut_item_data(Shortcut{kModAlt, 0x52}, true), dpi,
              next(wide.height));
    draw_item(preview, menu->get(), 0, ODS_DISABLED, 0, dpi, next(sep.height));
    EXPECT_TRUE(kadrovix::testing::save_preview(preview.image(), L"tray_menu_items_144dpi.png"));
}

// --- commands ---------------------------------------------------------------

namespace {

// Dismisses the next "Kadrovix" message box of this thread and records its text.
std::wstring g_box_text;
bool g_box_seen = false;

BOOL CALLBACK collect_text(HWND child, LPARAM) {
    wchar_t text[512] = {};
    ::GetWindowTextW(child, text, 512);
    if (std::wstring(text).size() > g_box_text.size()) g_box_text = text;
    return TRUE;
}

void CALLBACK dismiss_box(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = ::FindWindowW(L"#32770", L"Kadrovix");
    if (box == nullptr) return;
    ::KillTimer(nullptr, timer);
    g_box_seen = true;
    ::EnumChildWindows(box, collect_text, 0);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

TEST_F(TrayMenuWin32, SimpleCommandsPostTheirMessages) {
    ASSERT_TRUE(run_tray_command(app_, 1).has_value());
    MSG msg{};
    EXPECT_TRUE(::PeekMessageW(&msg, window_, MSG_START_CAPTURE, MSG_START_CAPTURE, PM_REMOVE));

    ASSERT_TRUE(run_tray_command(app_, 3).has_value());
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);

    // Nothing chosen: nothing happens.
    const Settings before = app_.settings;
    ASSERT_TRUE(run_tray_command(app_, 0).has_value());
    EXPECT_FALSE(::PeekMessageW(&msg, window_, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(app_.settings, before);
}

TEST_F(TrayMenuWin32, FeatureAndDurationCommandsReachThePresentationState) {
    app_.presentation->state().features = kFeatureTemporaryShapes;
    ASSERT_TRUE(run_tray_command(app_, 101).has_value());
    EXPECT_EQ(app_.presentation->state().features, kFeatureTemporaryShapes | kFeaturePointerHalo);
    ASSERT_TRUE(run_tray_command(app_, 102).has_value());
    EXPECT_EQ(app_.presentation->state().features, kFeaturePointerHalo);
    ASSERT_TRUE(run_tray_command(app_, 103).has_value());
    EXPECT_EQ(app_.presentation->state().features, kFeaturePointerHalo | kFeatureInputDisplay);

    ASSERT_TRUE(run_tray_command(app_, 121).has_value());
    EXPECT_EQ(app_.settings.shape_duration_ms, 1000u);
    EXPECT_EQ(app_.presentation->state().settings.shape_duration_ms, 1000u);
    ASSERT_TRUE(run_tray_command(app_, 123).has_value());
    EXPECT_EQ(app_.settings.shape_duration_ms, 5000u);
    EXPECT_EQ(app_.presentation->state().settings.shape_duration_ms, 5000u);

    const Settings before = app_.settings;
    ASSERT_TRUE(run_tray_command(app_, 5).has_value());
    EXPECT_EQ(app_.settings.live_capture, !before.live_capture);
    ASSERT_TRUE(run_tray_command(app_, 5).has_value());
    EXPECT_EQ(app_.settings.live_capture, before.live_capture);
}

TEST_F(TrayMenuWin32, PresentationCommandsAreRefusedWhileAnEditorRuns) {
    app_.editor_running = true;
    app_.presentation->state().features = kFeatureTemporaryShapes;
    const Settings before = app_.settings;
    for (std::uint32_t id : {101u, 121u}) {
        g_box_seen = false;
        g_box_text.clear();
        ASSERT_NE(::SetTimer(nullptr, 0, 50, dismiss_box), 0u);
        ASSERT_TRUE(run_tray_command(app_, id).has_value());
        EXPECT_TRUE(g_box_seen) << id;
        EXPECT_EQ(g_box_text, L"Finish the current capture before changing presentation settings.") << id;
    }
    EXPECT_EQ(app_.presentation->state().features, kFeatureTemporaryShapes);
    EXPECT_EQ(app_.settings, before);

    // Live capture is not a presentation setting.
    ASSERT_TRUE(run_tray_command(app_, 5).has_value());
    EXPECT_NE(app_.settings.live_capture, before.live_capture);
}

TEST_F(TrayMenuWin32, StartWithWindowsTogglesTheRunValue) {
    app_.role = Role::Resident;
    auto initial = start_with_windows_enabled();
    ASSERT_TRUE(initial.has_value());

    ASSERT_TRUE(run_tray_command(app_, 4).has_value());
    auto now = start_with_windows_enabled();
    ASSERT_TRUE(now.has_value());
    EXPECT_EQ(*now, !*initial);
    EXPECT_EQ(app_.settings.start_with_windows, *now);

    ASSERT_TRUE(run_tray_command(app_, 4).has_value());
    now = start_with_windows_enabled();
    ASSERT_TRUE(now.has_value());
    EXPECT_EQ(*now, *initial);
    EXPECT_EQ(app_.settings.start_with_windows, *initial);
}

TEST_F(TrayMenuWin32, DiagnosticsRunLeavesTheRunValueAlone) {
    auto initial = start_with_windows_enabled();
    ASSERT_TRUE(initial.has_value());
    const bool shown = app_.settings.start_with_windows;
    ASSERT_TRUE(run_tray_command(app_, 4).has_value());
    EXPECT_EQ(start_with_windows_enabled().value_or(!*initial), *initial);
    EXPECT_NE(app_.settings.start_with_windows, shown);
}

TEST_F(TrayMenuWin32, FailedSettingsWriteLeavesTheSettingUnchanged) {
    auto path = settings_path();
    ASSERT_TRUE(path.has_value());
    const std::filesystem::path folder = path->parent_path();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    // A folder where the settings file belongs: neither reading nor replacing it works.
    ASSERT_TRUE(std::filesystem::create_directories(*path / "blocked", ec)) << ec.message();

    app_.role = Role::Resident;
    const Settings before = app_.settings;
    EXPECT_FALSE(run_tray_command(app_, 5).has_value());
    EXPECT_EQ(app_.settings.live_capture, before.live_capture);
    ASSERT_NE(before.shape_duration_ms, 1000u);
    EXPECT_FALSE(run_tray_command(app_, 121).has_value());
    EXPECT_EQ(app_.settings, before);
    EXPECT_EQ(app_.presentation->state().settings.shape_duration_ms, before.shape_duration_ms);

    // The menu itself reports the unreadable settings and shows nothing.
    EXPECT_FALSE(show_tray_menu(app_).has_value());

    std::filesystem::remove_all(folder, ec);
}

// --- the real menu ----------------------------------------------------------

namespace {

struct MenuScript {
    int tick = 0;
    bool finished = false;
    bool timed_out = false;
    std::vector<HWND> seen;
    bool selected_colour_seen = false;
    bool background_colour_seen = false;
    int menus_with_submenu = 0;
    int step = 0;
};
MenuScript g_script;

BOOL CALLBACK collect_menus(HWND window, LPARAM lparam) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32768" && ::IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND>*>(lparam)->push_back(window);
    }
    return TRUE;
}

std::vector<HWND> open_menus() {
    std::vector<HWND> menus;
    ::EnumThreadWindows(::GetCurrentThreadId(), collect_menus, reinterpret_cast<LPARAM>(&menus));
    return menus;
}

// Grabs the screen under the open menus.
void capture_menus(const std::vector<HWND>& menus, const wchar_t* name, bool check_colours) {
    RECT all{};
    for (HWND m : menus) {
        RECT r{};
        ::GetWindowRect(m, &r);
        ::UnionRect(&all, &all, &r);
    }
    const int width = all.right - all.left;
    const int height = all.bottom - all.top;
    if (width <= 0 || height <= 0) return;
    Canvas canvas(width, height);
    HDC screen = ::GetDC(nullptr);
    ::BitBlt(canvas.dc(), 0, 0, width, height, screen, all.left, all.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    if (check_colours) {
        for (int y = 0; y < height; y += 2) {
            for (int x = 0; x < width; x += 2) {
                const std::uint32_t c = canvas.rgb(x, y);
                if (c == 0x414141) g_script.selected_colour_seen = true;
                if (c == 0x2B2B2B) g_script.background_colour_seen = true;
            }
        }
    }
    (void)kadrovix::testing::save_preview(canvas.image(), name);
}

void key(HWND menu, UINT vk) {
    ::PostMessageW(menu, WM_KEYDOWN, vk, 0);
    ::PostMessageW(menu, WM_KEYUP, vk, 0xC000'0001);
}

// The id of the highlighted item of an open menu window, or -1.
long highlighted_id(HWND menu_window) {
    auto menu = reinterpret_cast<HMENU>(::SendMessageW(menu_window, MN_GETHMENU, 0, 0));
    if (menu == nullptr) return -1;
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if ((::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) == 0) continue;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID;
        if (::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) return static_cast<long>(info.wID);
    }
    return -1;
}

// Walks the open menu by keyboard: highlights "Temporary shapes", opens the
// duration list, closes it again and chooses "Live capture by default".
void CALLBACK drive_menu(HWND, UINT, UINT_PTR timer, DWORD) {
    MenuScript& s = g_script;
    if (++s.tick > 150) {
        s.timed_out = true;
        ::KillTimer(nullptr, timer);
        ::EndMenu();
        return;
    }
    const auto menus = open_menus();
    if (menus.empty()) return;
    HWND top = menus.front();
    for (HWND m : menus) {
        // The top-level menu is the one holding "Take a screenshot".
        auto handle = reinterpret_cast<HMENU>(::SendMessageW(m, MN_GETHMENU, 0, 0));
        if (handle != nullptr && ::GetMenuItemID(handle, 0) == 1) top = m;
    }
    const long current = highlighted_id(top);
    switch (s.step) {
        case 0:  // highlight "Temporary shapes" and look at the menu
            if (current != 102) {
                key(top, VK_DOWN);
            } else {
                capture_menus(menus, L"tray_menu_open.png", true);
                ++s.step;
            }
            break;
        case 1:  // open "Shape duration"
            if (current != 120) {
                key(top, VK_DOWN);
            } else {
                key(top, VK_RIGHT);
                ++s.step;
            }
            break;
        case 2:  // the list opens a moment later
            if (menus.size() >= 2) {
                s.menus_with_submenu = static_cast<int>(menus.size());
                capture_menus(menus, L"tray_menu_duration.png", false);
                key(top, VK_ESCAPE);
                ++s.step;
            }
            break;
        case 3:  // back in the top-level menu: choose "Live capture by default"
            if (menus.size() != 1) break;
            if (current != 5) {
                key(top, VK_DOWN);
            } else {
                key(top, VK_RETURN);
                s.finished = true;
                ::KillTimer(nullptr, timer);
            }
            break;
        default: break;
    }
}

}  // namespace

TEST_F(TrayMenuWin32, OpensAtTheCursorAndCarriesOutTheChosenCommand) {
    app_.settings.live_capture = false;
    app_.settings.shape_shortcuts[kRectangleShortcut] = ShapeShortcut{kModCtrl | kModAlt, 0x52};
    app_.presentation->state().features = kFeatureTemporaryShapes | kFeaturePointerHalo;
    app_.presentation->state().hook_priority[1] = true;
    ASSERT_TRUE(::SetCursorPos(120, 60));

    g_script = MenuScript{};
    ASSERT_NE(::SetTimer(nullptr, 0, 80, drive_menu), 0u);
    const auto shown = show_tray_menu(app_);
    ASSERT_TRUE(shown.has_value()) << shown.error().message;
    ASSERT_FALSE(g_script.timed_out) << "the menu never finished; step " << g_script.step;
    EXPECT_TRUE(g_script.finished);
    EXPECT_EQ(g_script.menus_with_submenu, 2);
    EXPECT_TRUE(g_script.background_colour_seen);
    EXPECT_TRUE(g_script.selected_colour_seen);

    // "Live capture by default" was chosen.
    EXPECT_TRUE(app_.settings.live_capture);
    // Presentation flags are as they were: only browsing happened there.
    EXPECT_EQ(app_.presentation->state().features, kFeatureTemporaryShapes | kFeaturePointerHalo);
}
