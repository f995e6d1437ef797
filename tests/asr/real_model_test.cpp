#include "asr/model_locator.h"
#include "asr/two_pass_transcriber.h"
#include "asr_test_support.h"
#include "core/sync_wait.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zelk;

namespace {

// The real small English streaming model with speech made at test time.
class RealModel : public ::testing::Test {
protected:
    void SetUp() override {
        model = test::sharedModelsDir();
        if (model.isEmpty())
            GTEST_SKIP() << "real model folder ../shared/models/streaming-en-zipformer-3.3M is absent";
        first = test::speech(QStringLiteral("Please turn on the lights in the kitchen."));
        second = test::speech(QStringLiteral("Open the file and save the document."));
        if (first.empty() || second.empty())
            GTEST_SKIP() << "espeak-ng or sox is missing";
        root.install(ModelLocator::streamingModelName, model);
        root.install(ModelLocator::transducerModelName, test::syntheticModel(QStringLiteral("offline-silent")));
    }

    QString model;
    std::vector<float> first, second;
    test::TestHome home;
    test::ModelRoot root;
};

TEST_F(RealModel, SpeechStreamsInCaptureChunksAndTheSilentFinalPassKeepsTheDraft) {
    TwoPassTranscriber transcriber(std::make_shared<ModelCheck>(test::zelkExecutable()));
    syncWait(transcriber.load(QString()));
    ASSERT_TRUE(transcriber.isReady()) << transcriber.state().message.toStdString();

    const auto audio = test::concat({test::silence(0.3), first, test::silence(1.5), second, test::silence(0.6)});
    transcriber.beginSession();
    std::vector<SherpaStreamingASR::Partial> partials;
    for (std::size_t i = 0; i < audio.size(); i += 1600) {
        std::vector<float> chunk(audio.begin() + i, audio.begin() + std::min(audio.size(), i + 1600));
        if (auto p = syncWait(transcriber.feed(std::move(chunk))))
            partials.push_back(*p);
    }
    ASSERT_EQ(partials.size(), (audio.size() + 1599) / 1600);

    // The caption grows while the first sentence is spoken.
    qsizetype longest = 0;
    int growths = 0;
    for (const auto& p : partials) {
        const qsizetype shown = p.committed.size() + p.pending.size();
        if (shown > longest) {
            longest = shown;
            ++growths;
        }
    }
    EXPECT_GE(growths, 3);

    // The pause between the sentences is an endpoint that closes a segment.
    const auto end = std::find_if(partials.begin(), partials.end(), [](const auto& p) { return p.endpointed; });
    ASSERT_NE(end, partials.end());
    EXPECT_FALSE(end->segmentDraft.isEmpty());
    EXPECT_EQ(end->committed, end->segmentDraft);
    EXPECT_GE(transcriber.segmentCount(), 1);

    const QString draft = syncWait(transcriber.finishStreaming());
    EXPECT_TRUE(draft.startsWith(end->segmentDraft));
    EXPECT_TRUE(draft.contains(QStringLiteral("TURN ON THE LIGHTS")) || draft.contains(QStringLiteral("FILE")))
        << draft.toStdString();
    const QString text = syncWait(transcriber.finalTranscript(draft));
    EXPECT_EQ(text, draft);
    EXPECT_GE(transcriber.segmentCount(), 2);
    transcriber.endSession();
}

} // namespace
