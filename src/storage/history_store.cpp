#include "storage/history_store.h"

#include "core/clock.h"
#include "core/folders.h"
#include "core/log.h"
#include "core/text.h"
#include "storage/sqlite_db.h"

#include <QFileInfo>
#include <QLocale>
#include <QTimeZone>

namespace zelk {

namespace {

constexpr const char* createHistory = R"(CREATE TABLE IF NOT EXISTS history(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  created_at REAL NOT NULL,
  mode TEXT NOT NULL,
  app_name TEXT NOT NULL,
  draft TEXT NOT NULL,
  delivered TEXT NOT NULL,
  duration REAL NOT NULL,
  outcome TEXT NOT NULL
))";

constexpr const char* createTotals = R"(CREATE TABLE IF NOT EXISTS totals(
  id INTEGER PRIMARY KEY CHECK(id=1),
  count INTEGER NOT NULL, chars INTEGER NOT NULL, seconds REAL NOT NULL
))";

// An aggregate always yields one row, so once `totals` holds its row the WHERE
// makes that row (1, 0, 0, 0) and it would collide with id 1: IGNORE keeps the
// existing totals without an error at every start.
constexpr const char* seedTotals = R"(INSERT OR IGNORE INTO totals(id,count,chars,seconds)
SELECT 1, COUNT(*), COALESCE(SUM(LENGTH(delivered)),0), COALESCE(SUM(duration),0)
FROM history WHERE (SELECT COUNT(*) FROM totals) = 0)";

// Per local calendar day (encoded as the UTC midnight of that date, like
// strftime's 'start of day'), kept like `totals`: pruning and clearing the rows
// must not empty the activity map or today's figures.
constexpr const char* createDayTotals = R"(CREATE TABLE IF NOT EXISTS day_totals(
  day INTEGER PRIMARY KEY,
  chars INTEGER NOT NULL, count INTEGER NOT NULL
))";

constexpr const char* seedDayTotals = R"(INSERT INTO day_totals(day,chars,count)
SELECT CAST(strftime('%s', created_at, 'unixepoch', 'localtime', 'start of day') AS INTEGER),
       COALESCE(SUM(LENGTH(delivered)),0), COUNT(*)
FROM history GROUP BY 1)";

constexpr const char* insertEntry =
    "INSERT INTO history(created_at,mode,app_name,draft,delivered,duration,outcome,polish_source,original) "
    "VALUES(?,?,?,?,?,?,?,?,?)";

constexpr const char* addToTotals =
    "UPDATE totals SET count = count + 1,\n  chars = chars + ?1,\n  seconds = seconds + ?2 WHERE id = 1";

constexpr const char* addToDay =
    "INSERT INTO day_totals(day,chars,count) "
    "VALUES(CAST(strftime('%s', ?1, 'unixepoch', 'localtime', 'start of day') AS INTEGER), ?2, 1) "
    "ON CONFLICT(day) DO UPDATE SET chars = chars + excluded.chars, count = count + 1";

constexpr const char* pruneRows =
    "DELETE FROM history WHERE id NOT IN (SELECT id FROM history ORDER BY id DESC LIMIT 500)";

#define ENTRY_COLUMNS "id,created_at,mode,app_name,draft,delivered,duration,outcome,polish_source,original"

constexpr const char* selectRecent = "SELECT " ENTRY_COLUMNS " FROM history ORDER BY id DESC LIMIT ?";

constexpr const char* selectMatching = "SELECT " ENTRY_COLUMNS R"( FROM history
WHERE delivered LIKE ?1 ESCAPE '\' OR draft LIKE ?1 ESCAPE '\' OR original LIKE ?1 ESCAPE '\'
ORDER BY id DESC LIMIT ?2)";

HistoryEntry entryFromRow(const SqliteStatement& row) {
    HistoryEntry e;
    e.id = row.integer(0);
    e.createdAt = fromStoredTime(row.real(1));
    e.mode = row.text(2);
    e.appName = row.text(3);
    e.draft = row.text(4);
    e.delivered = row.text(5);
    e.duration = row.real(6);
    e.outcome = row.text(7);
    e.polishSource = row.text(8);
    e.original = row.text(9);
    return e;
}

QList<HistoryEntry> readEntries(SqliteStatement& query) {
    QList<HistoryEntry> entries;
    while (query.next())
        entries.append(entryFromRow(query));
    return entries;
}

// Characters as SQLite's LENGTH counts them: Unicode scalars.
qint64 scalarCount(const QString& s) {
    qint64 n = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        ++n;
    }
    return n;
}

// The key of a local calendar day in day_totals.
qint64 dayKey(QDate localDay) { return QDateTime(localDay, QTime(0, 0), Qt::UTC).toSecsSinceEpoch(); }

} // namespace

HistoryStore::HistoryStore(const QString& path, Clock& clock, QObject* parent) : QObject(parent), m_clock(clock) {
    m_db = SqliteDatabase::open(path,
                                {QStringLiteral("历史库打开失败：%1"), QStringLiteral("历史库无法读取，已移到 %1，另建新库"),
                                 QStringLiteral("SQLite: %1")},
                                clock.wallNow());
    if (!m_db)
        return;
    migrate(path);
    reload();
    setLastSession(m_recent.isEmpty() ? std::nullopt : std::optional(m_recent.first()));
}

HistoryStore::~HistoryStore() = default;

QString HistoryStore::defaultPath() { return folders::applicationSupport() + QStringLiteral("/history.db"); }

QString HistoryStore::backupPath(const QString& dbPath, const QDateTime& now) {
    const QString base =
        dbPath + QStringLiteral(".bak-") + QLocale::c().toString(now.toLocalTime(), QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = base;
    for (int i = 1; QFileInfo::exists(candidate); ++i)
        candidate = base + QLatin1Char('-') + QString::number(i);
    return candidate;
}

QString HistoryStore::escapeLike(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            out.append(QLatin1Char('\\'));
        out.append(c);
    }
    return out;
}

void HistoryStore::migrate(const QString& path) {
    m_db->exec(createHistory);
    if (!m_db->hasColumn("history", QStringLiteral("polish_source")))
        m_db->exec("ALTER TABLE history ADD COLUMN polish_source TEXT NOT NULL DEFAULT ''");
    if (!m_db->hasColumn("history", QStringLiteral("original")))
        m_db->exec("ALTER TABLE history ADD COLUMN original TEXT NOT NULL DEFAULT ''");
    migratePolishSources(path);
    m_db->exec(createTotals);
    m_db->exec(seedTotals);
    createStatistics();
}

void HistoryStore::migratePolishSources(const QString& path) {
    QList<std::pair<qint64, QString>> rows;
    {
        auto select = m_db->prepare("SELECT id, polish_source FROM history");
        if (!select)
            return;
        while (select->next()) {
            const QString stored = select->text(1);
            const QString label = canonicalPolishSource(stored);
            if (stored != label)
                rows.append({select->integer(0), label});
        }
    }
    if (rows.isEmpty())
        return;
    if (!m_db->backupTo(backupPath(path, m_clock.wallNow()))) {
        qCCritical(Log::app()).noquote() << QStringLiteral("历史来源迁移跳过：备份失败");
        return;
    }
    auto update = m_db->prepare("UPDATE history SET polish_source = ? WHERE id = ?");
    if (!update)
        return;
    SqliteTransaction transaction(*m_db);
    for (const auto& [id, label] : rows) {
        update->bind(1, label);
        update->bind(2, id);
        update->run();
        update->reset();
    }
    transaction.commit();
}

void HistoryStore::createStatistics() {
    // Seeded from the rows once, when the table is created: afterwards every
    // add keeps it current in the same transaction as the row.
    if (m_db->hasTable(QStringLiteral("day_totals")))
        return;
    SqliteTransaction transaction(*m_db);
    if (m_db->exec(createDayTotals) && m_db->exec(seedDayTotals))
        transaction.commit();
}

void HistoryStore::setLastSession(const std::optional<HistoryEntry>& entry) {
    if (m_lastSession == entry)
        return;
    m_lastSession = entry;
    Q_EMIT lastSessionChanged();
}

void HistoryStore::setRecent(QList<HistoryEntry> entries) {
    if (m_recent == entries)
        return;
    m_recent = std::move(entries);
    Q_EMIT recentChanged();
}

void HistoryStore::add(const HistoryEntry& entry) {
    setLastSession(entry);
    if (!m_db)
        return;
    {
        // The row, the totals and the day figures change together or not at all.
        SqliteTransaction transaction(*m_db);
        if (!transaction.isOpen())
            return;
        auto insert = m_db->prepare(insertEntry);
        auto totals = m_db->prepare(addToTotals);
        auto day = m_db->prepare(addToDay);
        auto prune = m_db->prepare(pruneRows);
        if (!insert || !totals || !day || !prune)
            return;
        const double createdAt = toStoredTime(entry.createdAt);
        insert->bind(1, createdAt);
        insert->bind(2, entry.mode);
        insert->bind(3, entry.appName);
        insert->bind(4, entry.draft);
        insert->bind(5, entry.delivered);
        insert->bind(6, entry.duration);
        insert->bind(7, entry.outcome);
        insert->bind(8, canonicalPolishSource(entry.polishSource));
        insert->bind(9, entry.original);
        const qint64 chars = scalarCount(entry.delivered);
        totals->bind(1, chars);
        totals->bind(2, entry.duration);
        day->bind(1, createdAt);
        day->bind(2, chars);
        if (!insert->run() || !totals->run() || !day->run() || !prune->run())
            return;
        transaction.commit();
    }
    reload();
}

void HistoryStore::reload(int limit) {
    if (!m_db)
        return;
    auto query = m_db->prepare(selectRecent);
    if (!query)
        return;
    query->bind(1, limit);
    setRecent(readEntries(*query));
}

QList<HistoryEntry> HistoryStore::search(const QString& query, int limit) const {
    const QString trimmed = text::trimmedWhitespaceAndNewlines(query);
    if (trimmed.isEmpty() || !m_db)
        return {};
    auto select = m_db->prepare(selectMatching);
    if (!select)
        return {};
    select->bind(1, QLatin1Char('%') + escapeLike(trimmed) + QLatin1Char('%'));
    select->bind(2, std::clamp(limit, 0, searchLimit));
    return readEntries(*select);
}

HistoryStore::Stats HistoryStore::stats() const {
    Stats s;
    if (!m_db)
        return s;
    auto today = m_db->prepare("SELECT COALESCE(SUM(count),0), COALESCE(SUM(chars),0) FROM day_totals WHERE day >= ?1");
    if (!today)
        return s;
    today->bind(1, dayKey(m_clock.wallNow().toLocalTime().date()));
    if (today->next()) {
        s.todayCount = today->integer(0);
        s.todayChars = today->integer(1);
    }
    if (auto totals = m_db->prepare("SELECT count, chars, seconds FROM totals WHERE id = 1"); totals && totals->next()) {
        s.totalCount = totals->integer(0);
        s.totalChars = totals->integer(1);
        s.totalSeconds = totals->real(2);
    }
    return s;
}

QMap<QDate, HistoryStore::DayActivity> HistoryStore::dailyActivity(int days) const {
    QMap<QDate, DayActivity> map;
    if (!m_db || days <= 0)
        return map;
    auto query = m_db->prepare("SELECT day, chars, count FROM day_totals WHERE day >= ?1");
    if (!query)
        return map;
    const QDate today = m_clock.wallNow().toLocalTime().date();
    query->bind(1, dayKey(today.addDays(1 - qint64(days))));
    while (query->next()) {
        const QDate date = QDateTime::fromSecsSinceEpoch(query->integer(0), Qt::UTC).date();
        const QDateTime midnight = date.startOfDay();
        if (!date.isValid() || !midnight.isValid())
            continue;
        map.insert(date, DayActivity{midnight, query->integer(1), query->integer(2)});
    }
    return map;
}

void HistoryStore::clear() {
    if (m_db)
        m_db->exec("DELETE FROM history");
    setLastSession(std::nullopt);
    reload();
}

} // namespace zelk
