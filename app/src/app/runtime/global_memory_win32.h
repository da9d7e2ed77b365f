// Movable global memory, the currency of the clipboard: owned until the
// clipboard takes it, and locked only for the scope of a LockedGlobal.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "app/runtime/handles_win32.h"

namespace kadrovix::win32 {

struct GlobalMemoryTraits {
    using handle_type = HGLOBAL;
    static HGLOBAL invalid() { return nullptr; }
    static bool valid(HGLOBAL h) { return h != nullptr; }
    static void close(HGLOBAL h) { ::GlobalFree(h); }
};
using UniqueGlobalMemory = BasicHandle<GlobalMemoryTraits>;

// GlobalLock for one scope. Check bytes().data() before use: a failed lock
// gives an empty span.
class LockedGlobal {
public:
    LockedGlobal(HGLOBAL memory, std::size_t size)
        : memory_(memory), data_(memory ? static_cast<std::uint8_t*>(::GlobalLock(memory)) : nullptr), size_(size) {}
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    ~LockedGlobal() {
        if (data_ != nullptr) ::GlobalUnlock(memory_);
    }
    std::span<std::uint8_t> bytes() const {
        return data_ != nullptr ? std::span<std::uint8_t>(data_, size_) : std::span<std::uint8_t>();
    }
    explicit operator bool() const { return data_ != nullptr; }

private:
    HGLOBAL memory_;
    std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace kadrovix::win32
