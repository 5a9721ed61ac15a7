#include "health/CheckStore.h"

#include "data/BulkWriter.h"
#include "data/Collation.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "data/Statement.h"

#include <QHash>

namespace {

const QString kStation = QStringLiteral("Station");

// The row of a listed station, when it still holds the station's name.
qint64 storedRow(Database &db, const StationCheck::Station &station)
{
    if (station.rowid < 0)
        return -1;
    const qint64 row = db.findName(kStation, station.name);
    return row == station.rowid ? row : -1;
}

} // namespace

namespace CheckStore {

QList<StationCheck::Station> stations(const QString &dbPath, const QString &criteria)
{
    const std::shared_ptr<Database> db = Database::open(dbPath);
    const RecordsetPtr table = Recordset::open(db, kStation, true);
    table->setSort(QStringLiteral("SName"));
    table->setFilter(criteria);
    RecordsetPtr chosen;
    try {
        chosen = table->OpenRecordset();
    } catch (const RuntimeError &) {
        table->setFilter(QString());
        chosen = table->OpenRecordset();
    }
    const QStringList names = chosen->columnTexts(QStringLiteral("SName"));
    const QStringList addresses = chosen->columnTexts(QStringLiteral("RAMFile"));
    const QStringList categories = chosen->columnTexts(QStringLiteral("Category"));
    // The rows of the names, read in one pass (names are unique ignoring letter case).
    QHash<QString, qint64> rows;
    rows.reserve(names.size());
    Statement st(*db, QStringLiteral("select rowid, SName from Station where SName is not null"));
    while (st.step())
        rows.insert(Collation::nameKey(st.column(1).toString()), st.integer(0));
    QList<StationCheck::Station> out;
    out.reserve(names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const qint64 rowid = rows.value(Collation::nameKey(names[i]), -1);
        if (rowid >= 0) // a station without a name cannot be listed
            out.append({rowid, names[i], addresses[i], categories[i]});
    }
    return out;
}

std::optional<StationCheck::Station> station(const QString &dbPath, qint64 rowid)
{
    const std::shared_ptr<Database> db = Database::open(dbPath);
    Statement st(*db, QStringLiteral("select SName, RAMFile, Category from Station where rowid = ?"));
    st.bind(1, rowid);
    if (!st.step() || st.column(0).isNull())
        return std::nullopt;
    return StationCheck::Station{rowid, st.column(0).toString(), st.column(1).toString(), st.column(2).toString()};
}

int moveTo(const QString &dbPath, const QList<StationCheck::Station> &stations, const QString &category)
{
    const std::shared_ptr<Database> db = Database::open(dbPath);
    Transaction transaction(db);
    if (db->findName(QStringLiteral("Category"), category) < 0)
        BulkWriter(db, QStringLiteral("Category"), {QStringLiteral("Name")}).insert({category});
    BulkWriter writer(db, kStation, {QStringLiteral("Category")});
    int moved = 0;
    for (const StationCheck::Station &s : stations) {
        if (const qint64 row = storedRow(*db, s); row >= 0) {
            writer.update(row, {category}, 1u);
            ++moved;
        }
    }
    transaction.commit();
    return moved;
}

bool setAddress(const QString &dbPath, const StationCheck::Station &station, const QString &address)
{
    const std::shared_ptr<Database> db = Database::open(dbPath);
    const qint64 row = storedRow(*db, station);
    if (row < 0)
        return false;
    BulkWriter(db, kStation, {QStringLiteral("RAMFile")}).update(row, {address}, 1u);
    return true;
}

int remove(const QString &dbPath, const QList<StationCheck::Station> &stations)
{
    const std::shared_ptr<Database> db = Database::open(dbPath);
    Transaction transaction(db);
    BulkWriter writer(db, kStation, {QStringLiteral("SName")});
    int removed = 0;
    for (const StationCheck::Station &s : stations) {
        if (const qint64 row = storedRow(*db, s); row >= 0) {
            writer.remove(row);
            ++removed;
        }
    }
    transaction.commit();
    return removed;
}

} // namespace CheckStore
