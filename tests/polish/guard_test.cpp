#include "polish/polish_guard.h"
#include "polish/polish_vocabulary.h"

#include <gtest/gtest.h>

using namespace zelk;

namespace {

struct GuardCase {
    const char* name;
    QString input;
    QString output;
    double ratioMax;
    bool accepted;
};

class Validate : public ::testing::TestWithParam<GuardCase> {};

TEST_P(Validate, AcceptsOnlyFaithfulOutput) {
    const auto& c = GetParam();
    const QStringList natural = ToneExamples::fewshotOutputsByTone().value("natural");
    EXPECT_EQ(PolishGuard::validate(c.input, c.output, natural, c.ratioMax), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    PolishGuard, Validate,
    ::testing::Values(
        GuardCase{"punctuationAdded", QStringLiteral("我们明天三点开会"), QStringLiteral("我们明天三点开会。"), 1.3, true},
        GuardCase{"chattyPreamble", QStringLiteral("我们明天三点开会"),
                  QStringLiteral("好的，我来帮你整理：我们明天三点开会。"), 1.3, false},
        GuardCase{"newNumber", QStringLiteral("三点开会"), QStringLiteral("3点开会"), 1.3, false},
        GuardCase{"newEnglishWord", QStringLiteral("下午把这个接口的文档整理好发给我看一下"),
                  QStringLiteral("下午把这个API接口的文档整理好发给我看一下"), 1.3, false},
        GuardCase{"singleLetterIsNotAWord", QStringLiteral("下午把这个接口的文档整理好发给我看一下"),
                  QStringLiteral("下午把这个A接口的文档整理好发给我看一下"), 1.3, true},
        GuardCase{"repeatsAnExample", QStringLiteral("你帮我就是总结一下这篇文章的要点吧"),
                  QStringLiteral("你帮我总结一下这篇文章的要点。"), 1.3, false},
        GuardCase{"endingPunctuationLost", QStringLiteral("今天天气很好。我们出去走走"),
                  QStringLiteral("今天天气很好我们出去走走"), 1.3, false},
        GuardCase{"codeFence", QStringLiteral("我们明天三点开会"), QStringLiteral("```我们明天三点开会```"), 9, false},
        GuardCase{"blank", QStringLiteral("我们明天三点开会"), QStringLiteral(" \n "), 1.3, false},
        GuardCase{"oneCharacterInput", QStringLiteral("好"), QStringLiteral("好的"), 1.3, false},
        GuardCase{"tooShort", QStringLiteral("我们明天下午三点在三楼会议室开会"), QStringLiteral("开会。"), 1.3, false},
        GuardCase{"droppedHalf", QStringLiteral("今天上午我们讨论了预算问题然后下午去客户那边拜访"),
                  QStringLiteral("今天上午我们讨论了预算问题。"), 1.3, false},
        GuardCase{"decimalKept", QStringLiteral("版本3.5发布了"), QStringLiteral("版本3.5发布了。"), 1.3, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PolishGuardFacts, NumbersAndWords) {
    using F = PolishGuard::Facts;
    EXPECT_EQ(PolishGuard::facts(QStringLiteral("v2 版本 1.2.3 和 3. 还有 API")),
              (F{{"2", "1.2.3", "3"}, {"api"}}));
    EXPECT_EQ(PolishGuard::facts(QStringLiteral("Hello.World x")), (F{{}, {"hello", "world"}}));
}

TEST(PolishGuardCoverage, IsolatedMatchesCountAsLost) {
    EXPECT_EQ(PolishGuard::longestUncoveredRun(QStringLiteral("嗯啊 ok 那个"), QStringLiteral("x")), 0);
    // 开 and 会 sit apart in the output's view: each alone is chance.
    EXPECT_EQ(PolishGuard::longestUncoveredRun(QStringLiteral("开X会"), QStringLiteral("开")), 2);
    EXPECT_EQ(PolishGuard::longestUncoveredRun(QStringLiteral("好"), QStringLiteral("好")), 0);
    EXPECT_EQ(PolishGuard::longestUncoveredRun(QStringLiteral("明天开会然后去吃饭"), QStringLiteral("明天开会")), 3);
}

} // namespace
