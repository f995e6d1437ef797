#pragma once

#include "asr/offline_model_kind.h"
#include "core/actor.h"
#include "core/task.h"

#include <QString>

#include <chrono>
#include <memory>
#include <vector>

namespace zelk {

class SherpaOfflineASR;

// The offline recogniser of the final pass, confined to an actor of its own so
// long decodes never hold up the streaming path. Jobs run in the order queued.
class FinalPassDecoder {
public:
    struct Decoded {
        QString text;
        std::chrono::nanoseconds elapsed{}; // the engine's own decode time
    };

    FinalPassDecoder();
    ~FinalPassDecoder();

    // Builds a new engine and, only when that succeeds, replaces the current
    // one. Throws ASRError; the old engine then stays.
    Task<void> load(OfflineModelKind kind, int32_t threads, QString hotwords);

    // The engine's text for the samples (empty without an engine), with the
    // time the engine took.
    ActorResult<Decoded> decode(std::vector<float> samples);

private:
    std::unique_ptr<SherpaOfflineASR> m_engine; // used only on m_actor
    Actor m_actor;                              // last: joins before the engine goes
};

} // namespace zelk
