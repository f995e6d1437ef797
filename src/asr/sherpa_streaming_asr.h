#pragma once

#include "asr/sherpa_c_api.h"

#include <QString>

#include <cstdint>
#include <exception>
#include <span>

namespace zelk {

// The streaming recogniser behind the live caption. Not thread-safe: one owner
// (the transcriber's actor) uses it at a time.
class SherpaStreamingASR {
public:
    // The caption update for one chunk of audio.
    struct Partial {
        QString committed;    // every endpointed segment of the session so far
        QString pending;      // the open segment's hypothesis; empty when endpointed
        bool endpointed = false;
        QString segmentDraft; // the segment that just ended; empty unless endpointed
        bool operator==(const Partial&) const = default;
    };

    // Throws ASRError: modelNotFound for a missing model file, createFailed when
    // the library refuses the recogniser or its stream.
    SherpaStreamingASR(const QString& modelDir, int32_t threads);
    ~SherpaStreamingASR();
    SherpaStreamingASR(const SherpaStreamingASR&) = delete;
    SherpaStreamingASR& operator=(const SherpaStreamingASR&) = delete;

    // 16 kHz mono samples in; decodes every ready frame before answering.
    Partial accept(std::span<const float> samples);
    // Ends the input, decodes the rest and answers the whole committed text.
    QString finish();
    // A fresh stream with empty committed text (session start and end).
    void reset();

    const QString& committedText() const { return m_committedText; }
    // Decodes that threw since construction (the model check fails on any).
    int decodeErrors() const { return m_decodeErrors; }

private:
    Partial acceptChunk(std::span<const float> samples);
    void decodeReady();
    void streamFailed(const std::exception& e);
    QString currentText();

    const SherpaOnnxOnlineRecognizer* m_recognizer = nullptr;
    const SherpaOnnxOnlineStream* m_stream = nullptr;
    QString m_committedText;
    bool m_streamFailed = false;
    int m_decodeErrors = 0;
};

// Segment texts are joined with no separator, except one space between Latin
// words or after Latin punctuation; empty ones add nothing.
QString joinSegments(const QString& a, const QString& b);

} // namespace zelk
