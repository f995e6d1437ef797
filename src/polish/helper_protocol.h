#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

// The local helper's line protocol: one JSON object per line, UTF-8.
namespace zelk::HelperProtocol {

struct Ready { bool operator==(const Ready&) const = default; };
struct Progress {
    double fraction = 0;
    bool downloaded = false;
    bool operator==(const Progress&) const = default;
};
struct Error {
    QString text;
    std::optional<qint64> id;
    bool operator==(const Error&) const = default;
};
// A partial result, a final one, or both in one line (the delta comes first).
struct Output {
    qint64 id = 0;
    std::optional<QString> delta;
    bool done = false;
    std::optional<QString> text;
    bool operator==(const Output&) const = default;
};
using Message = std::variant<Ready, Progress, Error, Output>;

// One line (without its line feed) → a message, or nothing for anything else.
std::optional<Message> decode(const QByteArray& line);

// Collects output chunks and hands out complete lines, in order.
class LineBuffer {
public:
    QList<QByteArray> append(const QByteArray& chunk);
    void clear() { m_pending.clear(); }
    qsizetype pendingSize() const { return m_pending.size(); }

private:
    QByteArray m_pending;
};

QByteArray encode(const QJsonObject& message);
QJsonObject ping();
QJsonObject polish(qint64 id, const QString& text, const QString& tone, const std::optional<QString>& toneText);
QJsonObject download(const QString& mirror);
QJsonObject quit();

} // namespace zelk::HelperProtocol
