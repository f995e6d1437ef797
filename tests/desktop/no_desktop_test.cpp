#include "desktop/desktop_fixture.h"
#include "fakes/fake_clipboard.h"
#include "platform/linux/x11_hotkey_source.h"
#include "system/hotkey_monitor.h"
#include "system/selection_reader.h"
#include "system/text_injector.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

using namespace zelk;

namespace {

// Runs in a child process without X display or session bus (see below).
TEST(NoDesktop, EveryOperationAnswersAbsentWithoutCrashing) {
    if (qEnvironmentVariable("ZELK_NO_DESKTOP_CHILD") != QLatin1String("1"))
        GTEST_SKIP() << "runs as a child of NoDesktop.ChildPasses";
    AtspiAccessibility ax;
    EXPECT_FALSE(ax.isAvailable());
    EXPECT_FALSE(ax.isTrusted(true));
    EXPECT_FALSE(ax.focusedElement());
    EXPECT_FALSE(ax.focusedWindow(1));
    LinuxWorkspace workspace;
    EXPECT_FALSE(workspace.frontmostApplication());
    EXPECT_FALSE(workspace.activate(1));
    XTestKeys keys;
    EXPECT_FALSE(keys.postPaste());
    EXPECT_FALSE(keys.postCopy());
    HotkeyMonitor monitor(std::make_unique<X11HotkeySource>());
    EXPECT_FALSE(monitor.start());
    monitor.setCapturingEscape(true);

    test::FakeClipboard clipboard; // a clipboard needs a display
    RealClock clock;
    DesktopServices services{ax, workspace, clipboard, keys, clock};
    EXPECT_FALSE(TargetSnapshot::capture(services));
    std::optional<TextInjector::Outcome> outcome;
    spawn([&](CancellationToken) -> Task<void> {
        outcome = co_await TextInjector::deliver(services, QStringLiteral("hi"), std::nullopt);
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, TextInjector::Outcome(TextInjector::Copied{QStringLiteral("未记录目标")}));
    std::optional<std::optional<QString>> selection;
    spawn([&](CancellationToken) -> Task<void> { selection = co_await SelectionReader::readViaCopy(services); });
    ASSERT_TRUE(selection);
    EXPECT_EQ(*selection, std::nullopt);
}

TEST(NoDesktop, ChildPasses) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    env.remove(QStringLiteral("ZELK_TEST_GUI"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/zelk-bus"));
    env.insert(QStringLiteral("ZELK_NO_DESKTOP_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=NoDesktop.EveryOperationAnswersAbsentWithoutCrashing")});
    ASSERT_TRUE(child.waitForFinished(30000));
    const QString out = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << out.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test"))) << out.toStdString();
}

} // namespace
