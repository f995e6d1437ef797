#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace zelk {

// A WAV file's audio as interleaved float frames in −1…1.
struct WavAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> interleaved;

    std::size_t frames() const { return channels > 0 ? interleaved.size() / std::size_t(channels) : 0; }
};

// Reads RIFF/WAVE with integer PCM (8, 16, 24, 32 bit), IEEE float (32, 64
// bit) or the extensible form of either. A data chunk that claims more bytes
// than the file holds (an interrupted recording) is read up to the last whole
// frame. Anything else answers nothing with a reason in `error`.
std::optional<WavAudio> parseWav(const QByteArray& bytes, QString* error = nullptr);
std::optional<WavAudio> readWavFile(const QString& path, QString* error = nullptr);

// The audio as 16 kHz mono, channels averaged and the rate converted with the
// capture path's windowed-sinc filter.
std::vector<float> to16kMono(const WavAudio& audio);

} // namespace zelk
