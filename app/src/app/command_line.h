// What the command line selects: the role, the one-shot self-test and the
// editor's notification owner. Switches are whole arguments, matched exactly
// and case-sensitively at any position; anything else is ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kadrovix {

enum class Role { Resident, Editor, Diagnostics };

enum class SelfTest { None, GoogleDiagnostic, RenderDemo, PresentationDiagnostic, EditorDiagnostic, HotkeyDiagnostic };

struct CommandLine {
    Role role = Role::Resident;
    // The first self-test switch present, in the fixed order of precedence.
    SelfTest self_test = SelfTest::None;
    bool capture = false;  // resident: capture right after start
    // Fatal errors go to standard error instead of a message box.
    bool errors_to_stderr = false;
    std::optional<std::uint64_t> notification_owner;
};

CommandLine parse_command_line(std::span<const std::wstring> args);

// The first "--notification-owner=N" whose N is an unsigned 64-bit decimal
// (optional leading '+', digits only, no overflow) other than zero.
std::optional<std::uint64_t> parse_notification_owner(std::span<const std::wstring> args);

// The named-mutex name of a role.
std::wstring_view role_mutex_name(Role role);

}  // namespace kadrovix
