#include "core/settings.h"
#include "polish/context_rules.h"
#include "polish/polish_source.h"
#include "polish/polish_vocabulary.h"
#include "polish/rewrite_intent.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

using namespace zelk;

namespace {

class Vocabulary : public ::testing::Test {
protected:
    void useLanguage(const char* lang) { home.preferences().setValue(Settings::Key::appLanguage, QString::fromLatin1(lang)); }
    test::TestHome home;
};

TEST_F(Vocabulary, LabelsFollowTheInterfaceLanguage) {
    useLanguage("zh");
    EXPECT_EQ(label(PolishMode::prompt), QStringLiteral("→ AI Prompt"));
    EXPECT_EQ(label(ToneLevel::ceremonious), QStringLiteral("严谨敬语"));
    EXPECT_EQ(PolishModeLabels::storedLabel("calc"), QStringLiteral("计算"));
    EXPECT_EQ(PolishModeLabels::storedLabel("task"), QStringLiteral("→ 任务清单"));
    useLanguage("en");
    EXPECT_EQ(label(PolishMode::prompt), QStringLiteral("→ AI prompt"));
    EXPECT_EQ(PolishModeLabels::storedLabel("calc"), QStringLiteral("Calc"));
    EXPECT_EQ(PolishModeLabels::storedLabel("nonsense"), QStringLiteral("nonsense"));
}

TEST_F(Vocabulary, StoredToneOutsideOneToSixReadsNatural) {
    EXPECT_FALSE(toneLevelFromRaw(0));
    EXPECT_FALSE(toneLevelFromRaw(7));
    home.preferences().setValue(Settings::Key::toneLevel, 0);
    EXPECT_EQ(currentToneLevel(), ToneLevel::natural);
    EXPECT_EQ(toneKey(ToneLevel::ceremonious), QStringLiteral("honorific"));
    EXPECT_EQ(toneKey(ToneLevel::custom), QStringLiteral("natural"));
}

TEST_F(Vocabulary, FewshotOutputsForCustomToneKeepTheNeutralExamples) {
    const QStringList natural = ToneExamples::fewshotOutputsByTone().value("natural");
    EXPECT_EQ(ToneExamples::localFewshotOutputs(ToneLevel::formal, std::nullopt),
              ToneExamples::fewshotOutputsByTone().value("formal"));
    EXPECT_EQ(ToneExamples::localFewshotOutputs(ToneLevel::custom, QStringLiteral(" \n")), natural);
    EXPECT_EQ(ToneExamples::localFewshotOutputs(ToneLevel::custom, QStringLiteral("像朋友聊天")),
              (QStringList{natural[2], natural[3]}));
}

struct ModeCase {
    const char* name;
    std::optional<QString> bundle;
    std::optional<QString> app;
    QHash<QString, QString> user;
    PolishMode expected;
};

class ResolveMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ResolveMode, UserTableThenBuiltinNamesThenDefault) {
    const auto& c = GetParam();
    EXPECT_EQ(ContextRules::resolveMode(c.bundle, c.app, c.user, PolishMode::clean), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ContextRules, ResolveMode,
    ::testing::Values(
        ModeCase{"userKeyTrimmedAndLowered", std::nullopt, QStringLiteral("Visual Studio Code"),
                 {{QStringLiteral(" Code "), QStringLiteral("task")}}, PolishMode::task},
        ModeCase{"builtinCodeKeyword", std::nullopt, QStringLiteral("Visual Studio Code"), {}, PolishMode::prompt},
        ModeCase{"terminal", std::nullopt, QStringLiteral("Terminal"), {}, PolishMode::commit},
        ModeCase{"userValueNotAModeIgnored", std::nullopt, QStringLiteral("Terminal"),
                 {{QStringLiteral("terminal"), QStringLiteral("polish")}}, PolishMode::commit},
        ModeCase{"userKeyMatchesBundle", QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"),
                 {{QStringLiteral("org.gnome.texteditor"), QStringLiteral("doc")}}, PolishMode::doc},
        ModeCase{"builtinIgnoresBundle", QStringLiteral("com.example.kitty"), std::nullopt, {}, PolishMode::clean},
        ModeCase{"chineseKeyword", std::nullopt, QStringLiteral("飞书"), {}, PolishMode::clean},
        ModeCase{"blankUserKeySkipped", std::nullopt, QStringLiteral("Mousepad"),
                 {{QStringLiteral("  "), QStringLiteral("task")}}, PolishMode::clean}),
    [](const auto& info) { return std::string(info.param.name); });

struct IntentCase {
    const char* name;
    QString instruction;
    std::optional<QString> expected;
};

class TranslateTarget : public ::testing::TestWithParam<IntentCase> {};

TEST_P(TranslateTarget, RecognisesTranslationRequests) {
    EXPECT_EQ(RewriteIntent::translateTarget(GetParam().instruction), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    RewriteIntent, TranslateTarget,
    ::testing::Values(
        IntentCase{"chineseVerb", QStringLiteral("翻译成日语"), QStringLiteral("日本語")},
        IntentCase{"englishVerb", QStringLiteral("translate into Japanese"), QStringLiteral("日本語")},
        IntentCase{"fillersBothEnds", QStringLiteral("请帮我把这段话翻译成英文吧"), QStringLiteral("English")},
        IntentCase{"notATranslation", QStringLiteral("改得更正式一点"), std::nullopt},
        IntentCase{"chinese", QStringLiteral("翻译成中文"), QStringLiteral("简体中文")},
        IntentCase{"noVerb", QStringLiteral("繁体"), QStringLiteral("繁體中文")},
        IntentCase{"trailingDe", QStringLiteral("日文的"), QStringLiteral("日本語")},
        IntentCase{"punctuationDropped", QStringLiteral("Translate to: English!"), QStringLiteral("English")},
        IntentCase{"tooLong", QStringLiteral("翻译成英文") + QString(36, QChar(u'长')), std::nullopt},
        IntentCase{"empty", QStringLiteral("，。 "), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PolishSourceLabels, DisplayAndPriority) {
    EXPECT_EQ(PolishSource::displayLabel(QStringLiteral(" 本地润色（gemma）")), QStringLiteral("本地润色"));
    EXPECT_EQ(PolishSource::displayLabel(QStringLiteral("cloud")), QStringLiteral("云润色"));
    EXPECT_EQ(PolishSource::displayLabel(QStringLiteral("原文")), QStringLiteral("原文"));
    EXPECT_EQ(PolishSource::displayLabel(QStringLiteral(" ")), QString());
    EXPECT_EQ(PolishSource::priorityLabel({PolishRoute::local}, false), QStringLiteral("优先：本地润色｜备用：原文"));
    EXPECT_EQ(PolishSource::priorityLabel({PolishRoute::official, PolishRoute::local}, false),
              QStringLiteral("优先：云润色｜备用：本地润色"));
    EXPECT_EQ(PolishSource::priorityLabel({}, true), QStringLiteral("原文（本地润色仅支持「整理」模式）"));
    EXPECT_EQ(PolishSource::priorityLabel({}, false), QStringLiteral("原文"));
}

} // namespace
