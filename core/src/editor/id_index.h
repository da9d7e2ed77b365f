// Id -> position lookup for the editor's object lists. Every document change
// matches objects by id; a flat open-addressing table keeps that linear in the
// size of the document with a single allocation, where a node-based map would
// allocate per object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "editor/annotation.h"

namespace kadrovix::editor_detail {

class IdIndex {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    IdIndex() = default;

    // Indexes `objects` by id; with duplicate ids the first one wins.
    explicit IdIndex(std::span<const Annotation> objects) {
        reserve(objects.size());
        for (std::size_t i = 0; i < objects.size(); ++i) {
            insert(objects[i].id, i);
        }
    }

    void reserve(std::size_t count) {
        std::size_t capacity = 16;
        while (capacity < count * 2) {
            capacity *= 2;
        }
        slots_.assign(capacity, Slot{});
        mask_ = capacity - 1;
        size_ = 0;
    }

    // Keeps the first position stored for an id; returns whether `id` was new.
    bool insert(std::uint64_t id, std::size_t position) {
        if (slots_.empty() || (size_ + 1) * 2 > slots_.size()) {
            grow();
        }
        for (std::size_t i = slot_of(id);; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.position_plus_one == 0) {
                slot.id = id;
                slot.position_plus_one = position + 1;
                ++size_;
                return true;
            }
            if (slot.id == id) {
                return false;
            }
        }
    }

    std::size_t find(std::uint64_t id) const {
        if (slots_.empty()) {
            return kNone;
        }
        for (std::size_t i = slot_of(id);; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.position_plus_one == 0) {
                return kNone;
            }
            if (slot.id == id) {
                return slot.position_plus_one - 1;
            }
        }
    }

    bool contains(std::uint64_t id) const { return find(id) != kNone; }
    std::size_t size() const { return size_; }

private:
    struct Slot {
        std::uint64_t id = 0;
        std::size_t position_plus_one = 0;  // 0 marks an empty slot
    };

    std::size_t slot_of(std::uint64_t id) const {
        // Fibonacci hashing spreads consecutive ids, the common case, evenly.
        std::uint64_t h = id * 0x9E3779B97F4A7C15ULL;
        h ^= h >> 29;
        return static_cast<std::size_t>(h) & mask_;
    }

    void grow() {
        std::vector<Slot> old = std::move(slots_);
        reserve(old.empty() ? 8 : old.size());
        for (const Slot& slot : old) {
            if (slot.position_plus_one != 0) {
                insert(slot.id, slot.position_plus_one - 1);
            }
        }
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};

}  // namespace kadrovix::editor_detail
