#pragma once

#include "core/thread_poster.h"

#include <coroutine>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace zelk {

// An unbounded stream from producers on any thread to one awaiting consumer.
// `yield` never blocks (beyond a short lock); `next()` answers the elements in
// order and std::nullopt once the stream is finished and drained. Copies share
// the same stream.
template <typename T>
class AsyncStream {
    struct State {
        std::mutex mutex;
        std::deque<T> items;
        bool finished = false;
        std::coroutine_handle<> consumer;
        ThreadPoster poster;
    };

public:
    AsyncStream() : m_state(std::make_shared<State>()) {}

    // Answers false when the stream is already finished (the element is dropped).
    bool yield(T value) const {
        std::coroutine_handle<> consumer;
        ThreadPoster poster;
        {
            std::lock_guard lock(m_state->mutex);
            if (m_state->finished)
                return false;
            m_state->items.push_back(std::move(value));
            std::swap(consumer, m_state->consumer);
            poster = m_state->poster;
        }
        if (consumer)
            poster.post([consumer] { consumer.resume(); });
        return true;
    }

    void finish() const {
        std::coroutine_handle<> consumer;
        ThreadPoster poster;
        {
            std::lock_guard lock(m_state->mutex);
            if (m_state->finished)
                return;
            m_state->finished = true;
            std::swap(consumer, m_state->consumer);
            poster = m_state->poster;
        }
        if (consumer)
            poster.post([consumer] { consumer.resume(); });
    }

    bool isFinished() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->finished;
    }

    class NextAwaiter {
    public:
        explicit NextAwaiter(std::shared_ptr<State> state) : m_state(std::move(state)) {}
        bool await_ready() const {
            std::lock_guard lock(m_state->mutex);
            return !m_state->items.empty() || m_state->finished;
        }
        bool await_suspend(std::coroutine_handle<> h) {
            std::lock_guard lock(m_state->mutex);
            if (!m_state->items.empty() || m_state->finished)
                return false;
            m_state->consumer = h;
            m_state->poster = ThreadPoster::current();
            return true;
        }
        std::optional<T> await_resume() {
            std::lock_guard lock(m_state->mutex);
            if (m_state->items.empty())
                return std::nullopt;
            std::optional<T> value(std::move(m_state->items.front()));
            m_state->items.pop_front();
            return value;
        }

    private:
        std::shared_ptr<State> m_state;
    };

    // Only one consumer may await at a time.
    NextAwaiter next() const { return NextAwaiter(m_state); }

private:
    std::shared_ptr<State> m_state;
};

} // namespace zelk
