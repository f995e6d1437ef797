// links: zelk_core
#include "core/actor.h"
#include "core/async_stream.h"
#include "core/sync_wait.h"

#include <benchmark/benchmark.h>

#include <thread>

using namespace zelk;

// Audio-sized chunks from a producer thread to an awaiting consumer.
static void BM_AsyncStreamThroughput(benchmark::State& state) {
    const int chunks = int(state.range(0));
    for (auto _ : state) {
        AsyncStream<std::vector<float>> stream;
        std::thread producer([&] {
            for (int i = 0; i < chunks; ++i)
                stream.yield(std::vector<float>(1600, 0.1f));
            stream.finish();
        });
        auto consume = [&]() -> Task<std::size_t> {
            std::size_t total = 0;
            while (auto chunk = co_await stream.next())
                total += chunk->size();
            co_return total;
        };
        benchmark::DoNotOptimize(syncWait(consume()));
        producer.join();
    }
    state.SetItemsProcessed(state.iterations() * chunks);
}
BENCHMARK(BM_AsyncStreamThroughput)->Arg(1000)->Unit(benchmark::kMillisecond);

// One job to the actor thread and the result back to the awaiting thread.
static void BM_ActorRoundTrip(benchmark::State& state) {
    Actor actor(QStringLiteral("bench"));
    auto roundTrips = [&](int n) -> Task<int> {
        int sum = 0;
        for (int i = 0; i < n; ++i)
            sum += co_await actor.run([i] { return i & 1; });
        co_return sum;
    };
    for (auto _ : state)
        benchmark::DoNotOptimize(syncWait(roundTrips(1000)));
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ActorRoundTrip)->Unit(benchmark::kMillisecond);
