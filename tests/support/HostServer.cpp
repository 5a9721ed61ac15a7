#include "HostServer.h"

#include <QTcpSocket>
#include <sys/socket.h>

HostServer::HostServer(Mode mode, QObject *parent) : QObject(parent), m_mode(mode)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HostServer::onConnection);
}

HostServer::~HostServer()
{
    qDeleteAll(m_open);
}

bool HostServer::listen(const QHostAddress &address, quint16 port)
{
    if (m_mode != Mode::Unreachable)
        return m_server.listen(address, port);
    m_server.setListenBacklogSize(0);
    if (!m_server.listen(address, port))
        return false;
    m_server.pauseAccepting();
    m_filler = new QTcpSocket(this);
    m_filler->connectToHost(address, m_server.serverPort());
    return m_filler->waitForConnected(5000);
}

QString HostServer::url(const QString &path) const
{
    return QStringLiteral("http://%1:%2%3").arg(m_server.serverAddress().toString()).arg(port()).arg(path);
}

void HostServer::prune()
{
    // A connection the client closed is gone even before its end was read here: its socket
    // reads as ended (nothing left to read, and end of file).
    for (qsizetype i = m_open.size() - 1; i >= 0; --i) {
        QTcpSocket *socket = m_open[i];
        char byte;
        const bool ended = socket->state() != QAbstractSocket::ConnectedState ||
                           ::recv(int(socket->socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
        if (ended) {
            m_open.removeAt(i);
            socket->disconnect(this);
            socket->deleteLater();
        }
    }
}

void HostServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        prune();
        ++m_accepted;
        m_open.append(socket);
        m_mostAtOnce = qMax(m_mostAtOnce, int(m_open.size()));
        const bool alone = m_open.size() == 1;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, alone] {
            const QByteArray request = socket->readAll();
            if (m_mode == Mode::Silent || !request.contains("\r\n\r\n"))
                return;
            if (m_mode == Mode::Limited && !alone)
                socket->write("HTTP/1.0 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n");
            else
                socket->write("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: bench\r\n\r\n" +
                              QByteArray(8192, '\x01'));
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_open.removeOne(socket);
            socket->deleteLater();
        });
    }
}
