// The private window message, timer and notice kinds a capture session names
// itself. Values only, so that platform-free code can name them too; the
// process's own messages (app/messages.h) are numbered around these.
#pragma once

#include <cstdint>

namespace kadrovix {

inline constexpr unsigned kWmApp = 0x8000;  // WM_APP

// Posted by the image search's worker to the session window once its result
// waits in the channel.
inline constexpr unsigned MSG_SEARCH_RESULT = kWmApp + 4;

// One-shot repaint of an open capture session (tooltip hover and fade).
inline constexpr std::uintptr_t kSessionRefreshTimer = 21320;

// The confirmations the user sees as toasts. The numbers travel between the
// editor and the resident process (MSG_NOTICE's lparam), so they never change.
enum class NoticeKind : std::uint32_t {
    Copied = 1,
    Saved = 2,
    Searching = 3,
    SettingsSaved = 4,
};

}  // namespace kadrovix
