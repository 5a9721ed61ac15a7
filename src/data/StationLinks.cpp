#include "data/StationLinks.h"

#include "data/Database.h"
#include "data/Statement.h"
#include "data/StationSideTable.h"

namespace {

const QString kTable = QStringLiteral("StationLink");

bool hasTable(Database &db)
{
    return StationSideTable::exists(db, kTable);
}

} // namespace

namespace StationLinks {

void ensure(Database &db)
{
    StationSideTable::ensure(db, kTable, QStringLiteral("StationUuid TEXT NOT NULL"));
}

QString uuidFor(Database &db, const QString &stationName)
{
    if (!hasTable(db))
        return {};
    Statement st(db, QStringLiteral("select StationUuid from StationLink where SName = ?"));
    st.bind(1, stationName);
    return st.step() ? st.column(0).toString() : QString();
}

void link(Database &db, const QString &stationName, const QString &uuid)
{
    ensure(db);
    Statement st(db, QStringLiteral("insert or replace into StationLink (SName, StationUuid) values (?, ?)"));
    st.bind(1, stationName);
    st.bind(2, uuid);
    st.run();
}

void unlink(Database &db, const QString &stationName)
{
    if (!hasTable(db))
        return;
    Statement st(db, QStringLiteral("delete from StationLink where SName = ?"));
    st.bind(1, stationName);
    st.run();
}

QList<QPair<QString, QString>> all(Database &db)
{
    QList<QPair<QString, QString>> links;
    if (!hasTable(db))
        return links;
    Statement st(db, QStringLiteral("select SName, StationUuid from StationLink order by SName"));
    while (st.step())
        links.append({st.column(0).toString(), st.column(1).toString()});
    return links;
}

} // namespace StationLinks
