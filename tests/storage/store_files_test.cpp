#include "core/clock.h"
#include "storage/history_store.h"
#include "storage/notes_store.h"
#include "raw_db.h"
#include "storage_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace zelk;
using test::RawDb;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Collects the critical lines logged while it lives.
class LogCapture {
public:
    LogCapture() { s_lines.clear(), m_previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    QStringList lines() const { return s_lines; }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg)
            s_lines.append(message);
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

// A well-formed history file with enough rows to span many pages.
QByteArray sampleDatabaseBytes(const QString& scratchDir, Clock& clock) {
    const QString path = scratchDir + QStringLiteral("/sample.db");
    {
        HistoryStore store(path, clock);
        for (int i = 0; i < 40; ++i)
            store.add(test::sampleEntry(QString(2000, QChar(u'a' + i % 26)), clock.wallNow()));
    } // closing the last connection folds the log into the file
    return readAll(path);
}

struct DamageCase {
    const char* name;
    std::function<QByteArray(const QByteArray& good)> damage;
};

class UnreadableFile : public ::testing::TestWithParam<DamageCase> {
protected:
    QTemporaryDir dir;
    VirtualClock clock;
};

TEST_P(UnreadableFile, IsKeptAsideAndAFreshDatabaseTakesOver) {
    const QByteArray damaged = GetParam().damage(sampleDatabaseBytes(dir.path(), clock));
    const QString path = dir.filePath(QStringLiteral("Zelk/history.db"));
    writeAll(path, damaged);

    LogCapture log;
    {
        HistoryStore store(path, clock);
        ASSERT_TRUE(store.hasDatabase());
        EXPECT_TRUE(store.recent().isEmpty());
        store.add(test::sampleEntry(QStringLiteral("after"), clock.wallNow()));
    }
    const QStringList aside = QDir(dir.filePath("Zelk")).entryList({QStringLiteral("history.db.corrupt-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1) << aside.join(' ').toStdString();
    EXPECT_EQ(readAll(dir.filePath("Zelk/" + aside[0])), damaged);
    EXPECT_TRUE(log.lines().join('\n').contains(QStringLiteral("历史库无法读取，已移到 "))) << log.lines().join('\n').toStdString();

    HistoryStore reopened(path, clock);
    ASSERT_EQ(reopened.recent().size(), 1);
    EXPECT_EQ(reopened.recent()[0].delivered, "after");
}

INSTANTIATE_TEST_SUITE_P(
    Storage, UnreadableFile,
    ::testing::Values(
        DamageCase{"notADatabase", [](const QByteArray&) { return QByteArray("{\"terms\": [\"not sqlite\"]}\n").repeated(300); }},
        DamageCase{"truncatedToHalf", [](const QByteArray& good) { return good.left(good.size() / 2); }},
        DamageCase{"truncatedInsideFirstPage", [](const QByteArray& good) { return good.left(1000); }},
        DamageCase{"zeroedMiddle",
                   [](const QByteArray& good) {
                       QByteArray bad = good;
                       const qsizetype from = 4096 * 2;
                       bad.replace(from, 4096 * 3, QByteArray(4096 * 3, '\0'));
                       return bad;
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UnreadableLog, MovesAsideWithItsFile) {
    QTemporaryDir dir;
    VirtualClock clock;
    const QString scratch = dir.filePath(QStringLiteral("scratch.db"));
    const QString path = dir.filePath(QStringLiteral("history.db"));
    {
        RawDb raw(scratch);
        raw.exec("PRAGMA journal_mode=WAL");
        raw.exec("CREATE TABLE t(x TEXT)");
        for (int i = 0; i < 30; ++i)
            raw.exec(QStringLiteral("INSERT INTO t VALUES('%1')").arg(QString(3000, QChar('a' + i % 26))));
        raw.exec("PRAGMA wal_checkpoint(TRUNCATE)");
        raw.exec("PRAGMA wal_autocheckpoint=0");
        raw.exec("INSERT INTO t VALUES('only in the log')");
        // Copied while the connection is open: the log still holds the last row.
        QByteArray main = readAll(scratch);
        main.replace(4096 * 2, 4096 * 4, QByteArray(4096 * 4, '\0'));
        writeAll(path, main);
        writeAll(path + "-wal", readAll(scratch + "-wal"));
    }
    const QByteArray log = readAll(path + "-wal");
    ASSERT_GT(log.size(), 0);
    HistoryStore store(path, clock);
    ASSERT_TRUE(store.hasDatabase());
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("history.db.corrupt-*-wal")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readAll(dir.filePath(aside[0])), log);
}

TEST(UnreadableNotes, AreKeptAsideToo) {
    QTemporaryDir dir;
    VirtualClock clock;
    const QString path = dir.filePath(QStringLiteral("notes.db"));
    writeAll(path, QByteArray(5000, '\x7f'));
    NotesStore store(path, clock);
    ASSERT_TRUE(store.hasDatabase());
    store.add(NoteKind::note, QStringLiteral("still filed"));
    EXPECT_EQ(store.items().size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("notes.db.corrupt-*")}).size(), 1);
}

TEST(UnopenableFile, LeavesAnInertStoreAndTouchesNothing) {
    QTemporaryDir dir;
    VirtualClock clock;
    const QString path = dir.filePath(QStringLiteral("history.db"));
    ASSERT_TRUE(QDir().mkpath(path)); // a folder where the file should be
    LogCapture log;
    HistoryStore store(path, clock);
    EXPECT_FALSE(store.hasDatabase());
    EXPECT_TRUE(log.lines().contains(QStringLiteral("历史库打开失败：") + path)) << log.lines().join('\n').toStdString();
    const auto entry = test::sampleEntry(QStringLiteral("kept in memory"), clock.wallNow());
    store.add(entry);
    EXPECT_EQ(store.lastSession(), entry);
    EXPECT_TRUE(store.recent().isEmpty());
    EXPECT_TRUE(store.search(QStringLiteral("kept")).isEmpty());
    EXPECT_EQ(store.stats(), HistoryStore::Stats{});
    EXPECT_TRUE(store.dailyActivity(112).isEmpty());
    store.clear();
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"history.db"});

    NotesStore notes(path, clock);
    EXPECT_FALSE(notes.hasDatabase());
    notes.add(NoteKind::task, QStringLiteral("ignored"));
    EXPECT_TRUE(notes.items().isEmpty());
}

// The writer half of the crash test: adds entries until it is killed,
// printing the number of each entry once add() has returned.
constexpr const char* writerVariable = "ZELK_TEST_HISTORY_WRITER";

void runWriter(const QString& path) {
    VirtualClock clock;
    HistoryStore store(path, clock);
    for (int i = 0;; ++i) {
        store.add(test::sampleEntry(QStringLiteral("entry %1 ").arg(i) + QString(i % 300, QChar(u'字')), clock.wallNow(), 1.0));
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}

TEST(HistoryCrash, KilledWriterLosesAtMostTheEntryBeingWritten) {
    if (qEnvironmentVariableIsSet(writerVariable))
        return runWriter(qEnvironmentVariable(writerVariable));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.db"));
    QProcess writer;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(writerVariable, path);
    writer.setProcessEnvironment(env);
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=HistoryCrash.KilledWriterLosesAtMostTheEntryBeingWritten")});
    ASSERT_TRUE(writer.waitForStarted());
    // The last entry number the writer printed; gtest's own lines are skipped.
    QByteArray output;
    auto acknowledged = [&] {
        int last = -1;
        for (const QByteArray& line : output.split('\n'))
            if (!line.isEmpty() && std::all_of(line.begin(), line.end(), [](char c) { return std::isdigit(uchar(c)); }))
                last = line.toInt();
        return last;
    };
    // Let it get well into the burst, then kill it without warning.
    while (acknowledged() < 150 && writer.state() == QProcess::Running) {
        writer.waitForReadyRead(10'000);
        output += writer.readAllStandardOutput();
    }
    ::kill(pid_t(writer.processId()), SIGKILL);
    ASSERT_TRUE(writer.waitForFinished(10'000));
    // A line cut short by the kill has no line feed yet and is not counted.
    output += writer.readAllStandardOutput();
    output.truncate(output.lastIndexOf('\n') + 1);
    const int acked = acknowledged();
    ASSERT_GE(acked, 150);

    VirtualClock clock;
    LogCapture log;
    HistoryStore store(path, clock);
    ASSERT_TRUE(store.hasDatabase());
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.corrupt-*")}).isEmpty());
    RawDb raw(path);
    const qint64 rows = raw.integer("SELECT COUNT(*) FROM history");
    // Every acknowledged entry is there; at most the one in flight besides.
    EXPECT_GE(rows, acked + 1);
    EXPECT_LE(rows, acked + 2);
    // Rows, totals and day figures moved together.
    EXPECT_EQ(store.stats().totalCount, rows);
    EXPECT_EQ(raw.integer("SELECT SUM(count) FROM day_totals"), rows);
    EXPECT_EQ(raw.integer("SELECT SUM(LENGTH(delivered)) FROM history"), store.stats().totalChars);
    const auto matches = store.search(QStringLiteral("entry 1"), 500);
    for (const auto& e : matches) {
        const int n = e.delivered.section(' ', 1, 1).toInt();
        EXPECT_EQ(e.delivered, QStringLiteral("entry %1 ").arg(n) + QString(n % 300, QChar(u'字')));
    }
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
}

} // namespace
