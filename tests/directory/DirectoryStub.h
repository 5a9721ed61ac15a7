#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrlQuery>

class QTcpServer;
class QTcpSocket;

// A station directory server for tests on 127.0.0.1, written for them: it answers paths with
// given replies in the directory's JSON shape, and remembers every request (path, query,
// User-Agent). A server can also answer every path with one HTTP status, never answer, or
// send an endless reply.
class DirectoryStub : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Normal, Status, Silent, Endless };
    struct Request
    {
        QString path;
        QUrlQuery query;
        QByteArray userAgent;
    };

    explicit DirectoryStub(QObject *parent = nullptr);
    ~DirectoryStub() override;

    QString base() const; // http://127.0.0.1:PORT
    void setMode(Mode mode, int status = 503)
    {
        m_mode = mode;
        m_status = status;
    }
    // Answers path with body; for a search, offset picks the page (-1: any offset).
    void serve(const QString &path, const QByteArray &body, int offset = -1);
    QList<Request> requests() const { return m_requests; }
    int hits(const QString &path) const;

    // A search reply of count stations named prefix 1, prefix 2, ... with ids prefix-1, ... whose
    // addresses are streamUrl.
    static QByteArray stations(const QString &prefix, int count, const QString &streamUrl, int first = 1);

private:
    void onReadyRead(QTcpSocket *socket);

    QTcpServer *m_server;
    Mode m_mode = Mode::Normal;
    int m_status = 503;
    QHash<QString, QByteArray> m_bodies; // by path, or path + "@" + offset
    QHash<QTcpSocket *, QByteArray> m_pending;
    QList<Request> m_requests;
};
