#include "language/text_cleanup.h"

#include "core/text.h"
#include "language/chars.h"

namespace zelk::TextCleanup {

QString tidyASR(const QString& input) {
    QString s = text::trimmedWhitespaceAndNewlines(input);
    if (s.isEmpty())
        return s;

    static const QString punctuation = QStringLiteral("，。、！？：；（）【】「」…—“”‘’");
    for (QChar p : punctuation)
        s.replace(QString(p) + QLatin1Char(' '), QString(p));

    // A lone space between two Chinese-context characters is an artefact of the
    // recogniser's tokenisation, not something the speaker meant.
    const Chars cs(s);
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < cs.size(); ++i) {
        const bool inner = i > 0 && i + 1 < cs.size();
        if (inner && cs.at(i) == u" " && chars::isCJKContext(cs.scalar(i - 1)) && chars::isCJKContext(cs.scalar(i + 1)))
            continue;
        out.append(cs.at(i));
    }
    while (out.contains(QLatin1String("  ")))
        out.replace(QLatin1String("  "), QLatin1String(" "));
    return out;
}

} // namespace zelk::TextCleanup
