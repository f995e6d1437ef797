#include "asr/asr_model_downloader.h"

#include "asr/asr_error.h"
#include "asr/model_locator.h"
#include "core/async_stream.h"
#include "core/folders.h"
#include "core/log.h"
#include "core/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>

namespace zelk {

namespace {

// A failure that is not the recognition layer's own: the network, the server, the disk.
class DownloadError : public std::exception {
public:
    explicit DownloadError(QString description) : m_description(std::move(description)), m_what(m_description.toUtf8()) {}
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_description;
    QByteArray m_what;
};

struct Cancelled {};

std::optional<qint64> homeVolumeCapacity() {
    QStorageInfo info(folders::home());
    if (!info.isValid() || !info.isReady() || info.bytesAvailable() < 0)
        return std::nullopt;
    return info.bytesAvailable();
}

QString tarProgram() {
    const QString system = QStringLiteral("/usr/bin/tar");
    return QFileInfo(system).isExecutable() ? system : QStringLiteral("tar");
}

enum class ReplyEvent { data, finished };

QString userDescription(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ASRError& e) {
        return e.userMessage();
    } catch (const DownloadError& e) {
        return e.description();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
    }
    return {};
}

} // namespace

QString fileSizeLabel(qint64 bytes) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 1000'000)
        return en.toString(double(bytes) / 1e3, 'f', 0) + QStringLiteral(" KB");
    if (bytes < 1000'000'000)
        return en.toString(double(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
    return en.toString(double(bytes) / 1e9, 'f', 2) + QStringLiteral(" GB");
}

const QList<RecognitionModel>& recognitionModels() {
    static const QList<RecognitionModel> models{
        {ModelLocator::streamingModelName, 133'898'007},
        {ModelLocator::qwen3ModelName, 878'702'423},
    };
    return models;
}

ASRModelDownloader::ASRModelDownloader(Config config, Clock& clock, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_clock(clock) {
    if (!m_config.availableCapacity)
        m_config.availableCapacity = homeVolumeCapacity;
}

ASRModelDownloader::~ASRModelDownloader() {
    m_alive.reset();
    m_task.cancel();
}

bool ASRModelDownloader::isBusy() const {
    return m_phase.kind == Phase::Kind::downloading || m_phase.kind == Phase::Kind::extracting;
}

QList<ASRModelDownloader::Model> ASRModelDownloader::missing() const {
    QList<Model> result;
    for (const Model& m : m_config.models)
        if (!ModelLocator::resolvedDir(m.name))
            result.append(m);
    return result;
}

QString ASRModelDownloader::missingSizeLabel() const {
    double sum = 0;
    for (const Model& m : missing())
        sum += m.bytes;
    return fileSizeLabel(qint64(sum));
}

QString ASRModelDownloader::primaryBase() const {
    return Settings::asrModelBase().value_or(m_config.makerMirror);
}

void ASRModelDownloader::setPhase(Phase phase) {
    if (phase == m_phase)
        return;
    m_phase = std::move(phase);
    Q_EMIT phaseChanged();
}

void ASRModelDownloader::setProgress(double progress) {
    if (progress == m_progress)
        return;
    m_progress = progress;
    Q_EMIT progressChanged();
}

void ASRModelDownloader::start() {
    if (isBusy())
        return;
    const QList<Model> todo = missing();
    if (todo.isEmpty()) {
        setPhase({});
        return;
    }
    const auto capacity = m_config.availableCapacity();
    if (capacity && *capacity < requiredCapacity) {
        setPhase(Phase::failed(Settings::localized(QStringLiteral("磁盘空间不足（需约 3 GB 可用）"),
                                                   QStringLiteral("Not enough disk space (~3 GB needed)"))));
        return;
    }
    setPhase({Phase::Kind::downloading, {}});
    setProgress(0);
    m_task = spawn([this, todo](CancellationToken token) { return install(todo, token); });
}

Task<void> ASRModelDownloader::install(QList<Model> models, CancellationToken token) {
    const std::weak_ptr<int> alive = m_alive;
    double total = 0;
    for (const Model& m : models)
        total += m.bytes;
    double done = 0;
    try {
        const QString cache = ModelLocator::cacheDir();
        if (!QDir().mkpath(cache))
            throw DownloadError(Settings::localized(QStringLiteral("无法创建模型目录：%1"),
                                                    QStringLiteral("Cannot create the model folder: %1"))
                                    .arg(cache));
        for (const Model& model : models) {
            const QString archive = QDir(cache).filePath(model.name + QStringLiteral(".tar.bz2"));
            const QString primary = primaryBase();
            std::exception_ptr primaryError;
            try {
                co_await download(model, primary, archive, done, total, token);
            } catch (const Cancelled&) {
                throw;
            } catch (...) {
                primaryError = std::current_exception();
            }
            if (primaryError) {
                if (!alive.lock() || primary == m_config.fallback)
                    std::rethrow_exception(primaryError);
                qCInfo(Log::asr()).noquote()
                    << QStringLiteral("主源下载失败（%1），回退 GitHub 官方源").arg(userDescription(primaryError));
                co_await download(model, m_config.fallback, archive, done, total, token);
            }
            if (!alive.lock() || token.isCancelled())
                co_return;
            setPhase({Phase::Kind::extracting, {}});
            co_await extract(model.name, archive);
            if (!alive.lock() || token.isCancelled())
                co_return;
            QFile::remove(archive);
            if (!ModelLocator::resolvedDir(model.name))
                throw ASRError::modelNotFound(model.name);
            done += model.bytes;
            setProgress(total > 0 ? done / total : 1.0);
            setPhase({Phase::Kind::downloading, {}});
            qCInfo(Log::asr()).noquote() << QStringLiteral("模型安装完成：%1").arg(model.name);
        }
        setPhase({});
        setProgress(1);
        if (onInstalled)
            onInstalled();
    } catch (const Cancelled&) {
        co_return;
    } catch (const ASRError& e) {
        if (!alive.lock())
            co_return;
        qCCritical(Log::asr()).noquote() << QStringLiteral("模型下载失败：%1").arg(e.logDetail());
        setPhase(Phase::failed(ModelLocator::publicText(e.userMessage())));
    } catch (const std::exception& e) {
        if (!alive.lock())
            co_return;
        const QString description = QString::fromUtf8(e.what());
        qCCritical(Log::asr()).noquote() << QStringLiteral("模型下载失败：%1").arg(description);
        setPhase(Phase::failed(ModelLocator::publicText(description)));
    }
}

Task<void> ASRModelDownloader::download(Model model, QString base, QString archive, double done, double total,
                                        CancellationToken token) {
    const std::weak_ptr<int> alive = m_alive;
    const QUrl url(base + QLatin1Char('/') + model.name + QStringLiteral(".tar.bz2"), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        throw ASRError::modelNotFound(model.name);

    const auto writeError = [](const QFile& f) {
        return DownloadError(Settings::localized(QStringLiteral("写入模型文件失败：%1"),
                                                 QStringLiteral("Cannot write the model file: %1"))
                                 .arg(f.errorString()));
    };
    QFile part(archive + QStringLiteral(".part"));
    if (!part.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw writeError(part);

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QPointer<QNetworkReply> reply = m_network.get(request);
    // The reply may already be gone with the network manager of a destroyed downloader.
    struct ReplyGuard {
        QPointer<QNetworkReply> reply;
        ~ReplyGuard() {
            if (reply) {
                reply->disconnect();
                reply->abort();
                reply->deleteLater();
            }
        }
    } replyGuard{reply};
    AsyncStream<ReplyEvent> events;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [events] { events.yield(ReplyEvent::data); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [events] { events.yield(ReplyEvent::finished); });
    const auto cancelled = token.onCancel([events] { events.finish(); });

    // The platform client gives up on a silent server; so do we, on our clock.
    Duration lastData = m_clock.now();
    bool stalled = false;
    CancellationSource watchdogStop = CancellationSource::linkedTo(token);
    spawn([clock = &m_clock, &lastData, &stalled, reply, limit = m_config.stallLimit](CancellationToken t) -> Task<void> {
        while (co_await clock->sleep(std::chrono::seconds(1), t)) {
            if (t.isCancelled())
                co_return;
            if (clock->now() - lastData >= limit && reply) {
                stalled = true;
                reply->abort();
                co_return;
            }
        }
    }, watchdogStop.token());
    struct StopWatchdog {
        CancellationSource& source;
        ~StopWatchdog() { source.cancel(); }
    } stopWatchdog{watchdogStop};

    QByteArray buffer;
    buffer.reserve(int(flushBytes));
    qint64 received = 0;
    qint64 reported = 0;
    bool statusChecked = false;
    for (;;) {
        auto next = events.next();
        const std::optional<ReplyEvent> event = co_await std::move(next);
        if (!event || token.isCancelled() || !alive.lock() || !reply)
            throw Cancelled{};
        lastData = m_clock.now();
        if (stalled)
            throw DownloadError(Settings::localized(QStringLiteral("下载超时：服务器长时间没有响应"),
                                                    QStringLiteral("Download timed out: the server stopped responding")));
        if (!statusChecked && (*event == ReplyEvent::finished || reply->bytesAvailable() > 0)) {
            const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
            if (status.isValid() || *event == ReplyEvent::finished) {
                statusChecked = true;
                if (status.toInt() != 200) {
                    if (!status.isValid() && reply->error() != QNetworkReply::NoError)
                        throw DownloadError(reply->errorString());
                    throw DownloadError(Settings::localized(QStringLiteral("服务器响应异常（HTTP %1）"),
                                                            QStringLiteral("Bad server response (HTTP %1)"))
                                            .arg(status.toInt()));
                }
            }
        }
        buffer.append(reply->readAll());
        while (buffer.size() >= flushBytes) {
            if (part.write(buffer.constData(), flushBytes) != flushBytes)
                throw writeError(part);
            buffer.remove(0, int(flushBytes));
            received += flushBytes;
            if (received - reported >= flushBytes) {
                reported = received;
                setProgress((done + std::min(double(received), model.bytes)) / total);
            }
        }
        if (*event == ReplyEvent::finished)
            break;
    }
    if (reply->error() != QNetworkReply::NoError)
        throw DownloadError(reply->errorString());
    if (!buffer.isEmpty() && part.write(buffer) != buffer.size())
        throw writeError(part);
    part.close();
    if (part.error() != QFileDevice::NoError)
        throw writeError(part);
    QFile::remove(archive);
    if (!part.rename(archive))
        throw writeError(part);
}

Task<void> ASRModelDownloader::extract(QString name, QString archive) {
    // Unpacked into a staging folder first: an archive that fails half-way must not
    // leave a model folder that looks installed.
    auto job = m_extractor.run([name, archive]() -> std::optional<QString> {
        const QDir cache(ModelLocator::cacheDir());
        const QString staging = cache.filePath(QStringLiteral(".unpacking-") + name);
        QDir(staging).removeRecursively();
        if (!QDir().mkpath(staging))
            return QStringLiteral("cannot create %1").arg(staging);
        QProcess tar;
        tar.setStandardOutputFile(QProcess::nullDevice());
        tar.start(tarProgram(), {QStringLiteral("xjf"), archive, QStringLiteral("-C"), staging,
                                 QStringLiteral("--no-same-owner")});
        if (!tar.waitForStarted(-1)) {
            QDir(staging).removeRecursively();
            return tar.errorString();
        }
        tar.waitForFinished(-1);
        bool ok = tar.exitStatus() == QProcess::NormalExit && tar.exitCode() == 0;
        if (!ok)
            qCDebug(Log::asr()).noquote() << QString::fromLocal8Bit(tar.readAllStandardError()).trimmed();
        if (ok)
            ok = QDir().rename(QDir(staging).filePath(name), cache.filePath(name));
        QDir(staging).removeRecursively();
        if (!ok)
            return QString(); // reported as a model that was not found
        return std::nullopt;
    });
    const std::optional<QString> failure = co_await std::move(job);
    if (!failure)
        co_return;
    if (failure->isEmpty())
        throw ASRError::modelNotFound(QFileInfo(archive).fileName());
    throw DownloadError(*failure);
}

} // namespace zelk
