#include "app/app_state_win32.h"

#include "session/capture_session_win32.h"
#include "session/io/search_channel.h"

namespace kadrovix {

AppState::AppState() = default;
AppState::~AppState() = default;

}  // namespace kadrovix
