// Time from setting a source to the first audio on a local icecast2 stream, with the player's
// audio engine and with libmpv, beside the mpv command-line program on the same stream in the
// same run; then the memory cost of retuning (audio engine).
//
//   bench_player [rounds]      (default 9; needs icecast2, ffmpeg and mpv)
#include "StreamServers.h"
#include "player/Player.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Our player: setSource on a player that exists (as in the program) to its first audio.
std::optional<double> ourStart(const QString &url)
{
    Player *player = Player::forConsole(QStringLiteral("Bench"));
    player->setAutoStart(true);
    QEventLoop loop;
    QElapsedTimer clock;
    bool started = false;
    auto c = QObject::connect(player, &Player::playbackStarted, &loop, [&] {
        started = true;
        loop.quit();
    });
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    clock.start();
    player->setSource(url);
    loop.exec();
    const double ms = clock.nsecsElapsed() / 1e6;
    QObject::disconnect(c);
    player->setSource(QString());
    spin(300);
    if (!started)
        return std::nullopt;
    return ms;
}

struct MpvTimes
{
    double wallMs = 0;     // from starting the process to its playback start
    double internalMs = 0; // from its first line about the address to its playback start
};

// mpv's verbose log with time stamps: "[  0.157568] [cplayer] playback restart complete ...".
std::optional<MpvTimes> mpvStart(const QString &url, const QStringList &extra)
{
    QProcess mpv;
    mpv.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args = {QStringLiteral("--no-config"),       QStringLiteral("--ao=null"),
                        QStringLiteral("--vo=null"),         QStringLiteral("--ytdl=no"),
                        QStringLiteral("--msg-level=all=v"), QStringLiteral("--msg-time")};
    args << extra << url;
    QElapsedTimer clock;
    clock.start();
    mpv.start(QStringLiteral("mpv"), args);
    QByteArray pending;
    std::optional<double> opened;
    while (clock.elapsed() < 15000 && mpv.waitForReadyRead(15000 - int(clock.elapsed()))) {
        pending += mpv.readAll();
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(nl);
            pending.remove(0, nl + 1);
            const double stamp = line.mid(1, line.indexOf(']') - 1).trimmed().toDouble() * 1000.0;
            if (!opened && line.contains(url.toUtf8()))
                opened = stamp;
            if (line.contains("playback restart complete")) {
                MpvTimes t;
                t.wallMs = clock.nsecsElapsed() / 1e6;
                t.internalMs = stamp - opened.value_or(0);
                mpv.kill();
                mpv.waitForFinished(3000);
                return t;
            }
        }
    }
    mpv.kill();
    mpv.waitForFinished(3000);
    return std::nullopt;
}

struct Stats
{
    QList<double> values;
    void add(double v) { values << v; }
    double median() const
    {
        if (values.isEmpty())
            return 0;
        auto v = values;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
    double mean() const
    {
        double s = 0;
        for (double v : values)
            s += v;
        return values.isEmpty() ? 0 : s / values.size();
    }
    double min() const { return values.isEmpty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double max() const { return values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

void print(const char *name, const Stats &s)
{
    std::printf("%-44s median %7.1f ms  mean %7.1f  min %7.1f  max %7.1f  (n=%lld)\n", name, s.median(), s.mean(),
                s.min(), s.max(), static_cast<long long>(s.values.size()));
}

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    if (!IcecastServer::available() || QStandardPaths::findExecutable(QStringLiteral("mpv")).isEmpty()) {
        std::fprintf(stderr, "needs icecast2, ffmpeg and mpv\n");
        return 2;
    }
    IcecastServer icecast;
    if (!icecast.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(icecast.errorText()));
        return 1;
    }
    spin(5000); // the server's burst buffer is full, as on a station that has been on air
    const QString url = icecast.streamUrl();
    // Any libmpv option makes libmpv play everything; without one, the stream plays in the audio
    // engine. Both play to the desktop's sound server (PULSE_SERVER), or to a silent output when
    // there is none.
    const auto useLibmpv = [](bool on) {
        Player::clearDefaultOptions();
        if (on)
            Player::setDefaultOption(QStringLiteral("vo"), QStringLiteral("null"));
    };
    Player::forConsole(QStringLiteral("Bench"));
    useLibmpv(true);
    ourStart(url); // warm-up: first use of the network and decoder libraries
    useLibmpv(false);
    ourStart(url);

    const QStringList fast = {QStringLiteral("--demuxer-lavf-analyzeduration=0.1"),
                              QStringLiteral("--demuxer-lavf-probe-info=nostreams")};
    Stats engine, ours, mpvWall, mpvInternal, mpvFastWall, mpvFastInternal;
    for (int i = 0; i < rounds; ++i) {
        useLibmpv(false);
        if (auto t = ourStart(url))
            engine.add(*t);
        useLibmpv(true);
        if (auto t = ourStart(url))
            ours.add(*t);
        if (auto t = mpvStart(url, {})) {
            mpvWall.add(t->wallMs);
            mpvInternal.add(t->internalMs);
        }
        if (auto t = mpvStart(url, fast)) {
            mpvFastWall.add(t->wallMs);
            mpvFastInternal.add(t->internalMs);
        }
    }
    std::printf("Time to first audio, local icecast2 stream %s, %d rounds\n", qPrintable(url), rounds);
    print("player, audio engine: setSource -> audio", engine);
    print("player, libmpv: setSource -> first audio", ours);
    print("mpv: address opened -> playback start", mpvInternal);
    print("mpv: process start -> playback start", mpvWall);
    print("mpv fast-start opts: opened -> start", mpvFastInternal);
    print("mpv fast-start opts: process -> start", mpvFastWall);
    if (mpvInternal.median() > 0)
        std::printf("player / mpv (address opened -> start): %.2f\n", ours.median() / mpvInternal.median());

    // Retuning: memory after many new sources (stream and silence in turn).
    useLibmpv(false);
    const long before = rssKiB();
    const int tunes = 100;
    Player *player = Player::forConsole(QStringLiteral("Bench"));
    for (int i = 0; i < tunes; ++i) {
        player->setSource(i % 2 ? url : url + QStringLiteral("?n=%1").arg(i));
        spin(60);
    }
    player->setSource(QString());
    spin(1000);
    const long after = rssKiB();
    std::printf("Retuning %d times: resident memory %ld KiB -> %ld KiB (%+ld KiB)\n", tunes, before, after,
                after - before);
    Player::destroyAll();
    return 0;
}
