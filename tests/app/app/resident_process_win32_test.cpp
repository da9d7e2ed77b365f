// The real program, started as a process: single instance, the first-start
// settings panel driven with real keys, a capture shortcut held by another
// program, the Run value and the tray menu, the editor processes a capture
// request starts, the notices the resident accepts, and a self-test switch.
// Each test writes the settings file it needs first (in the run's data folder,
// which the programs it starts inherit) and puts that file and the profile's
// Run value back afterwards; every process it started (and every editor those
// started) is ended when it finishes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/setup/start_with_windows.h"
#include "settings/settings.h"
#include "settings/settings_storage_win32.h"
#include "support/canvas_win32.h"
#include "support/child_process_win32.h"
#include "support/process_win32.h"
#include "support/window_probe_win32.h"

namespace fs = std::filesystem;
namespace kt = kadrovix::testing;
using namespace kadrovix;

namespace {

constexpr wchar_t kExeName[] = L"kadrovix.exe";
constexpr wchar_t kMainWindowClassName[] = L"Kadrovix.Window";
constexpr wchar_t kToastClassName[] = L"Kadrovix.Confirmation";
constexpr wchar_t kEditorMutex[] = L"Local\\Kadrovix.Editor";

constexpr wchar_t kAlreadyRunningText[] = L"Kadrovix is already running. Use its notification-area icon.";
constexpr wchar_t kShortcutInUseText[] = L"The capture shortcut is already in use. Choose another combination.";

// Generous: Wine starts a process in a second or two on a busy machine.
constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kStepTimeoutMs = 10000;

// Panel layout in logical units of its 640 x 450 client area.
constexpr double kPanelWidth = 640;
constexpr double kPanelHeight = 450;

// Panel and menu colours, 0xRRGGBB.
constexpr std::uint32_t kPanelBackground = 0x202020;
constexpr std::uint32_t kPanelSurface = 0x2B2B2B;
constexpr std::uint32_t kSaveDisabled = 0x383838;
constexpr std::uint32_t kAccent = 0x60CDFF;
constexpr std::uint32_t kMenuBackground = 0x2B2B2B;
constexpr std::uint32_t kMenuSelected = 0x414141;
constexpr std::uint32_t kToastFill = 0x262626;

// Menu item heights at 96 DPI.
constexpr int kMenuItemHeight = 28;
constexpr int kMenuSeparatorHeight = 8;

std::optional<std::string> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool write_file(const fs::path& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// --- the Run value ---------------------------------------------------------------

struct RunValue {
    std::wstring text;    // without the terminating NUL
    DWORD byte_size = 0;  // as stored
};

std::optional<RunValue> read_run_value() {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return std::nullopt;
    win32::UniqueRegistryKey key(raw);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), kRunValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (type != REG_SZ) return std::nullopt;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD read = size;
    if (::RegQueryValueExW(key.get(), kRunValueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &read) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    RunValue value;
    value.byte_size = read;
    value.text.assign(data.data());
    return value;
}

void put_run_value(const std::optional<RunValue>& value) {
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                          &raw, nullptr) != ERROR_SUCCESS) {
        return;
    }
    win32::UniqueRegistryKey key(raw);
    if (value) {
        const std::wstring& text = value->text;
        ::RegSetValueExW(key.get(), kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    } else {
        ::RegDeleteValueW(key.get(), kRunValueName);
    }
}

// --- screen ----------------------------------------------------------------------

RECT window_rect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

bool visible_with_caption(HWND window) {
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    return ::IsWindowVisible(window) && (style & WS_CAPTION) == WS_CAPTION;
}

// A point of the panel's logical layout on the screen.
POINT panel_point(const RECT& client, double x, double y) {
    const double sx = (client.right - client.left) / kPanelWidth;
    const double sy = (client.bottom - client.top) / kPanelHeight;
    return POINT{client.left + static_cast<LONG>(x * sx), client.top + static_cast<LONG>(y * sy)};
}

std::uint32_t screen_pixel(POINT p) {
    const BgraImage one = kt::grab_screen(RECT{p.x, p.y, p.x + 1, p.y + 1});
    return kt::pixel_rgb(one, 0, 0);
}

// The rows of the highlighted menu item, as [top, bottom) in the menu
// window, found down a column right of all item texts.
struct Band {
    int top = -1;
    int bottom = -1;
    bool found() const { return top >= 0; }
};

Band highlighted_band(HWND menu) {
    const RECT r = window_rect(menu);
    const BgraImage image = kt::grab_screen(r);
    Band band;
    const int x = static_cast<int>(image.width) - 12;
    for (int y = 0; y < static_cast<int>(image.height); ++y) {
        const bool selected = kt::pixel_rgb(image, x, y) == kMenuSelected;
        if (selected && band.top < 0) band.top = y;
        if (!selected && band.top >= 0) {
            band.bottom = y;
            break;
        }
    }
    if (band.top >= 0 && band.bottom < 0) band.bottom = static_cast<int>(image.height);
    return band;
}

bool image_has_colour(const BgraImage& image, std::uint32_t rgb) {
    for (std::uint32_t y = 0; y < image.height; y += 2) {
        for (std::uint32_t x = 0; x < image.width; x += 2) {
            if (kt::pixel_rgb(image, static_cast<int>(x), static_cast<int>(y)) == rgb) return true;
        }
    }
    return false;
}

void save_screenshot(const RECT& area, const wchar_t* name) {
    const BgraImage image = kt::grab_screen(area);
    EXPECT_FALSE(image.pixels.empty()) << "the screen could not be read for " << fs::path(name).string();
    if (!image.pixels.empty()) {
        EXPECT_TRUE(kt::save_preview(image, name));
    }
}

// --- children ----------------------------------------------------------------------

std::wstring held_event_name(const std::wstring& suffix) { return L"Local\\Kadrovix.Test.ResidentHeld." + suffix; }
std::wstring release_event_name(const std::wstring& suffix) {
    return L"Local\\Kadrovix.Test.ResidentRelease." + suffix;
}

}  // namespace

// Holds a hot key (modifiers, key) in another process until the test lets go.
KADROVIX_TEST_CHILD(resident_hold_hotkey) {
    if (args.size() != 3) return 3;
    const auto modifiers = static_cast<UINT>(std::stoul(args[0]));
    const auto key = static_cast<UINT>(std::stoul(args[1]));
    if (!::RegisterHotKey(nullptr, 1, modifiers, key)) return 2;
    kt::NamedEvent held(held_event_name(args[2]));
    kt::NamedEvent release(release_event_name(args[2]));
    held.set();
    release.wait(120000);
    ::UnregisterHotKey(nullptr, 1);
    return 0;
}

namespace {

class ResidentProcess : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef KADROVIX_EXE_PATH
        exe_ = kt::windows_program_path(KADROVIX_EXE_PATH);
#else
        GTEST_SKIP() << "kadrovix.exe is not part of this build";
#endif
        ASSERT_TRUE(fs::exists(exe_)) << fs::path(exe_).string();
        auto path = settings_path();
        ASSERT_TRUE(path.has_value());
        settings_file_ = *path;
        std::error_code ec;
        folder_existed_ = fs::exists(settings_file_.parent_path(), ec);
        saved_settings_ = read_file(settings_file_);
        saved_run_value_ = read_run_value();
        prepared_ = true;
    }

    void TearDown() override {
        if (!prepared_) return;
        end_everything_started();
        if (saved_settings_) {
            write_file(settings_file_, *saved_settings_);
        } else {
            std::error_code ec;
            fs::remove(settings_file_, ec);
            if (!folder_existed_) fs::remove_all(settings_file_.parent_path(), ec);
        }
        put_run_value(saved_run_value_);
    }

    // The settings file every process of the test reads.
    void use_settings(const Settings& settings) { ASSERT_TRUE(write_file(settings_file_, format_settings(settings))); }

    // A settings record with a capture shortcut, so that no panel opens.
    static Settings with_shortcut(std::uint32_t modifiers, std::uint32_t key, bool start_with_windows = false) {
        Settings s = default_settings();
        s.capture_modifiers = modifiers;
        s.capture_key = key;
        s.start_with_windows = start_with_windows;
        return s;
    }

    kt::LaunchedProcess& start(const std::vector<std::wstring>& args = {}) {
        started_.push_back(std::make_unique<kt::LaunchedProcess>(exe_, args));
        kt::LaunchedProcess& p = *started_.back();
        EXPECT_TRUE(p.started()) << "CreateProcess failed with " << p.start_error();
        return p;
    }

    // The process's main window, hidden or not.
    static HWND main_window(const kt::LaunchedProcess& p) {
        return kt::wait_for_window(p.id(), kMainWindowClassName, [](HWND) { return true; }, kStartTimeoutMs);
    }

    static HWND visible_message_box(DWORD process_id) {
        return kt::wait_for_window(process_id, kt::kDialogClass, [](HWND w) { return ::IsWindowVisible(w) != FALSE; },
                                   kStartTimeoutMs);
    }

    static bool answers_between_messages(HWND window) {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kStepTimeoutMs, &result) != 0;
    }

    static std::vector<DWORD> editors_of(const kt::LaunchedProcess& resident) {
        return kt::child_processes(resident.id(), kExeName);
    }

    // Ends what the test started: the editors of each process first (so that
    // none is left without its parent), then the process itself.
    void end_everything_started() {
        std::vector<DWORD> parents;
        for (const auto& p : started_) parents.push_back(p->id());
        const auto end_children = [&] {
            for (DWORD parent : parents) {
                for (DWORD child : kt::child_processes(parent, kExeName)) kt::terminate_process(child);
            }
        };
        end_children();
        for (auto it = started_.rbegin(); it != started_.rend(); ++it) (*it)->terminate();
        // An editor started in the meantime still names its parent.
        end_children();
        started_.clear();
    }

    std::wstring exe_;
    fs::path settings_file_;

private:
    bool prepared_ = false;
    bool folder_existed_ = false;
    std::optional<std::string> saved_settings_;
    std::optional<RunValue> saved_run_value_;
    std::vector<std::unique_ptr<kt::LaunchedProcess>> started_;
};

// --- single instance -------------------------------------------------------------

TEST_F(ResidentProcess, SecondResidentShowsAlreadyRunningAndExitsZero) {
    use_settings(with_shortcut(MOD_CONTROL | MOD_ALT, VK_F9));
    kt::LaunchedProcess& first = start();
    HWND first_window = main_window(first);
    ASSERT_NE(first_window, nullptr);

    kt::LaunchedProcess& second = start();
    HWND box = visible_message_box(second.id());
    ASSERT_NE(box, nullptr) << "the second process showed no message";
    EXPECT_EQ(kt::window_text(box), L"Kadrovix");
    EXPECT_EQ(kt::dialog_static_text(box), kAlreadyRunningText);
    // It stopped before making any window of its own.
    EXPECT_TRUE(kt::top_level_windows(second.id(), kMainWindowClassName).empty());
    EXPECT_TRUE(second.running());

    ASSERT_TRUE(kt::dismiss_message_box(box));
    EXPECT_EQ(second.wait(kStartTimeoutMs), std::optional<DWORD>(0));
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(::IsWindow(first_window));
}

// --- first start and the settings panel ----------------------------------------------

TEST_F(ResidentProcess, FirstStartOpensThePanelAndSavingCtrlShiftSRegistersIt) {
    use_settings(default_settings());  // no capture shortcut yet
    kt::LaunchedProcess& resident = start();
    HWND panel = kt::wait_for_window(resident.id(), kMainWindowClassName, visible_with_caption, kStartTimeoutMs);
    ASSERT_NE(panel, nullptr) << "the settings panel did not open";
    EXPECT_EQ(kt::window_text(panel), L"Kadrovix");

    const RECT client = kt::client_rect_on_screen(panel);
    const POINT background = panel_point(client, 12, 12);
    const POINT box = panel_point(client, 40, 240);
    const POINT save = panel_point(client, 462, 376);
    // Capturing at once: the box waits for keys, Save is disabled.
    ASSERT_TRUE(kt::wait_until(
        [&] {
            return screen_pixel(background) == kPanelBackground && screen_pixel(box) == kPanelSurface &&
                   screen_pixel(save) == kSaveDisabled;
        },
        kStepTimeoutMs))
        << std::hex << "background " << screen_pixel(background) << ", box " << screen_pixel(box) << ", save "
        << screen_pixel(save);
    save_screenshot(window_rect(panel), L"resident-settings-panel.png");

    ASSERT_TRUE(kt::bring_to_foreground(panel, kStepTimeoutMs));
    ASSERT_TRUE(kt::press_keys({VK_CONTROL, VK_SHIFT, 'S'}));
    // The candidate enables Save.
    ASSERT_TRUE(kt::wait_until([&] { return screen_pixel(save) == kAccent; }, kStepTimeoutMs))
        << std::hex << "Save shows " << screen_pixel(save);
    save_screenshot(window_rect(panel), L"resident-settings-panel-candidate.png");

    ASSERT_TRUE(kt::press_keys({VK_RETURN}));
    HWND toast = kt::wait_for_window(
        resident.id(), kToastClassName,
        [](HWND w) { return ::IsWindowVisible(w) && kt::window_text(w) == L"Settings saved."; }, kStepTimeoutMs);
    ASSERT_NE(toast, nullptr) << "no \"Settings saved.\" toast";
    const RECT toast_area = window_rect(toast);
    const BgraImage toast_image = kt::grab_screen(toast_area);
    EXPECT_TRUE(kt::save_preview(toast_image, L"resident-toast.png"));
    EXPECT_EQ(kt::pixel_rgb(toast_image, 10, static_cast<int>(toast_image.height) / 2), kToastFill);
    EXPECT_FALSE(::IsWindowVisible(panel));

    // The file holds the new shortcut: modifiers Ctrl + Shift, key S.
    const auto text = read_file(settings_file_);
    ASSERT_TRUE(text.has_value());
    const auto lines = lines_of(*text);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "6");
    EXPECT_EQ(lines[2], "83");

    // The resident holds the combination now: this process cannot have it.
    const BOOL taken = ::RegisterHotKey(nullptr, 0x5EED, MOD_CONTROL | MOD_SHIFT, 'S');
    const DWORD error = ::GetLastError();
    if (taken) ::UnregisterHotKey(nullptr, 0x5EED);
    EXPECT_FALSE(taken);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_HOTKEY_ALREADY_REGISTERED));
    EXPECT_TRUE(resident.running());
}

TEST_F(ResidentProcess, CaptureShortcutHeldByAnotherProgramGivesTheMessageThenThePanel) {
    constexpr UINT kModifiers = MOD_CONTROL | MOD_ALT;
    constexpr UINT kKey = VK_F8;
    use_settings(with_shortcut(kModifiers, kKey));
    const std::wstring suffix = std::to_wstring(::GetCurrentProcessId());
    kt::NamedEvent held(held_event_name(suffix));
    kt::NamedEvent release(release_event_name(suffix));
    kt::ChildProcess holder(L"resident_hold_hotkey", {std::to_wstring(kModifiers), std::to_wstring(kKey), suffix});
    ASSERT_TRUE(held.wait(kStartTimeoutMs)) << "the other program could not take the shortcut";

    kt::LaunchedProcess& resident = start();
    HWND box = visible_message_box(resident.id());
    ASSERT_NE(box, nullptr) << "no message about the shortcut";
    EXPECT_EQ(kt::window_text(box), L"Kadrovix");
    EXPECT_EQ(kt::dialog_static_text(box), kShortcutInUseText);
    HWND main = main_window(resident);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(::GetWindow(box, GW_OWNER), main);
    // The panel follows the message, not before it.
    EXPECT_FALSE(::IsWindowVisible(main));

    ASSERT_TRUE(kt::dismiss_message_box(box));
    EXPECT_TRUE(kt::wait_until([&] { return visible_with_caption(main); }, kStepTimeoutMs))
        << "the settings panel did not open";
    EXPECT_TRUE(resident.running());

    release.set();
    EXPECT_EQ(holder.wait(kStepTimeoutMs), 0);
}

// --- Run value and the tray menu ------------------------------------------------------

TEST_F(ResidentProcess, RunValueIsWrittenAtStartAndRemovedFromTheMenu) {
    put_run_value(std::nullopt);
    use_settings(with_shortcut(MOD_CONTROL | MOD_ALT, VK_F7, true));
    kt::LaunchedProcess& resident = start();
    HWND main = main_window(resident);
    ASSERT_NE(main, nullptr);

    std::optional<RunValue> value;
    ASSERT_TRUE(kt::wait_until([&] { return (value = read_run_value()).has_value(); }, kStepTimeoutMs));
    const std::wstring quoted = L"\"" + exe_ + L"\"";
    EXPECT_EQ(value->text, quoted);
    EXPECT_EQ(value->byte_size, (quoted.size() + 1) * sizeof(wchar_t)) << "the stored size counts the NUL";

    // Notices while no editor runs are dropped: no toast window is ever made.
    ASSERT_TRUE(::PostMessageW(main, MSG_NOTICE, ::GetCurrentProcessId(), 1));
    ASSERT_TRUE(::PostMessageW(main, MSG_NOTICE, 0, 2));

    // A right click on the icon, as the shell reports it.
    ASSERT_TRUE(::SetCursorPos(200, 120));
    ASSERT_TRUE(::PostMessageW(main, MSG_TRAY_CALLBACK, 1, WM_RBUTTONUP));
    HWND menu = kt::wait_for_window(resident.id(), kt::kPopupMenuClass,
                                    [](HWND w) { return ::IsWindowVisible(w) != FALSE; }, kStartTimeoutMs);
    ASSERT_NE(menu, nullptr) << "the tray menu did not open";
    // Messages are handled in order: the notices came before the menu.
    EXPECT_TRUE(kt::top_level_windows(resident.id(), kToastClassName).empty());
    ASSERT_TRUE(kt::wait_until([&] { return image_has_colour(kt::grab_screen(window_rect(menu)), kMenuBackground); },
                               kStepTimeoutMs))
        << "the menu was not painted";

    // From the bottom: "Quit Kadrovix", the separator, "Start with Windows".
    ASSERT_TRUE(kt::press_keys({VK_UP}));
    Band quit;
    ASSERT_TRUE(kt::wait_until([&] { return (quit = highlighted_band(menu)).found(); }, kStepTimeoutMs))
        << "Up highlighted nothing";
    const int menu_height = window_rect(menu).bottom - window_rect(menu).top;
    EXPECT_LT(menu_height - quit.bottom, kMenuItemHeight) << "the last item is not the one highlighted";

    ASSERT_TRUE(kt::press_keys({VK_UP}));
    ASSERT_TRUE(kt::press_keys({VK_UP}));
    Band start_item;
    const int expected_top = quit.top - kMenuItemHeight - kMenuSeparatorHeight;
    ASSERT_TRUE(kt::wait_until([&] { return (start_item = highlighted_band(menu)).top == expected_top; },
                               kStepTimeoutMs))
        << "highlight at " << start_item.top << ", expected " << expected_top;
    EXPECT_EQ(start_item.bottom - start_item.top, quit.bottom - quit.top);
    save_screenshot(window_rect(menu), L"resident-tray-menu.png");

    ASSERT_TRUE(kt::press_keys({VK_RETURN}));
    EXPECT_TRUE(kt::wait_until([&] { return !::IsWindowVisible(menu); }, kStepTimeoutMs));
    EXPECT_TRUE(kt::wait_until([] { return !read_run_value().has_value(); }, kStepTimeoutMs))
        << "the Run value is still there";
    // The choice is kept in the settings too.
    EXPECT_TRUE(kt::wait_until(
        [&] {
            const auto text = read_file(settings_file_);
            if (!text) return false;
            const auto parsed = parse_settings(*text);
            return parsed.has_value() && !parsed->start_with_windows;
        },
        kStepTimeoutMs));
    EXPECT_TRUE(resident.running());
}

// --- capture requests and editor processes --------------------------------------------

TEST_F(ResidentProcess, CaptureRequestsStartOneEditorAtATimeAndNoticesComeOnlyFromIt) {
    // Holding the editor's single-instance mutex keeps each editor alive at
    // its "already running" message, so that the test can look at it.
    win32::UniqueHandle editor_mutex(::CreateMutexW(nullptr, FALSE, kEditorMutex));
    ASSERT_TRUE(editor_mutex);
    ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "an editor is running already";

    use_settings(with_shortcut(MOD_CONTROL | MOD_ALT, VK_F10));
    kt::LaunchedProcess& resident = start({L"--capture"});
    HWND main = main_window(resident);
    ASSERT_NE(main, nullptr);

    std::vector<DWORD> editors;
    ASSERT_TRUE(kt::wait_until([&] { return !(editors = editors_of(resident)).empty(); }, kStartTimeoutMs))
        << "--capture started no editor";
    const DWORD first_editor = editors.front();
    HWND first_box = visible_message_box(first_editor);
    ASSERT_NE(first_box, nullptr);
    EXPECT_EQ(kt::dialog_static_text(first_box), kAlreadyRunningText);

    // Exactly two arguments: the role and the resident's window in decimal.
    const std::vector<std::wstring> expected_args{
        L"--editor", L"--notification-owner=" + std::to_wstring(reinterpret_cast<std::uintptr_t>(main))};
    const auto arguments_of = [](DWORD id) {
        win32::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
        if (!process) return std::vector<std::wstring>{L"<cannot open the process>"};
        const auto line = kt::process_command_line(process.get());
        if (!line) return std::vector<std::wstring>{L"<cannot read the command line>"};
        return kt::command_line_arguments(*line);
    };
    EXPECT_EQ(arguments_of(first_editor), expected_args);

    // A notice from the running editor shows its toast.
    ASSERT_TRUE(::PostMessageW(main, MSG_NOTICE, first_editor, 1));
    HWND toast = kt::wait_for_window(
        resident.id(), kToastClassName,
        [](HWND w) { return ::IsWindowVisible(w) && kt::window_text(w) == L"Screenshot copied to clipboard."; },
        kStepTimeoutMs);
    ASSERT_NE(toast, nullptr);

    // Another sender, kind 0 and kind 5 show nothing: a new toast would have
    // replaced (destroyed) this one. The menu marks when they were handled.
    ASSERT_TRUE(::PostMessageW(main, MSG_NOTICE, ::GetCurrentProcessId(), 2));
    ASSERT_TRUE(::PostMessageW(main, MSG_NOTICE, first_editor, 0));
    ASSERT_TRUE(::PostMessageW(main, MSG_NOTICE, first_editor, 5));
    ASSERT_TRUE(::SetCursorPos(200, 120));
    ASSERT_TRUE(::PostMessageW(main, MSG_TRAY_CALLBACK, 1, WM_LBUTTONUP));
    HWND menu = kt::wait_for_window(resident.id(), kt::kPopupMenuClass,
                                    [](HWND w) { return ::IsWindowVisible(w) != FALSE; }, kStartTimeoutMs);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(::IsWindow(toast));
    EXPECT_EQ(kt::top_level_windows(resident.id(), kToastClassName), std::vector<HWND>{toast});
    ASSERT_TRUE(kt::press_keys({VK_ESCAPE}));
    ASSERT_TRUE(kt::wait_until([&] { return !::IsWindowVisible(menu); }, kStepTimeoutMs))
        << "Escape left the menu open";

    // A second request while the editor runs closes the toast and starts
    // nothing; the toast's end marks when the request was handled.
    const std::vector<HWND> toasts = kt::top_level_windows(resident.id(), kToastClassName);
    ASSERT_FALSE(toasts.empty());
    ASSERT_TRUE(::PostMessageW(main, MSG_START_CAPTURE, 0, 0));
    ASSERT_TRUE(kt::wait_until([&] { return kt::top_level_windows(resident.id(), kToastClassName).empty(); },
                               kStepTimeoutMs))
        << "the capture request did not close the toast";
    // A sent message is taken only between handlers: once it is answered,
    // the request's handler (and any process start in it) has finished.
    ASSERT_TRUE(answers_between_messages(main));
    EXPECT_EQ(editors_of(resident), std::vector<DWORD>{first_editor});

    // Once the editor has ended, the next request starts a new one.
    win32::UniqueHandle first_process(
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, first_editor));
    ASSERT_TRUE(first_process);
    ASSERT_TRUE(kt::dismiss_message_box(first_box));
    ASSERT_EQ(::WaitForSingleObject(first_process.get(), kStepTimeoutMs), WAIT_OBJECT_0);
    DWORD first_code = 99;
    ::GetExitCodeProcess(first_process.get(), &first_code);
    EXPECT_EQ(first_code, 0u);

    const auto new_editor = [&] {
        for (DWORD id : editors_of(resident)) {
            if (id != first_editor) return id;
        }
        return DWORD{0};
    };
    DWORD second_editor = 0;
    // The resident hears of the end from its watcher thread and ignores
    // requests until then, so the test asks again until an editor appears.
    ASSERT_TRUE(kt::wait_until(
        [&] {
            ::PostMessageW(main, MSG_START_CAPTURE, 0, 0);
            return kt::wait_until([&] { return (second_editor = new_editor()) != 0; }, 250);
        },
        kStartTimeoutMs))
        << "no editor after the first one ended";
    HWND second_box = visible_message_box(second_editor);
    ASSERT_NE(second_box, nullptr);
    EXPECT_EQ(editors_of(resident), std::vector<DWORD>{second_editor});
    EXPECT_EQ(arguments_of(second_editor), expected_args);
    EXPECT_TRUE(resident.running());
}

// --- self-test switch ---------------------------------------------------------------

// Self-tests run before the single-instance check: beside a running
// resident the switch still runs its test instead of the "already running"
// message, and ends with its result.
TEST_F(ResidentProcess, HotkeyDiagnosticExitsZeroBesideARunningResident) {
    use_settings(with_shortcut(MOD_CONTROL | MOD_ALT, VK_F6));
    kt::LaunchedProcess& resident = start();
    ASSERT_NE(main_window(resident), nullptr);

    kt::LaunchedProcess& diagnostic = start({L"--hotkey-diagnostic"});
    EXPECT_EQ(diagnostic.wait(kStartTimeoutMs), std::optional<DWORD>(0));
    EXPECT_TRUE(kt::top_level_windows(diagnostic.id(), kt::kDialogClass).empty());
    EXPECT_TRUE(resident.running());
}

// Run beside a resident, whose presentation mode holds its own shortcuts and
// raw input: the self-test's registrations are its own process's.
TEST_F(ResidentProcess, PresentationDiagnosticPassesAndSaysSo) {
    use_settings(with_shortcut(MOD_CONTROL | MOD_ALT, VK_F6));
    kt::LaunchedProcess& resident = start();
    ASSERT_NE(main_window(resident), nullptr);
    std::error_code ec;
    fs::remove("target/presentation-diagnostics.txt", ec);

    kt::LaunchedProcess& diagnostic = start({L"--presentation-diagnostic"});
    EXPECT_EQ(diagnostic.wait(kStartTimeoutMs), std::optional<DWORD>(0));
    EXPECT_EQ(read_file("target/presentation-diagnostics.txt"),
              std::optional<std::string>("PASS: independent raw input, native shortcut rollback, priority hook fallback "
                                         "on collision, hook and registrations released\n"));
    EXPECT_TRUE(resident.running());
}

}  // namespace
