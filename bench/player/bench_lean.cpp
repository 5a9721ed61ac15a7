// The program as a user meets it, measured from outside, side by side in one run (medians):
//  - launch to the main window mapped, and resident memory 3 s after launch, with the shipped
//    stations and with 0, 50,000 and 200,000 generated ones (the real program under Xvfb);
//  - processor seconds over 20 s of playing the local Icecast stream and the resident memory while
//    playing, interleaved: the program, `gst-launch-1.0 playbin` and `mpv --no-video` on the same
//    stream, each through a PulseAudio null sink of the benchmark's own (which paces every player
//    as a sound card does), with the processor time of each player's threads by name.
//
//   bench_lean [runs] [playing runs]   (default 5 and 5; needs Xvfb, xdotool, icecast2, ffmpeg, mpv,
//                                       pulseaudio and gst-launch-1.0)
//
// HALCYRIX_BENCH_PROGRAM names another build of the program to measure (say, before a change).
#include "SoundServer.h"
#include "StreamServers.h"
#include "TestAppDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const QByteArray kIni = "DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=";

double median(QList<double> v)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

QByteArray procFile(qint64 pid, const char *name)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double rssMiB(qint64 pid)
{
    for (const QByteArray &line : procFile(pid, "status").split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Processor seconds of a process, or of one of its threads.
double cpuSeconds(qint64 pid, qint64 thread = 0)
{
    const QByteArray stat = thread ? procFile(pid, QStringLiteral("task/%1/stat").arg(thread).toLatin1().constData())
                                   : procFile(pid, "stat");
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' '); // from field 3 on
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// Processor seconds of each thread of a process by thread id, with the thread's name (the main
// thread's name marked as such).
QMap<qint64, QPair<QByteArray, double>> threadSeconds(qint64 pid)
{
    QMap<qint64, QPair<QByteArray, double>> threads;
    const QStringList tids =
        QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tids) {
        QByteArray name = procFile(pid, ("task/" + tid.toLatin1() + "/comm").constData()).trimmed();
        if (tid.toLongLong() == pid)
            name += " (main)";
        threads.insert(tid.toLongLong(), {name, cpuSeconds(pid, tid.toLongLong())});
    }
    return threads;
}

bool libmpvMapped(qint64 pid)
{
    return procFile(pid, "maps").contains("libmpv.so");
}

void stopProcess(QProcess &p)
{
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// An X server of the benchmark's own, and the windows mapped on it.
class Display
{
public:
    bool start()
    {
        m_xvfb.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                      QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QDeadlineTimer deadline(30000);
        while (m_xvfb.waitForStarted(1000) && !m_xvfb.canReadLine() && !deadline.hasExpired() &&
               m_xvfb.state() == QProcess::Running)
            m_xvfb.waitForReadyRead(200);
        const QByteArray number = m_xvfb.readLine().trimmed();
        if (number.isEmpty())
            return false;
        m_name = ":" + number;
        m_c = xcb_connect(m_name.constData(), nullptr);
        if (xcb_connection_has_error(m_c))
            return false;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_c);
        return true;
    }
    ~Display()
    {
        if (m_c)
            xcb_disconnect(m_c);
        stopProcess(m_xvfb);
    }
    QByteArray name() const { return m_name; }

    // Waits until a top-level window whose title starts with the prefix is mapped.
    bool waitForMap(const QByteArray &prefix, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            while (xcb_generic_event_t *e = xcb_poll_for_event(m_c)) {
                const bool mapped = (e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                                    title(reinterpret_cast<xcb_map_notify_event_t *>(e)->window).startsWith(prefix);
                std::free(e);
                if (mapped)
                    return true;
            }
            pollfd fd{xcb_get_file_descriptor(m_c), POLLIN, 0};
            poll(&fd, 1, int(qMax<qint64>(1, deadline.remainingTime())));
        }
        return false;
    }

private:
    QByteArray title(xcb_window_t window)
    {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
        QByteArray text;
        if (reply)
            text = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                              xcb_get_property_value_length(reply));
        std::free(reply);
        return text;
    }

    QProcess m_xvfb;
    QByteArray m_name;
    xcb_connection_t *m_c = nullptr;
    xcb_window_t m_root = 0;
};

struct Start
{
    QList<double> mappedMs;
    QList<double> rss;
    bool libmpv = false;
};

// Starts the real program on an application directory and the benchmark's display (and sound
// server, when one is named).
void startProgram(QProcess &program, const Display &display, const TestAppDir &dir,
                  const QString &pulseServer = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HALCYRIX_HOME"), dir.path());
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display.name()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    if (!pulseServer.isEmpty())
        env.insert(QStringLiteral("PULSE_SERVER"), pulseServer);
    program.setProcessEnvironment(env);
    program.setStandardErrorFile(QProcess::nullDevice()); // sound devices probed, and the like
    program.start(qEnvironmentVariable("HALCYRIX_BENCH_PROGRAM", QStringLiteral(HALCYRIX_PROGRAM)), {});
}

// Launches the program until its main window is mapped, and reads its resident memory 3 s after
// the launch.
bool launch(Display &display, const TestAppDir &dir, Start &s)
{
    QProcess program;
    QElapsedTimer clock;
    clock.start();
    startProgram(program, display, dir);
    if (!display.waitForMap("Halcyrix v", 30000)) {
        stopProcess(program);
        return false;
    }
    s.mappedMs << clock.nsecsElapsed() / 1e6;
    QThread::msleep(ulong(qMax<qint64>(0, 3000 - clock.elapsed())));
    s.rss << rssMiB(program.processId());
    s.libmpv = libmpvMapped(program.processId());
    stopProcess(program);
    return true;
}

// A double click on the first station of the main window's list, as a user tunes.
bool tuneFirstStation(const QProcessEnvironment &env)
{
    auto xdotool = [&env](const QStringList &args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdotool"), args);
        p.waitForFinished(10000);
        return p.readAllStandardOutput();
    };
    const QByteArray window = xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                                       QStringLiteral("^Halcyrix v")})
                                  .split('\n')
                                  .value(0);
    int width = 0, height = 0;
    for (const QByteArray &line :
         xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::fromLatin1(window)})
             .split('\n')) {
        if (line.startsWith("WIDTH="))
            width = line.mid(6).toInt();
        if (line.startsWith("HEIGHT="))
            height = line.mid(7).toInt();
    }
    if (width <= 0 || height <= 0)
        return false;
    // The list stands 75 twips below the menu bar, 2730 twips from the left (7065 twips wide).
    const double pixelsPerTwip = width / 7065.0;
    const int listTop = height - qRound((3225 - 720) * pixelsPerTwip) + qRound(75 * pixelsPerTwip);
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::fromLatin1(window),
             QString::number(qRound(2730 * pixelsPerTwip) + 40), QString::number(listTop + 10), QStringLiteral("click"),
             QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("120"),
             QStringLiteral("1")});
    return true;
}

struct Playing
{
    const char *name;
    QList<double> cpu;
    QList<double> rss;
    QMap<QByteArray, QList<double>> threads; // processor seconds by thread name
};

// Waits until the server counts the player as a listener and the first burst has played, then
// reads its processor time, in all and by thread, over 20 s.
bool play(QProcess &process, const IcecastServer &icecast, Playing &p)
{
    QDeadlineTimer deadline(30000);
    while (icecast.listeners() < 1 && !deadline.hasExpired())
        QThread::msleep(100);
    if (deadline.hasExpired() || process.state() != QProcess::Running) {
        stopProcess(process);
        return false;
    }
    QThread::msleep(5000);
    const qint64 pid = process.processId();
    const double before = cpuSeconds(pid);
    const auto threadsBefore = threadSeconds(pid);
    QThread::msleep(20000);
    p.cpu << cpuSeconds(pid) - before;
    QMap<QByteArray, double> byName;
    const auto threadsAfter = threadSeconds(pid);
    for (auto it = threadsAfter.begin(); it != threadsAfter.end(); ++it)
        byName[it->first] += it->second - threadsBefore.value(it.key(), {it->first, 0.0}).second;
    for (auto it = byName.begin(); it != byName.end(); ++it)
        p.threads[it.key()] << it.value();
    p.rss << rssMiB(pid);
    stopProcess(process);
    deadline = QDeadlineTimer(10000);
    while (icecast.listeners() > 0 && !deadline.hasExpired())
        QThread::msleep(100);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(0, atoi(argv[1])) : 5;        // 0: playing only
    const int playingRuns = argc > 2 ? std::max(0, atoi(argv[2])) : 5; // 0: start-up only
    for (const char *tool : {"Xvfb", "xdotool", "mpv"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            std::fprintf(stderr, "needs %s\n", tool);
            return 2;
        }
    Display display;
    if (!display.start()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }

    struct Case
    {
        const char *name;
        int stations; // -1: the shipped stations
    };
    const Case cases[] = {
        {"shipped stations", -1}, {"0 stations", 0}, {"50,000 stations", 50000}, {"200,000 stations", 200000}};
    std::printf("Launch to main window mapped, resident memory 3 s after launch; medians of %d\n", runs);
    std::printf("%-22s %14s %12s %16s\n", "", "mapped (ms)", "RSS (MiB)", "libmpv at 3 s");
    for (const Case &c : cases) {
        if (runs == 0)
            break;
        std::unique_ptr<TestAppDir> dir;
        if (c.stations < 0) {
            dir = std::make_unique<TestAppDir>(TestAppDir::SeedStations,
                                               kIni + "Classical, Eclectic, Electronic, Jazz, News, Pop, Talk\r\n");
        } else {
            // Half the categories viewed, as in the large-list benchmark.
            dir = std::make_unique<TestAppDir>(TestAppDir::EmptyTables, TestAppDir::generatedStationsIni(false));
            if (c.stations > 0)
                dir->addGeneratedStations(c.stations);
        }
        const int count = dir->query(QStringLiteral("SELECT COUNT(*) FROM Station")).value(0).value(0).toInt();
        Start s;
        launch(display, *dir, s); // warm-up: the files in the page cache
        s = Start();
        for (int i = 0; i < runs; ++i)
            if (!launch(display, *dir, s))
                std::fprintf(stderr, "%s: the main window was not mapped\n", c.name);
        const QByteArray label = QByteArray(c.name) + (c.stations < 0 ? " (" + QByteArray::number(count) + ")" : "");
        std::printf("%-22s %14.0f %12.1f %16s\n", label.constData(), median(s.mappedMs), median(s.rss),
                    s.libmpv ? "loaded" : "not loaded");
        std::fflush(stdout);
    }

    if (playingRuns == 0)
        return 0;
    for (const char *tool : {"pulseaudio", "gst-launch-1.0"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            std::fprintf(stderr, "needs %s\n", tool);
            return 2;
        }
    SoundServer sound;
    if (!sound.start()) {
        std::fprintf(stderr, "pulseaudio did not start\n");
        return 1;
    }
    IcecastServer icecast;
    if (!icecast.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(icecast.errorText()));
        return 1;
    }
    // The program is tuned to the only station of its list; the others are given the same address.
    TestAppDir dir(TestAppDir::EmptyTables, kIni + "Local\r\n");
    dir.exec(QStringLiteral("INSERT INTO Category (Name) VALUES ('Local')"));
    dir.addStation(QStringLiteral("Local Tone"), QStringLiteral("Local"), icecast.streamUrl());
    Playing players[] = {
        {"halcyrix", {}, {}, {}}, {"gst-launch-1.0 playbin", {}, {}, {}}, {"mpv --no-video", {}, {}, {}}};
    for (int i = 0; i < playingRuns; ++i) {
        QProcess program;
        startProgram(program, display, dir, sound.address());
        if (!display.waitForMap("Halcyrix v", 30000) || !tuneFirstStation(program.processEnvironment()))
            std::fprintf(stderr, "the station could not be tuned\n");
        if (!play(program, icecast, players[0]))
            std::fprintf(stderr, "the program did not play the stream\n");
        const QList<QPair<QString, QStringList>> commands = {
            {QStringLiteral("gst-launch-1.0"),
             {QStringLiteral("-q"), QStringLiteral("playbin"), QStringLiteral("uri=") + icecast.streamUrl()}},
            {QStringLiteral("mpv"),
             {QStringLiteral("--no-config"), QStringLiteral("--no-terminal"), QStringLiteral("--no-video"),
              icecast.streamUrl()}}};
        for (int c = 0; c < commands.size(); ++c) {
            QProcess other;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PULSE_SERVER"), sound.address());
            other.setProcessEnvironment(env);
            other.setStandardOutputFile(QProcess::nullDevice());
            other.setStandardErrorFile(QProcess::nullDevice());
            other.start(commands[c].first, commands[c].second);
            if (!play(other, icecast, players[c + 1]))
                std::fprintf(stderr, "%s did not play the stream\n", players[c + 1].name);
        }
    }
    std::printf("\nPlaying the local Icecast stream (128 kbit/s MP3) to a PulseAudio null sink; medians of %d\n",
                playingRuns);
    std::printf("%-26s %14s %12s\n", "", "CPU s / 20 s", "RSS (MiB)");
    for (const Playing &p : players)
        std::printf("%-26s %14.2f %12.1f\n", p.name, median(p.cpu), median(p.rss));
    if (median(players[1].cpu) > 0)
        std::printf("%-26s %14.2f\n", "halcyrix / gst playbin", median(players[0].cpu) / median(players[1].cpu));
    std::printf("\nProcessor seconds per 20 s by thread (medians; threads under 0.005 s left out)\n");
    for (const Playing &p : players) {
        QList<QPair<double, QByteArray>> threads;
        for (auto it = p.threads.begin(); it != p.threads.end(); ++it)
            threads.append({median(it.value()), it.key()});
        std::sort(threads.begin(), threads.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
        std::printf("%s:", p.name);
        for (const auto &t : std::as_const(threads))
            if (t.first >= 0.005)
                std::printf("  %s %.2f", t.second.constData(), t.first);
        std::printf("\n");
    }
    return 0;
}
