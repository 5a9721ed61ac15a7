#include "StreamServers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <cmath>
#include <cstring>
#include <unistd.h>

namespace {
// Waits while the event loop runs, so servers in this process and the player keep working.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

// ---- LocalHttpServer ----------------------------------------------------------------------------

LocalHttpServer::LocalHttpServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &LocalHttpServer::onConnection);
}

LocalHttpServer::~LocalHttpServer()
{
    for (QTcpSocket *socket : m_pending.keys())
        socket->abort();
}

bool LocalHttpServer::isListening() const
{
    return m_server->isListening();
}
quint16 LocalHttpServer::port() const
{
    return m_server->serverPort();
}

QString LocalHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void LocalHttpServer::serve(const QString &path, const QByteArray &body, const QByteArray &contentType)
{
    Resource r;
    r.body = body;
    r.contentType = contentType;
    m_resources.insert(path, r);
}

void LocalHttpServer::serveFile(const QString &path, const QString &fileName, const QByteArray &contentType)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("LocalHttpServer: cannot read %s", qPrintable(fileName));
    serve(path, file.readAll(), contentType);
}

void LocalHttpServer::serveStatus(const QString &path, int status)
{
    Resource r;
    r.status = status;
    r.body = "status " + QByteArray::number(status) + "\n";
    r.contentType = "text/plain";
    m_resources.insert(path, r);
}

void LocalHttpServer::serveEndless(const QString &path, const QByteArray &contentType)
{
    Resource r;
    r.contentType = contentType;
    r.endless = true;
    m_resources.insert(path, r);
}

void LocalHttpServer::redirect(const QString &path, const QString &location)
{
    Resource r;
    r.status = 302;
    r.location = location;
    r.contentType = "text/plain";
    m_resources.insert(path, r);
}

void LocalHttpServer::dropAfter(const QString &path, qint64 bytes, int times)
{
    if (m_resources.contains(path)) {
        m_resources[path].dropAfter = bytes;
        m_resources[path].dropTimes = times;
    }
}

void LocalHttpServer::remove(const QString &path)
{
    m_resources.remove(path);
}

int LocalHttpServer::hits(const QString &path) const
{
    return m_hits.value(path);
}

void LocalHttpServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        m_pending.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void LocalHttpServer::onReadyRead(QTcpSocket *socket)
{
    if (!m_pending.contains(socket))
        return;
    QByteArray &buffer = m_pending[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (buffer.size() > 64 * 1024)
            socket->abort();
        return;
    }
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.clear();
    const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
    QByteArray range;
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "range")
            range = line.mid(colon + 1).trimmed();
    }
    const QString target = QString::fromUtf8(request.value(1));
    const QString path = QUrl(target).path();
    m_requests << path;
    m_hits[path] += 1;
    respond(socket, request.value(0), path, range);
}

void LocalHttpServer::respond(QTcpSocket *socket, const QByteArray &method, const QString &path,
                              const QByteArray &rangeHeader)
{
    auto reason = [](int status) -> QByteArray {
        switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 302:
            return "Found";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 416:
            return "Range Not Satisfiable";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
        }
    };
    Resource r;
    if (m_resources.contains(path)) {
        r = m_resources.value(path);
    } else {
        r.status = 404;
        r.body = "not found\n";
        r.contentType = "text/plain";
    }
    if (r.endless) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + r.contentType + "\r\nConnection: close\r\n\r\n");
        auto *feed = new QTimer(socket);
        connect(feed, &QTimer::timeout, socket, [socket] {
            if (socket->bytesToWrite() < 256 * 1024)
                socket->write(QByteArray(64 * 1024, 'x'));
        });
        feed->start(5);
        return;
    }
    QByteArray body = r.body;
    int status = r.status;
    QByteArray extra;
    if (status == 302)
        extra += "Location: " + r.location.toUtf8() + "\r\n";
    if (status == 200) {
        extra += "Accept-Ranges: bytes\r\n";
        static const QRegularExpression bytes(QStringLiteral("^bytes=(\\d+)-(\\d*)$"));
        const auto m = bytes.match(QString::fromLatin1(rangeHeader));
        if (m.hasMatch()) {
            const qint64 from = m.captured(1).toLongLong();
            qint64 to = m.captured(2).isEmpty() ? body.size() - 1 : m.captured(2).toLongLong();
            to = qMin<qint64>(to, body.size() - 1);
            if (from >= body.size()) {
                status = 416;
                extra += "Content-Range: bytes */" + QByteArray::number(body.size()) + "\r\n";
                body.clear();
            } else {
                status = 206;
                extra += "Content-Range: bytes " + QByteArray::number(from) + "-" + QByteArray::number(to) + "/" +
                         QByteArray::number(r.body.size()) + "\r\n";
                body = body.mid(from, to - from + 1);
            }
        }
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " " + reason(status) + "\r\n";
    head += "Content-Type: " + r.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += extra;
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    if (method != "HEAD") {
        if (r.dropAfter >= 0 && r.dropAfter < body.size() && r.dropTimes != 0) {
            if (r.dropTimes > 0)
                m_resources[path].dropTimes -= 1;
            socket->write(body.left(r.dropAfter));
            socket->flush();
            socket->abort(); // drops the connection in the middle of the body
            return;
        }
        socket->write(body);
    }
    socket->disconnectFromHost();
}

// ---- IcecastServer ------------------------------------------------------------------------------

IcecastServer::IcecastServer() : IcecastServer(Options()) {}

IcecastServer::IcecastServer(const Options &options) : m_options(options)
{
    m_password = QStringLiteral("hx%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

IcecastServer::~IcecastServer()
{
    stop();
}

bool IcecastServer::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("icecast2")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

QString IcecastServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QString IcecastServer::streamUrl() const
{
    return baseUrl() + m_options.mount;
}

bool IcecastServer::writeConfig()
{
    // The server drops root rights after start and then writes its logs here.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                            QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                            QFile::ExeOther);
    const QString security = geteuid() == 0
                                 ? QStringLiteral("<security><chroot>0</chroot><changeowner><user>icecast2</user>"
                                                  "<group>icecast</group></changeowner></security>")
                                 : QStringLiteral("<security><chroot>0</chroot></security>");
    const QString xml =
        QStringLiteral(
            "<icecast>\n"
            "  <location>test</location><admin>test@localhost</admin>\n"
            "  <limits><clients>100</clients><sources>4</sources><queue-size>524288</queue-size>\n"
            "    <client-timeout>30</client-timeout><header-timeout>15</header-timeout>\n"
            "    <source-timeout>10</source-timeout><burst-on-connect>1</burst-on-connect>\n"
            "    <burst-size>65535</burst-size></limits>\n"
            "  <authentication><source-password>%1</source-password><relay-password>%1</relay-password>\n"
            "    <admin-user>admin</admin-user><admin-password>%1</admin-password></authentication>\n"
            "  <hostname>127.0.0.1</hostname>\n"
            "  <listen-socket><port>%2</port><bind-address>127.0.0.1</bind-address></listen-socket>\n"
            "  <fileserve>1</fileserve>\n"
            "  <paths><basedir>/usr/share/icecast2</basedir><logdir>%3</logdir>\n"
            "    <webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot>\n"
            "    <alias source=\"/\" destination=\"/status.xsl\"/></paths>\n"
            "  <logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog>\n"
            "    <loglevel>3</loglevel><logsize>10000</logsize></logging>\n"
            "  %4\n"
            "</icecast>\n")
            .arg(m_password)
            .arg(m_port)
            .arg(m_dir.path(), security);
    QFile file(m_dir.filePath(QStringLiteral("icecast.xml")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(xml.toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

bool IcecastServer::waitForPort(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        if (m_server && m_server->state() == QProcess::NotRunning)
            return false;
        spin(50);
    }
    return false;
}

bool IcecastServer::start(int timeoutMs)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    if (!available()) {
        m_error = QStringLiteral("icecast2 or ffmpeg is not installed");
        return false;
    }
    m_port = StreamTools::freePort();
    if (!writeConfig()) {
        m_error = QStringLiteral("cannot write the server configuration");
        return false;
    }
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::MergedChannels);
    m_server->setStandardOutputFile(m_dir.filePath(QStringLiteral("server-output.txt")));
    m_server->start(QStringLiteral("icecast2"), {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("icecast.xml"))});
    if (!m_server->waitForStarted(5000) || !waitForPort(timeoutMs)) {
        m_error = QStringLiteral("icecast2 did not start: ") + logText();
        stop();
        return false;
    }
    if (!startSource(timeoutMs)) {
        stop();
        return false;
    }
    return true;
}

bool IcecastServer::startSource(int timeoutMs)
{
    stopSource();
    m_source = std::make_unique<QProcess>();
    m_source->setProcessChannelMode(QProcess::MergedChannels);
    m_source->setStandardOutputFile(m_dir.filePath(QStringLiteral("source-output.txt")), QIODevice::Append);
    m_source->start(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-hide_banner"),
         QStringLiteral("-nostdin"),
         QStringLiteral("-loglevel"),
         QStringLiteral("error"),
         QStringLiteral("-re"),
         QStringLiteral("-f"),
         QStringLiteral("lavfi"),
         QStringLiteral("-i"),
         QStringLiteral("sine=frequency=%1").arg(m_options.frequency),
         QStringLiteral("-c:a"),
         m_options.vorbis ? QStringLiteral("libvorbis") : QStringLiteral("libmp3lame"),
         QStringLiteral("-b:a"),
         QStringLiteral("128k"),
         QStringLiteral("-content_type"),
         m_options.vorbis ? QStringLiteral("audio/ogg") : QStringLiteral("audio/mpeg"),
         QStringLiteral("-ice_name"),
         m_options.stationName,
         QStringLiteral("-f"),
         m_options.vorbis ? QStringLiteral("ogg") : QStringLiteral("mp3"),
         QStringLiteral("icecast://source:%1@127.0.0.1:%2%3").arg(m_password).arg(m_port).arg(m_options.mount)});
    if (!m_source->waitForStarted(5000)) {
        m_error = QStringLiteral("ffmpeg did not start");
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (mountLive())
            return true;
        if (m_source->state() == QProcess::NotRunning)
            break;
        spin(50);
    }
    m_error = QStringLiteral("the source did not reach the server: ") + logText();
    return false;
}

void IcecastServer::stopSource()
{
    if (!m_source)
        return;
    if (m_source->state() != QProcess::NotRunning) {
        m_source->terminate();
        if (!m_source->waitForFinished(5000)) {
            m_source->kill();
            m_source->waitForFinished(2000);
        }
    }
    m_source.reset();
}

bool IcecastServer::sourceRunning() const
{
    return m_source && m_source->state() == QProcess::Running;
}

bool IcecastServer::mountLive()
{
    if (!m_port)
        return false;
    int status = 0;
    const QByteArray json = StreamTools::httpGet(baseUrl() + QStringLiteral("/status-json.xsl"), &status, 2000);
    return status == 200 && json.contains(m_options.mount.toUtf8());
}

int IcecastServer::listeners() const
{
    const QByteArray json = StreamTools::httpGet(baseUrl() + QStringLiteral("/status-json.xsl"));
    // One mount gives an object, several an array; the test servers have one.
    const QJsonValue source = QJsonDocument::fromJson(json)
                                  .object()
                                  .value(QStringLiteral("icestats"))
                                  .toObject()
                                  .value(QStringLiteral("source"));
    return source.toObject().value(QStringLiteral("listeners")).toInt(-1);
}

bool IcecastServer::setTitle(const QString &title)
{
    QUrl url(baseUrl() + QStringLiteral("/admin/metadata"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("mount"), m_options.mount);
    query.addQueryItem(QStringLiteral("mode"), QStringLiteral("updinfo"));
    query.addQueryItem(QStringLiteral("song"), QString::fromLatin1(QUrl::toPercentEncoding(title)));
    url.setQuery(query);
    url.setUserName(QStringLiteral("admin"));
    url.setPassword(m_password);
    int status = 0;
    const QByteArray answer = StreamTools::httpGet(url.toString(), &status, 5000);
    return status == 200 && answer.contains("successful");
}

void IcecastServer::stop()
{
    stopSource();
    if (m_server) {
        if (m_server->state() != QProcess::NotRunning) {
            m_server->terminate();
            if (!m_server->waitForFinished(5000)) {
                m_server->kill();
                m_server->waitForFinished(2000);
            }
        }
        m_server.reset();
    }
}

QString IcecastServer::logText() const
{
    QString text;
    for (const char *name : {"server-output.txt", "error.log", "source-output.txt"}) {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        if (file.open(QIODevice::ReadOnly))
            text += QStringLiteral("== %1\n").arg(QString::fromLatin1(name)) +
                    QString::fromUtf8(file.readAll().right(4000));
    }
    return text;
}

// ---- tools --------------------------------------------------------------------------------------

namespace StreamTools {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

namespace {
// Runs ffmpeg on one of its generated sources (lavfi) into the file.
bool makeFromSource(const QString &source, const QStringList &output, const QString &fileName)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                             QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                             QStringLiteral("lavfi"), QStringLiteral("-i"), source} +
                     output + QStringList{fileName});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        qWarning("ffmpeg: %s", ffmpeg.readAll().constData());
        return false;
    }
    return QFile::exists(fileName);
}
} // namespace

bool makeTone(const QString &fileName, int frequency, double seconds)
{
    return makeFromSource(QStringLiteral("sine=frequency=%1:duration=%2:sample_rate=44100").arg(frequency).arg(seconds),
                          {}, fileName);
}

bool makeTestPicture(const QString &fileName, double seconds)
{
    return makeFromSource(QStringLiteral("testsrc=size=160x120:rate=10:duration=%1").arg(seconds),
                          {QStringLiteral("-c:v"), QStringLiteral("mpeg4")}, fileName);
}

QVector<float> readWavChannel(const QString &fileName, int *sampleRate)
{
    QVector<float> out;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QByteArray all = file.readAll();
    if (all.size() < 12 || !all.startsWith("RIFF") || all.mid(8, 4) != "WAVE")
        return out;
    auto u16 = [&](qsizetype at) { return quint16(quint8(all[at]) | (quint8(all[at + 1]) << 8)); };
    auto u32 = [&](qsizetype at) { return quint32(u16(at) | (quint32(u16(at + 2)) << 16)); };
    int format = 0, channels = 0, rate = 0, bits = 0;
    qsizetype pos = 12;
    while (pos + 8 <= all.size()) {
        const QByteArray id = all.mid(pos, 4);
        const quint32 size = u32(pos + 4);
        const qsizetype data = pos + 8;
        if (id == "fmt " && data + 16 <= all.size()) {
            format = u16(data);
            channels = u16(data + 2);
            rate = int(u32(data + 4));
            bits = u16(data + 14);
            if (format == 0xFFFE && size >= 40) // extensible: the sub-format's first two bytes
                format = u16(data + 24);
        } else if (id == "data") {
            if (channels <= 0 || bits <= 0)
                return out;
            const int bytes = bits / 8;
            const qsizetype frame = qsizetype(bytes) * channels;
            for (qsizetype at = data; at + frame <= all.size(); at += frame) {
                const char *p = all.constData() + at;
                float v = 0;
                if (format == 3 && bits == 32) {
                    std::memcpy(&v, p, 4);
                } else if (format == 3 && bits == 64) {
                    double d;
                    std::memcpy(&d, p, 8);
                    v = float(d);
                } else if (bits == 16) {
                    v = qint16(u16(at)) / 32768.0f;
                } else if (bits == 32) {
                    v = float(qint32(u32(at)) / 2147483648.0);
                } else if (bits == 8) {
                    v = (quint8(*p) - 128) / 128.0f;
                }
                out.append(v);
            }
            if (sampleRate)
                *sampleRate = rate;
            return out;
        }
        pos = data + size + (size & 1);
    }
    return out;
}

double toneFrequency(const QVector<float> &samples, int sampleRate)
{
    if (samples.size() < 2 || sampleRate <= 0)
        return 0;
    // Crossings of zero going upwards, with a little hysteresis against noise near zero.
    const float threshold = 0.01f;
    qsizetype first = -1, last = -1;
    int crossings = 0;
    bool below = false;
    for (qsizetype i = 0; i < samples.size(); ++i) {
        if (samples[i] < -threshold) {
            below = true;
        } else if (below && samples[i] > threshold) {
            below = false;
            if (first < 0)
                first = i;
            else
                ++crossings;
            last = i;
        }
    }
    if (crossings == 0 || last <= first)
        return 0;
    return crossings * double(sampleRate) / double(last - first);
}

QByteArray httpGet(const QString &url, int *status, int timeoutMs)
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs + 500, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const QByteArray body = reply->readAll();
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->abort();
    delete reply;
    return body;
}

double probedSeconds(const QString &file)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", file});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        return -1;
    bool ok = false;
    const double seconds = probe.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}

} // namespace StreamTools
