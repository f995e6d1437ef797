#include "language/chars.h"

#include "core/text.h"

#include <algorithm>

namespace zelk {

Chars::Chars(const QString& s) : m_text(s) {
    if (chars::isSimple(s)) {
        // One character per code unit: skip the break iterator.
        m_bounds.resize(s.size() + 1);
        m_scalars.resize(s.size());
        for (qsizetype i = 0; i < s.size(); ++i) {
            m_bounds[i] = i;
            m_scalars[i] = s[i].unicode();
        }
        m_bounds[s.size()] = s.size();
        return;
    }
    m_bounds = text::graphemeBoundaries(s);
    m_scalars.reserve(m_bounds.size());
    for (qsizetype i = 0; i + 1 < m_bounds.size(); ++i)
        m_scalars.append(chars::firstScalar(QStringView(m_text).mid(m_bounds[i], m_bounds[i + 1] - m_bounds[i])));
}

QString Chars::mid(qsizetype from, qsizetype n) const {
    const qsizetype end = std::min(from + n, size());
    return m_text.mid(m_bounds[from], m_bounds[end] - m_bounds[from]);
}

bool Chars::startsWithAt(qsizetype i, QStringView s) const {
    return QStringView(m_text).mid(m_bounds[i]).startsWith(s);
}

qsizetype Chars::indexAtOffset(qsizetype off) const {
    const auto it = std::lower_bound(m_bounds.begin(), m_bounds.end(), off);
    if (it == m_bounds.end() || *it != off)
        return -1;
    return it - m_bounds.begin();
}

namespace chars {

bool isSimple(QStringView s) {
    for (QChar ch : s) {
        const char16_t c = ch.unicode();
        const bool simple = (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c < 0x300) || (c >= 0x3000 && c <= 0x3029) || (c >= 0x3030 && c <= 0x303F) ||
                            (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xFF01 && c <= 0xFF9D) || c == u'\t' ||
                            c == u'\n';
        if (!simple)
            return false;
    }
    return true;
}

qsizetype count(const QString& s) { return isSimple(s) ? s.size() : text::graphemeCount(s); }

char32_t firstScalar(QStringView s) {
    if (s.isEmpty())
        return 0;
    const char16_t a = s[0].unicode();
    if (QChar::isHighSurrogate(a) && s.size() > 1 && QChar::isLowSurrogate(s[1].unicode()))
        return QChar::surrogateToUcs4(a, s[1].unicode());
    return a;
}

bool containsIdeograph(QStringView s) {
    for (qsizetype i = 0; i < s.size(); ++i)
        if (isIdeograph(s[i].unicode()))
            return true;
    return false;
}

bool containsAsciiLetter(QStringView s) {
    for (QChar c : s)
        if (isAsciiLetter(c.unicode()))
            return true;
    return false;
}

bool isAllHan(const QString& s) {
    if (s.isEmpty())
        return false;
    const Chars cs(s);
    for (qsizetype i = 0; i < cs.size(); ++i)
        if (!isIdeograph(cs.scalar(i)))
            return false;
    return true;
}

QStringList split(const QString& s) {
    const Chars cs(s);
    QStringList out;
    out.reserve(cs.size());
    for (qsizetype i = 0; i < cs.size(); ++i)
        out.append(cs.at(i).toString());
    return out;
}

QStringList byLengthDescending(QStringList list) {
    QList<std::pair<qsizetype, QString>> keyed;
    keyed.reserve(list.size());
    for (auto& s : list)
        keyed.append({count(s), std::move(s)});
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QStringList out;
    out.reserve(keyed.size());
    for (auto& k : keyed)
        out.append(std::move(k.second));
    return out;
}

} // namespace chars
} // namespace zelk

namespace zelk {

PrefixIndex::PrefixIndex(const QStringList& words) : m_words(words) {
    for (qsizetype i = 0; i < m_words.size(); ++i)
        if (!m_words[i].isEmpty())
            m_byFirst[m_words[i][0].unicode()].append(i);
}

qsizetype PrefixIndex::firstAt(QStringView text, qsizetype offset) const {
    if (offset >= text.size())
        return -1;
    const auto it = m_byFirst.constFind(text[offset].unicode());
    if (it == m_byFirst.constEnd())
        return -1;
    const QStringView rest = text.mid(offset);
    for (qsizetype i : *it)
        if (rest.startsWith(m_words[i]))
            return i;
    return -1;
}

void OrderedBuckets::add(char16_t key, qsizetype index) {
    auto& list = m_buckets[key];
    if (list.isEmpty() || list.back() != index)
        list.append(index);
}

const QList<qsizetype>& OrderedBuckets::at(char16_t key) const {
    static const QList<qsizetype> none;
    const auto it = m_buckets.constFind(key);
    return it == m_buckets.constEnd() ? none : *it;
}

} // namespace zelk

namespace zelk {

PairFilter::PairFilter(QStringView text) : m_bits(1024, 0) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        const quint32 s = slot(text[i].unicode(), text[i + 1].unicode());
        m_bits[s >> 6] |= quint64(1) << (s & 63);
    }
}

bool PairFilter::mayContain(QStringView needle) const {
    for (qsizetype i = 0; i + 1 < needle.size(); ++i) {
        const quint32 s = slot(needle[i].unicode(), needle[i + 1].unicode());
        if (!(m_bits[s >> 6] & (quint64(1) << (s & 63))))
            return false;
    }
    return true;
}

} // namespace zelk
