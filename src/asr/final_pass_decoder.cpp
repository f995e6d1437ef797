#include "asr/final_pass_decoder.h"

#include "asr/sherpa_offline_asr.h"

namespace zelk {

FinalPassDecoder::FinalPassDecoder() : m_actor(QStringLiteral("final-pass")) {}

FinalPassDecoder::~FinalPassDecoder() = default;

Task<void> FinalPassDecoder::load(OfflineModelKind kind, int32_t threads, QString hotwords) {
    // Temporaries inside a co_await expression are destroyed twice by GCC 12:
    // name the job and its awaiter.
    auto job = [this, kind, threads, hotwords] {
        auto engine = std::make_unique<SherpaOfflineASR>(kind, threads, hotwords);
        m_engine = std::move(engine);
    };
    auto built = m_actor.run(std::move(job));
    co_await std::move(built);
}

ActorResult<FinalPassDecoder::Decoded> FinalPassDecoder::decode(std::vector<float> samples) {
    return m_actor.run([this, samples = std::move(samples)] {
        if (!m_engine)
            return Decoded{};
        const auto start = std::chrono::steady_clock::now();
        QString text = m_engine->transcribe(samples);
        return Decoded{std::move(text), std::chrono::steady_clock::now() - start};
    });
}

} // namespace zelk
