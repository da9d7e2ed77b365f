#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/messages.h"

using namespace kadrovix;

namespace {
CommandLine parse(std::vector<std::wstring> args) { return parse_command_line(args); }
std::optional<std::uint64_t> owner(std::vector<std::wstring> args) { return parse_notification_owner(args); }
}  // namespace

TEST(CommandLine, RoleFollowsEditorAndDiagnosticSwitches) {
    EXPECT_EQ(parse({}).role, Role::Resident);
    EXPECT_EQ(parse({L"--capture"}).role, Role::Resident);
    EXPECT_TRUE(parse({L"--capture"}).capture);
    EXPECT_EQ(parse({L"--editor"}).role, Role::Editor);
    // Diagnostics wins over the editor, whatever the order.
    EXPECT_EQ(parse({L"--editor", L"--diagnostic"}).role, Role::Diagnostics);
    EXPECT_EQ(parse({L"--diagnostic", L"--editor"}).role, Role::Diagnostics);
    EXPECT_EQ(role_mutex_name(parse({L"--editor", L"--diagnostic"}).role), L"Local\\Kadrovix.Diagnostics");
    EXPECT_EQ(role_mutex_name(Role::Editor), L"Local\\Kadrovix.Editor");
    EXPECT_EQ(role_mutex_name(Role::Resident), L"Local\\Kadrovix.Resident");
}

TEST(CommandLine, SwitchesAreWholeCaseSensitiveArguments) {
    EXPECT_EQ(parse({L"--Editor"}).role, Role::Resident);
    EXPECT_EQ(parse({L"--editor "}).role, Role::Resident);
    EXPECT_EQ(parse({L"x--editor"}).role, Role::Resident);
    EXPECT_FALSE(parse({L"--capture=1"}).capture);
}

TEST(CommandLine, FirstSelfTestInPrecedenceOrderWins) {
    EXPECT_EQ(parse({L"--hotkey-diagnostic", L"--render-demo"}).self_test, SelfTest::RenderDemo);
    EXPECT_EQ(parse({L"--editor-diagnostic", L"--google-diagnostic"}).self_test, SelfTest::GoogleDiagnostic);
    EXPECT_EQ(parse({L"--editor-diagnostic", L"--presentation-diagnostic"}).self_test,
              SelfTest::PresentationDiagnostic);
    EXPECT_EQ(parse({L"--hotkey-diagnostic"}).self_test, SelfTest::HotkeyDiagnostic);
    EXPECT_EQ(parse({L"--diagnostic"}).self_test, SelfTest::None);
}

TEST(CommandLine, FatalErrorsGoToStandardErrorOnlyForDiagnosticRuns) {
    EXPECT_TRUE(parse({L"--diagnostic"}).errors_to_stderr);
    EXPECT_TRUE(parse({L"--render-demo"}).errors_to_stderr);
    EXPECT_TRUE(parse({L"--editor-diagnostic"}).errors_to_stderr);
    EXPECT_TRUE(parse({L"--google-diagnostic"}).errors_to_stderr);
    EXPECT_TRUE(parse({L"--presentation-diagnostic"}).errors_to_stderr);
    EXPECT_FALSE(parse({L"--hotkey-diagnostic"}).errors_to_stderr);
    EXPECT_FALSE(parse({L"--editor"}).errors_to_stderr);
    EXPECT_FALSE(parse({}).errors_to_stderr);
}

TEST(CommandLine, NotificationOwnerSkipsInvalidValuesAndTakesTheFirstValidOne) {
    EXPECT_EQ(owner({L"--notification-owner=77"}), 77u);
    EXPECT_EQ(owner({L"--notification-owner=+77"}), 77u);
    EXPECT_EQ(owner({L"--notification-owner=0", L"--notification-owner=+", L"--notification-owner=-5",
                     L"--notification-owner=12a", L"--notification-owner=18446744073709551616",
                     L"--notification-owner=77"}),
              77u);
    EXPECT_EQ(owner({L"--notification-owner=18446744073709551615"}), 18446744073709551615ull);
    EXPECT_EQ(owner({L"--notification-owner="}), std::nullopt);
    EXPECT_EQ(owner({L"--notification-owner=0"}), std::nullopt);
    EXPECT_EQ(owner({L"--notification-owner= 5"}), std::nullopt);
    EXPECT_EQ(owner({L"--Notification-owner=5"}), std::nullopt);
    EXPECT_EQ(owner({L"--notification-owner=1", L"--notification-owner=2"}), 1u);
    // Only the editor takes an owner.
    EXPECT_EQ(parse({L"--notification-owner=9"}).notification_owner, std::nullopt);
    EXPECT_EQ(parse({L"--editor", L"--notification-owner=9"}).notification_owner, 9u);
}

TEST(Notices, KindsOneToFourHaveTextsOthersNone) {
    EXPECT_EQ(notice_text(1), "Screenshot copied to clipboard.");
    EXPECT_EQ(notice_text(2), "Image saved.");
    EXPECT_EQ(notice_text(3), "Searching Google\u2026");
    EXPECT_EQ(notice_text(4), "Settings saved.");
    EXPECT_TRUE(notice_text(0).empty());
    EXPECT_TRUE(notice_text(5).empty());
}
