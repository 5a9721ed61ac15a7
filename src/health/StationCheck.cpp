#include "health/StationCheck.h"

#include "player/Metafile.h"
#include "player/StatusText.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

StationCheck::StationCheck(int parallel, int timeLimitMs, QObject *parent)
    : StationCheck(Limits{parallel, timeLimitMs, kPerHost, kConnectTimeoutMs}, parent)
{
}

StationCheck::StationCheck(const Limits &limits, QObject *parent)
    : QObject(parent), m_limits(limits), m_net(new QNetworkAccessManager(this))
{
    m_limits.parallel = qMax(1, m_limits.parallel);
    m_limits.perHost = qMax(1, m_limits.perHost);
    for (int i = 0; i < m_limits.parallel; ++i) {
        auto slot = std::make_unique<Slot>();
        slot->check = std::make_unique<AddressCheck>(m_net);
        slot->check->setConnectTimeout(m_limits.connectTimeoutMs);
        Slot *s = slot.get();
        connect(s->check.get(), &AddressCheck::finished, this,
                [this, s](const AddressCheck::Outcome &outcome) { slotFinished(*s, outcome); });
        m_checks.push_back(std::move(slot));
    }
}

StationCheck::~StationCheck()
{
    stop();
    m_checks.clear(); // the checks go before the network access they use
}

QString StationCheck::serverOf(const QString &address, QString *host, quint16 *port)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || Metafile::isLocal(trimmed) || !Metafile::isPlayableAddress(trimmed, false))
        return QString();
    const QUrl url(trimmed);
    const int fallback = AddressCheck::defaultPort(url.scheme().toLower());
    if (fallback <= 0 || url.host().isEmpty())
        return QString();
    const quint16 p = quint16(url.port(fallback));
    if (host)
        *host = url.host().toLower();
    if (port)
        *port = p;
    return url.host().toLower() + QLatin1Char(':') + QString::number(p);
}

void StationCheck::start(QList<Station> stations)
{
    stop();
    m_done = 0;
    m_total = int(stations.size());
    m_mostOnOneHost = 0;
    m_running = true;
    for (Station &station : stations)
        queue(std::move(station));
    stations.clear();
    emit progress(m_done, m_total);
    fill();
}

void StationCheck::add(const Station &station)
{
    if (!m_running) {
        start({station});
        return;
    }
    ++m_total;
    queue(station);
    emit progress(m_done, m_total);
    queueFill();
}

void StationCheck::stop()
{
    ++m_generation;
    for (auto &slot : m_checks) {
        slot->check->cancel();
        slot->station = Station();
        slot->server = nullptr;
    }
    for (QTcpSocket *socket : std::as_const(m_tries)) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_tries.clear();
    m_ready.clear();
    m_byKey.clear();
    m_servers.clear();
    m_onHost.clear();
    m_aloneOn.clear();
    m_active = 0;
    m_running = false;
}

void StationCheck::queue(Station station)
{
    QString host;
    quint16 port = 0;
    const QString key = serverOf(station.address, &host, &port);
    Server *server = m_byKey.value(key);
    if (!server) {
        m_servers.push_back(std::make_unique<Server>());
        server = m_servers.back().get();
        server->key = key;
        server->host = host;
        server->port = port;
        if (key.isEmpty())
            server->state = Server::State::Open; // nothing to try first
        m_byKey.insert(key, server);
    }
    server->waiting.push_back(std::move(station));
    if (!server->queued && server->state != Server::State::Trying) {
        server->queued = true;
        m_ready.push_back(server);
    }
}

void StationCheck::queueFill()
{
    // From the event loop: a check that ends at once (no address) must not start the next one
    // inside itself, list after list.
    if (!m_fillQueued) {
        m_fillQueued = true;
        QMetaObject::invokeMethod(this, &StationCheck::fill, Qt::QueuedConnection);
    }
}

bool StationCheck::hostFree(const Server &server) const
{
    return server.key.isEmpty() || (m_onHost.value(server.host) < m_limits.perHost && !m_aloneOn.contains(server.host));
}

void StationCheck::hostTaken(const Server &server)
{
    if (server.key.isEmpty())
        return;
    int &open = m_onHost[server.host];
    m_mostOnOneHost = qMax(m_mostOnOneHost, ++open);
    if (open > 1)
        for (auto &slot : m_checks)
            if (slot->server && slot->server->host == server.host)
                slot->shared = true;
}

void StationCheck::hostFreed(const Server &server)
{
    if (server.key.isEmpty())
        return;
    auto it = m_onHost.find(server.host);
    if (it != m_onHost.end() && --*it <= 0)
        m_onHost.erase(it);
}

void StationCheck::fill()
{
    m_fillQueued = false;
    if (!m_running)
        return;
    const quint64 generation = m_generation;
    QList<Result> answered; // stations whose server answered for them
    int budget = m_limits.parallel - m_active;
    for (size_t turns = m_ready.size(); turns > 0 && generation == m_generation; --turns) {
        Server *server = m_ready.front();
        m_ready.pop_front();
        server->queued = false;
        if (server->state == Server::State::Answered) {
            while (!server->waiting.empty()) {
                Station station = std::move(server->waiting.front());
                server->waiting.pop_front();
                AddressCheck::Outcome outcome = server->answer;
                if (outcome.detail.isEmpty())
                    outcome.detail = StatusText::cannotConnect(station.address.trimmed());
                answered.append({std::move(station), outcome});
            }
            while (!server->doubtful.empty()) {
                answered.append(std::move(server->doubtful.front()));
                server->doubtful.pop_front();
            }
            continue;
        }
        if (budget > 0 && hostFree(*server)) {
            if (server->state == Server::State::Unknown) {
                tryServer(*server);
                --budget;
                continue; // back in turn once it was tried
            }
            startOn(*server, budget);
            if (generation != m_generation)
                return;
        }
        if ((!server->waiting.empty() || !server->doubtful.empty()) && !server->queued) {
            server->queued = true;
            m_ready.push_back(server);
        }
    }
    for (const Result &result : std::as_const(answered)) {
        if (generation != m_generation)
            return;
        ++m_done;
        emit checked(result);
        emit progress(m_done, m_total);
    }
    if (generation == m_generation && m_running && m_active == 0 && m_done >= m_total) {
        m_running = false;
        stop();
        emit finished();
    }
}

StationCheck::Slot *StationCheck::freeSlot() const
{
    for (const auto &s : m_checks)
        if (!s->server && !s->check->busy())
            return s.get();
    return nullptr;
}

void StationCheck::startOn(Server &server, int &budget)
{
    const quint64 generation = m_generation;
    if (!server.doubtful.empty()) {
        // Checked again alone once nothing else of ours is connected to the host; until then
        // no other station of the server starts.
        if (budget > 0 && m_onHost.value(server.host) == 0 && !m_aloneOn.contains(server.host))
            if (Slot *slot = freeSlot()) {
                Station station = std::move(server.doubtful.front().station);
                server.doubtful.pop_front();
                --budget;
                startCheck(server, *slot, std::move(station), true);
            }
        return;
    }
    while (budget > 0 && !server.waiting.empty() && hostFree(server)) {
        // After a check that heard nothing, the others under way show whether the server
        // answers at all before more are started.
        if (server.silent > 0 && !server.heard && server.running > 0)
            return;
        Slot *slot = freeSlot();
        if (!slot)
            return;
        Station station = std::move(server.waiting.front());
        server.waiting.pop_front();
        --budget;
        startCheck(server, *slot, std::move(station), false);
        if (generation != m_generation)
            return;
    }
}

void StationCheck::startCheck(Server &server, Slot &slot, Station station, bool alone)
{
    slot.station = std::move(station);
    slot.server = &server;
    slot.alone = alone;
    slot.shared = !server.key.isEmpty() && m_onHost.value(server.host) > 0;
    if (alone)
        m_aloneOn.insert(server.host);
    ++server.running;
    ++m_active;
    hostTaken(server);
    slot.check->start(slot.station.address, m_limits.timeLimitMs);
}

void StationCheck::tryServer(Server &server)
{
    server.state = Server::State::Trying;
    // Through a proxy the server itself is not connected to: its stations are checked one by one.
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(server.host);
    url.setPort(server.port);
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    if (!proxies.isEmpty() && proxies.first().type() != QNetworkProxy::NoProxy &&
        proxies.first().type() != QNetworkProxy::DefaultProxy) {
        server.state = Server::State::Open;
        server.queued = true;
        m_ready.push_back(&server);
        queueFill();
        return;
    }
    auto *socket = new QTcpSocket(this);
    socket->setProxy(QNetworkProxy::NoProxy);
    m_tries.append(socket);
    ++m_active;
    hostTaken(server);
    Server *s = &server;
    connect(socket, &QTcpSocket::connected, this, [this, s, socket] { serverTried(*s, socket, Failure::Other, true); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, s, socket](QAbstractSocket::SocketError error) {
        const Failure failure = error == QAbstractSocket::HostNotFoundError        ? Failure::NoSuchHost
                                : error == QAbstractSocket::ConnectionRefusedError ? Failure::Refused
                                                                                   : Failure::Other;
        serverTried(*s, socket, failure, false);
    });
    // The time for the connection counts from when the name is found: a slow name server is
    // no reason to call a server unreachable.
    connect(socket, &QTcpSocket::stateChanged, this, [this, s, socket](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::ConnectingState)
            QTimer::singleShot(m_limits.connectTimeoutMs, socket,
                               [this, s, socket] { serverTried(*s, socket, Failure::TimedOut, false); });
    });
    socket->connectToHost(server.host, server.port);
}

void StationCheck::serverTried(Server &server, QTcpSocket *socket, Failure failure, bool reached)
{
    if (!m_tries.removeOne(socket))
        return; // already tried, or the run was stopped
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    --m_active;
    hostFreed(server);
    if (!reached && (failure == Failure::NoSuchHost || failure == Failure::Refused || failure == Failure::TimedOut)) {
        // Every station of the server would meet the same: answered once for all of them.
        server.state = Server::State::Answered;
        server.answer = {false, true, failure, 0, AddressCheck::reasonText(failure), QString()};
    } else {
        server.state = Server::State::Open;
    }
    if (!server.queued) {
        server.queued = true;
        m_ready.push_back(&server);
    }
    queueFill();
}

void StationCheck::slotFinished(Slot &slot, const AddressCheck::Outcome &outcome)
{
    Server *server = slot.server;
    if (!server)
        return;
    slot.server = nullptr;
    --server->running;
    --m_active;
    if (!server->key.isEmpty()) {
        // The network layer closes an abandoned connection on its own thread, a moment after
        // the check lets it go: the host gets its place back a little later, so that it never
        // sees one connection more than the limit.
        const QString host = server->host;
        const quint64 generation = m_generation;
        QTimer::singleShot(kReleaseMs, this, [this, host, generation] {
            if (generation != m_generation)
                return;
            auto it = m_onHost.find(host);
            if (it != m_onHost.end() && --*it <= 0)
                m_onHost.erase(it);
            queueFill();
        });
    }
    if (slot.alone)
        m_aloneOn.remove(server->host);
    if (outcome.answers || outcome.heard)
        server->heard = true;
    else if (outcome.failure == Failure::TimedOut)
        ++server->silent;
    // A failure beside other connections of ours to a host that answers may be our doing (a
    // server taking one connection per address): it counts once the station fails alone too.
    const bool silentServer = !server->heard && !outcome.heard && outcome.failure == Failure::TimedOut;
    if (!outcome.answers && outcome.checked && slot.shared && !slot.alone && outcome.failure != Failure::NoSuchHost &&
        !silentServer && !server->key.isEmpty()) {
        server->doubtful.push_back({std::move(slot.station), outcome});
        slot.station = Station();
        if (!server->queued) {
            server->queued = true;
            m_ready.push_back(server);
        }
        queueFill();
        return;
    }
    if (!server->key.isEmpty() && !server->heard && server->silent >= m_limits.perHost &&
        server->state == Server::State::Open) {
        // It took the connections of the first few checks and answered none of them in time.
        server->state = Server::State::Answered;
        server->answer = outcome;
    }
    if ((!server->waiting.empty() || !server->doubtful.empty()) && !server->queued) {
        server->queued = true;
        m_ready.push_back(server);
    }
    ++m_done;
    const Result result{std::move(slot.station), outcome};
    slot.station = Station();
    emit checked(result);
    emit progress(m_done, m_total);
    queueFill();
}
