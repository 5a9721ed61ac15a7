// Levelling's targets, in both engines (the GStreamer audio engine, then libmpv), through the real
// player into a PulseAudio server of the benchmark's own whose null sink is recorded (parec) and
// measured (ffmpeg's ebur128):
//   - two local stations serving the same programme 20 dB apart: their output loudness after
//     10 s of each and its true peak, the first again from its first second, and both with
//     levelling off;
//   - the processor time of 20 s of playing with levelling on and off, interleaved, and the work
//     of the leveller itself on 20 s of audio; the same thread by thread; and the same with
//     levelling switched on and off on one connection, in pairs of 5 s windows.
//
//   bench_loudness [rounds]      (default 3; needs pulseaudio, parec and ffmpeg)
#include "SoundServer.h"
#include "StreamServers.h"
#include "player/AudioEngine.h"
#include "player/Loudness.h"
#include "player/Player.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

namespace {

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitPlaying(Player *player)
{
    for (int i = 0; i < 300 && player->state() != Player::State::Playing; ++i)
        spin(100);
    return player->state() == Player::State::Playing;
}

double processSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Processor seconds of each of the process's threads, by thread id, from the scheduler's own
// count, with the thread's name without its number (each stream's threads are numbered anew).
struct ThreadTime
{
    QString name;
    double seconds = 0;
};
QHash<QString, ThreadTime> threadTimes()
{
    QHash<QString, ThreadTime> byId;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        QFile stat(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (!comm.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        QString name = QString::fromUtf8(comm.readAll().trimmed());
        name.remove(QRegularExpression(QStringLiteral("[0-9]+(:.*)?$")));
        byId.insert(tid, {name, stat.readAll().split(' ').value(0).toDouble() / 1e9});
    }
    return byId;
}

// The time each kind of thread took between two readings (a thread that ended between them is
// missed).
QHash<QString, double> threadSeconds(const QHash<QString, ThreadTime> &before, const QHash<QString, ThreadTime> &after)
{
    QHash<QString, double> byName;
    for (auto t = after.cbegin(); t != after.cend(); ++t)
        byName[t->name] += t->seconds - before.value(t.key()).seconds;
    return byName;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

struct Session
{
    SoundServer &sound;
    QString wav;
    Player *player;
    QHash<QString, double> learned;
    QElapsedTimer clock;
    double before = 0;

    bool begin()
    {
        learned.clear();
        if (!sound.startRecording(wav, &before))
            return false;
        clock.start();
        return true;
    }
    double playFor(const QString &address, double seconds)
    {
        player->setSource(address);
        if (!waitPlaying(player))
            return -1;
        const double began = before + clock.elapsed() / 1000.0;
        spin(int(seconds * 1000));
        const Loudness::Reading r = player->levelReading();
        if (r.learned)
            learned.insert(address, r.gain);
        return began;
    }
    StreamTools::LoudnessFigures heard(double from, double seconds) const
    {
        return StreamTools::measureLoudness(wav, from, seconds).value_or(StreamTools::LoudnessFigures{NAN, NAN});
    }
};

// The leveller alone on 20 s of programme-like stereo audio at 44.1 kHz, in the audio engine's
// 200 ms buffers: processor seconds.
double levellerWork()
{
    constexpr int rate = 44100;
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    std::vector<float> audio(std::size_t(rate) * 20 * 2);
    for (float &s : audio)
        s = noise(random);
    Leveller leveller;
    leveller.start(std::nullopt);
    timespec a{}, b{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
    for (std::size_t at = 0; at + rate / 5 * 2 <= audio.size(); at += rate / 5 * 2)
        leveller.process(audio.data() + at, rate / 5, 2, rate);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
    return double(b.tv_sec - a.tv_sec) + double(b.tv_nsec - a.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it is measured
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    SoundServer sound;
    if (!SoundServer::available() || !sound.start()) {
        std::fprintf(stderr, "pulseaudio did not start\n");
        return 1;
    }
    qputenv("PULSE_SERVER", sound.address().toUtf8());
    QTemporaryDir dir;
    const QString loudFile = dir.filePath(QStringLiteral("loud.mp3"));
    const QString quietFile = dir.filePath(QStringLiteral("quiet.mp3"));
    if (!StreamTools::makeProgramme(loudFile, 120, 0) || !StreamTools::makeProgramme(quietFile, 120, -20)) {
        std::fprintf(stderr, "ffmpeg could not make the stations\n");
        return 1;
    }
    LocalHttpServer http;
    http.serveFile(QStringLiteral("/loud.mp3"), loudFile, "audio/mpeg");
    http.serveFile(QStringLiteral("/quiet.mp3"), quietFile, "audio/mpeg");
    const QString loud = http.url(QStringLiteral("/loud.mp3"));
    const QString quiet = http.url(QStringLiteral("/quiet.mp3"));
    const auto sent = [](const QString &file) {
        return StreamTools::measureLoudness(file, 0, 60).value_or(StreamTools::LoudnessFigures{NAN, NAN});
    };
    const auto loudSent = sent(loudFile);
    const auto quietSent = sent(quietFile);
    std::printf("Stations as sent: %.1f LUFS (%.1f dBTP) and %.1f LUFS (%.1f dBTP)\n", loudSent.integrated,
                loudSent.truePeak, quietSent.integrated, quietSent.truePeak);

    for (const char *engine : {"audio engine", "libmpv"}) {
        Player::destroyAll();
        if (QByteArray(engine) == "libmpv")
            Player::setDefaultOption(QStringLiteral("audio-client-name"), QStringLiteral("bench_loudness"));
        else if (!AudioEngine::available())
            continue;
        Player *player = Player::forConsole(QStringLiteral("Bench"));
        player->setAutoStart(true);
        Session s{sound, dir.filePath(QStringLiteral("%1.wav").arg(QLatin1String(engine).left(3))), player, {}, {}, 0};
        player->setGainMemory([&s](const QString &source) -> std::optional<double> {
            if (!s.learned.contains(source))
                return std::nullopt;
            return s.learned.value(source);
        });

        // Loudness: on, then off.
        player->setLevelling(true);
        if (!s.begin())
            return 1;
        const double a = s.playFor(loud, 12);
        const double b = s.playFor(quiet, 12);
        const double again = s.playFor(loud, 4);
        player->setLevelling(false);
        const double offA = s.playFor(loud, 6);
        const double offB = s.playFor(quiet, 6);
        player->stop();
        spin(700);
        sound.stopRecording();
        if (a < 0 || b < 0 || again < 0 || offA < 0 || offB < 0) {
            std::fprintf(stderr, "%s: a station did not play\n", engine);
            continue;
        }
        const auto first = s.heard(a + 8.5, 3);
        const auto second = s.heard(b + 8.5, 3);
        const auto firstSecond = s.heard(again + 0.0, 1.0);
        const auto back = s.heard(again + 0.5, 3);
        const auto off1 = s.heard(offA + 1, 4);
        const auto off2 = s.heard(offB + 1, 4);
        std::printf("\n%s, levelling on: after 10 s, %.1f and %.1f LUFS (differ by %.1f LU), true peak %.1f and "
                    "%.1f dBTP\n",
                    engine, first.integrated, second.integrated, std::abs(first.integrated - second.integrated),
                    first.truePeak, second.truePeak);
        std::printf("%s, back to the first: its first second %.1f LUFS, its first 3.5 s %.1f LUFS (%.1f dBTP)\n",
                    engine, firstSecond.integrated, back.integrated, back.truePeak);
        std::printf("%s, levelling off: %.1f and %.1f LUFS (differ by %.1f LU)\n", engine, off1.integrated,
                    off2.integrated, std::abs(off1.integrated - off2.integrated));

        // Cost: 20 s of the loud station, on and off in turn.
        QList<double> on, off;
        QHash<QString, QList<double>> threadsOn, threadsOff;
        for (int r = 0; r < rounds; ++r) {
            for (bool level : {true, false}) {
                player->setLevelling(level);
                player->setSource(loud);
                if (!waitPlaying(player))
                    break;
                spin(3000); // past the start and the first burst of audio
                const double t0 = processSeconds();
                const QHash<QString, ThreadTime> threads0 = threadTimes();
                spin(20000);
                (level ? on : off).append(processSeconds() - t0);
                const QHash<QString, double> threads = threadSeconds(threads0, threadTimes());
                for (auto t = threads.cbegin(); t != threads.cend(); ++t)
                    (level ? threadsOn : threadsOff)[t.key()].append(t.value());
            }
        }
        player->stop();
        std::printf("%s, processor time per 20 s of playing (median of %d): levelling on %.3f s, off %.3f s "
                    "(adds %.3f s)\n",
                    engine, rounds, median(on), median(off), median(on) - median(off));
        QStringList names = threadsOn.keys();
        names.sort();
        for (const QString &name : names)
            std::printf("    thread %-16s on %.4f s, off %.4f s\n", qPrintable(name), median(threadsOn.value(name)),
                        median(threadsOff.value(name)));

        // The same on one connection, levelling switched on and off every 6 s: no reconnection
        // between the two, and each pair of 5 s windows side by side, so a slow drift of the
        // machine cancels out. Per 20 s, the median of the pairs' differences.
        player->setLevelling(true);
        player->setSource(loud);
        if (!waitPlaying(player))
            continue;
        spin(3000);
        struct Pairs
        {
            QList<double> added, own;
            QHash<QString, QList<double>> threads;
        };
        // With switching off, both windows of a pair play levelled: what the method reads when
        // nothing changes, its own noise.
        const auto measurePairs = [&](bool switching) {
            Pairs p;
            for (int pair = 0; pair < 4 * rounds; ++pair) {
                double process[2];
                QHash<QString, double> threads[2];
                for (bool level : {true, false}) {
                    player->setLevelling(level || !switching);
                    spin(1000); // past the change
                    const double t0 = processSeconds();
                    const double busy0 = player->levelReading().busySeconds;
                    const QHash<QString, ThreadTime> threads0 = threadTimes();
                    spin(5000);
                    process[level] = processSeconds() - t0;
                    threads[level] = threadSeconds(threads0, threadTimes());
                    if (level)
                        p.own.append(4 * (player->levelReading().busySeconds - busy0));
                }
                p.added.append(4 * (process[1] - process[0]));
                for (auto t = threads[1].cbegin(); t != threads[1].cend(); ++t)
                    p.threads[t.key()].append(4 * (t.value() - threads[0].value(t.key())));
            }
            return p;
        };
        const auto printThreads = [](const Pairs &p) {
            QStringList names = p.threads.keys();
            names.sort();
            for (const QString &name : names)
                if (std::abs(median(p.threads.value(name))) >= 0.0001)
                    std::printf("    thread %-16s adds %.4f s\n", qPrintable(name), median(p.threads.value(name)));
        };
        const Pairs switched = measurePairs(true);
        const Pairs unchanged = measurePairs(false);
        player->stop();
        std::printf("%s, switched on one connection (median of %d pairs): levelling adds %.4f s per 20 s\n", engine,
                    int(switched.added.size()), median(switched.added));
        std::printf("%s, levelling's own work timed where it runs, conversions included: %.4f s per 20 s "
                    "(median; highest %.4f)\n",
                    engine, median(switched.own), *std::max_element(switched.own.cbegin(), switched.own.cend()));
        printThreads(switched);
        std::printf("%s, the same pairs with levelling on in both windows (the method's noise): %.4f s\n", engine,
                    median(unchanged.added));
        printThreads(unchanged);
    }
    QList<double> work;
    for (int r = 0; r < 5; ++r)
        work.append(levellerWork());
    std::printf("\nThe leveller alone on 20 s of 44.1 kHz stereo (median of 5): %.4f s\n", median(work));
    Player::destroyAll();
    return 0;
}
