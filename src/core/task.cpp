#include "core/task.h"

#include "core/log.h"

#include <exception>
#include <vector>

namespace zelk {

void Detached::promise_type::unhandled_exception() noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        qCCritical(Log::app) << "后台任务异常:" << e.what();
    } catch (...) {
        qCCritical(Log::app) << "后台任务异常";
    }
}

struct TaskHandle::State {
    CancellationSource source;
    bool finished = false;
    std::vector<std::coroutine_handle<>> waiters;
};

void TaskHandle::cancel() const {
    if (m_state)
        m_state->source.cancel();
}

bool TaskHandle::isCancelled() const { return m_state && m_state->source.isCancelled(); }

bool TaskHandle::isFinished() const { return !m_state || m_state->finished; }

CancellationToken TaskHandle::token() const { return m_state ? m_state->source.token() : CancellationToken{}; }

namespace {
struct FinishedAwaiter {
    std::shared_ptr<TaskHandle::State> state;
    bool await_ready() const noexcept;
    void await_suspend(std::coroutine_handle<> h) const;
    void await_resume() const noexcept {}
};
} // namespace

bool FinishedAwaiter::await_ready() const noexcept { return !state || state->finished; }
void FinishedAwaiter::await_suspend(std::coroutine_handle<> h) const { state->waiters.push_back(h); }

Task<void> TaskHandle::finished() const {
    FinishedAwaiter awaiter{m_state};
    co_await std::move(awaiter);
}

namespace {
Detached runSpawned(std::function<Task<void>(CancellationToken)> body, std::shared_ptr<TaskHandle::State> state) {
    // Named locals instead of temporaries inside co_await: GCC 12 mishandles
    // the lifetime of some temporaries there.
    const CancellationToken token = state->source.token();
    try {
        Task<void> task = body(token);
        co_await task;
    } catch (const std::exception& e) {
        qCCritical(Log::app) << "任务异常结束:" << e.what();
    } catch (...) {
        qCCritical(Log::app) << "任务异常结束";
    }
    state->finished = true;
    auto waiters = std::move(state->waiters);
    for (auto waiter : waiters)
        waiter.resume();
}
} // namespace

TaskHandle spawn(std::function<Task<void>(CancellationToken)> body, CancellationToken parent) {
    auto state = std::make_shared<TaskHandle::State>();
    state->source = CancellationSource::linkedTo(parent);
    TaskHandle handle(state);
    runSpawned(std::move(body), std::move(state));
    return handle;
}

} // namespace zelk
