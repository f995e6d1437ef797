#pragma once

#include <QString>

namespace zelk::text {

// "Characters" as a reader sees them: extended grapheme clusters, so an emoji
// with modifiers or a base letter with combining marks counts once.
qsizetype graphemeCount(const QString& s);
// The first `n` grapheme clusters of `s` (all of it when it has fewer).
QString graphemePrefix(const QString& s, qsizetype n);
// The last `n` grapheme clusters of `s`.
QString graphemeSuffix(const QString& s, qsizetype n);
// The UTF-16 offsets at which grapheme clusters start, plus s.size().
QList<qsizetype> graphemeBoundaries(const QString& s);

// Trims white space and line breaks (Unicode separators, tab, CR, LF, VT, FF, NEL).
QString trimmedWhitespaceAndNewlines(const QString& s);
// Trims only spaces and tabs (Unicode space separators and U+0009), keeping line breaks.
QString trimmedSpacesAndTabs(const QString& s);

bool isWhitespaceOrNewline(char32_t c);
bool isSpaceOrTab(char32_t c);

// A CJK ideograph: U+3400–U+4DBF or U+4E00–U+9FFF.
inline bool isCJKIdeograph(char32_t c) { return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF); }

// Cuts `s` to at most `maxUnits` UTF-16 code units without splitting a grapheme cluster.
QString prefixAtGraphemeBoundary(const QString& s, qsizetype maxUnits);

} // namespace zelk::text
