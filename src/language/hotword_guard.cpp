#include "language/hotword_guard.h"

#include "core/log.h"
#include "core/text.h"
#include "language/chars.h"
#include "language/pinyin.h"

#include <QSet>

namespace zelk::HotwordGuard {

namespace {

constexpr qsizetype kMaxPlaceholders = 3840;

QString placeholder(qsizetype k) {
    QString p;
    p.append(QChar(0xE000));
    p.append(QChar(char16_t(0xE100 + k)));
    p.append(QChar(0xE001));
    return p;
}

bool hanSupported(const QStringList& han, const QList<char32_t>& hanScalars, const DraftIndex& draft) {
    const qsizetype n = han.size();
    const qsizetype total = draft.chars.size();
    if (total < n)
        return false;
    const qsizetype needed = n < 3 ? n : (n + 1) / 2;
    QList<QString> termPinyin;
    for (char32_t c : hanScalars)
        termPinyin.append(Pinyin::tonelessOf(c));
    for (qsizetype i = 0; i + n <= total; ++i) {
        qsizetype count = 0;
        for (qsizetype k = 0; k < n; ++k) {
            const qsizetype d = i + k;
            if (draft.chars[d] == han[k])
                ++count;
            else if (!draft.pinyin[d].isEmpty() && draft.pinyin[d] == termPinyin[k])
                ++count;
        }
        if (count >= needed)
            return true;
    }
    return false;
}

bool asciiSupported(const QString& ascii, const DraftIndex& draft) {
    QSet<QString> bigrams;
    for (qsizetype i = 0; i + 1 < ascii.size(); ++i)
        bigrams.insert(ascii.mid(i, 2));
    qsizetype hits = 0;
    for (const QString& b : bigrams)
        if (draft.lowered.contains(b))
            ++hits;
    const qsizetype needed = std::max<qsizetype>(1, (bigrams.size() + 1) / 2);
    return hits >= needed;
}

QString tidy(QString s) {
    static const std::pair<QString, QString> pairs[] = {
        {QStringLiteral(" 。"), QStringLiteral("。")}, {QStringLiteral(" ，"), QStringLiteral("，")},
        {QStringLiteral(" 、"), QStringLiteral("、")}, {QStringLiteral("  "), QStringLiteral(" ")},
        {QStringLiteral("。。"), QStringLiteral("。")}, {QStringLiteral("，，"), QStringLiteral("，")},
        {QStringLiteral("、、"), QStringLiteral("、")}, {QStringLiteral("？？"), QStringLiteral("？")},
        {QStringLiteral("！！"), QStringLiteral("！")}, {QStringLiteral("？。"), QStringLiteral("？")},
        {QStringLiteral("。？"), QStringLiteral("？")}, {QStringLiteral("！。"), QStringLiteral("！")},
        {QStringLiteral("，。"), QStringLiteral("。")},
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (const auto& [from, to] : pairs)
            if (s.contains(from)) {
                s.replace(from, to);
                changed = true;
            }
    }
    qsizetype lead = 0;
    static const QString leading = QStringLiteral("，。、 ");
    while (lead < s.size() && leading.contains(s[lead]))
        ++lead;
    return text::trimmedSpacesAndTabs(s.mid(lead));
}

} // namespace

DraftIndex::DraftIndex(const QString& draft) : lowered(draft.toLower()) {
    for (QChar c : lowered)
        if (!text::isWhitespaceOrNewline(c.unicode()))
            compact.append(c);
    const Chars cs(lowered);
    chars.reserve(cs.size());
    pinyin.reserve(cs.size());
    scalars.reserve(cs.size());
    for (qsizetype i = 0; i < cs.size(); ++i) {
        chars.append(cs.at(i).toString());
        scalars.append(cs.scalar(i));
        pinyin.append(chars::isIdeograph(cs.scalar(i)) ? Pinyin::tonelessOf(cs.scalar(i)) : QString());
    }
}

bool isSupported(const QString& term, const DraftIndex& draft) {
    if (draft.lowered.isEmpty())
        return false;
    if (draft.lowered.contains(term))
        return true;
    QString compactTerm;
    for (QChar c : term)
        if (!text::isWhitespaceOrNewline(c.unicode()))
            compactTerm.append(c);
    if (draft.compact.contains(compactTerm))
        return true;

    const Chars cs(term);
    QStringList han;
    QList<char32_t> hanScalars;
    for (qsizetype i = 0; i < cs.size(); ++i)
        if (chars::isIdeograph(cs.scalar(i))) {
            han.append(cs.at(i).toString());
            hanScalars.append(cs.scalar(i));
        }
    if (!han.isEmpty() && hanSupported(han, hanScalars, draft))
        return true;

    QString ascii;
    for (QChar c : term)
        if (c.unicode() < 0x80 && !text::isWhitespaceOrNewline(c.unicode()))
            ascii.append(c);
    if (ascii.size() < 2)
        return false;
    return asciiSupported(ascii, draft);
}

QString strip(const QString& text, const QString& draft, const QStringList& hotwords) {
    if (text.isEmpty() || hotwords.isEmpty())
        return text;
    const DraftIndex index(draft);

    QStringList terms;
    for (const QString& h : hotwords) {
        const QString t = text::trimmedSpacesAndTabs(h);
        if (chars::count(t) > 1)
            terms.append(t);
    }
    terms = chars::byLengthDescending(terms);

    QString current = text;
    QStringList protectedTexts;
    for (const QString& term : terms) {
        if (!current.contains(term, Qt::CaseInsensitive))
            continue;
        if (isSupported(term.toLower(), index)) {
            // Placeholders keep a supported term from being cut by a shorter
            // term handled later.
            qsizetype at = 0;
            while (protectedTexts.size() < kMaxPlaceholders) {
                at = current.indexOf(term, at, Qt::CaseInsensitive);
                if (at < 0)
                    break;
                const QString ph = placeholder(protectedTexts.size());
                protectedTexts.append(current.mid(at, term.size()));
                current.replace(at, term.size(), ph);
                at += ph.size();
            }
        } else {
            current.remove(term, Qt::CaseInsensitive);
            qCInfo(Log::asr()).noquote() << QStringLiteral("热词幻觉剥除：%1（草稿无踪影）").arg(term);
        }
    }
    for (qsizetype k = protectedTexts.size() - 1; k >= 0; --k)
        current.replace(placeholder(k), protectedTexts[k]);

    if (current == text)
        return text;
    return tidy(current);
}

} // namespace zelk::HotwordGuard
