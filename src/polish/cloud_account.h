#pragma once

#include "core/task.h"
#include "polish/secret_store.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

namespace zelk {

// The account behind the cloud service: the access token (in the secret store,
// cached in memory once read), the service's base URL and the user's region.
class CloudAccount : public QObject {
    Q_OBJECT
public:
    static inline const QString tokenKey = QStringLiteral("account-token");
    // Overrides of the build-time service URL, strongest first.
    static inline const char* baseUrlEnvironment = "ZELK_CLOUD_BASE_URL";
    static inline const QString baseUrlKey = QStringLiteral("cloudBaseURL");
    // "intl" selects the international region; anything else is domestic.
    static inline const QString regionKey = QStringLiteral("accountRegion");

    explicit CloudAccount(SecretStore& store, QObject* parent = nullptr);
    static CloudAccount& shared();

    // The token, or nothing when none is stored (or the store cannot be read).
    Task<std::optional<QString>> token();
    QUrl baseUrl() const;
    bool isInternational() const;

    Task<bool> signIn(const QString& token);
    Task<bool> signOut();
    // The service answered 401 for our token.
    void reportRejectedToken();

Q_SIGNALS:
    void tokenRejected();
    void signedOut();

private:
    SecretStore& m_store;
    bool m_cached = false;
    std::optional<QString> m_token;
};

} // namespace zelk
