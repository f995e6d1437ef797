#include "asr/model_check.h"

#include "asr/model_locator.h"
#include "asr/sherpa_model_file.h"
#include "asr/sherpa_offline_asr.h"
#include "asr/sherpa_streaming_asr.h"
#include "core/atomic_file.h"
#include "core/folders.h"
#include "core/log.h"
#include "core/timeout.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace zelk {

namespace {

// Resumes once the process has exited (at once when it is not running).
struct ProcessExit {
    QProcess* process;
    bool await_ready() const { return process->state() == QProcess::NotRunning; }
    void await_suspend(std::coroutine_handle<> h) {
        QObject::connect(process, &QProcess::finished, process, [h] { h.resume(); }, Qt::SingleShotConnection);
    }
    void await_resume() const {}
};

// A free coroutine, so the process lives in the frame and not in a lambda
// that the time-out helper may drop first.
Task<void> waitForExit(std::shared_ptr<QProcess> process) { co_await ProcessExit{process.get()}; }

QString lastLine(const QByteArray& output) {
    const QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

} // namespace

ModelCheck::ModelCheck(QString executable, Clock& clock, Duration timeLimit)
    : m_executable(std::move(executable)), m_clock(clock), m_timeLimit(timeLimit) {}

QString ModelCheck::defaultExecutable() {
    const QString self = QCoreApplication::applicationFilePath();
    if (QFileInfo(self).fileName() == QLatin1String("zelk"))
        return self;
    // A test or benchmark program must not run itself as the checker: use the
    // zelk built beside it.
    for (QDir d(QCoreApplication::applicationDirPath());;) {
        const QFileInfo candidate(d.filePath(QStringLiteral("zelk")));
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.filePath();
        if (!d.cdUp())
            return {};
    }
}

QString ModelCheck::verdictFile() { return QDir(folders::cacheHome()).filePath(QStringLiteral("zelk/model-checks.json")); }

QByteArray ModelCheck::fingerprint(const QString& dir) {
    const QDir root(dir);
    std::vector<QString> lines;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        lines.push_back(root.relativeFilePath(info.filePath()) + QLatin1Char('\t') + QString::number(info.size()) +
                        QLatin1Char('\t') +
                        QString::number(info.lastModified().toMSecsSinceEpoch()));
    }
    std::sort(lines.begin(), lines.end());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& line : lines)
        hash.addData((line + QLatin1Char('\n')).toUtf8());
    return hash.result().toHex();
}

QByteArray ModelCheck::verdictKey(const QString& dir, const QString& kind) const {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(kind.toUtf8() + '\n' + QFileInfo(dir).absoluteFilePath().toUtf8() + '\n' + fingerprint(dir));
    return hash.result().toHex();
}

bool ModelCheck::rememberedPass(const QByteArray& key) const {
    QFile file(verdictFile());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return QJsonDocument::fromJson(file.readAll()).object().value(QString::fromLatin1(key)).toBool();
}

void ModelCheck::rememberPass(const QByteArray& key) {
    const QString path = verdictFile();
    QJsonObject verdicts;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        verdicts = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    verdicts.insert(QString::fromLatin1(key), true);
    QString error;
    if (!writeFileAtomically(path, QJsonDocument(verdicts).toJson(QJsonDocument::Compact), &error))
        qCCritical(Log::asr).noquote() << QStringLiteral("模型检查结果未能保存：%1").arg(error);
}

Task<void> ModelCheck::verify(QString dir, QString kind) {
    const QByteArray key = verdictKey(dir, kind);
    if (auto failed = m_failures.find(key); failed != m_failures.end())
        throw failed->second;
    if (rememberedPass(key))
        co_return;

    const QString name = SherpaModelFile::dirName(dir);
    const QString what = (kind == streamingKind ? QStringLiteral("OnlineRecognizer(") : QStringLiteral("OfflineRecognizer(")) +
                         name + QLatin1Char(')');
    auto fail = [&](ASRError error) {
        m_failures.emplace(key, error);
        return error;
    };

    ++m_checksRun;
    // Deleted later: the last reference may go inside the process's own signal.
    std::shared_ptr<QProcess> process(new QProcess, [](QProcess* p) { p->deleteLater(); });
    process->setProgram(m_executable.isEmpty() ? defaultExecutable() : m_executable);
    process->setArguments({QStringLiteral("__check-model"), dir, kind});
    process->start();
    if (!process->waitForStarted()) {
        throw ASRError::createFailed(what + QStringLiteral(": check did not start: ") + process->errorString());
    }

    bool timedOut = false;
    try {
        auto exited = withTimeout<void>(m_clock, m_timeLimit, [process](CancellationToken) { return waitForExit(process); });
        co_await std::move(exited);
    } catch (const TimeoutError&) {
        timedOut = true;
    }
    if (timedOut) {
        process->kill();
        process->waitForFinished();
        // Not remembered: a busy moment is not a bad model.
        throw ASRError::createFailed(what + QStringLiteral(": check timed out"));
    }

    const QString payload = lastLine(process->readAllStandardOutput());
    const QString diagnostics = lastLine(process->readAllStandardError());
    if (process->exitStatus() == QProcess::NormalExit) {
        switch (process->exitCode()) {
        case 0:
            rememberPass(key);
            co_return;
        case exitModelNotFound:
            throw fail(ASRError::modelNotFound(payload));
        case exitCreateFailed:
            throw fail(ASRError::createFailed(payload));
        default:
            qCCritical(Log::asr).noquote() << QStringLiteral("模型检查失败：%1 退出码 %2 %3")
                                                  .arg(name).arg(process->exitCode()).arg(diagnostics);
            throw fail(ASRError::createFailed(what + QStringLiteral(": check exited with status %1").arg(process->exitCode())));
        }
    }
    qCCritical(Log::asr).noquote() << QStringLiteral("模型检查进程崩溃：%1 %2").arg(name, diagnostics);
    throw fail(ASRError::createFailed(what + QStringLiteral(": check crashed")));
}

int ModelCheck::runInThisProcess(const QString& dir, const QString& kind) {
    const std::vector<float> silence(8000, 0.0f);
    try {
        const QString name = SherpaModelFile::dirName(dir);
        if (kind == streamingKind) {
            SherpaStreamingASR engine(dir, 1);
            engine.accept(silence);
            engine.finish();
            if (engine.decodeErrors() > 0)
                throw ASRError::createFailed(QStringLiteral("OnlineRecognizer(") + name + QStringLiteral("): decode failed"));
        } else if (auto family = familyFromName(kind)) {
            SherpaOfflineASR engine(OfflineModelKind{*family, dir}, 1, QString());
            engine.transcribe(silence);
            if (engine.decodeErrors() > 0)
                throw ASRError::createFailed(QStringLiteral("OfflineRecognizer(") + name + QStringLiteral("): decode failed"));
        } else {
            std::fprintf(stdout, "unknown model kind %s\n", qPrintable(kind));
            return exitCreateFailed;
        }
    } catch (const ASRError& e) {
        std::fprintf(stdout, "%s\n", e.payload().toUtf8().constData());
        return e.errorCase() == ASRError::Case::modelNotFound ? exitModelNotFound : exitCreateFailed;
    }
    return 0;
}

} // namespace zelk
