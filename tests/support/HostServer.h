#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A server on one local address (any of 127.0.0.0/8) that counts the connections open to it at
// once, as a server limiting its clients would: a connection counts from its accept until either
// side closes it. It answers every request with a short stream, or never answers at all, or
// (Limited) answers a stream while it has no other connection open and "503" otherwise, or
// (Unreachable) never even takes a connection: its queue of connections is kept full, so the
// system drops every new one unanswered, as a host gone from the network does.
class HostServer : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Stream, Silent, Limited, Unreachable };

    explicit HostServer(Mode mode, QObject *parent = nullptr);
    ~HostServer() override;

    bool listen(const QHostAddress &address, quint16 port = 0);
    quint16 port() const { return m_server.serverPort(); }
    // "http://ADDRESS:PORT" + path.
    QString url(const QString &path) const;

    int accepted() const { return m_accepted; }
    int mostAtOnce() const { return m_mostAtOnce; }

private:
    void onConnection();
    void prune();
    void answer(QTcpSocket *socket);

    Mode m_mode;
    QTcpServer m_server;
    QList<QTcpSocket *> m_open;
    QTcpSocket *m_filler = nullptr; // the one connection an unreachable server's queue holds
    int m_accepted = 0;
    int m_mostAtOnce = 0;
};
