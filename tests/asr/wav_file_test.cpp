#include "asr/wav_file.h"

// The table names only the fields each case changes.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QtEndian>

#include <cmath>

using namespace zelk;

namespace {

// A little WAV writer for the table below.
struct WavSpec {
    quint16 format = 1;
    quint16 channels = 1;
    quint32 rate = 16000;
    quint16 bits = 16;
    quint16 blockAlign = 0; // 0 = consistent
    bool extensible = false;
    QByteArray extraChunk;  // placed between fmt and data
    QByteArray samples;
    qint64 claimedDataSize = -1;
    bool dataFirst = false;
};

QByteArray le16(quint16 v) {
    QByteArray b(2, 0);
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray le32(quint32 v) {
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray makeWav(const WavSpec& s) {
    const quint16 align = s.blockAlign ? s.blockAlign : quint16(s.channels * s.bits / 8);
    QByteArray fmt = le16(s.extensible ? 0xFFFE : s.format) + le16(s.channels) + le32(s.rate) + le32(s.rate * align) +
                     le16(align) + le16(s.bits);
    if (s.extensible)
        fmt += le16(22) + le16(s.bits) + le32(0) + le16(s.format) + QByteArray(14, '\x01');
    const QByteArray fmtChunk = "fmt " + le32(quint32(fmt.size())) + fmt;
    const QByteArray dataChunk =
        "data" + le32(s.claimedDataSize >= 0 ? quint32(s.claimedDataSize) : quint32(s.samples.size())) + s.samples;
    const QByteArray body = s.dataFirst ? dataChunk + fmtChunk : fmtChunk + s.extraChunk + dataChunk;
    return "RIFF" + le32(quint32(4 + body.size())) + "WAVE" + body;
}

QByteArray int16s(std::initializer_list<qint16> v) {
    QByteArray b;
    for (qint16 x : v)
        b += le16(quint16(x));
    return b;
}

struct ParseCase {
    const char* name;
    WavSpec format;
    std::vector<float> expected; // empty with `error` set: must fail
    int channels = 1;
    bool error = false;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class WavParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(WavParse, ReadsOrRefuses) {
    QString error;
    const auto audio = parseWav(makeWav(GetParam().format), &error);
    if (GetParam().error) {
        EXPECT_FALSE(audio);
        EXPECT_FALSE(error.isEmpty());
        return;
    }
    ASSERT_TRUE(audio) << error.toStdString();
    EXPECT_EQ(audio->channels, GetParam().channels);
    ASSERT_EQ(audio->interleaved.size(), GetParam().expected.size());
    for (std::size_t i = 0; i < audio->interleaved.size(); ++i)
        EXPECT_NEAR(audio->interleaved[i], GetParam().expected[i], 1e-6) << i;
}

QByteArray floats(std::initializer_list<float> v) {
    QByteArray b;
    for (float x : v)
        b.append(reinterpret_cast<const char*>(&x), sizeof x);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WavParse,
    ::testing::Values(
        ParseCase{"pcm16", {.samples = int16s({0, 16384, -32768, 32767})}, {0.0f, 0.5f, -1.0f, 32767.0f / 32768.0f}},
        ParseCase{"pcm8", {.bits = 8, .samples = QByteArray("\x80\xC0\x00", 3)}, {0.0f, 0.5f, -1.0f}},
        ParseCase{"pcm24", {.bits = 24, .samples = QByteArray("\x00\x00\x40\x00\x00\x80", 6)}, {0.5f, -1.0f}},
        ParseCase{"pcm32", {.bits = 32, .samples = le32(0x40000000u)}, {0.5f}},
        ParseCase{"float stereo", {.format = 3, .channels = 2, .bits = 32, .samples = floats({0.25f, -0.25f})},
                  {0.25f, -0.25f}, 2},
        ParseCase{"float not finite is silence", {.format = 3, .bits = 32, .samples = floats({NAN, INFINITY, 0.5f})},
                  {0.0f, 0.0f, 0.5f}},
        ParseCase{"extensible pcm", {.extensible = true, .samples = int16s({16384})}, {0.5f}},
        ParseCase{"odd chunk padded", {.extraChunk = "LIST" + le32(3) + QByteArray("abc\0", 4), .samples = int16s({16384})},
                  {0.5f}},
        ParseCase{"interrupted recording", {.samples = int16s({16384, 16384}) + QByteArray(1, 0), .claimedDataSize = 0x7FFFFFFF},
                  {0.5f, 0.5f}},
        ParseCase{"data before fmt", {.samples = int16s({1}), .dataFirst = true}, {}, 1, true},
        ParseCase{"12-bit", {.bits = 12, .samples = int16s({1})}, {}, 1, true},
        ParseCase{"bad block align", {.blockAlign = 7, .samples = int16s({1})}, {}, 1, true},
        ParseCase{"no channels", {.channels = 0, .samples = int16s({1})}, {}, 1, true},
        ParseCase{"zero rate", {.rate = 0, .samples = int16s({1})}, {}, 1, true},
        ParseCase{"a-law", {.format = 6, .bits = 8, .samples = QByteArray(4, 0)}, {}, 1, true}),
    [](const auto& info) {
        QString n = QString::fromLatin1(info.param.name);
        n.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
        return n.toStdString();
    });

TEST(WavParse, NotAWaveFile) {
    QString error;
    EXPECT_FALSE(parseWav(QByteArray("RIFF\x04\0\0\0AVI ", 12), &error));
    EXPECT_FALSE(parseWav(QByteArray(), &error));
    EXPECT_FALSE(parseWav(QByteArray("RIFF\x04\0\0\0WAVE", 12), &error)); // no chunks at all
    EXPECT_FALSE(readWavFile(QStringLiteral("/nonexistent.wav"), &error));
}

// A 1 kHz tone at 48 kHz stereo comes out as the same tone at 16 kHz mono.
TEST(WavConversion, ResamplesAndMixesDown) {
    WavAudio audio{48000, 2, {}};
    const int frames = 48000;
    for (int i = 0; i < frames; ++i) {
        const float v = 0.5f * float(std::sin(2 * M_PI * 1000.0 * i / 48000.0));
        audio.interleaved.push_back(v);
        audio.interleaved.push_back(v * 0.5f); // mixed: 0.375 amplitude
    }
    const auto out = to16kMono(audio);
    ASSERT_EQ(out.size(), 16000u);
    int crossings = 0;
    float peak = 0;
    for (std::size_t i = 200; i < out.size() - 200; ++i) {
        crossings += (out[i - 1] < 0) != (out[i] < 0);
        peak = std::max(peak, std::abs(out[i]));
    }
    EXPECT_NEAR(crossings, 2 * 1000 * (out.size() - 400) / 16000, 4);
    EXPECT_NEAR(peak, 0.375f, 0.01f);
    // The end of the file is not lost to the filter's look-ahead.
    EXPECT_GT(std::abs(out[out.size() - 3]) + std::abs(out[out.size() - 2]) + std::abs(out.back()), 0.05f);

    WavAudio direct{16000, 1, {0.1f, 0.2f}};
    EXPECT_EQ(to16kMono(direct), direct.interleaved);
}

} // namespace
