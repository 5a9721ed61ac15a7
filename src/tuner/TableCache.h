#pragma once

#include "data/Recordset.h"

#include <QString>
#include <memory>

class Database;

// A table as last read from its database file. open() reads it again whenever the file
// changed since (through this program's connection or any other), and otherwise hands back
// the rows already in memory, so rebuilding a long list after a dialog that changed nothing
// costs no reread.
class TableCache
{
public:
    // The whole table (a record set in stored order). Raises the database's errors.
    RecordsetPtr open(const QString &path, const QString &source, bool readOnly);
    void clear();

private:
    struct Version
    {
        qint64 dataVersion = -1;   // bumped by commits of other connections
        qint64 changes = -1;       // rows changed through this connection
        bool operator==(const Version &) const = default;
    };
    Version currentVersion() const;

    std::shared_ptr<Database> m_db;
    QString m_path;
    QString m_source;
    bool m_readOnly = false;
    Version m_version;
    RecordsetPtr m_table;
};
