// Times the station list exchange through the real dialogs on generated data:
//   import of a 100,000-line station file, import of a 100,000-record Corvane list,
//   export of 100,000 stations to a station file and to a web page table.
// Also reports the longest time the window went without handling its events while working.
//   bench_exchange [stations]        (default 100000)
#include "TestAppDir.h"
#include "app/Application.h"
#include "app/CommonDialog.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/DataControl.h"
#include "exchange/frmExport.h"
#include "exchange/frmImport.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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
    qint64 openMs = 0; // showing the dialog, whose data control reads the Station table
    qint64 wallMs = 0; // OK pressed until the work is done
    qint64 cpuMs = 0;  // the same in processor time
    qint64 longestPauseMs = 0;
};

// Opens the dialog, sets it up and presses OK, timing the opening and the work.
Timing timeOk(StationListDialog &dlg, Responsiveness &watch, const std::function<void()> &setUp)
{
    Timing timing;
    QElapsedTimer t;
    t.start();
    dlg.show();
    dlg.Data1->Recordset();
    timing.openMs = t.elapsed();
    setUp();
    t.restart();
    watch.start();
    const qint64 cpu = cpuMs();
    dlg.Command3->click();
    timing.cpuMs = cpuMs() - cpu;
    timing.wallMs = t.elapsed();
    watch.stop();
    timing.longestPauseMs = watch.longest;
    return timing;
}

void report(const char *what, const Timing &timing, const QString &extra)
{
    out << QString("%1 %2 ms wall, %3 ms processor  (longest pause of the window %4 ms; dialog opened in %5 ms)  %6\n")
               .arg(QString::fromLatin1(what), -40)
               .arg(timing.wallMs, 5)
               .arg(timing.cpuMs, 5)
               .arg(timing.longestPauseMs)
               .arg(timing.openMs)
               .arg(extra);
    out.flush();
}

Timing importRun(const QString &file, bool corvane, bool replace, Responsiveness &watch, int *count)
{
    frmImport dlg;
    const Timing timing = timeOk(dlg, watch, [&] {
        dlg.txtFile->setText(file);
        dlg.optFileType[corvane ? 1 : 0]->setChecked(true);
        dlg.optAction[replace ? 1 : 0]->setChecked(true);
    });
    *count = dlg.lastCounts().added + dlg.lastCounts().replaced;
    return timing;
}

Timing exportRun(const QString &file, bool webPage, Responsiveness &watch)
{
    frmExport dlg;
    return timeOk(dlg, watch, [&] {
        dlg.txtFile->setText(file);
        dlg.optFileType[webPage ? 1 : 0]->setChecked(true);
        dlg.Check1->setChecked(webPage);
    });
}

} // namespace

int main(int argc, char **argv)
{
    Application app(argc, argv);
    MsgBox::setRecording(true);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    Responsiveness watch;
    int count = 0;

    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.writeFile("big.hcs", stationFile(n));
    Timing t = importRun(dir.filePath("big.hcs"), false, false, watch, &count);
    report("import station file (keep, empty table)", t, QString("%1 stations").arg(count));
    t = importRun(dir.filePath("big.hcs"), false, true, watch, &count);
    report("import station file again (replace all)", t, QString("%1 stations").arg(count));

    t = exportRun(dir.filePath("out.hcs"), false, watch);
    report("export station file", t, QString("%1 bytes").arg(QFileInfo(dir.filePath("out.hcs")).size()));
    t = exportRun(dir.filePath("out.html"), true, watch);
    report("export web page table", t, QString("%1 bytes").arg(QFileInfo(dir.filePath("out.html")).size()));

    TestAppDir corvane;
    Module1::DatabasePath = corvane.dbPath();
    corvane.writeFile("big.lst", corvaneFile(n));
    t = importRun(corvane.filePath("big.lst"), true, false, watch, &count);
    report("import Corvane list (keep, empty table)", t, QString("%1 stations").arg(count));

    if (!MsgBox::shown().isEmpty())
        out << "messages: " << MsgBox::shown().join(" | ") << "\n";
    return 0;
}
