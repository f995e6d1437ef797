#include "core/text.h"

#include <gtest/gtest.h>

using namespace zelk;

namespace {

struct GraphemeCase {
    const char* name;
    QString text;
    qsizetype count;
    QString firstTwo;
};

class Graphemes : public ::testing::TestWithParam<GraphemeCase> {};

TEST_P(Graphemes, CountAndPrefixFollowClusters) {
    const auto& c = GetParam();
    EXPECT_EQ(text::graphemeCount(c.text), c.count);
    EXPECT_EQ(text::graphemePrefix(c.text, 2), c.firstTwo);
    EXPECT_EQ(text::graphemePrefix(c.text, 1000), c.text);
    EXPECT_EQ(text::graphemePrefix(c.text, 0), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Graphemes,
    ::testing::Values(GraphemeCase{"empty", QString(), 0, QString()},
                      GraphemeCase{"ascii", QStringLiteral("hello"), 5, QStringLiteral("he")},
                      GraphemeCase{"crlf", QStringLiteral("a\r\nb"), 3, QStringLiteral("a\r\n")},
                      GraphemeCase{"chinese", QStringLiteral("你好世界"), 4, QStringLiteral("你好")},
                      GraphemeCase{"surrogatePair", QStringLiteral("🎤x"), 2, QStringLiteral("🎤x")},
                      GraphemeCase{"zwjFamily", QStringLiteral("👨‍👩‍👧ab"), 3, QStringLiteral("👨‍👩‍👧a")},
                      GraphemeCase{"flag", QStringLiteral("🇨🇳🇺🇸"), 2, QStringLiteral("🇨🇳🇺🇸")},
                      GraphemeCase{"combining", QStringLiteral("e\u0301e\u0301e"), 3, QStringLiteral("e\u0301e\u0301")},
                      GraphemeCase{"skinTone", QStringLiteral("👍🏽!"), 2, QStringLiteral("👍🏽!")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Graphemes, SuffixAndUnitBoundedPrefixNeverSplitACluster) {
    EXPECT_EQ(text::graphemeSuffix(QStringLiteral("ab👨‍👩‍👧"), 1), QStringLiteral("👨‍👩‍👧"));
    EXPECT_EQ(text::graphemeSuffix(QStringLiteral("ab"), 5), QStringLiteral("ab"));
    // "ab" + a 2-unit emoji: a 3-unit cut must not keep half of it.
    EXPECT_EQ(text::prefixAtGraphemeBoundary(QStringLiteral("ab🎤"), 3), QStringLiteral("ab"));
    EXPECT_EQ(text::prefixAtGraphemeBoundary(QStringLiteral("ab🎤"), 4), QStringLiteral("ab🎤"));
}

struct TrimCase {
    const char* name;
    QString input;
    QString whitespaceAndNewlines;
    QString spacesAndTabs;
};

class Trims : public ::testing::TestWithParam<TrimCase> {};

TEST_P(Trims, EachTrimRemovesOnlyItsClass) {
    const auto& c = GetParam();
    EXPECT_EQ(text::trimmedWhitespaceAndNewlines(c.input), c.whitespaceAndNewlines);
    EXPECT_EQ(text::trimmedSpacesAndTabs(c.input), c.spacesAndTabs);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Trims,
    ::testing::Values(TrimCase{"plain", QStringLiteral("  a b\t"), QStringLiteral("a b"), QStringLiteral("a b")},
                      TrimCase{"newlines", QStringLiteral("\n a \r\n"), QStringLiteral("a"), QStringLiteral("\n a \r\n")},
                      TrimCase{"ideographicSpace", QStringLiteral("\u3000你好\u3000"), QStringLiteral("你好"), QStringLiteral("你好")},
                      TrimCase{"nbsp", QStringLiteral("\u00A0x\u00A0"), QStringLiteral("x"), QStringLiteral("x")},
                      TrimCase{"lineSeparator", QStringLiteral("\u2028x\u0085"), QStringLiteral("x"), QStringLiteral("\u2028x\u0085")},
                      TrimCase{"allSpace", QStringLiteral(" \t "), QString(), QString()},
                      TrimCase{"innerKept", QStringLiteral("a \n b"), QStringLiteral("a \n b"), QStringLiteral("a \n b")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CharacterClasses, CJKIdeographRanges) {
    EXPECT_TRUE(text::isCJKIdeograph(U'你'));
    EXPECT_TRUE(text::isCJKIdeograph(0x3400));
    EXPECT_TRUE(text::isCJKIdeograph(0x9FFF));
    EXPECT_FALSE(text::isCJKIdeograph(0x4DC0)); // hexagram symbols sit between the two ranges
    EXPECT_FALSE(text::isCJKIdeograph(U'，'));
    EXPECT_FALSE(text::isCJKIdeograph(0x20000)); // extension B is outside
}

} // namespace
