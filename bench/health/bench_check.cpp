// How long the station check takes over a list of which half never answers, and how much memory
// it needs: the wall time should stay near (dead stations / parallel checks) x time limit, and
// the peak memory should hardly grow with the length of the list.

#include "StreamServers.h"
#include "TestAppDir.h"

#include "app/Module1.h"
#include "health/CheckStore.h"
#include "health/StationCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>

namespace {

// VmRSS or VmHWM of this process in KiB.
long memoryKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int stations = 1000;
    int limitMs = StationCheck::kTimeLimitMs;
    int parallel = StationCheck::kParallel;
    for (int i = 1; i + 1 < argc; ++i) {
        const QByteArray option(argv[i]);
        const int value = QByteArray(argv[i + 1]).toInt();
        if (option == "--stations")
            stations = value, ++i;
        else if (option == "--limit")
            limitMs = value, ++i;
        else if (option == "--parallel")
            parallel = value, ++i;
    }

    // A live server, and one that takes every connection and never answers.
    LocalHttpServer live;
    live.serve(QStringLiteral("/live.mp3"), QByteArray(64 * 1024, '\x01'), "audio/mpeg");
    QTcpServer silent;
    QList<QTcpSocket *> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = silent.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            held << socket;
        }
    });
    if (!live.isListening() || !silent.listen(QHostAddress::LocalHost)) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }

    TestAppDir dir;
    QString sql = QStringLiteral("INSERT INTO Station (SName, Type, RAMFile, Category) VALUES ");
    for (int i = 0; i < stations; ++i) {
        const QString address = i % 2 ? QStringLiteral("http://127.0.0.1:%1/stream%2").arg(silent.serverPort()).arg(i)
                                      : live.url(QStringLiteral("/live.mp3?%1").arg(i));
        sql += QStringLiteral("%1('Station %2', 'NET', '%3', 'Bench')")
                   .arg(i ? QStringLiteral(",") : QString())
                   .arg(i)
                   .arg(address);
    }
    dir.exec(sql);
    Module1::DatabasePath = dir.dbPath();

    const long rssBefore = memoryKiB("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    const QList<StationCheck::Station> list = CheckStore::stations(dir.dbPath(), QString());
    const qint64 readMs = clock.elapsed();

    StationCheck check(parallel, limitMs);
    int answered = 0;
    int timedOut = 0;
    int other = 0;
    QObject::connect(&check, &StationCheck::checked, [&](const StationCheck::Result &result) {
        if (result.outcome.answers)
            ++answered;
        else if (result.outcome.failure == AddressCheck::Failure::TimedOut)
            ++timedOut;
        else
            ++other;
    });
    QObject::connect(&check, &StationCheck::finished, &app, &QCoreApplication::quit);
    check.start(list);
    app.exec();
    const double seconds = clock.elapsed() / 1000.0;

    const int dead = stations / 2;
    const double bound = double((dead + parallel - 1) / parallel) * limitMs / 1000.0;
    std::printf("stations %d (%d never answer), %d checks at once, time limit %.1f s\n", stations, dead, parallel,
                limitMs / 1000.0);
    std::printf("read %lld ms; run %.1f s (dead / parallel x limit = %.1f s; one at a time would take %.0f s)\n",
                static_cast<long long>(readMs), seconds, bound, dead * limitMs / 1000.0);
    std::printf("answered %d, timed out %d, other %d\n", answered, timedOut, other);
    std::printf("memory: %ld KiB before the run, %ld KiB after, peak %ld KiB\n", rssBefore, memoryKiB("VmRSS:"),
                memoryKiB("VmHWM:"));
    return answered + timedOut == stations ? 0 : 1;
}
