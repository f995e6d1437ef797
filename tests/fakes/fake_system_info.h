#pragma once

#include "platform/system_info.h"

namespace zelk::test {

class FakeSystemInfo final : public SystemInfo {
public:
    QStringList languages{QStringLiteral("en-US")};
    QString os = QStringLiteral("Test OS 1.0");
    quint64 memory = 16ull << 30;

    QStringList preferredLanguages() const override { return languages; }
    QString osVersion() const override { return os; }
    quint64 physicalMemory() const override { return memory; }
};

} // namespace zelk::test
