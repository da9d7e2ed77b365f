#include "render/screen_geometry.h"

namespace kadrovix {

Result<void> check_same_display(const ScreenGeometry& earlier, const ScreenGeometry& now) {
    if (earlier != now) return general_failure(kDisplayChangedMessage);
    return {};
}

}  // namespace kadrovix
