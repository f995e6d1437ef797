#include "asr/audio_capture.h"
#include "asr/audio_recovery.h"
#include "asr/mic_devices.h"
#include "asr/once_flag.h"
#include "audio/capture_probe.h"
#include "audio/log_capture.h"
#include "core/clock.h"
#include "core/settings.h"
#include "fakes/fake_audio_input.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <QJsonValue>

#include <atomic>
#include <thread>

using namespace zelk;
using namespace zelk::test;
using namespace std::chrono_literals;

namespace {

FakeAudioInput::Source source(QString name, double rate = 48000, int channels = 2, QString description = {}) {
    FakeAudioInput::Source s;
    s.info.index = quint32(qHash(name) & 0xffff);
    s.info.name = name;
    s.info.description = description.isEmpty() ? name + QStringLiteral(" mic") : description;
    s.format = {rate, channels};
    return s;
}

class AudioCaptureFake : public testing::Test {
protected:
    void SetUp() override {
        input->addSource(source(QStringLiteral("builtin")));
        input->setDefault(QStringLiteral("builtin"));
    }
    bool answered(const CaptureProbe& p) {
        return waitUntil([&] { return p.answered(); });
    }
    void choose(const QString& uid) { home.preferences().setValue(Settings::Key::micDeviceUID, QJsonValue(uid)); }

    TestHome home;
    VirtualClock clock;
    std::shared_ptr<FakeAudioInput> input = std::make_shared<FakeAudioInput>();
    LogCapture log;
};

TEST_F(AudioCaptureFake, DeliversConvertedBlocksWithLevel) {
    AudioCapture capture(input, clock);
    CaptureProbe probe;
    probe.start(capture, 20);
    ASSERT_TRUE(answered(probe));
    ASSERT_FALSE(probe.failed());
    EXPECT_EQ(probe.format(), (AudioStreamFormat{48000, 2}));
    EXPECT_TRUE(capture.isRunning());
    EXPECT_EQ(log.count(QStringLiteral("采集开始：48000.000000Hz → 16kHz")), 1);

    // Stereo 48 kHz at a constant 0.05: level 0.6 once the filter has settled.
    std::vector<float> block(2048 * 2, 0.05f);
    for (int i = 0; i < 3; ++i)
        input->deliver(block, 2);
    ASSERT_EQ(probe.chunkSizes().size(), 3u);
    EXPECT_NEAR(double(probe.chunkSizes()[1]), 682.7, 1.0);
    EXPECT_NEAR(probe.levels()[2], 0.6f, 0.001f);

    capture.stop();
    EXPECT_FALSE(capture.isRunning());
    EXPECT_EQ(input->liveRecordings(), 0);
    input->deliver(block, 2);
    EXPECT_EQ(probe.chunkSizes().size(), 3u);
    EXPECT_GE(log.count(QStringLiteral("采集停止")), 2); // start stops first
}

struct ChoiceCase {
    const char* name;
    QString chosen;          // micDeviceUID
    bool refuseSelect;       // the chosen source refuses to be selected
    QString recordedSource;  // what record() is asked for ("" = default)
    QString logLine;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class AudioCaptureChoice : public AudioCaptureFake, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(AudioCaptureChoice, FallsBackToTheDefaultWhenTheChoiceFails) {
    const ChoiceCase& c = GetParam();
    auto usb = source(QStringLiteral("usb"), 44100, 1);
    usb.refuseSelect = c.refuseSelect;
    input->addSource(usb);
    choose(c.chosen);
    AudioCapture capture(input, clock);
    CaptureProbe probe;
    probe.start(capture, 20);
    ASSERT_TRUE(answered(probe));
    ASSERT_FALSE(probe.failed());
    EXPECT_EQ(input->recordedSources(), QStringList{c.recordedSource});
    if (!c.logLine.isEmpty()) {
        EXPECT_EQ(log.count(c.logLine), 1) << log.lines().join('\n').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, AudioCaptureChoice,
    testing::Values(ChoiceCase{"none", QString(), false, QString(), QString()},
                    ChoiceCase{"empty", QStringLiteral(""), false, QString(), QString()},
                    ChoiceCase{"present", QStringLiteral("usb"), false, QStringLiteral("usb"),
                               QStringLiteral("采集开始：44100.000000Hz → 16kHz")},
                    ChoiceCase{"unplugged", QStringLiteral("gone"), false, QString(),
                               QStringLiteral("所选麦克风不在线，用系统默认")},
                    ChoiceCase{"refused", QStringLiteral("usb"), true, QString(),
                               QStringLiteral("error: 切换到所选麦克风失败，用系统默认：Access denied")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AudioCaptureFake, OpeningFailuresReachTheCaller) {
    struct Case {
        const char* name;
        std::function<void(FakeAudioInput&)> setup;
        std::optional<CaptureError::Case> captureError; // else an AudioInputError
    };
    const std::vector<Case> cases{
        {"no default source", [](FakeAudioInput& in) { in.setDefault({}); }, CaptureError::Case::noInputDevice},
        {"no channels", [](FakeAudioInput& in) { in.addSource(source("odd", 48000, 0)); in.setDefault("odd"); },
         CaptureError::Case::noInputDevice},
        {"fractional rate", [](FakeAudioInput& in) { in.addSource(source("odd", 44100.5, 1)); in.setDefault("odd"); },
         CaptureError::Case::converterUnavailable},
        {"stream refused", [](FakeAudioInput& in) { in.refuseRecording("Connection refused"); }, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto fresh = std::make_shared<FakeAudioInput>();
        fresh->addSource(source(QStringLiteral("builtin")));
        fresh->setDefault(QStringLiteral("builtin"));
        c.setup(*fresh);
        AudioCapture capture(fresh, clock);
        CaptureProbe probe;
        probe.start(capture, 20);
        ASSERT_TRUE(answered(probe));
        if (c.captureError)
            EXPECT_EQ(probe.captureError(), c.captureError);
        else
            EXPECT_EQ(probe.inputError(), "Connection refused");
        EXPECT_FALSE(capture.isRunning());
        // The failure was the answer: the time-out finds the flag taken.
        clock.advance(30s);
        EXPECT_EQ(log.count(QStringLiteral("error: 打开麦克风超过 20.000000s 无响应")), 0);
    }
}

TEST_F(AudioCaptureFake, StopWhileOpeningDiscardsTheLateStream) {
    input->holdOpenings();
    AudioCapture capture(input, clock);
    CaptureProbe probe;
    probe.start(capture, 20);
    ASSERT_TRUE(waitUntil([&] { return input->openingsWaiting() == 1; }));
    capture.stop();
    input->release();
    ASSERT_TRUE(waitUntil([&] { return log.count(QStringLiteral("麦克风迟到打开，已丢弃")) == 1; }));
    EXPECT_EQ(input->liveRecordings(), 0);
    waitUntil([] { return false; }, 50);
    EXPECT_FALSE(probe.answered()); // the opening does not answer

    clock.advance(20s); // the time-out does
    ASSERT_TRUE(answered(probe));
    EXPECT_EQ(probe.captureError(), CaptureError::Case::timeout);
    EXPECT_FALSE(capture.isRunning());
}

TEST_F(AudioCaptureFake, TimeoutFirstThenLateOpeningIsTornDown) {
    input->holdOpenings();
    AudioCapture capture(input, clock);
    CaptureProbe probe;
    probe.start(capture, 20);
    ASSERT_TRUE(waitUntil([&] { return input->openingsWaiting() == 1; }));
    clock.advance(19s);
    waitUntil([] { return false; }, 20);
    EXPECT_FALSE(probe.answered());
    clock.advance(1s);
    ASSERT_TRUE(answered(probe));
    EXPECT_EQ(probe.captureError(), CaptureError::Case::timeout);
    EXPECT_EQ(log.count(QStringLiteral("error: 打开麦克风超过 20.000000s 无响应")), 1);

    input->release();
    ASSERT_TRUE(waitUntil([&] { return log.count(QStringLiteral("麦克风迟到打开，已丢弃")) == 1; }));
    EXPECT_EQ(input->liveRecordings(), 0);
    EXPECT_FALSE(capture.isRunning());
}

TEST_F(AudioCaptureFake, NewerStartWinsOverAnOlderOpening) {
    input->holdOpenings();
    AudioCapture capture(input, clock);
    CaptureProbe first, second;
    first.start(capture, 20);
    ASSERT_TRUE(waitUntil([&] { return input->openingsWaiting() == 1; }));
    second.start(capture, 20);
    ASSERT_TRUE(waitUntil([&] { return input->openingsWaiting() == 2; }));
    input->release();
    ASSERT_TRUE(answered(second));
    EXPECT_FALSE(second.failed());
    ASSERT_TRUE(waitUntil([&] { return log.count(QStringLiteral("麦克风迟到打开，已丢弃")) == 1; }));
    EXPECT_EQ(input->liveRecordings(), 1);

    // Only the live stream feeds its own handler.
    input->deliver(std::vector<float>(4096, 0.1f), 2);
    EXPECT_EQ(first.sampleCount(), 0u);
    EXPECT_GT(second.sampleCount(), 0u);
}

TEST_F(AudioCaptureFake, ChangesReachTheControllerOnlyWhileRunning) {
    AudioCapture capture(input, clock);
    int calls = 0;
    capture.onConfigurationChange = [&] { ++calls; };

    input->announce(AudioChange::defaultSourceChanged); // nothing registered yet
    CaptureProbe probe;
    probe.start(capture, 20);
    ASSERT_TRUE(answered(probe));

    const std::vector<std::pair<AudioChange, int>> steps{
        {AudioChange::sourceAdded, 1}, {AudioChange::sourceRemoved, 2}, {AudioChange::defaultSourceChanged, 3}};
    for (const auto& [change, expected] : steps) {
        input->announce(change);
        EXPECT_TRUE(waitUntil([&, expected = expected] { return calls == expected; }));
    }
    EXPECT_EQ(log.count(QStringLiteral("系统默认麦克风已变化")), 1);

    capture.stop();
    for (const auto& step : steps)
        input->announce(step.first);
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(log.count(QStringLiteral("系统默认麦克风已变化")), 1);
    // The default-source listener outlives the capture; the configuration one does not.
    EXPECT_EQ(input->liveWatches(), 1);
}

TEST_F(AudioCaptureFake, DestroyedWhileOpeningStillAnswersItsCaller) {
    input->holdOpenings();
    CaptureProbe probe;
    {
        AudioCapture capture(input, clock);
        probe.start(capture, 20);
        ASSERT_TRUE(waitUntil([&] { return input->openingsWaiting() == 1; }));
    }
    ASSERT_TRUE(answered(probe));
    EXPECT_EQ(probe.captureError(), CaptureError::Case::timeout);
    input->release();
    ASSERT_TRUE(waitUntil([&] { return log.count(QStringLiteral("麦克风迟到打开，已丢弃")) == 1; }));
    EXPECT_EQ(input->liveRecordings(), 0);
}

TEST(MicDevices, ListsInputSourcesWithNamesAndBluetoothFlag) {
    FakeAudioInput input;
    auto monitor = source(QStringLiteral("speaker.monitor"));
    monitor.info.isMonitor = true;
    input.addSource(monitor);
    auto headset = source(QStringLiteral("bluez_source.AA"), 16000, 1, QStringLiteral("Headset"));
    headset.info.isBluetooth = true;
    input.addSource(headset);
    auto nameless = source(QStringLiteral("alsa_input.usb"));
    nameless.info.description.clear();
    input.addSource(nameless);

    const auto devices = MicDevices::inputDevices(input);
    ASSERT_EQ(devices.size(), 2);
    EXPECT_EQ(devices[0].uid, QStringLiteral("bluez_source.AA"));
    EXPECT_EQ(devices[0].name, QStringLiteral("Headset"));
    EXPECT_TRUE(devices[0].isBluetooth);
    EXPECT_EQ(devices[1].name, QStringLiteral("alsa_input.usb"));
    EXPECT_FALSE(devices[1].isBluetooth);
    EXPECT_EQ(MicDevices::deviceID(input, QStringLiteral("alsa_input.usb")), devices[1].id);
    EXPECT_EQ(MicDevices::deviceID(input, QStringLiteral("speaker.monitor")), std::nullopt);
}

TEST(OnceFlag, ExactlyOneOfManyThreadsClaims) {
    for (int round = 0; round < 20; ++round) {
        OnceFlag flag;
        std::atomic<int> wins{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([&] { wins += flag.claim(); });
        for (auto& t : threads)
            t.join();
        EXPECT_EQ(wins.load(), 1);
    }
}

} // namespace
