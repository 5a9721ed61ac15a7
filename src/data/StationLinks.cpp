#include "data/StationLinks.h"

#include "data/Database.h"
#include "data/Statement.h"

namespace {

bool hasTable(Database &db)
{
    Statement st(db, QStringLiteral("select 1 from sqlite_master where type = 'table' and name = 'StationLink'"));
    return st.step();
}

} // namespace

namespace StationLinks {

void ensure(Database &db)
{
    if (db.readOnlyFile() || hasTable(db))
        return;
    // A rename that lands on a name with a stale link drops that link first, so the station's
    // write never fails on the link table.
    db.exec(QStringLiteral("create table if not exists StationLink ("
                           " SName TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,"
                           " StationUuid TEXT NOT NULL);"
                           "create trigger if not exists StationLinkRename after update of SName on Station begin"
                           " delete from StationLink where SName = new.SName and SName <> old.SName;"
                           " update StationLink set SName = new.SName where SName = old.SName;"
                           " end;"
                           "create trigger if not exists StationLinkDelete after delete on Station begin"
                           " delete from StationLink where SName = old.SName;"
                           " end;"));
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
