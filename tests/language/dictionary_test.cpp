#include "language/personal_dictionary.h"

#include "support/test_env.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace zelk;

namespace {

QStringList readTerms(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing>")};
    QStringList out;
    for (const auto& v : QJsonDocument::fromJson(f.readAll()).array())
        out.append(v.toString());
    return out;
}

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QStringList corruptCopies(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("dictionary.json.corrupt-*")}, QDir::Files);
}

class DictionaryStore : public ::testing::Test {
protected:
    test::TestHome home;
    QString path = PersonalDictionary::defaultPath();
    QString folder = QFileInfo(path).path();
};

TEST_F(DictionaryStore, AddNormalizesIgnoresCaseAndSaves) {
    PersonalDictionary dict;
    dict.load();
    QSignalSpy spy(&dict, &PersonalDictionary::termsChanged);
    dict.add(QStringLiteral("GitHub"));
    dict.add(QStringLiteral("github"));
    dict.add(QStringLiteral("飞书,钉钉"));
    EXPECT_EQ(dict.terms(), (QStringList{"GitHub", "飞书", "钉钉"}));
    EXPECT_EQ(readTerms(path), dict.terms());
    EXPECT_EQ(spy.count(), 2);
    dict.remove(QStringLiteral("GITHUB"));
    EXPECT_EQ(readTerms(path), (QStringList{"飞书", "钉钉"}));
    dict.replaceAll({QStringLiteral("飞书"), QStringLiteral("钉钉")});
    EXPECT_EQ(spy.count(), 3); // an equal list notifies nobody
}

TEST_F(DictionaryStore, LoadKeepsStoredOrderWithoutNormalising) {
    writeFile(path, R"(["b", "B", "a,c"])");
    PersonalDictionary dict;
    dict.load();
    EXPECT_EQ(dict.terms(), (QStringList{"b", "B", "a,c"}));
}

TEST_F(DictionaryStore, MigratesLegacyHotwordsWhenFileIsMissing) {
    writeFile(QDir(folder).filePath("zelk_settings.json"), R"({"hotwords": "飞书  GitHub\n飞书 Figma,Sketch"})");
    PersonalDictionary dict;
    dict.load();
    EXPECT_EQ(dict.terms(), (QStringList{"飞书", "GitHub", "Figma", "Sketch"}));
    EXPECT_EQ(readTerms(path), dict.terms());
}

TEST_F(DictionaryStore, MalformedFileIsKeptAsideBeforeMigrationWrites) {
    writeFile(path, "{}");
    writeFile(QDir(folder).filePath("zelk_settings.json"), R"({"hotwords": "Zelk"})");
    PersonalDictionary dict;
    dict.load();
    EXPECT_EQ(dict.terms(), QStringList{"Zelk"});
    const auto copies = corruptCopies(folder);
    ASSERT_EQ(copies.size(), 1);
    QFile kept(QDir(folder).filePath(copies.front()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("{}"));
}

TEST_F(DictionaryStore, UnreadableFileSurvivesALaterAdd) {
    writeFile(path, "[\"飞书\", 3"); // truncated
    PersonalDictionary dict;
    dict.load();
    EXPECT_TRUE(dict.terms().isEmpty());
    dict.add(QStringLiteral("钉钉"));
    EXPECT_EQ(readTerms(path), QStringList{"钉钉"});
    ASSERT_EQ(corruptCopies(folder).size(), 1);
}

TEST_F(DictionaryStore, NoLegacyFileGivesEmptyListAndWritesNothing) {
    PersonalDictionary dict;
    dict.load();
    EXPECT_TRUE(dict.terms().isEmpty());
    EXPECT_FALSE(QFile::exists(path));
}

TEST(DictionaryTerms, ReplacementsAndPlainTerms) {
    using R = PersonalDictionary::Replacement;
    EXPECT_EQ(PersonalDictionary::replacement(QStringLiteral("吉特哈布 → GitHub")), (R{"吉特哈布", "GitHub"}));
    EXPECT_EQ(PersonalDictionary::replacement(QStringLiteral("a=>b")), (R{"a", ">b"}));
    EXPECT_EQ(PersonalDictionary::replacement(QStringLiteral("x->y=z")), (R{"x->y", "z"}));
    EXPECT_EQ(PersonalDictionary::replacement(QStringLiteral("甲＝乙")), (R{"甲", "乙"}));
    EXPECT_FALSE(PersonalDictionary::replacement(QStringLiteral("A=A")));
    EXPECT_FALSE(PersonalDictionary::replacement(QStringLiteral("=B")));
    EXPECT_EQ(PersonalDictionary::plainTermsOf({"A=A", "=B", "x=y", "飞书"}), (QStringList{"A=A", "=B", "飞书"}));
    EXPECT_EQ(PersonalDictionary::preferredSpellingsOf({"吉特哈布=GitHub", "github", " Figma ", "飞书"}),
              (QStringList{"GitHub", "Figma", "飞书"}));
}

TEST(DictionaryTerms, HotwordTextNewestFirstWithinLimit) {
    test::TestHome home;
    PersonalDictionary dict;
    dict.replaceAll({QStringLiteral("吉特哈布=GitHub"), QStringLiteral("飞书")});
    EXPECT_EQ(dict.hotwordText(), QStringLiteral("飞书 GitHub"));
    const QString longTerm(159, QLatin1Char('x')); // "a " + it passes 160
    EXPECT_EQ(PersonalDictionary::cappedHotwords({"a", longTerm, "bb", "cc"}, 160), QStringLiteral("a bb cc"));
    EXPECT_EQ(PersonalDictionary::cappedHotwords({"a", QString(159, QLatin1Char('y'))}, 160), QStringLiteral("a"));
    EXPECT_EQ(PersonalDictionary::cappedHotwords({"a", QString(158, QLatin1Char('y'))}, 160).size(), 160);
}

TEST(DictionaryTerms, ReplaceExactNeverExpandsTheRightSpelling) {
    EXPECT_EQ(PersonalDictionary::replaceExact("Git", "GitHub", "Git and GitHub"), QStringLiteral("GitHub and GitHub"));
    EXPECT_EQ(PersonalDictionary::replaceExact("吉特", "GitHub", "吉特吉特"), QStringLiteral("GitHubGitHub"));
    EXPECT_EQ(PersonalDictionary::replaceExact("git", "GitHub", "git"), QStringLiteral("GitHub"));
    EXPECT_EQ(PersonalDictionary::replaceExact("a", "b", ""), QString());
}

struct CorrectionCase {
    const char* name;
    QString text;
    QStringList terms;
    bool builtin;
    QString expected;
};

class Corrections : public ::testing::TestWithParam<CorrectionCase> {};

TEST_P(Corrections, Pipeline) {
    const auto& c = GetParam();
    EXPECT_EQ(PersonalDictionary::corrections(c.text, c.terms, c.builtin), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Corrections,
    ::testing::Values(
        CorrectionCase{"explicit", QStringLiteral("打开吉特哈布"), {"吉特哈布=GitHub"}, false, QStringLiteral("打开GitHub")},
        CorrectionCase{"ruleHomophone", QStringLiteral("打开及特哈步"), {"吉特哈布=GitHub"}, false, QStringLiteral("打开GitHub")},
        CorrectionCase{"nearHomophone", QStringLiteral("打开非书"), {"飞书"}, false, QStringLiteral("打开飞书")},
        CorrectionCase{"userLetterReading", QStringLiteral("用爱克斯爱木"), {"XM音"}, false, QStringLiteral("用爱克斯爱木")},
        CorrectionCase{"userSpacing", QStringLiteral("打开 Fig Ma"), {"FigMa"}, false, QStringLiteral("打开 FigMa")},
        CorrectionCase{"builtinOff", QStringLiteral("打开扣扣音乐"), {}, false, QStringLiteral("打开扣扣音乐")},
        CorrectionCase{"builtinOn", QStringLiteral("打开扣扣音乐和 Chat GBT"), {}, true, QStringLiteral("打开QQ音乐和 ChatGPT")},
        CorrectionCase{"userTermProtectsFromBuiltin", QStringLiteral("Git Hub"), {"Git Hub"}, true, QStringLiteral("Git Hub")},
        CorrectionCase{"plainTermsUsedWhole", QStringLiteral("A=A"), {"A=A"}, true, QStringLiteral("A=A")}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
