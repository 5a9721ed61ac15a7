#include "directory/DirectoryClient.h"

#include "app/AppInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

QString text(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toString().trimmed();
}

int number(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString().toInt() : v.toInt();
}

QString tooLargeText()
{
    return QStringLiteral("The station directory's answer was larger than %1 MiB and was not read.")
        .arg(DirectoryClient::kMaxReplyBytes / (1024 * 1024));
}

} // namespace

QUrlQuery DirectorySearch::query() const
{
    QUrlQuery q;
    if (!name.trimmed().isEmpty())
        q.addQueryItem(QStringLiteral("name"), name.trimmed());
    if (!tag.trimmed().isEmpty())
        q.addQueryItem(QStringLiteral("tag"), tag.trimmed());
    const QString place = country.trimmed();
    if (place.size() == 2 && place.at(0).isLetter() && place.at(1).isLetter())
        q.addQueryItem(QStringLiteral("countrycode"), place.toUpper());
    else if (!place.isEmpty())
        q.addQueryItem(QStringLiteral("country"), place);
    static const char *const orders[] = {"votes", "clickcount", "name", "bitrate"};
    q.addQueryItem(QStringLiteral("order"), QLatin1String(orders[int(order)]));
    q.addQueryItem(QStringLiteral("reverse"), order == Order::Name ? QStringLiteral("false") : QStringLiteral("true"));
    q.addQueryItem(QStringLiteral("offset"), QString::number(offset));
    q.addQueryItem(QStringLiteral("limit"), QString::number(limit));
    q.addQueryItem(QStringLiteral("hidebroken"), hideBroken ? QStringLiteral("true") : QStringLiteral("false"));
    return q;
}

std::optional<QList<DirectoryStation>> parseStations(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QList<DirectoryStation> stations;
    for (const QJsonValue &v : doc.array()) {
        if (!v.isObject())
            return std::nullopt;
        const QJsonObject o = v.toObject();
        DirectoryStation s;
        s.uuid = text(o, "stationuuid");
        s.name = text(o, "name");
        s.url = text(o, "url");
        s.urlResolved = text(o, "url_resolved");
        s.homepage = text(o, "homepage");
        s.favicon = text(o, "favicon");
        s.country = text(o, "country");
        s.countryCode = text(o, "countrycode");
        s.state = text(o, "state");
        s.tags = text(o, "tags");
        s.codec = text(o, "codec");
        s.bitrate = number(o, "bitrate");
        s.votes = number(o, "votes");
        s.clickCount = number(o, "clickcount");
        s.lastCheckOk = number(o, "lastcheckok") != 0 || !o.contains(QLatin1String("lastcheckok"));
        // A row without an id or an address is of no use to a listener.
        if (s.uuid.isEmpty() || s.streamAddress().isEmpty())
            continue;
        stations.append(s);
    }
    return stations;
}

DirectoryRequest::DirectoryRequest(QNetworkAccessManager *net, std::shared_ptr<DirectoryServers> servers,
                                   QList<QUrlQuery> queries, QString path, Expect expect, int timeoutMs,
                                   QObject *parent)
    : QObject(parent), m_net(net), m_servers(std::move(servers)), m_queries(std::move(queries)),
      m_path(std::move(path)), m_expect(expect), m_timeoutMs(timeoutMs)
{
    m_idle = new QTimer(this);
    m_idle->setSingleShot(true);
    connect(m_idle, &QTimer::timeout, this, [this] {
        dropReply();
        attemptFailed(QStringLiteral("The station directory did not answer in time."));
    });
    // Started from the event loop, so the caller connects to finished() first.
    QTimer::singleShot(0, this, [this] { m_servers->whenKnown(this, [this] { begin(); }); });
}

void DirectoryRequest::begin()
{
    m_started.start();
    if (m_queries.isEmpty()) {
        done({});
        return;
    }
    if (m_servers->order().isEmpty()) {
        done(QStringLiteral("No server of the station directory is known."));
        return;
    }
    m_tries = 0;
    attempt();
}

void DirectoryRequest::attempt()
{
    const QStringList order = m_servers->order();
    // The first try goes to the best server; the retry to the next one (the failed server has
    // gone to the end of the order).
    m_server = order.value(0);
    QUrl url(m_server + m_path);
    if (!m_queries.isEmpty() && !m_queries.first().isEmpty())
        url.setQuery(m_queries.first());
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, DirectoryClient::userAgent());
    request.setRawHeader("Accept", "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    m_body.clear();
    m_reply = m_net->get(request);
    m_reply->setReadBufferSize(256 * 1024);
    connect(m_reply, &QNetworkReply::readyRead, this, &DirectoryRequest::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &DirectoryRequest::onFinished);
    m_idle->start(m_timeoutMs);
}

void DirectoryRequest::onReadyRead()
{
    if (!m_reply)
        return;
    m_idle->start(m_timeoutMs);
    const qint64 announced = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    m_body += m_reply->read(DirectoryClient::kMaxReplyBytes + 1 - m_body.size());
    if (announced > DirectoryClient::kMaxReplyBytes || m_body.size() > DirectoryClient::kMaxReplyBytes) {
        dropReply();
        attemptFailed(tooLargeText());
    } else if (m_started.elapsed() > DirectoryClient::kDeadlineMs) {
        dropReply();
        attemptFailed(QStringLiteral("The station directory's answer took too long and was not read."));
    }
}

void DirectoryRequest::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    onReadyRead();
    if (m_reply != reply)
        return; // failed while reading: the request has ended or gone on to the next server
    m_idle->stop();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorString = reply->errorString();
    dropReply();

    if (status >= 500) {
        attemptFailed(QStringLiteral("The station directory is not available now (HTTP %1).").arg(status));
        return;
    }
    if (status >= 400) {
        // The request itself was refused: another server would refuse it too.
        done(QStringLiteral("The station directory refused the request (HTTP %1).").arg(status));
        return;
    }
    if (error != QNetworkReply::NoError) {
        attemptFailed(QStringLiteral("The station directory could not be reached (%1). Check the network connection.")
                          .arg(errorString));
        return;
    }
    if (m_expect == Expect::Stations) {
        const auto stations = parseStations(m_body);
        if (!stations) {
            attemptFailed(QStringLiteral("The station directory sent an answer that could not be read."));
            return;
        }
        m_stations += *stations;
    } else if (!QJsonDocument::fromJson(m_body).isObject()) {
        attemptFailed(QStringLiteral("The station directory sent an answer that could not be read."));
        return;
    }
    m_queries.removeFirst();
    if (m_queries.isEmpty()) {
        done({});
        return;
    }
    m_tries = 0;
    attempt();
}

void DirectoryRequest::attemptFailed(const QString &text)
{
    m_servers->failed(m_server);
    if (++m_tries < 2 && m_servers->order().size() > 1 && m_started.elapsed() < DirectoryClient::kDeadlineMs) {
        attempt();
        return;
    }
    done(text);
}

void DirectoryRequest::done(const QString &error)
{
    if (m_over)
        return;
    m_over = true;
    m_error = error;
    m_idle->stop();
    emit finished();
    deleteLater();
}

void DirectoryRequest::abort()
{
    if (m_over)
        return;
    m_over = true;
    m_idle->stop();
    dropReply();
    deleteLater();
}

void DirectoryRequest::dropReply()
{
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

DirectoryClient::DirectoryClient(std::shared_ptr<DirectoryServers> servers, QObject *parent)
    : QObject(parent), m_servers(std::move(servers)), m_net(new QNetworkAccessManager(this))
{
}

DirectoryClient::~DirectoryClient() = default;

QByteArray DirectoryClient::userAgent()
{
    return (App::title() + QLatin1Char('/') + App::version()).toUtf8();
}

DirectoryRequest *DirectoryClient::search(const DirectorySearch &search)
{
    return new DirectoryRequest(m_net, m_servers, {search.query()}, QStringLiteral("/json/stations/search"),
                                DirectoryRequest::Expect::Stations, m_timeoutMs, this);
}

DirectoryRequest *DirectoryClient::stationsByUuid(const QStringList &uuids)
{
    QList<QUrlQuery> queries;
    for (qsizetype i = 0; i < uuids.size(); i += kUuidsPerRequest) {
        QUrlQuery q;
        q.addQueryItem(QStringLiteral("uuids"), uuids.mid(i, kUuidsPerRequest).join(QLatin1Char(',')));
        queries.append(q);
    }
    // No id: nothing is asked, and the answer is empty at once.
    return new DirectoryRequest(m_net, m_servers, queries, QStringLiteral("/json/stations/byuuid"),
                                DirectoryRequest::Expect::Stations, m_timeoutMs, this);
}

DirectoryRequest *DirectoryClient::countClick(const QString &uuid)
{
    return new DirectoryRequest(m_net, m_servers, {QUrlQuery()},
                                QStringLiteral("/json/url/") + QString::fromLatin1(QUrl::toPercentEncoding(uuid)),
                                DirectoryRequest::Expect::Object, m_timeoutMs, this);
}
