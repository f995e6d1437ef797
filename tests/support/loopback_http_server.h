#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace zelk::test {

// A small HTTP/1.1 server on 127.0.0.1 for tests: every request goes to a
// handler that answers a status and a body, holds the answer back (a server
// that is too slow), or drops the connection (a network failure).
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QString path; // without the query
        QHash<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
    };
    struct Response {
        enum class Kind { answer, hold, drop };
        Kind kind = Kind::answer;
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";

        static Response json(int status, QByteArray body) { return {Kind::answer, status, std::move(body)}; }
        static Response bytes(QByteArray body) { return {Kind::answer, 200, std::move(body), "application/octet-stream"}; }
        static Response withStatus(int code) { return {Kind::answer, code, {}}; }
        static Response hold() { return {Kind::hold, 0, {}}; }
        static Response drop() { return {Kind::drop, 0, {}}; }
    };
    using Handler = std::function<Response(const Request&)>;

    explicit LoopbackHttpServer(QObject* parent = nullptr);
    ~LoopbackHttpServer() override;

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // http://127.0.0.1:<port>
    QUrl baseUrl() const;
    const QList<Request>& requests() const { return m_requests; }
    int requestCount(const QString& path) const;
    // Connections whose answer is being held back.
    int heldCount() const;
    // Answers every held request now.
    void releaseHeld(const Response& response);

private:
    void onReadable(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Response& response);

    QTcpServer* m_server;
    Handler m_handler;
    QList<Request> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<QPointer<QTcpSocket>> m_held;
};

} // namespace zelk::test
