#pragma once

#include "asr/offline_model_kind.h"
#include "asr/sherpa_c_api.h"

#include <QString>

#include <cstdint>
#include <span>

namespace zelk {

// The offline recogniser of the final pass: decodes one finished stretch of
// audio at a time. Not thread-safe: one owner (the final-pass actor).
class SherpaOfflineASR {
public:
    using Kind = OfflineModelKind;

    // Throws ASRError (modelNotFound / createFailed). The hotword text reaches
    // only Qwen3 models.
    SherpaOfflineASR(const Kind& kind, int32_t threads, const QString& hotwords);
    ~SherpaOfflineASR();
    SherpaOfflineASR(const SherpaOfflineASR&) = delete;
    SherpaOfflineASR& operator=(const SherpaOfflineASR&) = delete;

    // 16 kHz mono samples in, tidied text out; empty when the library has no result.
    QString transcribe(std::span<const float> samples);
    // Decodes that threw since construction (the model check fails on any).
    int decodeErrors() const { return m_decodeErrors; }

private:
    const SherpaOnnxOfflineRecognizer* m_recognizer = nullptr;
    int m_decodeErrors = 0;
};

} // namespace zelk
