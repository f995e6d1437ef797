#include "language/edit_learner.h"

#include "core/text.h"
#include "language/chars.h"
#include "language/pinyin.h"
#include "language/product_lexicon_data.h"
#include "language/term_sound.h"

#include <algorithm>
#include <vector>

namespace zelk::EditLearner {

namespace {

constexpr qsizetype kMaxNewPart = 25;
constexpr qsizetype kMaxClassified = 24;

bool isIdeograph(const QString& ch) { return chars::isIdeograph(chars::firstScalar(ch)); }
bool isAsciiAlnum(const QString& ch) { return ch.size() == 1 && chars::isAsciiAlnum(ch[0].unicode()); }

bool allIdeographs(const QStringList& list) {
    return std::all_of(list.begin(), list.end(), [](const QString& c) { return isIdeograph(c); });
}

bool sameAt(const QStringList& a, qsizetype ai, const QStringList& b, qsizetype bi, qsizetype n) {
    for (qsizetype k = 0; k < n; ++k)
        if (a[ai + k] != b[bi + k])
            return false;
    return true;
}

QString joined(const QStringList& list, qsizetype from = 0, qsizetype n = -1) {
    QString s;
    const qsizetype end = n < 0 ? list.size() : std::min(list.size(), from + n);
    for (qsizetype i = from; i < end; ++i)
        s += list[i];
    return s;
}

} // namespace

const QStringList& hanTerms() {
    static const QStringList list = [] {
        QStringList out;
        for (const QString& t : ProductLexiconData::terms())
            if (chars::count(t) >= 2 && chars::isAllHan(t))
                out.append(t);
        return chars::byLengthDescending(out);
    }();
    return list;
}

std::optional<Segment> changedSegment(const QString& insertedText, const QString& beforeText, const QString& afterText) {
    if (insertedText.isEmpty())
        return std::nullopt;
    // Last occurrence of the inserted text in the field before, at a character boundary.
    const Chars before(beforeText);
    qsizetype p = -1;
    for (qsizetype from = beforeText.size(); from >= 0;) {
        const qsizetype at = beforeText.lastIndexOf(insertedText, from);
        if (at < 0)
            break;
        const qsizetype idx = before.indexAtOffset(at);
        const qsizetype endIdx = before.indexAtOffset(at + insertedText.size());
        if (idx >= 0 && endIdx >= 0) {
            p = idx;
            break;
        }
        from = at - 1;
        if (from < 0)
            break;
    }
    if (p < 0)
        return std::nullopt;

    const QStringList inserted = chars::split(insertedText);
    const QStringList after = chars::split(afterText);
    if (after.size() < p)
        return std::nullopt;
    for (qsizetype k = 0; k < p; ++k)
        if (after[k] != before.at(k))
            return std::nullopt;
    const QStringList r = after.mid(p);

    qsizetype i = 0;
    while (i < inserted.size() && i < r.size() && inserted[i] == r[i])
        ++i;

    for (qsizetype f = inserted.size() - i; f >= 0; --f) {
        const qsizetype tailStart = inserted.size() - f;
        for (qsizetype j = i; j - i < kMaxNewPart && j + f <= r.size(); ++j) {
            if (!sameAt(inserted, tailStart, r, j, f))
                continue;
            Segment s{inserted.mid(0, i), inserted.mid(i, tailStart - i), r.mid(i, j - i), inserted.mid(tailStart)};
            if (s.oldPart == s.newPart)
                return std::nullopt;
            return s;
        }
    }
    return std::nullopt;
}

std::pair<QString, QString> grow(const Segment& s) {
    qsizetype left = s.head.size();
    while (left > 0 && isAsciiAlnum(s.head[left - 1]))
        --left;
    qsizetype right = 0;
    while (right < s.tail.size() && isAsciiAlnum(s.tail[right]))
        ++right;
    const QString runL = joined(s.head, left), runR = joined(s.tail, 0, right);
    QString oldText = runL + joined(s.oldPart) + runR;
    QString newText = runL + joined(s.newPart) + runR;

    // Chinese characters replaced by Latin letters: take in the neighbouring
    // ideographs so that the pair is a mixed term (扣扣音乐 → QQ音乐).
    if (!chars::containsIdeograph(newText) && chars::containsIdeograph(oldText)) {
        if (!s.tail.isEmpty() && isIdeograph(s.tail[0])) {
            QString extra = s.tail[0];
            if (s.tail.size() > 1 && isIdeograph(s.tail[1]))
                extra += s.tail[1];
            return {oldText + extra, newText + extra};
        }
        if (!s.head.isEmpty() && isIdeograph(s.head.back())) {
            QString extra = s.head.back();
            if (s.head.size() > 1 && isIdeograph(s.head[s.head.size() - 2]))
                extra.prepend(s.head[s.head.size() - 2]);
            return {extra + oldText, extra + newText};
        }
        return {oldText, newText};
    }
    // One ideograph for another: a lone character says little, its neighbour
    // makes it a word.
    if (s.oldPart.size() == 1 && s.newPart.size() == 1 && isIdeograph(s.oldPart[0]) && isIdeograph(s.newPart[0])) {
        if (!s.tail.isEmpty() && isIdeograph(s.tail[0]))
            return {oldText + s.tail[0], newText + s.tail[0]};
        if (!s.head.isEmpty() && isIdeograph(s.head.back()))
            return {s.head.back() + oldText, s.head.back() + newText};
    }
    return {oldText, newText};
}

std::optional<Suggestion> hanLexiconFix(const Segment& s) {
    const qsizetype n = s.newPart.size();
    if (n == 0 || s.oldPart.size() != n || !allIdeographs(s.newPart))
        return std::nullopt;
    const QStringList newText = s.head + s.newPart + s.tail;
    const QStringList oldText = s.head + s.oldPart + s.tail;
    const qsizetype start = s.head.size(), end = start + n;
    for (const QString& term : hanTerms()) {
        const QStringList t = chars::split(term);
        const qsizetype len = t.size();
        for (qsizetype w = std::max<qsizetype>(0, end - len); w <= start && w + len <= newText.size(); ++w) {
            if (!sameAt(newText, w, t, 0, len))
                continue;
            const QString wrong = joined(oldText, w, len);
            if (wrong != term && Pinyin::toneless(wrong) == Pinyin::toneless(term))
                return Suggestion{wrong, term, wrong + QLatin1Char('=') + term, false};
        }
    }
    return std::nullopt;
}

QString folded(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text.toLower())
        if (c != u' ' && c != u'\t' && c != u'-' && c != u'_')
            out.append(c);
    return out;
}

qsizetype editDistance(const QString& aText, const QString& bText) {
    const QStringList a = chars::split(aText), b = chars::split(bText);
    std::vector<qsizetype> prev(b.size() + 1), cur(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        prev[j] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        cur[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j)
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

std::optional<Suggestion> classify(const QString& oldInput, const QString& newInput) {
    const QString oldText = text::trimmedWhitespaceAndNewlines(oldInput);
    const QString newText = text::trimmedWhitespaceAndNewlines(newInput);
    if (oldText.isEmpty() || newText.isEmpty() || oldText == newText || (oldText + newText).contains(QLatin1Char('\n')))
        return std::nullopt;
    const QStringList oldChars = chars::split(oldText), newChars = chars::split(newText);
    if (oldChars.size() > kMaxClassified || newChars.size() > kMaxClassified)
        return std::nullopt;

    if (chars::containsAsciiLetter(newText)) {
        const bool oldHan = chars::containsIdeograph(oldText);
        if (!oldHan && !chars::containsIdeograph(newText) && chars::containsAsciiLetter(oldText)) {
            const QString fo = folded(oldText), fn = folded(newText);
            const qsizetype fnLength = chars::count(fn);
            const bool similar = fo == fn || editDistance(fo, fn) <= std::max<qsizetype>(1, qsizetype(0.4 * double(fnLength)));
            const bool marked = std::any_of(newText.begin(), newText.end(),
                                            [](QChar c) { return (c >= u'A' && c <= u'Z') || chars::isAsciiDigit(c.unicode()); });
            if (similar && fnLength >= 4 && marked)
                return Suggestion{oldText, newText, newText, false};
            return std::nullopt;
        }
        if (oldHan) {
            const auto slots = TermSound::soundSlots(newText);
            if (slots && TermSound::matchSlots(oldChars, 0, *slots, 0, false) == oldChars.size())
                return Suggestion{oldText, newText, newText, false};
        }
        return std::nullopt;
    }

    if (oldChars.size() == newChars.size() && newChars.size() > 1 && allIdeographs(oldChars) && allIdeographs(newChars) &&
        Pinyin::toneless(oldText) == Pinyin::toneless(newText))
        return Suggestion{oldText, newText, oldText + QLatin1Char('=') + newText, true};
    return std::nullopt;
}

} // namespace zelk::EditLearner
