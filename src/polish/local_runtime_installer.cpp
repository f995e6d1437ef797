#include "polish/local_runtime_installer.h"

#include "core/log.h"

#include <QCoroNetworkReply>
#include <QCoroProcess>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QTemporaryFile>

namespace zelk {

InstallError::InstallError(Kind kind, QString detail, QString step, int exitCode)
    : m_kind(kind), m_detail(std::move(detail)), m_step(std::move(step)), m_exitCode(exitCode),
      m_what(userMessage().toStdString()) {}

QString InstallError::userMessage() const {
    if (m_kind == Kind::badDownload)
        return QStringLiteral("运行时下载校验失败：") + m_detail;
    return QStringLiteral("运行时安装步骤失败：%1（退出码 %2）").arg(m_step).arg(m_exitCode);
}

LocalRuntimeInstaller::LocalRuntimeInstaller(RuntimeTable table, QString root, std::optional<int> macOSMajor)
    : m_table(std::move(table)), m_root(std::move(root)), m_macOSMajor(macOSMajor) {}

QString LocalRuntimeInstaller::python() const { return venvDir() + QStringLiteral("/bin/python3"); }

QList<RuntimeWheel> LocalRuntimeInstaller::wheels(const RuntimeTable& table, std::optional<int> macOSMajor) {
    std::optional<int> variant;
    if (macOSMajor)
        variant = *macOSMajor <= 14 ? 14 : (*macOSMajor <= 25 ? 15 : 26);
    QList<RuntimeWheel> chosen;
    for (const auto& w : table.wheels)
        if (!w.variant || w.variant == variant)
            chosen.append(w);
    return chosen;
}

QList<RuntimeWheel> LocalRuntimeInstaller::wheels() const { return wheels(m_table, m_macOSMajor); }

qint64 LocalRuntimeInstaller::approxBytes() const {
    qint64 sum = m_table.python.bytes;
    for (const auto& w : wheels())
        sum += w.bytes;
    return sum;
}

std::optional<QString> LocalRuntimeInstaller::sha256(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        if (chunk.isEmpty() && file.error() != QFile::NoError)
            return std::nullopt;
        hash.addData(chunk);
    }
    return QString::fromLatin1(hash.result().toHex());
}

void LocalRuntimeInstaller::verify(const QString& path, const RuntimeArtifact& artifact) {
    const QFileInfo info(path);
    const qint64 size = info.isFile() ? info.size() : -1;
    if (size != artifact.bytes)
        throw InstallError::badDownload(QStringLiteral("大小 %1").arg(size));
    if (sha256(path) != artifact.sha256)
        throw InstallError::badDownload(QStringLiteral("SHA-256 不符"));
}

Task<void> LocalRuntimeInstaller::fetchVerified(RuntimeArtifact artifact, DownloadMirror::Region region,
                                                QString destination, Fetch fetch) {
    try {
        verify(destination, artifact);
        co_return;
    } catch (const InstallError&) {
    }
    const QList<QUrl> sources = DownloadMirror::sources(artifact.mirrorPath, artifact.official, region);
    if (sources.isEmpty())
        throw InstallError::badDownload(QStringLiteral("无可用下载源"));
    std::optional<InstallError> last;
    for (const QUrl& source : sources) {
        QString temporary;
        std::optional<InstallError> failure;
        try {
            temporary = co_await fetch(source);
            verify(temporary, artifact);
            // Only a verified file replaces what was there.
            QFile::remove(destination);
            if (!QFile::rename(temporary, destination))
                throw InstallError::badDownload(QStringLiteral("无法保存 %1").arg(artifact.file));
            co_return;
        } catch (const InstallError& e) {
            failure = e;
        } catch (const std::exception& e) {
            failure = InstallError::badDownload(QString::fromStdString(e.what()));
        }
        if (!temporary.isEmpty())
            QFile::remove(temporary);
        qCInfo(Log::app).noquote()
            << QStringLiteral("本地润色运行时下载源失败（%1）：%2").arg(source.host(), failure->userMessage());
        last = failure;
    }
    throw *last;
}

Task<void> LocalRuntimeInstaller::run(QString program, QStringList arguments, QString step,
                                      std::function<void(qint64)> onLines) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    qint64 lines = 0;
    QByteArray tail;
    auto drain = [&] {
        const QByteArray chunk = process.readAll();
        if (chunk.isEmpty())
            return;
        lines += chunk.count('\n');
        tail = (tail + chunk).right(2000);
        if (onLines)
            onLines(lines);
    };
    QObject::connect(&process, &QProcess::readyRead, drain);
    process.start(program, arguments);
    const bool started = co_await qCoro(process).waitForStarted(std::chrono::milliseconds(30'000));
    if (!started) {
        qCCritical(Log::app).noquote()
            << QStringLiteral("本地润色运行时 %1 失败：%2").arg(step, process.errorString());
        throw InstallError::step(step, -1);
    }
    if (process.state() != QProcess::NotRunning)
        co_await qCoro(process).waitForFinished(std::chrono::milliseconds(-1));
    drain();
    const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (code != 0) {
        qCCritical(Log::app).noquote()
            << QStringLiteral("本地润色运行时 %1 失败：%2").arg(step, QString::fromUtf8(tail));
        throw InstallError::step(step, code);
    }
}

Task<void> LocalRuntimeInstaller::installPython(DownloadMirror::Region region, Fetch fetch) {
    const QString archive = m_root + QStringLiteral("/python-download.tar.gz");
    const QString staging = m_root + QStringLiteral("/python-staging");
    auto cleanUp = [&] {
        QFile::remove(archive);
        QDir(staging).removeRecursively();
    };
    try {
        Task<void> fetching = fetchVerified(m_table.python, region, archive, fetch);
        co_await std::move(fetching);
        QDir(staging).removeRecursively();
        if (!QDir().mkpath(staging))
            throw InstallError::step(QStringLiteral("mkdir"), -1);
        const QStringList tarArguments{QStringLiteral("xzf"), archive, QStringLiteral("-C"), staging};
        Task<void> unpack = run(QStringLiteral("/usr/bin/tar"), tarArguments, QStringLiteral("tar"));
        co_await std::move(unpack);
        QDir(pythonDir()).removeRecursively();
        if (!QDir().rename(staging + QStringLiteral("/python"), pythonDir()))
            throw InstallError::step(QStringLiteral("mv"), -1);
    } catch (...) {
        cleanUp();
        throw;
    }
    cleanUp();
}

Task<void> LocalRuntimeInstaller::install(DownloadMirror::Region region, Fetch fetch, Progress progress) {
    QDir().mkpath(m_root);
    const QFileInfo interpreter(pythonDir() + QStringLiteral("/bin/python3"));
    const bool pythonPresent = interpreter.isFile() && interpreter.isExecutable();
    const QList<RuntimeWheel> chosen = wheels();
    qint64 total = pythonPresent ? 0 : m_table.python.bytes;
    for (const auto& w : chosen)
        total += w.bytes;
    if (total <= 0)
        total = 1;
    double reported = 0;
    auto report = [&](double p) {
        // The steps' shares already rise monotonically; this keeps rounding from showing a dip.
        reported = std::max(reported, std::min(p, 1.0));
        if (progress)
            progress(reported);
    };

    qint64 downloaded = 0;
    if (!pythonPresent) {
        co_await installPython(region, fetch);
        downloaded += m_table.python.bytes;
        report(double(downloaded) * 0.85 / double(total));
    }
    QDir().mkpath(wheelsDir());
    QStringList wheelFiles;
    for (const auto& w : chosen) {
        const QString destination = wheelsDir() + u'/' + w.file;
        Task<void> fetching = fetchVerified(m_table.artifact(w), region, destination, fetch);
        co_await std::move(fetching);
        wheelFiles.append(destination);
        downloaded += w.bytes;
        report(double(downloaded) * 0.85 / double(total));
    }

    const QString staging = m_root + QStringLiteral("/venv-staging");
    QDir(staging).removeRecursively();
    const QStringList venvArguments{QStringLiteral("-m"), QStringLiteral("venv"), staging};
    Task<void> venv = run(pythonDir() + QStringLiteral("/bin/python3"), venvArguments, QStringLiteral("venv"));
    co_await std::move(venv);
    report(0.9);
    QStringList pip{QStringLiteral("-m"), QStringLiteral("pip"), QStringLiteral("install"), QStringLiteral("--no-index"),
                    QStringLiteral("--no-deps"), QStringLiteral("--disable-pip-version-check"),
                    QStringLiteral("--no-input"), QStringLiteral("--progress-bar"), QStringLiteral("off")};
    pip += wheelFiles;
    Task<void> installing = run(staging + QStringLiteral("/bin/python3"), pip, QStringLiteral("pip"),
                                [&](qint64 n) { report(std::min(0.9 + 0.002 * double(n), 0.98)); });
    co_await std::move(installing);
    QDir(venvDir()).removeRecursively();
    if (!QDir().rename(staging, venvDir()))
        throw InstallError::step(QStringLiteral("mv"), -1);
    QDir(wheelsDir()).removeRecursively();
    report(1.0);
}

LocalRuntimeInstaller::Fetch LocalRuntimeInstaller::networkFetcher(QNetworkAccessManager& network, QString tempDir) {
    QPointer<QNetworkAccessManager> guard = &network;
    return [guard, tempDir](QUrl url) -> Task<QString> {
        if (!guard)
            throw InstallError::badDownload(QStringLiteral("HTTP 0"));
        QDir().mkpath(tempDir);
        QTemporaryFile file(tempDir + QStringLiteral("/download-XXXXXX"));
        file.setAutoRemove(false);
        if (!file.open())
            throw InstallError::badDownload(file.errorString());
        QNetworkRequest request(url);
        // A stalled transfer fails instead of hanging the installation.
        request.setTransferTimeout(60'000);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkReply* reply = guard->get(request);
        bool writeFailed = false;
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
            if (file.write(reply->readAll()) < 0)
                writeFailed = true;
        });
        co_await qCoro(reply).waitForFinished();
        if (file.write(reply->readAll()) < 0)
            writeFailed = true;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reply->deleteLater();
        file.close();
        if (status != 200 || writeFailed) {
            file.remove();
            throw InstallError::badDownload(QStringLiteral("HTTP %1").arg(status));
        }
        co_return file.fileName();
    };
}

} // namespace zelk
