#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

#include <memory>

class QTcpServer;
class QTcpSocket;

// Stream servers for tests, all on 127.0.0.1. The machine has no internet; every stream a test
// plays comes from one of these.

// A small HTTP/1.1 server in this process (it answers while the test spins the event loop, e.g.
// in QTRY_ macros). Paths not served answer 404. Supports HEAD, byte ranges and Connection: close.
class LocalHttpServer : public QObject
{
    Q_OBJECT
public:
    explicit LocalHttpServer(QObject *parent = nullptr);
    ~LocalHttpServer() override;

    bool isListening() const;
    quint16 port() const;
    // "http://127.0.0.1:PORT" + path (path starts with "/").
    QString url(const QString &path) const;

    // Serves bytes or a file's bytes at a path (the path is matched without its query).
    void serve(const QString &path, const QByteArray &body, const QByteArray &contentType = "application/octet-stream");
    void serveFile(const QString &path, const QString &fileName,
                   const QByteArray &contentType = "application/octet-stream");
    // Answers the path with an HTTP status and a short text body (e.g. 500, 403).
    void serveStatus(const QString &path, int status);
    // Answers the path with "302 Found" to another address.
    void redirect(const QString &path, const QString &location);
    // Answers the path with a body that never ends (no length given), until the client goes.
    void serveEndless(const QString &path, const QByteArray &contentType = "application/octet-stream");
    // Closes the connection after this many body bytes of the path (a stream that drops), for
    // the next `times` answers (-1: every answer).
    void dropAfter(const QString &path, qint64 bytes, int times = -1);
    void remove(const QString &path);

    // Requests seen for a path (any method), and all request paths in order.
    int hits(const QString &path) const;
    QStringList requests() const { return m_requests; }

private:
    struct Resource
    {
        QByteArray body;
        QByteArray contentType;
        int status = 200;
        QString location;
        qint64 dropAfter = -1;
        int dropTimes = -1;
        bool endless = false;
    };
    void onConnection();
    void onReadyRead(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const QByteArray &method, const QString &path, const QByteArray &rangeHeader);

    QTcpServer *m_server = nullptr;
    QHash<QString, Resource> m_resources;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QHash<QString, int> m_hits;
    QStringList m_requests;
};

// A real icecast2 server with an ffmpeg source sending a sine tone as 128 kbit/s MP3 on
// /radio.mp3. Everything (configuration, logs) lives in a temporary folder; both programs are
// stopped when the object goes.
class IcecastServer
{
public:
    struct Options
    {
        int frequency = 440;                                // Hz of the tone
        QString stationName = QStringLiteral("Test Radio"); // sent as icy-name
        QString mount = QStringLiteral("/radio.mp3");
        bool vorbis = false; // Ogg Vorbis instead of MP3 (its titles are in the stream, not set by setTitle)
    };

    IcecastServer();
    explicit IcecastServer(const Options &options);
    ~IcecastServer();

    // True when icecast2 and ffmpeg are installed.
    static bool available();

    // Starts icecast2 and the source and waits until the mount is live (up to timeoutMs).
    // Returns false with errorText() set when that fails.
    bool start(int timeoutMs = 20000);
    void stop();

    bool startSource(int timeoutMs = 15000); // also waits until the mount is live
    void stopSource();                       // ends the source; listeners are dropped
    bool sourceRunning() const;
    bool mountLive(); // asks the server (spins the event loop)
    // How many listeners the mount has, -1 when the server does not say (spins the event loop).
    int listeners() const;

    // Sets the ICY title of the mount through the server's admin interface.
    bool setTitle(const QString &title);

    quint16 port() const { return m_port; }
    QString streamUrl() const; // http://127.0.0.1:PORT/radio.mp3
    QString baseUrl() const;   // http://127.0.0.1:PORT
    QString password() const { return m_password; }
    QString directory() const { return m_dir.path(); }
    QString errorText() const { return m_error; }
    QString logText() const; // the server's error log and the source's output

private:
    bool writeConfig();
    bool waitForPort(int timeoutMs);

    Options m_options;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QString m_password;
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_source;
    QString m_error;
};

namespace StreamTools {

// A free TCP port on 127.0.0.1 (free at the time of the call).
quint16 freePort();

// Makes an audio file with ffmpeg: a sine tone of the given frequency and length. The format
// follows the file ending (.mp3, .wav, .ogg …). Returns false when ffmpeg fails.
bool makeTone(const QString &fileName, int frequency, double seconds);
// Makes a silent video file with ffmpeg: its test picture, 160 x 120 at 10 frames a second,
// in MPEG-4. Returns false when ffmpeg fails.
bool makeTestPicture(const QString &fileName, double seconds);

// The samples of a WAV file's first channel as floats in -1..1 (PCM 8/16/32 bit or float 32/64).
// Reads to the end of the file even when the header's sizes were never filled in.
QVector<float> readWavChannel(const QString &fileName, int *sampleRate = nullptr);

// The frequency of a steady tone, from the zero crossings of the samples (0 when silent).
double toneFrequency(const QVector<float> &samples, int sampleRate);

// HTTP GET on a local address; spins the event loop until done. Returns the body, status in *status.
QByteArray httpGet(const QString &url, int *status = nullptr, int timeoutMs = 5000);

// The length of a media file in seconds as ffprobe reads it; -1 when it cannot be read.
double probedSeconds(const QString &file);

} // namespace StreamTools
