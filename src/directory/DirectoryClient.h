#pragma once

#include "directory/DirectoryServers.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrlQuery>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// One station as the directory describes it. Every text is outside text: shown as plain text,
// stored only after the database's checks.
struct DirectoryStation
{
    QString uuid; // stationuuid
    QString name;
    QString url;         // the address as entered
    QString urlResolved; // the stream address behind it (url_resolved), may be empty
    QString homepage;
    QString favicon; // the address of the station's logo, may be empty
    QString country;
    QString countryCode;
    QString state;
    QString tags; // comma separated
    QString codec;
    int bitrate = 0; // kbit/s, 0 when unknown
    int votes = 0;
    int clickCount = 0;
    bool lastCheckOk = true;

    // The address to play: the resolved one, else the address as entered.
    QString streamAddress() const { return urlResolved.isEmpty() ? url : urlResolved; }
};

// A search of the directory's stations.
struct DirectorySearch
{
    enum class Order { Votes, Clicks, Name, Bitrate };
    QString name;
    QString tag;
    QString country; // two letters go as a country code, anything else as a country's name
    Order order = Order::Votes;
    bool hideBroken = true;
    int offset = 0;
    int limit = 100;

    // The query of /json/stations/search. limit and hidebroken are always sent: the service's
    // defaults are every row and the broken stations too.
    QUrlQuery query() const;
};

// The stations of a directory reply (a JSON array of station objects), or nothing when the reply
// is not that.
std::optional<QList<DirectoryStation>> parseStations(const QByteArray &json);

// One request to the directory, tried on a server and, when that fails (no connection, no answer
// in time, an HTTP 5xx answer, a reply that is not the expected JSON or too large), once more on
// the next server. finished() comes exactly once, unless the request was aborted. The request
// deletes itself after finished() or abort().
class DirectoryRequest : public QObject
{
    Q_OBJECT
public:
    bool succeeded() const { return m_error.isEmpty(); }
    // What went wrong, as a sentence for the user; empty on success.
    QString errorText() const { return m_error; }
    // The stations the reply described (searches and look-ups by id).
    const QList<DirectoryStation> &stations() const { return m_stations; }

    // Stops the request: nothing more is read, finished() does not come.
    void abort();

signals:
    void finished();

private:
    friend class DirectoryClient;
    enum class Expect { Stations, Object };
    DirectoryRequest(QNetworkAccessManager *net, std::shared_ptr<DirectoryServers> servers, QList<QUrlQuery> queries,
                     QString path, Expect expect, int timeoutMs, QObject *parent);
    void begin();
    void attempt();
    void onReadyRead();
    void onFinished();
    void attemptFailed(const QString &text);
    void done(const QString &error);
    void dropReply();

    QNetworkAccessManager *m_net;
    std::shared_ptr<DirectoryServers> m_servers;
    QList<QUrlQuery> m_queries; // one request each, in turn; the stations are joined
    QString m_path;
    Expect m_expect;
    int m_timeoutMs;
    int m_tries = 0; // on the current query
    QString m_server;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    QTimer *m_idle = nullptr;
    QElapsedTimer m_started;
    QList<DirectoryStation> m_stations;
    QString m_error;
    bool m_over = false;
};

// The program's client of the public station directory. Every request names the program in
// its User-Agent, is read with a size limit (kMaxReplyBytes), and ends when the server sends
// nothing for a while (the timeout) or takes longer than kDeadlineMs in all.
class DirectoryClient : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 kMaxReplyBytes = 4 * 1024 * 1024;
    static constexpr int kDefaultTimeoutMs = 6000;
    static constexpr int kDeadlineMs = 30000;
    static constexpr int kUuidsPerRequest = 50;

    explicit DirectoryClient(std::shared_ptr<DirectoryServers> servers = DirectoryServers::session(),
                             QObject *parent = nullptr);
    ~DirectoryClient() override;

    // Seconds without a byte before a server counts as not answering.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }
    const std::shared_ptr<DirectoryServers> &servers() const { return m_servers; }

    // /json/stations/search with the search's query.
    DirectoryRequest *search(const DirectorySearch &search);
    // The stations with these directory ids as the directory knows them now (their current
    // addresses), through /json/stations/byuuid; many ids go in several requests, one after the
    // other, and the stations are joined. Ids the directory does not know are simply missing.
    DirectoryRequest *stationsByUuid(const QStringList &uuids);
    // Counts one click (one play) for the station with this id: /json/url/<id>.
    DirectoryRequest *countClick(const QString &uuid);

    // The User-Agent every request sends: "Halcyrix/<version>".
    static QByteArray userAgent();

private:
    std::shared_ptr<DirectoryServers> m_servers;
    QNetworkAccessManager *m_net;
    int m_timeoutMs = kDefaultTimeoutMs;
};
