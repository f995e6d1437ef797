#include "app/cli_transcribe.h"

#include "app/cli.h"
#include "asr/model_locator.h"
#include "asr/two_pass_transcriber.h"
#include "asr/wav_file.h"
#include "core/settings.h"
#include "core/sync_wait.h"
#include "language/chinese_typography.h"
#include "language/personal_dictionary.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace zelk::cli {

namespace {

void printError(const QString& message) { std::fprintf(stderr, "zelk transcribe: %s\n", message.toUtf8().constData()); }

double ms(std::chrono::nanoseconds d) { return std::chrono::duration<double, std::milli>(d).count(); }

} // namespace

int runTranscribe(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Transcribes a WAV file with the two-pass recogniser."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption models(QStringLiteral("models"),
                                    QStringLiteral("Model root holding the model folders (default: $ZELK_MODEL_DIR, then ~/.cache/zelk-asr)."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON with per-segment drafts, final-pass texts and timings."));
    const QCommandLineOption chunk(QStringLiteral("chunk-ms"), QStringLiteral("Audio fed per step, in milliseconds (default 100)."),
                                   QStringLiteral("N"), QStringLiteral("100"));
    parser.addOptions({help, models, json, chunk});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("WAV file of any rate and channel count."));
    if (!parser.parse(QStringList{QStringLiteral("zelk transcribe")} + args)) {
        printError(parser.errorText());
        return usage;
    }
    if (parser.isSet(help)) {
        std::fputs(parser.helpText().toUtf8().constData(), stdout);
        return ok;
    }
    bool chunkOk = false;
    const int chunkMs = parser.value(chunk).toInt(&chunkOk);
    if (parser.positionalArguments().size() != 1 || !chunkOk || chunkMs < 10 || chunkMs > 10000) {
        std::fputs(parser.helpText().toUtf8().constData(), stderr);
        return usage;
    }
    if (parser.isSet(models))
        qputenv(ModelLocator::modelDirEnv, parser.value(models).toUtf8());

    QString error;
    const auto wav = readWavFile(parser.positionalArguments().first(), &error);
    if (!wav) {
        printError(error);
        return failure;
    }
    const std::vector<float> samples = to16kMono(*wav);

    // The same hotwords and clean-up as a dictation.
    PersonalDictionary dictionary;
    dictionary.load();
    TwoPassTranscriber transcriber;
    syncWait(transcriber.load(dictionary.hotwordText()));
    if (!transcriber.isReady()) {
        printError(transcriber.failureMessage().value_or(QString()));
        return failure;
    }

    QElapsedTimer clock;
    std::chrono::nanoseconds streamingTime{};
    const std::size_t step = std::size_t(chunkMs) * 16;
    transcriber.beginSession();
    for (std::size_t i = 0; i < samples.size(); i += step) {
        std::vector<float> piece(samples.begin() + i, samples.begin() + std::min(samples.size(), i + step));
        clock.start();
        syncWait(transcriber.feed(std::move(piece)));
        streamingTime += std::chrono::nanoseconds(clock.nsecsElapsed());
    }
    clock.start();
    const QString draft = syncWait(transcriber.finishStreaming());
    const QString transcript = syncWait(transcriber.finalTranscript(draft));
    const auto finishTime = std::chrono::nanoseconds(clock.nsecsElapsed());
    const QString text = ChineseTypography::format(
        PersonalDictionary::corrections(transcript, dictionary.terms(), Settings::builtinLexicon()));

    if (!parser.isSet(json)) {
        std::printf("%s\n", text.toUtf8().constData());
        transcriber.endSession();
        return ok;
    }
    QJsonArray segments;
    for (const auto& s : transcriber.segments())
        segments.append(QJsonObject{{QStringLiteral("start"), double(s.startSample) / 16000.0},
                                    {QStringLiteral("end"), double(s.endSample) / 16000.0},
                                    {QStringLiteral("draft"), s.draft},
                                    {QStringLiteral("final"), s.finalText},
                                    {QStringLiteral("decodeMs"), ms(s.decodeTime)}});
    const QJsonObject out{{QStringLiteral("text"), text},
                          {QStringLiteral("transcript"), transcript},
                          {QStringLiteral("draft"), draft},
                          {QStringLiteral("duration"), transcriber.sessionDuration()},
                          {QStringLiteral("segments"), segments},
                          {QStringLiteral("streamingMs"), ms(streamingTime)},
                          {QStringLiteral("finishMs"), ms(finishTime)}};
    transcriber.endSession();
    std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Indented).constData());
    return ok;
}

} // namespace zelk::cli
