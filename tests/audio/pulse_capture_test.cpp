#include "asr/audio_capture.h"
#include "asr/mic_devices.h"
#include "audio/capture_probe.h"
#include "audio/log_capture.h"
#include "audio/pulse_daemon.h"
#include "core/clock.h"
#include "core/settings.h"
#include "platform/linux/pulse_audio_input.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <QJsonValue>

#include <cmath>
#include <thread>

using namespace zelk;
using namespace zelk::test;
using namespace std::chrono_literals;

namespace {

class RealPulse : public testing::Test {
protected:
    void SetUp() override {
        if (!daemon.failure().isEmpty())
            GTEST_SKIP() << "no private PulseAudio daemon: " << daemon.failure().toStdString();
        input = std::make_shared<PulseAudioInput>(daemon.server());
    }
    void TearDown() override {
        for (auto& t : feeders)
            t.join();
    }
    // Starts a capture on the real clock and waits until the microphone is open.
    bool opened(AudioCapture& capture, CaptureProbe& probe) {
        probe.start(capture, 20);
        return waitUntil([&] { return probe.answered(); }, 10000) && !probe.failed();
    }
    void feedAsync(QByteArray pcm) {
        feeders.emplace_back([this, pcm = std::move(pcm)] { daemon.feed(pcm); });
    }

    TestHome home;
    PulseDaemon daemon;
    std::shared_ptr<PulseAudioInput> input;
    std::vector<std::thread> feeders;
    LogCapture log;
};

// The first index where the signal rises above `threshold`.
std::size_t onset(const std::vector<float>& x, float threshold) {
    for (std::size_t i = 0; i < x.size(); ++i)
        if (std::abs(x[i]) > threshold)
            return i;
    return x.size();
}

// Best normalised correlation of `a` and `b` (from their onsets) within ±maxLag samples.
double bestCorrelation(const std::vector<float>& a, std::size_t aStart, const std::vector<float>& b,
                       std::size_t bStart, std::size_t length, int maxLag) {
    double best = -1;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (std::size_t i = std::size_t(maxLag); i < length; ++i) {
            const std::size_t ai = aStart + i, bi = bStart + i + std::size_t(lag);
            if (ai >= a.size() || bi >= b.size())
                break;
            ab += double(a[ai]) * b[bi];
            aa += double(a[ai]) * a[ai];
            bb += double(b[bi]) * b[bi];
        }
        if (aa > 0 && bb > 0)
            best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
}

TEST_F(RealPulse, CapturedSpeechMatchesTheFileAndTheLevelFollowsIt) {
    const SpeechSample& speech = SpeechSample::get();
    if (speech.pcm48k.isEmpty())
        GTEST_SKIP() << "espeak-ng or sox missing";
    AudioCapture capture(input);
    CaptureProbe probe;
    ASSERT_TRUE(opened(capture, probe));
    EXPECT_EQ(probe.format(), (AudioStreamFormat{48000, 1}));

    // A quarter second of silence, the speech, then silence again.
    const QByteArray silence(48000 / 4 * 2, '\0');
    feedAsync(silence + speech.pcm48k + silence);
    const std::size_t wanted = speech.reference16k.size() + 16000 / 4;
    ASSERT_TRUE(waitUntil([&] { return probe.sampleCount() >= wanted; }, 8000))
        << "captured " << probe.sampleCount() << " of " << wanted;
    capture.stop();

    const auto captured = probe.samples();
    const std::size_t capturedStart = onset(captured, 0.02f);
    const std::size_t referenceStart = onset(speech.reference16k, 0.02f);
    ASSERT_LT(capturedStart, captured.size());
    const double correlation =
        bestCorrelation(speech.reference16k, referenceStart, captured, capturedStart, 8000, 24);
    EXPECT_GT(correlation, 0.9);

    const auto levels = probe.levels();
    const float loudest = *std::max_element(levels.begin(), levels.end());
    EXPECT_GT(loudest, 0.3f);
    EXPECT_LT(levels.front(), 0.01f); // the leading silence
}

TEST_F(RealPulse, SourceAndDefaultChangesReachTheController) {
    AudioCapture capture(input);
    int calls = 0;
    capture.onConfigurationChange = [&] { ++calls; };
    CaptureProbe probe;
    ASSERT_TRUE(opened(capture, probe));

    bool ok = false;
    const QByteArray module =
        daemon.pactl({"load-module", "module-null-source", "source_name=second"}, &ok).trimmed();
    ASSERT_TRUE(ok);
    EXPECT_TRUE(waitUntil([&] { return calls >= 1; }));
    const int afterLoad = calls;

    daemon.pactl({"set-default-source", "second"}, &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(waitUntil([&] { return log.count(QStringLiteral("系统默认麦克风已变化")) == 1; }));
    EXPECT_GT(calls, afterLoad);
    const int afterDefault = calls;

    daemon.pactl({"unload-module", QString::fromLatin1(module)}, &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(waitUntil([&] { return calls > afterDefault; }));

    // Idle: the same events call nothing.
    capture.stop();
    const int idle = calls;
    daemon.pactl({"load-module", "module-null-source", "source_name=third"});
    daemon.pactl({"set-default-source", "third"});
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(calls, idle);
}

TEST_F(RealPulse, ChosenMicrophoneIsRecordedAndListed) {
    bool ok = false;
    daemon.pactl({"load-module", "module-null-source", "source_name=other", "rate=44100", "channels=2"}, &ok);
    ASSERT_TRUE(ok);
    const auto devices = MicDevices::inputDevices(*input);
    QStringList uids;
    for (const auto& d : devices) {
        uids << d.uid;
        EXPECT_FALSE(d.name.isEmpty());
        EXPECT_FALSE(d.isBluetooth);
    }
    EXPECT_TRUE(uids.contains("testmic"));
    EXPECT_TRUE(uids.contains("other"));
    EXPECT_FALSE(uids.contains("speaker.monitor"));

    home.preferences().setValue(Settings::Key::micDeviceUID, QJsonValue(QStringLiteral("other")));
    AudioCapture capture(input);
    CaptureProbe probe;
    ASSERT_TRUE(opened(capture, probe));
    EXPECT_EQ(probe.format(), (AudioStreamFormat{44100, 2}));
    // A null source delivers silence in real time.
    EXPECT_TRUE(waitUntil([&] { return probe.sampleCount() > 1600; }));
    for (float level : probe.levels())
        EXPECT_EQ(level, 0.0f);
}

TEST_F(RealPulse, SourceVanishingMidCaptureCallsTheHookAndStopStaysSafe) {
    bool ok = false;
    const QByteArray module = daemon.pactl({"load-module", "module-null-source", "source_name=usb"}, &ok).trimmed();
    ASSERT_TRUE(ok);
    home.preferences().setValue(Settings::Key::micDeviceUID, QJsonValue(QStringLiteral("usb")));
    AudioCapture capture(input);
    int calls = 0;
    capture.onConfigurationChange = [&] { ++calls; };
    CaptureProbe probe;
    ASSERT_TRUE(opened(capture, probe));
    daemon.pactl({"unload-module", QString::fromLatin1(module)}, &ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(waitUntil([&] { return calls >= 1; }));
    capture.stop();

    // The restart the controller makes lands on the default microphone.
    CaptureProbe again;
    EXPECT_TRUE(opened(capture, again));
    EXPECT_EQ(log.count(QStringLiteral("所选麦克风不在线，用系统默认")), 1);
    capture.stop();
}

// A server that does not answer while the microphone opens. Either the time-out
// answers first, or a stop comes first and the time-out answers later; in both
// cases the stream that opens once the server is back is torn down.
class RealPulseLateOpening : public RealPulse, public testing::WithParamInterface<bool> {};

TEST_P(RealPulseLateOpening, LateStreamIsDiscarded) {
    const bool stopFirst = GetParam();
    VirtualClock clock;
    AudioCapture capture(input, clock);
    daemon.suspend();
    CaptureProbe probe;
    probe.start(capture, 20);
    waitUntil([] { return false; }, 150);
    EXPECT_FALSE(probe.answered());
    if (stopFirst) {
        capture.stop();
    } else {
        clock.advance(20s);
        ASSERT_TRUE(waitUntil([&] { return probe.answered(); }));
        EXPECT_EQ(probe.captureError(), CaptureError::Case::timeout);
    }

    daemon.resume();
    ASSERT_TRUE(waitUntil([&] { return log.count(QStringLiteral("麦克风迟到打开，已丢弃")) == 1; }, 10000));
    EXPECT_TRUE(waitUntil([&] { return daemon.pactl({"list", "source-outputs", "short"}).trimmed().isEmpty(); }));
    EXPECT_FALSE(capture.isRunning());
    if (stopFirst) {
        EXPECT_FALSE(probe.answered()); // the discarded opening does not answer; the time-out does
        clock.advance(20s);
        ASSERT_TRUE(waitUntil([&] { return probe.answered(); }));
        EXPECT_EQ(probe.captureError(), CaptureError::Case::timeout);
    }
}

INSTANTIATE_TEST_SUITE_P(Order, RealPulseLateOpening, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "StopFirst" : "TimeoutFirst"; });

TEST(PulseAudioInput, UnreachableServerIsAnErrorNotAHang) {
    PulseAudioInput input(QStringLiteral("unix:/nonexistent/zelk-test/native"));
    EXPECT_THROW(input.sources(), AudioInputError);
    EXPECT_TRUE(MicDevices::inputDevices(input).isEmpty());
}

} // namespace
