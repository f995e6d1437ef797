#include "support/loopback_http_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace zelk::test {

LoopbackHttpServer::LoopbackHttpServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this)) {
    m_handler = [](const Request&) { return Response::withStatus(404); };
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        qFatal("loopback server cannot listen: %s", qPrintable(m_server->errorString()));
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

LoopbackHttpServer::~LoopbackHttpServer() = default;

QUrl LoopbackHttpServer::baseUrl() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()));
}

int LoopbackHttpServer::requestCount(const QString& path) const {
    int n = 0;
    for (const auto& r : m_requests)
        n += r.path == path ? 1 : 0;
    return n;
}

int LoopbackHttpServer::heldCount() const {
    int n = 0;
    for (const auto& s : m_held)
        n += (s && s->state() == QAbstractSocket::ConnectedState) ? 1 : 0;
    return n;
}

void LoopbackHttpServer::releaseHeld(const Response& response) {
    const auto held = std::exchange(m_held, {});
    for (const auto& s : held)
        if (s && s->state() == QAbstractSocket::ConnectedState)
            answer(s, response);
}

void LoopbackHttpServer::onReadable(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    const QByteArray target = first.value(1);
    request.path = QUrl::fromPercentEncoding(target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?')));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() < headerEnd + 4 + length)
        return;
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.clear();
    m_requests.append(request);
    const Response response = m_handler(request);
    switch (response.kind) {
    case Response::Kind::hold: m_held.append(socket); break;
    case Response::Kind::drop: socket->abort(); break;
    case Response::Kind::answer: answer(socket, response); break;
    }
}

void LoopbackHttpServer::answer(QTcpSocket* socket, const Response& response) {
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    out += "Content-Type: " + response.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += response.body;
    socket->write(out);
    socket->disconnectFromHost();
}

} // namespace zelk::test
