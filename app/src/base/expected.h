// A value or an error, for operations that report failure as a value rather
// than by throwing. A small stand-in for C++23 std::expected with the parts
// this program uses; the error type defaults to a user-facing message text.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace kadrovix {

template <class E>
struct Unexpected {
    E error;
};

template <class E>
Unexpected(E) -> Unexpected<E>;

template <class T, class E = std::string>
class [[nodiscard]] Expected {
public:
    using value_type = T;
    using error_type = E;

    Expected(const T& value) : storage_(std::in_place_index<0>, value) {}
    Expected(T&& value) : storage_(std::in_place_index<0>, std::move(value)) {}

    template <class G>
    requires std::is_constructible_v<E, G> Expected(Unexpected<G> failure)
        : storage_(std::in_place_index<1>, std::move(failure.error)) {}

    bool has_value() const noexcept { return storage_.index() == 0; }
    explicit operator bool() const noexcept { return has_value(); }

    // Calling value() on an error, or error() on a value, is a programming
    // fault; std::get reports it rather than reading the wrong member.
    T& value() & { return std::get<0>(storage_); }
    const T& value() const& { return std::get<0>(storage_); }
    T&& value() && { return std::get<0>(std::move(storage_)); }

    E& error() & { return std::get<1>(storage_); }
    const E& error() const& { return std::get<1>(storage_); }
    E&& error() && { return std::get<1>(std::move(storage_)); }

    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    // addressof: some value types (COM smart pointers) overload unary &.
    T* operator->() { return std::addressof(value()); }
    const T* operator->() const { return std::addressof(value()); }

    template <class U>
    T value_or(U&& fallback) const& {
        return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

private:
    std::variant<T, E> storage_;
};

// Success without a value, or an error.
template <class E>
class [[nodiscard]] Expected<void, E> {
public:
    using value_type = void;
    using error_type = E;

    Expected() = default;

    template <class G>
    requires std::is_constructible_v<E, G> Expected(Unexpected<G> failure)
        : error_(std::in_place, std::move(failure.error)) {}

    bool has_value() const noexcept { return !error_.has_value(); }
    explicit operator bool() const noexcept { return has_value(); }

    E& error() & { return error_.value(); }
    const E& error() const& { return error_.value(); }
    E&& error() && { return std::move(error_).value(); }

private:
    std::optional<E> error_;
};

// Hands a failed result's error on to the caller, whatever the caller's value
// type: `if (!made) return propagate(made);`. A mutable result is left
// moved-from; a const one gives a copy.
template <class T, class E>
Unexpected<E> propagate(Expected<T, E>& failed) {
    return Unexpected<E>{std::move(failed).error()};
}
template <class T, class E>
Unexpected<E> propagate(const Expected<T, E>& failed) {
    return Unexpected<E>{failed.error()};
}

}  // namespace kadrovix

// Returns the error of `expr` (an Expected whose value is not needed) from the
// enclosing function when it failed.
#define RETURN_IF_ERROR(expr)                                    \
    do {                                                         \
        if (auto kadrovix_result_ = (expr); !kadrovix_result_) { \
            return ::kadrovix::propagate(kadrovix_result_);      \
        }                                                        \
    } while (false)
