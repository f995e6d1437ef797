#pragma once

#include "core/async_stream.h"
#include "core/clock.h"
#include "core/task.h"
#include "polish/download_mirror.h"
#include "polish/helper_protocol.h"
#include "polish/memory_pressure.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QProcess;

namespace zelk {

// Polishes a transcript on this machine through a helper process that runs a
// language model and speaks JSON lines on its standard input and output. The
// helper is started on demand and stopped when idle, under memory pressure or
// when a request hangs. Also drives the one-time runtime and model install.
// Main thread only; must outlive its calls.
class LocalPolishEngine : public QObject {
    Q_OBJECT
public:
    static constexpr quint64 requiredMemory = 17179869184ULL; // 16 GiB
    static constexpr qint64 modelBytes = 3590000000LL;

    using InstallRuntime = std::function<Task<void>(DownloadMirror::Region, std::function<void(double)> progress)>;

    struct Environment {
        Clock* clock = nullptr;
        quint64 physicalMemory = 0;
        QString root;         // ~/.cache/zelk-llm
        QString helperScript; // empty when not found
        // Whether this build knows how to install the runtime here (a runtime
        // table ships for the platform), and its approximate download size.
        bool runtimeInstallable = false;
        qint64 runtimeBytes = 0;
        InstallRuntime installRuntime;
        MemoryPressureFactory memoryPressure;
        std::function<DownloadMirror::Region()> region;
    };

    explicit LocalPolishEngine(Environment environment, QObject* parent = nullptr);
    ~LocalPolishEngine() override;
    static LocalPolishEngine& shared();
    // The environment of this machine and user.
    static Environment systemEnvironment();

    QString interpreter() const;
    QString modelDir() const;
    bool hasEnoughMemory() const;
    // Enough memory, and the runtime can be installed here or already is.
    bool isSupported() const;
    bool interpreterInstalled() const;
    bool modelInstalled() const;
    // Enough memory, interpreter and model installed.
    bool isReady() const;
    bool helperRunning() const;

    QString stateLabel() const;
    // Why the platform is not supported, for the settings page; empty when it is.
    QString unsupportedMessage() const;
    QString missingSizeLabel() const;
    std::optional<double> downloadProgress() const { return m_downloadProgress; }
    bool isInstallingRuntime() const { return m_installingRuntime; }
    bool lastDownloadFailed() const { return m_lastDownloadFailed; }
    // Runtime and model together, 0…1; −1 when nothing is being installed.
    double combinedProgress() const;
    void setProgressHandler(std::function<void(double)> handler) { m_progressHandler = std::move(handler); }

    void prewarm();
    Task<std::optional<QString>> polish(QString text, QString tone, std::optional<QString> toneText,
                                        std::function<void(const QString&)> onDelta);
    void startDownload();
    void shutdown(const QString& reason);

Q_SIGNALS:
    void stateChanged();

private:
    bool launchIfNeeded();
    Task<bool> waitReady();
    void send(const QJsonObject& message);
    void consume(const QByteArray& chunk);
    void handle(const HelperProtocol::Message& message);
    void handleTermination();
    void cleanupProcessState();
    void scheduleIdleExit();
    void failReadyWaiters();
    void finishPending(std::optional<QString> result);
    void startModelDownload();
    void failDownload(const QString& message);
    void setDownloadProgress(std::optional<double> progress);

    Environment m_env;
    Clock& m_clock;
    CancellationSource m_lifetime;
    std::optional<double> m_downloadProgress;
    double m_runtimeShare = 0;
    double m_runtimeProgress = 0;
    bool m_installingRuntime = false;
    bool m_lastDownloadFailed = false;
    QPointer<QProcess> m_process;
    HelperProtocol::LineBuffer m_lineBuffer;
    qint64 m_nextID = 1;
    TaskHandle m_idleTask;
    std::unique_ptr<MemoryPressureWatch> m_memoryPressure;
    std::optional<qint64> m_pendingID;
    std::function<void(const QString&)> m_pendingDelta;
    std::optional<AsyncStream<std::optional<QString>>> m_pendingDone;
    QList<AsyncStream<bool>> m_readyWaiters;
    bool m_isReady = false;
    std::function<void(double)> m_progressHandler;
};

} // namespace zelk
