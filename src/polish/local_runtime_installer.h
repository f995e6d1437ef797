#pragma once

#include "core/task.h"
#include "polish/download_mirror.h"
#include "polish/runtime_table.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <exception>
#include <functional>
#include <optional>
#include <string>

class QNetworkAccessManager;

namespace zelk {

// Why the runtime could not be installed.
class InstallError : public std::exception {
public:
    enum class Kind { badDownload, step };
    static InstallError badDownload(QString detail) { return InstallError(Kind::badDownload, std::move(detail), {}, 0); }
    static InstallError step(QString name, int exitCode) { return InstallError(Kind::step, {}, std::move(name), exitCode); }

    Kind kind() const { return m_kind; }
    const QString& detail() const { return m_detail; }
    const QString& stepName() const { return m_step; }
    int exitCode() const { return m_exitCode; }
    QString userMessage() const;
    QString logDetail() const { return userMessage(); }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    InstallError(Kind kind, QString detail, QString step, int exitCode);
    Kind m_kind;
    QString m_detail;
    QString m_step;
    int m_exitCode;
    std::string m_what;
};

// Installs the local helper's Python runtime under `root`: a standalone
// interpreter and pinned wheels, each checked by size and SHA-256, a virtual
// environment built aside and installed offline, then moved into place.
class LocalRuntimeInstaller {
public:
    // Downloads a URL into a temporary file and answers its path; throws InstallError.
    using Fetch = std::function<Task<QString>(QUrl)>;
    using Progress = std::function<void(double)>;

    LocalRuntimeInstaller(RuntimeTable table, QString root, std::optional<int> macOSMajor = std::nullopt);

    QString root() const { return m_root; }
    QString python() const; // the interpreter the helper runs: venv/bin/python3
    QString pythonDir() const { return m_root + QStringLiteral("/python"); }
    QString venvDir() const { return m_root + QStringLiteral("/venv"); }
    QString wheelsDir() const { return m_root + QStringLiteral("/wheels"); }

    // The wheels for this system: every shared one plus the builds of its variant.
    QList<RuntimeWheel> wheels() const;
    static QList<RuntimeWheel> wheels(const RuntimeTable& table, std::optional<int> macOSMajor);
    qint64 approxBytes() const;

    Task<void> install(DownloadMirror::Region region, Fetch fetch, Progress progress);

    // A fetch over HTTP(S) into files beside `root`; non-200 answers fail.
    static Fetch networkFetcher(QNetworkAccessManager& network, QString tempDir);

    static void verify(const QString& path, const RuntimeArtifact& artifact);
    static std::optional<QString> sha256(const QString& path);

private:
    // Coroutines take their arguments by value: they outlive the caller's temporaries.
    Task<void> installPython(DownloadMirror::Region region, Fetch fetch);
    Task<void> fetchVerified(RuntimeArtifact artifact, DownloadMirror::Region region, QString destination, Fetch fetch);
    static Task<void> run(QString program, QStringList arguments, QString step, std::function<void(qint64)> onLines = {});

    RuntimeTable m_table;
    QString m_root;
    std::optional<int> m_macOSMajor;
};

} // namespace zelk
