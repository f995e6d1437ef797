#include "asr/audio_capture.h"

#include "asr/audio_converter.h"
#include "asr/mic_devices.h"
#include "asr/once_flag.h"
#include "core/async_stream.h"
#include "core/log.h"
#include "core/thread_poster.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace zelk {

CaptureError::CaptureError(Case c) : m_case(c), m_what(logDetail().toUtf8()) {}

QString CaptureError::userMessage() const {
    switch (m_case) {
    case Case::converterUnavailable: return QStringLiteral("无法转换麦克风的音频格式");
    case Case::noInputDevice: return QStringLiteral("没有可用的输入设备");
    case Case::timeout: return QStringLiteral("打开麦克风超时");
    }
    return {};
}

QString CaptureError::logDetail() const {
    switch (m_case) {
    case Case::converterUnavailable: return QStringLiteral("converterUnavailable");
    case Case::noInputDevice: return QStringLiteral("noInputDevice");
    case Case::timeout: return QStringLiteral("timeout");
    }
    return {};
}

// What the opening thread and the main thread share.
struct AudioCapture::Shared {
    std::mutex lock;
    std::atomic<quint64> generation{0}; // written under `lock`; read bare by the audio thread
    std::unique_ptr<AudioRecording> engine;
};

namespace {

struct Answer {
    std::optional<AudioStreamFormat> format;
    std::exception_ptr error;
    std::shared_ptr<AudioWatch> configObserver;
    std::shared_ptr<AudioWatch> defaultInputListener;
};

struct Opening {
    std::shared_ptr<AudioInput> input;
    std::weak_ptr<AudioCapture::Shared> capture;
    std::shared_ptr<OnceFlag> once;
    AsyncStream<Answer> answers;
    quint64 generation = 0;
    std::optional<QString> selectedUID;
    AudioCapture::ChunkHandler onChunk;
    AudioInput::ChangeHandler onConfigChange;
    AudioInput::ChangeHandler onDefaultChange;
};

// The chosen source when it is present and answers, else the default ("").
QString chooseSource(const Opening& o) {
    if (!o.selectedUID)
        return {};
    if (!MicDevices::deviceID(*o.input, *o.selectedUID)) {
        qCInfo(Log::audio()).noquote() << QStringLiteral("所选麦克风不在线，用系统默认");
        return {};
    }
    try {
        o.input->sourceFormat(*o.selectedUID);
        return *o.selectedUID;
    } catch (const AudioInputError& e) {
        qCCritical(Log::audio()).noquote() << QStringLiteral("切换到所选麦克风失败，用系统默认：%1").arg(QString::fromUtf8(e.what()));
        return {};
    }
}

std::shared_ptr<AudioWatch> tryWatch(AudioInput& input, AudioInput::ChangeHandler handler) {
    try {
        return input.watch(std::move(handler));
    } catch (const AudioInputError& e) {
        qCCritical(Log::audio()).noquote() << QStringLiteral("无法监听输入设备变化：%1").arg(QString::fromUtf8(e.what()));
        return nullptr;
    }
}

void runOpening(Opening o) {
    try {
        const QString source = chooseSource(o);
        const AudioStreamFormat format = o.input->sourceFormat(source);
        if (!(format.sampleRate > 0) || format.channels < 1)
            throw CaptureError(CaptureError::Case::noInputDevice);
        std::shared_ptr<AudioConverter> converter = AudioConverter::create(format.sampleRate, format.channels);
        if (!converter)
            throw CaptureError(CaptureError::Case::converterUnavailable);

        // Blocks go nowhere until this opening is the answer, and after a stop.
        auto delivering = std::make_shared<std::atomic<bool>>(false);
        auto onBlock = [converter, delivering, onChunk = o.onChunk, capture = o.capture,
                        g = o.generation](const float* data, std::size_t frames) {
            if (!delivering->load())
                return;
            auto shared = capture.lock();
            if (!shared || shared->generation.load() != g)
                return;
            std::vector<float> samples = converter->convert(data, frames);
            if (samples.empty())
                return;
            const float level = audioLevel(samples);
            onChunk(std::move(samples), level);
        };
        auto recording = o.input->record(source, format, AudioCapture::framesPerBlock, std::move(onBlock));

        Answer answer{format, nullptr, tryWatch(*o.input, o.onConfigChange), tryWatch(*o.input, o.onDefaultChange)};
        bool accepted = false;
        if (auto shared = o.capture.lock()) {
            // Checking the generation and storing the engine in one step: a stop in
            // between would otherwise leave this stream running unowned.
            std::lock_guard lock(shared->lock);
            if (shared->generation.load() == o.generation && o.once->claim()) {
                shared->engine = std::move(recording);
                accepted = true;
                delivering->store(true);
            }
        }
        if (!accepted) {
            recording.reset();
            qCInfo(Log::audio()).noquote() << QStringLiteral("麦克风迟到打开，已丢弃");
            return;
        }
        o.answers.yield(std::move(answer));
    } catch (...) {
        if (o.once->claim())
            o.answers.yield(Answer{std::nullopt, std::current_exception(), nullptr, nullptr});
    }
}

} // namespace

AudioCapture::AudioCapture(std::shared_ptr<AudioInput> input, Clock& clock)
    : m_input(std::move(input)), m_clock(clock), m_shared(std::make_shared<Shared>()) {}

AudioCapture::~AudioCapture() {
    m_destroyed.cancel();
    stop();
    m_defaultInputListener.reset();
}

Task<AudioStreamFormat> AudioCapture::start(ChunkHandler onChunk, double timeoutSeconds) {
    stop();
    quint64 g = 0;
    {
        std::lock_guard lock(m_shared->lock);
        g = ++m_shared->generation;
    }
    auto once = std::make_shared<OnceFlag>();
    AsyncStream<Answer> answers;
    const ThreadPoster main = ThreadPoster::current();
    const std::weak_ptr<int> alive = m_alive;

    Opening opening;
    opening.input = m_input;
    opening.capture = m_shared;
    opening.once = once;
    opening.answers = answers;
    opening.generation = g;
    opening.selectedUID = MicDevices::selectedUID();
    opening.onChunk = std::move(onChunk);
    opening.onConfigChange = [main, alive, this, g](AudioChange change) {
        if (change == AudioChange::defaultSourceChanged)
            return;
        main.post([alive, this, g] {
            if (alive.lock())
                configurationChanged(g);
        });
    };
    opening.onDefaultChange = [main, alive, this](AudioChange change) {
        if (change != AudioChange::defaultSourceChanged)
            return;
        main.post([alive, this] {
            if (alive.lock())
                defaultSourceChanged();
        });
    };
    std::thread(runOpening, std::move(opening)).detach();

    CancellationSource timer = CancellationSource::linkedTo(m_destroyed.token());
    spawn([clock = &m_clock, once, answers, timeoutSeconds](CancellationToken token) -> Task<void> {
        // Cancelled after an answer (the claim then fails), or because the capture
        // is destroyed: its caller still gets an answer.
        const bool expired = co_await clock->sleep(secondsF(timeoutSeconds), token);
        if (!once->claim())
            co_return;
        if (expired)
            qCCritical(Log::audio()).noquote() << QString::asprintf("打开麦克风超过 %fs 无响应", timeoutSeconds);
        answers.yield(Answer{std::nullopt, std::make_exception_ptr(CaptureError(CaptureError::Case::timeout)),
                             nullptr, nullptr});
    }, timer.token());

    auto next = answers.next();
    std::optional<Answer> answer = co_await std::move(next);
    if (!alive.lock())
        throw CaptureError(CaptureError::Case::timeout);
    timer.cancel();
    if (!answer || answer->error)
        std::rethrow_exception(answer ? answer->error : std::make_exception_ptr(CaptureError(CaptureError::Case::timeout)));

    // A stop that came after the opening was accepted already took its engine.
    if (m_shared->generation.load() == g) {
        m_running = true;
        m_configObserver = std::move(answer->configObserver);
        m_configObserverId = g;
        if (!m_defaultInputListener)
            m_defaultInputListener = std::move(answer->defaultInputListener);
        qCInfo(Log::audio()).noquote() << QString::asprintf("采集开始：%fHz → 16kHz", answer->format->sampleRate);
    }
    co_return *answer->format;
}

void AudioCapture::stop() {
    std::unique_ptr<AudioRecording> taken;
    {
        std::lock_guard lock(m_shared->lock);
        ++m_shared->generation;
        taken = std::move(m_shared->engine);
    }
    m_running = false;
    m_configObserver.reset();
    taken.reset();
    qCInfo(Log::audio()).noquote() << QStringLiteral("采集停止");
}

void AudioCapture::configurationChanged(quint64 observer) {
    if (m_running && m_configObserverId == observer && onConfigurationChange)
        onConfigurationChange();
}

void AudioCapture::defaultSourceChanged() {
    if (!m_running)
        return;
    qCInfo(Log::audio()).noquote() << QStringLiteral("系统默认麦克风已变化");
    if (onConfigurationChange)
        onConfigurationChange();
}

} // namespace zelk
