// Timings of the tuner window on a generated 50,000-station database:
//  - start-up: construct, load and show the window until its first activation has ended;
//  - re-filter: rebuild the station list of the radio band (filter, sort, list refill), with the
//    database unchanged since the last read, and after a station was changed (table reread too);
//  - activation: what every return from a dialog costs (re-filter, preset hints, list refill, first row).
// Usage: bench_tuner [runs]
#include "TestAppDir.h"
#include "app/Application.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "player/Player.h"
#include "tuner/frmMain.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int kStations = 50000;
constexpr int kCategories = 20;

void fillDatabase(const TestAppDir &dir)
{
    QString categories = "INSERT INTO Category (Name) WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                         "WHERE i < %1) SELECT 'Category ' || i FROM n;";
    dir.exec(categories.arg(kCategories - 1));
    // Names in scrambled order, so the sort has work to do.
    const QString stations =
        "BEGIN; INSERT INTO Station (SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage) "
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "SELECT 'Station ' || printf('%05d', (i * 7919) % %2), printf('%d.%d', 88 + i % 20, i % 10), "
        "CASE i % 4 WHEN 0 THEN 'FM' WHEN 1 THEN 'AM' WHEN 2 THEN 'NET' ELSE 'TV' END, 'K' || (i % 1000), "
        "'City ' || (i % 500), 'http://127.0.0.1:9/' || i || '.mp3', 'Category ' || (i % %3), "
        "'http://example.invalid/' || i FROM n; "
        "INSERT INTO Preset (SName) WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 9) "
        "SELECT 'Slot ' || i FROM n; COMMIT;";
    dir.exec(stations.arg(kStations - 1).arg(kStations).arg(kCategories));
}

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Wall-clock and process CPU time of each run (the CPU time is the steadier figure on a
// machine shared with other work).
struct Stats
{
    std::vector<double> wall;
    std::vector<double> cpu;
    QElapsedTimer timer;
    double cpuStart = 0;
    void start()
    {
        cpuStart = cpuMs();
        timer.start();
    }
    void stop()
    {
        wall.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(cpuMs() - cpuStart);
    }
    static double median(std::vector<double> v)
    {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    void print(const char *what) const
    {
        std::printf("%-46s wall median %8.2f ms  min %8.2f ms | cpu median %8.2f ms  min %8.2f ms  (%zu runs)\n", what,
                    median(wall), *std::min_element(wall.begin(), wall.end()), median(cpu),
                    *std::min_element(cpu.begin(), cpu.end()), wall.size());
    }
};

} // namespace

int main(int argc, char **argv)
{
    Application app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    Player::setDefaultOption(QStringLiteral("ao"), QStringLiteral("null"));
    Player::setDefaultOption(QStringLiteral("vo"), QStringLiteral("null"));
    MsgBox::setRecording(true);

    // Seven of the twenty categories are viewed: 17,500 stations in the list.
    TestAppDir dir(TestAppDir::EmptyTables, "DataBase=Halcyrix.db\r\nShowBanner=True\r\n"
                                            "Categories=Category 1, Category 3, Category 5, Category 7, "
                                            "Category 9, Category 11, Category 13\r\n");
    fillDatabase(dir);

    Stats startUp;
    Stats refilter;
    Stats refilterChanged;
    Stats activation;
    int listed = 0;
    for (int run = 0; run < runs; ++run) {
        Module1::RadioMode = true;
        startUp.start();
        auto w = std::make_unique<frmMain>();
        w->Form_Load();
        w->show(); // the first activation runs as the window is first shown
        startUp.stop();
        listed = w->DBList1->ListCount();

        for (int i = 0; i < 3; ++i) {
            QString categories = Module1::ViewCategories;
            refilter.start();
            w->vbFilter(categories);
            refilter.stop();

            dir.exec(QStringLiteral("UPDATE Station SET Location = 'Moved %1' WHERE rowid = %2").arg(run).arg(i + 1));
            categories = Module1::ViewCategories;
            refilterChanged.start();
            w->vbFilter(categories);
            refilterChanged.stop();

            activation.start();
            w->Form_Activate();
            activation.stop();
        }
        w->hide();
        QCoreApplication::processEvents();
    }
    if (!MsgBox::shown().isEmpty())
        std::printf("messages: %s\n", qPrintable(MsgBox::shown().join(" | ")));
    std::printf("%d stations, %d in the list\n", kStations, listed);
    startUp.print("start-up to end of first activation");
    refilter.print("re-filter with list refill (vbFilter)");
    refilterChanged.print("re-filter after a station changed (reread)");
    activation.print("activation after a dialog (Form_Activate)");
    return 0;
}
