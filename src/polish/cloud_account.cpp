#include "polish/cloud_account.h"

#include "core/log.h"
#include "core/settings.h"
#include "core/text.h"

namespace zelk {

CloudAccount::CloudAccount(SecretStore& store, QObject* parent) : QObject(parent), m_store(store) {}

CloudAccount& CloudAccount::shared() {
    static KeychainSecretStore store;
    static CloudAccount account(store);
    return account;
}

Task<std::optional<QString>> CloudAccount::token() {
    // Copies: GCC 12 moves from a member named in co_return.
    if (m_cached) {
        std::optional<QString> cached = m_token;
        co_return cached;
    }
    const auto result = co_await m_store.read(tokenKey);
    // A store that could not be asked is asked again next time.
    if (result.status == SecretStore::ReadStatus::failed)
        co_return std::nullopt;
    if (!m_cached) {
        m_cached = true;
        m_token = result.status == SecretStore::ReadStatus::found && !result.value.isEmpty()
                      ? std::optional<QString>(result.value)
                      : std::nullopt;
    }
    std::optional<QString> cached = m_token;
    co_return cached;
}

QUrl CloudAccount::baseUrl() const {
    if (const QByteArray env = qgetenv(baseUrlEnvironment); !env.isEmpty())
        return QUrl(QString::fromUtf8(env));
    if (auto url = Settings::defaults().string(baseUrlKey); url && !url->isEmpty())
        return QUrl(*url);
    return QUrl(QStringLiteral(ZELK_CLOUD_BASE_URL));
}

bool CloudAccount::isInternational() const {
    return Settings::defaults().string(regionKey).value_or(QString()) == QLatin1String("intl");
}

Task<bool> CloudAccount::signIn(const QString& token) {
    const QString t = text::trimmedWhitespaceAndNewlines(token);
    if (t.isEmpty())
        co_return false;
    if (!co_await m_store.write(tokenKey, t))
        co_return false;
    m_cached = true;
    m_token = t;
    co_return true;
}

Task<bool> CloudAccount::signOut() {
    const bool removed = co_await m_store.remove(tokenKey);
    if (removed) {
        m_cached = true;
        m_token.reset();
    }
    Q_EMIT signedOut();
    co_return removed;
}

void CloudAccount::reportRejectedToken() {
    qCInfo(Log::app) << "云服务拒绝了账号令牌";
    Q_EMIT tokenRejected();
}

} // namespace zelk
