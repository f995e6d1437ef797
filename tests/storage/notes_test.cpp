#include "core/clock.h"
#include "storage/notes_store.h"
#include "raw_db.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zelk;
using test::RawDb;

namespace {

struct RouteCase {
    const char* name;
    const char* text;
    std::optional<NoteKind> kind;
    const char* content;
};

class NotesRouting : public ::testing::TestWithParam<RouteCase> {};

TEST_P(NotesRouting, MatchesTriggerPhrases) {
    const auto& c = GetParam();
    const auto got = NotesRouter::match(QString::fromUtf8(c.text));
    ASSERT_EQ(got.has_value(), c.kind.has_value());
    if (got) {
        EXPECT_EQ(got->first, *c.kind);
        EXPECT_EQ(got->second, QString::fromUtf8(c.content));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Notes, NotesRouting,
    ::testing::Values(
        RouteCase{"taskWithComma", "帮我记个任务，买牛奶", NoteKind::task, "买牛奶"},
        RouteCase{"longestTaskFirst", "帮我记一下任务：买菜", NoteKind::task, "买菜"},
        RouteCase{"noteNotTask", "帮我记一下明天开会", NoteKind::note, "明天开会"},
        RouteCase{"rememberBeforeShort", "帮我记住密码在抽屉里", NoteKind::note, "密码在抽屉里"},
        RouteCase{"spacesAround", "  速记 明天下午三点开会 \n", NoteKind::note, "明天下午三点开会"},
        RouteCase{"manySeparators", "新建任务 ：,.！! 。、写周报", NoteKind::task, "写周报"},
        RouteCase{"crlfSeparator", "添加任务\r\n交房租", NoteKind::task, "交房租"},
        RouteCase{"contentKeepsInnerPunctuation", "记一下：第一，买票。", NoteKind::note, "第一，买票。"},
        RouteCase{"twoCharacters", "速记ab", NoteKind::note, "ab"},
        RouteCase{"emojiCountsOnce", "速记：👩‍👩‍👧", std::nullopt, ""},
        RouteCase{"triggerAlone", "记个任务", std::nullopt, ""},
        RouteCase{"oneCharacterLeft", "记个任务：a", std::nullopt, ""},
        RouteCase{"onlyHelp", "帮我", std::nullopt, ""},
        RouteCase{"notAtStart", "今天帮我记一下任务买菜", std::nullopt, ""},
        RouteCase{"ordinaryText", "明天见", std::nullopt, ""}),
    [](const auto& info) { return std::string(info.param.name); });

class NotesStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VirtualClock clock;
    QString path() const { return dir.filePath(QStringLiteral("Zelk/notes.db")); }
};

TEST_F(NotesStoreTest, TickDeleteClearAndExport) {
    NotesStore store(path(), clock);
    QSignalSpy changed(&store, &NotesStore::itemsChanged);
    store.add(NoteKind::task, QStringLiteral("买牛奶"));
    clock.advance(seconds(1));
    store.add(NoteKind::note, QStringLiteral("明天开会"));
    ASSERT_EQ(store.items().size(), 2);
    EXPECT_EQ(store.items()[0].text, "明天开会"); // newest first
    EXPECT_EQ(store.items()[1].createdAt, clock.wallNow().addSecs(-1));
    const qint64 taskId = store.items()[1].id;

    store.setDone(taskId, true);
    EXPECT_EQ(store.exportMarkdown(), "- [x] 买牛奶\n- 明天开会");
    store.setDone(taskId, false);
    EXPECT_EQ(store.exportMarkdown(), "- [ ] 买牛奶\n- 明天开会");
    EXPECT_EQ(changed.count(), 4);
    store.setDone(taskId, false); // nothing changes, nothing is told
    EXPECT_EQ(changed.count(), 4);

    store.add(NoteKind::task, QStringLiteral("交房租"));
    store.setDone(taskId, true);
    store.setDone(store.items()[0].id, true);
    store.clearDone();
    ASSERT_EQ(store.items().size(), 1);
    EXPECT_EQ(store.items()[0].kind, NoteKind::note);
    store.remove(store.items()[0].id);
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_EQ(store.exportMarkdown(), "");
}

TEST_F(NotesStoreTest, ReadsOddRowsAndShowsNewest200) {
    {
        NotesStore store(path(), clock);
        for (int i = 1; i <= 201; ++i)
            store.add(NoteKind::note, QStringLiteral("note %1").arg(i));
        ASSERT_EQ(store.items().size(), NotesStore::shownLimit);
        EXPECT_EQ(store.items().first().text, "note 201");
        const QStringList lines = store.exportMarkdown().split('\n');
        ASSERT_EQ(lines.size(), 200);
        EXPECT_EQ(lines.first(), "- note 2");
        EXPECT_EQ(lines.last(), "- note 201");
    }
    {
        RawDb raw(path());
        EXPECT_EQ(raw.integer("SELECT COUNT(*) FROM notes"), 201);
        raw.exec("INSERT INTO notes(created_at,kind,text,done) VALUES(1.7e9,'reminder','odd kind',1)");
        raw.exec("INSERT INTO notes(created_at,kind,text,done) VALUES(1.7e9,'task','done as 2',2)");
    }
    NotesStore reopened(path(), clock);
    ASSERT_EQ(reopened.items().size(), 200);
    EXPECT_EQ(reopened.items()[0].kind, NoteKind::task);
    EXPECT_FALSE(reopened.items()[0].done);
    EXPECT_EQ(reopened.items()[1].kind, NoteKind::note);
    EXPECT_TRUE(reopened.items()[1].done);
    EXPECT_TRUE(reopened.exportMarkdown().endsWith("- odd kind\n- [ ] done as 2"));
}

TEST_F(NotesStoreTest, TextIsStoredLiterally) {
    NotesStore store(path(), clock);
    const QString text = QStringLiteral("'); DROP TABLE notes; --\n") + QChar(0) + QStringLiteral("\t末尾");
    store.add(NoteKind::task, text);
    NotesStore reopened(path(), clock);
    ASSERT_EQ(reopened.items().size(), 1);
    EXPECT_EQ(reopened.items()[0].text, text);
}

} // namespace
