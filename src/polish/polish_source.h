#pragma once

#include "polish/polish_vocabulary.h"

#include <QList>
#include <QString>

#include <optional>

namespace zelk {

class CloudPolishService;
class LocalPolishEngine;

// Which routes may polish a text now, and how history names the one that did.
namespace PolishSource {

inline const QString original = QStringLiteral("原文");
inline const QString local = QStringLiteral("本地润色");
inline const QString cloud = QStringLiteral("云润色");

// A stored source text → one of the canonical labels (or empty).
QString displayLabel(const QString& stored);

// Cloud first (when usable), then the local engine for `clean`. When
// `officialUsable` is absent the cloud service is asked for a serving plan.
QList<PolishRoute> currentRoutes(PolishMode mode, std::optional<bool> officialUsable, const CloudPolishService& cloud,
                                 const LocalPolishEngine& engine);
bool currentLocalModeUnsupported(PolishMode mode, std::optional<bool> officialUsable, const CloudPolishService& cloud);
QString priorityLabel(const QList<PolishRoute>& routes, bool localUnsupported);

} // namespace PolishSource
} // namespace zelk
