#include "language/chinese_typography.h"
#include "language/hotword_guard.h"
#include "language/text_cleanup.h"

#include <gtest/gtest.h>

using namespace zelk;

namespace {

struct TextCase {
    const char* name;
    QString input;
    QString expected;
};

std::string caseName(const ::testing::TestParamInfo<TextCase>& info) { return info.param.name; }

class TidyASR : public ::testing::TestWithParam<TextCase> {};

TEST_P(TidyASR, RemovesStraySpaces) { EXPECT_EQ(TextCleanup::tidyASR(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Texts, TidyASR,
    ::testing::Values(TextCase{"chineseWithSpaces", QStringLiteral("  你好 世界 ， 再见 "), QStringLiteral("你好世界，再见")},
                      TextCase{"doubleSpaceLatin", QStringLiteral("hello  world"), QStringLiteral("hello world")},
                      TextCase{"mixedKeepsSpaces", QStringLiteral("我用 iPhone 拍照"), QStringLiteral("我用 iPhone 拍照")},
                      TextCase{"empty", QStringLiteral(" \n "), QString()},
                      TextCase{"manySpacesCollapse", QStringLiteral("a     b"), QStringLiteral("a b")},
                      // Two spaces between ideographs: neither is "lone", so one remains.
                      TextCase{"twoSpacesBetweenHan", QStringLiteral("你  好"), QStringLiteral("你 好")},
                      TextCase{"fullWidthContext", QStringLiteral("Ａ Ｂ"), QStringLiteral("ＡＢ")},
                      TextCase{"spaceAfterPunctOnly", QStringLiteral("好。 ok"), QStringLiteral("好。ok")}),
    caseName);

class Typography : public ::testing::TestWithParam<TextCase> {};

TEST_P(Typography, Formats) { EXPECT_EQ(ChineseTypography::format(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Texts, Typography,
    ::testing::Values(
        TextCase{"mixed", QStringLiteral("我用iPhone拍照,很好."), QStringLiteral("我用 iPhone 拍照，很好。")},
        TextCase{"fullWidthAlnum", QStringLiteral("ＡＢＣ１２３"), QStringLiteral("ABC123")},
        TextCase{"latinUnchanged", QStringLiteral("hello, world."), QStringLiteral("hello, world.")},
        TextCase{"spaceBeforeChinesePunct", QStringLiteral("你好 ，世界"), QStringLiteral("你好，世界")},
        TextCase{"empty", QString(), QString()},
        TextCase{"ideographicSpace", QStringLiteral("\u3000"), QString()},
        // Full-width punctuation other than letters and digits stays full-width.
        TextCase{"fullWidthPunctKept", QStringLiteral("ＡＢ！"), QStringLiteral("AB！")},
        // The left neighbour is the already converted character: "。" is not an
        // ideograph, so the second "." (between 。 and a space) stays.
        TextCase{"leftNeighbourConverted", QStringLiteral("好.. x"), QStringLiteral("好。. x")},
        TextCase{"digitsAndHan", QStringLiteral("共3个"), QStringLiteral("共 3 个")},
        TextCase{"kanaIsALetter", QStringLiteral("中カ"), QStringLiteral("中 カ")},
        TextCase{"spacesAroundPunctDropped", QStringLiteral("好 。 ok"), QStringLiteral("好。ok")},
        TextCase{"newlinesKept", QStringLiteral("\n好\n"), QStringLiteral("\n好\n")},
        TextCase{"existingSpaceNotDoubled", QStringLiteral("用 Git"), QStringLiteral("用 Git")},
        TextCase{"questionNextToHan", QStringLiteral("真的?"), QStringLiteral("真的？")}),
    caseName);

struct StripCase {
    const char* name;
    QString text;
    QString draft;
    QStringList hotwords;
    QString expected;
};

class Strip : public ::testing::TestWithParam<StripCase> {};

TEST_P(Strip, KeepsOnlySupportedHotwords) {
    const auto& c = GetParam();
    EXPECT_EQ(HotwordGuard::strip(c.text, c.draft, c.hotwords), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Strip,
    ::testing::Values(
        StripCase{"unsupportedLatinRemoved", QStringLiteral("我在用Zoom开会"), QStringLiteral("我在用开会"), {QStringLiteral("Zoom")},
                  QStringLiteral("我在用开会")},
        StripCase{"homophoneSupports", QStringLiteral("打开飞书"), QStringLiteral("打开非书"), {QStringLiteral("飞书")},
                  QStringLiteral("打开飞书")},
        StripCase{"emptyDraftSupportsNothing", QStringLiteral("飞书。"), QString(), {QStringLiteral("飞书")}, QString()},
        StripCase{"oneCharacterHotwordIgnored", QStringLiteral("好的"), QString(), {QStringLiteral("好")}, QStringLiteral("好的")},
        StripCase{"caseInsensitiveLiteral", QStringLiteral("用GitHub提交"), QStringLiteral("用github提交"), {QStringLiteral("GitHub")},
                  QStringLiteral("用GitHub提交")},
        StripCase{"bigramsSupport", QStringLiteral("打开Figma"), QStringLiteral("打开 fig ma"), {QStringLiteral("Figma")},
                  QStringLiteral("打开Figma")},
        // The longer supported term is protected from the shorter unsupported one.
        StripCase{"longerTermProtected", QStringLiteral("打开飞书文档"), QStringLiteral("打开飞书文档"),
                  {QStringLiteral("文档"), QStringLiteral("飞书文档")}, QStringLiteral("打开飞书文档")},
        StripCase{"shorterUnsupportedStillRemovedElsewhere", QStringLiteral("飞书文档，文档"), QStringLiteral("飞书文件"),
                  {QStringLiteral("文档"), QStringLiteral("飞书文档")}, QStringLiteral("飞书文档，")},
        StripCase{"tidiesPunctuation", QStringLiteral("好的，Zoom。再见"), QStringLiteral("好的再见"), {QStringLiteral("Zoom")},
                  QStringLiteral("好的。再见")},
        StripCase{"fiveCharsNeedThree", QStringLiteral("网易云音乐真好"), QStringLiteral("网一运因乐真好"), {QStringLiteral("网易云音乐")},
                  QStringLiteral("网易云音乐真好")},
        StripCase{"noHotwords", QStringLiteral("原样"), QStringLiteral("x"), {}, QStringLiteral("原样")}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
