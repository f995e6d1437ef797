#pragma once

#include "asr/final_pass_decoder.h"
#include "asr/model_check.h"
#include "asr/sherpa_streaming_asr.h"
#include "core/actor.h"
#include "core/task.h"

#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace zelk {

// Turns one dictation's samples into text in two passes: every chunk goes to
// the streaming recogniser (the live caption); every stretch it endpoints is
// decoded again in the background by the offline recogniser; at the end the
// segments are checked against their drafts and joined.
//
// Call from the main thread. The session data lives there; the streaming
// engine is confined to this object's actor and the offline engine to the
// FinalPassDecoder's, so neither recogniser is ever entered from two threads.
// Await each feed() before the next so samples and segments stay in order.
class TwoPassTranscriber {
public:
    struct State {
        enum class Phase { unloaded, loading, ready, failed };
        Phase phase = Phase::unloaded;
        QString message; // user-facing, for `failed`
        bool operator==(const State&) const = default;
    };

    // One closed segment of the last session, for reports and measurements.
    struct Segment {
        qsizetype startSample = 0;
        qsizetype endSample = 0;
        QString draft;
        QString finalText;        // the final-pass text as decoded (before the hotword guard)
        std::chrono::nanoseconds decodeTime{};
        bool decoded = false;
    };

    static constexpr qsizetype sampleRate = 16000;
    static constexpr qsizetype shortestSegment = 4800;
    static constexpr int32_t streamingThreads = 2;
    static constexpr int32_t offlineThreads = 4;

    explicit TwoPassTranscriber(std::shared_ptr<ModelCheck> check = std::make_shared<ModelCheck>());
    ~TwoPassTranscriber();
    TwoPassTranscriber(const TwoPassTranscriber&) = delete;
    TwoPassTranscriber& operator=(const TwoPassTranscriber&) = delete;

    // Builds both engines; only from `unloaded`.
    Task<void> load(QString hotwords);
    // Rebuilds the offline engine for a changed hotword text (when ready).
    Task<void> reloadHotwords(QString hotwords);
    // Loads again after models were installed (unless loading or ready).
    Task<void> reloadAfterInstall(QString hotwords);

    const State& state() const { return m_state; }
    bool isReady() const { return m_state.phase == State::Phase::ready; }
    std::optional<QString> failureMessage() const;
    const QString& currentHotwords() const { return m_currentHotwords; }

    void beginSession();
    // Runs the streaming engine on the chunk; nothing without one (the samples
    // are still collected).
    Task<std::optional<SherpaStreamingASR::Partial>> feed(std::vector<float> samples);
    // Ends the streaming input; the whole streaming draft.
    Task<QString> finishStreaming();
    // Closes the last segment, awaits the final pass and answers the text.
    Task<QString> finalTranscript(QString draft);
    double sessionDuration() const { return double(m_sessionSamples.size()) / double(sampleRate); }
    void endSession();

    int segmentCount() const { return m_segmentCount; }
    // The streaming engine's own time on this session's chunks (for measurements).
    std::chrono::nanoseconds streamingEngineTime() const { return m_streamingEngineTime; }
    // Segments of the current session in order (final texts once decoded).
    std::vector<Segment> segments() const;

private:
    Task<void> checkAndLoadFinalPass(OfflineModelKind kind, QString hotwords);
    void closeSegment(const QString& draft);
    Task<void> decodeSegment(std::vector<float> samples, int index, quint64 generation, CancellationToken token);
    void resetStreaming();
    void resetSessionData();

    std::shared_ptr<ModelCheck> m_check;
    State m_state;
    bool m_hasStreaming = false;
    std::vector<float> m_sessionSamples;
    qsizetype m_segmentStart = 0;
    std::map<int, Segment> m_segments;
    int m_segmentCount = 0;
    std::vector<TaskHandle> m_decodeTasks;
    quint64 m_generation = 0;
    std::chrono::nanoseconds m_streamingEngineTime{};
    QString m_currentHotwords;

    std::unique_ptr<SherpaStreamingASR> m_streaming; // used only on m_actor
    FinalPassDecoder m_finalPass;
    Actor m_actor; // last: joins before the engines go
};

} // namespace zelk
