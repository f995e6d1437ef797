#pragma once

#include "storage/notes_router.h"

#include <QDateTime>
#include <QList>
#include <QObject>

#include <memory>

namespace zelk {

class Clock;
class SqliteDatabase;

struct NoteEntry {
    qint64 id = 0;
    QDateTime createdAt;
    NoteKind kind = NoteKind::note;
    QString text;
    bool done = false;
    bool operator==(const NoteEntry&) const = default;
};

// Quick tasks and notes filed by voice. `items` holds the newest 200 rows;
// older rows stay in the database. Main thread only.
class NotesStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<zelk::NoteEntry> items READ items NOTIFY itemsChanged)

public:
    static constexpr int shownLimit = 200;

    // `clock` stamps new entries; it must outlive the store.
    NotesStore(const QString& path, Clock& clock, QObject* parent = nullptr);
    ~NotesStore() override;

    // <application support>/notes.db
    static QString defaultPath();

    bool hasDatabase() const { return bool(m_db); }
    const QList<NoteEntry>& items() const { return m_items; }

    void add(NoteKind kind, const QString& text);
    void setDone(qint64 id, bool done);
    void remove(qint64 id);
    // Deletes every done entry.
    void clearDone();
    void reload(int limit = shownLimit);

    // Oldest first, one line each: "- text" for a note, "- [x] text" or
    // "- [ ] text" for a task; no trailing line feed.
    QString exportMarkdown() const;

Q_SIGNALS:
    void itemsChanged();

private:
    void change(const char* sql, std::initializer_list<qint64> values);

    Clock& m_clock;
    std::unique_ptr<SqliteDatabase> m_db;
    QList<NoteEntry> m_items;
};

} // namespace zelk
