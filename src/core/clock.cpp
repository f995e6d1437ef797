#include "core/clock.h"

#include "core/thread_poster.h"

#include <QTimer>

#include <atomic>
#include <map>
#include <mutex>

namespace zelk {

namespace {
Clock* g_shared = nullptr;

// Shared between a sleeping coroutine and whoever wakes it; the first waker wins.
struct SleepState {
    std::coroutine_handle<> handle;
    ThreadPoster poster;
    std::atomic<bool> woken{false};
    bool completed = false;
    QObject* timer = nullptr; // real clock only; touched on the sleeper's thread

    void dropTimer() {
        if (timer)
            timer->deleteLater();
        timer = nullptr;
    }

    // Resumes the sleeper on its own thread; a second call does nothing.
    bool claim() { return !woken.exchange(true); }
};

// What the real and the virtual sleep share: the early exits and the answer.
struct SleepAwaiterBase {
    SleepAwaiterBase(Duration d, CancellationToken t) : duration(d), token(std::move(t)) {}
    Duration duration;
    CancellationToken token;
    std::shared_ptr<SleepState> state = std::make_shared<SleepState>();
    CancellationToken::Registration registration;

    bool await_ready() const noexcept { return duration <= Duration::zero() || token.isCancelled(); }

    // Answers true when the full time passed.
    bool await_resume() const noexcept { return duration <= Duration::zero() ? !token.isCancelled() : state->completed; }

    // Called on the sleeper's thread before it suspends.
    void prepare(std::coroutine_handle<> h) {
        state->handle = h;
        state->poster = ThreadPoster::current();
    }
};
} // namespace

Clock& Clock::shared() {
    if (g_shared)
        return *g_shared;
    static RealClock real;
    return real;
}

void Clock::setShared(Clock* clock) { g_shared = clock; }

// --- real clock ---

Duration RealClock::now() const { return std::chrono::steady_clock::now().time_since_epoch(); }

QDateTime RealClock::wallNow() const { return QDateTime::currentDateTimeUtc(); }

namespace {
struct RealSleepAwaiter : SleepAwaiterBase {
    using SleepAwaiterBase::SleepAwaiterBase;

    void await_suspend(std::coroutine_handle<> h) {
        prepare(h);
        auto timer = new QTimer;
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        std::weak_ptr<SleepState> weak = state;
        state->timer = timer;
        QObject::connect(timer, &QTimer::timeout, timer, [timer, weak] {
            auto s = weak.lock();
            if (!s) {
                timer->deleteLater();
                return;
            }
            s->dropTimer();
            if (s->claim()) {
                s->completed = true;
                s->handle.resume();
            }
        });
        // Cancellation wakes the sleeper through its thread's event loop.
        registration = token.onCancel([s = state] {
            if (s->claim())
                s->poster.post([s] {
                    s->dropTimer();
                    s->handle.resume();
                });
        });
        timer->start(std::chrono::ceil<std::chrono::milliseconds>(duration));
    }
};
} // namespace

Task<bool> RealClock::sleep(Duration d, CancellationToken token) {
    RealSleepAwaiter awaiter(d, std::move(token));
    co_return co_await std::move(awaiter); // QCoro copies lvalue awaiters
}

// --- virtual clock ---

struct VirtualClock::Impl {
    mutable std::mutex mutex;
    Duration now{0};
    QDateTime wallStart;
    std::uint64_t sequence = 0;
    // Ordered by deadline, then by arrival.
    std::multimap<std::pair<Duration, std::uint64_t>, std::shared_ptr<SleepState>> sleepers;
};

VirtualClock::VirtualClock(QDateTime wallStart) : d(std::make_shared<Impl>()) { d->wallStart = std::move(wallStart); }

VirtualClock::~VirtualClock() = default;

Duration VirtualClock::now() const {
    std::lock_guard lock(d->mutex);
    return d->now;
}

QDateTime VirtualClock::wallNow() const {
    std::lock_guard lock(d->mutex);
    return d->wallStart.addMSecs(std::chrono::duration_cast<std::chrono::milliseconds>(d->now).count());
}

namespace {
struct VirtualSleepAwaiter : SleepAwaiterBase {
    VirtualSleepAwaiter(std::shared_ptr<VirtualClock::Impl> c, Duration d, CancellationToken t)
        : SleepAwaiterBase(d, std::move(t)), clock(std::move(c)) {}
    std::shared_ptr<VirtualClock::Impl> clock;

    void await_suspend(std::coroutine_handle<> h) {
        prepare(h);
        {
            std::lock_guard lock(clock->mutex);
            clock->sleepers.emplace(std::pair{clock->now + duration, clock->sequence++}, state);
        }
        std::weak_ptr<VirtualClock::Impl> weakClock = clock;
        registration = token.onCancel([s = state, weakClock] {
            if (!s->claim())
                return;
            if (auto c = weakClock.lock()) {
                std::lock_guard lock(c->mutex);
                std::erase_if(c->sleepers, [&](const auto& entry) { return entry.second == s; });
            }
            s->poster.post([s] { s->handle.resume(); });
        });
    }
};
} // namespace

Task<bool> VirtualClock::sleep(Duration duration, CancellationToken token) {
    VirtualSleepAwaiter awaiter(d, duration, std::move(token));
    co_return co_await std::move(awaiter); // QCoro copies lvalue awaiters
}

void VirtualClock::advance(Duration by) {
    Duration target;
    {
        std::lock_guard lock(d->mutex);
        target = d->now + by;
    }
    for (;;) {
        std::shared_ptr<SleepState> next;
        {
            std::lock_guard lock(d->mutex);
            auto it = d->sleepers.begin();
            if (it == d->sleepers.end() || it->first.first > target)
                break;
            d->now = std::max(d->now, it->first.first);
            next = it->second;
            d->sleepers.erase(it);
        }
        if (next->claim()) {
            next->completed = true;
            next->handle.resume();
        }
    }
    std::lock_guard lock(d->mutex);
    d->now = std::max(d->now, target);
}

bool VirtualClock::advanceToNextDeadline() {
    Duration next;
    {
        std::lock_guard lock(d->mutex);
        if (d->sleepers.empty())
            return false;
        next = d->sleepers.begin()->first.first - d->now;
    }
    advance(std::max(next, Duration::zero()));
    return true;
}

std::size_t VirtualClock::sleeperCount() const {
    std::lock_guard lock(d->mutex);
    return d->sleepers.size();
}

} // namespace zelk
