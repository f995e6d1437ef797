#pragma once

#include "core/actor.h"
#include "core/clock.h"
#include "core/task.h"

#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace zelk {

// Where recognition model archives come from: base + "/" + name + ".tar.bz2".
// "asrModelBase" replaces the maker's mirror; the fallback is fixed.
namespace ModelSources {
inline const QString makerMirror = QStringLiteral("https://dl.zelk.cn/asr-models");
inline const QString fallback = QStringLiteral("https://github.com/k2-fsa/sherpa-onnx/releases/download/asr-models");
} // namespace ModelSources

// A byte count the way file managers show it: decimal units, "133.9 MB", "1.01 GB".
QString fileSizeLabel(qint64 bytes);

struct RecognitionModel {
    QString name;
    double bytes = 0; // archive size, for progress and the size label
    bool operator==(const RecognitionModel&) const = default;
};

// The models this system installs, in install order.
const QList<RecognitionModel>& recognitionModels();

struct ModelDownloadConfig {
    QList<RecognitionModel> models = recognitionModels();
    QString makerMirror = ModelSources::makerMirror;
    QString fallback = ModelSources::fallback;
    // Free bytes on the home volume; nullopt when it cannot be read.
    std::function<std::optional<qint64>()> availableCapacity;
    // A transfer that receives nothing for this long fails.
    Duration stallLimit = std::chrono::seconds(60);
};

// Fetches the missing recognition models, unpacks them into the model cache and
// says when they are in place. Main thread only.
class ASRModelDownloader : public QObject {
    Q_OBJECT
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)

public:
    struct Phase {
        enum class Kind { idle, downloading, extracting, failed };
        Kind kind = Kind::idle;
        QString message; // only for failed
        static Phase failed(QString message) { return {Kind::failed, std::move(message)}; }
        bool operator==(const Phase&) const = default;
    };

    using Model = RecognitionModel;
    using Config = ModelDownloadConfig;
    static const QList<Model>& installedModels() { return recognitionModels(); }

    static constexpr qint64 requiredCapacity = 3'221'225'472; // 3 GiB
    static constexpr qint64 flushBytes = 2'097'152;           // 2 MiB

    explicit ASRModelDownloader(Config config = Config(), Clock& clock = Clock::shared(), QObject* parent = nullptr);
    ~ASRModelDownloader() override;

    Phase phase() const { return m_phase; }
    double progress() const { return m_progress; }
    bool isBusy() const;
    // Models whose directory is not found, in install order.
    QList<Model> missing() const;
    QString missingSizeLabel() const;

    // Installs what is missing; ignored while an install runs.
    void start();

    std::function<void()> onInstalled;

Q_SIGNALS:
    void phaseChanged();
    void progressChanged();

private:
    Task<void> install(QList<Model> models, CancellationToken token);
    Task<void> download(Model model, QString base, QString archive, double done, double total,
                        CancellationToken token);
    Task<void> extract(QString name, QString archive);
    void setPhase(Phase phase);
    void setProgress(double progress);
    QString primaryBase() const;

    Config m_config;
    Clock& m_clock;
    Phase m_phase;
    double m_progress = 0;
    QNetworkAccessManager m_network;
    Actor m_extractor{QStringLiteral("asr-extract")};
    TaskHandle m_task;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace zelk
