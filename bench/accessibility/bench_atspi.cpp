// A screen reader walking the whole main window through the accessibility bus (AT-SPI), on
// generated lists of 50,000 and 200,000 stations: every object of the program asked for its
// name, role, states and children, as Orca or Accerciser do when they meet a window.
// Prints the processor time the program spent answering (from /proc) and the wall time of
// the walk, for the first walk and for a second one.
// The program and the reader run on a desktop of the benchmark's own (Xvfb, a private session
// bus and the accessibility bus), the program as built beside this benchmark, or the one given.
// Usage: bench_atspi [--program PATH] [stations...]
#include "DesktopSession.h"
#include "TestAppDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

// Processor time (user and system) a process has used so far, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// Waits until the program has been idle for a second (start-up done), at most `seconds`.
void waitUntilIdle(qint64 pid, int seconds)
{
    double before = cpuSeconds(pid);
    for (int i = 0; i < seconds; ++i) {
        QThread::sleep(1);
        const double now = cpuSeconds(pid);
        if (now - before < 0.02)
            return;
        before = now;
    }
}

struct Walk
{
    int objects = 0;
    double cpu = 0;  // the program's processor time, s
    double wall = 0; // the walk from start to end, s
};

Walk walk(const DesktopSession &desktop, qint64 pid)
{
    Walk w;
    const double before = cpuSeconds(pid);
    QElapsedTimer timer;
    timer.start();
    const QByteArray out = desktop.readAccessible({QStringLiteral("walk")}, nullptr, 30 * 60 * 1000);
    w.wall = timer.nsecsElapsed() / 1e9;
    w.cpu = cpuSeconds(pid) - before;
    w.objects = QJsonDocument::fromJson(out).object().value(QStringLiteral("objects")).toInt();
    return w;
}

// The stations of the viewed categories: the radio band's list.
int listedStations(const TestAppDir &dir)
{
    const QString ini = QString::fromUtf8(TestAppDir::generatedStationsIni());
    QStringList quoted;
    for (const QString &name : ini.section(QStringLiteral("Categories="), 1).trimmed().split(QStringLiteral(", ")))
        quoted << QLatin1Char('\'') + name + QLatin1Char('\'');
    return dir
        .query(QStringLiteral("SELECT COUNT(*) FROM Station WHERE Category IN (%1)").arg(quoted.join(QLatin1Char(','))))
        .value(0)
        .value(0)
        .toInt();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString program = QStringLiteral(HALCYRIX_PROGRAM);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--program" && i + 1 < argc)
            program = QString::fromLocal8Bit(argv[++i]);
        else
            sizes << QByteArray(argv[i]).toInt();
    }
    if (sizes.isEmpty())
        sizes = {50000, 200000};
    const QString missing = DesktopSession::missingTool();
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "%s is not installed\n", qPrintable(missing));
        return 1;
    }

    std::printf("%-10s %8s %8s %9s   %-22s %-22s\n", "stations", "listed", "objects", "start-up",
                "first walk: cpu / wall", "second walk: cpu / wall");
    for (int stations : sizes) {
        TestAppDir dir(TestAppDir::EmptyTables, TestAppDir::generatedStationsIni());
        dir.addGeneratedStations(stations);
        const int listed = listedStations(dir);

        DesktopSession desktop;
        if (!desktop.start()) {
            std::fprintf(stderr, "%s\n", qPrintable(desktop.errorText()));
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        auto process = desktop.launch(program);
        const qint64 pid = process->processId();
        int found = -1;
        desktop.readAccessible({QStringLiteral("wait"), QStringLiteral("Halcyrix v"), QStringLiteral("600")}, &found,
                               700000);
        const double startUp = timer.nsecsElapsed() / 1e9;
        if (found != 0) {
            std::fprintf(stderr, "the main window was not offered on the accessibility bus\n");
            return 1;
        }
        waitUntilIdle(pid, 120);
        const Walk first = walk(desktop, pid);
        const Walk second = walk(desktop, pid);
        std::printf("%-10d %8d %8d %8.2fs   %6.2f s / %6.2f s      %6.2f s / %6.2f s\n", stations, listed,
                    first.objects, startUp, first.cpu, first.wall, second.cpu, second.wall);
        std::fflush(stdout);
        process->terminate();
        if (!process->waitForFinished(20000))
            process->kill();
    }
    return 0;
}
