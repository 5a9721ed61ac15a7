// The television picture at full screen, against the mpv program, side by side in one run:
// a 720p, 25 frames/s H.264 HLS stream made by ffmpeg and served on 127.0.0.1 is played for 20 s
// full screen on an X server of the benchmark's own (Xvfb, 1280 x 900, Mesa's llvmpipe for
// OpenGL), by this program's player and by `mpv --fs`. For each: processor seconds over the
// 20 s, and the frames libmpv counts as dropped (frame-drop-count, decoder-frame-drop-count).
// Also the small picture of the main window, and each forced to OpenGL and to software.
//
//   bench_fullscreen [runs]   (default 1; needs Xvfb, ffmpeg, python3, mpv)
//
// The player side runs in a child process of this program (bench_fullscreen --play ...): the
// picture element and its full-screen window over the real player, nothing else.
#include "player/PictureWindow.h"
#include "player/Player.h"
#include "player/RealAudio.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kPlaySeconds = 20;

void wait(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
}

// ---- the child: this program's player ----------------------------------------------------------

int play(const QString &url, bool fullScreen)
{
    Player::setDefaultOption(QStringLiteral("ao"), QStringLiteral("null"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("bench"));
    auto *picture = new RealAudio(QStringLiteral("ImageWindow"), QStringLiteral("Bench"), &window);
    picture->setGeometry(0, 0, 167, 135);
    window.resize(167, 135);
    window.show();
    Player *player = picture->player();
    player->setAutoStart(true);
    player->setSource(url);
    QDeadlineTimer deadline(60000);
    while (!player->hasVideo() && !deadline.hasExpired())
        wait(50);
    if (!player->hasVideo()) {
        std::printf("error no picture: %s\n", qPrintable(player->statusText()));
        return 1;
    }
    if (fullScreen)
        picture->setFullScreen(true);
    wait(2000); // settled: the first frames and the window are out
    auto drops = [player] {
        return player->mpvProperty(QStringLiteral("frame-drop-count")).toLongLong() +
               player->mpvProperty(QStringLiteral("decoder-frame-drop-count")).toLongLong();
    };
    const qint64 before = drops();
    std::printf("ready %s\n", player->drawsWithOpenGL() ? "opengl" : "software");
    std::fflush(stdout);
    wait(kPlaySeconds * 1000);
    std::printf("drops %lld full-screen %d\n", drops() - before, picture->isFullScreen() ? 1 : 0);
    std::fflush(stdout);
    return 0;
}

// ---- the benchmark ----------------------------------------------------------------------------

double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

void stop(QProcess &p)
{
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

struct Result
{
    bool ok = false;
    double cpu = 0;
    qint64 drops = 0;
    QString how;
};

QProcessEnvironment displayEnv(const QByteArray &display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

Result runPlayer(const QByteArray &display, const QString &url, bool fullScreen, const char *picture)
{
    Result r;
    QProcess child;
    QProcessEnvironment env = displayEnv(display);
    if (*picture)
        env.insert(QStringLiteral("HALCYRIX_PICTURE"), QLatin1String(picture));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--play"), url, fullScreen ? QStringLiteral("full") : QStringLiteral("small")});
    if (!child.waitForStarted(10000))
        return r;
    auto line = [&child](int ms) {
        QDeadlineTimer deadline(ms);
        while (!child.canReadLine() && !deadline.hasExpired() && child.state() == QProcess::Running)
            child.waitForReadyRead(200);
        return QString::fromLatin1(child.readLine().trimmed());
    };
    const QString ready = line(90000);
    if (!ready.startsWith(QLatin1String("ready"))) {
        std::printf("  player: %s\n", qPrintable(ready));
        stop(child);
        return r;
    }
    r.how = ready.mid(6);
    const double cpu0 = cpuSeconds(child.processId());
    const QString end = line((kPlaySeconds + 30) * 1000);
    r.cpu = cpuSeconds(child.processId()) - cpu0;
    const QStringList parts = end.split(QLatin1Char(' '));
    r.ok = parts.value(0) == QLatin1String("drops") && (!fullScreen || parts.value(3) == QLatin1String("1"));
    r.drops = parts.value(1).toLongLong();
    child.waitForFinished(10000);
    stop(child);
    return r;
}

// One property of the mpv program through its IPC socket.
qint64 mpvNumber(const QString &socket, const char *property)
{
    QLocalSocket s;
    s.connectToServer(socket);
    if (!s.waitForConnected(2000))
        return -1;
    s.write(QByteArray("{\"command\":[\"get_property\",\"") + property + "\"]}\n");
    s.flush();
    QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        if (!s.canReadLine())
            s.waitForReadyRead(200);
        while (s.canReadLine()) {
            const QJsonObject o = QJsonDocument::fromJson(s.readLine()).object();
            if (o.contains(QLatin1String("error")) && !o.contains(QLatin1String("event")))
                return o.value(QLatin1String("error")).toString() == QLatin1String("success")
                           ? qint64(o.value(QLatin1String("data")).toDouble())
                           : -1;
        }
    }
    return -1;
}

Result runMpv(const QByteArray &display, const QString &url, const QString &socket)
{
    Result r;
    QProcess mpv;
    mpv.setProcessEnvironment(displayEnv(display));
    mpv.start(QStringLiteral("mpv"),
              {QStringLiteral("--fs"), QStringLiteral("--no-config"), QStringLiteral("--ao=null"),
               QStringLiteral("--really-quiet"), QStringLiteral("--input-ipc-server=") + socket, url});
    if (!mpv.waitForStarted(10000))
        return r;
    QDeadlineTimer deadline(90000);
    while (mpvNumber(socket, "estimated-frame-number") <= 0 && !deadline.hasExpired())
        QThread::msleep(200);
    QThread::msleep(2000);
    auto drops = [&socket] {
        return mpvNumber(socket, "frame-drop-count") + mpvNumber(socket, "decoder-frame-drop-count");
    };
    const qint64 before = drops();
    const double cpu0 = cpuSeconds(mpv.processId());
    QThread::sleep(kPlaySeconds);
    r.cpu = cpuSeconds(mpv.processId()) - cpu0;
    r.drops = drops() - before;
    r.ok = before >= 0 && mpv.state() == QProcess::Running;
    r.how = QStringLiteral("mpv --fs");
    stop(mpv);
    return r;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

int bench(int runs)
{
    QTemporaryDir dir;
    // 720p, 25 frames/s H.264 with AAC sound in 2 s segments, long enough for every run.
    std::printf("making the stream...\n");
    std::fflush(stdout);
    if (QProcess::execute(QStringLiteral("ffmpeg"), {"-loglevel",
                                                     "error",
                                                     "-y",
                                                     "-f",
                                                     "lavfi",
                                                     "-i",
                                                     "testsrc2=size=1280x720:rate=25",
                                                     "-f",
                                                     "lavfi",
                                                     "-i",
                                                     "sine=frequency=440:sample_rate=48000",
                                                     "-t",
                                                     "60",
                                                     "-c:v",
                                                     "libx264",
                                                     "-preset",
                                                     "veryfast",
                                                     "-g",
                                                     "50",
                                                     "-pix_fmt",
                                                     "yuv420p",
                                                     "-c:a",
                                                     "aac",
                                                     "-b:a",
                                                     "128k",
                                                     "-f",
                                                     "hls",
                                                     "-hls_time",
                                                     "2",
                                                     "-hls_list_size",
                                                     "0",
                                                     dir.filePath("tv.m3u8")}) != 0) {
        std::printf("ffmpeg failed\n");
        return 1;
    }
    QProcess web;
    web.start(QStringLiteral("python3"),
              {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", dir.path()});
    web.waitForReadyRead(20000);
    const QRegularExpressionMatch port =
        QRegularExpression(QStringLiteral(" port (\\d+)")).match(QString::fromLatin1(web.readLine()));
    if (!port.hasMatch()) {
        std::printf("the web server did not start\n");
        return 1;
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1/tv.m3u8").arg(port.captured(1));

    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
    xvfb.waitForReadyRead(30000);
    const QByteArray display = ":" + xvfb.readLine().trimmed();

    struct Case
    {
        const char *name;
        bool mpv, full;
        const char *picture; // HALCYRIX_PICTURE, empty for the program's own choice
    };
    const Case cases[] = {{"full screen, this program", false, true, ""},
                          {"full screen, mpv --fs", true, true, ""},
                          {"full screen, this program, OpenGL", false, true, "opengl"},
                          {"full screen, this program, software", false, true, "software"},
                          {"small picture, this program", false, false, ""},
                          {"small picture, this program, OpenGL", false, false, "opengl"},
                          {"small picture, this program, software (as before)", false, false, "software"}};
    std::printf("%-52s %10s %8s %s\n", "20 s of 720p25 H.264 HLS", "CPU s", "dropped", "drawn with");
    for (const Case &c : cases) {
        QList<double> cpu, drops;
        QString how;
        for (int i = 0; i < runs; ++i) {
            const Result r = c.mpv ? runMpv(display, url, dir.filePath(QStringLiteral("mpv.socket")))
                                   : runPlayer(display, url, c.full, c.picture);
            if (!r.ok) {
                std::printf("%-52s failed\n", c.name);
                continue;
            }
            cpu << r.cpu;
            drops << double(r.drops);
            how = r.how;
        }
        if (!cpu.isEmpty())
            std::printf("%-52s %10.2f %8.0f %s\n", c.name, median(cpu), median(drops), qPrintable(how));
        std::fflush(stdout);
    }
    stop(web);
    stop(xvfb);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4 && QByteArray(argv[1]) == "--play") {
        QApplication app(argc, argv);
        return play(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]) == "full");
    }
    QCoreApplication app(argc, argv);
    return bench(argc > 1 ? std::max(1, atoi(argv[1])) : 1);
}
