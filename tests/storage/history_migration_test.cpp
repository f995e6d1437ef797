#include "core/clock.h"
#include "storage/history_store.h"
#include "raw_db.h"
#include "storage_test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zelk;
using test::RawDb;

namespace {

// The first layout: no polish source, no original, no totals.
constexpr const char* historyV1 = "CREATE TABLE history(id INTEGER PRIMARY KEY AUTOINCREMENT, created_at REAL NOT NULL, "
                                  "mode TEXT NOT NULL, app_name TEXT NOT NULL, draft TEXT NOT NULL, delivered TEXT NOT NULL, "
                                  "duration REAL NOT NULL, outcome TEXT NOT NULL)";
constexpr const char* addSource = "ALTER TABLE history ADD COLUMN polish_source TEXT NOT NULL DEFAULT ''";
constexpr const char* addOriginal = "ALTER TABLE history ADD COLUMN original TEXT NOT NULL DEFAULT ''";

struct LegacyCase {
    const char* name;
    std::vector<const char*> setup;     // statements that build the old file
    std::vector<const char*> sources;   // canonical sources expected, oldest row first
    bool backup;                        // a migration backup is written
    qint64 totalCount, totalChars;      // lifetime totals after opening
};

class HistoryMigration : public ::testing::TestWithParam<LegacyCase> {
protected:
    QTemporaryDir dir;
    VirtualClock clock{QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC)};
    QString path() const { return dir.filePath(QStringLiteral("history.db")); }
    QStringList backups() const { return QDir(dir.path()).entryList({QStringLiteral("history.db.bak-*")}, QDir::Files); }
    QStringList sources() {
        QStringList out;
        auto store = std::make_unique<HistoryStore>(path(), clock);
        for (auto it = store->recent().crbegin(); it != store->recent().crend(); ++it)
            out.append(it->polishSource);
        return out;
    }
};

TEST_P(HistoryMigration, BringsOldFileUpToDate) {
    const auto& c = GetParam();
    {
        RawDb raw(path());
        for (const char* sql : c.setup)
            raw.exec(QString::fromUtf8(sql));
    }
    QStringList expected;
    for (const char* s : c.sources)
        expected.append(QString::fromUtf8(s));

    EXPECT_EQ(sources(), expected);
    const QStringList firstBackups = backups();
    ASSERT_EQ(firstBackups.size(), c.backup ? 1 : 0);
    if (c.backup) {
        // The copy holds the texts as they were before the migration.
        RawDb copy(dir.filePath(firstBackups.first()));
        EXPECT_GT(copy.integer("SELECT COUNT(*) FROM history WHERE polish_source NOT IN ('', '原文', '本地润色', '云润色')"), 0);
        EXPECT_EQ(copy.integer("SELECT COUNT(*) FROM history"), qint64(c.sources.size()));
    }

    HistoryStore store(path(), clock);
    const auto stats = store.stats();
    EXPECT_EQ(stats.totalCount, c.totalCount);
    EXPECT_EQ(stats.totalChars, c.totalChars);
    // The per-day figures start from the rows that were there.
    qint64 activityCount = 0;
    for (const auto& day : store.dailyActivity(112))
        activityCount += day.count;
    EXPECT_EQ(activityCount, qint64(c.sources.size()));

    // A second start changes nothing and writes no further backup.
    EXPECT_EQ(sources(), expected);
    EXPECT_EQ(backups(), firstBackups);
    EXPECT_EQ(store.stats(), stats);
}

// Rows of the sample: 1.77e9 is 2026-02-02.
#define ROW(source) "INSERT INTO history(created_at,mode,app_name,draft,delivered,duration,outcome" source
INSTANTIATE_TEST_SUITE_P(
    History, HistoryMigration,
    ::testing::Values(
        LegacyCase{"firstLayout",
                   {historyV1, ROW(") VALUES(1.77e9,'clean','Kate','d','你好',1.5,'pasted')"),
                    ROW(") VALUES(1.77e9+60,'raw','Kate','d','hello',2,'copied')")},
                   {"", ""}, false, 2, 7},
        LegacyCase{"sourceWithoutOriginal",
                   {historyV1, addSource, ROW(",polish_source) VALUES(1.77e9,'clean','a','d','abc',1,'pasted','原文')"),
                    ROW(",polish_source) VALUES(1.77e9+1,'clean','a','d','de',1,'pasted',' 本地润色（Qwen3-1.7B）')")},
                   {"原文", "本地润色"}, true, 2, 5},
        LegacyCase{"freeTextSources",
                   {historyV1, addSource, addOriginal,
                    ROW(",polish_source) VALUES(1.77e9,'clean','a','d','x',1,'pasted','gpt-4o-mini')"),
                    ROW(",polish_source) VALUES(1.77e9+1,'clean','a','d','y',1,'pasted','云润色')"),
                    ROW(",polish_source) VALUES(1.77e9+2,'clean','a','d','z',1,'pasted','\n本地润色 · llama\n')"),
                    "CREATE TABLE totals(id INTEGER PRIMARY KEY CHECK(id=1), count INTEGER NOT NULL, "
                    "chars INTEGER NOT NULL, seconds REAL NOT NULL)",
                    // Pruned rows counted earlier stay counted.
                    "INSERT INTO totals VALUES(1, 900, 12000, 3600)"},
                   {"云润色", "云润色", "本地润色"}, true, 900, 12000},
        LegacyCase{"nullableSourceColumn",
                   {historyV1, "ALTER TABLE history ADD COLUMN polish_source TEXT",
                    ROW(") VALUES(1.77e9,'clean','a','d','nul',1,'pasted')")},
                   {""}, false, 1, 3}),
    [](const auto& info) { return std::string(info.param.name); });
#undef ROW

TEST(HistoryNewerLayout, ExtraColumnsAndTablesKeepWorking) {
    QTemporaryDir dir;
    VirtualClock clock;
    const QString path = dir.filePath(QStringLiteral("history.db"));
    { HistoryStore store(path, clock); }
    {
        RawDb raw(path);
        raw.exec("ALTER TABLE history ADD COLUMN tone INTEGER NOT NULL DEFAULT 2");
        raw.exec("ALTER TABLE history ADD COLUMN tags TEXT");
        raw.exec("CREATE TABLE sync_state(k TEXT PRIMARY KEY, v TEXT)");
    }
    HistoryStore store(path, clock);
    ASSERT_TRUE(store.hasDatabase());
    store.add(test::sampleEntry(QStringLiteral("newer"), clock.wallNow()));
    ASSERT_EQ(store.recent().size(), 1);
    EXPECT_EQ(store.recent().first().delivered, "newer");
    EXPECT_EQ(store.search(QStringLiteral("new")).size(), 1);
    EXPECT_EQ(store.stats().totalCount, 1);
    EXPECT_EQ(RawDb(path).integer("SELECT tone FROM history"), 2);
}

} // namespace
