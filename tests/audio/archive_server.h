#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace zelk::test {

// A loopback HTTP/1.1 server for archive downloads: each GET is routed by path to
// a status with a body, or held without an answer (a stalled server).
class ArchiveServer : public QObject {
    Q_OBJECT
public:
    struct Reply {
        int status = 200;
        QByteArray body;
        bool hold = false;
        static Reply ok(QByteArray body) { return {200, std::move(body), false}; }
        static Reply error(int status) { return {status, {}, false}; }
        static Reply stall() { return {0, {}, true}; }
    };
    using Route = std::function<Reply(const QString& path)>;

    explicit ArchiveServer(QObject* parent = nullptr);
    ~ArchiveServer() override;

    void setRoute(Route route) { m_route = std::move(route); }
    QString base() const; // http://127.0.0.1:<port>
    const QStringList& paths() const { return m_paths; }
    int count(const QString& path) const { return int(m_paths.count(path)); }
    int heldCount() const;

private:
    void onReadable(QTcpSocket* socket);

    QTcpServer* m_server;
    Route m_route;
    QStringList m_paths;
    QList<QPointer<QTcpSocket>> m_held;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

} // namespace zelk::test
