#include "polish/polish_guard.h"

#include "core/text.h"

#include <QList>

namespace zelk {

namespace {

QStringList characters(const QString& s) {
    const QList<qsizetype> bounds = text::graphemeBoundaries(s);
    QStringList out;
    out.reserve(bounds.size());
    for (qsizetype i = 0; i + 1 < bounds.size(); ++i)
        out.append(s.mid(bounds[i], bounds[i + 1] - bounds[i]));
    return out;
}

bool isHan(const QString& ch) {
    if (ch.isEmpty())
        return false;
    for (char32_t c : ch.toUcs4())
        if (c < 0x4E00 || c > 0x9FFF)
            return false;
    return true;
}

bool isAsciiDigit(const QString& ch) { return ch.size() == 1 && ch[0] >= u'0' && ch[0] <= u'9'; }
bool isAsciiLetter(const QString& ch) {
    return ch.size() == 1 && ((ch[0] >= u'a' && ch[0] <= u'z') || (ch[0] >= u'A' && ch[0] <= u'Z'));
}

bool containsAnyScalar(const QString& s, const QString& set) {
    const auto scalars = set.toUcs4();
    for (char32_t c : s.toUcs4())
        if (scalars.contains(c))
            return true;
    return false;
}

} // namespace

const QStringList& PolishGuard::coverageFillers() {
    static const QStringList list{
        QStringLiteral("那个"), QStringLiteral("这个"), QStringLiteral("就是"), QStringLiteral("然后"),
        QStringLiteral("其实"), QStringLiteral("反正"), QStringLiteral("的话"), QStringLiteral("嗯"),
        QStringLiteral("呃"),   QStringLiteral("啊"),   QStringLiteral("哎"),   QStringLiteral("唉"),
        QStringLiteral("哦"),   QStringLiteral("噢"),   QStringLiteral("额"),   QStringLiteral("呀"),
        QStringLiteral("嘛"),   QStringLiteral("呢"),   QStringLiteral("吧"),   QStringLiteral("哈"),
        QStringLiteral("啦")};
    return list;
}

PolishGuard::Facts PolishGuard::facts(const QString& text) {
    enum class State { none, number, word };
    Facts result;
    QString token;
    State state = State::none;
    auto close = [&] {
        if (token.isEmpty())
            return;
        if (state == State::number)
            result.nums.insert(token);
        else if (state == State::word && token.size() > 1)
            result.words.insert(token.toLower());
        token.clear();
    };
    for (const QString& ch : characters(text)) {
        if (isAsciiDigit(ch)) {
            if (state == State::word)
                close();
            token += ch;
            state = State::number;
        } else if (isAsciiLetter(ch)) {
            if (state == State::number)
                close();
            token += ch;
            state = State::word;
        } else if (ch == QLatin1String(".") && state == State::number && !token.isEmpty()) {
            token += ch;
        } else {
            close();
        }
    }
    close();
    QSet<QString> nums;
    for (QString n : std::as_const(result.nums)) {
        if (n.endsWith(u'.'))
            n.chop(1);
        nums.insert(n);
    }
    result.nums = nums;
    return result;
}

int PolishGuard::longestUncoveredRun(const QString& input, const QString& output) {
    QString rest = input;
    for (const QString& filler : coverageFillers())
        rest.remove(filler);
    QStringList core;
    for (const QString& ch : characters(rest))
        if (isHan(ch))
            core.append(ch);
    const qsizetype n = core.size();
    QList<bool> present(n);
    for (qsizetype i = 0; i < n; ++i)
        present[i] = output.contains(core[i]);
    int longest = 0, run = 0;
    for (qsizetype i = 0; i < n; ++i) {
        bool covered;
        if (n == 1)
            covered = present[i];
        else
            covered = present[i] && ((i > 0 && present[i - 1]) || (i + 1 < n && present[i + 1]));
        run = covered ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

bool PolishGuard::validate(const QString& input, const QString& output, const QStringList& fewshot, double ratioMax) {
    const QString out = text::trimmedWhitespaceAndNewlines(output);
    if (out.isEmpty())
        return false;
    if (out.contains(QLatin1String("```")))
        return false;
    if (fewshot.contains(out))
        return false;
    // A one-character (or empty) input still divides by 1.
    qsizetype inCount = text::graphemeCount(input);
    if (inCount < 2)
        inCount = 1;
    const double ratio = double(text::graphemeCount(out)) / double(inCount);
    if (ratio < 0.5 || ratio > ratioMax)
        return false;
    const Facts in = facts(input), res = facts(out);
    for (const QString& n : res.nums)
        if (!in.nums.contains(n))
            return false;
    for (const QString& w : res.words)
        if (!in.words.contains(w))
            return false;
    if (longestUncoveredRun(input, out) >= 8)
        return false;
    if (containsAnyScalar(input, QStringLiteral("。！？!?.")) &&
        !containsAnyScalar(out, QStringLiteral("。，！？、；：!?,;:.")))
        return false;
    return true;
}

} // namespace zelk
