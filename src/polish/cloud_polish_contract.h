#pragma once

#include "core/vocabulary.h"

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace zelk {

// The body of a polish call. Absent members are left out of the JSON.
struct CloudPolishRequest {
    QString text;
    QString mode;
    QString model = QStringLiteral("auto");
    std::optional<QString> tone;
    std::optional<QString> toneText;
    std::optional<QString> lang;
    std::optional<QString> instruction;
    std::optional<QStringList> glossary;
    std::optional<QString> context;

    QByteArray toJson() const;
    bool operator==(const CloudPolishRequest&) const = default;
};

struct CloudPolishResult {
    QString text;
    std::optional<qint64> used;
    std::optional<qint64> quota;
    std::optional<qint64> remaining;
    std::optional<QString> model;
    std::optional<QString> modelOption;
    std::optional<qint64> units;
    bool operator==(const CloudPolishResult&) const = default;
};

enum class CloudModelOption { automatic, fast, strong };
QString rawValue(CloudModelOption option);
std::optional<CloudModelOption> cloudModelOptionFromRaw(const QString& raw);

// How a call would be served now; `fellBack` when "strong" had to become "fast".
struct CloudModelPlan {
    CloudModelOption option = CloudModelOption::automatic;
    bool fellBack = false;
    bool operator==(const CloudModelPlan&) const = default;
};

struct CloudPolishModelInfo {
    QString id;
    qint64 units = 1;
    std::optional<QString> model;
    bool operator==(const CloudPolishModelInfo&) const = default;
};

struct CloudPolishStatus {
    bool active = false;
    QString state;
    qint64 used = 0;
    qint64 quota = 0; // 0 or less: no known limit
    bool availableInRegion = false;
    std::optional<bool> serving;
    std::optional<QString> source;
    std::optional<QString> provider;
    std::optional<QString> defaultModel;
    QList<CloudPolishModelInfo> models;
    std::optional<qint64> lastRemaining; // from polish answers only

    qint64 units(CloudModelOption option) const;
    bool canServe(qint64 units) const;
    std::optional<CloudModelPlan> servingPlan(CloudModelOption option) const;
    bool operator==(const CloudPolishStatus&) const = default;
};

namespace CloudPolishContract {

struct Unsupported { bool operator==(const Unsupported&) const = default; };
struct Unauthorized { bool operator==(const Unauthorized&) const = default; };
struct Transient { bool operator==(const Transient&) const = default; };
// The status call's answer: a status, or why there is none.
using MeResult = std::variant<CloudPolishStatus, Unsupported, Unauthorized, Transient>;

// The eight language names the service accepts.
const QSet<QString>& serverLanguages();

// A JSON number that is not a boolean, truncated to an integer.
std::optional<qint64> integer(const QJsonValue& value);

std::optional<CloudPolishResult> parse(const QByteArray& data);
MeResult parseMe(int statusCode, const QByteArray& data);
std::optional<QString> errorCode(const QByteArray& data);
std::optional<QString> polishNotice(int statusCode, const std::optional<QString>& error);
std::optional<QString> serverLanguage(const QString& name);
std::optional<QString> serverToneText(ToneLevel tone, const std::optional<QString>& customTone);
bool sendsTone(PolishMode mode);
QStringList glossaryTerms(const QStringList& terms);
bool shouldRefreshStatus(int statusCode);

} // namespace CloudPolishContract
} // namespace zelk
