#pragma once

#include "core/cancellation.h"

#include <QCoroTask>

#include <coroutine>
#include <functional>
#include <memory>

namespace zelk {

using QCoro::Task;

// GCC 12 destroys a braced temporary inside `co_await T{...}` twice when it has
// members with destructors: name an awaiter, then `co_await std::move(awaiter)`
// (QCoro copies an lvalue awaiter).

// A coroutine that nobody awaits: starts at once and frees itself when done.
struct Detached {
    struct promise_type {
        Detached get_return_object() noexcept { return {}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() noexcept {}
        void unhandled_exception() noexcept;
    };
};

// The handle of a spawned task: cancel it, ask whether it finished, or await its end.
class TaskHandle {
public:
    TaskHandle() = default;

    void cancel() const;
    bool isCancelled() const;
    bool isFinished() const;
    bool isValid() const { return bool(m_state); }
    CancellationToken token() const;

    // Resumes once the task has run to its end (at once when it already has).
    Task<void> finished() const;

    struct State;

private:
    friend TaskHandle spawn(std::function<Task<void>(CancellationToken)> body, CancellationToken parent);
    explicit TaskHandle(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    std::shared_ptr<State> m_state;
};

// Starts `body` at once on the calling thread. The body gets a token that is
// cancelled by the handle (or by `parent`); it should check it after every await.
// An exception escaping the body is logged, never propagated.
TaskHandle spawn(std::function<Task<void>(CancellationToken)> body, CancellationToken parent = {});

} // namespace zelk
