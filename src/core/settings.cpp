#include "core/settings.h"

#include "core/folders.h"

#include <QLocale>

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <mutex>

namespace zelk::Settings {

namespace {
std::atomic<PreferenceStore*> g_override{nullptr};
std::mutex g_providerMutex;
LanguagesProvider g_languages;

bool boolOr(const QString& key, bool fallback) { return defaults().boolean(key).value_or(fallback); }

// Absent, wrong type and the empty text all read as no value.
std::optional<QString> nonEmptyText(const QString& key) {
    auto s = defaults().string(key);
    if (!s || s->isEmpty())
        return std::nullopt;
    return s;
}
} // namespace

PreferenceStore& defaults() {
    if (auto* store = g_override.load())
        return *store;
    static PreferenceStore standard(folders::preferencesFile());
    return standard;
}

void setDefaults(PreferenceStore* store) { g_override.store(store); }

void setPreferredLanguagesProvider(LanguagesProvider provider) {
    std::lock_guard lock(g_providerMutex);
    g_languages = std::move(provider);
}

QStringList preferredLanguages() {
    {
        std::lock_guard lock(g_providerMutex);
        if (g_languages)
            return g_languages();
    }
    return QLocale::system().uiLanguages();
}

PolishMode mode() {
    const auto raw = defaults().string(Key::mode);
    return raw ? polishModeFromRaw(*raw).value_or(PolishMode::clean) : PolishMode::clean;
}

void setMode(PolishMode m) { defaults().setValue(Key::mode, rawValue(m)); }

ToneLevel toneLevel() {
    const auto raw = defaults().integer(Key::toneLevel);
    return raw ? toneLevelFromRaw(*raw).value_or(ToneLevel::natural) : ToneLevel::natural;
}

std::optional<QString> customTonePrompt() { return defaults().string(Key::customTonePrompt); }
std::optional<QString> customPrompt() { return defaults().string(Key::customPrompt); }
QString translateTarget() { return nonEmptyText(Key::translateTarget).value_or(QStringLiteral("English")); }
bool autoMode() { return boolOr(Key::autoMode, false); }

QHash<QString, QString> appModeMap() {
    QHash<QString, QString> map;
    const auto object = defaults().object(Key::appModeMap);
    if (!object)
        return map;
    for (auto it = object->begin(); it != object->end(); ++it)
        if (it.value().isString())
            map.insert(it.key(), it.value().toString());
    return map;
}

bool skipPolish() { return boolOr(Key::skipPolish, false); }
bool localPolish() { return boolOr(Key::localPolish, false); }
bool cloudPolishUserDisabled() { return boolOr(Key::cloudPolishUserDisabled, false); }
bool onboardingDone() { return boolOr(Key::onboardingDone, false); }
bool crystalDark() { return boolOr(Key::crystalDark, false); }

int orbStyle() {
    const auto v = defaults().integer(Key::orbStyle);
    return (v && *v >= 1 && *v <= orbStyleCount) ? int(*v) : 1;
}

std::optional<QString> micDeviceUID() { return nonEmptyText(Key::micDeviceUID); }
std::optional<QDateTime> updateCheckedAt() { return defaults().date(Key::updateCheckedAt); }
std::optional<QString> updateEndpoint() { return nonEmptyText(Key::updateEndpoint); }
std::optional<QString> asrModelBase() { return nonEmptyText(Key::asrModelBase); }

LearnWords learnWords() {
    return defaults().string(Key::learnWords) == QStringLiteral("off") ? LearnWords::off : LearnWords::automatic;
}

QString resolvedLanguage() {
    const QString choice = defaults().string(Key::appLanguage).value_or(QStringLiteral("auto"));
    if (choice == QLatin1String("zh") || choice == QLatin1String("en"))
        return choice;
    const QStringList languages = preferredLanguages();
    if (languages.isEmpty())
        return QStringLiteral("zh");
    return languages.first().startsWith(QLatin1String("zh")) ? QStringLiteral("zh") : QStringLiteral("en");
}

QList<PetalAction> defaultCapsuleSlots() {
    return {PetalAction::tone, PetalAction::clean, PetalAction::prompt, PetalAction::translate, PetalAction::custom};
}

QList<PetalAction> capsuleSlots() {
    QList<PetalAction> actions;
    const auto stored = defaults().array(Key::capsuleSlots);
    if (stored) {
        for (const auto& entry : *stored) {
            if (!entry.isString()) {
                // Not a list of texts: the whole value counts as empty.
                actions.clear();
                break;
            }
            if (auto action = petalActionFromRaw(entry.toString()))
                actions.append(*action);
        }
    }
    if (actions.size() == 5) {
        auto sorted = actions;
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end())
            return actions;
    }
    return defaultCapsuleSlots();
}

void setCapsuleSlots(const QList<PetalAction>& actions) {
    QJsonArray raw;
    for (auto action : actions)
        raw.append(rawValue(action));
    defaults().setValue(Key::capsuleSlots, raw);
}

std::optional<QPointF> capsuleOrigin() {
    const auto stored = defaults().array(Key::capsuleOrigin);
    if (!stored || stored->size() != 2 || !stored->at(0).isDouble() || !stored->at(1).isDouble())
        return std::nullopt;
    return QPointF(stored->at(0).toDouble(), stored->at(1).toDouble());
}

int toggleKey() {
    const auto v = defaults().integer(Key::toggleKey);
    return (v && *v >= INT_MIN && *v <= INT_MAX) ? int(*v) : 120;
}

int askKey() {
    const auto v = defaults().integer(Key::askKey);
    return (v && *v >= INT_MIN && *v <= INT_MAX) ? int(*v) : 99;
}

bool saveHistory() { return boolOr(Key::saveHistory, true); }
bool builtinLexicon() { return boolOr(Key::builtinLexicon, true); }

const QStringList& translateTargets() {
    static const QStringList targets{QStringLiteral("English"), QStringLiteral("日本語"), QStringLiteral("한국어"),
                                     QStringLiteral("Français"), QStringLiteral("Deutsch"), QStringLiteral("Español")};
    return targets;
}

void migrateCloudModelToAuto(PreferenceStore& store) {
    if (store.boolean(Key::cloudModelAutoMigrated).value_or(false))
        return;
    store.setValue(Key::cloudPolishModel, QStringLiteral("auto"));
    store.setValue(Key::cloudModelAutoMigrated, true);
}

} // namespace zelk::Settings
