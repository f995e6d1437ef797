#pragma once

#include "core/thread_poster.h"

#include <QString>

#include <condition_variable>
#include <coroutine>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace zelk {

namespace detail {

// The result of one job, handed from the actor thread to the awaiting thread.
template <typename R>
struct JobState {
    std::mutex mutex;
    bool done = false;
    std::conditional_t<std::is_void_v<R>, bool, std::optional<R>> value{};
    std::exception_ptr error;
    std::coroutine_handle<> continuation;
    ThreadPoster poster;
};

} // namespace detail

// Awaits the result of a job queued on an Actor; resumes on the awaiting thread.
template <typename R>
class ActorResult {
public:
    explicit ActorResult(std::shared_ptr<detail::JobState<R>> state) : m_state(std::move(state)) {}

    bool await_ready() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->done;
    }
    bool await_suspend(std::coroutine_handle<> h) {
        std::lock_guard lock(m_state->mutex);
        if (m_state->done)
            return false;
        m_state->continuation = h;
        m_state->poster = ThreadPoster::current();
        return true;
    }
    R await_resume() {
        if (m_state->error)
            std::rethrow_exception(m_state->error);
        if constexpr (!std::is_void_v<R>)
            return std::move(*m_state->value);
    }

private:
    std::shared_ptr<detail::JobState<R>> m_state;
};

// A serial executor on a thread of its own: jobs run one at a time in the order
// they were queued. An exception thrown by a job reaches whoever awaits it.
class Actor {
public:
    explicit Actor(QString name);
    // Runs the jobs already queued, then stops the thread.
    ~Actor();
    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;

    // Queues `fn` at once; the returned object may be awaited (or dropped).
    template <typename F>
    auto run(F fn) -> ActorResult<std::invoke_result_t<F&>> {
        using R = std::invoke_result_t<F&>;
        auto state = std::make_shared<detail::JobState<R>>();
        enqueue([state, fn = std::move(fn)]() mutable {
            try {
                if constexpr (std::is_void_v<R>) {
                    fn();
                    state->value = true;
                } else {
                    state->value.emplace(fn());
                }
            } catch (...) {
                state->error = std::current_exception();
            }
            std::coroutine_handle<> continuation;
            ThreadPoster poster;
            {
                std::lock_guard lock(state->mutex);
                state->done = true;
                continuation = state->continuation;
                poster = state->poster;
            }
            if (continuation)
                poster.post([continuation] { continuation.resume(); });
        });
        return ActorResult<R>(state);
    }

    bool isActorThread() const { return std::this_thread::get_id() == m_thread.get_id(); }
    const QString& name() const { return m_name; }

private:
    void enqueue(std::function<void()> job);
    void loop();

    QString m_name;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace zelk
