// How long the station check takes over long lists, how much memory it needs, how many
// connections it opens at once to one host, and whether its verdicts are those of checking the
// stations one at a time.
//
//   bench_check [--hosts N] [--stations N] [--limit MS] [--parallel N] [--per-host N] [--sample N]
//               [--serve]  (only serve the hosts and print the HALCYRIX_HOME to try the window with)
//
// Without --hosts: the list of old, half of it on one server that takes connections and never
// answers, the other half on one live server. With --hosts N: the stations spread over N hosts
// of 127.0.0.0/8, of which 40 % answer, 20 % refuse, 20 % have names that do not resolve and
// 20 % take connections and never answer. A sample of the stations (--sample) is then checked
// again one at a time, and each verdict compared.

#include "HostServer.h"
#include "TestAppDir.h"

#include "app/Module1.h"
#include "health/CheckStore.h"
#include "health/StationCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <array>
#include <cstdio>
#include <memory>

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

enum class Kind { Answers, Refuses, NoName, Silent };

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Answers:
        return "answering";
    case Kind::Refuses:
        return "refusing";
    case Kind::NoName:
        return "not resolving";
    case Kind::Silent:
        return "never answering";
    }
    return "";
}

// The verdict a station of that kind should get, in the words the window shows.
QString expected(Kind kind)
{
    switch (kind) {
    case Kind::Answers:
        return QString();
    case Kind::Refuses:
        return AddressCheck::reasonText(AddressCheck::Failure::Refused);
    case Kind::NoName:
        return AddressCheck::reasonText(AddressCheck::Failure::NoSuchHost);
    case Kind::Silent:
        return AddressCheck::reasonText(AddressCheck::Failure::TimedOut);
    }
    return QString();
}

QString verdict(const AddressCheck::Outcome &outcome)
{
    return outcome.answers ? QString() : outcome.reason;
}

QHostAddress hostAddress(int host)
{
    return QHostAddress(QStringLiteral("127.0.%1.%2").arg(1 + host / 250).arg(1 + host % 250));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int hosts = 0;
    int stations = -1;
    int sample = 40;
    bool serve = false; // only serve the hosts, for trying the window: HALCYRIX_HOME is printed
    StationCheck::Limits limits;
    for (int i = 1; i < argc; ++i) {
        const QByteArray option(argv[i]);
        if (option == "--serve") {
            serve = true;
            continue;
        }
        const int value = i + 1 < argc ? QByteArray(argv[i + 1]).toInt() : 0;
        if (option == "--hosts")
            hosts = value, ++i;
        else if (option == "--stations")
            stations = value, ++i;
        else if (option == "--limit")
            limits.timeLimitMs = value, ++i;
        else if (option == "--parallel")
            limits.parallel = value, ++i;
        else if (option == "--per-host")
            limits.perHost = value, ++i;
        else if (option == "--sample")
            sample = value, ++i;
    }
    if (stations < 0)
        stations = hosts > 0 ? 10000 : 1000;

    // The servers: one per host that takes connections, each counting them.
    std::vector<std::unique_ptr<HostServer>> servers;
    QList<Kind> kindOf; // per host
    QStringList baseOf; // per host: "http://ADDRESS:PORT"
    const bool spread = hosts > 0;
    if (!spread) {
        // The list of old: a live server and a silent one, both on 127.0.0.1.
        for (Kind kind : {Kind::Answers, Kind::Silent}) {
            servers.push_back(std::make_unique<HostServer>(kind == Kind::Silent ? HostServer::Mode::Silent
                                                                                : HostServer::Mode::Stream));
            if (!servers.back()->listen(QHostAddress::LocalHost)) {
                std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
                return 1;
            }
            kindOf << kind;
            baseOf << servers.back()->url(QString());
        }
    } else {
        // One port for every host; a host that refuses has nothing listening on it.
        quint16 port = 0;
        for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
            servers.clear();
            quint16 tried = 0;
            bool ok = true;
            for (int h = 0; h < hosts && ok; ++h) {
                const Kind kind =
                    std::array{Kind::Answers, Kind::Answers, Kind::Refuses, Kind::NoName, Kind::Silent}[h % 5];
                if (kind != Kind::Answers && kind != Kind::Silent)
                    continue;
                auto server = std::make_unique<HostServer>(kind == Kind::Silent ? HostServer::Mode::Silent
                                                                                : HostServer::Mode::Stream);
                ok = server->listen(hostAddress(h), tried);
                if (ok && tried == 0)
                    tried = server->port();
                servers.push_back(std::move(server));
            }
            if (ok)
                port = tried;
        }
        if (port == 0) {
            std::fprintf(stderr, "cannot listen on 127.0.x.y\n");
            return 1;
        }
        for (int h = 0; h < hosts; ++h) {
            const Kind kind =
                std::array{Kind::Answers, Kind::Answers, Kind::Refuses, Kind::NoName, Kind::Silent}[h % 5];
            kindOf << kind;
            baseOf << (kind == Kind::NoName ? QStringLiteral("http://host%1.halcyrix-bench.invalid").arg(h)
                                            : QStringLiteral("http://%1:%2").arg(hostAddress(h).toString()).arg(port));
        }
    }
    const int hostCount = int(kindOf.size());

    TestAppDir dir;
    QHash<QString, Kind> stationKind; // by name
    QString sql = QStringLiteral("INSERT INTO Station (SName, Type, RAMFile, Category) VALUES ");
    for (int i = 0; i < stations; ++i) {
        const int host = i % hostCount;
        stationKind.insert(QStringLiteral("Station %1").arg(i), kindOf[host]);
        sql += QStringLiteral("%1('Station %2', 'NET', '%3/stream%2', 'Bench')")
                   .arg(i ? QStringLiteral(",") : QString())
                   .arg(i)
                   .arg(baseOf[host]);
    }
    dir.exec(sql);
    Module1::DatabasePath = dir.dbPath();
    if (serve) {
        std::printf("HALCYRIX_HOME=%s\n", qPrintable(QFileInfo(dir.dbPath()).absolutePath()));
        std::fflush(stdout);
        return app.exec();
    }

    const long rssBefore = memoryKiB("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    const QList<StationCheck::Station> list = CheckStore::stations(dir.dbPath(), QString());
    const qint64 readMs = clock.elapsed();

    StationCheck check(limits);
    QHash<QString, QString> verdicts; // station name: "" when it answers, else its reason
    QObject::connect(&check, &StationCheck::checked, [&](const StationCheck::Result &result) {
        verdicts.insert(result.station.name, verdict(result.outcome));
    });
    QObject::connect(&check, &StationCheck::finished, &app, &QCoreApplication::quit);
    check.start(list);
    app.exec();
    const double seconds = clock.elapsed() / 1000.0;
    const long peak = memoryKiB("VmHWM:");

    // Every verdict against what the station's host is.
    int wrong = 0;
    QHash<QString, int> byVerdict;
    for (int i = 0; i < stations; ++i) {
        const QString name = QStringLiteral("Station %1").arg(i);
        const QString got = verdicts.value(name, QStringLiteral("(none)"));
        byVerdict[got.isEmpty() ? QStringLiteral("answers") : got] += 1;
        if (got != expected(stationKind[name])) {
            if (++wrong <= 5)
                std::printf("  %s (%s): %s\n", qPrintable(name), kindName(stationKind[name]), qPrintable(got));
        }
    }
    int mostOnOneHost = 0;
    for (const auto &server : servers)
        mostOnOneHost = qMax(mostOnOneHost, server->mostAtOnce());

    // A sample checked again one at a time, as a check of each station alone would.
    int sampled = 0;
    int differ = 0;
    QElapsedTimer sampleClock;
    sampleClock.start();
    if (sample > 0) {
        QNetworkAccessManager net;
        AddressCheck one(&net);
        QList<int> chosen;
        // Spread over the list and over every kind of host, the silent ones (10 s each) fewest.
        QHash<int, int> perKind;
        const int quota[4] = {sample * 3 / 10, sample * 3 / 10, sample * 3 / 10, qMax(1, sample / 10)};
        for (int i = 0; i < int(list.size()) && chosen.size() < sample; i += 7) {
            const int k = int(stationKind[list[i].name]);
            if (perKind[k] < quota[k]) {
                ++perKind[k];
                chosen << i;
            }
        }
        for (int i : chosen) {
            QEventLoop loop;
            AddressCheck::Outcome outcome;
            QObject::connect(&one, &AddressCheck::finished, &loop, [&](const AddressCheck::Outcome &o) {
                outcome = o;
                loop.quit();
            });
            one.start(list[i].address, limits.timeLimitMs);
            loop.exec();
            ++sampled;
            if (getenv("BENCH_VERBOSE"))
                std::printf("  %s: \"%s\"\n", qPrintable(list[i].name), qPrintable(verdict(outcome)));
            if (verdict(outcome) != verdicts.value(list[i].name)) {
                ++differ;
                std::printf("  one at a time, %s: \"%s\", in the run: \"%s\"\n", qPrintable(list[i].name),
                            qPrintable(verdict(outcome)), qPrintable(verdicts.value(list[i].name)));
            }
        }
    }

    std::printf("stations %d on %d hosts; %d checks at once, at most %d per host; connection %.1f s, check %.1f s\n",
                stations, hostCount, limits.parallel, limits.perHost, limits.connectTimeoutMs / 1000.0,
                limits.timeLimitMs / 1000.0);
    std::printf("read %lld ms; run %.1f s\n", static_cast<long long>(readMs), seconds);
    QStringList counts;
    for (auto it = byVerdict.cbegin(); it != byVerdict.cend(); ++it)
        counts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    counts.sort();
    std::printf("verdicts: %s; %d not as the host is\n", qPrintable(counts.join(QStringLiteral(", "))), wrong);
    std::printf("connections at once to one host: at most %d (servers' count), %d (the check's count)\n", mostOnOneHost,
                check.mostAtOnceOnOneHost());
    std::printf("one at a time: %d stations in %.1f s, %d verdicts differ\n", sampled, sampleClock.elapsed() / 1000.0,
                differ);
    std::printf("memory: %ld KiB before the run, peak %ld KiB (%.1f MiB added)\n", rssBefore, peak,
                (peak - rssBefore) / 1024.0);
    return wrong == 0 && differ == 0 && mostOnOneHost <= limits.perHost ? 0 : 1;
}
