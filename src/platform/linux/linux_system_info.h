#pragma once

#include "platform/system_info.h"

namespace zelk {

class LinuxSystemInfo final : public SystemInfo {
public:
    // LANGUAGE, LC_ALL, LC_MESSAGES and LANG, as the desktop's own programs read them.
    QStringList preferredLanguages() const override;
    QString osVersion() const override;
    quint64 physicalMemory() const override;
};

} // namespace zelk
