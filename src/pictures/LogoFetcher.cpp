#include "pictures/LogoFetcher.h"

#include "app/AppInfo.h"
#include "pictures/LogoDecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

// The fetcher's thread side: one download per address at a time, however many ask for it.
class LogoWorker : public QObject
{
    Q_OBJECT
public:
    explicit LogoWorker(const QString &cacheFolder) : m_cache(cacheFolder) {}

    void fetch(const QString &address, const QSize &size);
    void forget(const QString &address) { m_cache.forget(address); }

signals:
    void ready(const QString &address, const QSize &size, const QString &file, const QImage &image);
    void failed(const QString &address, const QString &reason);

private:
    struct Download
    {
        QString address;
        QPointer<QNetworkReply> reply;
        QByteArray body;
        QTimer *deadline = nullptr;
        QString error;
    };

    void startQueued();
    void startDownload(const QString &address);
    void downloadDone(Download *download);
    void readLocal(const QString &address);
    // Decodes and stores what arrived, then answers everyone waiting for the address.
    void arrived(const QString &address, const QByteArray &data);
    void answerFromFile(const QString &address, const QString &file);
    void fail(const QString &address, const QString &reason, bool remember = true);

    LogoCache m_cache;
    QNetworkAccessManager *m_net = nullptr;
    QHash<QString, QList<QSize>> m_waiting; // address -> sizes asked for
    QList<QString> m_queue;                 // web addresses not yet started
    int m_running = 0;
};

namespace {

bool isWeb(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

QString localFileOf(const QString &address)
{
    if (address.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return QUrl(address).toLocalFile();
    return QDir::isAbsolutePath(address) ? address : QString();
}

QString sizeLimitText()
{
    return QStringLiteral("it is larger than %1 KiB").arg(LogoFetcher::MaxBytes / 1024);
}

QImage fitted(const QImage &image, const QSize &size)
{
    if (!size.isValid() || (image.width() <= size.width() && image.height() <= size.height()))
        return image;
    return image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace

void LogoWorker::fetch(const QString &address, const QSize &size)
{
    const bool busy = m_waiting.contains(address);
    m_waiting[address].append(size);
    if (busy)
        return;
    const QString file = m_cache.fileFor(address);
    if (m_cache.isFresh(address)) {
        answerFromFile(address, file);
        return;
    }
    if (m_cache.failedRecently(address)) {
        // A stale copy still serves until the address answers again.
        if (QFileInfo::exists(file))
            answerFromFile(address, file);
        else
            fail(address, QStringLiteral("it failed less than a day ago and is not tried again yet"), false);
        return;
    }
    if (!localFileOf(address).isEmpty()) {
        readLocal(address);
        return;
    }
    if (!isWeb(QUrl(address))) {
        fail(address, QStringLiteral("it is neither an http or https address nor a picture file"));
        return;
    }
    m_queue.append(address);
    startQueued();
}

void LogoWorker::startQueued()
{
    while (m_running < LogoFetcher::ParallelDownloads && !m_queue.isEmpty())
        startDownload(m_queue.takeFirst());
}

void LogoWorker::startDownload(const QString &address)
{
    if (!m_net) {
        m_net = new QNetworkAccessManager(this);
        m_net->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
    }
    QNetworkRequest request{QUrl(address)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Halcyrix/%1").arg(App::version()));
    request.setRawHeader("Accept", "image/png, image/jpeg, image/gif, image/x-icon, image/webp;q=0.9, */*;q=0.1");
    request.setMaximumRedirectsAllowed(LogoFetcher::MaxRedirects);
    request.setTransferTimeout(LogoFetcher::TimeoutMs);
    ++m_running;
    auto *download = new Download{address, m_net->get(request), {}, new QTimer(this), {}};
    QNetworkReply *reply = download->reply;
    download->deadline->setSingleShot(true);
    auto stop = [download](const QString &why) {
        if (download->error.isEmpty())
            download->error = why;
        if (download->reply)
            download->reply->abort();
    };
    connect(download->deadline, &QTimer::timeout, reply,
            [stop] { stop(QStringLiteral("it did not arrive within %1 seconds").arg(LogoFetcher::TimeoutMs / 1000)); });
    download->deadline->start(LogoFetcher::TimeoutMs);
    // Only http and https: a redirect to a local file or another scheme is refused.
    connect(reply, &QNetworkReply::redirected, reply, [reply, stop](const QUrl &to) {
        if (isWeb(to))
            emit reply->redirectAllowed();
        else
            stop(QStringLiteral("it leads to %1, which is not fetched").arg(to.scheme() + QStringLiteral(":")));
    });
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, stop] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > LogoFetcher::MaxBytes)
            stop(sizeLimitText());
    });
    connect(reply, &QNetworkReply::readyRead, reply, [download, stop] {
        QNetworkReply *r = download->reply;
        if (!r)
            return;
        download->body += r->read(LogoFetcher::MaxBytes + 1 - download->body.size());
        if (download->body.size() > LogoFetcher::MaxBytes)
            stop(sizeLimitText());
    });
    connect(reply, &QNetworkReply::finished, this, [this, download] { downloadDone(download); });
}

void LogoWorker::downloadDone(Download *download)
{
    QNetworkReply *reply = download->reply;
    download->deadline->stop();
    download->deadline->deleteLater();
    --m_running;
    QString error = download->error;
    if (error.isEmpty() && reply) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError && status == 0)
            error = QStringLiteral("it cannot be fetched (%1)").arg(reply->errorString());
        else if (status != 200)
            error = QStringLiteral("the server answered %1").arg(status);
        else
            download->body += reply->read(LogoFetcher::MaxBytes + 1 - download->body.size());
        if (error.isEmpty() && download->body.size() > LogoFetcher::MaxBytes)
            error = sizeLimitText();
    }
    if (reply)
        reply->deleteLater();
    const QString address = download->address;
    const QByteArray body = download->body;
    delete download;
    if (error.isEmpty()) {
        arrived(address, body);
    } else if (const QString stale = m_cache.fileFor(address); QFileInfo::exists(stale)) {
        // The copy of a week ago still serves until the address answers again.
        m_cache.markFailed(address);
        answerFromFile(address, stale);
    } else {
        fail(address, error);
    }
    startQueued();
}

void LogoWorker::readLocal(const QString &address)
{
    QFile file(localFileOf(address));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) {
        fail(address, QStringLiteral("the file cannot be read"));
        return;
    }
    if (file.size() > LogoFetcher::MaxBytes) {
        fail(address, sizeLimitText());
        return;
    }
    arrived(address, file.read(LogoFetcher::MaxBytes + 1));
}

void LogoWorker::arrived(const QString &address, const QByteArray &data)
{
    QString why;
    const int side = LogoDecoder::StoredSide;
    const QImage image = LogoDecoder::decode(data, QSize(side, side), &why);
    if (image.isNull()) {
        fail(address, why);
        return;
    }
    const QString file = m_cache.store(address, image);
    if (file.isEmpty()) {
        fail(address, QStringLiteral("the cache folder %1 cannot be written").arg(m_cache.folder()), false);
        return;
    }
    for (const QSize &size : m_waiting.take(address))
        emit ready(address, size, file, fitted(image, size));
}

void LogoWorker::answerFromFile(const QString &address, const QString &file)
{
    QFile in(file);
    QByteArray data;
    if (in.open(QIODevice::ReadOnly) && in.size() <= LogoFetcher::MaxBytes)
        data = in.readAll();
    const int side = LogoDecoder::StoredSide;
    const QImage image = LogoDecoder::decode(data, QSize(side, side));
    if (image.isNull()) {
        // A damaged cache file is dropped; the next request fetches the logo again.
        QFile::remove(file);
        fail(address, QStringLiteral("its cached copy is damaged"), false);
        return;
    }
    for (const QSize &size : m_waiting.take(address))
        emit ready(address, size, file, fitted(image, size));
}

void LogoWorker::fail(const QString &address, const QString &reason, bool remember)
{
    if (remember)
        m_cache.markFailed(address);
    m_waiting.remove(address);
    emit failed(address, reason);
}

// ---- the fetcher on the caller's thread --------------------------------------------------------

namespace {
LogoFetcher *g_instance = nullptr;
}

LogoFetcher::LogoFetcher(const QString &cacheFolder, QObject *parent) : QObject(parent), m_cacheFolder(cacheFolder) {}

LogoFetcher::~LogoFetcher()
{
    if (g_instance == this)
        g_instance = nullptr;
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
}

LogoFetcher *LogoFetcher::instance()
{
    if (!g_instance)
        g_instance = new LogoFetcher(LogoCache::defaultFolder(), QCoreApplication::instance());
    return g_instance;
}

bool LogoFetcher::started()
{
    return g_instance != nullptr;
}

void LogoFetcher::ensureThread()
{
    if (m_thread)
        return;
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("logos"));
    m_worker = new LogoWorker(m_cacheFolder);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &LogoWorker::ready, this, &LogoFetcher::ready);
    connect(m_worker, &LogoWorker::failed, this, &LogoFetcher::failed);
    m_thread->start(QThread::LowPriority);
}

void LogoFetcher::request(const QString &address, const QSize &size)
{
    if (address.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, address] { emit failed(address, QStringLiteral("there is no address")); },
            Qt::QueuedConnection);
        return;
    }
    ensureThread();
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, address, size] { worker->fetch(address, size); });
}

void LogoFetcher::forget(const QString &address)
{
    ensureThread();
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, address] { worker->forget(address); });
}

#include "LogoFetcher.moc"
