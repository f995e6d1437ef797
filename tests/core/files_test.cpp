#include "core/atomic_file.h"
#include "core/preference_store.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace zelk;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeRaw(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

TEST(AtomicFile, ReplacesContentKeepsModeAndLeavesNoTemporaries) {
    QTemporaryDir dir;
    const QString path = dir.filePath("nested/deeper/store.json");
    ASSERT_TRUE(writeFileAtomically(path, "one"));
    ::chmod(QFile::encodeName(path).constData(), 0600);
    ASSERT_TRUE(writeFileAtomically(path, "two"));
    EXPECT_EQ(readAll(path), "two");
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(dir.filePath("nested/deeper")).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(AtomicFile, FailureLeavesOldContentAndNoTemporaries) {
    // A folder where the file should be: the final rename fails, also for root.
    QTemporaryDir dir;
    const QString path = dir.filePath("store.json");
    writeRaw(path + "/inside", "old");
    QString error;
    EXPECT_FALSE(writeFileAtomically(path, "new", &error));
    EXPECT_TRUE(error.contains("cannot replace")) << error.toStdString();
    EXPECT_EQ(readAll(path + "/inside"), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

TEST(AtomicFile, PreserveMovesAsideWithoutClobberingEarlierCopies) {
    QTemporaryDir dir;
    const QString path = dir.filePath("dictionary.json");
    const auto when = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    writeRaw(path, "{broken");
    const auto first = preserveUnreadableFile(path, when);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->endsWith("dictionary.json.corrupt-20231114-221320"));
    writeRaw(path, "{broken again");
    const auto second = preserveUnreadableFile(path, when);
    ASSERT_TRUE(second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(readAll(*first), "{broken");
    EXPECT_EQ(readAll(*second), "{broken again");
    EXPECT_FALSE(preserveUnreadableFile(dir.filePath("absent.json")));
}

struct CorruptCase {
    const char* name;
    QByteArray content;
};

class CorruptPreferences : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptPreferences, AreKeptAsideAndTheStoreStartsEmpty) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Zelk/preferences.json");
    writeRaw(path, GetParam().content);
    PreferenceStore store(path);
    EXPECT_TRUE(store.snapshot().isEmpty());
    ASSERT_TRUE(store.preservedCorruptFile());
    EXPECT_EQ(readAll(*store.preservedCorruptFile()), GetParam().content);
    store.setValue("mode", "raw");
    EXPECT_EQ(readAll(*store.preservedCorruptFile()), GetParam().content);
    EXPECT_EQ(PreferenceStore(path).string("mode"), QStringLiteral("raw"));
}

INSTANTIATE_TEST_SUITE_P(Files, CorruptPreferences,
                         ::testing::Values(CorruptCase{"notJson", "mode = raw"}, CorruptCase{"array", "[1,2]"},
                                           CorruptCase{"truncated", "{\"mode\": \"ra"},
                                           CorruptCase{"binary", QByteArray("\x00\xff\xfe{", 4)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PreferenceStore, TypedReadsAreStrict) {
    QTemporaryDir dir;
    const QString path = dir.filePath("p.json");
    writeRaw(path, R"({"int": 120, "frac": 1.5, "text": "122", "bool": true, "null": null,
                      "date": {"$date": 1700000000.25}, "list": ["a", 1], "obj": {"k": "v"}})");
    PreferenceStore store(path);
    EXPECT_EQ(store.integer("int"), 120);
    EXPECT_FALSE(store.integer("frac"));
    EXPECT_EQ(store.number("frac"), 1.5);
    EXPECT_FALSE(store.integer("text"));
    EXPECT_FALSE(store.integer("bool"));
    EXPECT_FALSE(store.boolean("int"));
    EXPECT_FALSE(store.value("null"));
    EXPECT_FALSE(store.string("missing"));
    EXPECT_EQ(store.date("date")->toMSecsSinceEpoch(), 1'700'000'000'250);
    EXPECT_FALSE(store.date("int"));
    EXPECT_EQ(store.array("list")->size(), 2);
    EXPECT_EQ(store.object("obj")->value("k").toString(), "v");
}

TEST(PreferenceStore, WritesAreVisibleToANewProcessAndPicksUpOutsideEdits) {
    QTemporaryDir dir;
    const QString path = dir.filePath("p.json");
    PreferenceStore store(path);
    int notifications = 0;
    QObject::connect(&store, &PreferenceStore::changed, [&](const QString&) { ++notifications; });
    store.setValue("toggleKey", 122);
    store.setValue("toggleKey", 122); // unchanged: no write, no signal
    store.setDate("updateCheckedAt", QDateTime::fromSecsSinceEpoch(5, Qt::UTC));
    EXPECT_EQ(notifications, 2);
    PreferenceStore reopened(path);
    EXPECT_EQ(reopened.integer("toggleKey"), 122);
    EXPECT_EQ(reopened.date("updateCheckedAt")->toSecsSinceEpoch(), 5);

    writeRaw(path, R"({"toggleKey": 99, "extra": "kept"})");
    EXPECT_EQ(store.integer("toggleKey"), 99);
    store.remove("toggleKey");
    EXPECT_EQ(QJsonDocument::fromJson(readAll(path)).object().value("extra").toString(), "kept");
}

} // namespace
