#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zelk {

// Loudness for the waveform: min(RMS × 12, 1); 0 for an empty block.
float audioLevel(const std::vector<float>& samples);

// Turns interleaved float frames of any rate and channel count into 16 kHz mono.
// Channels are averaged; the rate is changed by a windowed-sinc polyphase filter
// whose state carries over between blocks, so block edges leave no clicks.
// The filter looks ahead a few milliseconds, so the first block comes out shorter.
class AudioConverter {
public:
    static constexpr std::uint32_t outputRate = 16000;

    // Null when the format cannot be converted (rate not a positive whole number
    // of hertz up to 384 kHz, or channels outside 1…32).
    static std::unique_ptr<AudioConverter> create(double inputRate, int channels);

    std::vector<float> convert(const float* interleaved, std::size_t frames);

private:
    AudioConverter(std::uint32_t inputRate, int channels);
    float kernel(double offset) const;

    std::uint32_t m_inputRate;
    int m_channels;
    std::uint64_t m_up = 1;   // output rate / gcd
    std::uint64_t m_down = 1; // input rate / gcd
    int m_half = 0;           // filter half-width in input samples
    double m_cutoff = 1;      // relative to the input's Nyquist frequency
    std::vector<std::vector<float>> m_phases; // taps per output phase (empty when too many phases)
    std::vector<float> m_history;             // mono input from m_historyStart on
    std::int64_t m_historyStart = 0;
    std::int64_t m_nextOutput = 0;
};

} // namespace zelk
