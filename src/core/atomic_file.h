#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace zelk {

// Replaces `path` with `data` so that a crash leaves either the old or the new
// file: a temporary file in the same folder is written, flushed to disk and
// renamed over the target. Creates the folder when needed. On failure answers
// false with a reason in `error`; the old file is untouched.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

// Moves a file that could not be read aside as `name.corrupt-<time>` (with a
// counter when that name is taken), so that nothing written later replaces the
// user's data. Answers the new path, or nothing when the file was not there or
// could not be moved.
std::optional<QString> preserveUnreadableFile(const QString& path, const QDateTime& now = QDateTime::currentDateTimeUtc());

} // namespace zelk
