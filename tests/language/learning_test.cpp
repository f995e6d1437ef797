#include "language/edit_learner.h"
#include "language/word_suggestion_store.h"

#include "core/clock.h"
#include "support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zelk;
using Suggestion = EditLearner::Suggestion;

namespace {

struct LearnCase {
    const char* name;
    QString inserted;
    QString after; // the field before the edit is the inserted text alone
    std::optional<Suggestion> expected;
};

// The controller's decision: segment, then the lexicon fix, then classify.
std::optional<Suggestion> learn(const QString& inserted, const QString& before, const QString& after) {
    const auto seg = EditLearner::changedSegment(inserted, before, after);
    if (!seg)
        return std::nullopt;
    if (auto fix = EditLearner::hanLexiconFix(*seg))
        return fix;
    const auto [o, n] = EditLearner::grow(*seg);
    return EditLearner::classify(o, n);
}

class Learning : public ::testing::TestWithParam<LearnCase> {};

TEST_P(Learning, FromEdit) {
    const auto& c = GetParam();
    EXPECT_EQ(learn(c.inserted, c.inserted, c.after), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, Learning,
    ::testing::Values(
        LearnCase{"latinCase", QStringLiteral("打开github"), QStringLiteral("打开GitHub"), Suggestion{"github", "GitHub", "GitHub", false}},
        LearnCase{"latinWordGrows", QStringLiteral("用 Pyhton 写"), QStringLiteral("用 Python 写"),
                  Suggestion{"Pyhton", "Python", "Python", false}},
        LearnCase{"mixedTerm", QStringLiteral("打开扣扣音乐吧"), QStringLiteral("打开QQ音乐吧"), Suggestion{"扣扣音乐", "QQ音乐", "QQ音乐", false}},
        LearnCase{"homophoneTrial", QStringLiteral("我在线上"), QStringLiteral("我再现上"), Suggestion{"在线", "再现", "在线=再现", true}},
        LearnCase{"lexiconFix", QStringLiteral("打开非书吧"), QStringLiteral("打开飞书吧"), Suggestion{"非书", "飞书", "非书=飞书", false}},
        LearnCase{"rewording", QStringLiteral("这个飞速的"), QStringLiteral("这个非常快的"), std::nullopt},
        LearnCase{"newPartTooLong", QStringLiteral("ab"), QStringLiteral("a") + QString(25, QLatin1Char('X')) + QStringLiteral("b"), std::nullopt},
        LearnCase{"unchanged", QStringLiteral("你好"), QStringLiteral("你好"), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditLearnerSegment, LocatesTheStretch) {
    const auto seg = EditLearner::changedSegment(QStringLiteral("打开github"), QStringLiteral("前文打开github"), QStringLiteral("前文打开GitHub"));
    ASSERT_TRUE(seg);
    EXPECT_EQ(seg->head, (QStringList{"打", "开"}));
    // The stretch runs from the first difference to the longest common tail ("ub").
    EXPECT_EQ(seg->oldPart, (QStringList{"g", "i", "t", "h"}));
    EXPECT_EQ(seg->newPart, (QStringList{"G", "i", "t", "H"}));
    EXPECT_EQ(seg->tail, (QStringList{"u", "b"}));
    EXPECT_EQ(EditLearner::grow(*seg), std::make_pair(QStringLiteral("github"), QStringLiteral("GitHub")));
    // The text before the insertion was changed too: not ours to judge.
    EXPECT_FALSE(EditLearner::changedSegment(QStringLiteral("abc"), QStringLiteral("xxabc"), QStringLiteral("yxabd")));
    EXPECT_FALSE(EditLearner::changedSegment(QStringLiteral("abc"), QStringLiteral("zzz"), QStringLiteral("abd")));
}

struct ClassifyCase {
    const char* name;
    QString oldText, newText;
    std::optional<Suggestion> expected;
};

class Classify : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(Classify, Decides) { EXPECT_EQ(EditLearner::classify(GetParam().oldText, GetParam().newText), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Pairs, Classify,
    ::testing::Values(ClassifyCase{"foldedEqual", "chat gpt", "ChatGPT", Suggestion{"chat gpt", "ChatGPT", "ChatGPT", false}},
                      ClassifyCase{"capitalised", "zoom", "Zoom", Suggestion{"zoom", "Zoom", "Zoom", false}},
                      ClassifyCase{"tooShort", "zom", "Zoo", std::nullopt},
                      ClassifyCase{"noCapitalOrDigit", "pyhton", "python", std::nullopt},
                      ClassifyCase{"tooDifferent", "hello", "World", std::nullopt},
                      ClassifyCase{"differentLengthHan", "飞速", "非常快", std::nullopt},
                      ClassifyCase{"differentSound", "在线", "在家", std::nullopt},
                      ClassifyCase{"singleHan", "在", "再", std::nullopt},
                      ClassifyCase{"tooLong", QString(25, QLatin1Char('a')), QString(25, QLatin1Char('A')), std::nullopt},
                      ClassifyCase{"lineFeed", "ab\ncd", "Abcd", std::nullopt},
                      ClassifyCase{"mixedNoReading", "秋秋音乐", "QQ音乐", Suggestion{"秋秋音乐", "QQ音乐", "QQ音乐", false}},
                      ClassifyCase{"mixedMismatch", "扣扣音箱", "QQ音乐", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditLearnerDistance, Levenshtein) {
    EXPECT_EQ(EditLearner::editDistance("kitten", "sitting"), 3);
    EXPECT_EQ(EditLearner::editDistance("", "abc"), 3);
    EXPECT_EQ(EditLearner::editDistance("飞书", "非书"), 1);
    EXPECT_EQ(EditLearner::folded("Git-Hub_ x\t"), QStringLiteral("githubx"));
}

// ---- Word suggestion store ----

class SuggestionStore : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("word_suggestions.json");
    VirtualClock clock;

    void write(const QByteArray& json) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(json);
    }
    QJsonObject stored() {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }
    QStringList corruptCopies() { return QDir(dir.path()).entryList({"word_suggestions.json.corrupt-*"}, QDir::Files); }
    static QByteArray items(int n, const char* prefix) {
        QJsonArray a;
        for (int i = 0; i < n; ++i)
            a.append(QJsonObject{{"from", QString("w%1").arg(i)}, {"to", "r"}, {"entry", QString("%1%2").arg(prefix).arg(i)}, {"time", i}});
        return QJsonDocument(a).toJson(QJsonDocument::Compact);
    }
};

TEST_F(SuggestionStore, LossyReadingKeepsWhatItCanAndTheFileAside) {
    write(R"({"pending": "oops", "dismissed": ["a", 3, "b"],
              "learned": [{"from":"x","to":"y","entry":"y","time":1}, {"from":"x","to":"y","entry":"z"}],
              "trial": [{"from":"在线","to":"再现","entry":"在线=再现","time":2}]})");
    WordSuggestionStore store(path, &clock);
    EXPECT_TRUE(store.pending().isEmpty());
    EXPECT_EQ(store.dismissed(), (QStringList{"a", "b"}));
    ASSERT_EQ(store.learned().size(), 1);
    EXPECT_EQ(store.learned().front().entry, QStringLiteral("y"));
    EXPECT_EQ(store.trial().size(), 1);
    EXPECT_EQ(corruptCopies().size(), 1);
}

TEST_F(SuggestionStore, OnlyDismissedLoadsCleanly) {
    write(R"({"dismissed": ["a"]})");
    WordSuggestionStore store(path, &clock);
    EXPECT_EQ(store.dismissed(), QStringList{"a"});
    EXPECT_TRUE(store.learned().isEmpty() && store.trial().isEmpty() && store.counts().isEmpty() && store.pending().isEmpty());
    EXPECT_TRUE(corruptCopies().isEmpty());
}

TEST_F(SuggestionStore, NotJsonIsKeptAsideAndStartsEmpty) {
    write("not json at all");
    WordSuggestionStore store(path, &clock);
    EXPECT_TRUE(store.learned().isEmpty());
    store.dismiss("x");
    EXPECT_EQ(stored().value("dismissed").toArray().size(), 1);
    EXPECT_EQ(corruptCopies().size(), 1);
}

TEST_F(SuggestionStore, LimitsOnLoading) {
    write("{\"pending\":" + items(25, "p") + ",\"learned\":" + items(350, "l") + "}");
    WordSuggestionStore store(path, &clock);
    ASSERT_EQ(store.pending().size(), 20);
    EXPECT_EQ(store.pending().front().entry, QStringLiteral("p0"));
    ASSERT_EQ(store.learned().size(), 300);
    EXPECT_EQ(store.learned().front().entry, QStringLiteral("l50"));
}

TEST_F(SuggestionStore, ObserveLearnsCountsAndTrials) {
    WordSuggestionStore store(path, &clock);
    const Suggestion trial{"在线", "再现", "在线=再现", true};
    EXPECT_EQ(store.observe(trial, 1), WordSuggestionStore::ObserveResult::trial);
    clock.advance(std::chrono::seconds(10));
    EXPECT_EQ(store.observe(trial, 1), WordSuggestionStore::ObserveResult::trial);
    ASSERT_EQ(store.trial().size(), 1);
    EXPECT_EQ(store.trial().front().time, 1'700'000'010);

    const Suggestion latin{"github", "GitHub", "GitHub", false};
    EXPECT_EQ(store.observe(latin, 2), WordSuggestionStore::ObserveResult::counted);
    ASSERT_EQ(store.counts().size(), 1);
    EXPECT_EQ(store.counts().front().count, 1);
    EXPECT_EQ(store.observe(latin, 2), WordSuggestionStore::ObserveResult::learned);
    EXPECT_TRUE(store.counts().isEmpty());
    EXPECT_EQ(store.learned().size(), 1);

    // Everything above reached the file.
    WordSuggestionStore reopened(path, &clock);
    EXPECT_EQ(reopened.trial(), store.trial());
    EXPECT_EQ(reopened.learned(), store.learned());
    const QJsonObject json = stored();
    for (const char* key : {"pending", "dismissed", "counts", "learned", "trial"})
        EXPECT_TRUE(json.value(key).isArray()) << key;
}

TEST_F(SuggestionStore, DismissedAndForgottenEntriesAreIgnored) {
    WordSuggestionStore store(path, &clock);
    const Suggestion s{"github", "GitHub", "GitHub", false};
    EXPECT_EQ(store.observe(s, 1), WordSuggestionStore::ObserveResult::learned);
    store.forget("GitHub");
    EXPECT_TRUE(store.learned().isEmpty());
    EXPECT_EQ(store.dismissed(), QStringList{"GitHub"});
    EXPECT_EQ(store.observe(s, 1), WordSuggestionStore::ObserveResult::ignored);
    EXPECT_EQ(store.observe({"a", "b", "GitHub", true}, 1), WordSuggestionStore::ObserveResult::ignored);
}

TEST_F(SuggestionStore, ApplyTrialNewestFirst) {
    WordSuggestionStore store(path, &clock);
    store.observe({"在线", "再线", "在线=再线", true}, 1);
    store.observe({"在线上", "在现上", "在线上=在现上", true}, 1);
    const auto [text, hits] = store.applyTrial(QStringLiteral("在线上和在线"));
    EXPECT_EQ(text, QStringLiteral("在现上和再线"));
    ASSERT_EQ(hits.size(), 2);
    EXPECT_EQ(hits[0].entry, QStringLiteral("在线上=在现上"));

    store.undoTrial({"在线上=在现上"});
    EXPECT_EQ(store.trial().size(), 1);
    EXPECT_TRUE(store.dismissed().contains("在线上=在现上"));
}

TEST_F(SuggestionStore, TakeAndForgetRemoved) {
    write("{\"pending\":" + items(2, "p") + "}");
    WordSuggestionStore store(path, &clock);
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    EXPECT_FALSE(store.take("nope"));
    const QByteArray after = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    EXPECT_EQ(before, after);
    const auto taken = store.take("p1");
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->from, QStringLiteral("w1"));
    EXPECT_EQ(store.pending().size(), 1);

    store.observe({"github", "GitHub", "GitHub", false}, 1);
    store.forgetRemoved({"GitHub"}, {"github"});
    EXPECT_EQ(store.learned().size(), 1);
    store.forgetRemoved({}, {});
    EXPECT_EQ(store.learned().size(), 1);
    store.forgetRemoved({"GitHub", "x"}, {"x"});
    EXPECT_TRUE(store.learned().isEmpty());
    EXPECT_TRUE(store.dismissed().contains("GitHub"));
}

TEST_F(SuggestionStore, ListsAreCutAfterEachAppend) {
    WordSuggestionStore store(path, &clock);
    for (int i = 0; i < 205; ++i)
        store.dismiss(QString::number(i));
    ASSERT_EQ(store.dismissed().size(), 200);
    EXPECT_EQ(store.dismissed().front(), QStringLiteral("5"));
    for (int i = 0; i < 105; ++i)
        store.observe({"a", "b", QString("t%1").arg(i), true}, 1);
    EXPECT_EQ(store.trial().size(), 100);
}

TEST(SuggestionStoreLocation, DefaultsBesideTheDictionary) {
    test::TestHome home;
    WordSuggestionStore store;
    EXPECT_EQ(QFileInfo(store.path()).fileName(), QStringLiteral("word_suggestions.json"));
    EXPECT_TRUE(store.path().startsWith(home.path()));
}

} // namespace
