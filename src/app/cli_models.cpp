#include "app/cli_models.h"

#include "app/cli.h"
#include "asr/asr_model_downloader.h"
#include "asr/model_locator.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>
#include <unistd.h>

namespace zelk::cli {

namespace {

const char* const help =
    "Usage: zelk models            list the recognition models and what is still to download\n"
    "       zelk models download   download and unpack the missing models\n"
    "\n"
    "Models live in ~/.cache/zelk-asr (or under $ZELK_MODEL_DIR). The download source is the\n"
    "\"asrModelBase\" preference when set, else the maker's mirror, with the sherpa-onnx\n"
    "releases as fallback.\n";

int status() {
    ASRModelDownloader downloader;
    const QList<RecognitionModel> missing = downloader.missing();
    for (const RecognitionModel& m : recognitionModels()) {
        const bool absent = missing.contains(m);
        std::printf("%-8s %s\n", absent ? "missing" : "present", qPrintable(m.name));
    }
    if (missing.isEmpty())
        std::printf("all models present\n");
    else
        std::printf("to download: %s\n", qPrintable(downloader.missingSizeLabel()));
    return ok;
}

QString phaseWord(const ASRModelDownloader::Phase& phase) {
    switch (phase.kind) {
    case ASRModelDownloader::Phase::Kind::downloading: return QStringLiteral("downloading");
    case ASRModelDownloader::Phase::Kind::extracting: return QStringLiteral("unpacking");
    case ASRModelDownloader::Phase::Kind::failed: return QStringLiteral("failed");
    case ASRModelDownloader::Phase::Kind::idle: return QStringLiteral("done");
    }
    return {};
}

int download() {
    ASRModelDownloader downloader;
    if (downloader.missing().isEmpty()) {
        std::printf("all models present\n");
        return ok;
    }
    const bool tty = ::isatty(STDOUT_FILENO);
    int lastPercent = -1;
    QString lastWord;
    auto show = [&] {
        const int percent = int(downloader.progress() * 100);
        const QString word = phaseWord(downloader.phase());
        if (percent == lastPercent && word == lastWord)
            return;
        lastPercent = percent;
        lastWord = word;
        if (tty) {
            const int filled = percent / 5;
            std::printf("\r[%s%s] %3d%%  %-12s", qPrintable(QString(filled, QLatin1Char('#'))),
                        qPrintable(QString(20 - filled, QLatin1Char('-'))), percent, qPrintable(word));
        } else {
            std::printf("%s %d%%\n", qPrintable(word), percent);
        }
        std::fflush(stdout);
    };
    QEventLoop loop;
    QObject::connect(&downloader, &ASRModelDownloader::progressChanged, show);
    QObject::connect(&downloader, &ASRModelDownloader::phaseChanged, [&] {
        show();
        if (!downloader.isBusy())
            loop.quit();
    });
    std::printf("downloading %s\n", qPrintable(downloader.missingSizeLabel()));
    downloader.start();
    if (downloader.isBusy())
        loop.exec();
    if (tty)
        std::printf("\n");
    if (downloader.phase().kind == ASRModelDownloader::Phase::Kind::failed) {
        std::fprintf(stderr, "zelk models: %s\n", qPrintable(downloader.phase().message));
        return failure;
    }
    std::printf("installed\n");
    return ok;
}

} // namespace

int runModels(const QStringList& args) {
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(help, stdout);
        return ok;
    }
    if (args.isEmpty())
        return status();
    if (args == QStringList{QStringLiteral("download")})
        return download();
    std::fputs(help, stderr);
    return usage;
}

} // namespace zelk::cli
