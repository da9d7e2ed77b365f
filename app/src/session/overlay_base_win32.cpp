#include "session/overlay_base_win32.h"

#include "session/retained_layers.h"

#include <algorithm>

namespace kadrovix::win32 {

namespace {

bool starts_with(std::span<const Annotation> objects, std::span<const Annotation> prefix) {
    return prefix.size() <= objects.size() && std::equal(prefix.begin(), prefix.end(), objects.begin());
}

}  // namespace

void OverlayBase::reset() {
    layer_.Reset();
    bitmap_.Reset();
    objects_.clear();
}

std::optional<std::size_t> OverlayBase::covers(const BaseKey& key, std::span<const Annotation> objects) const {
    if (!bitmap_ || !(key == key_) || !starts_with(objects, objects_)) return std::nullopt;
    return objects_.size();
}

std::optional<std::size_t> OverlayBase::plan_rebuild(const BaseKey& key, std::span<const Annotation> objects,
                                                     std::span<const Annotation> const* before_gesture) {
    if (before_gesture != nullptr) {
        // The objects the gesture has not touched stay as they are for as long
        // as it lasts: the base takes them at once.
        return self_contained_prefix(objects, unchanged_prefix(*before_gesture, objects));
    }
    const std::size_t count = self_contained_prefix(objects, objects.size());
    const std::span<const Annotation> wanted = objects.first(count);
    if (pending_key_ && *pending_key_ == key && pending_objects_.size() == count &&
        starts_with(wanted, pending_objects_)) {
        pending_key_.reset();
        pending_objects_.clear();
        return count;
    }
    pending_key_ = key;
    pending_objects_.assign(wanted.begin(), wanted.end());
    return std::nullopt;
}

}  // namespace kadrovix::win32
