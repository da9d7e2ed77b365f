#include "app/setup/tray_menu_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

#include "app/events/event_handler_win32.h"
#include "app/messages.h"
#include "app/notice/toast_win32.h"
#include "app/runtime/gdi_win32.h"
#include "app/runtime/saved_dc_win32.h"
#include "app/runtime/text_win32.h"
#include "app/setup/settings_panel_win32.h"
#include "app/setup/shortcut_names_win32.h"
#include "app/setup/start_with_windows_win32.h"
#include "base/error_win32.h"
#include "settings/settings_storage_win32.h"

namespace kadrovix {

namespace {

// Layout of an item in 96-DPI units.
constexpr int kTextLeft = 30;
constexpr int kLabelRightInset = 24;
constexpr int kAcceleratorLeft = 170;
constexpr int kAcceleratorRightInset = 16;
constexpr int kCheckLeft = 7;
constexpr int kCheckRight = 25;
constexpr int kSeparatorRightInset = 8;
constexpr int kSeparatorY = 3;
constexpr int kFontUnits = 13;

std::uint32_t window_dpi(HWND window) {
    const UINT dpi = window != nullptr ? ::GetDpiForWindow(window) : 0;
    return effective_dpi(dpi);
}

Unexpected<Error> failure(std::string text) { return general_failure(std::move(text)); }

Result<void> reload_settings(AppState& app) {
    auto path = settings_path();
    if (!path) return failure(path.error());
    auto settings = read_settings_file(*path);
    if (!settings) return failure(settings.error());
    app.settings = *settings;
    return {};
}

Result<void> save(const Settings& settings) {
    if (auto r = save_settings(settings); !r) return failure(r.error());
    return {};
}

Result<PresentationController*> presentation_of(AppState& app) {
    if (!app.presentation) {
        auto made = PresentationController::create(app.main_window, app.settings);
        if (!made) return propagate(made);
        app.presentation = std::move(*made);
    }
    return app.presentation.get();
}

Result<void> append_item(HMENU menu, const TrayMenuItem& item, HMENU submenu = nullptr) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    std::wstring text;
    if (item.kind == TrayMenuItemKind::StandardSeparator) {
        info.fMask = MIIM_FTYPE;
        info.fType = MFT_SEPARATOR;
    } else {
        // Owner-drawn items keep their text too: the drawing reads it back.
        text = win32::to_wide(item.text);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_DATA;
        info.fType = MFT_OWNERDRAW;
        info.wID = item.id;
        info.fState = (item.checked ? MFS_CHECKED : 0u) |
                      (item.kind == TrayMenuItemKind::OwnerSeparator ? MFS_DISABLED : 0u);
        info.dwTypeData = text.data();
        info.cch = static_cast<UINT>(text.size());
        info.dwItemData = item.data;
        if (submenu != nullptr) {
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = submenu;
        }
    }
    if (!::InsertMenuItemW(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &info)) {
        return win32::fail_last_error();
    }
    return {};
}

std::wstring menu_item_text(HMENU menu, UINT id) {
    wchar_t buffer[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = buffer;
    info.cch = static_cast<UINT>(std::size(buffer));
    if (menu != nullptr && ::IsMenu(menu) && ::GetMenuItemInfoW(menu, id, FALSE, &info) && buffer[0] != L'\0') {
        return std::wstring(buffer);
    }
    // Drawn outside a live menu (or by a menu that lost its text): the
    // built-in text of the id says the same.
    return win32::to_wide(tray_menu_item_text(id));
}

void fill_logical_rect(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    win32::UniqueBrush brush(::CreateSolidBrush(colour));
    if (!brush) return;
    const RECT rect{left, top, right, bottom};
    ::FillRect(dc, &rect, brush.get());
}

void draw_text(HDC dc, std::wstring_view text, RECT rect, UINT align, COLORREF colour) {
    if (text.empty()) return;
    ::SetTextColor(dc, colour);
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect,
                align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

}  // namespace

void fill_tray_icon_record(AppState& app, HICON small_icon) {
    NOTIFYICONDATAW& record = app.tray_icon;
    record = NOTIFYICONDATAW{};
    record.cbSize = sizeof record;
    record.hWnd = app.main_window;
    record.uID = kTrayIconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = MSG_TRAY_CALLBACK;
    record.hIcon = small_icon;
    const std::wstring tip = win32::to_wide(kTrayTip);
    const std::u16string fitted =
        fit_text_field(std::u16string(tip.begin(), tip.end()), std::size(record.szTip));
    std::copy(fitted.begin(), fitted.end(), record.szTip);
    record.szTip[fitted.size()] = L'\0';
}

bool add_tray_icon(AppState& app) {
    app.tray_icon_added = ::Shell_NotifyIconW(NIM_ADD, &app.tray_icon) != FALSE;
    return app.tray_icon_added;
}

void delete_tray_icon(AppState& app) {
    if (!app.tray_icon_added) return;
    ::Shell_NotifyIconW(NIM_DELETE, &app.tray_icon);
    app.tray_icon_added = false;
}

Result<win32::UniqueMenu> create_tray_menu(const TrayMenuModel& model) {
    win32::UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return win32::fail_last_error();
    for (const TrayMenuItem& item : model.items) {
        if (item.kind == TrayMenuItemKind::Submenu) {
            win32::UniqueMenu submenu(::CreatePopupMenu());
            if (!submenu) return win32::fail_last_error();
            for (const TrayMenuItem& entry : model.duration_items) {
                if (auto r = append_item(submenu.get(), entry); !r) return propagate(r);
            }
            RETURN_IF_ERROR(append_item(menu.get(), item, submenu.get()));
            submenu.release();  // owned by the menu from here on
        } else {
            if (auto r = append_item(menu.get(), item); !r) return propagate(r);
        }
    }
    return menu;
}

namespace {

bool is_presentation_window(HWND window) {
    wchar_t name[64] = {};
    if (::GetClassNameW(window, name, 64) == 0) return false;
    return std::wstring_view(name) == L"Kadrovix.Presentation";
}

}  // namespace

Result<void> show_tray_menu(AppState& app) {
    if (app.stores_settings()) {
        if (auto r = reload_settings(app); !r) return r;
    }
    auto controller = presentation_of(app);
    if (!controller) return propagate(controller);
    PresentationState& presentation = (*controller)->state();

    TrayMenuInputs inputs;
    inputs.features = presentation.features;
    inputs.shape_shortcuts = app.settings.shape_shortcuts;
    for (std::size_t i = 0; i < inputs.hook_priority.size(); ++i) {
        inputs.hook_priority[i] = presentation.hook_priority[i];
    }
    inputs.shape_duration_ms = app.settings.shape_duration_ms;
    inputs.live_capture = app.settings.live_capture;
    // A Run value the program cannot read (another type) shows unchecked;
    // choosing the item reports the fault.
    if (app.stores_settings()) {
        const auto run_value = start_with_windows_enabled();
        inputs.run_value_exists = run_value.has_value() && *run_value;
    } else {
        inputs.run_value_exists = app.settings.start_with_windows;
    }

    auto menu = create_tray_menu(build_tray_menu(inputs));
    if (!menu) return propagate(menu);
    win32::UniqueBrush background(::CreateSolidBrush(kMenuBackground));
    if (!background) return win32::fail_last_error();

    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND;
    info.hbrBack = background.get();
    ::SetMenuInfo(menu->get(), &info);  // without it the margins stay light; still usable

    POINT cursor{};
    if (!::GetCursorPos(&cursor)) return win32::fail_last_error();

    // Presentation mode's own overlays are never the window to go back to.
    if (HWND front = ::GetForegroundWindow(); front != nullptr && !is_presentation_window(front)) {
        presentation.return_window = reinterpret_cast<std::uintptr_t>(front);
    }

    // The menu only closes on an outside click while its owner is in front.
    ::SetForegroundWindow(app.main_window);
    const BOOL chosen = ::TrackPopupMenuEx(menu->get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y,
                                           app.main_window, nullptr);
    // The documented companion of a notification-area menu: a benign message
    // that lets the next click on the icon open the menu again.
    ::PostMessageW(app.main_window, WM_NULL, 0, 0);
    menu->reset();
    background.reset();

    return run_tray_command(app, static_cast<std::uint32_t>(chosen));
}

Result<void> run_tray_command(AppState& app, std::uint32_t id) {
    const TrayCommand command = tray_command(id, app.editor_running);
    switch (command.action) {
        case TrayAction::Nothing: return {};
        case TrayAction::RefuseWhileEditing: show_message(app.main_window, kPresentationBusyMessage); return {};
        case TrayAction::StartCapture:
            if (!::PostMessageW(app.main_window, MSG_START_CAPTURE, 0, 0)) return win32::fail_last_error();
            return {};
        case TrayAction::OpenPanel: return open_panel(app, command.page);
        case TrayAction::Quit: ::PostQuitMessage(0); return {};
        case TrayAction::ToggleStartWithWindows: {
            // The diagnostics role leaves the user's log-on alone: the item
            // only flips the setting it shows.
            if (!app.stores_settings()) {
                app.settings.start_with_windows = !app.settings.start_with_windows;
                return {};
            }
            auto enabled = start_with_windows_enabled();
            if (!enabled) return propagate(enabled);
            const bool wanted = !*enabled;
            if (auto r = set_start_with_windows(wanted); !r) return r;
            app.settings.start_with_windows = wanted;
            return save(app.settings);
        }
        case TrayAction::ToggleLiveCapture: {
            const bool previous = app.settings.live_capture;
            app.settings.live_capture = !previous;
            if (app.stores_settings()) {
                if (auto r = save(app.settings); !r) {
                    app.settings.live_capture = previous;
                    return r;
                }
            }
            return {};
        }
        case TrayAction::ToggleFeature: {
            auto controller = presentation_of(app);
            if (!controller) return propagate(controller);
            PresentationController& presentation = **controller;
            const std::uint32_t previous = presentation.state().features;
            const std::uint32_t flags = previous ^ command.feature;
            presentation.state().features = flags;
            // Turning a feature on tolerates shape shortcuts another program
            // holds (the keyboard hook serves them); turning one off is exact.
            if ((flags & command.feature) != 0) {
                auto unavailable = presentation.activate_with_priority(flags);
                if (!unavailable) {
                    presentation.turn_everything_off();
                    return propagate(unavailable);
                }
                if (!unavailable->empty()) show_toast(app, shortcut_unavailable_notice(*unavailable));
                return {};
            }
            if (auto r = presentation.apply_features(flags); !r) {
                presentation.state().features = previous;
                return r;
            }
            return {};
        }
        case TrayAction::SetShapeDuration: {
            Settings changed = app.settings;
            changed.shape_duration_ms = command.duration_ms;
            if (app.stores_settings()) {
                if (auto r = save(changed); !r) return r;
            }
            app.settings = changed;
            auto controller = presentation_of(app);
            if (!controller) return propagate(controller);
            return (*controller)->apply_settings(changed);
        }
    }
    return {};
}

bool measure_menu_item(HWND window, MEASUREITEMSTRUCT* item) {
    if (item == nullptr || item->CtlType != ODT_MENU) return false;
    const MenuItemSize size = tray_menu_item_size(item->itemID, window_dpi(window));
    item->itemWidth = static_cast<UINT>(size.width);
    item->itemHeight = static_cast<UINT>(size.height);
    return true;
}

bool draw_menu_item(HWND window, DRAWITEMSTRUCT* item) { return draw_menu_item(item, window_dpi(window)); }

bool draw_menu_item(DRAWITEMSTRUCT* item, std::uint32_t item_dpi) {
    if (item == nullptr || item->CtlType != ODT_MENU) return false;
    HDC dc = item->hDC;
    const RECT& rc = item->rcItem;
    const int dpi = static_cast<int>(effective_dpi(item_dpi));

    // The background goes down in device pixels, so that no column is left
    // unpainted where the logical size rounds down.
    {
        win32::UniqueBrush brush(::CreateSolidBrush(kMenuBackground));
        if (brush) ::FillRect(dc, &rc, brush.get());
    }

    win32::SavedDc saved(dc);
    if (!saved.ok()) return true;
    // Logical (0, 0) is the item's top-left corner; 96 units span dpi pixels.
    POINT window_origin{};
    POINT viewport_origin{};
    ::GetWindowOrgEx(dc, &window_origin);
    ::GetViewportOrgEx(dc, &viewport_origin);
    ::SetMapMode(dc, MM_ANISOTROPIC);
    ::SetWindowExtEx(dc, 96, 96, nullptr);
    ::SetViewportExtEx(dc, dpi, dpi, nullptr);
    ::SetWindowOrgEx(dc, 0, 0, nullptr);
    ::SetViewportOrgEx(dc, viewport_origin.x + rc.left - window_origin.x, viewport_origin.y + rc.top - window_origin.y,
                       nullptr);
    const int w = (rc.right - rc.left) * 96 / dpi;
    const int h = (rc.bottom - rc.top) * 96 / dpi;

    if (item->itemID == kMenuSeparator) {
        fill_logical_rect(dc, kTextLeft, kSeparatorY, w - kSeparatorRightInset, kSeparatorY + 1, kMenuSeparatorLine);
        return true;
    }

    if ((item->itemState & ODS_SELECTED) != 0) {
        win32::UniqueBrush brush(::CreateSolidBrush(kMenuSelected));
        win32::UniquePen pen(::CreatePen(PS_SOLID, 1, kMenuSelected));
        if (brush && pen) {
            win32::SelectedObject selected_brush(dc, brush.get());
            win32::SelectedObject selected_pen(dc, pen.get());
            ::RoundRect(dc, 2, 1, w - 2, h - 1, 2, 2);
        }
    }

    const std::wstring text = menu_item_text(reinterpret_cast<HMENU>(item->hwndItem), item->itemID);
    const auto parts = split_menu_text(std::wstring_view(text));
    std::wstring accelerator(parts.accelerator);
    if (is_shape_item(item->itemID) && item->itemData != 0) {
        const ShortcutItemData data = unpack_shortcut_item_data(static_cast<std::uint32_t>(item->itemData));
        accelerator = win32::to_wide(menu_accelerator_text(shortcut_name(data.shortcut), data.hook_priority));
    }

    win32::UniqueFont font(::CreateFontW(-kFontUnits, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                         DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI"));
    if (!font) return true;
    win32::SelectedObject selected_font(dc, font.get());
    ::SetBkMode(dc, TRANSPARENT);

    draw_text(dc, parts.label, RECT{kTextLeft, 0, w - kLabelRightInset, h}, DT_LEFT, kMenuText);
    draw_text(dc, accelerator, RECT{kAcceleratorLeft, 0, w - kAcceleratorRightInset, h}, DT_RIGHT, kMenuAccelerator);
    if ((item->itemState & ODS_CHECKED) != 0) {
        draw_text(dc, L"\u2713", RECT{kCheckLeft, 0, kCheckRight, h}, DT_CENTER, kMenuText);
    }
    return true;
}

}  // namespace kadrovix
