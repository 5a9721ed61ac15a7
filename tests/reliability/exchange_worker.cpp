// Runs one import or export on the database of $HALCYRIX_HOME, for the kill-safety test. It
// prints "started" as soon as the work is at its first station, so the test can kill it in the
// middle of the work.
//   hx_exchange_worker import <station file>
//   hx_exchange_worker export <file>
#include "app/AppInfo.h"
#include "app/RuntimeError.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "exchange/StationExport.h"
#include "exchange/StationImport.h"

#include <QCoreApplication>
#include <cstdio>

static int failed(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    return 2;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 1;
    const QString verb = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[2]);
    bool told = false;
    StationImport::Callbacks callbacks;
    callbacks.progress = [&told](qint64, const QString &) {
        if (!told) {
            told = true;
            std::fputs("started\n", stdout);
            std::fflush(stdout);
        }
    };
    try {
        const auto db = Database::open(App::filePath(QStringLiteral("Halcyrix.db")));
        if (verb == QLatin1String("import")) {
            StationImport::Choices choices;
            choices.fileName = file;
            StationImport import(choices, callbacks);
            if (!import.store(db))
                return failed(import.error());
        } else {
            StationExport::Choices choices;
            choices.fileName = file;
            const StationExport::Result result =
                StationExport::run(choices, Recordset::open(db, QStringLiteral("Station"), true), callbacks);
            if (!result.written)
                return failed(result.error);
        }
    } catch (const RuntimeError &e) {
        return failed(e.text());
    }
    std::fputs("done\n", stdout);
    return 0;
}
