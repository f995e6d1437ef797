#include "app/cli.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

Run runZelk(const QStringList& args) {
    QProcess process;
    process.start(qEnvironmentVariable("ZELK_BUILD_DIR") + QStringLiteral("/zelk"), args);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

TEST(CommandLine, VersionAndHelp) {
    const auto version = runZelk({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("zelk %1\n").arg(QStringLiteral(ZELK_VERSION)));

    const auto help = runZelk({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: zelk"));
    for (const auto& command : zelk::cli::commands())
        EXPECT_TRUE(help.out.contains(command.synopsis)) << command.name.toStdString();
}

TEST(CommandLine, UnknownCommandIsAUsageError) {
    const auto run = runZelk({"frobnicate"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("unknown command or option 'frobnicate'"));
}

} // namespace
