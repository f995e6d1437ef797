#include "core/settings.h"
#include "support/test_env.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using namespace zelk;
namespace K = Settings::Key;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    test::TestHome home;
    PreferenceStore& store() { return home.preferences(); }
};

struct LanguageCase {
    const char* name;
    std::optional<QJsonValue> stored;
    QStringList system;
    const char* expected;
};

class ResolvedLanguage : public SettingsTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(ResolvedLanguage, FollowsChoiceThenSystemList) {
    const auto& c = GetParam();
    if (c.stored)
        store().setValue(K::appLanguage, *c.stored);
    Settings::setPreferredLanguagesProvider([c] { return c.system; });
    EXPECT_EQ(Settings::resolvedLanguage(), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ResolvedLanguage,
    ::testing::Values(
        LanguageCase{"autoTraditional", std::nullopt, {"zh-Hant-TW", "en-US"}, "zh"},
        LanguageCase{"autoEnglishFirst", std::nullopt, {"en-GB", "zh-Hans"}, "en"},
        LanguageCase{"storedZh", QJsonValue("zh"), {"en-US"}, "zh"},
        LanguageCase{"storedEn", QJsonValue("en"), {"zh-Hans-CN"}, "en"},
        LanguageCase{"storedFrIsAuto", QJsonValue("fr"), {"zh-CN"}, "zh"},
        LanguageCase{"storedAuto", QJsonValue("auto"), {"de-DE"}, "en"},
        LanguageCase{"wrongType", QJsonValue(1), {"en-US"}, "en"},
        LanguageCase{"emptySystemList", std::nullopt, {}, "zh"},
        LanguageCase{"zhPrefixIsEnough", std::nullopt, {"zh"}, "zh"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, AbsentValuesReadTheirDefaults) {
    EXPECT_EQ(Settings::mode(), PolishMode::clean);
    EXPECT_EQ(Settings::toneLevel(), ToneLevel::natural);
    EXPECT_EQ(Settings::translateTarget(), "English");
    EXPECT_EQ(Settings::toggleKey(), 120);
    EXPECT_EQ(Settings::askKey(), 99);
    EXPECT_TRUE(Settings::saveHistory());
    EXPECT_TRUE(Settings::builtinLexicon());
    EXPECT_FALSE(Settings::autoMode());
    EXPECT_FALSE(Settings::skipPolish());
    EXPECT_FALSE(Settings::localPolish());
    EXPECT_FALSE(Settings::cloudPolishUserDisabled());
    EXPECT_FALSE(Settings::onboardingDone());
    EXPECT_EQ(Settings::learnWords(), Settings::LearnWords::automatic);
    EXPECT_EQ(Settings::orbStyle(), 1);
    EXPECT_FALSE(Settings::capsuleOrigin());
    EXPECT_FALSE(Settings::micDeviceUID());
    EXPECT_FALSE(Settings::updateCheckedAt());
    EXPECT_TRUE(Settings::appModeMap().isEmpty());
    EXPECT_EQ(Settings::capsuleSlots(), Settings::defaultCapsuleSlots());
}

struct InvalidCase {
    const char* name;
    QString key;
    QJsonValue stored;
    std::function<bool()> readsAsDefault;
};

class InvalidValues : public SettingsTest, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(InvalidValues, FallBackPerKey) {
    store().setValue(GetParam().key, GetParam().stored);
    EXPECT_TRUE(GetParam().readsAsDefault());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, InvalidValues,
    ::testing::Values(
        InvalidCase{"toggleKeyAsText", K::toggleKey, QJsonValue("122"), [] { return Settings::toggleKey() == 120; }},
        InvalidCase{"toggleKeyFraction", K::toggleKey, QJsonValue(122.5), [] { return Settings::toggleKey() == 120; }},
        InvalidCase{"askKeyAsBool", K::askKey, QJsonValue(true), [] { return Settings::askKey() == 99; }},
        InvalidCase{"toneZero", K::toneLevel, QJsonValue(0), [] { return Settings::toneLevel() == ToneLevel::natural; }},
        InvalidCase{"toneSeven", K::toneLevel, QJsonValue(7), [] { return Settings::toneLevel() == ToneLevel::natural; }},
        InvalidCase{"toneAsText", K::toneLevel, QJsonValue("4"), [] { return Settings::toneLevel() == ToneLevel::natural; }},
        InvalidCase{"modeUnknown", K::mode, QJsonValue("polish"), [] { return Settings::mode() == PolishMode::clean; }},
        InvalidCase{"modeWrongType", K::mode, QJsonValue(3), [] { return Settings::mode() == PolishMode::clean; }},
        InvalidCase{"saveHistoryAsText", K::saveHistory, QJsonValue("false"), [] { return Settings::saveHistory(); }},
        InvalidCase{"lexiconAsNumber", K::builtinLexicon, QJsonValue(0), [] { return Settings::builtinLexicon(); }},
        InvalidCase{"orbZero", K::orbStyle, QJsonValue(0), [] { return Settings::orbStyle() == 1; }},
        InvalidCase{"orbNegative", K::orbStyle, QJsonValue(-3), [] { return Settings::orbStyle() == 1; }},
        InvalidCase{"orbTooHigh", K::orbStyle, QJsonValue(11), [] { return Settings::orbStyle() == 1; }},
        InvalidCase{"translateEmpty", K::translateTarget, QJsonValue(""), [] { return Settings::translateTarget() == "English"; }},
        InvalidCase{"learnSuggest", K::learnWords, QJsonValue("suggest"),
                    [] { return Settings::learnWords() == Settings::LearnWords::automatic; }},
        InvalidCase{"originThreeNumbers", K::capsuleOrigin, QJsonArray{1, 2, 3}, [] { return !Settings::capsuleOrigin(); }},
        InvalidCase{"originNumberAndText", K::capsuleOrigin, QJsonArray{1, "2"}, [] { return !Settings::capsuleOrigin(); }},
        InvalidCase{"slotsFour", K::capsuleSlots, QJsonArray{"tone", "clean", "prompt", "translate"},
                    [] { return Settings::capsuleSlots() == Settings::defaultCapsuleSlots(); }},
        InvalidCase{"slotsRepeated", K::capsuleSlots, QJsonArray{"tone", "clean", "clean", "translate", "custom"},
                    [] { return Settings::capsuleSlots() == Settings::defaultCapsuleSlots(); }},
        InvalidCase{"slotsUnknown", K::capsuleSlots, QJsonArray{"tone", "clean", "prompt", "translate", "banana"},
                    [] { return Settings::capsuleSlots() == Settings::defaultCapsuleSlots(); }},
        InvalidCase{"slotsNotTexts", K::capsuleSlots, QJsonArray{"tone", "clean", "prompt", "translate", "custom", 5},
                    [] { return Settings::capsuleSlots() == Settings::defaultCapsuleSlots(); }},
        InvalidCase{"modeMapNotObject", K::appModeMap, QJsonValue("Xcode=commit"), [] { return Settings::appModeMap().isEmpty(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, ValidValuesRoundTrip) {
    Settings::setMode(PolishMode::translate);
    EXPECT_EQ(store().string(K::mode), "translate");
    EXPECT_EQ(Settings::mode(), PolishMode::translate);
    store().setValue(K::toneLevel, 6);
    EXPECT_EQ(Settings::toneLevel(), ToneLevel::custom);
    store().setValue(K::saveHistory, false);
    EXPECT_FALSE(Settings::saveHistory());
    store().setValue(K::learnWords, "off");
    EXPECT_EQ(Settings::learnWords(), Settings::LearnWords::off);
    store().setValue(K::capsuleOrigin, QJsonArray{12.5, -40});
    EXPECT_EQ(Settings::capsuleOrigin(), QPointF(12.5, -40));
    // Unknown entries are dropped; five distinct remaining actions are accepted.
    store().setValue(K::capsuleSlots, QJsonArray{"modes", "x", "raw", "doc", "task", "settings"});
    EXPECT_EQ(Settings::capsuleSlots(),
              (QList<PetalAction>{PetalAction::modes, PetalAction::raw, PetalAction::doc, PetalAction::task, PetalAction::settings}));
    Settings::setCapsuleSlots({PetalAction::custom, PetalAction::tone, PetalAction::raw, PetalAction::clean, PetalAction::doc});
    EXPECT_EQ(Settings::capsuleSlots().first(), PetalAction::custom);
    store().setValue(K::appModeMap, QJsonObject{{"Code", "commit"}, {"bad", 3}});
    EXPECT_EQ(Settings::appModeMap(), (QHash<QString, QString>{{"Code", "commit"}}));
}

TEST_F(SettingsTest, ReadsAreNeverCached) {
    EXPECT_EQ(Settings::toggleKey(), 120);
    store().setValue(K::toggleKey, 122);
    EXPECT_EQ(Settings::toggleKey(), 122);
}

TEST_F(SettingsTest, CloudModelMigrationRunsOnce) {
    store().setValue(K::cloudPolishModel, "gpt-old");
    Settings::migrateCloudModelToAuto(store());
    EXPECT_EQ(store().string(K::cloudPolishModel), "auto");
    EXPECT_EQ(store().boolean(K::cloudModelAutoMigrated), true);
    store().setValue(K::cloudPolishModel, "changed-later");
    auto& relaunched = home.reopenPreferences();
    Settings::migrateCloudModelToAuto(relaunched);
    EXPECT_EQ(relaunched.string(K::cloudPolishModel), "changed-later");
}

TEST_F(SettingsTest, TranslateTargetsAreFixed) {
    EXPECT_EQ(Settings::translateTargets(),
              (QStringList{"English", "日本語", "한국어", "Français", "Deutsch", "Español"}));
}

} // namespace
