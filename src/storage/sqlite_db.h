#pragma once

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace zelk {

// One prepared statement; finalised when it goes out of scope. Only fixed
// statement texts are prepared: every value travels as a bound parameter.
class SqliteDatabase;

class SqliteStatement {
public:
    SqliteStatement(const SqliteDatabase* owner, sqlite3_stmt* stmt) : m_owner(owner), m_stmt(stmt) {}
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&&) = delete;
    ~SqliteStatement();

    // Parameters are numbered from 1.
    void bind(int index, const QString& text);
    void bind(int index, double value);
    void bind(int index, qint64 value);
    void bind(int index, int value) { bind(index, qint64(value)); }

    // Answers true while a row is available; false when done or failed.
    bool next();
    // Steps a statement that returns no rows; answers true when it completed.
    bool run();
    // Makes the statement ready to run again with new bindings.
    void reset();

    // Column reads of the current row, numbered from 0; NULL reads as empty or 0.
    QString text(int column) const;
    double real(int column) const;
    qint64 integer(int column) const;

private:
    const SqliteDatabase* m_owner;
    sqlite3_stmt* m_stmt;
};

// A connection to a database file that holds user data: WAL journaling with a
// sync of the log at every commit, so a committed write survives a crash of the
// process or of the machine.
class SqliteDatabase {
public:
    // The log texts of one store.
    struct LogTexts {
        QString openFailed;   // "%1" is the file's path
        QString setAside;     // "%1" is the path the unreadable file was moved to
        QString sqliteError;  // "%1" is SQLite's message
    };

    // Opens or creates the file (and its folder). A file that is not a
    // database, or whose structure is damaged, is moved aside with its log
    // files and a fresh database takes its place, so that nothing is lost and
    // later writes still land. Answers nothing when the file cannot be opened.
    static std::unique_ptr<SqliteDatabase> open(const QString& path, LogTexts texts, const QDateTime& now);

    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Runs fixed statement text (no parameters); a failure is logged.
    bool exec(const char* sql);
    // Prepares fixed statement text; a failure is logged and answers nothing.
    std::optional<SqliteStatement> prepare(const char* sql);

    bool hasColumn(const char* table, const QString& column);
    bool hasTable(const QString& table);

    // Copies the whole database into a new file at `path` through the online
    // backup interface. Answers true only when the copy completed.
    bool backupTo(const QString& path);

    // Logs SQLite's message for the connection's last failure.
    void logLastError() const;

private:
    SqliteDatabase(sqlite3* db, LogTexts texts) : m_db(db), m_texts(std::move(texts)) {}
    sqlite3* m_db;
    LogTexts m_texts;
};

// Runs statements as one transaction: committed by commit(), rolled back when
// destroyed without it, so a failed step leaves no half-written change.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& db) : m_db(db), m_open(db.exec("BEGIN IMMEDIATE")) {}
    ~SqliteTransaction();
    bool isOpen() const { return m_open; }
    bool commit();

private:
    SqliteDatabase& m_db;
    bool m_open;
};

// Seconds since 1970 as stored in the databases, and back.
double toStoredTime(const QDateTime& t);
QDateTime fromStoredTime(double seconds);

} // namespace zelk
