#include "render/screen_geometry.h"

namespace kadrovix {

Result<void> check_same_display(const Desktop& earlier, const Desktop& now) {
    if (earlier != now) return general_failure(kDisplayChangedMessage);
    return {};
}

}  // namespace kadrovix
