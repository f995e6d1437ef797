#include "polish/local_polish_engine.h"

#include "core/folders.h"
#include "core/log.h"
#include "core/settings.h"
#include "core/text.h"
#include "polish/cloud_account.h"
#include "polish/local_runtime_installer.h"
#include "polish/runtime_table.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QProcess>

#include <unistd.h>

namespace zelk {

namespace {

void logInfo(const QString& message) { qCInfo(Log::app).noquote() << message; }

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

LocalPolishEngine::LocalPolishEngine(Environment environment, QObject* parent)
    : QObject(parent), m_env(std::move(environment)), m_clock(m_env.clock ? *m_env.clock : Clock::shared()) {}

LocalPolishEngine::~LocalPolishEngine() {
    m_lifetime.cancel();
    // No helper outlives the engine.
    for (QProcess* process : findChildren<QProcess*>()) {
        process->kill();
        process->waitForFinished(1000);
    }
}

LocalPolishEngine& LocalPolishEngine::shared() {
    static LocalPolishEngine engine(systemEnvironment());
    return engine;
}

LocalPolishEngine::Environment LocalPolishEngine::systemEnvironment() {
    Environment env;
    env.clock = &Clock::shared();
    env.physicalMemory = quint64(::sysconf(_SC_PHYS_PAGES)) * quint64(::sysconf(_SC_PAGE_SIZE));
    env.root = folders::llmCache();
    for (const QString& candidate :
         {QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zelk/polish_helper.py"),
          QStringLiteral(ZELK_RESOURCES_DIR "/polish_helper.py")}) {
        if (QFileInfo(candidate).isFile()) {
            env.helperScript = QFileInfo(candidate).canonicalFilePath();
            break;
        }
    }
    if (const auto table = RuntimeTables::current()) {
        env.runtimeInstallable = true;
        env.runtimeBytes = LocalRuntimeInstaller(*table, env.root).approxBytes();
        env.installRuntime = [table = *table, root = env.root](DownloadMirror::Region region,
                                                                std::function<void(double)> progress) -> Task<void> {
            static QNetworkAccessManager network;
            LocalRuntimeInstaller installer(table, root);
            Task<void> installing = installer.install(region, LocalRuntimeInstaller::networkFetcher(network, root), progress);
            co_await std::move(installing);
        };
    }
    env.memoryPressure = linuxMemoryPressure(Clock::shared());
    env.region = [] {
        return CloudAccount::shared().isInternational() ? DownloadMirror::Region::international
                                                        : DownloadMirror::Region::domestic;
    };
    return env;
}

QString LocalPolishEngine::interpreter() const { return m_env.root + QStringLiteral("/venv/bin/python3"); }
QString LocalPolishEngine::modelDir() const { return m_env.root + QStringLiteral("/gemma-4-e2b-it-4bit"); }
bool LocalPolishEngine::hasEnoughMemory() const { return m_env.physicalMemory >= requiredMemory; }
bool LocalPolishEngine::interpreterInstalled() const { return isExecutableFile(interpreter()); }
bool LocalPolishEngine::modelInstalled() const { return QFileInfo(modelDir() + QStringLiteral("/config.json")).isFile(); }
bool LocalPolishEngine::isSupported() const {
    return hasEnoughMemory() && (m_env.runtimeInstallable || interpreterInstalled());
}
bool LocalPolishEngine::isReady() const { return hasEnoughMemory() && interpreterInstalled() && modelInstalled(); }
bool LocalPolishEngine::helperRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }

QString LocalPolishEngine::stateLabel() const {
    if (!isSupported())
        return QStringLiteral("unsupported");
    if (m_installingRuntime || m_downloadProgress)
        return QStringLiteral("downloading");
    if (interpreterInstalled() && modelInstalled())
        return QStringLiteral("ready");
    if (m_lastDownloadFailed)
        return QStringLiteral("failed");
    if (interpreterInstalled())
        return QStringLiteral("model_missing");
    return QStringLiteral("no_runtime");
}

QString LocalPolishEngine::unsupportedMessage() const {
    if (!hasEnoughMemory())
        return Settings::localized(QStringLiteral("本地润色需要至少 16 GB 内存"),
                                   QStringLiteral("Local polish needs at least 16 GB of memory"));
    if (!isSupported())
        return Settings::localized(QStringLiteral("本地润色暂不支持此平台：此版本未附带运行时清单"),
                                   QStringLiteral("Local polish is not yet available on this platform: this build "
                                                  "ships no runtime table"));
    return {};
}

QString LocalPolishEngine::missingSizeLabel() const {
    const bool runtime = interpreterInstalled(), model = modelInstalled();
    qint64 bytes = (runtime ? 0 : m_env.runtimeBytes) + (model ? 0 : modelBytes);
    if (runtime && model)
        bytes = m_env.runtimeBytes + modelBytes;
    return QLocale(QLocale::English, QLocale::UnitedStates).formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

double LocalPolishEngine::combinedProgress() const {
    if (m_installingRuntime)
        return m_runtimeShare * m_runtimeProgress;
    if (!m_downloadProgress)
        return -1;
    return m_runtimeShare + *m_downloadProgress * (1 - m_runtimeShare);
}

bool LocalPolishEngine::launchIfNeeded() {
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning)
            return true;
        // Exited, but its notice has not arrived yet: settle it before a new start.
        handleTermination();
    }
    if (!interpreterInstalled() || m_env.helperScript.isEmpty() || !QFileInfo(m_env.helperScript).isFile())
        return false;
    auto* process = new QProcess(this);
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, &QProcess::readyReadStandardOutput, this, [this, process] {
        const QByteArray chunk = process->readAllStandardOutput();
        if (process == m_process)
            consume(chunk);
    });
    connect(process, &QProcess::finished, this, [this, process] {
        // A helper that was already stopped and replaced must not touch the new one.
        const bool current = process == m_process;
        process->deleteLater();
        if (current)
            handleTermination();
    });
    process->start(interpreter(), {m_env.helperScript});
    if (!process->waitForStarted(10'000)) {
        logInfo(QStringLiteral("本地润色 helper 启动失败：%1").arg(process->errorString()));
        process->disconnect(this);
        process->deleteLater();
        return false;
    }
    m_process = process;
    m_isReady = false;
    if (!m_memoryPressure && m_env.memoryPressure) {
        QPointer<LocalPolishEngine> self = this;
        m_memoryPressure = m_env.memoryPressure([self] {
            // Deferred: the shutdown destroys the watch that is calling us.
            QMetaObject::invokeMethod(
                self, [self] {
                    if (self)
                        self->shutdown(QStringLiteral("内存压力"));
                },
                Qt::QueuedConnection);
        });
    }
    logInfo(QStringLiteral("本地润色 helper 已拉起"));
    return true;
}

Task<bool> LocalPolishEngine::waitReady() {
    if (m_isReady)
        co_return true;
    if (!launchIfNeeded())
        co_return false;
    send(HelperProtocol::ping());
    AsyncStream<bool> waiter;
    m_readyWaiters.append(waiter);
    QPointer<LocalPolishEngine> self = this;
    Clock& clock = m_clock;
    TaskHandle timer = spawn(
        [self, &clock](CancellationToken token) -> Task<void> {
            if (co_await clock.sleep(std::chrono::seconds(20), token) && self)
                self->failReadyWaiters();
        },
        m_lifetime.token());
    const auto ready = co_await waiter.next();
    timer.cancel();
    co_return ready.value_or(false);
}

void LocalPolishEngine::prewarm() {
    if (!hasEnoughMemory() || !modelInstalled())
        return;
    if (!launchIfNeeded())
        return;
    m_idleTask.cancel();
    if (!m_isReady)
        send(HelperProtocol::ping());
}

Task<std::optional<QString>> LocalPolishEngine::polish(QString text, QString tone, std::optional<QString> toneText,
                                                       std::function<void(const QString&)> onDelta) {
    if (!hasEnoughMemory() || !modelInstalled())
        co_return std::nullopt;
    if (!co_await waitReady())
        co_return std::nullopt;
    m_idleTask.cancel();
    finishPending(std::nullopt); // one request at a time: an overlapped caller gets nothing, not a hang
    const qint64 id = m_nextID++;
    m_pendingID = id;
    m_pendingDelta = std::move(onDelta);

    const double limit = std::min(6.0 + 0.04 * double(text::graphemeCount(text)), 30.0);
    QPointer<LocalPolishEngine> self = this;
    Clock& clock = m_clock;
    TaskHandle watchdog = spawn(
        [self, &clock, limit](CancellationToken token) -> Task<void> {
            if (co_await clock.sleep(secondsF(limit), token) && self)
                self->shutdown(QStringLiteral("润色超时 %1s").arg(int(limit)));
        },
        m_lifetime.token());

    AsyncStream<std::optional<QString>> done;
    m_pendingDone = done;
    send(HelperProtocol::polish(id, text, tone, toneText));
    const auto result = co_await done.next();
    watchdog.cancel();
    if (self)
        scheduleIdleExit();
    co_return result ? *result : std::nullopt;
}

void LocalPolishEngine::send(const QJsonObject& message) {
    if (m_process && m_process->state() == QProcess::Running)
        m_process->write(HelperProtocol::encode(message));
}

void LocalPolishEngine::consume(const QByteArray& chunk) {
    const QPointer<QProcess> source = m_process;
    for (const QByteArray& line : m_lineBuffer.append(chunk)) {
        if (m_process != source)
            return; // the helper was stopped while we handled an earlier line
        if (const auto message = HelperProtocol::decode(line))
            handle(*message);
    }
}

void LocalPolishEngine::handle(const HelperProtocol::Message& message) {
    using namespace HelperProtocol;
    if (std::holds_alternative<Ready>(message)) {
        m_isReady = true;
        for (const auto& waiter : std::exchange(m_readyWaiters, {}))
            waiter.yield(true);
    } else if (const auto* progress = std::get_if<Progress>(&message)) {
        const double fraction = std::clamp(progress->fraction, 0.0, 1.0);
        setDownloadProgress(fraction);
        if (m_progressHandler)
            m_progressHandler(fraction);
        if (progress->downloaded) {
            setDownloadProgress(std::nullopt);
            m_progressHandler = {};
            scheduleIdleExit();
        }
    } else if (const auto* error = std::get_if<Error>(&message)) {
        logInfo(QStringLiteral("本地润色 helper 错误：%1").arg(error->text));
        if ((error->id && error->id == m_pendingID) || (!error->id && !m_pendingID))
            finishPending(std::nullopt);
        if (m_downloadProgress)
            failDownload(error->text);
        failReadyWaiters();
    } else if (const auto* output = std::get_if<Output>(&message)) {
        if (!m_pendingID || output->id != *m_pendingID)
            return;
        if (output->delta && !output->delta->isEmpty() && m_pendingDelta)
            m_pendingDelta(*output->delta);
        if (output->done) {
            const QString t = text::trimmedWhitespaceAndNewlines(output->text.value_or(QString()));
            finishPending(t.isEmpty() ? std::nullopt : std::optional<QString>(t));
        }
    }
}

void LocalPolishEngine::finishPending(std::optional<QString> result) {
    if (auto done = std::exchange(m_pendingDone, std::nullopt))
        done->yield(std::move(result));
    m_pendingID.reset();
    m_pendingDelta = {};
}

void LocalPolishEngine::handleTermination() {
    cleanupProcessState();
    finishPending(std::nullopt);
    failReadyWaiters();
    if (m_downloadProgress)
        failDownload(QStringLiteral("helper 在下载中退出"));
}

void LocalPolishEngine::cleanupProcessState() {
    m_process = nullptr;
    m_isReady = false;
    m_lineBuffer.clear();
    m_idleTask.cancel();
    m_idleTask = {};
    m_memoryPressure.reset();
    Q_EMIT stateChanged();
}

void LocalPolishEngine::shutdown(const QString& reason) {
    if (!m_process)
        return;
    logInfo(QStringLiteral("本地润色 helper 退出：%1").arg(reason));
    send(HelperProtocol::quit());
    QPointer<QProcess> process = m_process;
    Clock& clock = m_clock;
    spawn(
        [process, &clock](CancellationToken token) -> Task<void> {
            if (!co_await clock.sleep(secondsF(1.5), token))
                co_return;
            if (process && process->state() != QProcess::NotRunning)
                process->terminate();
            // A helper that ignores the polite signal too is killed.
            if (!co_await clock.sleep(secondsF(1.5), token))
                co_return;
            if (process && process->state() != QProcess::NotRunning)
                process->kill();
        },
        m_lifetime.token());
    // The process is forgotten now, so its later exit is ignored: settle its
    // waiters here instead.
    handleTermination();
}

void LocalPolishEngine::scheduleIdleExit() {
    m_idleTask.cancel();
    QPointer<LocalPolishEngine> self = this;
    Clock& clock = m_clock;
    m_idleTask = spawn(
        [self, &clock](CancellationToken token) -> Task<void> {
            if (co_await clock.sleep(std::chrono::seconds(180), token) && self)
                self->shutdown(QStringLiteral("空闲超时"));
        },
        m_lifetime.token());
}

void LocalPolishEngine::failReadyWaiters() {
    for (const auto& waiter : std::exchange(m_readyWaiters, {}))
        waiter.yield(false);
}

void LocalPolishEngine::startDownload() {
    if (!isSupported() || m_installingRuntime || m_downloadProgress || (interpreterInstalled() && modelInstalled()))
        return;
    m_lastDownloadFailed = false;
    if (interpreterInstalled()) {
        m_runtimeShare = 0;
        startModelDownload();
        return;
    }
    m_runtimeShare = 0.15;
    m_runtimeProgress = 0;
    m_installingRuntime = true;
    Q_EMIT stateChanged();
    QPointer<LocalPolishEngine> self = this;
    const auto region = m_env.region ? m_env.region() : DownloadMirror::Region::domestic;
    spawn(
        [self, region, install = m_env.installRuntime](CancellationToken) -> Task<void> {
            std::optional<QString> failure;
            // Named, not a temporary of the await: GCC 12 destroys such temporaries
            // twice when the awaited task throws.
            std::function<void(double)> progress = [self](double p) {
                if (self) {
                    self->m_runtimeProgress = p;
                    Q_EMIT self->stateChanged();
                }
            };
            try {
                Task<void> installing = install(region, progress);
                co_await std::move(installing);
            } catch (const InstallError& e) {
                failure = e.userMessage();
            } catch (const std::exception& e) {
                failure = QString::fromStdString(e.what());
            }
            if (!self)
                co_return;
            self->m_installingRuntime = false;
            if (failure)
                self->failDownload(QStringLiteral("运行时：") + *failure);
            else
                self->startModelDownload();
        },
        m_lifetime.token());
}

void LocalPolishEngine::startModelDownload() {
    if (modelInstalled()) {
        Q_EMIT stateChanged();
        return;
    }
    if (!launchIfNeeded()) {
        failDownload(QStringLiteral("helper 启动失败"));
        return;
    }
    m_idleTask.cancel();
    setDownloadProgress(0.0);
    const auto region = m_env.region ? m_env.region() : DownloadMirror::Region::domestic;
    send(HelperProtocol::download(DownloadMirror::baseUrl(region).toString()));
}

void LocalPolishEngine::failDownload(const QString& message) {
    setDownloadProgress(std::nullopt);
    m_progressHandler = {};
    m_lastDownloadFailed = true;
    logInfo(QStringLiteral("本地润色下载失败：%1").arg(message));
    Q_EMIT stateChanged();
}

void LocalPolishEngine::setDownloadProgress(std::optional<double> progress) {
    if (progress == m_downloadProgress)
        return;
    m_downloadProgress = progress;
    Q_EMIT stateChanged();
}

} // namespace zelk
