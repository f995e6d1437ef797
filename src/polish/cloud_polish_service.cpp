#include "polish/cloud_polish_service.h"

#include "core/log.h"
#include "core/settings.h"
#include "core/timeout.h"

#include <QCoroNetworkReply>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <stdexcept>

namespace zelk {

namespace {

class NetworkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

qint64 wholeMilliseconds(Duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

} // namespace

CloudPolishService::CloudPolishService(CloudAccount& account, Clock& clock, QObject* parent)
    : QObject(parent), m_account(account), m_clock(clock), m_network(new QNetworkAccessManager(this)) {
    connect(&m_account, &CloudAccount::tokenRejected, this, &CloudPolishService::reset);
    connect(&m_account, &CloudAccount::signedOut, this, &CloudPolishService::reset);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                refreshIfStale(std::chrono::seconds(20));
        });
    }
}

CloudPolishService& CloudPolishService::shared() {
    static CloudPolishService service(CloudAccount::shared(), Clock::shared());
    return service;
}

void CloudPolishService::setStatus(std::optional<CloudPolishStatus> status) {
    if (status == m_status)
        return;
    m_status = std::move(status);
    Q_EMIT statusChanged();
}

void CloudPolishService::setNotice(std::optional<QString> notice) {
    if (notice == m_notice)
        return;
    m_notice = std::move(notice);
    Q_EMIT noticeChanged();
}

void CloudPolishService::setLastFailure(std::optional<CloudFailure> failure) {
    if (failure == m_lastFailure)
        return;
    m_lastFailure = failure;
    Q_EMIT lastFailureChanged();
}

std::optional<CloudModelPlan> CloudPolishService::servingPlan() const {
    if (Settings::cloudPolishUserDisabled() || !m_status)
        return std::nullopt;
    auto plan = m_status->servingPlan(CloudModelOption::automatic);
    if (!plan)
        return std::nullopt;
    if (m_regionBlockedUntil && *m_regionBlockedUntil > m_clock.now())
        return std::nullopt;
    return plan;
}

CloudFailure CloudPolishService::unusableReason() const {
    if (m_status) {
        const auto& s = *m_status;
        const bool exhausted = s.lastRemaining ? *s.lastRemaining < 1 : (s.quota >= 1 && s.quota - s.used < 1);
        if (exhausted)
            return CloudFailure::quota;
    }
    return m_lastFailure == CloudFailure::network ? CloudFailure::network : CloudFailure::unavailable;
}

Task<std::optional<QString>> CloudPolishService::polish(CloudPolishRequest request) {
    if (!servingPlan())
        co_return std::nullopt;
    request.model = QStringLiteral("auto");
    const quint64 generation = m_generation;
    const Duration started = m_clock.now();

    Answer answer;
    try {
        // Arguments are bound before the await: GCC 12 destroys temporaries of an
        // await that throws twice.
        Task<Answer> call = send(QStringLiteral("/v1/polish"), "POST", request.toJson(), callTimeout);
        answer = co_await std::move(call);
    } catch (const std::exception& e) {
        const bool timedOut = dynamic_cast<const TimeoutError*>(&e) != nullptr;
        qCInfo(Log::app).noquote() << QStringLiteral("云润色请求失败（%1）%2ms，回退")
                                          .arg(timedOut ? QStringLiteral("超时") : QStringLiteral("网络"))
                                          .arg(wholeMilliseconds(m_clock.now() - started));
        if (generation == m_generation) {
            setLastFailure(CloudFailure::network);
            setNotice(QStringLiteral("云润色暂时连不上，请检查网络"));
        }
        co_return std::nullopt;
    }
    qCInfo(Log::app).noquote()
        << QStringLiteral("云润色 → %1 · %2ms").arg(answer.statusCode).arg(wholeMilliseconds(m_clock.now() - started));
    if (generation != m_generation)
        co_return std::nullopt;

    if (answer.statusCode == 200) {
        const auto result = CloudPolishContract::parse(answer.body);
        if (!result) {
            qCInfo(Log::app) << "云润色返回内容无法使用";
            setLastFailure(CloudFailure::unavailable);
            co_return std::nullopt;
        }
        if (m_status) {
            CloudPolishStatus s = *m_status;
            if (result->used)
                s.used = *result->used;
            if (result->quota)
                s.quota = *result->quota;
            s.lastRemaining = result->remaining;
            setStatus(s);
        }
        setNotice(std::nullopt);
        setLastFailure(std::nullopt);
        co_return result->text;
    }

    const auto code = CloudPolishContract::errorCode(answer.body);
    setLastFailure(code == QLatin1String("quota_exceeded") ? CloudFailure::quota : CloudFailure::unavailable);
    if (answer.statusCode == 401) {
        m_account.reportRejectedToken();
        co_return std::nullopt;
    }
    if (auto notice = CloudPolishContract::polishNotice(answer.statusCode, code))
        setNotice(*notice);
    if (answer.statusCode == 403 && code == QLatin1String("region_unavailable"))
        m_regionBlockedUntil = m_clock.now() + regionBlock;
    if (code == QLatin1String("quota_exceeded") && m_status) {
        CloudPolishStatus s = *m_status;
        s.used = std::max(s.used, s.quota);
        s.lastRemaining = 0;
        setStatus(s);
    }
    if (CloudPolishContract::shouldRefreshStatus(answer.statusCode))
        startBackgroundRefresh();
    co_return std::nullopt;
}

Task<void> CloudPolishService::refresh() {
    if (m_refreshing)
        co_return;
    const auto token = co_await m_account.token();
    if (!token || m_refreshing)
        co_return;
    m_refreshing = true;
    const quint64 generation = m_generation;
    Answer answer;
    try {
        Task<Answer> call = send(QStringLiteral("/v1/me"), "GET", std::nullopt, callTimeout);
        answer = co_await std::move(call);
    } catch (const std::exception&) {
        if (generation == m_generation)
            m_refreshing = false;
        co_return;
    }
    if (generation != m_generation)
        co_return; // reset() already cleared `refreshing` for the new generation
    m_fetchedAt = m_clock.now();
    const auto me = CloudPolishContract::parseMe(answer.statusCode, answer.body);
    m_unsupported = std::holds_alternative<CloudPolishContract::Unsupported>(me);
    if (auto* s = std::get_if<CloudPolishStatus>(&me)) {
        setStatus(*s);
    } else if (m_unsupported) {
        setStatus(std::nullopt);
    } else if (std::holds_alternative<CloudPolishContract::Unauthorized>(me)) {
        setStatus(std::nullopt);
        m_refreshing = false;
        m_account.reportRejectedToken();
        co_return;
    }
    m_refreshing = false;
}

void CloudPolishService::refreshIfStale(Duration maxAge) {
    if (m_fetchedAt) {
        const Duration hour = std::chrono::seconds(3600);
        const Duration limit = (m_unsupported && maxAge <= hour) ? hour : maxAge;
        if (m_clock.now() - *m_fetchedAt < limit)
            return;
    }
    startBackgroundRefresh();
}

void CloudPolishService::startBackgroundRefresh() {
    // The token check happens inside refresh(): reading it may need the store.
    spawn([self = QPointer<CloudPolishService>(this)](CancellationToken) -> Task<void> {
        if (self)
            co_await self->refresh();
    });
}

void CloudPolishService::reset() {
    ++m_generation;
    m_refreshing = false;
    setStatus(std::nullopt);
    setNotice(std::nullopt);
    setLastFailure(std::nullopt);
    m_fetchedAt.reset();
    m_unsupported = false;
    m_regionBlockedUntil.reset();
}

Task<CloudPolishService::Answer> CloudPolishService::send(QString path, QByteArray method,
                                                          std::optional<QByteArray> body, Duration timeout) {
    const auto token = co_await m_account.token();
    QUrl url = m_account.baseUrl();
    QString basePath = url.path();
    while (basePath.endsWith(u'/'))
        basePath.chop(1);
    url.setPath(basePath + path);

    QNetworkRequest request(url);
    request.setTransferTimeout(int(wholeMilliseconds(timeout)));
    request.setRawHeader("Authorization", "Bearer " + token.value_or(QString()).toUtf8());
    request.setRawHeader("User-Agent", "Zelk-Mac/" ZELK_VERSION);
    if (body)
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));

    QPointer<QNetworkAccessManager> network = m_network;
    auto exchange = [network, request, method, body](CancellationToken cancel) -> Task<Answer> {
        if (!network)
            throw NetworkError("network gone");
        QNetworkReply* reply = body ? network->sendCustomRequest(request, method, *body)
                                    : network->sendCustomRequest(request, method);
        QPointer<QNetworkReply> guard = reply;
        auto registration = cancel.onCancel([guard] {
            if (guard)
                guard->abort();
        });
        co_await qCoro(reply).waitForFinished();
        if (!guard)
            throw NetworkError("reply gone");
        reply->deleteLater();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid())
            throw NetworkError(reply->errorString().toStdString());
        co_return Answer{status.toInt(), reply->readAll()};
    };
    Task<Answer> bounded = withTimeout<Answer>(m_clock, timeout, exchange);
    co_return co_await std::move(bounded);
}

} // namespace zelk
