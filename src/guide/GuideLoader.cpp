#include "guide/GuideLoader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "guide/GuideSources.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<qint64> fixedNow{0};

constexpr qint64 kKeepHours = 6;
constexpr qint64 kStaleSeconds = 24 * 3600;

QString sizeText(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(bytes >> 20);
}

} // namespace

namespace GuideClock {

qint64 now()
{
    const qint64 fixed = fixedNow.load();
    return fixed ? fixed : QDateTime::currentSecsSinceEpoch();
}

void setFixed(qint64 secondsSinceEpoch)
{
    fixedNow.store(secondsSinceEpoch);
}

} // namespace GuideClock

GuideLoader &GuideLoader::instance()
{
    static GuideLoader *loader = new GuideLoader(QCoreApplication::instance());
    return *loader;
}

GuideLoader::GuideLoader(QObject *parent) : QObject(parent), m_path(GuideDatabase::defaultPath()) {}

GuideLoader::~GuideLoader()
{
    stop();
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

bool GuideLoader::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void GuideLoader::stop()
{
    if (m_stop)
        m_stop->store(true);
}

QStringList GuideLoader::stale(const QStringList &sources)
{
    GuideDatabase db(m_path);
    QStringList out;
    for (const QString &s : sources)
        if (GuideClock::now() - db.state(s).loadedAt >= kStaleSeconds)
            out << s;
    return out;
}

bool GuideLoader::load(const QStringList &sources, const QList<ChannelMatch::Station> &stations)
{
    if (isRunning())
        return false;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    m_stop = std::make_shared<std::atomic_bool>(false);
    const std::shared_ptr<std::atomic_bool> stopFlag = m_stop;
    const GuideLimits limits = m_limits;
    const QString path = m_path;
    m_thread = QThread::create([this, sources, stations, stopFlag, limits, path] {
        // Below the window thread, so that the window answers at once while a guide loads.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
        for (const QString &source : sources) {
            if (stopFlag->load())
                break;
            const Result r =
                loadSource(source, path, stations, limits, *stopFlag,
                           [this, source](qint64 done, qint64 total) { emit progress(source, done, total); });
            emit sourceDone(source, r.ok, r.message);
        }
    });
    connect(m_thread, &QThread::finished, this, &GuideLoader::finished);
    m_thread->start(QThread::LowPriority);
    return true;
}

GuideLoader::Result GuideLoader::loadSource(const QString &source, const QString &databasePath,
                                            const QList<ChannelMatch::Station> &stations, const GuideLimits &limits,
                                            const std::atomic_bool &stopFlag,
                                            const std::function<void(qint64, qint64)> &progress)
{
    Result result;
    GuideDatabase db(databasePath);
    if (!db.isOpen()) {
        result.message = QStringLiteral("The guide database \"%1\" could not be opened.").arg(databasePath);
        return result;
    }
    const ChannelMatch::Wanted wanted(stations);
    const qint64 now = GuideClock::now();
    db.begin(source);
    XmltvReader reader(db, wanted, now - kKeepHours * 3600, limits);
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer shown;
    shown.start();
    qint64 done = 0;
    qint64 total = -1;
    auto report = [&](bool always) {
        if (progress && (always || shown.elapsed() >= 100)) {
            shown.restart();
            progress(done, total);
        }
    };
    QString failure;

    if (GuideSources::isWebAddress(source)) {
        QNetworkAccessManager nam;
        QNetworkRequest request{QUrl(source.trimmed())};
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setMaximumRedirectsAllowed(5);
        // The file is unpacked here, as it is read, never by the network layer.
        request.setRawHeader("Accept-Encoding", "identity");
        QNetworkReply *reply = nam.get(request);
        reply->setReadBufferSize(1 << 20);
        QEventLoop loop;
        auto abortWith = [&](const QString &text) {
            if (failure.isEmpty())
                failure = text;
            reply->abort();
        };
        auto statusText = [&]() -> QString {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status < 400)
                return {};
            return QStringLiteral("The server answered %1 %2.")
                .arg(status)
                .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        };
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
            if (const QString text = statusText(); !text.isEmpty())
                return abortWith(text);
            const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            if (length > 0)
                total = length;
            if (length > limits.downloadBytes)
                abortWith(QStringLiteral("The guide is larger than %1, more than a guide may be.")
                              .arg(sizeText(limits.downloadBytes)));
        });
        QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
            if (!failure.isEmpty())
                return;
            if (const QString text = statusText(); !text.isEmpty())
                return abortWith(text);
            const QByteArray chunk = reply->readAll();
            done += chunk.size();
            if (done > limits.downloadBytes)
                return abortWith(QStringLiteral("The guide is larger than %1, more than a guide may be.")
                                     .arg(sizeText(limits.downloadBytes)));
            if (!reader.feed(chunk.constData(), chunk.size()))
                return abortWith(reader.error());
            report(false);
        });
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (stopFlag.load())
                abortWith(QStringLiteral("Stopped."));
            else if (clock.elapsed() > qint64(limits.seconds) * 1000)
                abortWith(QStringLiteral("The guide took longer than %1 seconds to arrive, so it was not read.")
                              .arg(limits.seconds));
        });
        watch.start(50);
        if (!reply->isFinished())
            loop.exec();
        if (failure.isEmpty() && reply->error() != QNetworkReply::NoError) {
            failure = statusText();
            if (failure.isEmpty())
                failure = QStringLiteral("The guide could not be fetched: %1").arg(reply->errorString());
        }
        if (failure.isEmpty()) {
            const QByteArray rest = reply->readAll();
            done += rest.size();
            if (!reader.feed(rest.constData(), rest.size()))
                failure = reader.error();
        }
        delete reply;
    } else {
        const QUrl url(source.trimmed());
        QFile file(url.isLocalFile() ? url.toLocalFile() : source.trimmed());
        if (!file.open(QIODevice::ReadOnly)) {
            failure = QStringLiteral("The guide file could not be read: %1").arg(file.errorString());
        } else {
            total = file.size();
            QByteArray chunk(1 << 20, Qt::Uninitialized);
            for (;;) {
                if (stopFlag.load()) {
                    failure = QStringLiteral("Stopped.");
                    break;
                }
                const qint64 n = file.read(chunk.data(), chunk.size());
                if (n < 0) {
                    failure = QStringLiteral("The guide file could not be read: %1").arg(file.errorString());
                    break;
                }
                if (n == 0)
                    break;
                done += n;
                if (!reader.feed(chunk.constData(), n)) {
                    failure = reader.error();
                    break;
                }
                report(false);
            }
        }
    }
    report(true);
    if (failure.isEmpty() && !reader.finish())
        failure = reader.error();

    result.stopped = stopFlag.load();
    if (!failure.isEmpty()) {
        // What the source gave before stays.
        db.rollback();
        db.setMessage(source, failure);
        result.message = failure;
        return result;
    }
    result.ok = true;
    result.state = {now, reader.channels(), reader.programmes(), reader.skipped(), QString()};
    result.state.message =
        QStringLiteral("%1 channels, %2 programmes kept").arg(reader.channels()).arg(reader.programmes());
    if (reader.skipped() > 0)
        result.state.message += QStringLiteral(", %1 malformed programmes skipped").arg(reader.skipped());
    result.state.message += QLatin1Char('.');
    db.commit(result.state);
    result.message = result.state.message;
    return result;
}
