#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace zelk {

// A text as the reader sees it: a sequence of characters (grapheme clusters),
// each classified by its first Unicode scalar. The language passes walk texts
// character by character; this keeps the segmentation in one place.
class Chars {
public:
    Chars() = default;
    explicit Chars(const QString& s);

    qsizetype size() const { return m_bounds.size() - 1; }
    bool isEmpty() const { return size() == 0; }
    const QString& text() const { return m_text; }

    QStringView at(qsizetype i) const { return QStringView(m_text).mid(m_bounds[i], m_bounds[i + 1] - m_bounds[i]); }
    char32_t scalar(qsizetype i) const { return m_scalars[i]; }
    // Characters [from, from + n) as a text.
    QString mid(qsizetype from, qsizetype n) const;
    QString from(qsizetype i) const { return m_text.mid(m_bounds[i]); }
    // UTF-16 offset of character i (i == size() gives the text's length).
    qsizetype offset(qsizetype i) const { return m_bounds[i]; }
    // Does the text at character i start with `s` (case-sensitive)?
    bool startsWithAt(qsizetype i, QStringView s) const;
    // Index of the character that starts at UTF-16 offset `off`, or -1.
    qsizetype indexAtOffset(qsizetype off) const;

private:
    QString m_text;
    QList<qsizetype> m_bounds{0};
    QList<char32_t> m_scalars;
};

namespace chars {

// True when every code unit is a whole character on its own (printable ASCII,
// Latin-1, CJK ideographs and punctuation, full-width forms, tab, line feed):
// such texts need no grapheme segmentation.
bool isSimple(QStringView s);
// Number of characters (grapheme clusters), fast for simple texts.
qsizetype count(const QString& s);
char32_t firstScalar(QStringView s);
inline bool isAsciiLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool isAsciiDigit(char32_t c) { return c >= '0' && c <= '9'; }
inline bool isAsciiAlnum(char32_t c) { return isAsciiLetter(c) || isAsciiDigit(c); }
inline bool isIdeograph(char32_t c) { return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF); }
// Ideographs, CJK symbols and punctuation, full-width and half-width forms.
inline bool isCJKContext(char32_t c) {
    return isIdeograph(c) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFFEF);
}
bool containsIdeograph(QStringView s);
bool containsAsciiLetter(QStringView s);
// Not empty, and every character an ideograph.
bool isAllHan(const QString& s);
// The characters of `s` as separate texts.
QStringList split(const QString& s);
// Stable sort by character count, longest first.
QStringList byLengthDescending(QStringList list);

} // namespace chars
} // namespace zelk

namespace zelk {

// Finds which of a list of words starts at a position, in list order, without
// comparing every word at every position: words are grouped by their first
// UTF-16 unit.
class PrefixIndex {
public:
    PrefixIndex() = default;
    explicit PrefixIndex(const QStringList& words);
    // Index (in the list) of the first word that `text` has at `offset`, or -1.
    qsizetype firstAt(QStringView text, qsizetype offset) const;
    const QString& word(qsizetype i) const { return m_words[i]; }

private:
    QStringList m_words;
    QHash<char16_t, QList<qsizetype>> m_byFirst;
};

// Groups list positions by a key character, keeping list order, so a walk
// only looks at the entries that can match at a position.
class OrderedBuckets {
public:
    void add(char16_t key, qsizetype index);
    const QList<qsizetype>& at(char16_t key) const;

private:
    QHash<char16_t, QList<qsizetype>> m_buckets;
};

} // namespace zelk

namespace zelk {

// A quick "cannot contain" test for many needles against one text: a bitmap of
// the text's adjacent code-unit pairs. A needle with a pair the text lacks is
// certainly absent; otherwise the caller searches for real.
class PairFilter {
public:
    explicit PairFilter(QStringView text);
    bool mayContain(QStringView needle) const;

private:
    static quint32 slot(char16_t a, char16_t b) { return (quint32(a) * 40503u + quint32(b)) & 0xFFFFu; }
    std::vector<quint64> m_bits;
};

} // namespace zelk
