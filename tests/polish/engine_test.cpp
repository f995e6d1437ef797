#include "engine_harness.h"

#include "core/folders.h"
#include "polish/local_polish_engine.h"
#include "polish/local_runtime_installer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <signal.h>

using namespace zelk;
using namespace zelk::test;

namespace {

[[noreturn]] void failPip() { throw InstallError::step(QStringLiteral("pip"), 1); }

class Engine : public ::testing::Test {
protected:
    TestHome home;
    VirtualClock clock;
    void ready(const char* mode) {
        h.installRuntime();
        h.installModel();
        h.start(mode);
    }
    EngineHarness h{clock};
};

TEST_F(Engine, WellBehavedHelperStreamsAndAnswers) {
    ready("good");
    EXPECT_EQ(h.polish(QStringLiteral("今天开会"), QStringLiteral("formal"), QStringLiteral("客气")),
              QStringLiteral("今天开会。"));
    EXPECT_EQ(h.deltas, (QStringList{QStringLiteral("今天"), QStringLiteral("开会。")}));
    EXPECT_EQ(h.polish(QStringLiteral("明天")), QStringLiteral("明天。"));
    const auto got = h.received();
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0].value("cmd").toString(), QStringLiteral("ping"));
    EXPECT_EQ(got[1].value("id").toInt(), 1);
    EXPECT_EQ(got[1].value("tone").toString(), QStringLiteral("formal"));
    EXPECT_EQ(got[1].value("tone_text").toString(), QStringLiteral("客气"));
    EXPECT_EQ(got[2].value("id").toInt(), 2);
    EXPECT_FALSE(got[2].contains("tone_text"));
    EXPECT_EQ(h.pids().size(), 1);
}

struct ProtocolCase {
    const char* mode;
    std::optional<QString> result;
    QStringList deltas;
};

class EngineProtocol : public Engine, public ::testing::WithParamInterface<ProtocolCase> {};

TEST_P(EngineProtocol, HandlesWhatTheHelperSays) {
    ready(GetParam().mode);
    EXPECT_EQ(h.polish(QStringLiteral("会议改到周四")), GetParam().result);
    EXPECT_EQ(h.deltas, GetParam().deltas);
}

const QStringList goodDeltas{QStringLiteral("会议改"), QStringLiteral("到周四。")};

INSTANTIATE_TEST_SUITE_P(
    Engine, EngineProtocol,
    ::testing::Values(ProtocolCase{"split", QStringLiteral("会议改到周四。"), goodDeltas},
                      ProtocolCase{"stale", QStringLiteral("会议改到周四。"), goodDeltas},
                      ProtocolCase{"garbage", QStringLiteral("会议改到周四。"), goodDeltas},
                      ProtocolCase{"flood", QStringLiteral("会议改到周四。"), goodDeltas},
                      ProtocolCase{"error_no_id", QStringLiteral("会议改到周四。"), goodDeltas},
                      ProtocolCase{"blank", std::nullopt, {}},
                      ProtocolCase{"error_id", std::nullopt, {}},
                      ProtocolCase{"crash", std::nullopt, {}}),
    [](const auto& info) { return std::string(info.param.mode); });

TEST_F(Engine, CrashedHelperIsStartedAgain) {
    ready("crash");
    EXPECT_FALSE(h.polish(QStringLiteral("一")));
    EXPECT_FALSE(h.polish(QStringLiteral("二")));
    EXPECT_EQ(h.pids().size(), 2);
}

TEST_F(Engine, HelperThatNeverGetsReadyTimesOutAfterTwentySeconds) {
    ready("never_ready");
    auto call = h.startPolish(QStringLiteral("你好"));
    ASSERT_TRUE(waitUntil([&] { return h.commandCount("ping") == 1; }));
    clock.advance(std::chrono::milliseconds(19'999));
    QCoreApplication::processEvents();
    EXPECT_FALSE(call.done());
    clock.advance(std::chrono::milliseconds(1));
    ASSERT_TRUE(call.wait());
    EXPECT_FALSE(call.value());
}

TEST_F(Engine, HangingRequestIsKilledByTheWatchdogAndTheNextStartsFresh) {
    ready("hang");
    LogCapture log;
    const QString text(10, QChar(u'字')); // 6 + 0.4 s
    auto call = h.startPolish(text);
    ASSERT_TRUE(waitUntil([&] { return h.deltas.size() == 1; }));
    clock.advance(std::chrono::milliseconds(6399));
    QCoreApplication::processEvents();
    EXPECT_FALSE(call.done());
    clock.advance(std::chrono::milliseconds(1));
    ASSERT_TRUE(call.wait());
    EXPECT_FALSE(call.value());
    EXPECT_TRUE(log.contains(QStringLiteral("本地润色 helper 退出：润色超时 6s")));
    EXPECT_TRUE(waitUntil([&] { return h.commandCount("quit") == 1; }));
    auto next = h.startPolish(text);
    EXPECT_TRUE(waitUntil([&] { return h.pids().size() == 2; }));
    clock.advance(std::chrono::seconds(30));
    EXPECT_TRUE(next.wait());
}

TEST_F(Engine, HelperIgnoringQuitAndTermIsKilled) {
    ready("ignore_quit");
    ASSERT_TRUE(h.polish(QStringLiteral("你好")));
    const qint64 pid = h.pids().value(0);
    h.engine->shutdown(QStringLiteral("test"));
    EXPECT_FALSE(h.engine->helperRunning());
    ASSERT_TRUE(waitUntil([&] { return h.commandCount("quit") == 1; }));
    clock.advance(secondsF(1.5)); // terminate: ignored
    QCoreApplication::processEvents();
    EXPECT_TRUE(EngineHarness::alive(pid));
    clock.advance(secondsF(1.5)); // kill
    EXPECT_TRUE(waitUntil([&] { return !EngineHarness::alive(pid); }));
}

TEST_F(Engine, IdleHelperStopsAfterThreeMinutesAndANewOneServesAtOnce) {
    ready("good");
    ASSERT_TRUE(h.polish(QStringLiteral("你好")));
    clock.advance(std::chrono::seconds(179));
    EXPECT_TRUE(h.engine->helperRunning());
    clock.advance(std::chrono::seconds(1));
    EXPECT_FALSE(h.engine->helperRunning());
    // Before the old helper has even read its quit, the next request starts another.
    EXPECT_EQ(h.polish(QStringLiteral("再见")), QStringLiteral("再见。"));
    EXPECT_EQ(h.pids().size(), 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(h.engine->helperRunning());
    EXPECT_EQ(h.polish(QStringLiteral("三次")), QStringLiteral("三次。"));
}

TEST_F(Engine, MemoryPressureStopsTheHelper) {
    ready("good");
    h.engine->prewarm();
    ASSERT_TRUE(h.engine->helperRunning());
    EXPECT_EQ(h.liveWatches, 1);
    h.pressure();
    EXPECT_TRUE(waitUntil([&] { return !h.engine->helperRunning(); }));
    EXPECT_EQ(h.liveWatches, 0);
    EXPECT_TRUE(h.polish(QStringLiteral("你好")));
    EXPECT_EQ(h.liveWatches, 1);
}

TEST_F(Engine, SmallMachineDeclinesEverything) {
    h.installRuntime();
    h.installModel();
    h.start("good", 8ULL << 30);
    EXPECT_EQ(h.engine->stateLabel(), QStringLiteral("unsupported"));
    EXPECT_FALSE(h.engine->isReady());
    EXPECT_FALSE(h.polish(QStringLiteral("你好")));
    h.engine->startDownload();
    h.engine->prewarm();
    EXPECT_TRUE(h.pids().isEmpty());
}

TEST_F(Engine, PlatformWithoutRuntimeTableIsUnsupportedWithAReason) {
    h.runtimeInstallable = false;
    h.start("good");
    EXPECT_EQ(h.engine->stateLabel(), QStringLiteral("unsupported"));
    EXPECT_FALSE(h.engine->unsupportedMessage().isEmpty());
    h.installRuntime(); // installed by other means: usable
    EXPECT_EQ(h.engine->stateLabel(), QStringLiteral("model_missing"));
}

TEST_F(Engine, DownloadRunsRuntimeThenModelWithCombinedProgress) {
    QList<double> combined;
    h.installRuntimeStep = [this, &combined](DownloadMirror::Region, std::function<void(double)> progress) -> Task<void> {
        progress(0.5);
        combined.append(h.engine->combinedProgress());
        co_await clock.sleep(std::chrono::seconds(1));
        h.installRuntime();
        progress(1.0);
    };
    h.start("good");
    EXPECT_EQ(h.engine->stateLabel(), QStringLiteral("no_runtime"));
    h.engine->startDownload();
    EXPECT_EQ(h.engine->stateLabel(), QStringLiteral("downloading"));
    EXPECT_DOUBLE_EQ(combined.value(0), 0.075);
    clock.advance(std::chrono::seconds(1));
    EXPECT_TRUE(waitUntil([&] { return h.engine->stateLabel() == QLatin1String("ready"); }));
    EXPECT_FALSE(h.engine->downloadProgress());
    EXPECT_EQ(h.engine->combinedProgress(), -1);
    EXPECT_FALSE(h.engine->lastDownloadFailed());
    const auto got = h.received();
    ASSERT_FALSE(got.isEmpty());
    EXPECT_EQ(got[0].value("cmd").toString(), QStringLiteral("download"));
}

TEST_F(Engine, HelperErrorFailsTheDownload) {
    h.installRuntime();
    h.start("download_fail");
    LogCapture log;
    h.engine->startDownload();
    EXPECT_TRUE(waitUntil([&] { return h.engine->lastDownloadFailed(); }));
    EXPECT_EQ(h.engine->stateLabel(), QStringLiteral("failed"));
    EXPECT_TRUE(log.contains(QStringLiteral("本地润色下载失败：mirror gone")));
}

TEST_F(Engine, RuntimeInstallFailureIsReported) {
    h.installRuntimeStep = [](DownloadMirror::Region, std::function<void(double)>) -> Task<void> {
        failPip();
        co_return;
    };
    h.start("good");
    LogCapture log;
    h.engine->startDownload();
    EXPECT_TRUE(waitUntil([&] { return h.engine->lastDownloadFailed(); }));
    EXPECT_FALSE(h.engine->isInstallingRuntime());
    EXPECT_TRUE(log.contains(QStringLiteral("本地润色下载失败：运行时：运行时安装步骤失败：pip（退出码 1）")));
}

TEST(MemoryPressureFallback, ReadsAvailableMemoryFromMeminfo) {
    EXPECT_TRUE(meminfoShowsPressure("MemTotal:       16000000 kB\nMemFree: 1 kB\nMemAvailable:     700000 kB\n"));
    EXPECT_FALSE(meminfoShowsPressure("MemTotal:       16000000 kB\nMemAvailable:    9000000 kB\n"));
    EXPECT_FALSE(meminfoShowsPressure("MemTotal: 0 kB\nMemAvailable: 0 kB\n"));
    EXPECT_FALSE(meminfoShowsPressure("garbage"));
}

TEST(MemoryPressureWatchTest, StartsAndStopsOnThisKernel) {
    VirtualClock clock;
    int events = 0;
    auto watch = linuxMemoryPressure(clock)([&] { ++events; });
    ASSERT_TRUE(watch);
    clock.advance(std::chrono::seconds(5)); // the /proc/meminfo fallback looks once
    watch.reset();
    clock.advance(std::chrono::seconds(5));
    EXPECT_EQ(clock.sleeperCount(), 0u);
}

} // namespace
