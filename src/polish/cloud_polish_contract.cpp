#include "polish/cloud_polish_contract.h"

#include "core/text.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

namespace zelk {

namespace {

QString trimmed(const QString& s) { return text::trimmedWhitespaceAndNewlines(s); }

std::optional<QJsonObject> jsonObject(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

std::optional<QString> optionalString(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

std::optional<bool> optionalBool(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isBool())
        return std::nullopt;
    return v.toBool();
}

// The longest prefix of whole characters within `limit` UTF-16 code units.
QString prefix(const QString& s, qsizetype limit) { return text::prefixAtGraphemeBoundary(s, limit); }

} // namespace

QByteArray CloudPolishRequest::toJson() const {
    QJsonObject o;
    o.insert(QStringLiteral("text"), text);
    o.insert(QStringLiteral("mode"), mode);
    o.insert(QStringLiteral("model"), model);
    if (tone)
        o.insert(QStringLiteral("tone"), *tone);
    if (lang)
        o.insert(QStringLiteral("lang"), *lang);
    if (instruction)
        o.insert(QStringLiteral("instruction"), *instruction);
    if (glossary)
        o.insert(QStringLiteral("glossary"), QJsonArray::fromStringList(*glossary));
    if (context)
        o.insert(QStringLiteral("context"), *context);
    if (toneText)
        o.insert(QStringLiteral("tone_text"), *toneText);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QString rawValue(CloudModelOption option) {
    switch (option) {
    case CloudModelOption::automatic: return QStringLiteral("auto");
    case CloudModelOption::fast: return QStringLiteral("fast");
    case CloudModelOption::strong: return QStringLiteral("strong");
    }
    return {};
}

std::optional<CloudModelOption> cloudModelOptionFromRaw(const QString& raw) {
    for (auto option : {CloudModelOption::automatic, CloudModelOption::fast, CloudModelOption::strong})
        if (rawValue(option) == raw)
            return option;
    return std::nullopt;
}

qint64 CloudPolishStatus::units(CloudModelOption option) const {
    for (const auto& info : models)
        if (info.id == rawValue(option))
            return std::max<qint64>(info.units, 1);
    return option == CloudModelOption::strong ? 3 : 1;
}

bool CloudPolishStatus::canServe(qint64 cost) const {
    const bool serves = serving ? *serving : (active && availableInRegion);
    if (!serves)
        return false;
    qint64 remaining;
    if (lastRemaining)
        remaining = *lastRemaining;
    else if (quota <= 0)
        return true;
    else
        remaining = quota - used;
    return std::max<qint64>(remaining, 0) >= cost;
}

std::optional<CloudModelPlan> CloudPolishStatus::servingPlan(CloudModelOption option) const {
    if (canServe(units(option)))
        return CloudModelPlan{option, false};
    if (option == CloudModelOption::strong && canServe(units(CloudModelOption::fast)))
        return CloudModelPlan{CloudModelOption::fast, true};
    return std::nullopt;
}

namespace CloudPolishContract {

const QSet<QString>& serverLanguages() {
    static const QSet<QString> names{QStringLiteral("English"), QStringLiteral("简体中文"), QStringLiteral("繁體中文"),
                                     QStringLiteral("日本語"),  QStringLiteral("한국어"),   QStringLiteral("Français"),
                                     QStringLiteral("Deutsch"), QStringLiteral("Español")};
    return names;
}

std::optional<qint64> integer(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d))
        return std::nullopt;
    // Out-of-range numbers saturate instead of overflowing the conversion.
    constexpr double limit = 9.0e18;
    return static_cast<qint64>(std::clamp(std::trunc(d), -limit, limit));
}

std::optional<CloudPolishResult> parse(const QByteArray& data) {
    const auto o = jsonObject(data);
    if (!o)
        return std::nullopt;
    const auto text = optionalString(*o, "text");
    if (!text || trimmed(*text).isEmpty())
        return std::nullopt;
    CloudPolishResult result;
    result.text = trimmed(*text);
    result.used = integer(o->value(QLatin1String("used")));
    result.quota = integer(o->value(QLatin1String("quota")));
    result.remaining = integer(o->value(QLatin1String("remaining")));
    result.units = integer(o->value(QLatin1String("units")));
    if (auto model = optionalString(*o, "model"); model && !trimmed(*model).isEmpty())
        result.model = trimmed(*model);
    result.modelOption = optionalString(*o, "model_option");
    return result;
}

MeResult parseMe(int statusCode, const QByteArray& data) {
    if (statusCode == 404)
        return Unsupported{};
    if (statusCode == 401)
        return Unauthorized{};
    if (statusCode != 200)
        return Transient{};
    const auto o = jsonObject(data);
    if (!o || !o->value(QLatin1String("polish")).isObject())
        return Unsupported{};
    const QJsonObject p = o->value(QLatin1String("polish")).toObject();
    const auto active = optionalBool(p, "active");
    const auto state = optionalString(p, "state");
    if (!active || !state)
        return Unsupported{};
    CloudPolishStatus s;
    s.active = *active;
    s.state = *state;
    s.used = integer(p.value(QLatin1String("used"))).value_or(0);
    s.quota = integer(p.value(QLatin1String("quota"))).value_or(0);
    s.availableInRegion = optionalBool(p, "available_in_region").value_or(false);
    s.serving = optionalBool(p, "serving");
    s.source = optionalString(p, "source");
    s.provider = optionalString(p, "provider");
    s.defaultModel = optionalString(p, "default_model");
    for (const QJsonValue& entry : p.value(QLatin1String("models")).toArray()) {
        if (!entry.isObject())
            continue;
        const QJsonObject m = entry.toObject();
        const auto id = optionalString(m, "id");
        const auto option = id ? cloudModelOptionFromRaw(*id) : std::nullopt;
        if (!option)
            continue;
        CloudPolishModelInfo info;
        info.id = *id;
        info.units = integer(m.value(QLatin1String("units"))).value_or(*option == CloudModelOption::strong ? 3 : 1);
        info.model = optionalString(m, "model");
        s.models.append(info);
    }
    return s;
}

std::optional<QString> errorCode(const QByteArray& data) {
    const auto o = jsonObject(data);
    if (!o)
        return std::nullopt;
    return optionalString(*o, "error");
}

std::optional<QString> polishNotice(int statusCode, const std::optional<QString>& error) {
    const QString code = error.value_or(QString());
    if (statusCode == 429 && code == QLatin1String("quota_exceeded"))
        return QStringLiteral("本月云润色额度已用完，已回退其他润色方式");
    if (statusCode == 403 && code == QLatin1String("region_unavailable"))
        return QStringLiteral("暂未在当前地区开放");
    if (statusCode == 402 || statusCode == 403 || statusCode == 429)
        return QStringLiteral("云润色暂不可用，已回退其他润色方式");
    if (statusCode == 503 && code == QLatin1String("polish_not_configured"))
        return QStringLiteral("云润色暂不可用，已回退其他润色方式");
    return std::nullopt;
}

std::optional<QString> serverLanguage(const QString& name) {
    static const QHash<QString, QString> aliases{
        {QStringLiteral("英文"), QStringLiteral("English")},     {QStringLiteral("英语"), QStringLiteral("English")},
        {QStringLiteral("中文"), QStringLiteral("简体中文")},    {QStringLiteral("简中"), QStringLiteral("简体中文")},
        {QStringLiteral("简体"), QStringLiteral("简体中文")},    {QStringLiteral("繁中"), QStringLiteral("繁體中文")},
        {QStringLiteral("繁体中文"), QStringLiteral("繁體中文")}, {QStringLiteral("繁体"), QStringLiteral("繁體中文")},
        {QStringLiteral("日文"), QStringLiteral("日本語")},      {QStringLiteral("日语"), QStringLiteral("日本語")},
        {QStringLiteral("韩文"), QStringLiteral("한국어")},      {QStringLiteral("韩语"), QStringLiteral("한국어")},
        {QStringLiteral("法文"), QStringLiteral("Français")},    {QStringLiteral("法语"), QStringLiteral("Français")},
        {QStringLiteral("德文"), QStringLiteral("Deutsch")},     {QStringLiteral("德语"), QStringLiteral("Deutsch")},
        {QStringLiteral("西班牙文"), QStringLiteral("Español")}, {QStringLiteral("西班牙语"), QStringLiteral("Español")},
    };
    const QString t = trimmed(name);
    if (serverLanguages().contains(t))
        return t;
    const auto it = aliases.constFind(t);
    if (it == aliases.cend())
        return std::nullopt;
    return *it;
}

std::optional<QString> serverToneText(ToneLevel tone, const std::optional<QString>& customTone) {
    if (tone != ToneLevel::custom || !customTone)
        return std::nullopt;
    const QString t = trimmed(*customTone);
    if (t.isEmpty())
        return std::nullopt;
    return prefix(t, 200);
}

bool sendsTone(PolishMode mode) {
    switch (mode) {
    case PolishMode::clean:
    case PolishMode::prompt:
    case PolishMode::doc:
    case PolishMode::translate:
    case PolishMode::custom: return true;
    case PolishMode::raw:
    case PolishMode::commit:
    case PolishMode::task:
    case PolishMode::ask: return false;
    }
    return false;
}

QStringList glossaryTerms(const QStringList& terms) {
    QStringList kept;
    QSet<QString> seen;
    const QLocale locale;
    for (const QString& term : terms) {
        const QString t = trimmed(term);
        if (t.isEmpty() || t.size() > 40)
            continue;
        const QString folded = locale.toLower(t);
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        kept.append(t);
        if (kept.size() == 100)
            break;
    }
    return kept;
}

bool shouldRefreshStatus(int statusCode) { return statusCode == 402 || statusCode == 403 || statusCode == 429; }

} // namespace CloudPolishContract
} // namespace zelk
