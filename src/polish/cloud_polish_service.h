#pragma once

#include "core/clock.h"
#include "core/task.h"
#include "polish/cloud_account.h"
#include "polish/cloud_polish_contract.h"
#include "polish/polish_vocabulary.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QNetworkAccessManager;

namespace zelk {

// Client of the cloud polish service: the account's last known status, whether
// the cloud route can serve now, polish calls with a hard time limit, failures
// turned into a reason and a notice. Main thread only; must outlive its calls.
class CloudPolishService : public QObject {
    Q_OBJECT
public:
    static constexpr Duration callTimeout = std::chrono::seconds(10);
    static constexpr Duration regionBlock = std::chrono::seconds(3600);

    CloudPolishService(CloudAccount& account, Clock& clock, QObject* parent = nullptr);
    static CloudPolishService& shared();

    const std::optional<CloudPolishStatus>& status() const { return m_status; }
    void setStatus(std::optional<CloudPolishStatus> status);
    const std::optional<QString>& notice() const { return m_notice; }
    void setNotice(std::optional<QString> notice);
    const std::optional<CloudFailure>& lastFailure() const { return m_lastFailure; }
    void setLastFailure(std::optional<CloudFailure> failure);
    bool isUnsupported() const { return m_unsupported; }

    std::optional<CloudModelPlan> servingPlan() const;
    CloudFailure unusableReason() const;

    // The polished text, or nothing; never throws.
    Task<std::optional<QString>> polish(CloudPolishRequest request);
    Task<void> refresh();
    // Starts a background refresh when the status is older than `maxAge`.
    void refreshIfStale(Duration maxAge);
    void reset();
    void clearNotice() { setNotice(std::nullopt); }

    // Settles once every refresh started in the background has finished (tests, CLI).
    bool isRefreshing() const { return m_refreshing; }

Q_SIGNALS:
    void statusChanged();
    void noticeChanged();
    void lastFailureChanged();

private:
    struct Answer {
        int statusCode = -1;
        QByteArray body;
    };
    Task<Answer> send(QString path, QByteArray method, std::optional<QByteArray> body, Duration timeout);
    void startBackgroundRefresh();

    CloudAccount& m_account;
    Clock& m_clock;
    QNetworkAccessManager* m_network;
    std::optional<CloudPolishStatus> m_status;
    std::optional<QString> m_notice;
    std::optional<CloudFailure> m_lastFailure;
    std::optional<Duration> m_fetchedAt;
    std::optional<Duration> m_regionBlockedUntil;
    bool m_refreshing = false;
    bool m_unsupported = false;
    quint64 m_generation = 0;
};

} // namespace zelk
