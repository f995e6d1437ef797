#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace zelk {

// One downloadable file of the local runtime, checked by exact size and SHA-256.
struct RuntimeArtifact {
    QString file;
    qint64 bytes = 0;
    QString sha256; // 64 lower-case hex digits
    QString mirrorPath; // relative to the mirror's base URL
    QUrl official;
    bool operator==(const RuntimeArtifact&) const = default;
};

// One pinned wheel. `variant` is absent for a wheel that serves every system,
// else the system version whose build it is (the macOS major version).
struct RuntimeWheel {
    QString file;
    qint64 bytes = 0;
    QString sha256;
    std::optional<int> variant;
    bool operator==(const RuntimeWheel&) const = default;
};

// The interpreter and the wheels that run the helper's model on one platform.
struct RuntimeTable {
    QString platform;
    RuntimeArtifact python;
    QList<RuntimeWheel> wheels;
    QString wheelMirrorPrefix; // "local-polish/mac/wheels/"
    QUrl packageIndexHost = QUrl(QStringLiteral("https://files.pythonhosted.org"));

    // The package index URL of a wheel, derived from its file name.
    QUrl officialUrl(const RuntimeWheel& wheel) const;
    RuntimeArtifact artifact(const RuntimeWheel& wheel) const;
    bool operator==(const RuntimeTable&) const = default;
};

namespace RuntimeTables {

// Apple silicon, pinned for the macOS builds.
const RuntimeTable& macOS();

// Release configuration: a JSON file shipped beside the helper script. Format:
// {"platform": "linux-x86_64",
//  "python": {"file", "bytes", "sha256", "mirrorPath", "official"},
//  "wheelMirrorPrefix": "local-polish/linux/wheels/",
//  "packageIndexHost": "https://files.pythonhosted.org",   (optional)
//  "wheels": [{"file", "bytes", "sha256"}, ...]}
// Every size and digest must describe the real published file.
std::optional<RuntimeTable> fromJson(const QByteArray& json, QString* error = nullptr);

// Where the Linux table is looked for: $ZELK_RUNTIME_TABLE, else
// <program folder>/../share/zelk/runtime-linux-x86_64.json.
QString linuxTablePath();

// The table of the running platform, or nothing when none ships with this build.
std::optional<RuntimeTable> current();

} // namespace RuntimeTables
} // namespace zelk
