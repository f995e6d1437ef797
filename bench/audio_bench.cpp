// links: zelk_asr
// Cost of turning one capture block (2 048 frames) into 16 kHz mono with its
// level, at the rates sound servers commonly deliver. A block lasts 43–128 ms
// of real time; the conversion runs on the audio thread, so it must stay far
// below that.
#include "asr/audio_converter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

void convertBlock(benchmark::State& state) {
    const double rate = double(state.range(0));
    const int channels = int(state.range(1));
    auto converter = zelk::AudioConverter::create(rate, channels);
    std::vector<float> block(2048 * std::size_t(channels));
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = float(0.3 * std::sin(double(i) * 0.05));
    std::size_t produced = 0;
    for (auto _ : state) {
        auto out = converter->convert(block.data(), 2048);
        benchmark::DoNotOptimize(zelk::audioLevel(out));
        produced += out.size();
    }
    state.counters["blockMs"] = 2048.0 / rate * 1000.0;
    state.counters["samplesPerBlock"] = double(produced) / double(state.iterations());
}

BENCHMARK(convertBlock)
    ->Args({48000, 2})
    ->Args({48000, 1})
    ->Args({44100, 2})
    ->Args({16000, 1})
    ->Args({96000, 2})
    ->Unit(benchmark::kMicrosecond);

} // namespace
