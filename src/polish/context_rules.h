#pragma once

#include "core/vocabulary.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace zelk::ContextRules {

// (keywords, mode) rows, searched in order; keywords are lower-case substrings
// of the application's name.
const QList<std::pair<QStringList, PolishMode>>& builtinAppModeDefaults();

// The mode the frontmost application implies: the user's table (keys matched
// against the bundle id and the name), then the built-in table (names only),
// then `fallback`.
PolishMode resolveMode(const std::optional<QString>& bundleID, const std::optional<QString>& appName,
                       const QHash<QString, QString>& userMap, PolishMode fallback);

} // namespace zelk::ContextRules
