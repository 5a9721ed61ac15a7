#include "health/AddressCheck.h"

#include "app/AppInfo.h"
#include "player/Metafile.h"
#include "player/StatusText.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QUrl>

namespace {

AddressCheck::Outcome answered()
{
    return {true, true, AddressCheck::Failure::Other, 0, QString(), QString(), true};
}

// Only the head of an answer is looked at; a playlist of segments is read whole up to the
// resolver's limit.
constexpr qint64 kHeadBytes = 4096;
// A playlist of variants names playlists of segments: two levels lead to a segment.
constexpr int kMaxPlaylistLevels = 2;
constexpr int kMaxRedirects = 8;

// A content type of audio or video data (the playlist types are told apart by their content).
bool isMediaType(const QString &contentType)
{
    const QString type = contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    return type.startsWith(QLatin1String("audio/")) || type.startsWith(QLatin1String("video/")) ||
           type == QLatin1String("application/ogg") || type == QLatin1String("application/octet-stream");
}

bool hasIcyHeaders(const QNetworkReply *reply)
{
    for (const QByteArray &name : reply->rawHeaderList())
        if (name.toLower().startsWith("icy-"))
            return true;
    return false;
}

} // namespace

int AddressCheck::defaultPort(const QString &scheme)
{
    if (scheme == QLatin1String("http") || scheme == QLatin1String("mmsh") || scheme == QLatin1String("rtmpt"))
        return 80;
    if (scheme == QLatin1String("https") || scheme == QLatin1String("rtmps"))
        return 443;
    if (scheme == QLatin1String("rtsp"))
        return 554;
    if (scheme == QLatin1String("rtsps"))
        return 322;
    if (scheme.startsWith(QLatin1String("rtmp")))
        return 1935;
    if (scheme.startsWith(QLatin1String("mms")))
        return 1755;
    return -1; // udp, rtp, srt: nothing to connect to
}

QString AddressCheck::reasonText(Failure failure, int httpStatus)
{
    switch (failure) {
    case Failure::NoSuchFile:
        return tr("No such file");
    case Failure::NoSuchHost:
        return tr("No such host");
    case Failure::Refused:
        return tr("Refused");
    case Failure::TimedOut:
        return tr("Timed out");
    case Failure::HttpError:
        return tr("HTTP error %1").arg(httpStatus);
    case Failure::NotAStream:
        return tr("Not a stream");
    case Failure::EmptyMetafile:
        return tr("Empty metafile");
    case Failure::Other:
        break;
    }
    return tr("Cannot connect");
}

AddressCheck::AddressCheck(QNetworkAccessManager *net, QObject *parent) : QObject(parent), m_net(net)
{
    m_resolver.setNetworkAccess(net);
    m_connectLimit.setSingleShot(true);
    connect(&m_connectLimit, &QTimer::timeout, this, &AddressCheck::connectTimedOut);
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        m_resolver.clear();
        dropProbe();
        finish({false, true, Failure::TimedOut, 0, reasonText(Failure::TimedOut),
                tr("No answer within %1 s").arg(m_limit.interval() / 1000.0)});
    });
    connect(&m_resolver, &MetafileResolver::playable, this, &AddressCheck::probe);
    connect(&m_resolver, &MetafileResolver::exhausted, this, [this](const QString &text) {
        const Failure failure = m_resolver.lastFailure();
        const int status = m_resolver.lastHttpStatus();
        finish({false, true, failure, status, reasonText(failure, status), text});
    });
}

AddressCheck::~AddressCheck()
{
    cancel();
}

void AddressCheck::start(const QString &address, int timeLimitMs)
{
    cancel();
    m_busy = true;
    m_heard = false;
    if (address.trimmed().isEmpty()) {
        finish({false, true, Failure::Other, 0, tr("No address"), tr("The station has no address.")});
        return;
    }
    m_limit.start(timeLimitMs);
    m_resolver.start(address.trimmed());
}

void AddressCheck::cancel()
{
    m_limit.stop();
    m_resolver.clear();
    dropProbe();
    m_busy = false;
}

void AddressCheck::finish(const Outcome &outcome)
{
    m_limit.stop();
    dropProbe();
    m_busy = false;
    Outcome out = outcome;
    out.heard = out.heard || m_heard;
    emit finished(out);
}

void AddressCheck::connectTimedOut()
{
    // A connection not made in time: this entry fails, the next one (if any) is tried.
    probeFailed(StatusText::cannotConnect(m_entry.address), Failure::TimedOut);
}

void AddressCheck::probe(const MetafileResolver::Entry &entry)
{
    dropProbe();
    m_entry = entry;
    m_playlistLevel = 0;
    if (Metafile::isLocal(entry.address)) {
        // A media file on this machine: there when it can be read.
        const QFileInfo file(Metafile::localPath(entry.address));
        if (file.isFile() && file.isReadable())
            finish(answered());
        else
            probeFailed(StatusText::notFound(entry.address), Failure::NoSuchFile);
        return;
    }
    const QString scheme = QUrl(entry.address).scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        probeHttp(entry.address);
    else if (defaultPort(scheme) > 0)
        probeTcp(entry.address);
    else
        finish({false, false, Failure::Other, 0, tr("Not checked"),
                tr("Streams sent over %1 cannot be checked without playing them.").arg(scheme)});
}

void AddressCheck::probeHttp(const QString &address)
{
    QNetworkRequest request{QUrl(address)};
    request.setHeader(QNetworkRequest::UserAgentHeader, App::title() + QLatin1Char('/') + App::version());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    QNetworkReply *reply = m_net->get(request);
    m_reply = reply;
    // The time for the connection counts from when the name is found (a slow name server is no
    // reason to call a server unreachable) until the request is sent.
    connect(reply, &QNetworkReply::socketStartedConnecting, &m_connectLimit,
            [this] { m_connectLimit.start(m_connectTimeoutMs); });
    connect(reply, &QNetworkReply::requestSent, &m_connectLimit, &QTimer::stop);
    connect(reply, &QNetworkReply::redirected, this, [this] { m_heard = true; });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { look(reply, false); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { look(reply, false); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { look(reply, true); });
}

// Judges an answer as soon as its head shows what it is.
void AddressCheck::look(QNetworkReply *reply, bool complete)
{
    if (reply != m_reply)
        return;
    const QString address = m_entry.address;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status > 0 || reply->bytesAvailable() > 0) {
        m_connectLimit.stop();
        m_heard = true;
    }
    if (status >= 400) {
        // Judged once the error answer has ended (aborted before, the network layer reports its
        // error twice), or once it is longer than a head.
        if (!complete && reply->bytesAvailable() < kHeadBytes)
            return;
        probeFailed(StatusText::httpError(address, status), Failure::HttpError, status);
        return;
    }
    if (complete && reply->error() != QNetworkReply::NoError && reply->bytesAvailable() == 0) {
        probeFailed(StatusText::cannotConnect(address), MetafileResolver::failureOf(reply->error()));
        return;
    }
    const QByteArray head = reply->peek(kHeadBytes);
    const bool media = Metafile::looksLikeMedia(head);
    if (!complete && !media && reply->bytesAvailable() < kHeadBytes)
        return; // not enough seen yet
    if (media) {
        finish(answered());
        return;
    }
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const Metafile::Kind kind = Metafile::kindFromContent(head, type);
    if (kind == Metafile::Kind::Hls) {
        // A playlist of segments answers when its first segment does.
        if (!complete && reply->bytesAvailable() <= MetafileResolver::kMaxBytes)
            return;
        const QByteArray data = reply->read(MetafileResolver::kMaxBytes);
        const QStringList entries = Metafile::parse(Metafile::Kind::M3u, data, reply->url().toString());
        const int level = m_playlistLevel;
        dropProbe();
        if (entries.isEmpty()) {
            probeFailed(StatusText::noEntries(address), Failure::EmptyMetafile);
        } else if (level >= kMaxPlaylistLevels || !Metafile::isPlayableAddress(entries.first(), true) ||
                   Metafile::isLocal(entries.first())) {
            probeFailed(StatusText::notAStream(address), Failure::NotAStream);
        } else {
            m_playlistLevel = level + 1;
            probeHttp(entries.first());
        }
        return;
    }
    if (kind != Metafile::Kind::None && !m_entry.sniffed) {
        // A metafile behind an address that does not say so: the resolver reads it.
        dropProbe();
        m_resolver.sniff(m_entry);
        return;
    }
    if ((isMediaType(type) || hasIcyHeaders(reply)) && !head.isEmpty())
        finish(answered());
    else
        probeFailed(StatusText::notAStream(address), Failure::NotAStream);
}

void AddressCheck::probeTcp(const QString &address)
{
    // Streams of other protocols answer when their server takes the connection.
    const QUrl url(address);
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::ConnectingState)
            m_connectLimit.start(m_connectTimeoutMs);
    });
    connect(m_socket, &QTcpSocket::connected, this, [this] { finish(answered()); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this, address](QAbstractSocket::SocketError error) {
        const Failure failure = error == QAbstractSocket::HostNotFoundError        ? Failure::NoSuchHost
                                : error == QAbstractSocket::ConnectionRefusedError ? Failure::Refused
                                                                                   : Failure::Other;
        probeFailed(StatusText::cannotConnect(address), failure);
    });
    m_socket->connectToHost(url.host(), quint16(url.port(defaultPort(url.scheme().toLower()))));
}

void AddressCheck::probeFailed(const QString &text, Failure failure, int httpStatus)
{
    dropProbe();
    m_playlistLevel = 0;
    m_resolver.entryFailed(text, failure, httpStatus); // the next entry, or the end
}

void AddressCheck::dropProbe()
{
    m_connectLimit.stop();
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (QTcpSocket *socket = m_socket) {
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}
