#include "app/app_state_win32.h"

#include "app/notice/toast_win32.h"
#include "session/capture_session_win32.h"

namespace kadrovix {

AppState::AppState() = default;
AppState::~AppState() = default;

void AppState::notify_user(NoticeKind kind) {
    notify(*this, kind);
}

}  // namespace kadrovix
