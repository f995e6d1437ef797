#include "platform/linux/linux_workspace.h"

#include "platform/linux/x11_windows.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QStandardPaths>
#include <QStringList>

namespace zelk {

namespace {

QString processName(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

// The process state letter from /proc/<pid>/stat; absent when the process does not exist.
std::optional<QChar> processState(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray stat = f.readAll();
    // The command name is in parentheses and may itself hold ") ".
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return std::nullopt;
    return QChar(stat.at(close + 2));
}

struct ParsedEntry {
    QHash<QString, QString> keys;
};

ParsedEntry parseDesktopFile(const QString& path) {
    ParsedEntry entry;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    bool inMain = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMain = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inMain || eq <= 0 || line.startsWith(QLatin1Char('#')))
            continue;
        entry.keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return entry;
}

QString localizedName(const ParsedEntry& e) {
    const QString locale = QLocale::system().name(); // "zh_CN"
    for (const QString& key : {QStringLiteral("Name[%1]").arg(locale), QStringLiteral("Name[%1]").arg(locale.section(QLatin1Char('_'), 0, 0)),
                               QStringLiteral("Name")}) {
        const QString v = e.keys.value(key);
        if (!v.isEmpty())
            return v;
    }
    return {};
}

} // namespace

std::optional<DesktopEntry> desktopEntryForClass(const QString& instance, const QString& windowClass) {
    static QHash<QString, std::optional<DesktopEntry>> cache;
    const QString cacheKey = instance + QLatin1Char('\n') + windowClass;
    if (auto it = cache.constFind(cacheKey); it != cache.constEnd())
        return *it;
    const QString a = instance.toLower(), b = windowClass.toLower();
    std::optional<DesktopEntry> found;
    const auto dirs = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString& dir : dirs) {
        const auto files = QDir(dir).entryInfoList({QStringLiteral("*.desktop")}, QDir::Files);
        for (const QFileInfo& fi : files) {
            const QString id = fi.completeBaseName();
            const QString lowerId = id.toLower();
            const ParsedEntry e = parseDesktopFile(fi.filePath());
            const QString wmClass = e.keys.value(QStringLiteral("StartupWMClass")).toLower();
            const bool matches = (!wmClass.isEmpty() && (wmClass == a || wmClass == b)) ||
                                 (!b.isEmpty() && (lowerId == b || lowerId.endsWith(QLatin1Char('.') + b))) ||
                                 (!a.isEmpty() && (lowerId == a || lowerId.endsWith(QLatin1Char('.') + a)));
            if (matches && e.keys.value(QStringLiteral("NoDisplay")) != QLatin1String("true")) {
                found = DesktopEntry{id, localizedName(e)};
                break;
            }
        }
        if (found)
            break;
    }
    cache.insert(cacheKey, found);
    return found;
}

std::optional<RunningApplication> LinuxWorkspace::frontmostApplication() {
    x11::Display* dpy = x11::display();
    const auto window = x11::activeWindow(dpy);
    if (!window)
        return std::nullopt;
    const auto pid = x11::windowPid(dpy, *window);
    if (!pid)
        return std::nullopt;
    RunningApplication app;
    app.pid = *pid;
    const QStringList cls = x11::windowClass(dpy, *window);
    const QString instance = cls.value(0), windowClass = cls.value(1);
    if (const auto entry = desktopEntryForClass(instance, windowClass)) {
        app.bundleID = entry->id;
        if (!entry->name.isEmpty())
            app.localizedName = entry->name;
    } else if (!windowClass.isEmpty()) {
        app.bundleID = windowClass;
    }
    if (!app.localizedName) {
        const QString comm = processName(*pid);
        if (!comm.isEmpty())
            app.localizedName = comm;
    }
    return app;
}

std::optional<RunningApplication> LinuxWorkspace::runningApplication(qint64 pid) {
    if (pid <= 0)
        return std::nullopt;
    const auto state = processState(pid);
    if (!state)
        return std::nullopt;
    RunningApplication app;
    app.pid = pid;
    app.isTerminated = *state == QLatin1Char('Z') || *state == QLatin1Char('X');
    const QString comm = processName(pid);
    if (!comm.isEmpty())
        app.localizedName = comm;
    return app;
}

bool LinuxWorkspace::activate(qint64 pid) {
    x11::Display* dpy = x11::display();
    const auto window = x11::topWindowOf(dpy, pid);
    return window && x11::activateWindow(dpy, *window);
}

} // namespace zelk
