#include "desktop/desktop_fixture.h"

#include "support/test_env.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace zelk::test {

QString missingDesktop(bool accessibility) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("no X display: run the desktop tests through tools/desktop-session.sh");
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QStringLiteral("no GUI application: set ZELK_TEST_GUI=1");
    if (accessibility && !AtspiAccessibility().isAvailable())
        return QStringLiteral("no accessibility bus: run the desktop tests through tools/desktop-session.sh");
    return {};
}

LaunchedApp::LaunchedApp(const QString& program, const QStringList& args, const QStringList& extraEnvironment) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    if (!extraEnvironment.isEmpty())
        m_process.setEnvironment(QProcess::systemEnvironment() + extraEnvironment);
    m_process.start(program, args);
    m_process.waitForStarted(5000);
}

LaunchedApp::~LaunchedApp() { stop(); }

void LaunchedApp::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString LaunchedApp::output() {
    m_output += QString::fromUtf8(m_process.readAll());
    return m_output;
}

bool LaunchedApp::waitUntilActive(int timeoutMs) {
    LinuxWorkspace workspace;
    return waitUntil(
        [&] {
            const auto front = workspace.frontmostApplication();
            return front && front->pid == pid();
        },
        timeoutMs);
}

std::unique_ptr<LaunchedApp> launchMousepad() {
    return std::make_unique<LaunchedApp>(QStringLiteral("mousepad"), QStringList{QStringLiteral("--disable-server")},
                                         QStringList{QStringLiteral("GSETTINGS_BACKEND=memory")});
}

QString testEditorPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/zelk_test_editor"); }

bool xdotool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForStarted(5000))
        return false;
    waitUntil([&] { return p.state() == QProcess::NotRunning; }, 10000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

std::optional<AccessibleElement> waitForFocusedElement(Accessibility& ax, int timeoutMs) {
    std::optional<AccessibleElement> found;
    waitUntil([&] { return (found = ax.focusedElement()) && ax.characterCount(*found); }, timeoutMs);
    return found;
}

void serveEventsFor(int ms) {
    waitUntil([] { return false; }, ms);
}

} // namespace zelk::test
