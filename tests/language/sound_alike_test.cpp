#include "language/pinyin.h"
#include "language/pinyin_matcher.h"
#include "language/product_lexicon_data.h"
#include "language/term_sound.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace zelk;

namespace {

TEST(Pinyin, TonedAndToneless) {
    EXPECT_EQ(Pinyin::toned(u"飞书"), QStringLiteral("fēishū"));
    EXPECT_EQ(Pinyin::toneless(u"飞书"), QStringLiteral("feishu"));
    EXPECT_EQ(Pinyin::toneless(u"中"), QStringLiteral("zhong"));
    EXPECT_EQ(Pinyin::toneless(u"女"), QStringLiteral("nu"));
    EXPECT_EQ(Pinyin::toneless(u"A b"), QStringLiteral("ab"));
}

TEST(Pinyin, SameAnswersFromManyThreads) {
    const QString sample = QStringLiteral("我们今天在线开会讨论飞书文档和腾讯会议的安排");
    const QString expected = Pinyin::toneless(sample);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                // Fresh characters per thread exercise the shared transliterator too.
                const char32_t c = char32_t(0x4E00 + t * 500 + i);
                Pinyin::toneless(QString::fromUcs4(&c, 1));
                if (Pinyin::toneless(sample) != expected)
                    ++mismatches;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

struct MatchCase {
    const char* name;
    QString text;
    QString expected;
};

class RuleHomophones : public ::testing::TestWithParam<MatchCase> {};

TEST_P(RuleHomophones, ReplacesSoundAlikes) {
    const QList<std::pair<QString, QString>> rules{{QStringLiteral("在线"), QStringLiteral("再现")},
                                                   {QStringLiteral("吉特哈布"), QStringLiteral("GitHub")},
                                                   {QStringLiteral("一二三四五六七八九"), QStringLiteral("长")}};
    const QSet<QString> protectedTexts{QStringLiteral("再线"), QStringLiteral("GitHub")};
    EXPECT_EQ(PinyinMatcher::applyRuleHomophones(GetParam().text, rules, protectedTexts), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RuleHomophones,
    ::testing::Values(MatchCase{"sameTones", QStringLiteral("他在现场"), QStringLiteral("他再现场")},
                      MatchCase{"otherTonesKept", QStringLiteral("在闲"), QStringLiteral("在闲")},
                      MatchCase{"protectedWindowKept", QStringLiteral("再线"), QStringLiteral("再线")},
                      MatchCase{"keepWordStartSkipped", QStringLiteral("再现"), QStringLiteral("再现")},
                      MatchCase{"longerRuleToneless", QStringLiteral("及特哈步"), QStringLiteral("GitHub")},
                      MatchCase{"latinUntouched", QStringLiteral("zai xian"), QStringLiteral("zai xian")}),
    [](const auto& info) { return std::string(info.param.name); });

class NearHomophones : public ::testing::TestWithParam<MatchCase> {};

TEST_P(NearHomophones, WritesTheUsersTerm) {
    const QStringList terms{QStringLiteral("飞书"), QStringLiteral("一二三四五六七"), QStringLiteral("GitHub")};
    EXPECT_EQ(PinyinMatcher::applyNearHomophones(GetParam().text, terms), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NearHomophones,
    ::testing::Values(MatchCase{"feishu", QStringLiteral("打开非书"), QStringLiteral("打开飞书")},
                      MatchCase{"feishuOtherTone", QStringLiteral("飞输了"), QStringLiteral("飞书了")},
                      MatchCase{"alreadyRight", QStringLiteral("飞书"), QStringLiteral("飞书")},
                      MatchCase{"sevenCharsIgnored", QStringLiteral("衣二三四五六七"), QStringLiteral("衣二三四五六七")},
                      MatchCase{"latinInWindow", QStringLiteral("非a书"), QStringLiteral("非a书")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TermSoundSlots, OutlineNeedsLettersAndHan) {
    using K = TermSound::Slot::Kind;
    const auto qq = TermSound::soundSlots(QStringLiteral("QQ音乐"));
    ASSERT_TRUE(qq.has_value());
    EXPECT_EQ(*qq, (QList<TermSound::Slot>{{K::letter, "Q"}, {K::letter, "Q"}, {K::han, "音"}, {K::han, "乐"}}));
    const auto mixed = TermSound::soundSlots(QStringLiteral("网易UU加速器"));
    ASSERT_TRUE(mixed.has_value());
    EXPECT_EQ(mixed->size(), 7);
    EXPECT_FALSE(TermSound::soundSlots(QStringLiteral("B站")).has_value());
    EXPECT_FALSE(TermSound::soundSlots(QStringLiteral("GitHub")).has_value());
    EXPECT_FALSE(TermSound::soundSlots(QStringLiteral("Wi-Fi 音")).has_value());
    const auto word = TermSound::soundSlots(QStringLiteral("Zoom 会议"));
    EXPECT_FALSE(word.has_value()); // a word slot but no letter slot
}

struct SoundCase {
    const char* name;
    QString text;
    QStringList targets;
    QStringList protectedTexts;
    QString expected;
};

class LetterReadings : public ::testing::TestWithParam<SoundCase> {};

TEST_P(LetterReadings, RewritesSpokenLetters) {
    const auto& c = GetParam();
    const QSet<QString> p(c.protectedTexts.begin(), c.protectedTexts.end());
    EXPECT_EQ(TermSound::applyLetterReadings(c.text, c.targets, p), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LetterReadings,
    ::testing::Values(
        SoundCase{"kouKou", QStringLiteral("打开扣扣音乐"), {QStringLiteral("QQ音乐")}, {}, QStringLiteral("打开QQ音乐")},
        SoundCase{"qiuQiu", QStringLiteral("秋秋音乐"), {QStringLiteral("QQ音乐")}, {}, QStringLiteral("QQ音乐")},
        SoundCase{"spelledOnlyLeft", QStringLiteral("qq音乐"), {QStringLiteral("QQ音乐")}, {}, QStringLiteral("qq音乐")},
        SoundCase{"spacedLeft", QStringLiteral("QQ 音乐"), {QStringLiteral("QQ音乐")}, {}, QStringLiteral("QQ 音乐")},
        SoundCase{"mixedSpelledAndSpoken", QStringLiteral("Q扣音乐"), {QStringLiteral("QQ音乐")}, {}, QStringLiteral("QQ音乐")},
        SoundCase{"homophoneHan", QStringLiteral("扣扣因乐"), {QStringLiteral("QQ音乐")}, {}, QStringLiteral("QQ音乐")},
        SoundCase{"mangoTV", QStringLiteral("看芒果踢威"), {QStringLiteral("芒果TV")}, {}, QStringLiteral("看芒果TV")},
        SoundCase{"latinAfterBlocks", QStringLiteral("芒果踢威x"), {QStringLiteral("芒果TV")}, {}, QStringLiteral("芒果踢威x")},
        SoundCase{"insideLatinWord", QStringLiteral("a扣扣音乐"), {QStringLiteral("QQ音乐")}, {}, QStringLiteral("a扣扣音乐")},
        SoundCase{"protectedMatchKept", QStringLiteral("扣扣音乐"), {QStringLiteral("QQ音乐")}, {QStringLiteral("扣扣音乐")},
                  QStringLiteral("扣扣音乐")},
        SoundCase{"protectedInsideKept", QStringLiteral("优优远程"), {QStringLiteral("UU远程")}, {QStringLiteral("优远")},
                  QStringLiteral("优优远程")},
        SoundCase{"wSpokenInThree", QStringLiteral("达不溜踢音"), {QStringLiteral("WT音")}, {}, QStringLiteral("WT音")}),
    [](const auto& info) { return std::string(info.param.name); });

class Spacing : public ::testing::TestWithParam<SoundCase> {};

TEST_P(Spacing, JoinsSplitTerms) {
    const auto& c = GetParam();
    const QSet<QString> p(c.protectedTexts.begin(), c.protectedTexts.end());
    EXPECT_EQ(TermSound::applySpacing(c.text, c.targets, p), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Spacing,
    ::testing::Values(
        SoundCase{"gitHub", QStringLiteral("我在用Git Hub"), {QStringLiteral("GitHub")}, {}, QStringLiteral("我在用GitHub")},
        SoundCase{"gitHyphenHub", QStringLiteral("Git-Hub"), {QStringLiteral("GitHub")}, {}, QStringLiteral("GitHub")},
        SoundCase{"caseSensitiveKeepsLower", QStringLiteral("github"), {QStringLiteral("GitHub")}, {}, QStringLiteral("github")},
        SoundCase{"windowsJoined", QStringLiteral("Windows11"), {QStringLiteral("Windows 11")}, {}, QStringLiteral("Windows 11")},
        SoundCase{"windowsLower", QStringLiteral("windows 11"), {QStringLiteral("Windows 11")}, {}, QStringLiteral("Windows 11")},
        SoundCase{"chatGPTInsensitive", QStringLiteral("chat gpt"), {QStringLiteral("ChatGPT")}, {}, QStringLiteral("ChatGPT")},
        SoundCase{"caseOnlyLeft", QStringLiteral("chatgpt"), {QStringLiteral("ChatGPT")}, {}, QStringLiteral("chatgpt")},
        SoundCase{"noPatternForZoom", QStringLiteral("Zo om"), {QStringLiteral("Zoom")}, {}, QStringLiteral("Zo om")},
        SoundCase{"latinBoundary", QStringLiteral("xGit Hub"), {QStringLiteral("GitHub")}, {}, QStringLiteral("xGit Hub")},
        SoundCase{"protectedMatch", QStringLiteral("Git Hub"), {QStringLiteral("GitHub")}, {QStringLiteral("Git Hub")},
                  QStringLiteral("Git Hub")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TermSoundPatterns, CaseRule) {
    EXPECT_EQ(TermSound::spacingCaseInsensitive(QStringLiteral("GitHub")), std::optional<bool>(false));
    EXPECT_EQ(TermSound::spacingCaseInsensitive(QStringLiteral("ChatGPT")), std::optional<bool>(true));
    EXPECT_EQ(TermSound::spacingCaseInsensitive(QStringLiteral("Zoom")), std::nullopt);
    EXPECT_EQ(TermSound::spacingCaseInsensitive(QStringLiteral("WPS")), std::nullopt);
    EXPECT_EQ(TermSound::spacingCaseInsensitive(QStringLiteral("Claude Code")), std::optional<bool>(false));
    EXPECT_EQ(TermSound::spacingCaseInsensitive(QStringLiteral("1234")), std::nullopt);
    EXPECT_EQ(TermSound::spacingCaseInsensitive(QStringLiteral("飞书abcd")), std::optional<bool>(true));
}

class Builtin : public ::testing::TestWithParam<SoundCase> {};

TEST_P(Builtin, CorrectsWellKnownTerms) {
    const auto& c = GetParam();
    const QSet<QString> p(c.protectedTexts.begin(), c.protectedTexts.end());
    EXPECT_EQ(TermSound::correctBuiltin(c.text, p), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Builtin,
    ::testing::Values(
        SoundCase{"alias", QStringLiteral("打开 Chat GBT"), {}, {}, QStringLiteral("打开 ChatGPT")},
        SoundCase{"aliasNoSpace", QStringLiteral("用chatgdp"), {}, {}, QStringLiteral("用ChatGPT")},
        SoundCase{"cloudCodeUnknown", QStringLiteral("用 Cloud Code 写"), {}, {}, QStringLiteral("用 Cloud Code 写")},
        SoundCase{"cloudCodeKnownWord", QStringLiteral("用 Cloud Code 写"), {}, {QStringLiteral("Code")}, QStringLiteral("用 Claude Code 写")},
        SoundCase{"cloudCodeKnownTerm", QStringLiteral("用 cloud code 写"), {}, {QStringLiteral("Claude Code")},
                  QStringLiteral("用 Claude Code 写")},
        SoundCase{"ownNameKnown", QStringLiteral("打开 Zel K 听写"), {}, {QStringLiteral("Zelk")}, QStringLiteral("打开 Zelk 听写")},
        SoundCase{"ownNameBlockedByContext", QStringLiteral("这个 Selk 博主的视频"), {}, {QStringLiteral("Zelk")},
                  QStringLiteral("这个 Selk 博主的视频")},
        SoundCase{"letterReading", QStringLiteral("打开扣扣音乐"), {}, {}, QStringLiteral("打开QQ音乐")},
        SoundCase{"spacing", QStringLiteral("打开 Deep Seek 和 Git Hub"), {}, {}, QStringLiteral("打开 DeepSeek 和 GitHub")},
        SoundCase{"protectedTermNotTarget", QStringLiteral("Git Hub"), {}, {QStringLiteral("github")}, QStringLiteral("Git Hub")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MentionedTerms, LongestFirstAndHidden) {
    EXPECT_EQ(TermSound::mentionedTerms(QStringLiteral("用飞书和Claude Code写代码"), 30),
              (QStringList{QStringLiteral("Claude Code"), QStringLiteral("飞书")}));
    EXPECT_EQ(TermSound::mentionedTerms(QStringLiteral("飞书文档和 GitHub 还有 iPhone"), 30),
              (QStringList{QStringLiteral("GitHub"), QStringLiteral("iPhone"), QStringLiteral("飞书文档")}));
    EXPECT_EQ(TermSound::mentionedTerms(QStringLiteral("飞书文档和 GitHub"), 1), QStringList{QStringLiteral("GitHub")});
    EXPECT_TRUE(TermSound::mentionedTerms(QStringLiteral("github xGitHub"), 30).isEmpty());
}

TEST(ProductLexicon, Shape) {
    EXPECT_EQ(ProductLexiconData::terms().size(), 350);
    EXPECT_EQ(ProductLexiconData::terms().front(), QStringLiteral("UU远程"));
    EXPECT_EQ(ProductLexiconData::terms().back(), QStringLiteral("Kindle"));
    EXPECT_EQ(ProductLexiconData::aliasUnless().value(QStringLiteral("Zelk")).size(), 23);
    EXPECT_EQ(ProductLexiconData::aliasesIfKnown().size(), 6);
    for (QChar c = u'A'; c <= u'Z'; c = QChar(c.unicode() + 1))
        EXPECT_EQ(ProductLexiconData::letterReadings(c).size(), (c == u'N' || c == u'Q') ? 2 : 1) << c.toLatin1();
    EXPECT_EQ(ProductLexiconData::letterReadings(u'W').front().size(), 3);
}

} // namespace
