#include "support/test_env.h"

#include "core/folders.h"
#include "core/settings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace zelk::test {

TestHome::TestHome()
    : m_oldHome(qgetenv("HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME")), m_oldData(qgetenv("XDG_DATA_HOME")),
      m_oldCache(qgetenv("XDG_CACHE_HOME")) {
    qputenv("HOME", m_dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_dir.path() + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (m_dir.path() + "/.local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", (m_dir.path() + "/.cache").toUtf8());
    m_store = std::make_unique<PreferenceStore>(folders::preferencesFile());
    Settings::setDefaults(m_store.get());
}

TestHome::~TestHome() {
    Settings::setDefaults(nullptr);
    Settings::setPreferredLanguagesProvider({});
    auto restore = [](const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    restore("HOME", m_oldHome);
    restore("XDG_CONFIG_HOME", m_oldConfig);
    restore("XDG_DATA_HOME", m_oldData);
    restore("XDG_CACHE_HOME", m_oldCache);
}

PreferenceStore& TestHome::reopenPreferences() {
    auto fresh = std::make_unique<PreferenceStore>(folders::preferencesFile());
    Settings::setDefaults(fresh.get());
    m_store = std::move(fresh);
    return *m_store;
}

QString sourceDir() {
    const QString fromEnv = qEnvironmentVariable("ZELK_SOURCE_DIR");
    return fromEnv.isEmpty() ? QDir::currentPath() : fromEnv;
}

QString sharedModelsDir() {
    QString root = qEnvironmentVariable("ZELK_TEST_MODELS");
    if (root.isEmpty())
        root = sourceDir() + QStringLiteral("/../shared/models");
    const QString dir = QDir::cleanPath(root + QStringLiteral("/streaming-en-zipformer-3.3M"));
    return QFileInfo::exists(dir + QStringLiteral("/tokens.txt")) ? dir : QString();
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
    return true;
}

} // namespace zelk::test
