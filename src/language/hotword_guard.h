#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Removes hotwords that a hotword-biased final-pass recogniser inserted
// although the streaming draft of the same segment shows no trace of them.
// Pure; any thread.
namespace zelk::HotwordGuard {

// The streaming draft, prepared once per call.
struct DraftIndex {
    QString lowered;           // the draft lower-cased
    QString compact;           // `lowered` without white space
    QStringList chars;         // characters of `lowered`, white space included
    QList<QString> pinyin;     // toneless pinyin per character; empty for non-ideographs
    QList<char32_t> scalars;   // first scalar per character

    explicit DraftIndex(const QString& draft);
};

// `text` is one segment's final-pass text, `draft` the same segment's
// streaming text, `hotwords` the hotword text split at spaces.
QString strip(const QString& text, const QString& draft, const QStringList& hotwords);

// Whether the draft shows the (lower-cased) term, literally, by homophones or
// by enough of its letter pairs.
bool isSupported(const QString& loweredTerm, const DraftIndex& draft);

} // namespace zelk::HotwordGuard
