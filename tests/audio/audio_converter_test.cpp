#include "asr/audio_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

using namespace zelk;

namespace {

std::vector<float> sine(double rate, double hz, std::size_t frames, int channels, double amplitude, std::size_t offset = 0) {
    std::vector<float> out(frames * std::size_t(channels));
    for (std::size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            out[f * std::size_t(channels) + std::size_t(c)] =
                float(amplitude * std::sin(2 * M_PI * hz * double(f + offset) / rate));
    return out;
}

double rms(const std::vector<float>& x, std::size_t from = 0) {
    double sum = 0;
    for (std::size_t i = from; i < x.size(); ++i)
        sum += double(x[i]) * double(x[i]);
    return std::sqrt(sum / double(x.size() - from));
}

TEST(AudioLevel, FollowsScaledRmsCappedAtOne) {
    EXPECT_EQ(audioLevel({}), 0.0f);
    EXPECT_EQ(audioLevel(std::vector<float>(682, 0.0f)), 0.0f);
    std::vector<float> square(682);
    for (std::size_t i = 0; i < square.size(); ++i)
        square[i] = (i / 8) % 2 ? 1.0f : -1.0f;
    EXPECT_EQ(audioLevel(square), 1.0f);
    EXPECT_NEAR(audioLevel(std::vector<float>(682, 0.05f)), 0.6f, 1e-6);
    EXPECT_NEAR(audioLevel(std::vector<float>(682, -0.05f)), 0.6f, 1e-6);
}

TEST(AudioConverter, RefusesFormatsItCannotConvert) {
    EXPECT_EQ(AudioConverter::create(0, 1), nullptr);
    EXPECT_EQ(AudioConverter::create(-48000, 1), nullptr);
    EXPECT_EQ(AudioConverter::create(44100.5, 1), nullptr);
    EXPECT_EQ(AudioConverter::create(48000, 0), nullptr);
    EXPECT_EQ(AudioConverter::create(48000, 33), nullptr);
    EXPECT_NE(AudioConverter::create(48000, 2), nullptr);
}

struct RateCase {
    double rate;
    int channels;
};

class AudioConverterRates : public testing::TestWithParam<RateCase> {};

// Blocks of 2048 frames at any rate: the output count tracks the rate ratio
// (48 kHz gives about 682 per block), nothing is lost at block edges, and a tone
// below 8 kHz keeps its amplitude and frequency.
TEST_P(AudioConverterRates, KeepsCountAmplitudeAndPitchAcrossBlocks) {
    const auto [rate, channels] = GetParam();
    auto converter = AudioConverter::create(rate, channels);
    ASSERT_NE(converter, nullptr);
    const double tone = 440;
    const std::size_t blocks = 12, frames = 2048;
    std::vector<float> out;
    std::vector<std::size_t> sizes;
    for (std::size_t b = 0; b < blocks; ++b) {
        const auto block = sine(rate, tone, frames, channels, 0.5, b * frames);
        auto converted = converter->convert(block.data(), frames);
        sizes.push_back(converted.size());
        out.insert(out.end(), converted.begin(), converted.end());
    }
    const double perBlock = 16000.0 * double(frames) / rate;
    for (std::size_t b = 1; b < blocks; ++b)
        EXPECT_NEAR(double(sizes[b]), perBlock, 1.0) << "block " << b;
    // The filter's look-ahead holds back a few milliseconds, never more.
    const double expectedTotal = perBlock * double(blocks);
    EXPECT_LE(double(out.size()), expectedTotal + 1);
    EXPECT_GE(double(out.size()), expectedTotal - 16000 * 0.01);

    // Amplitude: a sine of peak 0.5 has RMS 0.354 (skip the lead-in from silence).
    EXPECT_NEAR(rms(out, 400), 0.5 / std::sqrt(2.0), 0.01);
    // Pitch: count rising zero crossings over the steady part.
    int crossings = 0;
    for (std::size_t i = 401; i < out.size(); ++i)
        crossings += out[i - 1] < 0 && out[i] >= 0;
    const double seconds = double(out.size() - 401) / 16000.0;
    EXPECT_NEAR(crossings / seconds, tone, 8);
}

INSTANTIATE_TEST_SUITE_P(Rates, AudioConverterRates,
                         testing::Values(RateCase{48000, 1}, RateCase{48000, 2}, RateCase{44100, 2},
                                         RateCase{16000, 1}, RateCase{8000, 1}, RateCase{22050, 1},
                                         RateCase{96000, 4}));

// Content above the output's Nyquist frequency must not fold back into the speech band.
TEST(AudioConverter, SuppressesToneAboveEightKilohertz) {
    auto converter = AudioConverter::create(48000, 1);
    std::vector<float> out;
    for (std::size_t b = 0; b < 8; ++b) {
        const auto block = sine(48000, 12000, 2048, 1, 0.8, b * 2048);
        auto converted = converter->convert(block.data(), 2048);
        out.insert(out.end(), converted.begin(), converted.end());
    }
    EXPECT_LT(rms(out, 200), 0.01);
}

TEST(AudioConverter, AveragesChannels) {
    auto converter = AudioConverter::create(16000, 2);
    std::vector<float> frames;
    for (int i = 0; i < 4096; ++i) {
        frames.push_back(0.4f);
        frames.push_back(-0.2f);
    }
    const auto out = converter->convert(frames.data(), 4096);
    ASSERT_GT(out.size(), 3000u);
    EXPECT_NEAR(out[2000], 0.1f, 1e-4);
}

} // namespace
