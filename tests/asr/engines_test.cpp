#include "asr/asr_error.h"
#include "asr/sherpa_offline_asr.h"
#include "asr/sherpa_streaming_asr.h"
#include "asr_test_support.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace zelk;

namespace {

// Feeds in 100 ms chunks; answers every partial.
std::vector<SherpaStreamingASR::Partial> stream(SherpaStreamingASR& engine, const std::vector<float>& samples) {
    std::vector<SherpaStreamingASR::Partial> out;
    for (std::size_t i = 0; i < samples.size(); i += 1600) {
        const std::size_t n = std::min<std::size_t>(1600, samples.size() - i);
        out.push_back(engine.accept(std::span<const float>(samples.data() + i, n)));
    }
    return out;
}

std::vector<SherpaStreamingASR::Partial> endpoints(const std::vector<SherpaStreamingASR::Partial>& partials) {
    std::vector<SherpaStreamingASR::Partial> out;
    for (const auto& p : partials)
        if (p.endpointed)
            out.push_back(p);
    return out;
}

class StreamingEngine : public ::testing::Test {
protected:
    void SetUp() override {
        const QString dir = test::syntheticModel(QStringLiteral("streaming"));
        ASSERT_TRUE(QFileInfo::exists(dir)) << "model generator failed";
        engine = std::make_unique<SherpaStreamingASR>(dir, 2);
    }
    std::unique_ptr<SherpaStreamingASR> engine;
};

TEST_F(StreamingEngine, SpeechThenPauseEndpointsAndCommitsTheSegment) {
    const auto partials = stream(*engine, test::concat({test::noise(0.6), test::silence(1.2)}));
    // While the noise plays the caption is pending and grows.
    const auto firstPending = std::find_if(partials.begin(), partials.end(), [](const auto& p) { return !p.pending.isEmpty(); });
    ASSERT_NE(firstPending, partials.end());
    EXPECT_TRUE(firstPending->pending.startsWith(QStringLiteral("OPEN")));
    EXPECT_TRUE(firstPending->committed.isEmpty());

    const auto ends = endpoints(partials);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_TRUE(ends[0].pending.isEmpty());
    EXPECT_TRUE(ends[0].segmentDraft.startsWith(QStringLiteral("OPEN OPEN")));
    EXPECT_EQ(ends[0].committed, ends[0].segmentDraft);
    EXPECT_EQ(engine->committedText(), ends[0].segmentDraft);
    // After the endpoint the new segment starts empty.
    EXPECT_EQ(partials.back().pending, QString());
    EXPECT_FALSE(partials.back().endpointed);
}

TEST_F(StreamingEngine, SegmentsJoinAndFinishAddsTheOpenSegment) {
    const auto partials =
        stream(*engine, test::concat({test::noise(0.5), test::silence(1.2), test::noise(0.5, 0.3f, 2), test::silence(1.2),
                                      test::noise(0.4, 0.3f, 3), test::silence(0.3)}));
    const auto ends = endpoints(partials);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[1].committed, joinSegments(ends[0].segmentDraft, ends[1].segmentDraft));
    const QString open = partials.back().pending;
    ASSERT_FALSE(open.isEmpty());
    const QString all = engine->finish();
    EXPECT_TRUE(all.startsWith(ends[1].committed));
    EXPECT_GT(all.size(), ends[1].committed.size());
}

TEST_F(StreamingEngine, EndpointInSilenceReportsAnEmptyDraftAndKeepsTheCommittedText) {
    stream(*engine, test::concat({test::noise(0.5), test::silence(1.2)}));
    const QString committed = engine->committedText();
    ASSERT_FALSE(committed.isEmpty());
    // Rule 1: a long silence without speech ends a segment with nothing in it.
    const auto ends = endpoints(stream(*engine, test::silence(3.0)));
    ASSERT_GE(ends.size(), 1u);
    EXPECT_TRUE(ends[0].endpointed);
    EXPECT_EQ(ends[0].segmentDraft, QString());
    EXPECT_EQ(ends[0].committed, committed);
}

TEST_F(StreamingEngine, ResetStartsAFreshSession) {
    stream(*engine, test::concat({test::noise(0.5), test::silence(1.2)}));
    ASSERT_FALSE(engine->committedText().isEmpty());
    engine->reset();
    EXPECT_EQ(engine->committedText(), QString());
    const auto p = engine->accept(test::silence(0.2));
    EXPECT_EQ(p, (SherpaStreamingASR::Partial{QString(), QString(), false, QString()}));
    EXPECT_EQ(engine->finish(), QString());
}

struct JoinCase {
    QString a, b, joined;
};
void PrintTo(const JoinCase& c, std::ostream* os) { *os << (c.a + QLatin1Char('|') + c.b).toStdString(); }
class JoinSegments : public ::testing::TestWithParam<JoinCase> {};
TEST_P(JoinSegments, Joins) { EXPECT_EQ(joinSegments(GetParam().a, GetParam().b), GetParam().joined); }
INSTANTIATE_TEST_SUITE_P(Cases, JoinSegments,
                         ::testing::Values(JoinCase{"你好。", "再见。", "你好。再见。"}, JoinCase{"", "再见", "再见"},
                                           JoinCase{"你好", "", "你好"}, JoinCase{"你好", "hello", "你好hello"},
                                           // Latin words of two segments must not run together.
                                           JoinCase{"HELLO WORLD", "HOW ARE YOU", "HELLO WORLD HOW ARE YOU"},
                                           JoinCase{"Hello world.", "How are you", "Hello world. How are you"},
                                           JoinCase{"ok ", "then", "ok then"}, JoinCase{"iPhone", "拍照", "iPhone拍照"}));

struct OfflineCase {
    const char* model;
    QString expected;
};
void PrintTo(const OfflineCase& c, std::ostream* os) { *os << c.model; }
class OfflineEngine : public ::testing::TestWithParam<OfflineCase> {};

TEST_P(OfflineEngine, TranscribesAStretch) {
    SherpaOfflineASR engine(OfflineModelKind::transducer(test::syntheticModel(QString::fromLatin1(GetParam().model))), 4,
                            QStringLiteral("ZOOM"));
    EXPECT_EQ(engine.transcribe(test::concat({test::noise(0.5), test::silence(0.3)})), GetParam().expected);
    // Each call is a stream of its own.
    EXPECT_EQ(engine.transcribe(test::noise(0.4)), GetParam().expected);
    EXPECT_EQ(engine.transcribe({}), QString());
}

INSTANTIATE_TEST_SUITE_P(Models, OfflineEngine,
                         ::testing::Values(OfflineCase{"offline-silent", ""}, OfflineCase{"offline-talking", "OPEN ZOOM NOW"}));

TEST(EngineConstruction, FileThatIsNotAModelIsCreateFailedInProcess) {
    // The library throws from C++ here; the engine turns that into createFailed.
    try {
        SherpaStreamingASR engine(test::syntheticModel(QStringLiteral("broken-not-onnx")), 1);
        FAIL();
    } catch (const ASRError& e) {
        EXPECT_EQ(e, ASRError::createFailed(QStringLiteral("OnlineRecognizer(broken-not-onnx)")));
    }
}

// Every decode of this model throws inside the library and leaves the stream
// half moved; touching that stream again would crash.
TEST(StreamingEngineFailure, DecodeThatThrowsStopsTheStreamUntilReset) {
    SherpaStreamingASR engine(test::syntheticModel(QStringLiteral("broken-bad-state")), 1);
    const auto partials = stream(engine, test::noise(0.6));
    EXPECT_EQ(engine.decodeErrors(), 1);
    EXPECT_EQ(partials.back(), (SherpaStreamingASR::Partial{QString(), QString(), false, QString()}));
    EXPECT_EQ(engine.finish(), QString());
    engine.reset(); // a fresh stream may be tried again
    engine.accept(test::noise(0.6));
    EXPECT_EQ(engine.decodeErrors(), 2);
}

TEST(EngineConstruction, MissingFilesAreModelNotFoundOrRefused) {
    QTemporaryDir empty;
    EXPECT_THROW(SherpaStreamingASR(empty.path(), 1), ASRError);
    // Files present but tokens.txt missing: the library refuses the configuration.
    QTemporaryDir partial;
    const QString src = test::syntheticModel(QStringLiteral("offline-silent"));
    for (const char* f : {"encoder.onnx", "decoder.onnx", "joiner.onnx"})
        QFile::copy(QDir(src).filePath(QString::fromLatin1(f)), partial.filePath(QString::fromLatin1(f)));
    try {
        SherpaOfflineASR engine(OfflineModelKind::transducer(partial.path()), 1, {});
        FAIL();
    } catch (const ASRError& e) {
        EXPECT_EQ(e.errorCase(), ASRError::Case::createFailed);
        EXPECT_TRUE(e.payload().startsWith(QStringLiteral("OfflineRecognizer(")));
    }
    // A Qwen3 directory without its tokenizer files fails validation, not the process.
    QTemporaryDir qwen;
    for (const char* f : {"conv_frontend.onnx", "encoder.onnx", "decoder.onnx"})
        QFile::copy(QDir(src).filePath(QStringLiteral("encoder.onnx")), qwen.filePath(QString::fromLatin1(f)));
    EXPECT_THROW(SherpaOfflineASR(OfflineModelKind::qwen3(qwen.path()), 1, QStringLiteral("飞书")), ASRError);
}

} // namespace
