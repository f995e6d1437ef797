#include "language/spoken_math.h"

#include "core/text.h"
#include "language/chinese_number.h"

#include <QLocale>

#include <cmath>

namespace zelk::SpokenMath {

namespace {

const QStringList& leadingNoise() {
    static const QStringList list{QStringLiteral("嗯"), QStringLiteral("呃"), QStringLiteral("啊"), QStringLiteral("哦"), QStringLiteral("那个"),
                                  QStringLiteral("就是"), QStringLiteral("然后"), QStringLiteral("麻烦"), QStringLiteral("请")};
    return list;
}

const QString& edgePunctuation() {
    static const QString s = QStringLiteral("，。、！？!?,.：:；; ");
    return s;
}

const QStringList& prefixes() {
    static const QStringList list{
        QStringLiteral("你再帮我算一下"), QStringLiteral("再帮我算一下"), QStringLiteral("你帮我算一下"), QStringLiteral("帮我算一下"),
        QStringLiteral("帮我算算"), QStringLiteral("帮我计算一下"), QStringLiteral("帮我计算"), QStringLiteral("帮我算"),
        QStringLiteral("帮忙算一下"), QStringLiteral("我来算一下"), QStringLiteral("我算一下"), QStringLiteral("计算一下"),
        QStringLiteral("算一下"), QStringLiteral("算算")};
    return list;
}

const QStringList& suffixes() {
    static const QStringList list{QStringLiteral("等于多少"), QStringLiteral("等于几"), QStringLiteral("是多少"), QStringLiteral("得多少")};
    return list;
}

const QStringList& fillers() {
    static const QStringList list{QStringLiteral("呃"), QStringLiteral("嗯"), QStringLiteral("啊"), QStringLiteral("哦"),
                                  QStringLiteral("呀"), QStringLiteral("那个"), QStringLiteral("就是"), QStringLiteral("然后")};
    return list;
}

const QString& tokenizerPunctuation() {
    static const QString s = QStringLiteral("，、。；：？！…‘’“”〈〉《》「」『』·~～!?,;: ");
    return s;
}

const QString& numberCharacters() {
    static const QString s = QStringLiteral("0123456789零一二两三四五六七八九十百千万亿点.负");
    return s;
}

enum class OpMeaning { times, divide, plus, minus, lparen, rparen, square, cube, power, root };

struct OpWord {
    QString word;
    OpMeaning meaning;
};

const QList<OpWord>& opWords() {
    using M = OpMeaning;
    static const QList<OpWord> list{
        {QStringLiteral("乘以"), M::times},    {QStringLiteral("乘上"), M::times},   {QStringLiteral("乘"), M::times},
        {QStringLiteral("×"), M::times},       {QStringLiteral("x"), M::times},      {QStringLiteral("X"), M::times},
        {QStringLiteral("*"), M::times},       {QStringLiteral("除以"), M::divide},  {QStringLiteral("除"), M::divide},
        {QStringLiteral("÷"), M::divide},      {QStringLiteral("/"), M::divide},     {QStringLiteral("加上"), M::plus},
        {QStringLiteral("加"), M::plus},       {QStringLiteral("+"), M::plus},       {QStringLiteral("减去"), M::minus},
        {QStringLiteral("减"), M::minus},      {QStringLiteral("－"), M::minus},     {QStringLiteral("左括号"), M::lparen},
        {QStringLiteral("（"), M::lparen},     {QStringLiteral("("), M::lparen},     {QStringLiteral("右括号"), M::rparen},
        {QStringLiteral("）"), M::rparen},     {QStringLiteral(")"), M::rparen},     {QStringLiteral("的平方"), M::square},
        {QStringLiteral("平方"), M::square},   {QStringLiteral("的立方"), M::cube},  {QStringLiteral("立方"), M::cube},
        {QStringLiteral("次方"), M::power},    {QStringLiteral("开根号"), M::root},  {QStringLiteral("根号"), M::root},
        {QStringLiteral("开方"), M::root},
    };
    return list;
}

const OpWord* opWordAt(const QString& s, qsizetype i) {
    const QStringView rest = QStringView(s).mid(i);
    for (const auto& w : opWords())
        if (rest.startsWith(w.word))
            return &w;
    return nullptr;
}

QChar arithmeticChar(OpMeaning m) {
    switch (m) {
    case OpMeaning::times: return u'*';
    case OpMeaning::divide: return u'/';
    case OpMeaning::plus: return u'+';
    case OpMeaning::minus: return u'-';
    default: return QChar();
    }
}

bool isNumberChar(QChar c) { return numberCharacters().contains(c); }

qsizetype numberRunEnd(const QString& s, qsizetype i) {
    while (i < s.size() && isNumberChar(s[i]))
        ++i;
    return i;
}

bool isPercent(const QString& s, qsizetype i) { return i < s.size() && (s[i] == u'%' || s[i] == u'％'); }

void appendPercentage(QList<Token>& tokens, double n) {
    tokens << Token::lparen() << Token::num(n) << Token::makeOp(u'/') << Token::num(100) << Token::rparen();
}

// Recursive descent over the tokens. Nesting is bounded so that a transcript
// of thousands of 左括号 fails cleanly instead of exhausting the stack.
class Parser {
public:
    explicit Parser(const QList<Token>& tokens) : m_tokens(tokens) {}

    std::optional<double> parseAll() {
        const auto v = expression();
        if (!v || m_pos != m_tokens.size())
            return std::nullopt;
        return v;
    }

private:
    static constexpr int kMaxDepth = 200;

    bool atOp(QChar c) const { return m_pos < m_tokens.size() && m_tokens[m_pos].kind == Token::Kind::op && m_tokens[m_pos].op == c; }

    std::optional<double> expression() {
        auto v = term();
        if (!v)
            return std::nullopt;
        while (atOp(u'+') || atOp(u'-')) {
            const QChar op = m_tokens[m_pos++].op;
            const auto r = term();
            if (!r)
                return std::nullopt;
            *v = op == u'+' ? *v + *r : *v - *r;
        }
        return v;
    }

    std::optional<double> term() {
        auto v = power();
        if (!v)
            return std::nullopt;
        while (atOp(u'*') || atOp(u'/')) {
            const QChar op = m_tokens[m_pos++].op;
            const auto r = power();
            if (!r)
                return std::nullopt;
            if (op == u'/') {
                if (*r == 0)
                    return std::nullopt;
                *v /= *r;
            } else {
                *v *= *r;
            }
        }
        return v;
    }

    std::optional<double> power() {
        auto v = primary();
        if (!v)
            return std::nullopt;
        while (atOp(u'^')) {
            ++m_pos;
            const auto r = primary();
            if (!r)
                return std::nullopt;
            *v = std::pow(*v, *r);
        }
        return v;
    }

    std::optional<double> primary() {
        if (m_pos >= m_tokens.size() || m_depth >= kMaxDepth)
            return std::nullopt;
        struct Depth {
            int& d;
            explicit Depth(int& x) : d(x) { ++d; }
            ~Depth() { --d; }
        } depth(m_depth);

        const Token& t = m_tokens[m_pos];
        switch (t.kind) {
        case Token::Kind::num:
            ++m_pos;
            return t.value;
        case Token::Kind::op:
            if (t.op != u'-')
                return std::nullopt;
            ++m_pos;
            if (auto v = power())
                return -*v;
            return std::nullopt;
        case Token::Kind::lparen: {
            ++m_pos;
            const auto v = expression();
            if (!v || m_pos >= m_tokens.size() || m_tokens[m_pos].kind != Token::Kind::rparen)
                return std::nullopt;
            ++m_pos;
            return v;
        }
        case Token::Kind::sqrt: {
            ++m_pos;
            const auto v = power();
            if (!v || *v < 0)
                return std::nullopt;
            return std::sqrt(*v);
        }
        case Token::Kind::rparen:
            return std::nullopt;
        }
        return std::nullopt;
    }

    const QList<Token>& m_tokens;
    qsizetype m_pos = 0;
    int m_depth = 0;
};

} // namespace

std::optional<QList<Token>> tokenize(const QString& input) {
    QString s;
    s.reserve(input.size());
    for (QChar c : input)
        if (!tokenizerPunctuation().contains(c))
            s.append(c);
    for (const QString& f : fillers())
        s.remove(f);

    QList<Token> tokens;
    qsizetype i = 0;
    while (i < s.size()) {
        const QStringView rest = QStringView(s).mid(i);
        if (rest.startsWith(u"等于")) {
            if (!tokens.isEmpty())
                return tokens;
            return std::nullopt;
        }
        if (rest.startsWith(u"百分之")) {
            const qsizetype start = i + 3, end = numberRunEnd(s, start);
            const auto n = end > start ? ChineseNumber::parse(s.mid(start, end - start)) : std::nullopt;
            if (!n)
                return std::nullopt;
            appendPercentage(tokens, *n);
            i = end;
            continue;
        }
        if (s[i] == u'的') {
            const qsizetype next = i + 1;
            const QStringView after = QStringView(s).mid(next);
            const qsizetype runEnd = numberRunEnd(s, next);
            if (after.startsWith(u"平方") || after.startsWith(u"立方") ||
                (runEnd > next && QStringView(s).mid(runEnd).startsWith(u"次方"))) {
                i = next;
                continue;
            }
            if (after.startsWith(u"百分之") || (runEnd > next && isPercent(s, runEnd))) {
                tokens << Token::makeOp(u'*');
                i = next;
                continue;
            }
            return std::nullopt;
        }
        if (s[i] == u'再') {
            const OpWord* w = opWordAt(s, i + 1);
            if (!w || arithmeticChar(w->meaning).isNull() || tokens.isEmpty())
                return std::nullopt;
            tokens.prepend(Token::lparen());
            tokens << Token::rparen() << Token::makeOp(arithmeticChar(w->meaning));
            i += 1 + w->word.size();
            continue;
        }
        if (const OpWord* w = opWordAt(s, i)) {
            switch (w->meaning) {
            case OpMeaning::square: tokens << Token::makeOp(u'^') << Token::num(2); break;
            case OpMeaning::cube: tokens << Token::makeOp(u'^') << Token::num(3); break;
            case OpMeaning::power: {
                if (tokens.isEmpty() || tokens.back().kind != Token::Kind::num)
                    return std::nullopt;
                const double n = tokens.takeLast().value;
                tokens << Token::makeOp(u'^') << Token::num(n);
                break;
            }
            case OpMeaning::root: tokens << Token::sqrt(); break;
            case OpMeaning::lparen: tokens << Token::lparen(); break;
            case OpMeaning::rparen: tokens << Token::rparen(); break;
            default: tokens << Token::makeOp(arithmeticChar(w->meaning)); break;
            }
            i += w->word.size();
            continue;
        }
        if (isNumberChar(s[i])) {
            const qsizetype end = numberRunEnd(s, i);
            const auto n = ChineseNumber::parse(s.mid(i, end - i));
            if (!n)
                return std::nullopt;
            i = end;
            if (isPercent(s, i)) {
                appendPercentage(tokens, *n);
                ++i;
            } else {
                tokens << Token::num(*n);
            }
            continue;
        }
        return std::nullopt;
    }
    return tokens;
}

std::optional<Result> evaluate(const QString& expression) {
    const auto tokens = tokenize(expression);
    if (!tokens || tokens->isEmpty())
        return std::nullopt;
    qsizetype numbers = 0;
    bool hasOperator = false, hasSqrt = false;
    for (const Token& t : *tokens) {
        numbers += t.kind == Token::Kind::num;
        hasOperator |= t.kind == Token::Kind::op || t.kind == Token::Kind::sqrt;
        hasSqrt |= t.kind == Token::Kind::sqrt;
    }
    if (!hasOperator || numbers + (hasSqrt ? 1 : 0) < 2)
        return std::nullopt;
    Parser parser(*tokens);
    const auto value = parser.parseAll();
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return Result{pretty(*tokens), format(*value, true)};
}

QString pretty(const QList<Token>& tokens) {
    QStringList parts;
    parts.reserve(tokens.size());
    for (const Token& t : tokens) {
        switch (t.kind) {
        case Token::Kind::num: parts << format(t.value, false); break;
        case Token::Kind::op:
            parts << (t.op == u'*' ? QStringLiteral("×") : t.op == u'/' ? QStringLiteral("÷") : QString(t.op));
            break;
        case Token::Kind::lparen: parts << QStringLiteral("("); break;
        case Token::Kind::rparen: parts << QStringLiteral(")"); break;
        case Token::Kind::sqrt: parts << QStringLiteral("√"); break;
        }
    }
    QString s = parts.join(QLatin1Char(' '));
    s.replace(QStringLiteral("( "), QStringLiteral("("));
    s.replace(QStringLiteral(" )"), QStringLiteral(")"));
    s.replace(QStringLiteral("√ "), QStringLiteral("√"));
    s.replace(QStringLiteral(" ^ "), QStringLiteral("^"));
    return s;
}

QString format(double value, bool grouping) {
    if (!std::isfinite(value))
        return QString::number(value);
    QLocale locale(QLocale::English, QLocale::UnitedStates);
    locale.setNumberOptions(grouping ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    const double rounded = std::round(value);
    if (std::abs(value - rounded) < 1e-9 && std::abs(value) < 1e15)
        return locale.toString(qint64(rounded));
    QString s = locale.toString(value, 'f', 6);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    return s;
}

std::optional<Route> route(const QString& input) {
    QString s = text::trimmedWhitespaceAndNewlines(input);
    for (bool changed = true; changed;) {
        changed = false;
        if (!s.isEmpty() && edgePunctuation().contains(s.front())) {
            s.remove(0, 1);
            changed = true;
        }
        for (const QString& w : leadingNoise())
            if (s.startsWith(w)) {
                s.remove(0, w.size());
                changed = true;
                break;
            }
    }
    bool triggered = false;
    for (const QString& p : prefixes())
        if (s.startsWith(p)) {
            s.remove(0, p.size());
            triggered = true;
            break;
        }
    while (!s.isEmpty() && edgePunctuation().contains(s.back()))
        s.chop(1);
    bool asked = false;
    for (const QString& q : suffixes())
        if (s.endsWith(q)) {
            s.chop(q.size());
            asked = true;
            break;
        }
    if (!triggered && !asked)
        return std::nullopt;
    if (s.isEmpty())
        return std::nullopt;
    if (auto result = evaluate(s))
        return Route{Computed{*result}};
    if (triggered)
        return Route{Intent{s}};
    return std::nullopt;
}

} // namespace zelk::SpokenMath
