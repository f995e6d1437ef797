#include "core/folders.h"

#include <QDir>

namespace zelk::folders {

namespace {
// An XDG variable counts only when it holds an absolute path.
QString xdg(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : fallback;
}
} // namespace

QString home() { return QDir::homePath(); }
QString configHome() { return xdg("XDG_CONFIG_HOME", home() + QStringLiteral("/.config")); }
QString dataHome() { return xdg("XDG_DATA_HOME", home() + QStringLiteral("/.local/share")); }
QString cacheHome() { return xdg("XDG_CACHE_HOME", home() + QStringLiteral("/.cache")); }

QString preferencesFile() { return configHome() + QStringLiteral("/Zelk/preferences.json"); }
QString applicationSupport() { return dataHome() + QStringLiteral("/Zelk"); }
// The model caches sit under the home's .cache as the model tools expect.
QString asrModelCache() { return home() + QStringLiteral("/.cache/zelk-asr"); }
QString llmCache() { return home() + QStringLiteral("/.cache/zelk-llm"); }

} // namespace zelk::folders
