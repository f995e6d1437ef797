#include "core/clock.h"
#include "storage/history_store.h"
#include "raw_db.h"
#include "storage_test_support.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zelk;
using test::RawDb;
using test::sampleEntry;
using test::ScopedTimeZone;

namespace {

class HistoryStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VirtualClock clock{QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC)};
    QString path() const { return dir.filePath(QStringLiteral("Zelk/history.db")); }
    std::unique_ptr<HistoryStore> open() { return std::make_unique<HistoryStore>(path(), clock); }
    HistoryEntry entryNow(const QString& delivered) { return sampleEntry(delivered, clock.wallNow()); }
};

TEST_F(HistoryStoreTest, FreshDatabaseStartsEmptyWithZeroTotals) {
    auto store = open();
    ASSERT_TRUE(store->hasDatabase());
    EXPECT_TRUE(store->recent().isEmpty());
    EXPECT_FALSE(store->lastSession());
    EXPECT_EQ(store->stats(), HistoryStore::Stats{});
    EXPECT_TRUE(store->dailyActivity(112).isEmpty());
    RawDb raw(path());
    EXPECT_EQ(raw.text("SELECT id||','||count||','||chars||','||seconds FROM totals"), "1,0,0,0.0");
    EXPECT_EQ(raw.text("PRAGMA journal_mode"), "wal");
}

TEST_F(HistoryStoreTest, AddRecordsRowTotalsAndReloadsNewestFirst) {
    auto store = open();
    QSignalSpy recentSpy(store.get(), &HistoryStore::recentChanged);
    QSignalSpy lastSpy(store.get(), &HistoryStore::lastSessionChanged);
    HistoryEntry first = entryNow(QStringLiteral("你好世界"));
    first.polishSource = QStringLiteral("  本地润色（qwen）");
    store->add(first);
    clock.advance(seconds(5));
    HistoryEntry second = entryNow(QStringLiteral("second 🙂"));
    second.duration = 0.1;
    store->add(second);

    // lastSession is the entry as given, set before the row exists: no id.
    ASSERT_TRUE(store->lastSession());
    EXPECT_EQ(store->lastSession()->id, 0);
    EXPECT_EQ(store->lastSession()->delivered, second.delivered);
    EXPECT_EQ(lastSpy.count(), 2);
    EXPECT_EQ(recentSpy.count(), 2);

    ASSERT_EQ(store->recent().size(), 2);
    EXPECT_EQ(store->recent()[0].delivered, second.delivered);
    EXPECT_GT(store->recent()[0].id, store->recent()[1].id);
    EXPECT_EQ(store->recent()[1].polishSource, "本地润色");
    EXPECT_EQ(store->recent()[1].createdAt, first.createdAt);

    const auto stats = store->stats();
    EXPECT_EQ(stats.totalCount, 2);
    EXPECT_EQ(stats.totalChars, 4 + 8); // the emoji is one scalar
    EXPECT_DOUBLE_EQ(stats.totalSeconds, 2.5 + 0.1);
    EXPECT_EQ(stats.todayCount, 2);
    EXPECT_EQ(stats.todayChars, 12);

    // Same value again: no notification.
    store->setLastSession(store->lastSession());
    store->reload();
    EXPECT_EQ(lastSpy.count(), 2);
    EXPECT_EQ(recentSpy.count(), 2);

    // A new launch reads it back; lastSession is then the stored newest row.
    store.reset();
    auto reopened = open();
    ASSERT_TRUE(reopened->lastSession());
    EXPECT_EQ(*reopened->lastSession(), reopened->recent()[0]);
    EXPECT_NE(reopened->lastSession()->id, 0);
}

TEST_F(HistoryStoreTest, PruningAndClearingKeepLifetimeFigures) {
    auto store = open();
    for (int i = 0; i < 501; ++i)
        store->add(entryNow(QStringLiteral("n%1").arg(i % 10)));
    RawDb raw(path());
    EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM history"), 500);
    EXPECT_EQ(raw.text("SELECT delivered FROM history ORDER BY id LIMIT 1"), "n1"); // the first one went
    EXPECT_EQ(store->recent().size(), HistoryStore::recentLimit);
    const HistoryStore::Stats before{501, 501 * 2, 501, 501 * 2, 501 * 2.5};
    EXPECT_EQ(store->stats(), before);
    const auto activityBefore = store->dailyActivity(112);

    QSignalSpy lastSpy(store.get(), &HistoryStore::lastSessionChanged);
    store->clear();
    EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM history"), 0);
    EXPECT_TRUE(store->recent().isEmpty());
    EXPECT_FALSE(store->lastSession());
    EXPECT_EQ(lastSpy.count(), 1);
    EXPECT_EQ(store->stats(), before);
    EXPECT_EQ(store->dailyActivity(112), activityBefore);
    EXPECT_EQ(activityBefore.value(clock.wallNow().toLocalTime().date()).count, 501);
}

TEST_F(HistoryStoreTest, TextsComeBackUnchanged) {
    auto store = open();
    QString huge;
    for (int i = 0; i < 200'000; ++i)
        huge += QChar(u'一' + i % 500);
    const QString controls = QString::fromUtf8("tab\there\r\nbell\a esc\x1b[0m ") + QChar(0) + QStringLiteral("after NUL");
    const QString quotes = QStringLiteral("it's \"quoted\"; DROP TABLE history; -- %_\\");
    for (const QString& text : {huge, controls, quotes, QStringLiteral("👩‍👩‍👧 é")}) {
        HistoryEntry e = entryNow(text);
        e.draft = text;
        e.original = text;
        e.appName = text;
        store->add(e);
        ASSERT_FALSE(store->recent().isEmpty());
        HistoryEntry back = store->recent().first();
        EXPECT_NE(back.id, 0);
        back.id = 0;
        EXPECT_EQ(back, e) << text.left(20).toStdString();
    }
    EXPECT_EQ(RawDb(path()).integer("SELECT COUNT(*) FROM history"), 4);
}

struct SearchCase {
    const char* name;
    const char* query;
    std::vector<const char*> expected; // delivered texts, newest first
};

class HistorySearch : public HistoryStoreTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(HistorySearch, MatchesLiterally) {
    auto store = open();
    for (const char* text : {"up 5% today", "up 50 today", "5 percent", "a_b", "axb", "back\\slash", "O'Brien",
                             "say \"hi\"", "Hello World", "hello again"})
        store->add(entryNow(QString::fromUtf8(text)));
    HistoryEntry rewrite = entryNow(QStringLiteral("rewritten"));
    rewrite.draft = QStringLiteral("make it formal");
    rewrite.original = QStringLiteral("selected original");
    store->add(rewrite);

    QStringList got;
    for (const auto& e : store->search(QString::fromUtf8(GetParam().query)))
        got.append(e.delivered);
    QStringList expected;
    for (const char* t : GetParam().expected)
        expected.append(QString::fromUtf8(t));
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(
    History, HistorySearch,
    ::testing::Values(SearchCase{"percent", "5%", {"up 5% today"}},
                      SearchCase{"underscore", "a_b", {"a_b"}},
                      SearchCase{"backslash", "k\\s", {"back\\slash"}},
                      SearchCase{"singleQuote", "O'B", {"O'Brien"}},
                      SearchCase{"doubleQuote", "\"hi\"", {"say \"hi\""}},
                      SearchCase{"asciiCaseInsensitive", " HELLO\n", {"hello again", "Hello World"}},
                      SearchCase{"draftAndOriginal", "formal", {"rewritten"}},
                      SearchCase{"original", "selected", {"rewritten"}},
                      SearchCase{"draftOfEveryEntry", "draft of a", {"axb", "a_b"}},
                      SearchCase{"onlySpaces", "   ", {}},
                      SearchCase{"noMatch", "zzz", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryStoreTest, SearchLimitIsClamped) {
    {
        // Rows beyond the cap, as an older version may have left them.
        open();
        RawDb raw(path());
        raw.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < 600) "
                 "INSERT INTO history(created_at,mode,app_name,draft,delivered,duration,outcome) "
                 "SELECT 1.7e9+i,'clean','app','d','match '||i,1,'pasted' FROM n");
    }
    auto store = open();
    const auto all = store->search(QStringLiteral("match"), 10'000);
    ASSERT_EQ(all.size(), HistoryStore::searchLimit);
    EXPECT_EQ(all.first().delivered, "match 600");
    EXPECT_EQ(store->search(QStringLiteral("match"), 7).size(), 7);
    EXPECT_TRUE(store->search(QStringLiteral("match"), -1).isEmpty());
}

// Day boundaries are local: 23:30 and 00:10 the next morning are two days,
// whichever way the zone lies from UTC.
class HistoryDays : public HistoryStoreTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(HistoryDays, LocalMidnightSeparatesDays) {
    ScopedTimeZone zone(GetParam());
    const QDate day(2026, 3, 9);
    const QDateTime lateEvening(day, QTime(23, 30), Qt::LocalTime);
    const QDateTime earlyMorning(day.addDays(1), QTime(0, 10), Qt::LocalTime);
    clock.advance(secondsF(lateEvening.toSecsSinceEpoch() - clock.wallNow().toSecsSinceEpoch()));
    auto store = open();
    store->add(sampleEntry(QStringLiteral("abc"), lateEvening));
    store->add(sampleEntry(QStringLiteral("de"), earlyMorning));
    store->add(sampleEntry(QStringLiteral("fghi"), earlyMorning.addSecs(3600)));

    // "Now" is still the evening: the morning rows lie ahead and still count as today or later.
    auto activity = store->dailyActivity(112);
    ASSERT_EQ(activity.size(), 2);
    EXPECT_EQ(activity[day], (HistoryStore::DayActivity{day.startOfDay(), 3, 1}));
    EXPECT_EQ(activity[day.addDays(1)], (HistoryStore::DayActivity{day.addDays(1).startOfDay(), 6, 2}));

    clock.advance(seconds(3600)); // 00:30 the next day
    const auto stats = store->stats();
    EXPECT_EQ(stats.todayCount, 2);
    EXPECT_EQ(stats.todayChars, 6);
    EXPECT_EQ(stats.totalCount, 3);

    // The window counts whole local days back from today.
    clock.advance(seconds(86'400) * 110);
    EXPECT_EQ(store->dailyActivity(112).size(), 2);
    clock.advance(seconds(86'400));
    EXPECT_EQ(store->dailyActivity(112).keys(), QList<QDate>{day.addDays(1)});
    EXPECT_TRUE(store->dailyActivity(0).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(History, HistoryDays,
                         ::testing::Values("UTC", "Pacific/Kiritimati", "Pacific/Pago_Pago", "Asia/Kolkata"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '/', '_');
                             return name;
                         });

TEST(HistoryBackupPath, AddsCounterWhenNameIsTaken) {
    ScopedTimeZone zone("Asia/Shanghai");
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("history.db"));
    const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    const QString base = db + QStringLiteral(".bak-20260102-110405");
    EXPECT_EQ(HistoryStore::backupPath(db, now), base);
    for (const QString& taken : {base, base + "-1"}) {
        QFile f(taken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(HistoryStore::backupPath(db, now), base + "-2");
}

} // namespace
