#include "asr/sherpa_offline_asr.h"

#include "asr/asr_error.h"
#include "asr/recognizer_text.h"
#include "asr/sherpa_config.h"
#include "asr/sherpa_model_file.h"
#include "core/log.h"

#include <climits>
#include <exception>

namespace zelk {

SherpaOfflineASR::SherpaOfflineASR(const Kind& kind, int32_t threads, const QString& hotwords) {
    const QString name = SherpaModelFile::dirName(kind.dir);
    {
        CStringArena arena;
        const SherpaOnnxOfflineRecognizerConfig config = SherpaConfig::offline(kind, threads, hotwords, arena);
        try {
            m_recognizer = SherpaOnnxCreateOfflineRecognizer(&config);
        } catch (const std::exception& e) {
            qCCritical(Log::asr) << "离线引擎创建异常：" << e.what();
            m_recognizer = nullptr;
        }
    }
    if (!m_recognizer)
        throw ASRError::createFailed(QStringLiteral("OfflineRecognizer(") + name + QLatin1Char(')'));
    qCInfo(Log::asr).noquote() << QStringLiteral("离线引擎就绪：%1").arg(name);
}

SherpaOfflineASR::~SherpaOfflineASR() { SherpaOnnxDestroyOfflineRecognizer(m_recognizer); }

QString SherpaOfflineASR::transcribe(std::span<const float> samples) {
    // An offline stream takes its audio in one call with a 32-bit count; far
    // longer than any dictation, so refuse rather than split.
    if (samples.size() > std::size_t(INT32_MAX))
        return {};
    const SherpaOnnxOfflineStream* stream = SherpaOnnxCreateOfflineStream(m_recognizer);
    if (!stream)
        return {};
    QString answer;
    try {
        SherpaOnnxAcceptWaveformOffline(stream, 16000, samples.data(), int32_t(samples.size()));
        SherpaOnnxDecodeOfflineStream(m_recognizer, stream);
        const SherpaOnnxOfflineRecognizerResult* r = SherpaOnnxGetOfflineStreamResult(stream);
        answer = recognizerText(r ? r->text : nullptr);
        SherpaOnnxDestroyOfflineRecognizerResult(r);
    } catch (const std::exception& e) {
        // A model that emits a token missing from its table, or a shape error
        // at run time: no text for this stretch rather than a lost session.
        qCCritical(Log::asr) << "离线解码异常：" << e.what();
        answer.clear();
        ++m_decodeErrors;
    }
    SherpaOnnxDestroyOfflineStream(stream);
    return answer;
}

} // namespace zelk
