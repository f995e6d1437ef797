#include "language/chinese_number.h"

#include "core/text.h"

#include <cstdlib>
#include <string>

namespace zelk::ChineseNumber {

namespace {

constexpr double kWan = 10'000;
constexpr double kYi = 100'000'000;

std::optional<double> smallUnit(QChar c) {
    switch (c.unicode()) {
    case u'十': return 10;
    case u'百': return 100;
    case u'千': return 1000;
    default: return std::nullopt;
    }
}

std::optional<double> suffixMultiplier(QChar c) {
    if (c == u'万')
        return kWan;
    if (c == u'亿')
        return kYi;
    return std::nullopt;
}

bool isAsciiDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

double decimalValue(const QString& digits) {
    const std::string s = digits.toStdString();
    return std::strtod(s.c_str(), nullptr); // overflow answers HUGE_VAL; the caller checks finiteness
}

std::optional<double> parseInteger(const QString& text) {
    if (text.isEmpty())
        return 0.0;
    bool allDigits = true;
    for (QChar c : text)
        if (!isAsciiDigit(c)) {
            allDigits = false;
            break;
        }
    if (allDigits)
        return decimalValue(text);

    QString digitRun;
    double l = 0, m = 0, e = 0, f = 0;
    for (QChar c : text) {
        if (isAsciiDigit(c)) {
            digitRun.append(c);
            continue;
        }
        if (!digitRun.isEmpty()) {
            l = decimalValue(digitRun);
            digitRun.clear();
        }
        if (const auto d = digitValue(c)) {
            l = *d;
            if (c == u'零')
                f = 0;
        } else if (const auto u = smallUnit(c)) {
            m += (l != 0 ? l : 1) * *u;
            f = *u;
            l = 0;
        } else if (c == u'亿') {
            e = (e + m + l) * kYi;
            m = 0;
            l = 0;
        } else if (c == u'万') {
            e = e + (m + l) * kWan;
            m = 0;
            l = 0;
        } else {
            return std::nullopt;
        }
    }
    if (!digitRun.isEmpty())
        l = decimalValue(digitRun);

    // Abbreviated endings: 一百五 is 150, 一万五 is 15 000.
    if (l > 0 && l < 10) {
        if (f >= 100 && e == 0)
            return m + f * l / 10;
        if (m == 0 && e > 0) {
            const double r = e >= kYi ? 10'000'000 : e >= 100'000 ? 10'000 : e >= kWan ? 1'000 : 1;
            return e + l * r;
        }
    }
    return m + e + l;
}

} // namespace

std::optional<int> digitValue(QChar c) {
    static const QString chinese = QStringLiteral("零一二三四五六七八九");
    if (isAsciiDigit(c))
        return c.unicode() - u'0';
    if (c == u'两')
        return 2;
    const qsizetype i = chinese.indexOf(c);
    if (i >= 0)
        return int(i);
    return std::nullopt;
}

std::optional<double> parse(const QString& input) {
    // Signs and suffix multipliers nest (负三万亿 is −(3 × 10⁴) × 10⁸); they are
    // unwound in a loop so that a long run of 万 cannot exhaust the stack.
    QString s = input;
    double sign = 1, multiplier = 1;
    for (;;) {
        s = text::trimmedSpacesAndTabs(s);
        if (s.isEmpty())
            return std::nullopt;
        if (s.front() == u'负' || s.front() == u'-') {
            sign = -sign;
            s.remove(0, 1);
        }
        if (!s.isEmpty()) {
            // 一亿二千万 is one number with 万 as its inner unit, not (一亿二千) × 10⁴.
            const bool innerWan = s.back() == u'万' && s.contains(u'亿') && !s.contains(u'点') && !s.contains(u'.');
            const auto mult = innerWan ? std::nullopt : suffixMultiplier(s.back());
            if (mult) {
                s.chop(1);
                if (s.isEmpty())
                    return std::nullopt;
                multiplier *= *mult;
                continue;
            }
        }
        break;
    }

    qsizetype split = -1;
    for (qsizetype i = 0; i < s.size(); ++i)
        if (s[i] == u'点' || s[i] == u'.') {
            split = i;
            break;
        }
    const QString integerPart = split < 0 ? s : s.left(split);
    const QString fractionPart = split < 0 ? QString() : s.mid(split + 1);

    auto value = parseInteger(integerPart);
    if (!value)
        return std::nullopt;
    double place = 0.1;
    for (QChar c : fractionPart) {
        const auto d = digitValue(c);
        if (!d)
            return std::nullopt;
        *value += *d * place;
        place /= 10;
    }
    return sign * *value * multiplier;
}

} // namespace zelk::ChineseNumber
