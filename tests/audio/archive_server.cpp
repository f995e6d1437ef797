#include "audio/archive_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace zelk::test {

ArchiveServer::ArchiveServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this)) {
    m_route = [](const QString&) { return Reply::error(404); };
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

ArchiveServer::~ArchiveServer() = default;

QString ArchiveServer::base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()); }

int ArchiveServer::heldCount() const {
    int n = 0;
    for (const auto& s : m_held)
        n += bool(s);
    return n;
}

void ArchiveServer::onReadable(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer.append(socket->readAll());
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    m_buffers.remove(socket);
    const QString path = requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]).section('?', 0, 0) : QString();
    m_paths.append(path);
    const Reply reply = m_route(path);
    if (reply.hold) {
        m_held.append(socket);
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\n";
    head += "Content-Type: application/octet-stream\r\n";
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head + reply.body);
    socket->disconnectFromHost();
}

} // namespace zelk::test
