// RAII owners for kernel and registry handles: every handle the program opens
// is closed on every path, failure paths included.
#pragma once

#include <windows.h>

#include <utility>

namespace kadrovix::win32 {

template <class Traits>
class BasicHandle {
public:
    using handle_type = typename Traits::handle_type;

    BasicHandle() = default;
    explicit BasicHandle(handle_type h) : h_(h) {}
    BasicHandle(const BasicHandle&) = delete;
    BasicHandle& operator=(const BasicHandle&) = delete;
    BasicHandle(BasicHandle&& other) noexcept : h_(std::exchange(other.h_, Traits::invalid())) {}
    BasicHandle& operator=(BasicHandle&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.h_, Traits::invalid()));
        }
        return *this;
    }
    ~BasicHandle() { reset(); }

    handle_type get() const { return h_; }
    explicit operator bool() const { return Traits::valid(h_); }
    handle_type release() { return std::exchange(h_, Traits::invalid()); }
    void reset(handle_type h = Traits::invalid()) {
        if (Traits::valid(h_)) Traits::close(h_);
        h_ = h;
    }

private:
    handle_type h_ = Traits::invalid();
};

// Most kernel objects: closed with CloseHandle, invalid as null.
struct KernelHandleTraits {
    using handle_type = HANDLE;
    static HANDLE invalid() { return nullptr; }
    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
using UniqueHandle = BasicHandle<KernelHandleTraits>;

struct RegistryKeyTraits {
    using handle_type = HKEY;
    static HKEY invalid() { return nullptr; }
    static bool valid(HKEY h) { return h != nullptr; }
    static void close(HKEY h) { ::RegCloseKey(h); }
};
using UniqueRegistryKey = BasicHandle<RegistryKeyTraits>;

}  // namespace kadrovix::win32
