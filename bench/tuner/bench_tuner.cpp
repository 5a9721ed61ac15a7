// Timings of the tuner window on a generated 50,000-station database:
//  - start-up: construct, load and show the window until its first activation has ended;
//  - re-filter: rebuild the station list of the radio band (table reread, filter, sort, list refill);
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

struct Stats
{
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    void print(const char *what) const
    {
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        std::printf("%-44s median %8.2f ms   min %8.2f ms   max %8.2f ms   (%zu runs)\n", what, s[s.size() / 2],
                    s.front(), s.back(), s.size());
    }
};

double elapsedMs(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; }

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
    Stats activation;
    int listed = 0;
    for (int run = 0; run < runs; ++run) {
        Module1::RadioMode = true;
        QElapsedTimer timer;
        timer.start();
        auto w = std::make_unique<frmMain>();
        w->Form_Load();
        w->show();   // the first activation runs as the window is first shown
        startUp.add(elapsedMs(timer));
        listed = w->DBList1->ListCount();

        for (int i = 0; i < 3; ++i) {
            QString categories = Module1::ViewCategories;
            timer.restart();
            w->vbFilter(categories);
            refilter.add(elapsedMs(timer));
            timer.restart();
            w->Form_Activate();
            activation.add(elapsedMs(timer));
        }
        w->hide();
        QCoreApplication::processEvents();
    }
    if (!MsgBox::shown().isEmpty())
        std::printf("messages: %s\n", qPrintable(MsgBox::shown().join(" | ")));
    std::printf("%d stations, %d in the list\n", kStations, listed);
    startUp.print("start-up to end of first activation");
    refilter.print("re-filter with list refill (vbFilter)");
    activation.print("activation after a dialog (Form_Activate)");
    return 0;
}
