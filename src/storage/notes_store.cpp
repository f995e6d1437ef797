#include "storage/notes_store.h"

#include "core/clock.h"
#include "core/folders.h"
#include "storage/sqlite_db.h"

#include <QStringList>

namespace zelk {

NotesStore::NotesStore(const QString& path, Clock& clock, QObject* parent) : QObject(parent), m_clock(clock) {
    m_db = SqliteDatabase::open(path,
                                {QStringLiteral("速记库打开失败"), QStringLiteral("速记库无法读取，已移到 %1，另建新库"),
                                 QStringLiteral("SQLite(notes): %1")},
                                clock.wallNow());
    if (!m_db)
        return;
    m_db->exec(R"(CREATE TABLE IF NOT EXISTS notes(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  created_at REAL NOT NULL,
  kind TEXT NOT NULL,
  text TEXT NOT NULL,
  done INTEGER NOT NULL DEFAULT 0
))");
    reload();
}

NotesStore::~NotesStore() = default;

QString NotesStore::defaultPath() { return folders::applicationSupport() + QStringLiteral("/notes.db"); }

void NotesStore::add(NoteKind kind, const QString& text) {
    if (!m_db)
        return;
    if (auto insert = m_db->prepare("INSERT INTO notes(created_at,kind,text) VALUES(?,?,?)")) {
        insert->bind(1, toStoredTime(m_clock.wallNow()));
        insert->bind(2, rawValue(kind));
        insert->bind(3, text);
        insert->run();
    }
    reload();
}

void NotesStore::change(const char* sql, std::initializer_list<qint64> values) {
    if (!m_db)
        return;
    if (auto statement = m_db->prepare(sql)) {
        int index = 1;
        for (qint64 v : values)
            statement->bind(index++, v);
        statement->run();
    }
    reload();
}

void NotesStore::setDone(qint64 id, bool done) { change("UPDATE notes SET done=?1 WHERE id=?2", {done ? 1 : 0, id}); }
void NotesStore::remove(qint64 id) { change("DELETE FROM notes WHERE id=?1", {id}); }
void NotesStore::clearDone() { change("DELETE FROM notes WHERE done=1", {}); }

void NotesStore::reload(int limit) {
    if (!m_db)
        return;
    auto query = m_db->prepare("SELECT id,created_at,kind,text,done FROM notes ORDER BY id DESC LIMIT ?1");
    if (!query)
        return;
    query->bind(1, limit);
    QList<NoteEntry> items;
    while (query->next()) {
        NoteEntry e;
        e.id = query->integer(0);
        e.createdAt = fromStoredTime(query->real(1));
        // Anything but "task" (another word, NULL) shows as a note.
        e.kind = query->text(2) == QLatin1String("task") ? NoteKind::task : NoteKind::note;
        e.text = query->text(3);
        e.done = query->integer(4) == 1;
        items.append(e);
    }
    if (items == m_items)
        return;
    m_items = std::move(items);
    Q_EMIT itemsChanged();
}

QString NotesStore::exportMarkdown() const {
    QStringList lines;
    for (auto it = m_items.crbegin(); it != m_items.crend(); ++it) {
        if (it->kind == NoteKind::task)
            lines.append(QStringLiteral("- [%1] ").arg(it->done ? QLatin1Char('x') : QLatin1Char(' ')) + it->text);
        else
            lines.append(QStringLiteral("- ") + it->text);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace zelk
