#pragma once

#include "player/MetafileResolver.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;
class QTcpSocket;

// Whether a station's address still answers, found out as tuning would up to the first bytes of
// the stream, without playing: the player's resolver follows the metafiles and their limits, and
// each entry it hands out is connected to until its answer shows whether a stream is there.
class AddressCheck : public QObject
{
    Q_OBJECT
public:
    using Failure = MetafileResolver::Failure;

    struct Outcome
    {
        bool answers = false;
        bool checked = true; // false: an address of a kind that cannot be checked (udp, rtp, srt)
        Failure failure = Failure::Other;
        int httpStatus = 0;
        QString reason;     // "Refused", "HTTP error 404", ...
        QString detail;     // what went wrong, naming the address that failed
        bool heard = false; // some server answered something (a header, a byte)
    };

    // How long a connection may take to be made, apart from the time limit of the whole check.
    static constexpr int kConnectTimeoutMs = 4000;

    // The port a stream protocol spoken over TCP listens on when the address names none; -1 for
    // a scheme whose check connects to nothing (udp, rtp, srt).
    static int defaultPort(const QString &scheme);

    // The short text that names a failure.
    static QString reasonText(Failure failure, int httpStatus = 0);

    // net serves the stream connections; it must outlive the check.
    explicit AddressCheck(QNetworkAccessManager *net, QObject *parent = nullptr);
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }
    ~AddressCheck() override;

    // Starts checking address; finished() follows within timeLimitMs. A check under way is
    // dropped first.
    void start(const QString &address, int timeLimitMs);
    // Drops the check under way; finished() does not follow.
    void cancel();
    bool busy() const { return m_busy; }

signals:
    void finished(const AddressCheck::Outcome &outcome);

private:
    void probe(const MetafileResolver::Entry &entry);
    void probeHttp(const QString &address);
    void probeTcp(const QString &address);
    void look(QNetworkReply *reply, bool complete);
    void probeFailed(const QString &text, Failure failure, int httpStatus = 0);
    void finish(const Outcome &outcome);
    void dropProbe();
    void connectTimedOut();

    QNetworkAccessManager *m_net;
    MetafileResolver m_resolver;
    MetafileResolver::Entry m_entry; // the entry being connected to
    QPointer<QNetworkReply> m_reply;
    QTcpSocket *m_socket = nullptr;
    QTimer m_limit;
    QTimer m_connectLimit; // the connection of the entry being connected to
    int m_connectTimeoutMs = kConnectTimeoutMs;
    bool m_heard = false;
    int m_playlistLevel = 0; // playlists of segments followed to reach m_reply
    bool m_busy = false;
};
