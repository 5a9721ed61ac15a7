#include "DirectoryStub.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

DirectoryStub::DirectoryStub(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    m_server->listen(QHostAddress::LocalHost);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QObject::destroyed, this, [this, socket] { m_pending.remove(socket); });
        }
    });
}

DirectoryStub::~DirectoryStub() = default;

QString DirectoryStub::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort());
}

void DirectoryStub::serve(const QString &path, const QByteArray &body, int offset)
{
    m_bodies.insert(offset < 0 ? path : path + QLatin1Char('@') + QString::number(offset), body);
}

int DirectoryStub::hits(const QString &path) const
{
    int n = 0;
    for (const Request &r : m_requests)
        n += r.path == path;
    return n;
}

QByteArray DirectoryStub::stations(const QString &prefix, int count, const QString &streamUrl, int first)
{
    QJsonArray rows;
    for (int i = first; i < first + count; ++i) {
        rows.append(QJsonObject{{"stationuuid", QStringLiteral("%1-%2").arg(prefix).arg(i)},
                                {"name", QStringLiteral("%1 %2").arg(prefix).arg(i)},
                                {"url", streamUrl},
                                {"url_resolved", streamUrl},
                                {"homepage", "https://example.org/"},
                                {"country", "Germany"},
                                {"countrycode", "DE"},
                                {"state", ""},
                                {"tags", "jazz,smooth jazz"},
                                {"codec", "MP3"},
                                {"bitrate", 128},
                                {"votes", 1000 - i},
                                {"clickcount", 10},
                                {"lastcheckok", 1}});
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Compact);
}

void DirectoryStub::onReadyRead(QTcpSocket *socket)
{
    QByteArray &data = m_pending[socket];
    data += socket->readAll();
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = data.left(end).split('\n');
    data.clear();
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    const QUrl url(QString::fromLatin1(first.value(1)));
    Request request{url.path(), QUrlQuery(url), {}};
    for (const QByteArray &line : lines)
        if (line.toLower().startsWith("user-agent:"))
            request.userAgent = line.mid(11).trimmed();
    m_requests.append(request);

    switch (m_mode) {
    case Mode::Silent:
        return; // the connection stays open and nothing comes
    case Mode::Status:
        socket->write(QByteArray("HTTP/1.1 ") + QByteArray::number(m_status) +
                      " Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    case Mode::Endless: {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n[");
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] {
            if (socket->bytesToWrite() < 1024 * 1024)
                socket->write(QByteArray(64 * 1024, ' '));
        });
        timer->start(1);
        return;
    }
    case Mode::Normal:
        break;
    }
    const QString offset = request.query.queryItemValue(QStringLiteral("offset"));
    QByteArray body =
        m_bodies.value(request.path + QLatin1Char('@') + offset, m_bodies.value(request.path, QByteArray()));
    const bool found = m_bodies.contains(request.path + QLatin1Char('@') + offset) || m_bodies.contains(request.path);
    socket->write((found ? QByteArray("HTTP/1.1 200 OK\r\n") : QByteArray("HTTP/1.1 404 Not Found\r\n")) +
                  "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
                  "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
