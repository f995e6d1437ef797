#include "support/test_env.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

// Runs `zelk text` with a throwaway HOME; `input` goes to standard input.
Run runText(const QStringList& args, const QByteArray& input = {}) {
    zelk::test::TestHome home;
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.start(qEnvironmentVariable("ZELK_BUILD_DIR") + QStringLiteral("/zelk"), QStringList{"text"} + args);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

TEST(TextCommand, DeliversCorrectedTypesetText) {
    const auto run = runText({"我用iPhone拍照,很好.打开扣扣音乐"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("我用 iPhone 拍照，很好。打开 QQ 音乐\n"));
    EXPECT_EQ(runText({"--no-builtin", "打开扣扣音乐"}).out, QStringLiteral("打开扣扣音乐\n"));
}

TEST(TextCommand, CalculationsAndStandardInput) {
    EXPECT_EQ(runText({}, "帮我算一下三加四乘以五\n").out, QStringLiteral("3 + 4 × 5 = 23\n"));
    const auto run = runText({"--json", "帮我算一下今天吃什么"});
    ASSERT_EQ(run.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(o.value("delivered").toString(), QStringLiteral("帮我算一下今天吃什么"));
    EXPECT_EQ(o.value("math").toObject().value("kind").toString(), QStringLiteral("intent"));
    EXPECT_EQ(o.value("math").toObject().value("expression").toString(), QStringLiteral("今天吃什么"));
}

TEST(TextCommand, DictionaryFileAndErrors) {
    QTemporaryDir dir;
    const QString good = dir.filePath("d.json"), bad = dir.filePath("bad.json");
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"(["吉特哈布=GitHub"])");
    f.close();
    QFile b(bad);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("{");
    b.close();
    EXPECT_EQ(runText({"--dictionary", good, "打开吉特哈布"}).out, QStringLiteral("打开 GitHub\n"));
    EXPECT_EQ(runText({"--dictionary", bad, "x"}).exitCode, 1);
    EXPECT_EQ(runText({"--dictionary"}).exitCode, 2);
    EXPECT_EQ(runText({"--frobnicate"}).exitCode, 2);
    EXPECT_EQ(runText({"  "}).exitCode, 1);
}

TEST(TextCommand, NotePhrasesAreFiledNotTyped) {
    const auto task = runText({"帮我记个任务，买牛奶"});
    EXPECT_EQ(task.exitCode, 0) << task.err.toStdString();
    EXPECT_EQ(task.out, QStringLiteral("task: 买牛奶\n"));
    const auto note = runText({"--json", "速记 明天下午三点开会"});
    ASSERT_EQ(note.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(note.out.toUtf8()).object();
    EXPECT_EQ(o.value("delivered").toString(), QString());
    EXPECT_EQ(o.value("note").toObject().value("kind").toString(), QStringLiteral("note"));
    EXPECT_EQ(o.value("note").toObject().value("text").toString(), QStringLiteral("明天下午三点开会"));
    // A trigger with nothing after it is ordinary text; a calculation is not a note.
    EXPECT_EQ(runText({"记个任务"}).out, QStringLiteral("记个任务\n"));
    EXPECT_TRUE(QJsonDocument::fromJson(runText({"--json", "帮我算一下一加一"}).out.toUtf8()).object().value("note").isNull());
}

} // namespace
