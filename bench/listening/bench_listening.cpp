// A long listening session as a user has it, read from outside. A local Icecast station changes
// its title every 2 s for 20 minutes (600 titles) and its source drops twice; the real program
// plays it on a desktop of the benchmark's own (Xvfb, a private session bus with its accessibility
// bus, a PulseAudio server with a null sink), with Show Notifications on and the window not
// active, while its window thread is kept busy: the station list's selection moves every 100 ms
// (Down and Up keys) and a screen reader walks the whole window every half second. Record goes on
// through the Play menu halfway, so that the first half plays in the audio engine and the second
// is recorded. The program is tuned by MPRIS Play, as a desktop's media key does.
//
// Every title the server took is looked for where a user meets it: the status line (its name
// changes as the screen reader hears them), MPRIS (PropertiesChanged of the player's Metadata on
// the session bus), the notifications (a stand-in notification server counts Notify calls) and
// Recently Played (RecentlyPlayed.json at the end). The recorded files are checked with ffprobe.
// Resident memory is read after the first minute, when Record goes on, a minute after and at the
// end.
//
//   bench_listening [--minutes M] [--interval S] [--engine audio|libmpv|both] [--keep]
//
// Defaults: 20 minutes, 2 s, both (one after the other). libmpv is forced by HALCYRIX_AUDIO=libmpv.
// --keep leaves the run's folder (program output, recordings) in place and prints its path.
// HALCYRIX_BENCH_PROGRAM names another build of the program to measure.
#include "DesktopSession.h"
#include "SoundServer.h"
#include "StreamServers.h"
#include "TestAppDir.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const QString kStation = QStringLiteral("Local Soak");

double now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts); // the clock Python's time.monotonic() reads
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Runs the event loop for a while: the bus and the screen reader's output keep being read.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(std::max(0, ms), &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename Done> bool spinUntil(Done done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        spin(100);
    }
    return true;
}

double rssMiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// The number of the title a text carries ("Soak title 0042"), -1 when none.
int titleNumber(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("Soak title (\\d{4})"));
    const QRegularExpressionMatch m = pattern.match(text);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString titleText(int number)
{
    return QStringLiteral("Soak title %1").arg(number, 4, 10, QLatin1Char('0'));
}

// When each title was first seen on one of the places a user meets it.
struct Seen
{
    QMap<int, double> first;
    QMap<int, int> times; // readings that carried each title, repeats included
    void add(const QString &text)
    {
        const int n = titleNumber(text);
        if (n < 0)
            return;
        ++times[n];
        if (!first.contains(n))
            first.insert(n, now());
    }
    // The titles given more than once, as " (twice: 12 40)".
    QString repeats() const
    {
        QStringList numbers;
        for (auto it = times.begin(); it != times.end(); ++it)
            if (it.value() > 1)
                numbers << QString::number(it.key());
        return numbers.isEmpty() ? QString() : QStringLiteral(", again: %1").arg(numbers.join(QLatin1Char(' ')));
    }
};

void stopProcess(QProcess &p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

} // namespace

// The desktop's notification server, as the program finds it on the session bus: it answers as a
// real one does and keeps every body it is given.
class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    Seen seen;
    int calls = 0;
public slots:
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion)
    {
        vendor = QStringLiteral("bench");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("bench_listening");
    }
    uint Notify(const QString &, uint replacesId, const QString &, const QString &, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        ++calls;
        seen.add(body);
        return replacesId ? replacesId : 1;
    }
    void CloseNotification(uint) {}
};

// The player's titles as a desktop's sound menu hears them: the Metadata property's changes.
class MprisWatcher : public QObject
{
    Q_OBJECT
public:
    Seen seen;
public slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface != QLatin1String("org.mpris.MediaPlayer2.Player") ||
            !changed.contains(QStringLiteral("Metadata")))
            return;
        const QVariantMap metadata = qdbus_cast<QVariantMap>(changed.value(QStringLiteral("Metadata")));
        seen.add(metadata.value(QStringLiteral("xesam:title")).toString());
    }
};

namespace {

struct Options
{
    double minutes = 20;
    double interval = 2;
    bool keep = false;
};

struct FileCheck
{
    QString name;
    qint64 bytes = 0;
    double seconds = 0;
    bool playable = false;
};

FileCheck probe(const QFileInfo &file)
{
    FileCheck check{file.fileName(), file.size(), 0, false};
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("format=duration:stream=codec_type"), QStringLiteral("-of"), QStringLiteral("json"),
                   file.filePath()});
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0)
        return check;
    const QJsonObject o = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    bool audio = false;
    for (const QJsonValue &s : o.value(QStringLiteral("streams")).toArray())
        audio = audio || s.toObject().value(QStringLiteral("codec_type")).toString() == QLatin1String("audio");
    check.seconds =
        o.value(QStringLiteral("format")).toObject().value(QStringLiteral("duration")).toString().toDouble();
    check.playable = audio && check.seconds > 0;
    return check;
}

QString delays(const QMap<int, double> &sent, const Seen &seen)
{
    QList<double> d;
    for (auto it = seen.first.begin(); it != seen.first.end(); ++it)
        if (sent.contains(it.key()))
            d << it.value() - sent.value(it.key());
    if (d.isEmpty())
        return QStringLiteral("-");
    std::sort(d.begin(), d.end());
    return QStringLiteral("median %1 s, worst %2 s").arg(d[d.size() / 2], 0, 'f', 2).arg(d.last(), 0, 'f', 2);
}

QString missing(const QMap<int, double> &sent, const QList<int> &seen)
{
    QStringList numbers;
    for (auto it = sent.begin(); it != sent.end(); ++it)
        if (!seen.contains(it.key()))
            numbers << QString::number(it.key());
    if (numbers.size() > 12)
        numbers = numbers.mid(0, 12) << QStringLiteral("…");
    return numbers.isEmpty() ? QString() : QStringLiteral(" (missing: %1)").arg(numbers.join(QLatin1Char(' ')));
}

// One listening session in one engine; prints its figures. False when it could not be run.
bool listen(const Options &options, bool libmpv)
{
    const char *engine = libmpv ? "libmpv" : "audio engine";
    std::printf("\n== %s: %.0f min, a new title every %.1f s ==\n", engine, options.minutes, options.interval);
    std::fflush(stdout);
    QTemporaryDir work;
    work.setAutoRemove(!options.keep);
    DesktopSession desktop;
    if (!desktop.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(desktop.errorText()));
        return false;
    }
    SoundServer sound;
    if (!sound.start()) {
        std::fprintf(stderr, "pulseaudio did not start\n");
        return false;
    }
    IcecastServer::Options stationOptions;
    stationOptions.stationName = QStringLiteral("Soak Radio");
    IcecastServer icecast(stationOptions);
    if (!icecast.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(icecast.errorText()));
        return false;
    }

    // The station first in a list of 40, so the list has somewhere to move.
    TestAppDir dir(TestAppDir::EmptyTables, "DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=Local\r\n");
    dir.exec(QStringLiteral("INSERT INTO Category (Name) VALUES ('Local')"));
    dir.addStation(kStation, QStringLiteral("Local"), icecast.streamUrl(), QStringLiteral("NET"));
    for (int i = 1; i < 40; ++i)
        dir.addStation(QStringLiteral("Station %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Local"),
                       QStringLiteral("http://127.0.0.1:9/%1.mp3").arg(i), QStringLiteral("NET"));
    const QString recordings = work.filePath(QStringLiteral("recordings"));
    dir.writeFile(QStringLiteral("Preferences.ini"),
                  QStringLiteral("[Notifications]\nShow=true\n[Recording]\nFolder=%1\n").arg(recordings).toUtf8());

    // The desktop's notification server, and a sound menu listening to the player.
    const QProcessEnvironment env = desktop.environment();
    QDBusConnection bus =
        QDBusConnection::connectToBus(env.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")), QStringLiteral("bench"));
    NotificationServer notifications;
    MprisWatcher mpris;
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications")) ||
        !bus.connect(QString(), QStringLiteral("/org/mpris/MediaPlayer2"),
                     QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"), &mpris,
                     SLOT(propertiesChanged(QString, QVariantMap, QStringList)))) {
        std::fprintf(stderr, "the session bus refused the stand-ins\n");
        return false;
    }

    // The screen reader: every new text of the status line, and a walk of the window.
    QProcess reader;
    reader.setProcessEnvironment(env);
    reader.setStandardErrorFile(work.filePath(QStringLiteral("reader-errors.txt")));
    Seen status;
    bool readerReady = false;
    QFile timeline(work.filePath(QStringLiteral("timeline.txt"))); // what was sent and read, by time
    timeline.open(QIODevice::WriteOnly | QIODevice::Text);
    QObject::connect(&reader, &QProcess::readyReadStandardOutput, &reader, [&] {
        while (reader.canReadLine()) {
            const QByteArray line = reader.readLine();
            timeline.write(line);
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            readerReady = readerReady || o.value(QStringLiteral("ready")).toBool();
            status.add(o.value(QStringLiteral("status")).toString());
        }
    });
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QDir(TestAppDir::sourceDir()).filePath(QStringLiteral("tests/support/atspi_read.py")),
                  QStringLiteral("listen"), QStringLiteral("0.5")});
    if (!spinUntil([&] { return readerReady; }, 30000)) {
        std::fprintf(stderr, "the screen reader did not start\n");
        return false;
    }

    QProcessEnvironment programEnv = env;
    programEnv.insert(QStringLiteral("HALCYRIX_HOME"), dir.path());
    programEnv.insert(QStringLiteral("PULSE_SERVER"), sound.address());
    programEnv.insert(QStringLiteral("XDG_CACHE_HOME"), work.filePath(QStringLiteral("cache")));
    programEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    if (libmpv)
        programEnv.insert(QStringLiteral("HALCYRIX_AUDIO"), QStringLiteral("libmpv"));
    else
        programEnv.remove(QStringLiteral("HALCYRIX_AUDIO"));
    QProcess program;
    program.setProcessEnvironment(programEnv);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setStandardOutputFile(work.filePath(QStringLiteral("program-output.txt")));
    program.start(qEnvironmentVariable("HALCYRIX_BENCH_PROGRAM", QStringLiteral(HALCYRIX_PROGRAM)), {});

    auto run = [&desktop](const QStringList &args) { return desktop.run(QStringLiteral("xdotool"), args).trimmed(); };
    const QByteArray window = run({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                                   QStringLiteral("^Halcyrix v")})
                                  .split('\n')
                                  .value(0);
    const QString mprisName = QStringLiteral("org.mpris.MediaPlayer2.halcyrix");
    if (window.isEmpty() ||
        !spinUntil([&] { return bus.interface()->isServiceRegistered(mprisName).value(); }, 60000)) {
        std::fprintf(stderr, "the program's window or its MPRIS service did not come\n");
        stopProcess(program);
        return false;
    }

    // Another window takes the focus: the program's window is not the active one, as when the
    // user works elsewhere, and its notifications show.
    auto other = desktop.launch(QStringLiteral("xmessage"),
                                {QStringLiteral("-geometry"), QStringLiteral("+900+800"), QStringLiteral("elsewhere")});
    const QByteArray otherWindow = run({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                                        QStringLiteral("^xmessage$")})
                                       .split('\n')
                                       .value(0);
    run({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::fromLatin1(otherWindow)});

    // Tuned as a media key does; playing once the status line says so.
    const double tuned = now();
    icecast.setTitle(titleText(0));
    bus.call(QDBusMessage::createMethodCall(mprisName, QStringLiteral("/org/mpris/MediaPlayer2"),
                                            QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Play")));
    if (!spinUntil([&] { return status.first.contains(0); }, 60000)) {
        std::fprintf(stderr, "the station did not play\n");
        stopProcess(program);
        return false;
    }
    std::printf("tuned to the first title on the status line: %.2f s\n", status.first.value(0) - tuned);
    std::fflush(stdout);

    // The window thread kept busy: the list's selection moves every 100 ms, the screen reader
    // walks the window every half second.
    const int titles = int(options.minutes * 60 / options.interval);
    QProcess keys;
    keys.setProcessEnvironment(env);
    keys.start(QStringLiteral("xdotool"),
               {QStringLiteral("key"), QStringLiteral("--window"), QString::fromLatin1(window),
                QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("--repeat"),
                QString::number(titles * 4 + 100), QStringLiteral("Down"), QStringLiteral("Down"),
                QStringLiteral("Down"), QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Up")});

    // The titles, on a fixed grid; the source drops at a third and at five sixths for 5 s (titles
    // due meanwhile are not sent); Record goes on halfway.
    QMap<int, double> sent;
    sent.insert(0, tuned);
    // The titles on the air while the program was connected, which it can hear: the title before
    // each change counts when the server has a listener just before the change.
    QMap<int, double> listened;
    int onAir = 0;
    const auto checkListener = [&] {
        if (icecast.listeners() > 0 && !listened.contains(onAir))
            listened.insert(onAir, sent.value(onAir));
    };
    const int recordAt = titles / 2;
    const QList<int> drops = {titles / 3, titles * 5 / 6};
    double recordStarted = 0;
    int firstRecorded = -1;
    QList<QPair<QString, double>> memory;
    const double start = now();
    double nextMinute = start + 60;
    for (int i = 1; i <= titles; ++i) {
        const double due = start + i * options.interval;
        if (now() > due + options.interval / 2)
            continue; // due while the source was down
        spin(int((due - now()) * 1000));
        checkListener();
        if (drops.contains(i)) {
            icecast.stopSource();
            spin(5000);
            if (!icecast.startSource())
                std::fprintf(stderr, "the source did not come back: %s\n", qPrintable(icecast.errorText()));
        }
        if (icecast.setTitle(titleText(i))) {
            sent.insert(i, now());
            timeline.write(
                QStringLiteral("{\"t\": %1, \"sent\": \"%2\"}\n").arg(now(), 0, 'f', 3).arg(titleText(i)).toUtf8());
            onAir = i;
        }
        if (i == recordAt) {
            // The title playing now is the first recorded (the move to the file keeps it).
            firstRecorded = status.first.isEmpty() ? i : status.first.lastKey();
            memory << qMakePair(QStringLiteral("when Record goes on"), rssMiB(program.processId()));
            int pressed = -1;
            desktop.readAccessible({QStringLiteral("press"), QStringLiteral("Play"), QStringLiteral("Record")},
                                   &pressed);
            recordStarted = now();
            if (pressed != 0)
                std::fprintf(stderr, "the Play menu's Record item could not be pressed\n");
        }
        if (now() >= nextMinute) {
            const double minute = (nextMinute - start) / 60;
            const double rss = rssMiB(program.processId());
            if (minute == 1)
                memory << qMakePair(QStringLiteral("after the first minute"), rss);
            if (recordStarted > 0 && nextMinute - recordStarted >= 60 && nextMinute - recordStarted < 120)
                memory << qMakePair(QStringLiteral("a minute after Record"), rss);
            std::fprintf(stderr, "%s %2.0f min: RSS %.1f MiB, titles sent %lld, status %lld, MPRIS %lld\n", engine,
                         minute, rss, static_cast<long long>(sent.size()), static_cast<long long>(status.first.size()),
                         static_cast<long long>(mpris.seen.first.size()));
            nextMinute += 60;
        }
    }
    spin(int(options.interval * 1000) + 8000); // the last title heard
    checkListener();
    memory << qMakePair(QStringLiteral("at the end"), rssMiB(program.processId()));
    const double recordEnded = now();
    stopProcess(keys);

    // Stop ends the recording; Quit ends the program as its menu would.
    bus.call(QDBusMessage::createMethodCall(mprisName, QStringLiteral("/org/mpris/MediaPlayer2"),
                                            QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Stop")));
    spin(5000);
    bus.call(QDBusMessage::createMethodCall(mprisName, QStringLiteral("/org/mpris/MediaPlayer2"),
                                            QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit")));
    if (!program.waitForFinished(30000))
        std::fprintf(stderr, "the program did not end on Quit\n");
    stopProcess(program);
    stopProcess(reader);
    stopProcess(*other);

    // Recently Played, beside the database.
    Seen recent;
    const QJsonArray history = QJsonDocument::fromJson(dir.readFile(QStringLiteral("RecentlyPlayed.json"))).array();
    for (const QJsonValue &entry : history)
        if (const int n = titleNumber(entry.toObject().value(QStringLiteral("title")).toString()); n >= 0)
            recent.add(titleText(n));

    // The recordings: one per title heard while recording, each playable.
    QList<FileCheck> files;
    QMap<int, int> filesOfTitle;
    double recorded = 0;
    int bad = 0, untitled = 0;
    for (const QFileInfo &file : QDir(recordings).entryInfoList(QDir::Files, QDir::Name)) {
        files << probe(file);
        recorded += files.last().seconds;
        if (!files.last().playable || files.last().bytes == 0)
            ++bad;
        if (const int n = titleNumber(file.fileName()); n >= 0)
            ++filesOfTitle[n];
        else
            ++untitled;
    }
    QMap<int, double> heardWhileRecording;
    for (auto it = listened.begin(); it != listened.end(); ++it)
        if (it.key() >= firstRecorded && firstRecorded >= 0)
            heardWhileRecording.insert(it.key(), it.value());
    int repeated = 0;
    for (int count : std::as_const(filesOfTitle))
        repeated += count - 1;

    const auto count = [](qsizetype n) { return static_cast<long long>(n); };
    std::printf("titles the server sent           %lld (the first before tuning; %d due while the source was down),\n"
                "  %lld of them while the program was connected (the others while it reconnected)%s\n",
                count(sent.size()), titles + 1 - int(sent.size()), count(listened.size()),
                qPrintable(missing(sent, listened.keys())));
    std::printf("titles the status line showed    %lld of %lld%s; %s after the server\n", count(status.first.size()),
                count(listened.size()), qPrintable(missing(listened, status.first.keys())),
                qPrintable(delays(sent, status)));
    std::printf("titles MPRIS showed              %lld of %lld%s; %s\n", count(mpris.seen.first.size()),
                count(listened.size()), qPrintable(missing(listened, mpris.seen.first.keys())),
                qPrintable(delays(sent, mpris.seen)));
    std::printf("titles in Recently Played        %lld of %lld%s; %d entries%s\n", count(recent.first.size()),
                count(listened.size()), qPrintable(missing(listened, recent.first.keys())), int(history.size()),
                qPrintable(recent.repeats()));
    std::printf("notifications sent               %d, for %lld of %lld titles%s%s\n", notifications.calls,
                count(notifications.seen.first.size()), count(listened.size()),
                qPrintable(missing(listened, notifications.seen.first.keys())),
                qPrintable(notifications.seen.repeats()));
    std::printf("recorded files                   %lld for %lld titles heard while recording%s; "
                "%d more than one per title, %d without a title\n",
                count(files.size()), count(heardWhileRecording.size()),
                qPrintable(missing(heardWhileRecording, filesOfTitle.keys())), repeated, untitled);
    std::printf("sound recorded                   %.1f s in %.1f s of recording\n", recorded,
                recordEnded - recordStarted);
    std::printf("empty or unplayable files        %d\n", bad);
    for (const FileCheck &f : std::as_const(files))
        if (!f.playable || f.bytes == 0 || titleNumber(f.name) < 0 || filesOfTitle.value(titleNumber(f.name)) > 1)
            std::printf("    %s: %lld bytes, %.2f s%s\n", qPrintable(f.name), static_cast<long long>(f.bytes),
                        f.seconds, f.playable ? "" : ", unplayable");
    for (const auto &m : std::as_const(memory))
        std::printf("resident memory %-17s %.1f MiB\n", qPrintable(m.first), m.second);
    if (options.keep)
        std::printf("run folder: %s and %s\n", qPrintable(work.path()), qPrintable(dir.path()));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    QString engine = QStringLiteral("both");
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString value = args.value(i + 1);
        if (args[i] == QLatin1String("--minutes"))
            options.minutes = value.toDouble(), ++i;
        else if (args[i] == QLatin1String("--interval"))
            options.interval = value.toDouble(), ++i;
        else if (args[i] == QLatin1String("--engine"))
            engine = value, ++i;
        else if (args[i] == QLatin1String("--keep"))
            options.keep = true;
        else {
            std::fprintf(stderr,
                         "usage: bench_listening [--minutes M] [--interval S] [--engine audio|libmpv|both] [--keep]\n");
            return 2;
        }
    }
    if (options.minutes <= 0 || options.interval < 0.5) {
        std::fprintf(stderr, "the run needs a length and an interval of at least 0.5 s\n");
        return 2;
    }
    if (const QString missingTool = DesktopSession::missingTool(); !missingTool.isEmpty()) {
        std::fprintf(stderr, "needs %s\n", qPrintable(missingTool));
        return 2;
    }
    for (const char *tool : {"pulseaudio", "ffprobe", "xmessage"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            std::fprintf(stderr, "needs %s\n", tool);
            return 2;
        }
    if (!IcecastServer::available()) {
        std::fprintf(stderr, "needs icecast2 and ffmpeg\n");
        return 2;
    }
    bool ok = true;
    if (engine != QLatin1String("libmpv"))
        ok = listen(options, false) && ok;
    if (engine != QLatin1String("audio"))
        ok = listen(options, true) && ok;
    return ok ? 0 : 1;
}

#include "bench_listening.moc"
