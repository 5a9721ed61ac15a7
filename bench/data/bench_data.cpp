// Times the station database layer on a generated database of 50,000 stations in 20
// categories: opening, refreshing, filtering by 5 categories and sorting by name, moving
// through every row; and filling a station list from 200,000 rows.
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "data/Recordset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sqlite3.h>
#include <time.h>
#include <vector>

namespace {

const char *const kCategories[] = {"Classical",  "Eclectic", "Electronic", "Jazz",  "News",   "Pop",   "Talk",
                                   "Television", "Country",  "Folk",       "Blues", "Reggae", "Latin", "Metal",
                                   "Soul",       "Sports",   "Religious",  "Kids",  "Oldies", "World"};

void check(int rc, sqlite3 *db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// A database made from the schema with count stations, names in mixed letter case.
QString makeDatabase(const QTemporaryDir &dir, const QString &name, int count)
{
    QFile schemaFile(QStringLiteral(HX_SOURCE_DIR "/data/schema.sql"));
    if (!schemaFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read data/schema.sql\n");
        std::exit(1);
    }
    const QByteArray schema = schemaFile.readAll();
    const QString path = dir.filePath(name);
    sqlite3 *db = nullptr;
    check(sqlite3_open(QFile::encodeName(path).constData(), &db), db);
    check(sqlite3_exec(db, schema.constData(), nullptr, nullptr, nullptr), db);
    check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db);
    sqlite3_stmt *st = nullptr;
    check(sqlite3_prepare_v2(db, "insert into Station values (?, ?, ?, ?, ?, ?, ?, ?)", -1, &st, nullptr), db);
    const char *types[] = {"FM", "AM", "NET", "TV"};
    quint32 seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < count; ++i) {
        // "kXbq Radio 12345": a scrambled, mixed-case prefix so the sort has work to do.
        QByteArray sname;
        for (int k = 0; k < 4; ++k) {
            const char c = char('a' + (next() >> 16) % 26);
            sname += (next() >> 16) % 2 ? char(c - 'a' + 'A') : c;
        }
        sname += " Radio " + QByteArray::number(i);
        const QByteArray freq = QByteArray::number(88 + i % 20) + "." + QByteArray::number(i % 10);
        const QByteArray loc = "City " + QByteArray::number(i % 997) + ", Country";
        const QByteArray ram = "http://stream" + QByteArray::number(i) + ".example.org/live.ram";
        const QByteArray web = "http://www" + QByteArray::number(i) + ".example.org/";
        const QByteArray fields[] = {
            sname, freq, types[i % 4], "K" + QByteArray::number(i % 1000), loc, ram, kCategories[(next() >> 16) % 20],
            web};
        for (int f = 0; f < 8; ++f)
            sqlite3_bind_text(st, f + 1, fields[f].constData(), int(fields[f].size()), SQLITE_TRANSIENT);
        check(sqlite3_step(st), db);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    check(sqlite3_exec(db, "insert into Category (Name) values ('Jazz'), ('News')", nullptr, nullptr, nullptr), db);
    check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
    return path;
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Runs work runs times; reports the fastest and the median run in milliseconds of wall time,
// and the median processor time of this thread (what the run costs when the machine is busy
// with other work).
void measure(const char *what, int runs, const std::function<void()> &work)
{
    std::vector<double> ms, cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        const double c0 = threadCpuMs();
        t.start();
        work();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - c0);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-62s wall min %7.1f  median %7.1f   cpu median %7.1f ms  (%d runs)\n", what, ms.front(),
                ms[ms.size() / 2], cpu[cpu.size() / 2], runs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        std::printf("load average at start: %.1f\n", load[0]);
    QTemporaryDir dir;
    QElapsedTimer gen;
    gen.start();
    const QString path = makeDatabase(dir, QStringLiteral("Stations50k.db"), 50000);
    std::printf("generated 50,000 stations in %.0f ms\n", double(gen.elapsed()));

    measure("open database + station record set (50,000 rows)", 5, [&] {
        auto rs = Recordset::open(Database::open(path), QStringLiteral("Station"), false);
        if (rs->RecordCount() != 50000)
            std::exit(2);
    });

    QWidget window;
    Data data(&window);
    data.setVisible(false);
    data.setDatabaseName(path);
    data.setRecordSource(QStringLiteral("Station"));
    measure("Refresh of the data control (re-reads 50,000 rows)", 10, [&] { data.Refresh(); });

    const QString criteria = QStringLiteral(
        "Category = 'Jazz' OR Category = 'news' OR Category = 'Pop' OR Category = 'Talk' OR Category = 'Classical'");
    RecordsetPtr filtered;
    measure("filter by 5 categories + sort by name (OpenRecordset)", 30, [&] {
        auto rs = data.Recordset();
        rs->setFilter(criteria);
        rs->setSort(QStringLiteral("SName"));
        filtered = rs->OpenRecordset(rs->Type());
    });
    std::printf("   -> %d of 50,000 stations pass the filter\n", filtered->RecordCount());
    measure("sort all 50,000 by name, no filter", 10, [&] {
        auto rs = data.Recordset();
        rs->setFilter(QString());
        rs->setSort(QStringLiteral("SName"));
        filtered = rs->OpenRecordset();
    });

    measure("vbFilter-like: Refresh + filter + sort + set + MoveFirst", 10, [&] {
        data.Refresh();
        auto rs = data.Recordset();
        rs->setFilter(criteria);
        rs->setSort(QStringLiteral("SName"));
        data.setRecordset(rs->OpenRecordset(rs->Type()));
        data.Recordset()->MoveFirst();
    });

    data.Refresh();
    measure("move through all 50,000 rows reading field 0", 5, [&] {
        auto rs = data.Recordset();
        rs->MoveFirst();
        qsizetype chars = 0;
        while (!rs->EOF_()) {
            chars += rs->Fields(0).toString().size();
            rs->MoveNext();
        }
        if (chars == 0)
            std::exit(3);
    });
    BoundTextBox box(&window);
    box.bind(&data, QStringLiteral("SName"));
    measure("move through all 50,000 rows, one bound text box shown", 3, [&] {
        auto rs = data.Recordset();
        rs->MoveFirst();
        while (!rs->EOF_())
            rs->MoveNext();
    });
    measure("FindFirst of the last station by name (50,000 rows)", 10, [&] {
        auto rs = data.Recordset();
        rs->MoveLast();
        const QString name = rs->Fields(0).toString();
        rs->FindFirst(QStringLiteral("SName='") + name + QStringLiteral("'"));
    });

    const QString big = makeDatabase(dir, QStringLiteral("Stations200k.db"), 200000);
    Data bigData(&window);
    bigData.setVisible(false);
    bigData.setDatabaseName(big);
    bigData.setRecordSource(QStringLiteral("Station"));
    bigData.Refresh();
    DBList list(&window);
    list.resize(200, 400);
    list.setListField(QStringLiteral("SName"));
    list.setRowSource(&bigData);
    window.resize(400, 500);
    window.show();
    measure("DBList fill from 200,000 rows (ReFill)", 5, [&] { list.ReFill(); });
    measure("DBList fill + first paint", 3, [&] {
        list.ReFill();
        list.repaint();
    });
    measure("DBList select the last of 200,000 entries by text (first use)", 3, [&] {
        list.ReFill();
        list.setText(list.List(199999));
    });
    measure("Refresh of 200,000 rows", 3, [&] { bigData.Refresh(); });
    return 0;
}
