#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace zelk {

enum class NoteKind { task, note };

QString rawValue(NoteKind kind);
std::optional<NoteKind> noteKindFromRaw(const QString& raw);

// Recognises a spoken request to note something down ("帮我记个任务，买菜") and
// splits it into the kind of entry and its content.
namespace NotesRouter {

// The trigger phrases, longer ones first so that "帮我记一下任务" wins over "帮我记一下".
const QStringList& taskPrefixes();
const QStringList& notePrefixes();

// (kind, content) when the trimmed text starts with a trigger phrase followed
// by more than one character; otherwise nothing.
std::optional<std::pair<NoteKind, QString>> match(const QString& text);

} // namespace NotesRouter

} // namespace zelk
