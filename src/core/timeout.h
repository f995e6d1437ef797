#pragma once

#include "core/cancellation.h"
#include "core/clock.h"
#include "core/task.h"

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace zelk {

class TimeoutError : public std::runtime_error {
public:
    TimeoutError() : std::runtime_error("operation timed out") {}
};

namespace detail {

template <typename T>
struct RaceState {
    using Value = std::conditional_t<std::is_void_v<T>, bool, T>;
    bool settled = false;
    std::optional<Value> value;
    std::exception_ptr error;
    std::coroutine_handle<> waiter;
    CancellationSource operation;
    CancellationSource timer;

    void settle() {
        settled = true;
        if (auto h = std::exchange(waiter, nullptr))
            h.resume();
    }
};

struct RaceAwaiter {
    bool* settled;
    std::coroutine_handle<>* waiter;
    bool await_ready() const noexcept { return *settled; }
    void await_suspend(std::coroutine_handle<> h) noexcept { *waiter = h; }
    void await_resume() const noexcept {}
};

template <typename T>
Detached runOperation(std::function<Task<T>(CancellationToken)> op, std::shared_ptr<RaceState<T>> state) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await op(state->operation.token());
            if (!state->settled)
                state->value.emplace(true);
        } else {
            auto result = co_await op(state->operation.token());
            if (!state->settled)
                state->value.emplace(std::move(result));
        }
    } catch (...) {
        if (!state->settled)
            state->error = std::current_exception();
    }
    if (!state->settled) {
        state->timer.cancel();
        state->settle();
    }
}

template <typename T>
Detached runTimer(Clock& clock, Duration limit, std::shared_ptr<RaceState<T>> state) {
    const bool expired = co_await clock.sleep(limit, state->timer.token());
    if (expired && !state->settled) {
        state->error = std::make_exception_ptr(TimeoutError());
        state->operation.cancel();
        state->settle();
    }
}

} // namespace detail

// Runs `op` against a deadline on `clock`: whichever finishes first wins and the
// other is cancelled. Throws TimeoutError when the deadline wins; an exception of
// `op` reaches the caller. Cancelling `token` cancels the operation.
template <typename T>
Task<T> withTimeout(Clock& clock, Duration limit, std::function<Task<T>(CancellationToken)> op,
                    CancellationToken token = {}) {
    auto state = std::make_shared<detail::RaceState<T>>();
    state->operation = CancellationSource::linkedTo(token);
    detail::runTimer<T>(clock, limit, state);
    detail::runOperation<T>(std::move(op), state);
    detail::RaceAwaiter settled{&state->settled, &state->waiter};
    co_await settled;
    if (state->error)
        std::rethrow_exception(state->error);
    if constexpr (!std::is_void_v<T>)
        co_return std::move(*state->value);
}

} // namespace zelk
