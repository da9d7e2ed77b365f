#include "app/command_line.h"

#include <algorithm>
#include <limits>

namespace kadrovix {
namespace {

bool has(std::span<const std::wstring> args, std::wstring_view sw) {
    return std::any_of(args.begin(), args.end(), [&](const std::wstring& a) { return a == sw; });
}

std::optional<std::uint64_t> parse_u64(std::wstring_view text) {
    if (!text.empty() && text.front() == L'+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - L'0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

std::optional<std::uint64_t> parse_notification_owner(std::span<const std::wstring> args) {
    constexpr std::wstring_view prefix = L"--notification-owner=";
    for (const auto& arg : args) {
        if (arg.size() < prefix.size() || std::wstring_view(arg).substr(0, prefix.size()) != prefix) continue;
        const auto value = parse_u64(std::wstring_view(arg).substr(prefix.size()));
        if (value && *value != 0) return value;
    }
    return std::nullopt;
}

CommandLine parse_command_line(std::span<const std::wstring> args) {
    CommandLine cl;
    const bool diagnostic = has(args, L"--diagnostic");
    const bool editor = has(args, L"--editor");
    cl.role = diagnostic ? Role::Diagnostics : editor ? Role::Editor : Role::Resident;
    cl.capture = has(args, L"--capture");

    constexpr std::pair<std::wstring_view, SelfTest> order[] = {
        {L"--google-diagnostic", SelfTest::GoogleDiagnostic},
        {L"--render-demo", SelfTest::RenderDemo},
        {L"--presentation-diagnostic", SelfTest::PresentationDiagnostic},
        {L"--editor-diagnostic", SelfTest::EditorDiagnostic},
        {L"--hotkey-diagnostic", SelfTest::HotkeyDiagnostic},
    };
    for (const auto& [sw, test] : order) {
        if (has(args, sw)) {
            cl.self_test = test;
            break;
        }
    }
    cl.errors_to_stderr = diagnostic || has(args, L"--render-demo") || has(args, L"--editor-diagnostic") ||
                          has(args, L"--google-diagnostic") || has(args, L"--presentation-diagnostic");
    if (cl.role == Role::Editor) cl.notification_owner = parse_notification_owner(args);
    return cl;
}

std::wstring_view role_mutex_name(Role role) {
    switch (role) {
        case Role::Editor: return L"Local\\Kadrovix.Editor";
        case Role::Diagnostics: return L"Local\\Kadrovix.Diagnostics";
        case Role::Resident: break;
    }
    return L"Local\\Kadrovix.Resident";
}

}  // namespace kadrovix
