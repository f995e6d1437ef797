#pragma once

#include "core/preference_store.h"
#include "core/vocabulary.h"

#include <QHash>
#include <QPointF>
#include <QStringList>

#include <functional>
#include <optional>

namespace zelk::Settings {

// Preference keys.
namespace Key {
inline const QString mode = QStringLiteral("mode");
inline const QString toneLevel = QStringLiteral("toneLevel");
inline const QString customTonePrompt = QStringLiteral("customTonePrompt");
inline const QString customPrompt = QStringLiteral("customPrompt");
inline const QString translateTarget = QStringLiteral("translateTarget");
inline const QString autoMode = QStringLiteral("autoMode");
inline const QString appModeMap = QStringLiteral("appModeMap");
inline const QString skipPolish = QStringLiteral("skipPolish");
inline const QString localPolish = QStringLiteral("localPolish");
inline const QString cloudPolishUserDisabled = QStringLiteral("cloudPolishUserDisabled");
inline const QString cloudPolishModel = QStringLiteral("cloudPolishModel");
inline const QString cloudModelAutoMigrated = QStringLiteral("cloudModelAutoMigrated");
inline const QString learnWords = QStringLiteral("learnWords");
inline const QString builtinLexicon = QStringLiteral("builtinLexicon");
inline const QString saveHistory = QStringLiteral("saveHistory");
inline const QString onboardingDone = QStringLiteral("onboardingDone");
inline const QString toggleKey = QStringLiteral("toggleKey");
inline const QString askKey = QStringLiteral("askKey");
inline const QString appLanguage = QStringLiteral("appLanguage");
inline const QString capsuleSlots = QStringLiteral("capsuleSlots");
inline const QString capsuleOrigin = QStringLiteral("capsuleOrigin");
inline const QString capsuleOriginMigrated1028 = QStringLiteral("capsuleOriginMigrated1028");
inline const QString micDeviceUID = QStringLiteral("micDeviceUID");
inline const QString crystalDark = QStringLiteral("crystalDark");
inline const QString orbStyle = QStringLiteral("orbStyle");
inline const QString updateCheckedAt = QStringLiteral("updateCheckedAt");
inline const QString updateEndpoint = QStringLiteral("updateEndpoint");
inline const QString asrModelBase = QStringLiteral("asrModelBase");
} // namespace Key

// The shared store: $XDG_CONFIG_HOME/Zelk/preferences.json, opened on first use.
PreferenceStore& defaults();
// Tests (and the command line's --preferences) put another store in its place;
// nullptr returns to the standard one.
void setDefaults(PreferenceStore* store);

// The system's preferred UI languages, most preferred first (BCP 47 names).
using LanguagesProvider = std::function<QStringList()>;
void setPreferredLanguagesProvider(LanguagesProvider provider);
QStringList preferredLanguages();

// Every read goes to the store; nothing is cached.
PolishMode mode();
void setMode(PolishMode mode);
ToneLevel toneLevel();
std::optional<QString> customTonePrompt();
std::optional<QString> customPrompt();
QString translateTarget();
bool autoMode();
QHash<QString, QString> appModeMap();
bool skipPolish();
bool localPolish();
bool cloudPolishUserDisabled();
bool onboardingDone();
bool crystalDark();
int orbStyle();
inline constexpr int orbStyleCount = 10;
std::optional<QString> micDeviceUID();
std::optional<QDateTime> updateCheckedAt();
std::optional<QString> updateEndpoint();
std::optional<QString> asrModelBase();

enum class LearnWords { off, automatic };
LearnWords learnWords();

QString resolvedLanguage();
inline bool isChinese() { return resolvedLanguage() == QLatin1String("zh"); }
// The Chinese text when the interface speaks Chinese, else the English one.
inline QString localized(const QString& zh, const QString& en) { return isChinese() ? zh : en; }

QList<PetalAction> capsuleSlots();
void setCapsuleSlots(const QList<PetalAction>& actions);
QList<PetalAction> defaultCapsuleSlots();
std::optional<QPointF> capsuleOrigin();

int toggleKey();
int askKey();
bool saveHistory();
bool builtinLexicon();

const QStringList& translateTargets();

void migrateCloudModelToAuto(PreferenceStore& store);

} // namespace zelk::Settings
