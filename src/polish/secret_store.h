#pragma once

#include "core/task.h"

#include <QString>

#include <optional>

namespace zelk {

// Where secrets live. Reads answer nothing when the entry is absent; `Failed`
// distinguishes a store that could not be asked from an absent entry.
class SecretStore {
public:
    enum class ReadStatus { found, absent, failed };
    struct ReadResult {
        ReadStatus status = ReadStatus::failed;
        QString value;
    };

    virtual ~SecretStore() = default;
    virtual Task<ReadResult> read(const QString& key) = 0;
    virtual Task<bool> write(const QString& key, const QString& value) = 0;
    // Answers true when the entry is gone afterwards (also when it never existed).
    virtual Task<bool> remove(const QString& key) = 0;
};

// The desktop's Secret Service through qtkeychain, under the service name
// "cn.zelk.mac". Error texts from the store are logged; values never are.
class KeychainSecretStore final : public SecretStore {
public:
    static inline const QString serviceName = QStringLiteral("cn.zelk.mac");

    Task<ReadResult> read(const QString& key) override;
    Task<bool> write(const QString& key, const QString& value) override;
    Task<bool> remove(const QString& key) override;
};

} // namespace zelk
