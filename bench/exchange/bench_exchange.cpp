// Times the station list exchange workflows on generated data:
//   import of a 100,000-line station file, import of a 100,000-record Corvane list,
//   export of 100,000 stations to a station file and to a web page table.
// The progress callback handles pending events as the dialogs do (every few milliseconds); the
// longest time the event loop went unserved while working is reported too.
//   bench_exchange [stations]        (default 100000)
#include "TestAppDir.h"
#include "app/AppInfo.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "exchange/ExchangeProgress.h"
#include "exchange/StationExport.h"
#include "exchange/StationImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

QTextStream out(stdout);

// Processor time of the process: on a shared machine the wall clock also counts the time
// other programs had the processor.
qint64 cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

QByteArray stationFile(int n)
{
    QByteArray file;
    file.reserve(qsizetype(n) * 110);
    for (int i = 0; i < n; ++i) {
        const QByteArray id = QByteArray::number(i);
        file += "Station " + id + "\tCity " + id + ", Somewhere\tK" + QByteArray::number(i % 1000) + "\t" +
                QByteArray::number(88 + i % 20) + ".1\t" + (i % 2 ? "FM" : "AM") + "\thttp://s" + id +
                ".example/live.pls\t" + (i % 3 ? "Pop" : "Jazz") + "\r\n";
    }
    return file;
}

QByteArray corvaneFile(int n)
{
    QByteArray file;
    file.reserve(qsizetype(n) * 132);
    for (int i = 0; i < n; ++i) {
        const QByteArray id = QByteArray::number(i);
        file += ("Old " + id).leftJustified(30) + ("http://c" + id + ".example/x.ram").leftJustified(40) +
                ("Town " + id).leftJustified(30) + QByteArray(i % 3 ? "News" : "Talk").leftJustified(20) +
                QByteArray("W").leftJustified(4) + QByteArray::number(530 + i % 1000).leftJustified(5);
        file += char(i % 2);
        file += '\0';
        file += ' ';
    }
    return file;
}

// The longest pause between two turns of the event loop while `work` runs.
struct Responsiveness
{
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
    Responsiveness()
    {
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] { longest = std::max(longest, clock.restart()); });
    }
    void start()
    {
        longest = 0;
        clock.start();
        timer.start();
    }
    void stop()
    {
        longest = std::max(longest, clock.elapsed());
        timer.stop();
    }
};

struct Timing
{
    qint64 openMs = 0; // reading the Station table into the record set that is exported
    qint64 wallMs = 0; // the work from start to end
    qint64 cpuMs = 0;  // the same in processor time
    qint64 longestPauseMs = 0;
    int updates = 0; // how often the progress was shown
};

// Progress as a dialog shows it: pending events handled when some milliseconds have passed.
ExchangeCallbacks progressLike(Timing &timing, QElapsedTimer &clock)
{
    ExchangeCallbacks callbacks;
    callbacks.started = [&clock](qint64) { clock.start(); };
    callbacks.progress = [&timing, &clock](qint64, const QString &) {
        if (clock.elapsed() < ExchangeProgress::IntervalMs)
            return;
        ++timing.updates;
        QCoreApplication::processEvents();
        clock.restart();
    };
    return callbacks;
}

// Times the work, watching the event loop meanwhile.
void timeWork(Timing &timing, Responsiveness &watch, const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    watch.start();
    const qint64 cpu = cpuMs();
    work();
    timing.cpuMs = cpuMs() - cpu;
    timing.wallMs = t.elapsed();
    watch.stop();
    timing.longestPauseMs = watch.longest;
}

void report(const char *what, const Timing &timing, const QString &extra)
{
    out << QString("%1 %2 ms wall, %3 ms processor  (longest pause of the event loop %4 ms, %5 progress updates; "
                   "record set read in %6 ms)  %7\n")
               .arg(QString::fromLatin1(what), -40)
               .arg(timing.wallMs, 5)
               .arg(timing.cpuMs, 5)
               .arg(timing.longestPauseMs)
               .arg(timing.updates)
               .arg(timing.openMs)
               .arg(extra);
    out.flush();
}

Timing importRun(const QString &dbPath, const QString &file, bool corvane, bool replace, Responsiveness &watch,
                 int *count)
{
    Timing timing;
    QElapsedTimer clock;
    StationImport::Callbacks callbacks;
    static_cast<ExchangeCallbacks &>(callbacks) = progressLike(timing, clock);
    StationImport::Choices choices;
    choices.fileName = file;
    choices.format = corvane ? StationImport::Format::Corvane : StationImport::Format::StationFile;
    choices.replace = replace;
    StationImport import(choices, callbacks);
    timeWork(timing, watch, [&] {
        if (!import.store(Database::open(dbPath)))
            out << "import failed: " << import.error() << "\n";
    });
    *count = import.counts().added + import.counts().replaced;
    return timing;
}

Timing exportRun(const QString &dbPath, const QString &file, bool webPage, Responsiveness &watch)
{
    Timing timing;
    QElapsedTimer clock;
    const ExchangeCallbacks callbacks = progressLike(timing, clock);
    QElapsedTimer t;
    t.start();
    const RecordsetPtr stations = Recordset::open(Database::open(dbPath), "Station", true);
    timing.openMs = t.elapsed();
    StationExport::Choices choices;
    choices.fileName = file;
    choices.format = webPage ? StationExport::Format::WebPage : StationExport::Format::StationFile;
    choices.liveLink = webPage;
    choices.product = App::title();
    choices.major = App::major();
    choices.minor = App::minor();
    choices.homePage = App::homePage();
    timeWork(timing, watch, [&] {
        const StationExport::Result result = StationExport::run(choices, stations, callbacks);
        if (!result.written)
            out << "export failed: " << result.error << "\n";
    });
    return timing;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    Responsiveness watch;
    int count = 0;

    TestAppDir dir;
    dir.writeFile("big.hcs", stationFile(n));
    Timing t = importRun(dir.dbPath(), dir.filePath("big.hcs"), false, false, watch, &count);
    report("import station file (keep, empty table)", t, QString("%1 stations").arg(count));
    t = importRun(dir.dbPath(), dir.filePath("big.hcs"), false, true, watch, &count);
    report("import station file again (replace all)", t, QString("%1 stations").arg(count));

    t = exportRun(dir.dbPath(), dir.filePath("out.hcs"), false, watch);
    report("export station file", t, QString("%1 bytes").arg(QFileInfo(dir.filePath("out.hcs")).size()));
    t = exportRun(dir.dbPath(), dir.filePath("out.html"), true, watch);
    report("export web page table", t, QString("%1 bytes").arg(QFileInfo(dir.filePath("out.html")).size()));

    TestAppDir corvane;
    corvane.writeFile("big.lst", corvaneFile(n));
    t = importRun(corvane.dbPath(), corvane.filePath("big.lst"), true, false, watch, &count);
    report("import Corvane list (keep, empty table)", t, QString("%1 stations").arg(count));
    return 0;
}
