#pragma once

#include "data/Recordset.h"

#include <QHash>
#include <QPair>
#include <QString>
#include <memory>

class Database;

// A table as last read from its database file, and the sets derived from it. open() reads it
// again whenever the file changed since (through this program's connection or any other), and
// otherwise hands back the rows already in memory, so rebuilding a long list after a dialog
// that changed nothing costs no reread. derived() filters and sorts those rows once per
// filter and sort while the table is unchanged, so going back to a list seen before (the
// other band) costs a copy of its order only.
class TableCache
{
public:
    // The whole table (a record set in stored order). Raises the database's errors.
    RecordsetPtr open(const QString &path, const QString &source, bool readOnly);
    // A new record set holding the rows of the table last opened that pass filter, ordered by
    // sort, its first row current; each call gives a set of its own. Raises what
    // Recordset::OpenRecordset raises, and 3021 when no table is open.
    RecordsetPtr derived(const QString &sort, const QString &filter);
    void clear();

private:
    std::shared_ptr<Database> m_db;
    QString m_path;
    QString m_source;
    bool m_readOnly = false;
    QPair<qint64, qint64> m_version{-1, -1}; // Database::version() when the table was read
    RecordsetPtr m_table;
    QHash<QPair<QString, QString>, RecordsetPtr> m_derived; // by sort and filter; never handed out themselves
};
