#include "asr/sherpa_streaming_asr.h"

#include "asr/asr_error.h"
#include "asr/recognizer_text.h"
#include "asr/sherpa_config.h"
#include "asr/sherpa_model_file.h"
#include "core/log.h"

#include <algorithm>
#include <climits>
#include <exception>

namespace zelk {

namespace {
constexpr int32_t sampleRate = 16000;
}

namespace {
bool isLatinWordChar(QChar c) { return c.unicode() < 0x0250 && c.isLetterOrNumber(); }
} // namespace

QString joinSegments(const QString& a, const QString& b) {
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    // Chinese runs on without a separator; Latin words of two segments would
    // otherwise run together ("WORLDHOW").
    const QChar last = a.back();
    if (isLatinWordChar(b.front()) && (isLatinWordChar(last) || QStringLiteral(".,!?;:").contains(last)))
        return a + QLatin1Char(' ') + b;
    return a + b;
}

SherpaStreamingASR::SherpaStreamingASR(const QString& modelDir, int32_t threads) {
    const QString name = SherpaModelFile::dirName(modelDir);
    {
        CStringArena arena;
        const SherpaOnnxOnlineRecognizerConfig config = SherpaConfig::streaming(modelDir, threads, arena);
        try {
            m_recognizer = SherpaOnnxCreateOnlineRecognizer(&config);
        } catch (const std::exception& e) {
            // A file that is not a model: the library throws instead of answering null.
            qCCritical(Log::asr) << "流式引擎创建异常：" << e.what();
            m_recognizer = nullptr;
        }
    }
    if (!m_recognizer)
        throw ASRError::createFailed(QStringLiteral("OnlineRecognizer(") + name + QLatin1Char(')'));
    m_stream = SherpaOnnxCreateOnlineStream(m_recognizer);
    if (!m_stream) {
        SherpaOnnxDestroyOnlineRecognizer(m_recognizer);
        m_recognizer = nullptr;
        throw ASRError::createFailed(QStringLiteral("OnlineStream"));
    }
    qCInfo(Log::asr).noquote() << QStringLiteral("流式引擎就绪：%1").arg(name);
}

SherpaStreamingASR::~SherpaStreamingASR() {
    SherpaOnnxDestroyOnlineStream(m_stream);
    SherpaOnnxDestroyOnlineRecognizer(m_recognizer);
}

void SherpaStreamingASR::decodeReady() {
    while (SherpaOnnxIsOnlineStreamReady(m_recognizer, m_stream))
        SherpaOnnxDecodeOnlineStream(m_recognizer, m_stream);
}

QString SherpaStreamingASR::currentText() {
    const SherpaOnnxOnlineRecognizerResult* r = SherpaOnnxGetOnlineStreamResult(m_recognizer, m_stream);
    const QString text = recognizerText(r ? r->text : nullptr);
    SherpaOnnxDestroyOnlineRecognizerResult(r);
    return text;
}

SherpaStreamingASR::Partial SherpaStreamingASR::accept(std::span<const float> samples) {
    if (m_streamFailed)
        return Partial{m_committedText, QString(), false, QString()};
    try {
        return acceptChunk(samples);
    } catch (const std::exception& e) {
        streamFailed(e);
        return Partial{m_committedText, QString(), false, QString()};
    }
}

void SherpaStreamingASR::streamFailed(const std::exception& e) {
    // A model that fails at run time (a shape error, a token missing from its
    // table) leaves the stream's state half moved: the next decode on it would
    // crash. Keep the text so far and leave the stream alone until reset().
    qCCritical(Log::asr) << "流式解码异常：" << e.what();
    m_streamFailed = true;
    ++m_decodeErrors;
}

SherpaStreamingASR::Partial SherpaStreamingASR::acceptChunk(std::span<const float> samples) {
    // The library takes a 32-bit count; longer input goes in several calls.
    while (!samples.empty()) {
        const std::size_t n = std::min<std::size_t>(samples.size(), INT32_MAX);
        SherpaOnnxOnlineStreamAcceptWaveform(m_stream, sampleRate, samples.data(), int32_t(n));
        samples = samples.subspan(n);
    }
    decodeReady();
    if (SherpaOnnxOnlineStreamIsEndpoint(m_recognizer, m_stream)) {
        const QString segment = currentText();
        m_committedText = joinSegments(m_committedText, segment);
        SherpaOnnxOnlineStreamReset(m_recognizer, m_stream);
        return Partial{m_committedText, QString(), true, segment};
    }
    return Partial{m_committedText, currentText(), false, QString()};
}

QString SherpaStreamingASR::finish() {
    if (m_streamFailed)
        return m_committedText;
    try {
        SherpaOnnxOnlineStreamInputFinished(m_stream);
        decodeReady();
        m_committedText = joinSegments(m_committedText, currentText());
    } catch (const std::exception& e) {
        streamFailed(e);
    }
    return m_committedText;
}

void SherpaStreamingASR::reset() {
    m_committedText.clear();
    m_streamFailed = false;
    SherpaOnnxDestroyOnlineStream(m_stream);
    m_stream = SherpaOnnxCreateOnlineStream(m_recognizer);
}

} // namespace zelk
