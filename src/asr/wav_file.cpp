#include "asr/wav_file.h"

#include "asr/audio_converter.h"

#include <QFile>

#include <cmath>
#include <cstring>

namespace zelk {

namespace {

constexpr quint16 formatPcm = 1;
constexpr quint16 formatFloat = 3;
constexpr quint16 formatExtensible = 0xFFFE;

quint16 u16(const char* p) { return quint16(quint8(p[0]) | (quint8(p[1]) << 8)); }
quint32 u32(const char* p) { return quint32(u16(p)) | (quint32(u16(p + 2)) << 16); }

std::optional<WavAudio> failWith(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return std::nullopt;
}

float sampleAt(const char* p, quint16 format, int bytes) {
    if (format == formatFloat) {
        if (bytes == 4) {
            float f;
            std::memcpy(&f, p, 4);
            return std::isfinite(f) ? f : 0.0f;
        }
        double d;
        std::memcpy(&d, p, 8);
        return std::isfinite(d) ? float(d) : 0.0f;
    }
    switch (bytes) {
    case 1:
        return float(int(quint8(p[0])) - 128) / 128.0f;
    case 2:
        return float(qint16(u16(p))) / 32768.0f;
    case 3: {
        const qint32 v = qint32((quint32(quint8(p[0])) << 8) | (quint32(quint8(p[1])) << 16) | (quint32(quint8(p[2])) << 24)) >> 8;
        return float(v) / 8388608.0f;
    }
    default:
        return float(double(qint32(u32(p))) / 2147483648.0);
    }
}

} // namespace

std::optional<WavAudio> parseWav(const QByteArray& bytes, QString* error) {
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return failWith(error, QStringLiteral("not a RIFF/WAVE file"));

    quint16 format = 0, channels = 0, bits = 0, blockAlign = 0;
    quint32 rate = 0;
    bool haveFormat = false;
    qsizetype pos = 12;
    while (pos + 8 <= size) {
        const char* id = data + pos;
        const qint64 chunkSize = u32(data + pos + 4);
        const qsizetype body = pos + 8;
        const qsizetype available = size - body;
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (chunkSize < 16 || available < 16)
                return failWith(error, QStringLiteral("format chunk too short"));
            format = u16(data + body);
            channels = u16(data + body + 2);
            rate = u32(data + body + 4);
            blockAlign = u16(data + body + 12);
            bits = u16(data + body + 14);
            if (format == formatExtensible) {
                if (chunkSize < 40 || available < 40)
                    return failWith(error, QStringLiteral("extensible format chunk too short"));
                format = u16(data + body + 24); // first two bytes of the sub-format GUID
            }
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (!haveFormat)
                return failWith(error, QStringLiteral("data before the format chunk"));
            const bool integer = format == formatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
            const bool floating = format == formatFloat && (bits == 32 || bits == 64);
            if (!integer && !floating)
                return failWith(error, QStringLiteral("unsupported sample format %1 with %2 bits").arg(format).arg(bits));
            if (channels < 1 || channels > 32 || rate < 1 || rate > 384000)
                return failWith(error, QStringLiteral("unsupported %1 channels at %2 Hz").arg(channels).arg(rate));
            const int sampleBytes = bits / 8;
            if (blockAlign != channels * sampleBytes)
                return failWith(error, QStringLiteral("inconsistent block alignment"));
            const qint64 usable = std::min<qint64>(chunkSize, available);
            const qint64 frames = usable / blockAlign;
            WavAudio audio;
            audio.sampleRate = int(rate);
            audio.channels = channels;
            audio.interleaved.resize(std::size_t(frames) * channels);
            const char* p = data + body;
            for (std::size_t i = 0; i < audio.interleaved.size(); ++i, p += sampleBytes)
                audio.interleaved[i] = sampleAt(p, format, sampleBytes);
            return audio;
        }
        pos = body + chunkSize + (chunkSize & 1); // chunks are padded to even sizes
    }
    return failWith(error, haveFormat ? QStringLiteral("no data chunk") : QStringLiteral("no format chunk"));
}

std::optional<WavAudio> readWavFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failWith(error, file.errorString());
    return parseWav(file.readAll(), error);
}

std::vector<float> to16kMono(const WavAudio& audio) {
    if (audio.sampleRate == 16000 && audio.channels == 1)
        return audio.interleaved;
    auto converter = AudioConverter::create(audio.sampleRate, audio.channels);
    if (!converter)
        return {};
    std::vector<float> out = converter->convert(audio.interleaved.data(), audio.frames());
    // The filter looks ahead: push silence through to get the last samples out.
    const std::vector<float> tail(std::size_t(audio.sampleRate / 10 + 64) * std::size_t(audio.channels), 0.0f);
    const std::vector<float> rest = converter->convert(tail.data(), tail.size() / std::size_t(audio.channels));
    out.insert(out.end(), rest.begin(), rest.end());
    const std::size_t expected = std::size_t(std::ceil(double(audio.frames()) * 16000.0 / double(audio.sampleRate)));
    out.resize(std::min(out.size(), expected));
    return out;
}

} // namespace zelk
