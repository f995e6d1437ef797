#pragma once

#include "core/cancellation.h"
#include "core/clock.h"
#include "core/task.h"
#include "platform/audio_input.h"

#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace zelk {

// The failures of opening the microphone that are not the sound server's own
// (those arrive as AudioInputError).
class CaptureError : public std::exception {
public:
    enum class Case { converterUnavailable, noInputDevice, timeout };
    explicit CaptureError(Case c);

    Case errorCase() const { return m_case; }
    QString userMessage() const;
    QString logDetail() const;
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Case m_case;
    QByteArray m_what;
};

// Opens the chosen microphone ("micDeviceUID", else the default source) and hands
// every block, converted to 16 kHz mono float, with its level to a callback on the
// audio thread. Opening runs on a thread of its own and races a time-out; every
// start and stop bumps a generation, so an opening that answers after a stop, a
// newer start or its time-out tears itself down. Main thread only, except the
// chunk callback.
class AudioCapture {
public:
    // Called on the audio thread; must not block.
    using ChunkHandler = std::function<void(std::vector<float> samples, float level)>;
    static constexpr std::size_t framesPerBlock = 2048;

    explicit AudioCapture(std::shared_ptr<AudioInput> input, Clock& clock = Clock::shared());
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    // Answers the source's format once the microphone delivers; throws CaptureError
    // or AudioInputError.
    Task<AudioStreamFormat> start(ChunkHandler onChunk, double timeoutSeconds);
    // Ends any capture, also one still opening.
    void stop();

    // Called on the main thread while a capture runs, when it should be restarted:
    // a source came or went, or the default source changed.
    std::function<void()> onConfigurationChange;

    bool isRunning() const { return m_running; }

    struct Shared;

private:
    void configurationChanged(quint64 observer);
    void defaultSourceChanged();

    std::shared_ptr<AudioInput> m_input;
    Clock& m_clock;
    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    bool m_running = false;
    std::shared_ptr<AudioWatch> m_configObserver;
    quint64 m_configObserverId = 0;
    std::shared_ptr<AudioWatch> m_defaultInputListener; // kept from the first capture on
    CancellationSource m_destroyed;
};

} // namespace zelk
