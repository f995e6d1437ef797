#include "storage/notes_router.h"

#include "core/text.h"

#include <QStringList>

#include <algorithm>

namespace zelk {

QString rawValue(NoteKind kind) { return kind == NoteKind::task ? QStringLiteral("task") : QStringLiteral("note"); }

std::optional<NoteKind> noteKindFromRaw(const QString& raw) {
    if (raw == QLatin1String("task"))
        return NoteKind::task;
    if (raw == QLatin1String("note"))
        return NoteKind::note;
    return std::nullopt;
}

namespace NotesRouter {

const QStringList& taskPrefixes() {
    static const QStringList list{QStringLiteral("帮我记一下任务"), QStringLiteral("帮我记个任务"), QStringLiteral("记个任务"),
                                  QStringLiteral("记一下任务"),     QStringLiteral("添加任务"),     QStringLiteral("新建任务")};
    return list;
}

const QStringList& notePrefixes() {
    static const QStringList list{QStringLiteral("帮我记一下"), QStringLiteral("帮我记录"), QStringLiteral("帮我记住"),
                                  QStringLiteral("记一下"),     QStringLiteral("记个笔记"), QStringLiteral("记录一下"),
                                  QStringLiteral("速记"),       QStringLiteral("帮我记")};
    return list;
}

namespace {

// A grapheme of white space (CR LF is one) or a single separator mark.
bool isSeparator(const QString& grapheme) {
    static const QString marks = QStringLiteral("，。、：:,.！!");
    if (grapheme.size() == 1 && marks.contains(grapheme[0]))
        return true;
    return std::all_of(grapheme.begin(), grapheme.end(), [](QChar c) { return text::isWhitespaceOrNewline(c.unicode()); });
}

std::optional<QString> strip(const QString& text, const QString& prefix) {
    if (!text.startsWith(prefix))
        return std::nullopt;
    QString rest = text.mid(prefix.size());
    while (!rest.isEmpty()) {
        const QString first = text::graphemePrefix(rest, 1);
        if (!isSeparator(first))
            break;
        rest.remove(0, first.size());
    }
    if (text::graphemeCount(rest) <= 1)
        return std::nullopt;
    return rest;
}

} // namespace

std::optional<std::pair<NoteKind, QString>> match(const QString& text) {
    const QString trimmed = text::trimmedWhitespaceAndNewlines(text);
    for (const QString& prefix : taskPrefixes())
        if (auto content = strip(trimmed, prefix))
            return std::pair{NoteKind::task, *content};
    for (const QString& prefix : notePrefixes())
        if (auto content = strip(trimmed, prefix))
            return std::pair{NoteKind::note, *content};
    return std::nullopt;
}

} // namespace NotesRouter

} // namespace zelk
