#include "storage/history_entry.h"

#include "core/text.h"

namespace zelk {

QString canonicalPolishSource(const QString& stored) {
    const QString trimmed = text::trimmedWhitespaceAndNewlines(stored);
    if (trimmed.isEmpty())
        return QString();
    static const QString none = QStringLiteral("原文");
    static const QString local = QStringLiteral("本地润色");
    if (trimmed == none)
        return none;
    if (trimmed.startsWith(local))
        return local;
    return QStringLiteral("云润色");
}

} // namespace zelk
