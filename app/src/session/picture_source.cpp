#include "session/picture_source.h"

namespace kadrovix {

bool output_grabs_desktop(const SessionState& s) {
    return s.live && s.region.exists;
}

EyedropperPicture eyedropper_picture(const SessionState& s, bool excluded_from_capture) {
    if (!s.live || !s.eyedropper_on) return EyedropperPicture::Held;
    return excluded_from_capture ? EyedropperPicture::GrabNow : EyedropperPicture::GrabAtRelease;
}

}  // namespace kadrovix
