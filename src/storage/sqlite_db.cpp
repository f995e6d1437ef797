#include "storage/sqlite_db.h"

#include "core/atomic_file.h"
#include "core/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cmath>
#include <cstdio>

namespace zelk {

// --- statement -------------------------------------------------------------

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_owner(other.m_owner), m_stmt(std::exchange(other.m_stmt, nullptr)) {}

SqliteStatement::~SqliteStatement() {
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

void SqliteStatement::bind(int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    // An explicit length keeps embedded NULs; an empty text binds as '' (never NULL).
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bind(int index, double value) { sqlite3_bind_double(m_stmt, index, value); }
void SqliteStatement::bind(int index, qint64 value) { sqlite3_bind_int64(m_stmt, index, value); }

bool SqliteStatement::next() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_owner->logLastError();
    return false;
}

bool SqliteStatement::run() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    m_owner->logLastError();
    return false;
}

void SqliteStatement::reset() { sqlite3_reset(m_stmt); }

QString SqliteStatement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!bytes)
        return QString();
    return QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, column));
}

double SqliteStatement::real(int column) const { return sqlite3_column_double(m_stmt, column); }
qint64 SqliteStatement::integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

// --- opening ---------------------------------------------------------------

namespace {

enum class Probe { usable, unreadable, failed };

bool meansUnreadable(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

sqlite3* openFile(const QString& path, QString* error) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK)
        return db;
    *error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_close(db);
    return nullptr;
}

// Sets the connection up and reads every page once: a file that is not a
// database fails on its header, a truncated or damaged one in the check.
Probe configure(sqlite3* db, QString* error) {
    sqlite3_busy_timeout(db, 2000);
    auto fail = [&](int rc) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        return meansUnreadable(rc) ? Probe::unreadable : Probe::failed;
    };
    // WAL: a commit appends to the log, so a crash mid-write never damages
    // committed rows. synchronous=FULL syncs the log at every commit (with
    // NORMAL a commit may be lost to a power cut); dictations are seconds
    // apart, so one sync per entry costs nothing the user notices.
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL"}) {
        const int rc = sqlite3_exec(db, pragma, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return fail(rc);
    }
    sqlite3_stmt* check = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &check, nullptr);
    if (rc != SQLITE_OK)
        return fail(rc);
    rc = sqlite3_step(check);
    QString verdict;
    if (rc == SQLITE_ROW)
        verdict = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)));
    sqlite3_finalize(check);
    if (rc != SQLITE_ROW)
        return fail(rc);
    if (verdict != QLatin1String("ok")) {
        *error = verdict;
        return Probe::unreadable;
    }
    return Probe::usable;
}

// Moves the database aside together with a non-empty log (it may hold
// committed rows), so the copy can still be opened by someone recovering it.
// The shared-memory index is rebuilt from the log and is not worth keeping.
std::optional<QString> setAside(const QString& path, const QDateTime& now) {
    const auto aside = preserveUnreadableFile(path, now);
    if (!aside)
        return std::nullopt;
    const QString log = path + QStringLiteral("-wal");
    if (QFileInfo(log).size() > 0)
        std::rename(QFile::encodeName(log).constData(), QFile::encodeName(*aside + QStringLiteral("-wal")).constData());
    else
        QFile::remove(log);
    QFile::remove(path + QStringLiteral("-shm"));
    return aside;
}

} // namespace

std::unique_ptr<SqliteDatabase> SqliteDatabase::open(const QString& path, LogTexts texts, const QDateTime& now) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto openFailed = [&](const QString& why) {
        qCCritical(Log::app()).noquote() << texts.openFailed.arg(path);
        qCCritical(Log::app()).noquote() << texts.sqliteError.arg(why);
        return nullptr;
    };
    QString error;
    sqlite3* db = openFile(path, &error);
    if (!db)
        return openFailed(error);
    Probe probe = configure(db, &error);
    if (probe == Probe::unreadable) {
        // Closing would fold the log into the damaged file and delete it;
        // both are kept as they are.
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_close(db);
        qCCritical(Log::app()).noquote() << texts.sqliteError.arg(error);
        const auto aside = setAside(path, now);
        if (!aside)
            return openFailed(error);
        qCCritical(Log::app()).noquote() << texts.setAside.arg(*aside);
        db = openFile(path, &error);
        if (!db)
            return openFailed(error);
        probe = configure(db, &error);
    }
    if (probe != Probe::usable) {
        sqlite3_close(db);
        return openFailed(error);
    }
    return std::unique_ptr<SqliteDatabase>(new SqliteDatabase(db, std::move(texts)));
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close(m_db); }

void SqliteDatabase::logLastError() const {
    qCCritical(Log::app()).noquote() << m_texts.sqliteError.arg(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

bool SqliteDatabase::exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (message) {
        qCCritical(Log::app()).noquote() << m_texts.sqliteError.arg(QString::fromUtf8(message));
        sqlite3_free(message);
    }
    return rc == SQLITE_OK;
}

std::optional<SqliteStatement> SqliteDatabase::prepare(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        logLastError();
        sqlite3_finalize(stmt);
        return std::nullopt;
    }
    return SqliteStatement(this, stmt);
}

bool SqliteDatabase::hasColumn(const char* table, const QString& column) {
    // PRAGMA arguments cannot be bound; the table-valued form takes a parameter.
    auto info = prepare("SELECT name FROM pragma_table_info(?1)");
    if (!info)
        return false;
    info->bind(1, QString::fromUtf8(table));
    while (info->next())
        if (info->text(0) == column)
            return true;
    return false;
}

bool SqliteDatabase::hasTable(const QString& table) {
    auto query = prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    if (!query)
        return false;
    query->bind(1, table);
    return query->next();
}

bool SqliteDatabase::backupTo(const QString& path) {
    QString error;
    sqlite3* target = openFile(path, &error);
    if (!target)
        return false;
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", m_db, "main");
    if (!backup) {
        sqlite3_close(target);
        return false;
    }
    const int stepped = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    sqlite3_close(target);
    return stepped == SQLITE_DONE && finished == SQLITE_OK;
}

// --- transaction -----------------------------------------------------------

SqliteTransaction::~SqliteTransaction() {
    if (m_open)
        m_db.exec("ROLLBACK");
}

bool SqliteTransaction::commit() {
    if (!m_open)
        return false;
    m_open = false;
    if (m_db.exec("COMMIT"))
        return true;
    m_db.exec("ROLLBACK");
    return false;
}

// --- time ------------------------------------------------------------------

double toStoredTime(const QDateTime& t) { return double(t.toMSecsSinceEpoch()) / 1000.0; }

QDateTime fromStoredTime(double seconds) {
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)), Qt::UTC);
}

} // namespace zelk
