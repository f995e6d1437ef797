#pragma once

#include <QDateTime>
#include <QString>

namespace zelk {

// One recorded session.
struct HistoryEntry {
    qint64 id = 0;         // 0 until read back from the database
    QDateTime createdAt;   // when the session finished
    QString mode;          // the polish mode's raw value; "ask" for a voice rewrite, "calc" for a calculation
    QString appName;       // the target application
    QString draft;         // recognised text before polishing (for a rewrite: the instruction)
    QString delivered;     // the text delivered
    double duration = 0;   // seconds of recording
    QString outcome;       // "pasted", "copied"
    QString polishSource;  // canonical once stored: "", "原文", "本地润色", "云润色"
    QString original;      // for a rewrite, the selected text; otherwise empty

    bool operator==(const HistoryEntry&) const = default;
};

// The canonical label of a stored polish-source text: trimmed; empty and
// "原文" stay; anything starting with "本地润色" is "本地润色"; the rest "云润色".
QString canonicalPolishSource(const QString& stored);

} // namespace zelk
