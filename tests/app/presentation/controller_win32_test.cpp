// Presentation mode's registrations as another process sees them: a refused
// strict switch keeps what was held before and nothing it made, and a failure
// inside a handler stops everything, says so in a message box and leaves every
// shortcut free for other programs.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "base/error_win32.h"
#include "presentation/controller_win32.h"
#include "support/hotkey_support_win32.h"
#include "support/process_win32.h"
#include "support/window_probe_win32.h"

using namespace kadrovix;
using namespace kadrovix::testing;

namespace {

UINT registered_device_count() {
    UINT count = 0;
    ::GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE));
    return count;
}

std::unique_ptr<PresentationController> controller_for(HWND window) {
    auto made = PresentationController::create(window, default_settings());
    EXPECT_TRUE(made.has_value());
    return made ? std::move(*made) : nullptr;
}

TEST(PresentationController, ARefusedShortcutKeepsWhatWasHeldAndNothingNew) {
    HotkeyWindow window;
    auto presentation = controller_for(window.get());
    ASSERT_NE(presentation, nullptr);
    ASSERT_TRUE(presentation->apply_features(kFeaturePointerHalo).has_value());
    EXPECT_EQ(registered_device_count(), 1u);

    OtherProcessHotkey other(MOD_ALT, 'R');
    ASSERT_TRUE(other.wait_held());
    auto refused = presentation->apply_features(kFeaturePointerHalo | kFeatureTemporaryShapes);
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(win32::error_text(refused.error()),
              "Shortcut Rectangle (modifiers 1, key 82) is already in use. No additional feature was enabled.");
    EXPECT_EQ(presentation->state().applied, kFeaturePointerHalo);
    // The arrow shortcut this call had made is free again; what the halo
    // needed is still held.
    EXPECT_EQ(try_from_other_process(MOD_ALT, 'F'), kTryRegistered);
    EXPECT_EQ(try_from_other_process(MOD_CONTROL | MOD_ALT, VK_ESCAPE), kTryAlreadyRegistered);
    EXPECT_EQ(registered_device_count(), 1u);
    EXPECT_NE(presentation->halo_window(), nullptr);

    // Turning features on instead lets the hook serve the held combination.
    auto activated = presentation->activate_with_priority(kFeaturePointerHalo | kFeatureTemporaryShapes);
    ASSERT_TRUE(activated.has_value());
    EXPECT_EQ(*activated, "");
    EXPECT_TRUE(presentation->state().hook_priority[1]);
    EXPECT_TRUE(presentation->hook_running());
    EXPECT_EQ(try_from_other_process(MOD_ALT, 'F'), kTryAlreadyRegistered);
}

TEST(PresentationController, ATruncatedRawRecordStopsEverythingWithTheMessageBox) {
    HotkeyWindow window;
    auto presentation = controller_for(window.get());
    ASSERT_NE(presentation, nullptr);
    presentation->set_raw_input_reader([](HRAWINPUT, void* buffer, UINT size) -> UINT {
        std::memset(buffer, 0, size);
        return 20;
    });
    presentation->state().features = kAllFeatures;
    auto activated = presentation->activate_with_priority(kAllFeatures);
    ASSERT_TRUE(activated.has_value()) << win32::error_text(activated.error());
    EXPECT_EQ(*activated, "");
    ASSERT_NE(presentation->input_display_window(), nullptr);
    ASSERT_TRUE(presentation->hook_running());
    EXPECT_EQ(registered_device_count(), 2u);

    // The box is modal on this thread: another one reads and answers it.
    std::atomic<bool> stop{false};
    std::wstring box_text;
    std::thread answer([&] {
        // A box can show before its text is in: it counts once the text is.
        HWND box = nullptr;
        wait_until([&] {
            for (HWND w : top_level_windows(::GetCurrentProcessId(), kDialogClass)) {
                if (!::IsWindowVisible(w)) continue;
                box_text = dialog_static_text(w);
                if (!box_text.empty()) box = w;
            }
            return box != nullptr || stop.load();
        }, 20000);
        if (box != nullptr) {
            dismiss_message_box(box);
            return;
        }
        // A box without text still has to go, or the modal loop never ends.
        for (HWND w : top_level_windows(::GetCurrentProcessId(), kDialogClass)) dismiss_message_box(w);
    });
    const auto result = presentation->handle_message(WM_INPUT, RIM_INPUT, 0);
    stop = true;
    answer.join();

    EXPECT_FALSE(result.has_value()) << "WM_INPUT must end in default handling";
    EXPECT_EQ(box_text, L"Presentation stopped after an error. You can enable it again from the Kadrovix menu.");
    EXPECT_EQ(presentation->state().features, 0u);
    EXPECT_EQ(presentation->halo_window(), nullptr);
    EXPECT_EQ(presentation->input_display_window(), nullptr);
    EXPECT_EQ(presentation->lock_handle_window(), nullptr);
    EXPECT_FALSE(presentation->hook_running());
    EXPECT_EQ(registered_device_count(), 0u);
    EXPECT_EQ(try_from_other_process(MOD_CONTROL | MOD_ALT, VK_ESCAPE), kTryRegistered);
    EXPECT_EQ(try_from_other_process(MOD_ALT, 'F'), kTryRegistered);
    EXPECT_EQ(try_from_other_process(MOD_ALT, 'R'), kTryRegistered);
    EXPECT_EQ(try_from_other_process(MOD_ALT, 'C'), kTryRegistered);
}

}  // namespace
