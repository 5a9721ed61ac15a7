// Station logos, measured in one run against the benchmark's own HTTP server and directory:
//  - Find Stations with 100 results, each with a logo, scrolled through from top to bottom: the
//    longest time the window thread went without handling its events (a 2 ms timer's longest
//    gap) while the logos of the rows in view were fetched, decoded, cached and shown;
//  - the program's memory for 1,000 logos shown (1,000 rows, each with a logo of its own, all
//    scrolled into view): resident memory after, less before;
//  - the time from asking for one logo to having it: fetched, decoded and cached, and from the
//    cache (medians).
//
//   bench_logos   (QT_QPA_PLATFORM=offscreen when there is no display)
//
// Idle memory is bench_lean's: a program that shows no logo makes no fetcher (see README).
#include "DirectoryStub.h"
#include "StreamServers.h"
#include "TestAppDir.h"

#include "app/Module1.h"
#include "directory/frmFindStations.h"
#include "pictures/LogoFetcher.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

QByteArray logoPng(int i)
{
    QImage image(96, 96, QImage::Format_ARGB32);
    image.fill(QColor::fromHsv(i % 360, 180, 200));
    for (int y = 0; y < 96; y += 8) // some detail, as a real logo has
        for (int x = (y / 8) % 2 * 8; x < 96; x += 16)
            for (int d = 0; d < 8; ++d)
                image.setPixel(x + d, y + d, qRgba(i % 256, 255 - i % 256, 60, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Shows `count` results with logos in Find Stations, scrolls through them a page at a time
// (each page staying until its logos are shown), and reports the window thread's longest gap.
struct Run
{
    qint64 longestGapMs = 0;
    qint64 memoryKiB = 0;
    int shown = 0;
    qint64 seconds = 0;
};

Run findStations(LocalHttpServer &http, DirectoryStub &directory, int count, const QString &prefix, bool logos)
{
    QJsonArray rows;
    for (int i = 1; i <= count; ++i) {
        const QString path = QStringLiteral("/%1/%2.png").arg(prefix).arg(i);
        http.serve(path, logoPng(i), "image/png");
        rows.append(QJsonObject{{"stationuuid", QStringLiteral("%1-%2").arg(prefix).arg(i)},
                                {"name", QStringLiteral("%1 %2").arg(prefix).arg(i)},
                                {"url", QStringLiteral("http://127.0.0.1:9/%1.mp3").arg(i)},
                                {"favicon", logos ? http.url(path) : QString()},
                                {"lastcheckok", 1}});
    }
    directory.serve(QStringLiteral("/json/stations/search"), QJsonDocument(rows).toJson(), 0);
    directory.serve(QStringLiteral("/json/stations/search"), "[]", -1);
    Run run;
    frmFindStations finder(nullptr);
    finder.resize(720, 560);
    finder.show();
    settle(300);
    const qint64 before = residentKiB();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        run.longestGapMs = std::max(run.longestGapMs, now - last);
        last = now;
    });
    finder.txtSearch->setText(prefix);
    finder.cmdSearch_Click();
    while (finder.grdResults->rowCount() < count && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QTableWidget *grid = finder.grdResults;
    auto iconsInView = [grid, logos] {
        const int first = grid->rowAt(0);
        int lastRow = grid->rowAt(grid->viewport()->height() - 1);
        if (lastRow < 0)
            lastRow = grid->rowCount() - 1;
        for (int r = first; r >= 0 && r <= lastRow; ++r)
            if (logos && grid->item(r, 0)->icon().isNull())
                return false;
        return true;
    };
    ticks.start(2);
    last = clock.elapsed();
    const qint64 started = clock.elapsed();
    QScrollBar *bar = grid->verticalScrollBar();
    for (;;) {
        QElapsedTimer page;
        page.start();
        while (!iconsInView() && page.elapsed() < 15000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!logos) // the same scrolling, at a pace the event loop is seen at
            settle(40);
        if (bar->value() >= bar->maximum())
            break;
        bar->setValue(std::min(bar->maximum(), bar->value() + bar->pageStep()));
    }
    run.seconds = clock.elapsed() - started;
    ticks.stop();
    for (int r = 0; r < grid->rowCount(); ++r)
        run.shown += grid->item(r, 0)->icon().isNull() ? 0 : 1;
    settle(200);
    run.memoryKiB = residentKiB() - before;
    return run;
}

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    LocalHttpServer http;
    DirectoryStub directory;
    qputenv("HALCYRIX_DIRECTORY", directory.base().toUtf8());

    // One logo: fetched and cached, then from the cache.
    QList<qint64> fetched, cached;
    for (int i = 0; i < 21; ++i) {
        const QString address = http.url(QStringLiteral("/one/%1.png").arg(i));
        http.serve(QStringLiteral("/one/%1.png").arg(i), logoPng(i), "image/png");
        for (QList<qint64> *into : {&fetched, &cached}) {
            bool done = false;
            QElapsedTimer t;
            t.start();
            const auto c = QObject::connect(LogoFetcher::instance(), &LogoFetcher::ready, [&](const QString &a) {
                if (a == address)
                    done = true;
            });
            LogoFetcher::instance()->request(address, QSize(20, 20));
            while (!done && t.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QObject::disconnect(c);
            into->append(t.nsecsElapsed() / 1000);
        }
    }
    std::printf("one logo: fetched, decoded and cached %.2f ms, from the cache %.2f ms (medians of 21)\n",
                median(fetched) / 1000.0, median(cached) / 1000.0);

    // Each measure beside the same window without logos: what the logos add.
    const Run plain100 = findStations(http, directory, 100, QStringLiteral("p"), false);
    const Run hundred = findStations(http, directory, 100, QStringLiteral("h"), true);
    std::printf("Find Stations, 100 results with logos scrolled through in %lld ms: %d icons shown, "
                "window thread's longest gap %lld ms (without logos: %lld ms; target <= 50 ms)\n",
                hundred.seconds, hundred.shown, hundred.longestGapMs, plain100.longestGapMs);
    const Run plain1000 = findStations(http, directory, 1000, QStringLiteral("q"), false);
    const Run thousand = findStations(http, directory, 1000, QStringLiteral("k"), true);
    std::printf("1,000 results scrolled through: resident memory %+.1f MiB with %d logos shown, %+.1f MiB "
                "without; the logos' part %+.1f MiB (target <= 10 MiB); longest gap %lld ms (without: %lld ms)\n",
                thousand.memoryKiB / 1024.0, thousand.shown, plain1000.memoryKiB / 1024.0,
                (thousand.memoryKiB - plain1000.memoryKiB) / 1024.0, thousand.longestGapMs, plain1000.longestGapMs);
    return 0;
}
