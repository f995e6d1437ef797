#include "core/atomic_file.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelk {

namespace {
QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}
} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder)) {
        setError(error, QStringLiteral("cannot create folder %1").arg(folder));
        return false;
    }
    QByteArray tmpl = QFile::encodeName(folder + QLatin1Char('/') + QLatin1Char('.') + info.fileName() + QStringLiteral(".tmp-XXXXXX"));
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, QStringLiteral("cannot create temporary file in %1: %2").arg(folder, errnoText()));
        return false;
    }
    // Keep the permissions of the file being replaced; new files follow the umask.
    struct stat existing {};
    if (::stat(QFile::encodeName(path).constData(), &existing) == 0) {
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            setError(error, QStringLiteral("cannot write %1: %2").arg(path, errnoText()));
            ::close(fd);
            ::unlink(tmpl.constData());
            return false;
        }
        p += n;
        left -= n;
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        setError(error, QStringLiteral("cannot flush %1: %2").arg(path, errnoText()));
        ::unlink(tmpl.constData());
        return false;
    }
    if (::rename(tmpl.constData(), QFile::encodeName(path).constData()) != 0) {
        setError(error, QStringLiteral("cannot replace %1: %2").arg(path, errnoText()));
        ::unlink(tmpl.constData());
        return false;
    }
    // Make the rename itself durable.
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

std::optional<QString> preserveUnreadableFile(const QString& path, const QDateTime& now) {
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const QString base = path + QStringLiteral(".corrupt-") + now.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int i = 2; QFileInfo::exists(target); ++i)
        target = base + QLatin1Char('-') + QString::number(i);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0)
        return std::nullopt;
    return target;
}

} // namespace zelk
