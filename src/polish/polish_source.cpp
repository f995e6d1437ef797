#include "polish/polish_source.h"

#include "core/settings.h"
#include "core/text.h"
#include "polish/cloud_polish_service.h"
#include "polish/local_polish_engine.h"

namespace zelk {

namespace {

bool cloudUsable(std::optional<bool> given, const CloudPolishService& cloud) {
    return given ? *given : cloud.servingPlan().has_value();
}

QString routeName(PolishRoute route) { return route == PolishRoute::official ? PolishSource::cloud : PolishSource::local; }

} // namespace

QString PolishSource::displayLabel(const QString& stored) {
    const QString t = text::trimmedWhitespaceAndNewlines(stored);
    if (t.isEmpty() || t == original)
        return t;
    if (t.startsWith(local))
        return local;
    return cloud;
}

QList<PolishRoute> PolishSource::currentRoutes(PolishMode mode, std::optional<bool> officialUsable,
                                               const CloudPolishService& cloudService, const LocalPolishEngine& engine) {
    if (Settings::skipPolish())
        return {};
    QList<PolishRoute> routes;
    if (cloudUsable(officialUsable, cloudService))
        routes.append(PolishRoute::official);
    if (mode == PolishMode::clean && Settings::localPolish() && engine.isReady())
        routes.append(PolishRoute::local);
    return routes;
}

bool PolishSource::currentLocalModeUnsupported(PolishMode mode, std::optional<bool> officialUsable,
                                               const CloudPolishService& cloudService) {
    return Settings::localPolish() && !Settings::skipPolish() && !cloudUsable(officialUsable, cloudService) &&
           mode != PolishMode::raw && mode != PolishMode::clean && mode != PolishMode::ask;
}

QString PolishSource::priorityLabel(const QList<PolishRoute>& routes, bool localUnsupported) {
    if (routes.isEmpty())
        return localUnsupported ? QStringLiteral("原文（本地润色仅支持「整理」模式）") : original;
    return QStringLiteral("优先：") + routeName(routes[0]) + QStringLiteral("｜备用：") +
           (routes.size() > 1 ? routeName(routes[1]) : original);
}

} // namespace zelk
