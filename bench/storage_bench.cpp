// links: zelk_storage
#include "core/clock.h"
#include "storage/history_store.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

using namespace zelk;

namespace {

constexpr int lifetimeSessions = 100'000;
const QDateTime benchNow(QDate(2026, 6, 30), QTime(18, 0), Qt::UTC);

// A history of 100 000 sessions spread over the past year, written in the
// first layout (no totals): opening it seeds the lifetime figures from the
// rows, and the first add prunes the table to its 500 newest rows.
struct Fixture {
    QTemporaryDir dir;
    VirtualClock clock{benchNow};
    std::unique_ptr<HistoryStore> store;

    Fixture() {
        const QString path = dir.filePath(QStringLiteral("history.db"));
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db,
                     "CREATE TABLE history(id INTEGER PRIMARY KEY AUTOINCREMENT, created_at REAL NOT NULL, "
                     "mode TEXT NOT NULL, app_name TEXT NOT NULL, draft TEXT NOT NULL, delivered TEXT NOT NULL, "
                     "duration REAL NOT NULL, outcome TEXT NOT NULL)",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO history(created_at,mode,app_name,draft,delivered,duration,outcome) "
                               "VALUES(?1,'clean','Kate',?2,?2,4.2,'pasted')", -1, &insert, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        const double end = double(benchNow.toSecsSinceEpoch());
        const double span = 365.0 * 86'400;
        for (int i = 0; i < lifetimeSessions; ++i) {
            const QByteArray text = QStringLiteral("第%1次口述：明天下午三点和产品团队开会，讨论新版本的发布计划").arg(i).toUtf8();
            sqlite3_bind_double(insert, 1, end - span + span * i / lifetimeSessions);
            sqlite3_bind_text(insert, 2, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_finalize(insert);
        sqlite3_close(db);

        store = std::make_unique<HistoryStore>(path, clock);
        store->add(entry(-1));
    }

    HistoryEntry entry(int i) const {
        HistoryEntry e;
        e.createdAt = clock.wallNow();
        e.mode = QStringLiteral("clean");
        e.appName = QStringLiteral("Kate");
        e.draft = QStringLiteral("新的一条口述 %1").arg(i);
        e.delivered = e.draft;
        e.duration = 3.0;
        e.outcome = QStringLiteral("pasted");
        e.polishSource = QStringLiteral("原文");
        return e;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_HistoryAddToFullTable(benchmark::State& state) {
    auto& f = fixture();
    int i = 0;
    for (auto _ : state)
        f.store->add(f.entry(i++));
    state.counters["rows"] = double(f.store->search(QStringLiteral("口述"), 10'000).size());
}
BENCHMARK(BM_HistoryAddToFullTable)->Unit(benchmark::kMillisecond);

void BM_HistorySearch(benchmark::State& state) {
    auto& f = fixture();
    const QString query = state.range(0) ? QStringLiteral("口述") : QStringLiteral("没有这句话");
    qsizetype found = 0;
    for (auto _ : state)
        found = f.store->search(query, 200).size();
    state.counters["found"] = double(found);
}
BENCHMARK(BM_HistorySearch)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_HistoryStats(benchmark::State& state) {
    auto& f = fixture();
    HistoryStore::Stats stats;
    for (auto _ : state)
        benchmark::DoNotOptimize(stats = f.store->stats());
    state.counters["totalCount"] = double(stats.totalCount);
}
BENCHMARK(BM_HistoryStats)->Unit(benchmark::kMillisecond);

void BM_HistoryYearOfActivity(benchmark::State& state) {
    auto& f = fixture();
    qsizetype days = 0;
    for (auto _ : state)
        days = f.store->dailyActivity(365).size();
    state.counters["days"] = double(days);
}
BENCHMARK(BM_HistoryYearOfActivity)->Unit(benchmark::kMillisecond);

} // namespace
