#include "data/StationSideTable.h"

#include "data/Database.h"
#include "data/Statement.h"

namespace StationSideTable {

bool exists(Database &db, const QString &table)
{
    Statement st(db, QStringLiteral("select 1 from sqlite_master where type = 'table' and name = ?"));
    st.bind(1, table);
    return st.step();
}

void ensure(Database &db, const QString &table, const QString &columns)
{
    if (db.readOnlyFile() || exists(db, table))
        return;
    // A rename that lands on a name with a stale row drops that row first, so the station's
    // write never fails on the table beside it.
    db.exec(QStringLiteral("create table if not exists %1 ("
                           " SName TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, %2);"
                           "create trigger if not exists %1Rename after update of SName on Station begin"
                           " delete from %1 where SName = new.SName and SName <> old.SName;"
                           " update %1 set SName = new.SName where SName = old.SName;"
                           " end;"
                           "create trigger if not exists %1Delete after delete on Station begin"
                           " delete from %1 where SName = old.SName;"
                           " end;")
                .arg(table, columns));
}

} // namespace StationSideTable
