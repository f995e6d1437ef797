#include "polish_test_support.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zelk;
using namespace zelk::test;

namespace {

const char* insideSession = "ZELK_KEYRING_SESSION";
const QString token = QStringLiteral("kr-9d81f0c2-token");

template <typename T>
T await(Task<T> task) {
    Launched<T> call(std::move(task));
    EXPECT_TRUE(call.wait(20'000));
    return call.value();
}

// Runs inside a private D-Bus session with an unlocked gnome-keyring (started
// by the test below): the token goes through the real Secret Service.
void roundTripInsideSession() {
    LogCapture log;
    KeychainSecretStore store;
    EXPECT_EQ(await(store.read(CloudAccount::tokenKey)).status, SecretStore::ReadStatus::absent);

    CloudAccount writer(store);
    ASSERT_TRUE(await(writer.signIn(QStringLiteral("  ") + token + QStringLiteral("\n"))));
    CloudAccount reader(store); // a later launch: nothing cached
    EXPECT_EQ(await(reader.token()), token);

    bool signedOut = false;
    QObject::connect(&reader, &CloudAccount::signedOut, [&] { signedOut = true; });
    EXPECT_TRUE(await(reader.signOut()));
    EXPECT_TRUE(signedOut);
    EXPECT_EQ(await(CloudAccount(store).token()), std::nullopt);

    for (const QString& line : log.lines())
        EXPECT_FALSE(line.contains(token)) << line.toStdString();
    QDirIterator files(qEnvironmentVariable("HOME"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly)) {
            EXPECT_FALSE(file.readAll().contains(token.toUtf8())) << file.fileName().toStdString();
        }
    }
}

TEST(Keyring, TokenRoundTripThroughTheSecretService) {
    if (qEnvironmentVariableIsSet(insideSession)) {
        roundTripInsideSession();
        return;
    }
    const QString dbus = QStandardPaths::findExecutable("dbus-run-session");
    const QString keyring = QStandardPaths::findExecutable("gnome-keyring-daemon");
    if (dbus.isEmpty() || keyring.isEmpty())
        GTEST_SKIP() << "needs dbus-run-session and gnome-keyring-daemon (packages dbus, gnome-keyring)";

    QTemporaryDir home, runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("XDG_DATA_HOME", home.path() + "/.local/share");
    env.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    env.insert(insideSession, "1");
    env.remove("DBUS_SESSION_BUS_ADDRESS");

    QProcess session;
    session.setProcessEnvironment(env);
    session.setProcessChannelMode(QProcess::MergedChannels);
    session.start(dbus, {"--", "sh", "-c",
                         "eval $(printf zelk | gnome-keyring-daemon --unlock --components=secrets --daemonize) "
                         ">/dev/null || exit 77; exec \"$0\" --gtest_filter=Keyring.TokenRoundTripThroughTheSecretService",
                         QCoreApplication::applicationFilePath()});
    ASSERT_TRUE(session.waitForFinished(60'000)) << "keyring session hung";
    const QString output = QString::fromUtf8(session.readAll());
    if (session.exitCode() == 77)
        GTEST_SKIP() << "gnome-keyring-daemon could not start: " << output.toStdString();
    EXPECT_EQ(session.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    EXPECT_TRUE(QFileInfo::exists(home.path() + "/.local/share/keyrings")) << "the daemon kept no keyring";
}

} // namespace
