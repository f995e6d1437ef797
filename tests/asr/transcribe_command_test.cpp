#include "asr/model_locator.h"
#include "asr_test_support.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtEndian>

using namespace zelk;

namespace {

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

// `zelk transcribe` as the user runs it, with HOME in a throwaway folder.
class TranscribeCommand : public ::testing::Test {
protected:
    Outcome run(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ZELK_MODEL_DIR"));
        p.setProcessEnvironment(env);
        p.start(test::zelkExecutable(), QStringList{QStringLiteral("transcribe")} + args);
        EXPECT_TRUE(p.waitForFinished(120000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    // 16-bit PCM at 22.05 kHz stereo, so the command has to convert.
    QString writeWav(const std::vector<float>& mono16k) {
        QByteArray pcm;
        const double ratio = 22050.0 / 16000.0;
        const std::size_t frames = std::size_t(double(mono16k.size()) * ratio);
        for (std::size_t i = 0; i < frames; ++i) {
            const float v = mono16k[std::min(mono16k.size() - 1, std::size_t(double(i) / ratio))];
            const qint16 s = qint16(std::clamp(v, -1.0f, 1.0f) * 32767);
            for (int c = 0; c < 2; ++c) {
                char b[2];
                qToLittleEndian(s, b);
                pcm.append(b, 2);
            }
        }
        auto le = [](quint32 v, int n) {
            QByteArray b(n, 0);
            for (int i = 0; i < n; ++i)
                b[i] = char((v >> (8 * i)) & 0xFF);
            return b;
        };
        const QByteArray wav = "RIFF" + le(36 + quint32(pcm.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(2, 2) +
                               le(22050, 4) + le(22050 * 4, 4) + le(4, 2) + le(16, 2) + "data" + le(quint32(pcm.size()), 4) + pcm;
        const QString path = home.path() + QStringLiteral("/speech.wav");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(wav);
        return path;
    }

    void install(const QString& name, const QString& source) {
        QDir().mkpath(modelRoot.path());
        QFile::link(source, QDir(modelRoot.path()).filePath(name));
    }

    test::TestHome home; // the child inherits HOME and the XDG folders
    QTemporaryDir modelRoot;
};

const auto phrases = [] {
    return test::concat({test::noise(0.5), test::silence(1.2), test::noise(0.6, 0.3f, 2), test::silence(0.5)});
};

TEST_F(TranscribeCommand, PrintsTheFinalTranscriptWithTheUsersHotwordsGuarded) {
    install(ModelLocator::streamingModelName, test::syntheticModel(QStringLiteral("streaming")));
    install(ModelLocator::transducerModelName, test::syntheticModel(QStringLiteral("offline-talking")));
    // The user's dictionary makes ZOOM a hotword; the drafts show no trace of it.
    const QString dictionary = home.path() + QStringLiteral("/.local/share/Zelk/dictionary.json");
    QDir().mkpath(QFileInfo(dictionary).path());
    QFile f(dictionary);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"(["ZOOM"])");
    f.close();

    const Outcome r = run({QStringLiteral("--models"), modelRoot.path(), writeWav(phrases())});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("OPEN NOW OPEN NOW\n"));
}

TEST_F(TranscribeCommand, JsonReportsSegmentsWithDraftsFinalTextsAndTimings) {
    install(ModelLocator::streamingModelName, test::syntheticModel(QStringLiteral("streaming")));
    install(ModelLocator::transducerModelName, test::syntheticModel(QStringLiteral("offline-talking")));
    const Outcome r = run({QStringLiteral("--json"), QStringLiteral("--models"), modelRoot.path(), writeWav(phrases())});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o.value("text").toString(), QStringLiteral("OPEN ZOOM NOW OPEN ZOOM NOW"));
    EXPECT_TRUE(o.value("draft").toString().startsWith(QStringLiteral("OPEN")));
    EXPECT_NEAR(o.value("duration").toDouble(), 2.8, 0.01);
    const QJsonArray segments = o.value("segments").toArray();
    ASSERT_EQ(segments.size(), 2);
    EXPECT_EQ(segments[0].toObject().value("start").toDouble(), 0.0);
    EXPECT_EQ(segments[1].toObject().value("start").toDouble(), segments[0].toObject().value("end").toDouble());
    EXPECT_EQ(segments[0].toObject().value("final").toString(), QStringLiteral("OPEN ZOOM NOW"));
    EXPECT_TRUE(segments[0].toObject().value("draft").toString().startsWith(QStringLiteral("OPEN")));
    EXPECT_GE(segments[0].toObject().value("decodeMs").toDouble(), 0.0);
    EXPECT_TRUE(o.contains("streamingMs"));
    EXPECT_TRUE(o.contains("finishMs"));
}

TEST_F(TranscribeCommand, RealSpeechFile) {
    const QString model = test::sharedModelsDir();
    if (model.isEmpty())
        GTEST_SKIP() << "real model folder ../shared/models/streaming-en-zipformer-3.3M is absent";
    const auto speech = test::speech(QStringLiteral("Open the file and save the document."));
    if (speech.empty())
        GTEST_SKIP() << "espeak-ng or sox is missing";
    // Through the environment root this time.
    install(ModelLocator::streamingModelName, model);
    install(ModelLocator::transducerModelName, test::syntheticModel(QStringLiteral("offline-silent")));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZELK_MODEL_DIR"), modelRoot.path());
    p.setProcessEnvironment(env);
    p.start(test::zelkExecutable(), {QStringLiteral("transcribe"), writeWav(test::concat({speech, test::silence(0.5)}))});
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("OPEN THE FILE"))) << out.toStdString();
}

TEST_F(TranscribeCommand, MissingModelsFailWithTheUserMessage) {
    const Outcome r = run({QStringLiteral("--models"), modelRoot.path(), writeWav(test::noise(0.5))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("语音识别模型未找到或不完整，请在设置中重新下载"))) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
}

TEST_F(TranscribeCommand, BrokenModelFailsCleanly) {
    install(ModelLocator::streamingModelName, test::syntheticModel(QStringLiteral("broken-no-model-type")));
    install(ModelLocator::transducerModelName, test::syntheticModel(QStringLiteral("offline-silent")));
    const Outcome r = run({QStringLiteral("--models"), modelRoot.path(), writeWav(test::noise(0.5))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("语音识别引擎启动失败，请在设置中重新下载语音识别模型"))) << r.err.toStdString();
}

struct UsageCase {
    QStringList args;
    int exitCode;
};
void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.args.join(QLatin1Char(' ')).toStdString(); }
class TranscribeUsage : public TranscribeCommand, public ::testing::WithParamInterface<UsageCase> {};
TEST_P(TranscribeUsage, ExitCodes) { EXPECT_EQ(run(GetParam().args).exitCode, GetParam().exitCode); }
INSTANTIATE_TEST_SUITE_P(Cases, TranscribeUsage,
                         ::testing::Values(UsageCase{{}, 2}, UsageCase{{"--help"}, 0}, UsageCase{{"--bogus", "x.wav"}, 2},
                                           UsageCase{{"--chunk-ms", "0", "x.wav"}, 2}, UsageCase{{"a.wav", "b.wav"}, 2},
                                           UsageCase{{"/nonexistent.wav"}, 1}));

} // namespace
