#pragma once

#include "core/cancellation.h"
#include "core/task.h"

#include <QDateTime>
#include <QTimeZone>

#include <chrono>
#include <memory>

namespace zelk {

using Duration = std::chrono::nanoseconds;
using std::chrono::milliseconds;
using std::chrono::seconds;

// Duration from seconds given as a floating-point number.
constexpr Duration secondsF(double s) { return Duration(static_cast<Duration::rep>(s * 1e9)); }
constexpr double toSeconds(Duration d) { return std::chrono::duration<double>(d).count(); }

// Every delay, watchdog, time-out and timestamp goes through a Clock, so tests
// can run time-driven code on a virtual clock.
class Clock {
public:
    virtual ~Clock() = default;

    // Monotonic time since an arbitrary origin.
    virtual Duration now() const = 0;
    // Wall-clock time.
    virtual QDateTime wallNow() const = 0;

    // Resumes on the calling thread after `d`, or at once when `token` is (or
    // becomes) cancelled. Answers true when the full time passed.
    virtual Task<bool> sleep(Duration d, CancellationToken token = {}) = 0;

    // The process-wide clock: the real one unless a test installed another.
    static Clock& shared();
    static void setShared(Clock* clock);
};

class RealClock final : public Clock {
public:
    Duration now() const override;
    QDateTime wallNow() const override;
    Task<bool> sleep(Duration d, CancellationToken token = {}) override;
};

// Time moves only when a test advances it. Sleepers wake in deadline order
// (equal deadlines in the order they went to sleep), each seeing now() equal to
// its deadline; a cancelled sleeper wakes through the event loop of its thread.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(QDateTime wallStart = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC));
    ~VirtualClock() override;

    Duration now() const override;
    QDateTime wallNow() const override;
    Task<bool> sleep(Duration d, CancellationToken token = {}) override;

    // Moves time forward by `d`, waking every sleeper whose deadline is reached,
    // including ones that go to sleep while this runs.
    void advance(Duration d);
    // Moves forward to the next deadline (if any) and wakes its sleepers.
    bool advanceToNextDeadline();
    std::size_t sleeperCount() const;

    struct Impl;

private:
    std::shared_ptr<Impl> d;
};

} // namespace zelk
