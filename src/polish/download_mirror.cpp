#include "polish/download_mirror.h"

namespace zelk {

QUrl DownloadMirror::baseUrl(Region region) {
    if (const QByteArray env = qgetenv("ZELK_MIRROR_BASE"); !env.isEmpty())
        return QUrl(QString::fromUtf8(env));
    return QUrl(region == Region::international ? QStringLiteral(ZELK_MIRROR_INTERNATIONAL)
                                                : QStringLiteral(ZELK_MIRROR_DOMESTIC));
}

QList<QUrl> DownloadMirror::sources(const QString& mirrorPath, const QUrl& official, Region region) {
    QList<QUrl> out;
    QString base = baseUrl(region).toString();
    while (base.endsWith(u'/'))
        base.chop(1);
    const QUrl mirror(base + u'/' + mirrorPath, QUrl::StrictMode);
    for (const QUrl& url : {mirror, official})
        if (url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty())
            out.append(url);
    return out;
}

} // namespace zelk
