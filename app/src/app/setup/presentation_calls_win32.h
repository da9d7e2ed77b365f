// The settings panel's calls into presentation mode. Presentation operations
// may report failure (an error value or a message text) or, in simpler
// builds, nothing at all; these helpers give the panel one shape for both:
// nothing on success, the error's display text on failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "app/runtime/error.h"
#include "app/runtime/error_win32.h"
#include "presentation/presentation_state.h"
#include "settings/settings.h"

namespace kadrovix::presentation_calls {

template <class Outcome>
std::optional<std::string> failure_text(const Outcome& outcome) {
    if (outcome.has_value()) return std::nullopt;
    using ErrorType = std::decay_t<decltype(outcome.error())>;
    if constexpr (std::is_same_v<ErrorType, Error>) {
        return win32::error_text(outcome.error());
    } else {
        return std::string(outcome.error());
    }
}

template <class Call>
std::optional<std::string> run(Call&& call) {
    if constexpr (std::is_void_v<decltype(call())>) {
        call();
        return std::nullopt;
    } else {
        return failure_text(call());
    }
}

// The features the user has switched on.
template <class State>
std::uint32_t feature_flags(const State& state) {
    if constexpr (requires { state.features(); }) {
        return static_cast<std::uint32_t>(state.features());
    } else {
        return static_cast<std::uint32_t>(state.features);
    }
}

// Ends a shape the user is drawing, where presentation mode can draw one.
template <class State>
void end_drawing(State& state) {
    if constexpr (requires { state.end_drawing(); }) state.end_drawing();
}

template <class State>
std::optional<std::string> apply_features(State& state, std::uint32_t flags) {
    return run([&] { return state.apply_features(flags); });
}

// Turning features on tolerates shortcuts that cannot be had; where that
// variant does not exist, the strict switch stands in.
template <class State>
std::optional<std::string> activate_with_priority(State& state, std::uint32_t flags) {
    if constexpr (requires { state.activate_with_priority(flags); }) {
        return run([&] { return state.activate_with_priority(flags); });
    } else {
        return run([&] { return state.apply_features(flags); });
    }
}

template <class State>
void turn_everything_off(State& state) {
    (void)run([&] { return state.turn_everything_off(); });
}

template <class State>
std::optional<std::string> apply_settings(State& state, const Settings& settings) {
    return run([&] { return state.apply_settings(settings); });
}

}  // namespace kadrovix::presentation_calls
