#pragma once

#include "storage/history_entry.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QObject>

#include <memory>
#include <optional>

namespace zelk {

class Clock;
class SqliteDatabase;

// Every finished dictation and committed voice rewrite, one row each, with
// lifetime totals and per-day figures that survive both the pruning of old
// rows and the user's clearing of the history. Main thread only.
class HistoryStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<zelk::HistoryEntry> recent READ recent NOTIFY recentChanged)
    Q_PROPERTY(std::optional<zelk::HistoryEntry> lastSession READ lastSession WRITE setLastSession NOTIFY lastSessionChanged)

public:
    struct DayActivity {
        QDateTime day; // local midnight
        qint64 chars = 0;
        qint64 count = 0;
        bool operator==(const DayActivity&) const = default;
    };

    struct Stats {
        qint64 todayCount = 0;
        qint64 todayChars = 0;
        qint64 totalCount = 0;
        qint64 totalChars = 0;
        double totalSeconds = 0;
        bool operator==(const Stats&) const = default;
    };

    static constexpr int recentLimit = 50;
    static constexpr int keptRows = 500;
    static constexpr int searchLimit = 500;

    // Opens or creates the database and brings older layouts up to date. `clock`
    // gives "now" for today's figures and backup names; it must outlive the store.
    HistoryStore(const QString& path, Clock& clock, QObject* parent = nullptr);
    ~HistoryStore() override;

    // <application support>/history.db
    static QString defaultPath();
    // "<path>.bak-yyyyMMdd-HHmmss" in local time, with "-1", "-2"… when taken.
    static QString backupPath(const QString& dbPath, const QDateTime& now);
    // Backslash before every backslash, "%" and "_", for LIKE … ESCAPE '\'.
    static QString escapeLike(const QString& text);

    bool hasDatabase() const { return bool(m_db); }

    const QList<HistoryEntry>& recent() const { return m_recent; }
    const std::optional<HistoryEntry>& lastSession() const { return m_lastSession; }
    // Also used when history saving is off, so the last result can be pasted again.
    void setLastSession(const std::optional<HistoryEntry>& entry);

    void add(const HistoryEntry& entry);
    void reload(int limit = recentLimit);
    // Newest first; entries whose delivered text, draft or original contain the
    // trimmed query literally (ASCII letters case-insensitively).
    QList<HistoryEntry> search(const QString& query, int limit = searchLimit) const;
    Stats stats() const;
    // Local calendar day → activity, for the `days` days ending today.
    QMap<QDate, DayActivity> dailyActivity(int days) const;
    // Empties the history; lifetime totals and per-day figures stay.
    void clear();

Q_SIGNALS:
    void recentChanged();
    void lastSessionChanged();

private:
    void migrate(const QString& path);
    void migratePolishSources(const QString& path);
    void createStatistics();
    void setRecent(QList<HistoryEntry> entries);

    Clock& m_clock;
    std::unique_ptr<SqliteDatabase> m_db;
    QList<HistoryEntry> m_recent;
    std::optional<HistoryEntry> m_lastSession;
};

} // namespace zelk
