#pragma once

#include "storage/history_entry.h"

#include <QByteArray>
#include <QDateTime>

#include <ctime>

namespace zelk::test {

// Sets the process time zone (TZ) for the life of the object; both Qt's local
// time and SQLite's 'localtime' follow it.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : m_old(qgetenv("TZ")), m_hadOld(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_hadOld)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_old;
    bool m_hadOld;
};

inline HistoryEntry sampleEntry(const QString& delivered, const QDateTime& at, double duration = 2.5) {
    HistoryEntry e;
    e.createdAt = at;
    e.mode = QStringLiteral("clean");
    e.appName = QStringLiteral("Kate");
    e.draft = QStringLiteral("draft of ") + delivered;
    e.delivered = delivered;
    e.duration = duration;
    e.outcome = QStringLiteral("pasted");
    e.polishSource = QStringLiteral("原文");
    return e;
}

} // namespace zelk::test
