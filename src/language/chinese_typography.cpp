#include "language/chinese_typography.h"

#include "core/text.h"
#include "language/chars.h"

namespace zelk::ChineseTypography {

QChar fullWidthOf(QChar c) {
    switch (c.unicode()) {
    case u',': return QChar(0xFF0C);
    case u'.': return QChar(0x3002);
    case u'?': return QChar(0xFF1F);
    case u'!': return QChar(0xFF01);
    case u':': return QChar(0xFF1A);
    case u';': return QChar(0xFF1B);
    default: return QChar();
    }
}

bool isFullwidthPunct(char32_t c) {
    static const QString set = QStringLiteral("，。？！：；、（）【】「」《》…—");
    return c < 0x10000 && set.contains(QChar(char16_t(c)));
}

namespace {

bool isLetterOrDigit(char32_t c) { return QChar::isLetterOrNumber(c); }

bool isFullwidthPunctText(const QString& c) { return c.size() == 1 && isFullwidthPunct(c[0].unicode()); }

} // namespace

QString format(const QString& input) {
    if (input.isEmpty())
        return input;

    // 1. Ideographic space to space; full-width letters and digits to ASCII.
    QString mapped = input;
    for (QChar& c : mapped) {
        const char16_t u = c.unicode();
        if (u == 0x3000) {
            c = QLatin1Char(' ');
        } else if (u >= 0xFF01 && u <= 0xFF5E) {
            const QChar ascii(char16_t(u - 0xFF01 + 0x21));
            if (chars::isAsciiAlnum(ascii.unicode()))
                c = ascii;
        }
    }

    // 2. Half-width punctuation next to an ideograph becomes full-width; the
    // left neighbour is seen as already converted.
    const Chars cs(mapped);
    QList<QString> items;
    QList<char32_t> scalars;
    items.reserve(cs.size());
    scalars.reserve(cs.size());
    for (qsizetype i = 0; i < cs.size(); ++i) {
        QString ch = cs.at(i).toString();
        char32_t sc = cs.scalar(i);
        if (ch.size() == 1) {
            const QChar full = fullWidthOf(ch[0]);
            const bool before = !scalars.isEmpty() && chars::isIdeograph(scalars.back());
            const bool after = i + 1 < cs.size() && chars::isIdeograph(cs.scalar(i + 1));
            if (!full.isNull() && (before || after)) {
                ch = QString(full);
                sc = full.unicode();
            }
        }
        items.append(ch);
        scalars.append(sc);
    }

    // 3. One space between ideographs and other letters or digits.
    static const QString space = QStringLiteral(" ");
    QList<QString> spaced;
    spaced.reserve(items.size() + items.size() / 4);
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0) {
            const char32_t prev = scalars[i - 1], cur = scalars[i];
            const bool hanThenLatin = chars::isIdeograph(prev) && isLetterOrDigit(cur) && !chars::isIdeograph(cur);
            const bool latinThenHan = isLetterOrDigit(prev) && !chars::isIdeograph(prev) && chars::isIdeograph(cur);
            if ((hanThenLatin || latinThenHan) && spaced.back() != space)
                spaced.append(space);
        }
        spaced.append(items[i]);
    }

    // 4. No spaces around Chinese punctuation.
    QList<QString> rebuilt;
    rebuilt.reserve(spaced.size());
    for (const QString& c : spaced) {
        if (c == space) {
            if (!rebuilt.isEmpty() && (rebuilt.back() == space || isFullwidthPunctText(rebuilt.back())))
                continue;
        } else if (isFullwidthPunctText(c) && !rebuilt.isEmpty() && rebuilt.back() == space) {
            rebuilt.removeLast();
        }
        rebuilt.append(c);
    }
    QString out;
    out.reserve(mapped.size() + 16);
    for (const QString& c : rebuilt)
        out.append(c);

    // 5.
    return text::trimmedSpacesAndTabs(out);
}

} // namespace zelk::ChineseTypography
