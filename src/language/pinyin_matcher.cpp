#include "language/pinyin_matcher.h"

#include "core/text.h"
#include "language/chars.h"
#include "language/pinyin.h"

#include <algorithm>

namespace zelk::PinyinMatcher {

namespace {

struct Candidate {
    qsizetype length;
    QStringList keys; // one or two readings; a list iterates far faster than a set
    bool toned;
    QString to;
};

// Pinyin of each character, computed once per text; a window's pinyin is the
// concatenation of its characters' readings.
struct CharReadings {
    explicit CharReadings(const Chars& cs) {
        toned.reserve(cs.size());
        toneless.reserve(cs.size());
        for (qsizetype i = 0; i < cs.size(); ++i) {
            const bool single = cs.at(i).size() == 1 || (cs.at(i).size() == 2 && cs.scalar(i) > 0xFFFF);
            toned.append(single ? Pinyin::tonedOf(cs.scalar(i)) : Pinyin::toned(cs.at(i)));
            toneless.append(single ? Pinyin::tonelessOf(cs.scalar(i)) : Pinyin::toneless(cs.at(i)));
        }
    }
    QStringList toned, toneless;
};

// Whether the readings of characters [from, from + n) spell `key`, without
// building the window's text.
bool windowSpells(const QStringList& readings, qsizetype from, qsizetype n, QStringView key) {
    qsizetype pos = 0;
    for (qsizetype i = from; i < from + n; ++i) {
        const QString& r = readings[i];
        if (r.isEmpty() || !key.mid(pos).startsWith(r))
            return false;
        pos += r.size();
    }
    return pos == key.size();
}

// The first letter of a reading without its tone mark (à → a).
char16_t baseLetter(QChar c) {
    const QString d = QString(c).normalized(QString::NormalizationForm_D);
    return d.isEmpty() ? c.unicode() : d[0].unicode();
}

bool allHan(const Chars& cs, qsizetype from, qsizetype n) {
    for (qsizetype i = from; i < from + n; ++i)
        if (!chars::isIdeograph(cs.scalar(i)))
            return false;
    return n > 0;
}

} // namespace

bool isAllHan(const QString& text) { return chars::isAllHan(text); }

QString applyRuleHomophones(const QString& text, const QList<std::pair<QString, QString>>& rules, const QSet<QString>& protectedTexts) {
    QList<Candidate> candidates;
    QStringList keepWords;
    for (const auto& [from, to] : rules) {
        if (!to.isEmpty())
            keepWords.append(to);
        const qsizetype n = chars::count(from);
        if (n < 2 || n > 8 || !isAllHan(from))
            continue;
        Candidate c{n, {}, n == 2, to};
        c.keys.append(c.toned ? Pinyin::toned(from) : Pinyin::toneless(from));
        if (chars::count(to) == n && isAllHan(to)) {
            const QString key = c.toned ? Pinyin::toned(to) : Pinyin::toneless(to);
            if (!c.keys.contains(key))
                c.keys.append(key);
        }
        candidates.append(std::move(c));
    }
    if (candidates.isEmpty())
        return text;
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) { return a.length > b.length; });

    // A window can only match a key that starts with its first letter.
    OrderedBuckets byFirstLetter;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        QList<char16_t> firsts;
        for (const QString& key : candidates[i].keys)
            if (!key.isEmpty())
                firsts.append(baseLetter(key[0]));
        std::sort(firsts.begin(), firsts.end());
        firsts.erase(std::unique(firsts.begin(), firsts.end()), firsts.end());
        for (char16_t f : firsts)
            byFirstLetter.add(f, i);
    }

    const Chars cs(text);
    const CharReadings readings(cs);
    const PrefixIndex keep(keepWords);
    QString out;
    out.reserve(text.size());
    qsizetype k = 0;
    while (k < cs.size()) {
        const bool keepWordHere = keep.firstAt(text, cs.offset(k)) >= 0;
        const Candidate* hit = nullptr;
        const QString& first = readings.toned[k];
        if (!keepWordHere && !first.isEmpty()) {
            const QString& plain = readings.toneless[k];
            const char16_t letter = plain.isEmpty() ? baseLetter(first[0]) : plain[0].unicode();
            for (qsizetype ci : byFirstLetter.at(letter)) {
                const Candidate& c = candidates[ci];
                if (k + c.length > cs.size() || !allHan(cs, k, c.length))
                    continue;
                const QStringList& list = c.toned ? readings.toned : readings.toneless;
                const bool spelled = std::any_of(c.keys.begin(), c.keys.end(),
                                                 [&](const QString& key) { return windowSpells(list, k, c.length, key); });
                if (spelled && !protectedTexts.contains(cs.mid(k, c.length))) {
                    hit = &c;
                    break;
                }
            }
        }
        if (hit) {
            out += hit->to;
            k += hit->length;
        } else {
            out += cs.at(k);
            ++k;
        }
    }
    return out;
}

QString applyNearHomophones(const QString& text, const QStringList& terms) {
    struct Term {
        QStringList chars;
        QString key;
    };
    QList<Term> candidates;
    for (const QString& t : chars::byLengthDescending(terms)) {
        const qsizetype n = chars::count(t);
        if (n >= 2 && n <= 6 && isAllHan(t))
            candidates.append({chars::split(t), Pinyin::toneless(t)});
    }
    if (candidates.isEmpty())
        return text;

    const Chars cs(text);
    QStringList current = chars::split(text);
    QList<char32_t> scalars;
    QStringList toneless = CharReadings(cs).toneless;
    for (qsizetype i = 0; i < cs.size(); ++i)
        scalars.append(cs.scalar(i));
    OrderedBuckets byFirstLetter;
    for (qsizetype i = 0; i < candidates.size(); ++i)
        if (!candidates[i].key.isEmpty())
            byFirstLetter.add(candidates[i].key[0].unicode(), i);

    qsizetype j = 0;
    while (j < current.size()) {
        bool replaced = false;
        const QString& first = toneless[j];
        const QList<qsizetype>& possible = byFirstLetter.at(first.isEmpty() ? 0 : first[0].unicode());
        for (qsizetype ti : possible) {
            const Term& term = candidates[ti];
            const qsizetype n = term.chars.size();
            if (j + n > current.size())
                continue;
            bool equal = true, han = true;
            for (qsizetype i = 0; i < n; ++i) {
                equal = equal && current[j + i] == term.chars[i];
                han = han && chars::isIdeograph(scalars[j + i]);
            }
            if (equal || !han || !windowSpells(toneless, j, n, term.key))
                continue;
            for (qsizetype i = 0; i < n; ++i) {
                current[j + i] = term.chars[i];
                scalars[j + i] = chars::firstScalar(term.chars[i]);
                toneless[j + i] = Pinyin::tonelessOf(scalars[j + i]);
            }
            j += n;
            replaced = true;
            break;
        }
        if (!replaced)
            ++j;
    }
    return current.join(QString());
}

} // namespace zelk::PinyinMatcher
