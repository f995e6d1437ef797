#pragma once

#include "core/clock.h"
#include "core/task.h"
#include "polish/cloud_account.h"
#include "polish/cloud_polish_service.h"
#include "polish/secret_store.h"
#include "support/loopback_http_server.h"
#include "support/test_env.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <optional>

namespace zelk::test {

// Secrets in memory; `failing` makes every call fail like a locked keyring.
class MemorySecretStore final : public SecretStore {
public:
    QHash<QString, QString> values;
    bool failing = false;
    int reads = 0;

    Task<ReadResult> read(const QString& key) override {
        ++reads;
        if (failing)
            co_return ReadResult{ReadStatus::failed, {}};
        if (!values.contains(key))
            co_return ReadResult{ReadStatus::absent, {}};
        co_return ReadResult{ReadStatus::found, values.value(key)};
    }
    Task<bool> write(const QString& key, const QString& value) override {
        if (failing)
            co_return false;
        values.insert(key, value);
        co_return true;
    }
    Task<bool> remove(const QString& key) override {
        if (failing)
            co_return false;
        values.remove(key);
        co_return true;
    }
};

// Starts a task now and keeps its result for the test to look at.
template <typename T>
class Launched {
public:
    explicit Launched(Task<T> task) : m_state(std::make_shared<State>()) { run(std::move(task), m_state); }
    bool done() const { return m_state->done; }
    const T& value() const { return *m_state->value; }
    bool wait(int ms = 5000) const {
        auto s = m_state;
        return waitUntil([s] { return s->done; }, ms);
    }

private:
    struct State {
        bool done = false;
        std::optional<T> value;
    };
    static Detached run(Task<T> task, std::shared_ptr<State> state) {
        state->value.emplace(co_await task);
        state->done = true;
    }
    std::shared_ptr<State> m_state;
};

inline QByteArray meBody(QJsonObject polish) { return QJsonDocument(QJsonObject{{"polish", polish}}).toJson(); }
inline QByteArray servingMe(int used = 0, int quota = 100) {
    return meBody({{"active", true}, {"state", "active"}, {"used", used}, {"quota", quota},
                   {"available_in_region", true}});
}

// A cloud service on a virtual clock, talking to a loopback server that
// answers /v1/me with a serving status and /v1/polish with `polishAnswer`.
class CloudHarness {
public:
    static inline const QString token = QStringLiteral("tok-5ecret-7f3a9c");

    CloudHarness() {
        qputenv(CloudAccount::baseUrlEnvironment, server.baseUrl().toString().toUtf8());
        secrets.values.insert(CloudAccount::tokenKey, token);
        server.setHandler([this](const LoopbackHttpServer::Request& r) {
            if (r.path == QLatin1String("/v1/me"))
                return meAnswer;
            if (r.path == QLatin1String("/v1/polish"))
                return polishAnswer;
            return LoopbackHttpServer::Response::withStatus(404);
        });
    }
    ~CloudHarness() { qunsetenv(CloudAccount::baseUrlEnvironment); }

    // Fetches the status once, as a launch would.
    void refresh() {
        Launched<bool> r([](CloudPolishService& s) -> Task<bool> {
            co_await s.refresh();
            co_return true;
        }(service));
        r.wait();
    }
    std::optional<QString> polish(CloudPolishRequest request) {
        Launched<std::optional<QString>> r(service.polish(std::move(request)));
        r.wait();
        return r.value();
    }
    static CloudPolishRequest request(const QString& text = QStringLiteral("今天天气不错我们出去走走")) {
        CloudPolishRequest r;
        r.text = text;
        r.mode = QStringLiteral("clean");
        return r;
    }

    TestHome home;
    VirtualClock clock;
    LoopbackHttpServer server;
    MemorySecretStore secrets;
    CloudAccount account{secrets};
    CloudPolishService service{account, clock};
    LoopbackHttpServer::Response meAnswer = LoopbackHttpServer::Response::json(200, servingMe());
    LoopbackHttpServer::Response polishAnswer =
        LoopbackHttpServer::Response::json(200, R"({"text":"今天天气不错，我们出去走走。","remaining":50})");
};

} // namespace zelk::test

namespace zelk::test {

// Collects every log line while it lives.
class LogCapture {
public:
    LogCapture() {
        s_lines = &m_lines;
        m_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
            s_lines->append(m);
        });
    }
    ~LogCapture() {
        qInstallMessageHandler(m_previous);
        s_lines = nullptr;
    }
    const QStringList& lines() const { return m_lines; }
    bool contains(const QString& text) const {
        for (const QString& line : m_lines)
            if (line.contains(text))
                return true;
        return false;
    }

private:
    static inline QStringList* s_lines = nullptr;
    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};

} // namespace zelk::test
