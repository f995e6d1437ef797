// links: zelk_asr
// Recognition speed on 30 s of espeak-ng speech with the real small English
// streaming model (../shared/models or $ZELK_TEST_MODELS) and a generated
// offline final pass:
//  - streaming real-time factor, and chunk in -> caption out through the
//    transcriber versus the engine's own accept() time on the same chunks
//    (captionVsEngine);
//  - after the last chunk: time to the final transcript versus the engine's
//    own decode time of the last segment (the rest is our overhead);
//  - peak resident memory.
#include "asr/model_locator.h"
#include "asr/sherpa_streaming_asr.h"
#include "asr/two_pass_transcriber.h"
#include "core/sync_wait.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstring>

using namespace zelk;
using Steady = std::chrono::steady_clock;

namespace {

constexpr std::size_t chunk = 1600; // 100 ms

// $ZELK_SOURCE_DIR, else the first folder above the executable with the generator.
QString projectDir() {
    const QString fromEnv = qEnvironmentVariable("ZELK_SOURCE_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    for (QDir d(QCoreApplication::applicationDirPath()); !d.isRoot(); d.cdUp())
        if (QFileInfo::exists(d.filePath(QStringLiteral("tools/gen-test-models.py"))))
            return d.path();
    return QDir::currentPath();
}

bool run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

std::vector<float> speech(const QString& text, QTemporaryDir& dir) {
    const QString wav = dir.filePath(QStringLiteral("s.wav")), raw = dir.filePath(QStringLiteral("s.f32"));
    if (!run(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), QStringLiteral("en"), QStringLiteral("-w"), wav, text}) ||
        !run(QStringLiteral("sox"), {wav, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"), QStringLiteral("16000"),
                                     QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-e"),
                                     QStringLiteral("floating-point"), QStringLiteral("-b"), QStringLiteral("32"), raw}))
        return {};
    QFile f(raw);
    f.open(QIODevice::ReadOnly);
    const QByteArray b = f.readAll();
    std::vector<float> out(std::size_t(b.size()) / 4);
    std::memcpy(out.data(), b.constData(), out.size() * 4);
    return out;
}

struct Fixture {
    QTemporaryDir dir;
    QString streamingModel;
    std::vector<float> audio;
    std::unique_ptr<TwoPassTranscriber> transcriber;
    QString error;

    Fixture() {
        QString models = qEnvironmentVariable("ZELK_TEST_MODELS");
        if (models.isEmpty())
            models = projectDir() + QStringLiteral("/../shared/models");
        streamingModel = QDir::cleanPath(models + QStringLiteral("/streaming-en-zipformer-3.3M"));
        if (!QFileInfo::exists(streamingModel + QStringLiteral("/tokens.txt"))) {
            error = QStringLiteral("real model folder absent");
            return;
        }
        const QStringList sentences{
            QStringLiteral("Please turn on the lights in the kitchen."),
            QStringLiteral("I would like to send an email to my friend tomorrow morning."),
            QStringLiteral("Open the file and save the document."),
            QStringLiteral("The meeting starts at ten and ends before lunch."),
            QStringLiteral("Remember to buy milk, bread and some fresh fruit.")};
        const std::vector<float> pause(std::size_t(0.9 * 16000), 0.0f);
        for (int i = 0; audio.size() < 30 * 16000; ++i) {
            const auto s = speech(sentences[i % sentences.size()], dir);
            if (s.empty()) {
                error = QStringLiteral("espeak-ng or sox missing");
                return;
            }
            audio.insert(audio.end(), s.begin(), s.end());
            audio.insert(audio.end(), pause.begin(), pause.end());
        }
        audio.resize(30 * 16000);

        const QString root = dir.filePath(QStringLiteral("models"));
        if (!run(QStringLiteral("/usr/bin/python3"), {projectDir() + QStringLiteral("/tools/gen-test-models.py"), dir.filePath(QStringLiteral("gen"))})) {
            error = QStringLiteral("model generator failed");
            return;
        }
        QDir().mkpath(root);
        QFile::link(streamingModel, QDir(root).filePath(ModelLocator::streamingModelName));
        QFile::link(dir.filePath(QStringLiteral("gen/offline-silent")), QDir(root).filePath(ModelLocator::transducerModelName));
        qputenv(ModelLocator::modelDirEnv, root.toUtf8());
        qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());
        const QString zelk = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../zelk"));
        transcriber = std::make_unique<TwoPassTranscriber>(std::make_shared<ModelCheck>(zelk));
        syncWait(transcriber->load(QString()));
        if (!transcriber->isReady())
            error = transcriber->state().message;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

double ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The engine alone, for the chunk-in -> caption-out comparison.
void BM_StreamingEngineAccept(benchmark::State& state) {
    auto& f = fixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(f.error.toUtf8().constData());
        return;
    }
    SherpaStreamingASR engine(f.streamingModel, TwoPassTranscriber::streamingThreads);
    for (auto _ : state) {
        engine.reset();
        Steady::duration accept{};
        for (std::size_t i = 0; i < f.audio.size(); i += chunk) {
            const auto t0 = Steady::now();
            engine.accept(std::span<const float>(f.audio.data() + i, std::min(chunk, f.audio.size() - i)));
            accept += Steady::now() - t0;
        }
        state.counters["acceptMsPerChunk"] = ms(accept) / double(f.audio.size() / chunk);
        state.counters["rtf"] = ms(accept) / 30000.0;
    }
}
BENCHMARK(BM_StreamingEngineAccept)->Unit(benchmark::kMillisecond)->Iterations(3);

// One whole 30 s dictation through the two-pass transcriber.
void BM_TwoPassSession(benchmark::State& state) {
    auto& f = fixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(f.error.toUtf8().constData());
        return;
    }
    TwoPassTranscriber& t = *f.transcriber;
    for (auto _ : state) {
        t.beginSession();
        Steady::duration feeding{};
        for (std::size_t i = 0; i < f.audio.size(); i += chunk) {
            std::vector<float> piece(f.audio.begin() + i, f.audio.begin() + std::min(f.audio.size(), i + chunk));
            const auto t0 = Steady::now();
            syncWait(t.feed(std::move(piece)));
            feeding += Steady::now() - t0;
        }
        const auto t0 = Steady::now();
        const QString draft = syncWait(t.finishStreaming());
        const auto t1 = Steady::now();
        const QString text = syncWait(t.finalTranscript(draft));
        const auto t2 = Steady::now();
        const auto segments = t.segments();
        const double lastDecode = segments.empty() ? 0.0 : ms(segments.back().decodeTime);
        state.counters["feedMsPerChunk"] = ms(feeding) / double(f.audio.size() / chunk);
        state.counters["engineMsPerChunk"] = ms(t.streamingEngineTime()) / double(f.audio.size() / chunk);
        state.counters["captionVsEngine"] = ms(feeding) / ms(t.streamingEngineTime());
        state.counters["rtf"] = ms(feeding) / 30000.0;
        state.counters["segments"] = double(segments.size());
        state.counters["finishStreamingMs"] = ms(t1 - t0);
        state.counters["finalTranscriptMs"] = ms(t2 - t1);
        state.counters["lastSegmentDecodeMs"] = lastDecode;
        state.counters["overheadMs"] = ms(t2 - t1) - lastDecode;
        benchmark::DoNotOptimize(text);
        t.endSession();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peakRssMB"] = double(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_TwoPassSession)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
