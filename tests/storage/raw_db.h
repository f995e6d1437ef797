#pragma once

// Direct SQLite access for tests: builds database files in older layouts and
// reads what the stores wrote, without going through the stores.

#include <QString>
#include <QVariant>

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace zelk::test {

class RawDb {
public:
    explicit RawDb(const QString& path) {
        if (sqlite3_open(path.toUtf8().constData(), &m_db) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path.toStdString();
    }
    ~RawDb() { sqlite3_close(m_db); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    void exec(const QString& sql) {
        char* message = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            ADD_FAILURE() << sql.toStdString() << ": " << (message ? message : "?");
            sqlite3_free(message);
        }
    }

    // The first column of the first row, or an invalid QVariant when there is no row.
    QVariant value(const QString& sql) {
        sqlite3_stmt* stmt = nullptr;
        QVariant result;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql.toStdString() << ": " << sqlite3_errmsg(m_db);
            return result;
        }
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            switch (sqlite3_column_type(stmt, 0)) {
            case SQLITE_INTEGER: result = qint64(sqlite3_column_int64(stmt, 0)); break;
            case SQLITE_FLOAT: result = sqlite3_column_double(stmt, 0); break;
            case SQLITE_NULL: result = QVariant::fromValue(nullptr); break;
            default:
                result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                                           sqlite3_column_bytes(stmt, 0));
            }
        }
        sqlite3_finalize(stmt);
        return result;
    }
    qint64 integer(const QString& sql) { return value(sql).toLongLong(); }
    QString text(const QString& sql) { return value(sql).toString(); }

private:
    sqlite3* m_db = nullptr;
};

} // namespace zelk::test
