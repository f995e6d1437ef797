#pragma once

#include <QString>
#include <QStringList>

namespace zelk {

// Facts about the user's system that settings and texts depend on.
class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    // Preferred UI languages, most preferred first, as BCP 47 names ("zh-Hans-CN", "en-US").
    virtual QStringList preferredLanguages() const = 0;
    // A human-readable OS name and version, for logs and user agents.
    virtual QString osVersion() const = 0;
    // Physical memory in bytes.
    virtual quint64 physicalMemory() const = 0;
};

} // namespace zelk
