// The headless commands, run as the built program against the private sound
// server and the loopback archive server.
#include "asr/model_locator.h"
#include "support/loopback_http_server.h"
#include "audio/model_archives.h"
#include "audio/pulse_daemon.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QThread>
#include <QtEndian>

#include <cmath>

#include <thread>

using namespace zelk;
using namespace zelk::test;

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

class ZelkCommand : public testing::Test {
protected:
    void SetUp() override {
        program = qEnvironmentVariable("ZELK_BUILD_DIR") + "/zelk";
        if (!QFileInfo(program).isExecutable())
            GTEST_SKIP() << "the zelk program is not built";
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/.config");
        env.insert("XDG_CACHE_HOME", home.path() + "/.cache");
        env.insert("LANG", "C.UTF-8");
        env.remove("ZELK_MODEL_DIR");
    }
    // Runs the program while this thread's event loop keeps serving.
    Outcome zelk(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        Outcome r;
        if (!waitUntil([&] { return p.state() == QProcess::NotRunning; }, 60000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    void preferBase(const QString& base) {
        QDir().mkpath(home.path() + "/.config/Zelk");
        QFile prefs(home.path() + "/.config/Zelk/preferences.json");
        prefs.open(QIODevice::WriteOnly);
        prefs.write("{\"asrModelBase\": \"" + base.toUtf8() + "\"}");
    }

    QTemporaryDir home;
    QString program;
    QProcessEnvironment env;
};

TEST_F(ZelkCommand, ModelsReportsAndDownloadsWhatIsMissing) {
    LoopbackHttpServer server;
    server.setHandler([](const LoopbackHttpServer::Request& request) {
        const QString name = request.path.section('/', -1).chopped(int(strlen(".tar.bz2")));
        return Archives::get().bytes.contains(name) ? LoopbackHttpServer::Response::bytes(Archives::get().bytes[name])
                                                    : LoopbackHttpServer::Response::withStatus(404);
    });
    preferBase(server.baseUrl().toString() + "/models");

    Outcome status = zelk({"models"});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_EQ(status.out, "missing  " + ModelLocator::streamingModelName + "\nmissing  " + ModelLocator::qwen3ModelName +
                              "\nto download: 1.01 GB\n");

    Outcome download = zelk({"models", "download"});
    EXPECT_EQ(download.exitCode, 0) << download.err.toStdString();
    EXPECT_TRUE(download.out.startsWith("downloading 1.01 GB\n"));
    EXPECT_TRUE(download.out.endsWith("done 100%\ninstalled\n")) << download.out.toStdString();
    EXPECT_EQ(server.requestCount("/models/" + ModelLocator::qwen3ModelName + ".tar.bz2"), 1);

    status = zelk({"models"});
    EXPECT_EQ(status.out, "present  " + ModelLocator::streamingModelName + "\npresent  " + ModelLocator::qwen3ModelName +
                              "\nall models present\n");
    EXPECT_EQ(zelk({"models", "download"}).out, "all models present\n");
    EXPECT_EQ(zelk({"models", "--bogus"}).exitCode, 2);
}

TEST_F(ZelkCommand, ModelsDownloadFailureIsReportedWithThePublicText) {
    LoopbackHttpServer server;
    server.setHandler([](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Response::bytes("not an archive"); });
    preferBase(server.baseUrl().toString() + "/models");
    Outcome download = zelk({"models", "download"});
    EXPECT_EQ(download.exitCode, 1);
    EXPECT_TRUE(download.err.contains("zelk models: 语音识别模型未找到或不完整，请在设置中重新下载\n"))
        << download.err.toStdString();
    EXPECT_FALSE(download.err.contains("zelk models: sherpa"));
}

TEST_F(ZelkCommand, RecordWritesTheMicrophoneAsSixteenKilohertzFloat) {
    PulseDaemon daemon;
    if (!daemon.failure().isEmpty())
        GTEST_SKIP() << daemon.failure().toStdString();
    env.insert("PULSE_SERVER", daemon.server());

    Outcome list = zelk({"record", "--list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_TRUE(list.out.contains(QRegularExpression("^testmic\t[^\n]+\n", QRegularExpression::MultilineOption)))
        << list.out.toStdString();
    EXPECT_FALSE(list.out.contains("speaker.monitor"));

    // One second of a 0.5 amplitude tone at 48 kHz, fed once the program has opened the source.
    QByteArray pcm;
    for (int i = 0; i < 48000; ++i) {
        const qint16 v = qint16(16384 * std::sin(2 * M_PI * 440 * i / 48000.0));
        char b[2];
        qToLittleEndian(v, b);
        pcm.append(b, 2);
    }
    std::thread feeder([&] {
        QThread::msleep(300);
        daemon.feed(pcm);
    });
    const QString wav = home.path() + "/take.wav";
    Outcome rec = zelk({"record", "1", wav});
    feeder.join();
    ASSERT_EQ(rec.exitCode, 0) << rec.err.toStdString();
    EXPECT_TRUE(rec.out.startsWith(wav + ": ")) << rec.out.toStdString();
    QFile f(wav);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_GT(bytes.size(), 58);
    EXPECT_EQ(bytes.left(4), "RIFF");
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 20), 3); // IEEE float
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 24), 16000u);
    const quint32 dataBytes = qFromLittleEndian<quint32>(bytes.constData() + 54);
    EXPECT_EQ(qsizetype(dataBytes) + 58, bytes.size());
    EXPECT_GT(dataBytes / 4, 4000u);

    EXPECT_EQ(zelk({"record", "soon", wav}).exitCode, 2);
    EXPECT_EQ(zelk({"record", "-1", wav}).exitCode, 2);
}

TEST_F(ZelkCommand, RecordWithoutASoundServerFails) {
    env.insert("PULSE_SERVER", "unix:/nonexistent/zelk-test/native");
    Outcome rec = zelk({"record", "1", home.path() + "/x.wav"});
    EXPECT_EQ(rec.exitCode, 1);
    EXPECT_TRUE(rec.err.contains("zelk record: the microphone failed to start: ")) << rec.err.toStdString();
    EXPECT_FALSE(QFile::exists(home.path() + "/x.wav"));
    EXPECT_EQ(zelk({"record", "--list"}).exitCode, 1);
}

} // namespace
