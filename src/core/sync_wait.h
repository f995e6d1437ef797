#pragma once

#include "core/task.h"

#include <QEventLoop>

#include <exception>
#include <optional>
#include <type_traits>

namespace zelk {

// Runs the calling thread's event loop until `task` finishes and answers its
// result (or rethrows its exception). For command-line entry points and tests;
// never call it from inside a coroutine.
template <typename T>
T syncWait(Task<T> task) {
    QEventLoop loop;
    bool done = false;
    std::exception_ptr error;
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    auto waiter = [&]() -> Detached {
        try {
            if constexpr (std::is_void_v<T>)
                co_await task;
            else
                value.emplace(co_await task);
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        loop.quit();
    };
    waiter();
    if (!done)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*value);
}

} // namespace zelk
