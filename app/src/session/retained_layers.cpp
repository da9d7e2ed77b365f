#include "session/retained_layers.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kadrovix {

std::size_t unchanged_prefix(std::span<const Annotation> before, std::span<const Annotation> now) {
    return static_cast<std::size_t>(std::mismatch(now.begin(), now.end(), before.begin(), before.end()).first -
                                    now.begin());
}

std::size_t self_contained_prefix(std::span<const Annotation> objects, std::size_t count) {
    count = std::min(count, objects.size());
    std::unordered_map<std::uint64_t, std::size_t> index;
    index.reserve(objects.size());
    for (std::size_t i = 0; i < objects.size(); ++i) index.emplace(objects[i].id, i);
    // needs[c]: one past the highest index the first c objects depend on.
    std::vector<std::size_t> needs(count + 1, 0);
    for (std::size_t j = 0; j < count; ++j) {
        std::size_t need = j + 1;
        if (const auto* arrow = objects[j].as<shape::Arrow>()) {
            for (const auto& attachment : {arrow->start_attachment, arrow->end_attachment}) {
                if (!attachment) continue;
                const auto found = index.find(attachment->target);
                need = std::max(need, found == index.end() ? objects.size() + 1 : found->second + 1);
            }
        }
        needs[j + 1] = std::max(needs[j], need);
    }
    while (count > 0 && needs[count] > count) --count;
    return count;
}

}  // namespace kadrovix
