#pragma once

#include "data/Database.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <unordered_map>

class Statement;

// Many rows written to one table in a row, as the station import does: each kind of statement
// is prepared once and reused, which a record set (one statement per row, rows kept in memory)
// cannot offer at that pace. The caller holds the transaction. Refusals raise the same errors
// as a record set's Update (3314, 3022, 3163, ...).
class BulkWriter
{
public:
    // fields: the columns every call works on, in the order of the values passed.
    BulkWriter(std::shared_ptr<Database> db, const QString &table, const QStringList &fields);
    ~BulkWriter();
    BulkWriter(const BulkWriter &) = delete;
    BulkWriter &operator=(const BulkWriter &) = delete;

    // Adds a row; an invalid QVariant stores no value. Returns its row id.
    qint64 insert(const QVariantList &values);
    // Changes the fields whose bit (1 << index) is set in mask to the values given.
    void update(qint64 rowid, const QVariantList &values, unsigned mask);
    // Deletes the row.
    void remove(qint64 rowid);
    // The row id of the first row whose field equals value as the column compares text, or -1.
    // Names (the table's name column) are compared as everywhere (Database::findName).
    qint64 find(int field, const QString &value);

private:
    Statement &prepare(const QString &sql);

    std::shared_ptr<Database> m_db;
    QString m_tableName;
    QString m_table;
    int m_nameField = -1; // the position of the table's name column among fields, or -1
    QStringList m_fields;
    QString m_insertSql;
    std::unordered_map<QString, std::unique_ptr<Statement>> m_statements; // by SQL text, prepared once
};
