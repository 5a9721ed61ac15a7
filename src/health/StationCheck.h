#pragma once

#include "health/AddressCheck.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

class QNetworkAccessManager;
class QTcpSocket;

// A run of checks over a list of stations. Many addresses are checked at once, but never more
// than a few at once on one host: some servers take one connection per address, and a station
// must not look dead because we opened too many. The stations are grouped by the server they
// connect to first (host and port). Before its stations, each server is tried once: a name that
// does not resolve, a connection refused or not made in time is then the answer of all its
// stations, and a server that took the first few checks and answered none within the time limit
// is taken to answer none of the rest. A station that failed while other checks were connected
// to its host, on a host that answers, is checked again alone before its failure counts. Each
// outcome is handed out as it comes and not kept here.
class StationCheck : public QObject
{
    Q_OBJECT
public:
    static constexpr int kParallel = 64;
    static constexpr int kPerHost = 4;
    static constexpr int kTimeLimitMs = 10000;
    static constexpr int kConnectTimeoutMs = AddressCheck::kConnectTimeoutMs;

    struct Station
    {
        qint64 rowid = -1;
        QString name;
        QString address;
        QString category;
    };
    struct Result
    {
        Station station;
        AddressCheck::Outcome outcome;
    };
    struct Limits
    {
        int parallel = kParallel;
        int timeLimitMs = kTimeLimitMs;
        int perHost = kPerHost;
        int connectTimeoutMs = kConnectTimeoutMs;
    };

    explicit StationCheck(int parallel = kParallel, int timeLimitMs = kTimeLimitMs, QObject *parent = nullptr);
    explicit StationCheck(const Limits &limits, QObject *parent = nullptr);
    ~StationCheck() override;

    // Checks the stations; a run under way is stopped first.
    void start(QList<Station> stations);
    // Checks one more station: in the run under way, or in a run of its own.
    void add(const Station &station);
    // Ends the run at once; the outcomes handed out so far stand.
    void stop();

    bool running() const { return m_running; }
    int done() const { return m_done; }
    int total() const { return m_total; }
    const Limits &limits() const { return m_limits; }
    int timeLimitMs() const { return m_limits.timeLimitMs; }
    // The most connections of this run open at once to one host.
    int mostAtOnceOnOneHost() const { return m_mostOnOneHost; }

    // The server a station's check connects to first, as "host:port", and its host; empty for an
    // address reached otherwise (a local file, no address, a kind that is not connected to).
    static QString serverOf(const QString &address, QString *host = nullptr, quint16 *port = nullptr);

signals:
    void checked(const StationCheck::Result &result);
    void progress(int done, int total);
    void finished(); // every station was checked (not after stop())

private:
    struct Server
    {
        QString key; // host:port; empty for the stations that connect to no server of their own
        QString host;
        quint16 port = 0;
        std::deque<Station> waiting;
        std::deque<Result> doubtful; // failed beside other checks of the host: checked again alone
        enum class State { Unknown, Trying, Open, Answered } state = State::Unknown;
        AddressCheck::Outcome answer; // the answer of all its stations (State::Answered)
        int running = 0;
        int silent = 0;     // checks that ended without hearing a thing
        bool heard = false; // some check heard from it
        bool queued = false;
    };
    using Failure = AddressCheck::Failure;
    static constexpr int kReleaseMs = 25; // how long a host's place stays taken after a check
    struct Slot
    {
        std::unique_ptr<AddressCheck> check;
        Station station;
        Server *server = nullptr;
        bool shared = false; // another connection to the host was open while it ran
        bool alone = false;  // a check made alone, whose outcome stands
    };
    void queue(Station station);
    void fill();
    void queueFill();
    void startOn(Server &server, int &budget);
    void startCheck(Server &server, Slot &slot, Station station, bool alone);
    Slot *freeSlot() const;
    void tryServer(Server &server);
    void serverTried(Server &server, QTcpSocket *socket, Failure failure, bool reached);
    void slotFinished(Slot &slot, const AddressCheck::Outcome &outcome);
    bool hostFree(const Server &server) const;
    void hostTaken(const Server &server);
    void hostFreed(const Server &server);

    Limits m_limits;
    QNetworkAccessManager *m_net;
    std::vector<std::unique_ptr<Slot>> m_checks;
    std::vector<std::unique_ptr<Server>> m_servers;
    QHash<QString, Server *> m_byKey;
    QHash<QString, int> m_onHost; // connections open per host
    QSet<QString> m_aloneOn;      // hosts with a check made alone under way
    std::deque<Server *> m_ready; // servers with stations waiting, taken in turn
    QList<QTcpSocket *> m_tries;  // the servers being tried
    int m_active = 0;             // checks and tries under way
    int m_mostOnOneHost = 0;
    int m_done = 0;
    int m_total = 0;
    quint64 m_generation = 0; // counts the runs stopped: a check ending inside a call ends it
    bool m_running = false;
    bool m_fillQueued = false;
};
