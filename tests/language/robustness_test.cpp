#include "language/chinese_number.h"
#include "language/chinese_typography.h"
#include "language/edit_learner.h"
#include "language/hotword_guard.h"
#include "language/personal_dictionary.h"
#include "language/pinyin.h"
#include "language/spoken_math.h"
#include "language/term_sound.h"
#include "language/text_cleanup.h"

#include <gtest/gtest.h>

using namespace zelk;

namespace {

struct Hostile {
    const char* name;
    QString text;
};

class HostileInput : public ::testing::TestWithParam<Hostile> {};

// Every text function answers for any input; nothing it was given is lost to
// an unpaired surrogate or a control character.
TEST_P(HostileInput, EveryFunctionAnswers) {
    const QString& t = GetParam().text;
    const QString typeset = ChineseTypography::format(t);
    const QString tidy = TextCleanup::tidyASR(t);
    if (t.contains(QChar(0xD800))) {
        EXPECT_TRUE(typeset.contains(QChar(0xD800)));
        EXPECT_TRUE(tidy.contains(QChar(0xD800)));
    }
    (void)HotwordGuard::strip(t, t.left(t.size() / 2), {QStringLiteral("飞书"), QStringLiteral("Zoom"), t.left(8)});
    (void)ChineseNumber::parse(t);
    (void)SpokenMath::route(t);
    (void)SpokenMath::route(QStringLiteral("帮我算一下") + t);
    const QString corrected = PersonalDictionary::corrections(t, {QStringLiteral("飞书"), QStringLiteral("吉特哈布=GitHub"), t.left(6)}, true);
    if (t.contains(QChar(0xD800))) {
        EXPECT_TRUE(corrected.contains(QChar(0xD800)));
    }
    (void)TermSound::mentionedTerms(t, 30);
    (void)Pinyin::toneless(t);
    if (auto seg = EditLearner::changedSegment(t.left(50), t.left(50), t.left(49) + QStringLiteral("X")))
        (void)EditLearner::classify(EditLearner::grow(*seg).first, EditLearner::grow(*seg).second);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HostileInput,
    ::testing::Values(Hostile{"empty", QString()},
                      Hostile{"loneSurrogates", QStringLiteral("飞") + QChar(0xD800) + QStringLiteral("书") + QChar(0xDC00) + QStringLiteral("a")},
                      Hostile{"surrogateInPatternText", QStringLiteral("Git Hub") + QChar(0xD800) + QStringLiteral(" Chat GBT 扣扣音乐")},
                      Hostile{"controls", QStringLiteral("\x01\x02飞书\x1b[0m\t\r\n\x7f")},
                      Hostile{"tenThousandDigits", QString(10000, QLatin1Char('9'))},
                      Hostile{"nestedParens", QStringLiteral("左括号").repeated(3000) + QStringLiteral("一加一")},
                      Hostile{"privateUse", QString(QChar(0xE000)) + QChar(0xE100) + QChar(0xE001) + QStringLiteral("飞书")},
                      Hostile{"hugeMixed", QStringLiteral("我用iPhone打开扣扣音乐, Git Hub 非书. ").repeated(400)},
                      Hostile{"combining", QStringLiteral("e\u0301飞\u0301书 Ａ\u0301")}),
    [](const auto& info) { return std::string(info.param.name); });

// A stray surrogate must not switch the pattern-based passes off for the whole text.
TEST(HostileInput, UnpairedSurrogateLeavesTheRestCorrected) {
    const QString lone(QChar(0xD800));
    EXPECT_EQ(PersonalDictionary::corrections(QStringLiteral("Git Hub") + lone + QStringLiteral(" Chat GBT 扣扣音乐"), {}, true),
              QStringLiteral("GitHub") + lone + QStringLiteral(" ChatGPT QQ音乐"));
    EXPECT_EQ(TermSound::mentionedTerms(lone + QStringLiteral(" GitHub"), 30), QStringList{QStringLiteral("GitHub")});
}

} // namespace
