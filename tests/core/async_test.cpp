#include "core/actor.h"
#include "core/async_stream.h"
#include "core/clock.h"
#include "core/sync_wait.h"
#include "core/task.h"
#include "core/timeout.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <thread>
#include <vector>

using namespace zelk;
using namespace std::chrono_literals;

namespace {

TEST(VirtualClock, SleepersWakeInDeadlineOrderAndSeeTheirDeadline) {
    VirtualClock clock;
    std::vector<std::pair<int, Duration>> woke;
    auto sleeper = [&](int id, Duration d) {
        spawn([&, id, d](CancellationToken token) -> Task<void> {
            co_await clock.sleep(d, token);
            woke.emplace_back(id, clock.now());
        });
    };
    sleeper(1, 300ms);
    sleeper(2, 100ms);
    sleeper(3, 200ms);
    sleeper(4, 100ms); // same deadline as 2: wakes after it
    clock.advance(150ms);
    ASSERT_EQ(woke.size(), 2u);
    EXPECT_EQ(woke[0], std::pair(2, Duration(100ms)));
    EXPECT_EQ(woke[1], std::pair(4, Duration(100ms)));
    EXPECT_EQ(clock.now(), Duration(150ms));
    clock.advance(1s);
    ASSERT_EQ(woke.size(), 4u);
    EXPECT_EQ(woke[2].first, 3);
    EXPECT_EQ(woke[3].first, 1);
}

TEST(VirtualClock, SleepStartedDuringAdvanceWakesWithinTheSameAdvance) {
    VirtualClock clock;
    std::vector<Duration> ticks;
    spawn([&](CancellationToken token) -> Task<void> {
        for (int i = 0; i < 5; ++i) {
            co_await clock.sleep(1s, token);
            ticks.push_back(clock.now());
        }
    });
    clock.advance(3500ms);
    EXPECT_EQ(ticks, (std::vector<Duration>{1s, 2s, 3s}));
    EXPECT_EQ(clock.sleeperCount(), 1u);
}

TEST(VirtualClock, CancelledSleepReturnsAtOnceWithFalse) {
    VirtualClock clock;
    std::optional<bool> result;
    auto handle = spawn([&](CancellationToken token) -> Task<void> { result = co_await clock.sleep(1h, token); });
    handle.cancel();
    ASSERT_TRUE(test::waitUntil([&] { return result.has_value(); }, 1000));
    EXPECT_FALSE(*result);
    EXPECT_EQ(clock.now(), Duration::zero());
    EXPECT_EQ(clock.sleeperCount(), 0u);
    EXPECT_TRUE(handle.isFinished());
}

TEST(VirtualClock, SleepOnAlreadyCancelledTokenDoesNotSuspend) {
    VirtualClock clock;
    CancellationSource source;
    source.cancel();
    bool slept = true;
    auto body = [&]() -> Task<void> { slept = co_await clock.sleep(5s, source.token()); };
    syncWait(body());
    EXPECT_FALSE(slept);
}

TEST(VirtualClock, WallClockFollowsMonotonicTime) {
    VirtualClock clock(QDateTime::fromSecsSinceEpoch(1000, Qt::UTC));
    clock.advance(2500ms);
    EXPECT_EQ(clock.wallNow().toMSecsSinceEpoch(), 1'002'500);
}

TEST(RealClock, SleepsAndCancels) {
    RealClock clock;
    auto sleepFor = [&](Duration d, CancellationToken t) -> Task<bool> { co_return co_await clock.sleep(d, t); };
    const auto start = clock.now();
    EXPECT_TRUE(syncWait(sleepFor(20ms, {})));
    EXPECT_GE(clock.now() - start, Duration(20ms));

    CancellationSource source;
    QTimer::singleShot(10, [&] { source.cancel(); });
    EXPECT_FALSE(syncWait(sleepFor(1h, source.token())));
}

TEST(Spawn, HandleCancelsBodyCooperativelyAndReportsFinish) {
    VirtualClock clock;
    int steps = 0;
    auto handle = spawn([&](CancellationToken token) -> Task<void> {
        while (!token.isCancelled()) {
            co_await clock.sleep(1s, token);
            if (token.isCancelled())
                co_return;
            ++steps;
        }
    });
    clock.advance(3s);
    EXPECT_EQ(steps, 3);
    EXPECT_FALSE(handle.isFinished());
    handle.cancel();
    ASSERT_TRUE(test::waitUntil([&] { return handle.isFinished(); }));
    clock.advance(10s);
    EXPECT_EQ(steps, 3);
}

TEST(Spawn, ParentTokenCancelsChildAndExceptionsAreContained) {
    CancellationSource parent;
    VirtualClock clock;
    bool childSawCancel = false;
    auto child = spawn(
        [&](CancellationToken token) -> Task<void> {
            co_await clock.sleep(1h, token);
            childSawCancel = token.isCancelled();
        },
        parent.token());
    parent.cancel();
    ASSERT_TRUE(test::waitUntil([&] { return child.isFinished(); }));
    EXPECT_TRUE(childSawCancel);

    auto thrower = spawn([](CancellationToken) -> Task<void> {
        throw std::runtime_error("boom");
        co_return;
    });
    EXPECT_TRUE(thrower.isFinished());
}

TEST(Spawn, FinishedResumesAwaiters) {
    VirtualClock clock;
    auto worker = spawn([&](CancellationToken token) -> Task<void> { co_await clock.sleep(2s, token); });
    bool joined = false;
    spawn([&](CancellationToken) -> Task<void> {
        co_await worker.finished();
        joined = true;
    });
    clock.advance(1s);
    EXPECT_FALSE(joined);
    clock.advance(1s);
    EXPECT_TRUE(joined);
}

TEST(Actor, RunsTenThousandJobsInOrderOnItsOwnThread) {
    Actor actor(QStringLiteral("test-actor"));
    std::vector<int> order;
    std::atomic<bool> offMainThread{true};
    const auto mainThread = std::this_thread::get_id();
    auto body = [&]() -> Task<int> {
        std::vector<ActorResult<int>> results;
        for (int i = 0; i < 10000; ++i)
            results.push_back(actor.run([&, i] {
                if (std::this_thread::get_id() == mainThread)
                    offMainThread = false;
                order.push_back(i); // only the actor thread touches it
                return i * 2;
            }));
        long long sum = 0;
        for (auto& r : results)
            sum += co_await r;
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        co_return int(sum / 2);
    };
    EXPECT_EQ(syncWait(body()), 9999 * 10000 / 2);
    ASSERT_EQ(order.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(order[i], i);
    EXPECT_TRUE(offMainThread);
}

TEST(Actor, ExceptionReachesTheAwaiterAndLaterJobsStillRun) {
    Actor actor(QStringLiteral("throwing"));
    auto body = [&]() -> Task<QString> {
        QString log;
        try {
            co_await actor.run([]() -> int { throw std::runtime_error("model failed"); });
        } catch (const std::runtime_error& e) {
            log += QString::fromUtf8(e.what());
        }
        co_await actor.run([] {});
        log += QString::number(co_await actor.run([] { return 7; }));
        co_return log;
    };
    EXPECT_EQ(syncWait(body()), QStringLiteral("model failed7"));
}

TEST(Actor, DestructorDrainsQueuedJobs) {
    std::atomic<int> ran{0};
    {
        Actor actor(QStringLiteral("drain"));
        for (int i = 0; i < 100; ++i)
            actor.run([&] {
                QThread::usleep(10);
                ++ran;
            });
    }
    EXPECT_EQ(ran.load(), 100);
}

TEST(AsyncStream, ProducersOnSeveralThreadsNeverLoseOrReorderTheirElements) {
    AsyncStream<std::pair<int, int>> stream;
    constexpr int producers = 4, perProducer = 5000;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p)
        threads.emplace_back([&, p] {
            for (int i = 0; i < perProducer; ++i)
                stream.yield({p, i});
        });
    std::thread finisher([&] {
        for (auto& t : threads)
            t.join();
        stream.finish();
    });
    auto consume = [&]() -> Task<std::vector<int>> {
        std::vector<int> next(producers, 0);
        while (auto item = co_await stream.next()) {
            EXPECT_EQ(item->second, next[item->first]) << "producer " << item->first;
            next[item->first] = item->second + 1;
        }
        co_return next;
    };
    const auto counts = syncWait(consume());
    finisher.join();
    for (int c : counts)
        EXPECT_EQ(c, perProducer);
    EXPECT_FALSE(stream.yield({0, 0}));
}

TEST(AsyncStream, FinishWakesAWaitingConsumerAfterDraining) {
    AsyncStream<int> stream;
    std::vector<int> got;
    bool ended = false;
    spawn([&](CancellationToken) -> Task<void> {
        while (auto v = co_await stream.next())
            got.push_back(*v);
        ended = true;
    });
    stream.yield(1);
    stream.yield(2);
    stream.finish();
    ASSERT_TRUE(test::waitUntil([&] { return ended; }));
    EXPECT_EQ(got, (std::vector<int>{1, 2}));
}

struct TimeoutCase {
    const char* name;
    Duration operationTakes;
    Duration limit;
    bool expectTimeout;
};

class WithTimeout : public ::testing::TestWithParam<TimeoutCase> {};

TEST_P(WithTimeout, FirstToFinishWinsAndTheLoserIsCancelled) {
    const auto& c = GetParam();
    VirtualClock clock;
    bool operationCancelled = false;
    std::optional<int> value;
    bool timedOut = false;
    spawn([&](CancellationToken) -> Task<void> {
        try {
            value = co_await withTimeout<int>(clock, c.limit, [&](CancellationToken token) -> Task<int> {
                const bool full = co_await clock.sleep(c.operationTakes, token);
                operationCancelled = !full;
                co_return 42;
            });
        } catch (const TimeoutError&) {
            timedOut = true;
        }
    });
    clock.advance(std::min(c.operationTakes, c.limit));
    ASSERT_TRUE(test::waitUntil([&] { return timedOut || value.has_value(); }, 1000));
    ASSERT_TRUE(test::waitUntil([&] { return clock.sleeperCount() == 0; }, 1000)) << "the loser must be cancelled";
    EXPECT_EQ(timedOut, c.expectTimeout);
    EXPECT_EQ(value.has_value(), !c.expectTimeout);
    if (c.expectTimeout) {
        EXPECT_TRUE(test::waitUntil([&] { return operationCancelled; }, 1000));
    }
}

INSTANTIATE_TEST_SUITE_P(Races, WithTimeout,
                         ::testing::Values(TimeoutCase{"fast", 1s, 5s, false}, TimeoutCase{"slow", 10s, 5s, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WithTimeoutErrors, OperationExceptionReachesCaller) {
    VirtualClock clock;
    auto body = [&]() -> Task<void> {
        co_await withTimeout<void>(clock, 5s, [](CancellationToken) -> Task<void> {
            throw std::logic_error("bad request");
            co_return;
        });
    };
    EXPECT_THROW(syncWait(body()), std::logic_error);
}

TEST(Cancellation, CallbacksRunOnceAndLateRegistrationsRunAtOnce) {
    CancellationSource source;
    int calls = 0;
    auto reg = source.token().onCancel([&] { ++calls; });
    {
        auto dropped = source.token().onCancel([&] { calls += 100; });
    }
    source.cancel();
    source.cancel();
    EXPECT_EQ(calls, 1);
    auto late = source.token().onCancel([&] { ++calls; });
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(CancellationToken().isCancelled());
}

TEST(Cancellation, ConcurrentCancelAndRegisterIsSafe) {
    for (int round = 0; round < 200; ++round) {
        CancellationSource source;
        std::atomic<int> calls{0};
        std::thread a([&] { source.cancel(); });
        std::thread b([&] {
            for (int i = 0; i < 20; ++i) {
                auto r = source.token().onCancel([&] { ++calls; });
            }
        });
        a.join();
        b.join();
        EXPECT_TRUE(source.isCancelled());
    }
}

} // namespace

namespace {

// Cancellation arriving from other threads while many tasks sleep on the real
// clock: every sleeper wakes exactly once, early, on its own thread.
TEST(Stress, CrossThreadCancellationDuringRealSleeps) {
    RealClock clock;
    constexpr int tasks = 300;
    std::vector<TaskHandle> handles;
    std::atomic<int> woke{0}, wrongThread{0}, fullSleeps{0};
    const auto mainThread = std::this_thread::get_id();
    for (int i = 0; i < tasks; ++i)
        handles.push_back(spawn([&](CancellationToken token) -> Task<void> {
            const bool full = co_await clock.sleep(std::chrono::hours(1), token);
            if (full)
                ++fullSleeps;
            if (std::this_thread::get_id() != mainThread)
                ++wrongThread;
            ++woke;
        }));
    std::vector<std::thread> cancellers;
    for (int t = 0; t < 3; ++t)
        cancellers.emplace_back([&, t] {
            for (int i = t; i < tasks; i += 3)
                handles[i].cancel();
        });
    for (auto& c : cancellers)
        c.join();
    ASSERT_TRUE(test::waitUntil([&] { return woke.load() == tasks; }, 10000));
    EXPECT_EQ(fullSleeps.load(), 0);
    EXPECT_EQ(wrongThread.load(), 0);
    for (auto& h : handles)
        EXPECT_TRUE(h.isFinished());
}

} // namespace
