#include "player/MetafileResolver.h"
#include "player/StatusText.h"

#include "app/AppInfo.h"
#include "player/Metafile.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

MetafileResolver::MetafileResolver(QObject *parent) : QObject(parent) {}

void MetafileResolver::start(const QString &source)
{
    m_source = source;
    m_queue = {Entry{source}};
    m_errors.clear();
    m_lastFailure = Failure::EmptyMetafile;
    m_lastHttpStatus = 0;
    next();
}

void MetafileResolver::clear()
{
    abortFetch();
    m_queue.clear();
}

void MetafileResolver::entryFailed(const QString &text, Failure failure, int httpStatus)
{
    fail(text, failure, httpStatus);
    next();
}

void MetafileResolver::fail(const QString &text, Failure failure, int httpStatus)
{
    m_errors << text;
    m_lastFailure = failure;
    m_lastHttpStatus = httpStatus;
    emit failed(text);
}

MetafileResolver::Failure MetafileResolver::failureOf(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return Failure::NoSuchHost;
    case QNetworkReply::ConnectionRefusedError:
        return Failure::Refused;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer time limit ran out
        return Failure::TimedOut;
    default:
        return Failure::Other;
    }
}

void MetafileResolver::expand(const QStringList &entries, const Entry &entry)
{
    if (entries.isEmpty() || entry.depth >= kMaxDepth) {
        entryFailed(StatusText::noEntries(entry.address),
                    entries.isEmpty() ? Failure::EmptyMetafile : Failure::NotAStream);
        return;
    }
    // A list's entries come before the entries after it.
    const bool remote = !Metafile::isLocal(entry.address) || entry.remote;
    QList<Entry> fresh;
    for (const QString &address : entries)
        fresh.append(Entry{address, entry.depth + 1, remote, false});
    m_queue = fresh + m_queue;
    next();
}

void MetafileResolver::next()
{
    abortFetch();
    while (!m_queue.isEmpty()) {
        const Entry entry = m_queue.takeFirst();
        if (!Metafile::isPlayableAddress(entry.address, entry.remote)) {
            fail(StatusText::unsupported(entry.address), Failure::NotAStream);
            continue;
        }
        const Metafile::Kind kind = Metafile::kindFromName(entry.address);
        if (!Metafile::isLocal(entry.address)) {
            if (kind != Metafile::Kind::None)
                fetch(entry);
            else
                emit playable(entry);
            return;
        }
        // A local file: read its head here (small and quick) to know what it is.
        QFile file(Metafile::localPath(entry.address));
        if (!file.open(QIODevice::ReadOnly)) {
            if (file.exists())
                fail(StatusText::cannotConnect(entry.address), Failure::Other);
            else
                fail(StatusText::notFound(entry.address), Failure::NoSuchFile);
            continue;
        }
        const QByteArray head = file.read(kMaxBytes);
        const Metafile::Kind byContent = Metafile::kindFromContent(head);
        const bool small = file.size() <= kMaxBytes;
        if (byContent == Metafile::Kind::Hls || Metafile::looksLikeMedia(head) || !small ||
            (byContent == Metafile::Kind::None && kind == Metafile::Kind::None)) {
            emit playable(entry);
            return;
        }
        read(head, QString(), entry.address, entry);
        return;
    }
    // Nothing left: the last error stays on the status line.
    emit exhausted(m_errors.isEmpty() ? StatusText::noEntries(m_source) : m_errors.last());
}

void MetafileResolver::sniff(const Entry &entry)
{
    Entry sniffed = entry;
    sniffed.sniffed = true;
    fetch(sniffed);
}

void MetafileResolver::fetch(const Entry &entry)
{
    abortFetch();
    emit resolving(entry.address);
    if (!m_net)
        m_net = new QNetworkAccessManager(this);
    QNetworkRequest request{QUrl(entry.address)};
    request.setTransferTimeout(kNetworkTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, App::title() + QLatin1Char('/') + App::version());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_net->get(request);
    m_fetch = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, entry] { fetchProgress(reply, entry); });
    connect(reply, &QNetworkReply::finished, this, [this, reply, entry] { fetchFinished(reply, entry); });
}

void MetafileResolver::fetchProgress(QNetworkReply *reply, const Entry &entry)
{
    // A stream behind a metafile-like address, or an endless answer: look at its head only.
    const QByteArray head = reply->peek(4096);
    const bool media = Metafile::looksLikeMedia(head);
    if (!media && reply->bytesAvailable() <= kMaxBytes)
        return;
    const QByteArray data = reply->read(kMaxBytes);
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const QString base = reply->url().toString();
    abortFetch();
    if (media) {
        if (entry.sniffed)
            entryFailed(StatusText::notAStream(entry.address), Failure::NotAStream);
        else
            emit playable(entry);
        return;
    }
    read(data, type, base, entry);
}

void MetafileResolver::fetchFinished(QNetworkReply *reply, const Entry &entry)
{
    if (reply != m_fetch)
        return;
    m_fetch = nullptr;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        entryFailed(StatusText::httpError(entry.address, status), Failure::HttpError, status);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        entryFailed(StatusText::cannotConnect(entry.address), failureOf(reply->error()));
        return;
    }
    read(reply->readAll(), reply->header(QNetworkRequest::ContentTypeHeader).toString(), reply->url().toString(),
         entry);
}

void MetafileResolver::read(const QByteArray &data, const QString &contentType, const QString &base, const Entry &entry)
{
    const Metafile::Kind byContent = Metafile::kindFromContent(data, contentType);
    if (byContent == Metafile::Kind::Hls) {
        emit playable(entry); // the player reads HLS itself
        return;
    }
    if (Metafile::looksLikeMedia(data)) {
        if (entry.sniffed)
            entryFailed(StatusText::notAStream(entry.address), Failure::NotAStream);
        else
            emit playable(entry);
        return;
    }
    Metafile::Kind kind = byContent;
    if (kind == Metafile::Kind::None)
        kind = Metafile::kindFromName(entry.address);
    if (kind == Metafile::Kind::None) {
        entryFailed(StatusText::notAStream(entry.address), Failure::NotAStream);
        return;
    }
    const QStringList entries = Metafile::parse(kind, data, base);
    if (entries.isEmpty()) {
        entryFailed(StatusText::noEntries(entry.address), Failure::EmptyMetafile);
        return;
    }
    if (entry.depth >= kMaxDepth) {
        entryFailed(StatusText::notAStream(entry.address), Failure::NotAStream);
        return;
    }
    expand(entries, Entry{base, entry.depth, entry.remote, true});
}

void MetafileResolver::abortFetch()
{
    if (!m_fetch)
        return;
    QNetworkReply *reply = m_fetch;
    m_fetch = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}
