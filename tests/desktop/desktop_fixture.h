#pragma once

#include "core/clock.h"
#include "platform/linux/linux_desktop.h"
#include "system/desktop_services.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace zelk::test {

// The real desktop services, as the application wires them.
struct RealDesktop : LinuxDesktop {
    RealClock clock;
    DesktopServices services{accessibility, workspace, clipboard, keys, clock};
};

// Why tests needing an X display (and, with `accessibility`, the AT-SPI bus)
// cannot run here; empty when they can.
QString missingDesktop(bool accessibility);

// A program on the test desktop, stopped (and reaped) when this goes away.
class LaunchedApp {
public:
    LaunchedApp(const QString& program, const QStringList& args, const QStringList& extraEnvironment = {});
    ~LaunchedApp();
    LaunchedApp(const LaunchedApp&) = delete;
    LaunchedApp& operator=(const LaunchedApp&) = delete;

    qint64 pid() const { return m_process.processId(); }
    // Waits until the program's window is the active one.
    bool waitUntilActive(int timeoutMs = 10000);
    // Everything it printed so far.
    QString output();
    void stop();

private:
    QProcess m_process;
    QString m_output;
};

// mousepad with settings kept in memory: a killed instance leaves a session
// backup that would make the next one open a restore dialog instead.
std::unique_ptr<LaunchedApp> launchMousepad();

// The test editor built beside this test (three fields, key log on stdout).
QString testEditorPath();

// Runs xdotool with `args` while this process keeps serving its event loop; answers its success.
bool xdotool(const QStringList& args);

// Waits until accessibility reports a focused text element (one with a value).
std::optional<AccessibleElement> waitForFocusedElement(Accessibility& ax, int timeoutMs = 10000);

// Runs the event loop for `ms` (after a paste the target fetches the clipboard from us).
void serveEventsFor(int ms);

} // namespace zelk::test

#define ZELK_SKIP_WITHOUT_DESKTOP(accessibility)                                                                        \
    do {                                                                                                               \
        const QString why = ::zelk::test::missingDesktop(accessibility);                                               \
        if (!why.isEmpty())                                                                                            \
            GTEST_SKIP() << why.toStdString();                                                                         \
    } while (0)
