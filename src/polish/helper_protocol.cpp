#include "polish/helper_protocol.h"

#include "polish/cloud_polish_contract.h"

#include <QJsonDocument>

namespace zelk::HelperProtocol {

// A helper that never ends a line must not grow our memory without bound.
constexpr qsizetype maxLineBytes = 16 * 1024 * 1024;

std::optional<Message> decode(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    if (o.value(QLatin1String("ready")) == QJsonValue(true))
        return Ready{};
    if (o.value(QLatin1String("progress")).isDouble())
        return Progress{o.value(QLatin1String("progress")).toDouble(),
                        o.value(QLatin1String("downloaded")) == QJsonValue(true)};
    const auto id = CloudPolishContract::integer(o.value(QLatin1String("id")));
    if (o.value(QLatin1String("error")).isString())
        return Error{o.value(QLatin1String("error")).toString(), id};
    if (!id)
        return std::nullopt;
    Output out;
    out.id = *id;
    if (o.value(QLatin1String("delta")).isString())
        out.delta = o.value(QLatin1String("delta")).toString();
    out.done = o.value(QLatin1String("done")) == QJsonValue(true);
    if (o.value(QLatin1String("text")).isString())
        out.text = o.value(QLatin1String("text")).toString();
    if (!out.delta && !out.done)
        return std::nullopt;
    return out;
}

QList<QByteArray> LineBuffer::append(const QByteArray& chunk) {
    m_pending += chunk;
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype nl = m_pending.indexOf('\n'); nl >= 0; nl = m_pending.indexOf('\n', start)) {
        lines.append(m_pending.mid(start, nl - start));
        start = nl + 1;
    }
    m_pending.remove(0, start);
    if (m_pending.size() > maxLineBytes)
        m_pending.clear();
    return lines;
}

QByteArray encode(const QJsonObject& message) { return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n'; }

QJsonObject ping() { return {{QStringLiteral("cmd"), QStringLiteral("ping")}}; }

QJsonObject polish(qint64 id, const QString& text, const QString& tone, const std::optional<QString>& toneText) {
    QJsonObject o{{QStringLiteral("cmd"), QStringLiteral("polish")},
                  {QStringLiteral("id"), id},
                  {QStringLiteral("text"), text},
                  {QStringLiteral("tone"), tone}};
    if (toneText)
        o.insert(QStringLiteral("tone_text"), *toneText);
    return o;
}

QJsonObject download(const QString& mirror) {
    return {{QStringLiteral("cmd"), QStringLiteral("download")}, {QStringLiteral("mirror"), mirror}};
}

QJsonObject quit() { return {{QStringLiteral("cmd"), QStringLiteral("quit")}}; }

} // namespace zelk::HelperProtocol
