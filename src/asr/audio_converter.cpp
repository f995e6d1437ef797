#include "asr/audio_converter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zelk {

namespace {
constexpr int zeroCrossings = 16;
constexpr std::uint64_t maxTabledPhases = 1024;
} // namespace

float audioLevel(const std::vector<float>& samples) {
    if (samples.empty())
        return 0;
    double sum = 0;
    for (float x : samples)
        sum += double(x) * double(x);
    return float(std::min(std::sqrt(sum / double(samples.size())) * 12.0, 1.0));
}

std::unique_ptr<AudioConverter> AudioConverter::create(double inputRate, int channels) {
    if (!(inputRate > 0) || inputRate > 384000 || inputRate != std::floor(inputRate) || channels < 1 || channels > 32)
        return nullptr;
    return std::unique_ptr<AudioConverter>(new AudioConverter(std::uint32_t(inputRate), channels));
}

AudioConverter::AudioConverter(std::uint32_t inputRate, int channels) : m_inputRate(inputRate), m_channels(channels) {
    const std::uint64_t g = std::gcd(std::uint64_t(outputRate), std::uint64_t(inputRate));
    m_up = outputRate / g;
    m_down = inputRate / g;
    // Slightly below the lower Nyquist frequency, so the transition band stays clear of aliasing.
    m_cutoff = std::min(1.0, double(outputRate) / double(inputRate)) * 0.95;
    m_half = int(std::ceil(zeroCrossings / m_cutoff));
    if (m_up <= maxTabledPhases) {
        m_phases.resize(m_up);
        for (std::uint64_t p = 0; p < m_up; ++p) {
            const double frac = double(p) / double(m_up);
            auto& taps = m_phases[p];
            taps.resize(std::size_t(2 * m_half));
            double sum = 0;
            for (int k = -m_half + 1; k <= m_half; ++k)
                sum += taps[std::size_t(k + m_half - 1)] = kernel(double(k) - frac);
            // Unity gain at DC for every phase.
            for (float& t : taps)
                t = float(t / sum);
        }
    }
    m_history.assign(std::size_t(m_half), 0.0f); // silence before the first sample
    m_historyStart = -m_half;
}

float AudioConverter::kernel(double offset) const {
    const double x = offset * m_cutoff;
    const double sinc = std::abs(x) < 1e-9 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
    const double w = offset / double(m_half);
    if (std::abs(w) >= 1)
        return 0;
    // Blackman window.
    const double window = 0.42 + 0.5 * std::cos(M_PI * w) + 0.08 * std::cos(2 * M_PI * w);
    return float(m_cutoff * sinc * window);
}

std::vector<float> AudioConverter::convert(const float* interleaved, std::size_t frames) {
    m_history.reserve(m_history.size() + frames);
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0;
        for (int c = 0; c < m_channels; ++c)
            sum += interleaved[f * std::size_t(m_channels) + std::size_t(c)];
        m_history.push_back(sum / float(m_channels));
    }
    const std::int64_t available = m_historyStart + std::int64_t(m_history.size()); // one past the last input
    std::vector<float> out;
    out.reserve(std::size_t(double(frames) * double(m_up) / double(m_down)) + 16);
    for (;;) {
        const std::uint64_t position = std::uint64_t(m_nextOutput) * m_down;
        const std::int64_t base = std::int64_t(position / m_up);
        const std::uint64_t phase = position % m_up;
        if (base + m_half >= available)
            break;
        const float* x = m_history.data() + (base - m_half + 1 - m_historyStart);
        double acc = 0;
        if (!m_phases.empty()) {
            const auto& taps = m_phases[phase];
            for (std::size_t i = 0; i < taps.size(); ++i)
                acc += double(x[i]) * double(taps[i]);
        } else {
            const double frac = double(phase) / double(m_up);
            double sum = 0;
            for (int k = -m_half + 1; k <= m_half; ++k) {
                const double t = kernel(double(k) - frac);
                acc += double(x[k + m_half - 1]) * t;
                sum += t;
            }
            acc /= sum;
        }
        out.push_back(float(acc));
        ++m_nextOutput;
    }
    // Keep what the next outputs still reach back to.
    const std::int64_t nextBase = std::int64_t(std::uint64_t(m_nextOutput) * m_down / m_up);
    const std::int64_t keepFrom = std::min(nextBase - m_half + 1, available);
    if (keepFrom > m_historyStart) {
        m_history.erase(m_history.begin(), m_history.begin() + (keepFrom - m_historyStart));
        m_historyStart = keepFrom;
    }
    return out;
}

} // namespace zelk
