#include "language/term_sound.h"

#include "core/text.h"
#include "language/chars.h"
#include "language/pinyin.h"
#include "language/product_lexicon_data.h"

#include <QHash>

#include <algorithm>
#include <mutex>

namespace zelk::TermSound {

namespace {

const QString kLookBehind = QStringLiteral("(?<![A-Za-z0-9])");
const QString kLookAhead = QStringLiteral("(?![A-Za-z0-9])");
const QString kSeparators = QStringLiteral("[ \\t\\-_]*");

bool isSeparator(QChar c) { return c == u' ' || c == u'\t' || c == u'-' || c == u'_'; }

// Outlines and patterns depend only on the term; the same few hundred terms
// come back with every transcript, so both are kept once computed.
template <typename Value>
class TermCache {
public:
    template <typename Make>
    Value get(const QString& term, Make make) {
        {
            std::lock_guard lock(m_mutex);
            const auto it = m_map.constFind(term);
            if (it != m_map.constEnd())
                return *it;
        }
        Value v = make(term);
        std::lock_guard lock(m_mutex);
        if (m_map.size() > 20000)
            m_map.clear();
        m_map.insert(term, v);
        return v;
    }

private:
    std::mutex m_mutex;
    QHash<QString, Value> m_map;
};

std::optional<QList<Slot>> computeSlots(const QString& term) {
    QList<Slot> slots;
    const Chars cs(term);
    qsizetype i = 0;
    int letters = 0, hans = 0;
    while (i < cs.size()) {
        const char32_t c = cs.scalar(i);
        if (text::isWhitespaceOrNewline(c)) {
            ++i;
            continue;
        }
        if (chars::isIdeograph(c)) {
            slots.append({Slot::Kind::han, cs.at(i).toString()});
            ++hans;
            ++i;
            continue;
        }
        if (!chars::isAsciiAlnum(c) || cs.at(i).size() != 1)
            return std::nullopt;
        QString word;
        while (i < cs.size() && cs.at(i).size() == 1 && chars::isAsciiAlnum(cs.scalar(i)))
            word.append(QChar(char16_t(cs.scalar(i++))));
        bool allCapitals = true;
        for (QChar w : word)
            allCapitals = allCapitals && w.unicode() >= u'A' && w.unicode() <= u'Z';
        if (allCapitals && word.size() < 5) {
            for (QChar w : word)
                slots.append({Slot::Kind::letter, QString(w)});
            letters += int(word.size());
        } else {
            slots.append({Slot::Kind::word, word});
        }
    }
    if (letters == 0 || hans == 0 || letters + hans <= 2)
        return std::nullopt;
    return slots;
}

TermCache<std::optional<QList<Slot>>>& slotCache() {
    static TermCache<std::optional<QList<Slot>>> cache;
    return cache;
}

TermCache<std::optional<QRegularExpression>>& patternCache() {
    static TermCache<std::optional<QRegularExpression>> cache;
    return cache;
}

// The regular-expression engine refuses text with unpaired surrogates outright.
// Matching runs on a copy with each unpaired surrogate as U+FFFD (also one code
// unit), so offsets into the original stay valid and the rest of the text is
// still corrected.
QString regexSubject(const QString& s) {
    bool broken = false;
    for (qsizetype i = 0; i < s.size() && !broken; ++i) {
        const QChar c = s[i];
        if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            broken = true;
    }
    if (!broken)
        return s;
    QString out = s;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (out[i].isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

bool contains(const QRegularExpression& re, const QString& s) {
    return re.match(s).hasMatch();
}

std::optional<QRegularExpression> computeSpacingRegex(const QString& term) {
    const auto insensitive = spacingCaseInsensitive(term);
    if (!insensitive)
        return std::nullopt;
    QString compact;
    for (QChar c : term)
        if (!text::isWhitespaceOrNewline(c.unicode()))
            compact.append(c);
    const QStringList parts = chars::split(compact);
    QStringList escaped;
    for (const QString& p : parts)
        escaped.append(QRegularExpression::escape(p));
    QString pattern = escaped.join(kSeparators);
    if (!compact.isEmpty() && chars::isAsciiAlnum(compact.front().unicode()))
        pattern.prepend(kLookBehind);
    if (!compact.isEmpty() && chars::isAsciiAlnum(compact.back().unicode()))
        pattern.append(kLookAhead);
    QRegularExpression re(pattern, *insensitive ? QRegularExpression::CaseInsensitiveOption : QRegularExpression::NoPatternOption);
    if (!re.isValid())
        return std::nullopt;
    re.optimize();
    return re;
}

// The text with separators removed and case folded: a necessary condition
// for a spacing pattern to match is that this contains the folded term.
QString squeezed(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        if (!isSeparator(c) && !text::isWhitespaceOrNewline(c.unicode()))
            out.append(c);
    return out.toCaseFolded();
}

struct Entry {
    QString term;
    QList<Slot> slots;
};

// Ideographs match themselves or a homophone.
bool hanMatches(const QString& want, const QString& have) {
    if (want == have)
        return true;
    const char32_t a = chars::firstScalar(want), b = chars::firstScalar(have);
    if (!chars::isIdeograph(a) || !chars::isIdeograph(b))
        return false;
    return Pinyin::tonelessOf(a) == Pinyin::tonelessOf(b);
}

bool lastSlotIsLatin(const QList<Slot>& slots) { return !slots.isEmpty() && slots.back().kind != Slot::Kind::han; }

const QStringList& lexiconByLength() {
    static const QStringList list = byLengthDescending(ProductLexiconData::terms());
    return list;
}


} // namespace

QStringList byLengthDescending(const QStringList& terms) { return chars::byLengthDescending(terms); }

std::optional<QList<Slot>> soundSlots(const QString& term) { return slotCache().get(term, computeSlots); }

std::optional<qsizetype> matchSlots(const QStringList& cs, qsizetype start, const QList<Slot>& slots, qsizetype slotIndex,
                                    bool readingUsed) {
    qsizetype i = start;
    if (slotIndex >= slots.size())
        return readingUsed ? std::optional<qsizetype>(i) : std::nullopt;
    if (slotIndex > 0)
        while (i < cs.size() && cs[i] == u" ")
            ++i;
    if (i >= cs.size())
        return std::nullopt;
    const Slot& slot = slots[slotIndex];
    switch (slot.kind) {
    case Slot::Kind::han:
        if (hanMatches(slot.text, cs[i]))
            return matchSlots(cs, i + 1, slots, slotIndex + 1, readingUsed);
        return std::nullopt;
    case Slot::Kind::letter: {
        const QChar letter = slot.text[0];
        if (cs[i].size() == 1 && chars::isAsciiLetter(cs[i][0].unicode()) && cs[i][0].toUpper() == letter)
            if (auto end = matchSlots(cs, i + 1, slots, slotIndex + 1, readingUsed))
                return end;
        for (const auto& reading : ProductLexiconData::letterReadings(letter)) {
            const qsizetype k = reading.size();
            if (i + k > cs.size())
                continue;
            bool ok = true;
            for (qsizetype s = 0; s < k && ok; ++s)
                ok = cs[i + s].size() == 1 && chars::isIdeograph(cs[i + s][0].unicode()) && reading[s].contains(cs[i + s]);
            if (ok)
                if (auto end = matchSlots(cs, i + k, slots, slotIndex + 1, true))
                    return end;
        }
        return std::nullopt;
    }
    case Slot::Kind::word: {
        const qsizetype n = slot.text.size();
        if (i + n > cs.size())
            return std::nullopt;
        QString got;
        for (qsizetype s = 0; s < n; ++s)
            got += cs[i + s];
        if (got.toLower() != slot.text.toLower())
            return std::nullopt;
        return matchSlots(cs, i + n, slots, slotIndex + 1, readingUsed);
    }
    }
    return std::nullopt;
}

namespace {

// The letter-reading walk over prepared entries (sorted by slot count, most first).
QString letterPass(const QString& text, const QList<Entry>& entries, const QSet<QString>& protectedTexts) {
    if (entries.isEmpty() || text.isEmpty())
        return text;

    QStringList keepWords;
    for (const Entry& e : entries)
        keepWords.append(e.term);
    QStringList protectedList(protectedTexts.begin(), protectedTexts.end());
    // Sets have no order; sort them first so equal lengths tie-break the same way every run.
    std::sort(protectedList.begin(), protectedList.end());
    keepWords += protectedList;
    keepWords.removeAll(QString());
    keepWords = chars::byLengthDescending(keepWords);
    const PrefixIndex keep(keepWords);

    QStringList longProtected;
    for (const QString& p : protectedList)
        if (chars::count(p) > 1)
            longProtected.append(p);

    const Chars cs(text);
    const QStringList list = chars::split(text);
    QString out;
    out.reserve(text.size());
    qsizetype k = 0;
    while (k < cs.size()) {
        const qsizetype kw = keep.firstAt(text, cs.offset(k));
        if (kw >= 0) {
            const QString& w = keep.word(kw);
            out += w;
            const qsizetype end = cs.indexAtOffset(cs.offset(k) + w.size());
            k = end > k ? end : k + 1;
            continue;
        }
        if (k > 0 && chars::isAsciiAlnum(cs.scalar(k - 1))) {
            out += cs.at(k);
            ++k;
            continue;
        }
        bool written = false;
        for (const Entry& e : entries) {
            const auto r = matchSlots(list, k, e.slots, 0, false);
            if (!r)
                continue;
            const QString matched = cs.mid(k, *r - k);
            if (matched == e.term || protectedTexts.contains(matched))
                continue;
            bool foreign = false;
            for (const QString& p : longProtected)
                if (matched.contains(p) && !e.term.contains(p)) {
                    foreign = true;
                    break;
                }
            if (foreign)
                continue;
            if (lastSlotIsLatin(e.slots) && *r < cs.size() && chars::isAsciiAlnum(cs.scalar(*r)))
                continue;
            out += e.term;
            k = *r;
            written = true;
            break;
        }
        if (!written) {
            out += cs.at(k);
            ++k;
        }
    }
    return out;
}

QList<Entry> entriesOf(const QStringList& targets) {
    QList<Entry> entries;
    for (const QString& t : targets)
        if (auto slots = soundSlots(t))
            entries.append({t, *slots});
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.slots.size() > b.slots.size(); });
    return entries;
}

struct SpacingTarget {
    QString term;
    QString squeezed;
};

// The spacing rewrite over prepared targets (sorted longest first).
QString spacingPass(const QString& input, const QList<SpacingTarget>& targets, const QSet<QString>& protectedTexts) {
    QString text = input;
    QString folded = squeezed(text);
    std::optional<PairFilter> filter(std::in_place, folded);
    for (const SpacingTarget& target : targets) {
        const QString& t = target.term;
        // Cheap tests first: most targets cannot occur in this text at all.
        if (!filter->mayContain(target.squeezed) || !folded.contains(target.squeezed))
            continue;
        const auto re = spacingRegex(t);
        if (!re)
            continue;
        const bool always = chars::containsIdeograph(t) || std::any_of(t.begin(), t.end(), [](QChar c) { return chars::isAsciiDigit(c.unicode()); });
        QString rebuilt;
        qsizetype last = 0;
        bool changed = false;
        auto it = re->globalMatch(regexSubject(text));
        while (it.hasNext()) {
            const auto m = it.next();
            const QString matched = text.mid(m.capturedStart(0), m.capturedLength(0));
            if (matched.isEmpty())
                continue;
            rebuilt += QStringView(text).mid(last, m.capturedStart(0) - last);
            QString replacement = matched;
            if (!protectedTexts.contains(matched) && (always || std::any_of(matched.begin(), matched.end(), isSeparator)))
                replacement = t;
            changed = changed || replacement != matched;
            rebuilt += replacement;
            last = m.capturedEnd(0);
        }
        if (!changed)
            continue;
        rebuilt += QStringView(text).mid(last);
        text = rebuilt;
        folded = squeezed(text);
        filter.emplace(folded);
    }
    return text;
}

QList<SpacingTarget> spacingTargetsOf(const QStringList& targets) {
    static TermCache<QString> squeezedTerms;
    QList<SpacingTarget> out;
    for (const QString& t : chars::byLengthDescending(targets))
        out.append({t, squeezedTerms.get(t, squeezed)});
    return out;
}

// The lexicon, prepared once: lower-cased forms for the protected test, outline
// entries and spacing targets in the orders the passes use.
struct PreparedLexicon {
    PreparedLexicon() {
        const QStringList& terms = ProductLexiconData::terms();
        for (const QString& t : terms)
            termOfLower.insert(t.toLower(), t);
        entries = entriesOf(terms);
        spacing = spacingTargetsOf(terms);
    }
    QHash<QString, QString> termOfLower;
    QList<Entry> entries;
    QList<SpacingTarget> spacing;
};

const PreparedLexicon& preparedLexicon() {
    static const PreparedLexicon p;
    return p;
}

QString aliasPass(const QString& input, const QSet<QString>& protectedTexts);

} // namespace

QString applyLetterReadings(const QString& text, const QStringList& targets, const QSet<QString>& protectedTexts) {
    return letterPass(text, entriesOf(targets), protectedTexts);
}

std::optional<bool> spacingCaseInsensitive(const QString& term) {
    int alnum = 0;
    bool letter = false, digit = false, han = false;
    for (QChar c : term) {
        const char16_t u = c.unicode();
        if (chars::isAsciiAlnum(u))
            ++alnum;
        letter = letter || chars::isAsciiLetter(u);
        digit = digit || chars::isAsciiDigit(u);
        han = han || chars::isIdeograph(u);
    }
    if (alnum < 4 || !letter)
        return std::nullopt;
    if (digit || han)
        return true;
    static const QRegularExpression lowerUpper(QStringLiteral("[a-z][A-Z]"));
    static const QRegularExpression twoCapitals(QStringLiteral("[A-Z]{2}"));
    const bool caps = contains(twoCapitals, term);
    const QString trimmed = text::trimmedWhitespaceAndNewlines(term);
    const bool innerSpace = trimmed.contains(QLatin1Char(' '));
    if (contains(lowerUpper, term) || caps || innerSpace)
        return caps;
    return std::nullopt;
}

std::optional<QRegularExpression> spacingRegex(const QString& term) { return patternCache().get(term, computeSpacingRegex); }

QString applySpacing(const QString& input, const QStringList& targets, const QSet<QString>& protectedTexts) {
    return spacingPass(input, spacingTargetsOf(targets), protectedTexts);
}

QString applyAliases(const QString& input, const QSet<QString>& protectedTexts) { return aliasPass(input, protectedTexts); }

namespace {

// Whether a protected text equals `s` ignoring case. The few alias targets are
// compared directly rather than lower-casing the whole protected set.
bool protectsIgnoringCase(const QSet<QString>& protectedTexts, const QString& s) {
    const QString low = s.toLower();
    return std::any_of(protectedTexts.begin(), protectedTexts.end(), [&](const QString& p) { return p.size() == low.size() && p.toLower() == low; });
}

QString aliasPass(const QString& input, const QSet<QString>& protectedTexts) {
    const QString lowText = input.toLower();
    QList<ProductLexiconData::Alias> active;
    for (const auto& a : ProductLexiconData::aliasesIfKnown()) {
        bool known = protectsIgnoringCase(protectedTexts, a.written);
        for (const QString& w : a.written.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            known = known || (chars::count(w) > 3 && protectsIgnoringCase(protectedTexts, w));
        if (!known)
            continue;
        bool blocked = false;
        for (const QString& u : ProductLexiconData::aliasUnless().value(a.written))
            blocked = blocked || lowText.contains(u.toLower());
        if (!blocked)
            active.append(a);
    }
    active += ProductLexiconData::aliases();

    QString text = input;
    for (const auto& a : active) {
        if (protectedTexts.contains(a.heard) || a.heard.compare(a.written, Qt::CaseInsensitive) == 0)
            continue;
        // Every alias word is Latin: skip texts that lack its first word.
        const QStringList words = a.heard.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty() || !text.contains(words.front(), Qt::CaseInsensitive))
            continue;
        QStringList escaped;
        for (const QString& w : words)
            escaped.append(QRegularExpression::escape(w));
        static TermCache<QRegularExpression> cache;
        const QRegularExpression re = cache.get(a.heard, [&](const QString&) {
            return QRegularExpression(kLookBehind + escaped.join(QStringLiteral("\\s*")) + kLookAhead, QRegularExpression::CaseInsensitiveOption);
        });
        QString rebuilt;
        qsizetype last = 0;
        auto it = re.globalMatch(regexSubject(text));
        while (it.hasNext()) {
            const auto m = it.next();
            if (m.capturedLength(0) == 0)
                continue;
            rebuilt += QStringView(text).mid(last, m.capturedStart(0) - last);
            rebuilt += a.written;
            last = m.capturedEnd(0);
        }
        if (last > 0) {
            rebuilt += QStringView(text).mid(last);
            text = rebuilt;
        }
    }
    return text;
}

} // namespace

QString correctBuiltin(const QString& text, const QSet<QString>& protectedTexts) {
    const PreparedLexicon& lexicon = preparedLexicon();
    // The user's own spellings take the place of lexicon terms equal ignoring case.
    QSet<QString> excluded;
    for (const QString& p : protectedTexts) {
        const auto it = lexicon.termOfLower.constFind(p.toLower());
        if (it != lexicon.termOfLower.constEnd())
            excluded.insert(*it);
    }
    auto wanted = [&](const QString& term) { return excluded.isEmpty() || !excluded.contains(term); };
    QList<Entry> entries;
    for (const Entry& e : lexicon.entries)
        if (wanted(e.term))
            entries.append(e);
    QList<SpacingTarget> spacing;
    for (const SpacingTarget& t : lexicon.spacing)
        if (wanted(t.term))
            spacing.append(t);
    QString out = aliasPass(text, protectedTexts);
    out = letterPass(out, entries, protectedTexts);
    return spacingPass(out, spacing, protectedTexts);
}

bool isDistinctive(const QString& term) {
    static const QRegularExpression mixed(QStringLiteral("[a-z][A-Z]|[A-Z]{2}"));
    if (std::any_of(term.begin(), term.end(), [](QChar c) { return chars::isAsciiDigit(c.unicode()); }))
        return true;
    if (contains(mixed, term))
        return true;
    return text::trimmedWhitespaceAndNewlines(term).contains(QLatin1Char(' '));
}

QStringList mentionedTerms(const QString& text, qsizetype limit) {
    QStringList chosen;
    if (limit <= 0)
        return chosen;
    struct Term {
        QString term;
        QString compact;  // lower-cased without white space, for terms with ideographs
        bool han;
        bool distinctive;
    };
    static const QList<Term> lexicon = [] {
        QList<Term> out;
        for (const QString& t : lexiconByLength()) {
            QString compact;
            for (QChar c : t.toLower())
                if (!text::isWhitespaceOrNewline(c.unicode()))
                    compact.append(c);
            out.append({t, compact, chars::containsIdeograph(t), isDistinctive(t)});
        }
        return out;
    }();
    static TermCache<QRegularExpression> patterns;

    QString compact;
    for (QChar c : text.toLower())
        if (!text::isWhitespaceOrNewline(c.unicode()))
            compact.append(c);
    const PairFilter compactPairs(compact), textPairs(text);
    for (const Term& t : lexicon) {
        bool mentioned = false;
        if (t.han) {
            mentioned = compactPairs.mayContain(t.compact) && compact.contains(t.compact);
        } else if (t.distinctive && textPairs.mayContain(t.term) && text.contains(t.term)) {
            const QRegularExpression re = patterns.get(t.term, [](const QString& term) {
                QRegularExpression r(kLookBehind + QRegularExpression::escape(term) + kLookAhead);
                r.optimize();
                return r;
            });
            mentioned = contains(re, regexSubject(text));
        }
        if (!mentioned)
            continue;
        const bool hidden = std::any_of(chosen.begin(), chosen.end(), [&](const QString& c) { return c.contains(t.term, Qt::CaseInsensitive); });
        if (hidden)
            continue;
        chosen.append(t.term);
        if (chosen.size() >= limit)
            break;
    }
    return chosen;
}

} // namespace zelk::TermSound
