#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <variant>

// Spoken arithmetic: decides whether a transcript asks for a calculation,
// evaluates it, and answers the formula and value, or the expression as
// dictated when the request was clear but the sum was not. Pure; any thread.
namespace zelk::SpokenMath {

struct Token {
    enum class Kind { num, op, lparen, rparen, sqrt };
    Kind kind = Kind::num;
    double value = 0;  // num
    QChar op;          // op: one of + - * / ^

    static Token num(double v) { return {Kind::num, v, QChar()}; }
    static Token makeOp(QChar c) { return {Kind::op, 0, c}; }
    static Token lparen() { return {Kind::lparen, 0, QChar()}; }
    static Token rparen() { return {Kind::rparen, 0, QChar()}; }
    static Token sqrt() { return {Kind::sqrt, 0, QChar()}; }
    bool operator==(const Token&) const = default;
};

struct Result {
    QString formula;
    QString value;
    bool operator==(const Result&) const = default;
};

struct Computed {
    Result result;
    bool operator==(const Computed&) const = default;
};
struct Intent {
    QString expression;
    bool operator==(const Intent&) const = default;
};
using Route = std::variant<Computed, Intent>;

std::optional<Route> route(const QString& text);
std::optional<Result> evaluate(const QString& expression);
std::optional<QList<Token>> tokenize(const QString& text);
QString format(double value, bool grouping);
QString pretty(const QList<Token>& tokens);

} // namespace zelk::SpokenMath
