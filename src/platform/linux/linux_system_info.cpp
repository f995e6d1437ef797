#include "platform/linux/linux_system_info.h"

#include <QLocale>
#include <QSysInfo>

#include <unistd.h>

namespace zelk {

QStringList LinuxSystemInfo::preferredLanguages() const {
    // "C" and "POSIX" locales name no language; Qt reports them as en-US.
    return QLocale::system().uiLanguages();
}

QString LinuxSystemInfo::osVersion() const { return QSysInfo::prettyProductName(); }

quint64 LinuxSystemInfo::physicalMemory() const {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    return (pages > 0 && pageSize > 0) ? quint64(pages) * quint64(pageSize) : 0;
}

} // namespace zelk
