#include "asr/model_locator.h"
#include "asr/two_pass_transcriber.h"
#include "asr_test_support.h"
#include "core/sync_wait.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <QThread>

using namespace zelk;
using Phase = TwoPassTranscriber::State::Phase;
using Partial = SherpaStreamingASR::Partial;

namespace {

const QString modelMissing = QStringLiteral("语音识别模型未找到或不完整，请在设置中重新下载");
const QString engineRefused = QStringLiteral("语音识别引擎启动失败，请在设置中重新下载语音识别模型");

class Transcriber : public ::testing::Test {
protected:
    // Installs the synthetic streaming model and `finalPass` as the offline transducer.
    void installModels(const QString& finalPass = QStringLiteral("offline-silent"),
                       const QString& streaming = QStringLiteral("streaming")) {
        root.install(ModelLocator::streamingModelName, test::syntheticModel(streaming));
        if (!finalPass.isEmpty())
            root.install(ModelLocator::transducerModelName, test::syntheticModel(finalPass));
    }

    void load(const QString& hotwords = {}) { syncWait(transcriber.load(hotwords)); }

    std::vector<Partial> feedAll(const std::vector<float>& samples, std::size_t chunk = 1600) {
        std::vector<Partial> out;
        for (std::size_t i = 0; i < samples.size(); i += chunk) {
            std::vector<float> piece(samples.begin() + i, samples.begin() + std::min(samples.size(), i + chunk));
            if (auto p = syncWait(transcriber.feed(std::move(piece))))
                out.push_back(*p);
        }
        return out;
    }

    // One whole dictation the way the controller runs it.
    QString dictate(const std::vector<float>& samples) {
        transcriber.beginSession();
        feedAll(samples);
        const QString draft = syncWait(transcriber.finishStreaming());
        lastDraft = draft;
        return syncWait(transcriber.finalTranscript(draft));
    }

    static std::vector<float> twoPhrases() {
        return test::concat({test::noise(0.5), test::silence(1.2), test::noise(0.6, 0.3f, 2), test::silence(0.5)});
    }

    test::TestHome home;
    test::ModelRoot root;
    TwoPassTranscriber transcriber{std::make_shared<ModelCheck>(test::zelkExecutable())};
    QString lastDraft;
};

TEST_F(Transcriber, SilentFinalPassFallsBackToTheDraftsSegmentBySegment) {
    installModels(QStringLiteral("offline-silent"));
    load();
    ASSERT_TRUE(transcriber.isReady()) << transcriber.state().message.toStdString();
    const QString text = dictate(twoPhrases());
    EXPECT_EQ(transcriber.segmentCount(), 2);
    ASSERT_FALSE(lastDraft.isEmpty());
    EXPECT_EQ(text, lastDraft);
    const auto segments = transcriber.segments();
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].startSample, 0);
    EXPECT_EQ(segments[1].startSample, segments[0].endSample);
    EXPECT_EQ(segments[1].endSample, qsizetype(twoPhrases().size()));
    EXPECT_TRUE(segments[0].decoded);
    EXPECT_EQ(segments[0].finalText, QString());
    EXPECT_DOUBLE_EQ(transcriber.sessionDuration(), double(twoPhrases().size()) / 16000.0);
    transcriber.endSession();
    EXPECT_EQ(transcriber.sessionDuration(), 0.0);
}

TEST_F(Transcriber, FinalPassTextReplacesEachDraftAndUnsupportedHotwordsAreStripped) {
    installModels(QStringLiteral("offline-talking"));
    load(QStringLiteral("ZOOM OPEN"));
    ASSERT_TRUE(transcriber.isReady());
    // The drafts say OPEN only: ZOOM has no trace in them and is removed, OPEN stays.
    EXPECT_EQ(dictate(twoPhrases()), QStringLiteral("OPEN NOW OPEN NOW"));
    transcriber.endSession();

    // Without hotwords the final pass is taken as it is.
    syncWait(transcriber.reloadHotwords(QString()));
    EXPECT_EQ(transcriber.currentHotwords(), QString());
    EXPECT_EQ(dictate(twoPhrases()), QStringLiteral("OPEN ZOOM NOW OPEN ZOOM NOW"));
}

TEST_F(Transcriber, SessionWithoutEndpointIsOneSegmentWhenLongEnough) {
    installModels(QStringLiteral("offline-talking"));
    load();
    // 0.5 s of speech and no pause: one segment from the open draft.
    EXPECT_EQ(dictate(test::noise(0.5)), QStringLiteral("OPEN ZOOM NOW"));
    EXPECT_EQ(transcriber.segmentCount(), 1);
    transcriber.endSession();
    // 0.2 s is below the shortest segment: the streaming draft is the answer.
    const QString text = dictate(test::noise(0.2));
    EXPECT_EQ(transcriber.segmentCount(), 0);
    EXPECT_EQ(text, lastDraft);
}

TEST_F(Transcriber, BeginSessionResetsTheStreamingDraft) {
    installModels();
    load();
    dictate(twoPhrases());
    transcriber.endSession();
    transcriber.beginSession();
    const auto partials = feedAll(test::silence(0.3));
    ASSERT_FALSE(partials.empty());
    EXPECT_EQ(partials.back().committed, QString());
    EXPECT_EQ(syncWait(transcriber.finishStreaming()), QString());
}

TEST_F(Transcriber, DecodeFinishingAfterTheSessionEndedStoresNothing) {
    installModels(QStringLiteral("offline-talking"));
    load();
    transcriber.beginSession();
    const auto partials = feedAll(test::concat({test::noise(0.5), test::silence(1.2)}));
    ASSERT_EQ(transcriber.segmentCount(), 1); // its decode is now under way
    transcriber.endSession();
    transcriber.beginSession();
    feedAll(test::silence(0.2));
    // Let the old decode come back.
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_TRUE(transcriber.segments().empty());
    const QString draft = syncWait(transcriber.finishStreaming());
    EXPECT_EQ(syncWait(transcriber.finalTranscript(draft)), draft);
}

TEST_F(Transcriber, DestroyedWithADecodeUnderWayLeavesNothingBehind) {
    installModels(QStringLiteral("offline-talking"));
    {
        TwoPassTranscriber short_lived{std::make_shared<ModelCheck>(test::zelkExecutable())};
        syncWait(short_lived.load(QString()));
        ASSERT_TRUE(short_lived.isReady());
        short_lived.beginSession();
        for (std::size_t i = 0; i < 2; ++i) {
            const auto audio = test::concat({test::noise(0.5), test::silence(1.2)});
            for (std::size_t j = 0; j < audio.size(); j += 1600)
                syncWait(short_lived.feed(std::vector<float>(audio.begin() + j, audio.begin() + std::min(audio.size(), j + 1600))));
        }
        ASSERT_GE(short_lived.segmentCount(), 1);
    }
    // The decodes' results come back to a transcriber that is gone.
    QThread::msleep(50);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

TEST_F(Transcriber, CaptionsShowCommittedAndPendingText) {
    installModels();
    load();
    transcriber.beginSession();
    const auto partials = feedAll(twoPhrases());
    const auto end = std::find_if(partials.begin(), partials.end(), [](const Partial& p) { return p.endpointed; });
    ASSERT_NE(end, partials.end());
    EXPECT_FALSE(end->segmentDraft.isEmpty());
    EXPECT_TRUE(std::any_of(partials.begin(), end, [](const Partial& p) { return !p.pending.isEmpty(); }));
    EXPECT_TRUE(std::any_of(end + 1, partials.end(),
                            [&](const Partial& p) { return p.committed == end->committed && !p.pending.isEmpty(); }));
}

struct LoadFailureCase {
    const char* streaming;  // synthetic model for the streaming name, or ""
    const char* finalPass;  // synthetic model for the offline transducer name, or ""
    QString message;
    bool streamingBuilt;
};

void PrintTo(const LoadFailureCase& c, std::ostream* os) { *os << "streaming=" << c.streaming << " final=" << c.finalPass; }

class TranscriberLoadFailure : public Transcriber, public ::testing::WithParamInterface<LoadFailureCase> {};

TEST_P(TranscriberLoadFailure, FailsWithTheUserMessageAndTheProcessSurvives) {
    if (*GetParam().streaming)
        root.install(ModelLocator::streamingModelName, test::syntheticModel(QString::fromLatin1(GetParam().streaming)));
    if (*GetParam().finalPass)
        root.install(ModelLocator::transducerModelName, test::syntheticModel(QString::fromLatin1(GetParam().finalPass)));
    load();
    EXPECT_EQ(transcriber.state().phase, Phase::failed);
    EXPECT_EQ(transcriber.failureMessage(), GetParam().message);
    EXPECT_FALSE(transcriber.isReady());

    // A loaded streaming engine stays and still gives captions; without it the
    // samples are only collected.
    transcriber.beginSession();
    const auto partials = feedAll(test::noise(0.5));
    EXPECT_EQ(!partials.empty(), GetParam().streamingBuilt);
    EXPECT_DOUBLE_EQ(transcriber.sessionDuration(), 0.5);
    transcriber.endSession();

    // load() does nothing once failed.
    syncWait(transcriber.load(QString()));
    EXPECT_EQ(transcriber.state().phase, Phase::failed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TranscriberLoadFailure,
    ::testing::Values(LoadFailureCase{"", "", modelMissing, false},
                      LoadFailureCase{"streaming", "", modelMissing, false},
                      LoadFailureCase{"", "offline-silent", modelMissing, false},
                      LoadFailureCase{"broken-no-model-type", "offline-silent", engineRefused, false},
                      LoadFailureCase{"broken-not-onnx", "offline-silent", engineRefused, false},
                      LoadFailureCase{"streaming", "broken-no-vocab", engineRefused, true}));

TEST_F(Transcriber, WithoutEnginesTheFinalTranscriptIsEmpty) {
    load();
    ASSERT_EQ(transcriber.state().phase, Phase::failed);
    EXPECT_EQ(dictate(test::noise(1.0)), QString());
}

TEST_F(Transcriber, ReloadAfterInstallLeavesFailed) {
    load();
    ASSERT_EQ(transcriber.state().phase, Phase::failed);
    installModels();
    syncWait(transcriber.reloadAfterInstall(QStringLiteral("飞书")));
    EXPECT_TRUE(transcriber.isReady());
    EXPECT_EQ(transcriber.currentHotwords(), QStringLiteral("飞书"));
    EXPECT_FALSE(dictate(twoPhrases()).isEmpty());
    // Ready: nothing to do.
    syncWait(transcriber.reloadAfterInstall(QStringLiteral("other")));
    EXPECT_EQ(transcriber.currentHotwords(), QStringLiteral("飞书"));
}

TEST_F(Transcriber, HotwordReloadOnlyWhenReadyAndChanged) {
    installModels(QStringLiteral("offline-talking"));
    // While loading, a reload is ignored and the text stays.
    auto loading = transcriber.load(QStringLiteral("ZOOM"));
    ASSERT_EQ(transcriber.state().phase, Phase::loading);
    syncWait(transcriber.reloadHotwords(QStringLiteral("OPEN")));
    EXPECT_EQ(transcriber.currentHotwords(), QStringLiteral("ZOOM"));
    syncWait(std::move(loading));
    ASSERT_TRUE(transcriber.isReady());

    syncWait(transcriber.reloadHotwords(QStringLiteral("NOW")));
    EXPECT_EQ(transcriber.currentHotwords(), QStringLiteral("NOW"));
    // The guard now checks NOW (unsupported by the drafts) and keeps ZOOM.
    EXPECT_EQ(dictate(test::noise(0.5)), QStringLiteral("OPEN ZOOM"));
}

} // namespace
