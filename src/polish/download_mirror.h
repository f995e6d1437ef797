#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace zelk::DownloadMirror {

enum class Region { domestic, international };

// The maker's download server for a region; $ZELK_MIRROR_BASE replaces both
// (for tests and private mirrors).
QUrl baseUrl(Region region);

// The mirror first, then the file's public origin; invalid URLs are skipped.
QList<QUrl> sources(const QString& mirrorPath, const QUrl& official, Region region);

} // namespace zelk::DownloadMirror
