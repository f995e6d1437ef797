#include "language/chinese_number.h"
#include "language/spoken_math.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zelk;

namespace {

struct NumberCase {
    const char* name;
    QString text;
    std::optional<double> value;
};

class ChineseNumberParse : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ChineseNumberParse, ReadsSpokenNumbers) {
    const auto& c = GetParam();
    const auto v = ChineseNumber::parse(c.text);
    ASSERT_EQ(v.has_value(), c.value.has_value()) << c.text.toStdString();
    if (v) {
        EXPECT_NEAR(*v, *c.value, std::abs(*c.value) * 1e-12 + 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ChineseNumberParse,
    ::testing::Values(NumberCase{"fifteen", QStringLiteral("十五"), 15}, NumberCase{"zeroInside", QStringLiteral("一百零五"), 105},
                      NumberCase{"liang", QStringLiteral("两千零二十"), 2020}, NumberCase{"wanAbbrev", QStringLiteral("三万五"), 35000},
                      NumberCase{"mixedWan", QStringLiteral("3万5"), 35000}, NumberCase{"decimalSuffix", QStringLiteral("1.5万"), 15000},
                      NumberCase{"dian", QStringLiteral("三点一四"), 3.14}, NumberCase{"fu", QStringLiteral("负十二"), -12},
                      NumberCase{"hyphen", QStringLiteral("-3.5"), -3.5}, NumberCase{"trailingDot", QStringLiteral("3."), 3},
                      NumberCase{"leadingDian", QStringLiteral("点五"), 0.5}, NumberCase{"wanYi", QStringLiteral("三万亿"), 3e12},
                      NumberCase{"shiYi", QStringLiteral("十亿"), 1e9}, NumberCase{"loneWan", QStringLiteral("万"), std::nullopt},
                      NumberCase{"measureWord", QStringLiteral("三个"), std::nullopt}, NumberCase{"empty", QString(), std::nullopt},
                      NumberCase{"baiAbbrev", QStringLiteral("一百五"), 150}, NumberCase{"qianAbbrev", QStringLiteral("三千二"), 3200},
                      NumberCase{"shiWanAbbrev", QStringLiteral("十万五"), 150000}, NumberCase{"yiAbbrev", QStringLiteral("一亿五"), 1.5e8},
                      NumberCase{"full", QStringLiteral("三千二百五十"), 3250}, NumberCase{"wanQian", QStringLiteral("一万五千"), 15000},
                      NumberCase{"negativeSuffix", QStringLiteral("负三万"), -30000}, NumberCase{"spaces", QStringLiteral(" 42\t"), 42},
                      NumberCase{"twoDots", QStringLiteral("1.2.3"), std::nullopt}, NumberCase{"badFraction", QStringLiteral("1点十"), std::nullopt},
                      NumberCase{"lingIsDigit", QStringLiteral("〇"), std::nullopt}, NumberCase{"shiAlone", QStringLiteral("十"), 10},
                      NumberCase{"yiWan", QStringLiteral("一亿二千万"), 1.2e8},
                      NumberCase{"yiWanAbbrev", QStringLiteral("三亿五千万"), 3.5e8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChineseNumberParse, HugeInputsAnswerWithoutCrashing) {
    EXPECT_TRUE(std::isinf(*ChineseNumber::parse(QString(10000, QLatin1Char('9')))));
    EXPECT_FALSE(ChineseNumber::parse(QString(10000, QChar(u'万'))).has_value());
    EXPECT_FALSE(ChineseNumber::parse(QStringLiteral("负").repeated(5000) + QStringLiteral("x")).has_value());
}

struct RouteCase {
    const char* name;
    QString text;
    std::optional<SpokenMath::Route> route;
};

SpokenMath::Route computed(const char* formula, const char* value) {
    return SpokenMath::Computed{{QString::fromUtf8(formula), QString::fromUtf8(value)}};
}
SpokenMath::Route intent(const char* expr) { return SpokenMath::Intent{QString::fromUtf8(expr)}; }

class SpokenMathRoute : public ::testing::TestWithParam<RouteCase> {};

TEST_P(SpokenMathRoute, RoutesTranscript) {
    const auto& c = GetParam();
    const auto r = SpokenMath::route(c.text);
    ASSERT_EQ(r.has_value(), c.route.has_value()) << c.text.toStdString();
    if (!r)
        return;
    if (auto* got = std::get_if<SpokenMath::Computed>(&*r)) {
        auto* want = std::get_if<SpokenMath::Computed>(&*c.route);
        ASSERT_TRUE(want) << "computed " << got->result.formula.toStdString();
        EXPECT_EQ(got->result.formula, want->result.formula);
        EXPECT_EQ(got->result.value, want->result.value);
    } else {
        ASSERT_TRUE(std::holds_alternative<SpokenMath::Intent>(*c.route));
        EXPECT_EQ(std::get<SpokenMath::Intent>(*r).expression, std::get<SpokenMath::Intent>(*c.route).expression);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Transcripts, SpokenMathRoute,
    ::testing::Values(RouteCase{"precedence", QStringLiteral("帮我算一下三加四乘以五"), computed("3 + 4 × 5", "23")},
                      RouteCase{"zaiWraps", QStringLiteral("三加四再乘以五等于多少"), computed("(3 + 4) × 5", "35")},
                      RouteCase{"percentOf", QStringLiteral("一百二十的百分之十五是多少"), computed("120 × (15 ÷ 100)", "18")},
                      RouteCase{"root", QStringLiteral("算一下根号二"), computed("√2", "1.414214")},
                      RouteCase{"power", QStringLiteral("二的十次方等于几"), computed("2^10", "1,024")},
                      RouteCase{"fraction", QStringLiteral("帮我算一下一万除以三"), computed("10000 ÷ 3", "3,333.333333")},
                      RouteCase{"divideByZero", QStringLiteral("帮我算一下三除以零"), intent("三除以零")},
                      RouteCase{"notMath", QStringLiteral("帮我算一下今天吃什么"), intent("今天吃什么")},
                      RouteCase{"noTrigger", QStringLiteral("三加四"), std::nullopt},
                      RouteCase{"suffixOnlyNotMath", QStringLiteral("今天天气怎么样是多少"), std::nullopt},
                      RouteCase{"noiseAndPercentSign", QStringLiteral("嗯，那个，帮我算算5%乘200"), computed("(5 ÷ 100) × 200", "10")},
                      RouteCase{"square", QStringLiteral("算一下三的平方加四的平方"), computed("3^2 + 4^2", "25")},
                      RouteCase{"powerLeftToRight", QStringLiteral("算一下二的三次方的平方"), computed("2^3^2", "64")},
                      RouteCase{"negativeNumber", QStringLiteral("算一下负三乘二。"), computed("-3 × 2", "-6")},
                      RouteCase{"parenWords", QStringLiteral("算一下左括号一加二右括号乘三"), computed("(1 + 2) × 3", "9")},
                      RouteCase{"triggerOnlyIsNothing", QStringLiteral("帮我算一下。"), std::nullopt},
                      RouteCase{"sqrtNegative", QStringLiteral("算一下根号负四"), intent("根号负四")},
                      RouteCase{"loneNumber", QStringLiteral("算一下五"), intent("五")},
                      RouteCase{"dengyuStops", QStringLiteral("算一下一加一等于二"), computed("1 + 1", "2")},
                      RouteCase{"bigGrouped", QStringLiteral("算一下一万乘一万"), computed("10000 × 10000", "100,000,000")},
                      RouteCase{"fullWidthMinus", QStringLiteral("算一下10－3"), computed("10 - 3", "7")},
                      RouteCase{"asciiHyphenIsSign", QStringLiteral("算一下10-3"), intent("10-3")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SpokenMath, FormatDropsTrailingZerosAndGroupsOnRequest) {
    EXPECT_EQ(SpokenMath::format(1024, true), QStringLiteral("1,024"));
    EXPECT_EQ(SpokenMath::format(1024, false), QStringLiteral("1024"));
    EXPECT_EQ(SpokenMath::format(2.5, true), QStringLiteral("2.5"));
    EXPECT_EQ(SpokenMath::format(1.0000000001, true), QStringLiteral("1"));
    EXPECT_EQ(SpokenMath::format(-0.0, true), QStringLiteral("0"));
    EXPECT_EQ(SpokenMath::format(1234567.1234567, true), QStringLiteral("1,234,567.123457"));
}

TEST(SpokenMath, HostileInputsFailCleanly) {
    EXPECT_FALSE(SpokenMath::evaluate(QStringLiteral("左括号").repeated(10000) + QStringLiteral("一加一")).has_value());
    EXPECT_FALSE(SpokenMath::evaluate(QStringLiteral("减").repeated(10000) + QStringLiteral("一加一")).has_value());
    EXPECT_FALSE(SpokenMath::evaluate(QStringLiteral("一加") + QString(10000, QLatin1Char('9'))).has_value());
    EXPECT_FALSE(SpokenMath::route(QString(10000, QLatin1Char('9')) + QStringLiteral("等于多少")).has_value());
    const auto r = SpokenMath::route(QStringLiteral("算一下") + QStringLiteral("\xD800x"));
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(std::holds_alternative<SpokenMath::Intent>(*r));
}

} // namespace
