#include "app/cli_record.h"

#include "app/cli.h"
#include "asr/audio_capture.h"
#include "asr/mic_devices.h"
#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/sync_wait.h"
#include "platform/linux/pulse_audio_input.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

#include <cstdio>
#include <mutex>

namespace zelk::cli {

namespace {

const char* const help =
    "Usage: zelk record SECONDS FILE.wav   record the chosen microphone (16 kHz mono float WAV)\n"
    "       zelk record --list             list the microphones (uid, name, \"bluetooth\")\n"
    "\n"
    "The microphone is the \"micDeviceUID\" preference when it is plugged in, else the\n"
    "system default. The file holds exactly what the recogniser would receive.\n";

void appendLE32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// WAVE_FORMAT_IEEE_FLOAT, 16 kHz, one channel; float formats carry cbSize and a fact chunk.
QByteArray floatWav(const std::vector<float>& samples) {
    const quint32 dataBytes = quint32(samples.size() * sizeof(float));
    QByteArray out;
    out.reserve(int(58 + dataBytes));
    out.append("RIFF");
    appendLE32(out, 4 + 26 + 12 + 8 + dataBytes);
    out.append("WAVEfmt ");
    appendLE32(out, 18);
    appendLE32(out, 3u | (1u << 16));  // format 3, 1 channel
    appendLE32(out, 16000);            // sample rate
    appendLE32(out, 16000 * 4);        // byte rate
    appendLE32(out, 4u | (32u << 16)); // block align 4, 32 bits
    out.append(2, '\0');               // cbSize
    out.append("fact");
    appendLE32(out, 4);
    appendLE32(out, quint32(samples.size()));
    out.append("data");
    appendLE32(out, dataBytes);
    for (float s : samples) {
        quint32 bits;
        std::memcpy(&bits, &s, 4);
        appendLE32(out, bits);
    }
    return out;
}

int list() {
    PulseAudioInput input;
    const auto devices = MicDevices::inputDevices(input);
    if (devices.isEmpty()) {
        std::fprintf(stderr, "zelk record: no microphone found (is PulseAudio or PipeWire running?)\n");
        return failure;
    }
    const auto chosen = MicDevices::selectedUID();
    for (const auto& d : devices)
        std::printf("%s%s\t%s%s\n", chosen == d.uid ? "* " : "", qPrintable(d.uid), qPrintable(d.name),
                    d.isBluetooth ? "\tbluetooth" : "");
    return ok;
}

struct Recorded {
    std::mutex mutex;
    std::vector<float> samples;
    float peakLevel = 0;
};

Task<void> record(AudioCapture& capture, Recorded& out, double seconds) {
    AudioCapture::ChunkHandler onChunk = [&out](std::vector<float> samples, float level) {
        std::lock_guard lock(out.mutex);
        out.samples.insert(out.samples.end(), samples.begin(), samples.end());
        out.peakLevel = std::max(out.peakLevel, level);
    };
    co_await capture.start(std::move(onChunk), 20.0);
    co_await Clock::shared().sleep(secondsF(seconds));
    capture.stop();
}

} // namespace

int runRecord(const QStringList& args) {
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(help, stdout);
        return ok;
    }
    if (args == QStringList{QStringLiteral("--list")})
        return list();
    bool numeric = false;
    const double seconds = args.size() == 2 ? args[0].toDouble(&numeric) : 0;
    if (args.size() != 2 || !numeric || !(seconds > 0) || seconds > 3600) {
        std::fputs(help, stderr);
        return usage;
    }
    Recorded recorded; // outlives the capture that feeds it
    AudioCapture capture(std::make_shared<PulseAudioInput>());
    try {
        syncWait(record(capture, recorded, seconds));
    } catch (const CaptureError& e) {
        std::fprintf(stderr, "zelk record: %s\n",
                     e.errorCase() == CaptureError::Case::timeout ? "the microphone did not open within 20 s"
                                                                  : qPrintable(e.userMessage()));
        return failure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelk record: the microphone failed to start: %s\n", e.what());
        return failure;
    }
    std::lock_guard lock(recorded.mutex);
    QString error;
    if (!writeFileAtomically(args[1], floatWav(recorded.samples), &error)) {
        std::fprintf(stderr, "zelk record: %s\n", qPrintable(error));
        return failure;
    }
    std::printf("%s: %zu samples, %.2f s, 16000 Hz mono float, peak level %.2f\n", qPrintable(args[1]),
                recorded.samples.size(), double(recorded.samples.size()) / 16000.0, double(recorded.peakLevel));
    return ok;
}

} // namespace zelk::cli
