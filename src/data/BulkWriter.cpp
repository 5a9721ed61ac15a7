#include "BulkWriter.h"

#include <sqlite3.h>

BulkWriter::BulkWriter(std::shared_ptr<Database> db, const QString &table, const QStringList &fields)
    : m_db(std::move(db)), m_tableName(table), m_table(Database::quoteIdentifier(table)), m_fields(fields)
{
    const QString nameColumn = m_db->nameColumn(table);
    for (int i = 0; i < fields.size() && !nameColumn.isEmpty(); ++i)
        if (fields[i].compare(nameColumn, Qt::CaseInsensitive) == 0)
            m_nameField = i;
    QStringList columns, marks;
    for (const QString &field : fields) {
        columns << Database::quoteIdentifier(field);
        marks << QStringLiteral("?");
    }
    m_insertSql = QStringLiteral("insert into %1 (%2) values (%3)")
                      .arg(m_table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

BulkWriter::~BulkWriter()
{
    for (sqlite3_stmt *st : std::as_const(m_statements))
        sqlite3_finalize(st);
}

sqlite3_stmt *BulkWriter::prepare(const QString &sql)
{
    if (sqlite3_stmt *st = m_statements.value(sql))
        return st;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v3(m_db->handle(), sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) !=
        SQLITE_OK) {
        const RuntimeError error = m_db->lastError();
        sqlite3_finalize(st);
        throw error;
    }
    m_statements.insert(sql, st);
    return st;
}

void BulkWriter::bind(sqlite3_stmt *st, int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(st, index);
    } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
        sqlite3_bind_int64(st, index, value.toLongLong());
    } else if (value.typeId() == QMetaType::Double) {
        sqlite3_bind_double(st, index, value.toDouble());
    } else {
        const QString text = value.toString();
        sqlite3_bind_text16(st, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
    }
}

void BulkWriter::run(sqlite3_stmt *st, const QVariantList &values)
{
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        const RuntimeError error = m_db->lastError(m_fields, values);
        sqlite3_reset(st);
        throw error;
    }
    sqlite3_reset(st);
}

// A name in values at field, or null when it holds none.
static QVariant nameIn(const QVariantList &values, int field)
{
    const QVariant v = field >= 0 ? values.value(field) : QVariant();
    return v.isValid() && !v.isNull() ? v : QVariant();
}

qint64 BulkWriter::insert(const QVariantList &values)
{
    const QVariant name = nameIn(values, m_nameField);
    if (name.isValid())
        m_db->requireFreeName(m_tableName, name.toString());
    sqlite3_stmt *st = prepare(m_insertSql);
    for (int i = 0; i < m_fields.size(); ++i)
        bind(st, i + 1, values.value(i));
    run(st, values);
    const qint64 rowid = sqlite3_last_insert_rowid(m_db->handle());
    if (m_nameField >= 0)
        m_db->nameStored(m_tableName, rowid, name);
    return rowid;
}

void BulkWriter::update(qint64 rowid, const QVariantList &values, unsigned mask)
{
    QStringList sets;
    for (int i = 0; i < m_fields.size(); ++i)
        if (mask & (1u << i))
            sets << Database::quoteIdentifier(m_fields[i]) + QStringLiteral(" = ?");
    if (sets.isEmpty())
        return;
    const bool renames = m_nameField >= 0 && (mask & (1u << m_nameField));
    const QVariant name = nameIn(values, m_nameField);
    if (renames && name.isValid())
        m_db->requireFreeName(m_tableName, name.toString(), rowid);
    sqlite3_stmt *st =
        prepare(QStringLiteral("update %1 set %2 where rowid = ?").arg(m_table, sets.join(QLatin1Char(','))));
    int index = 1;
    for (int i = 0; i < m_fields.size(); ++i)
        if (mask & (1u << i))
            bind(st, index++, values.value(i));
    sqlite3_bind_int64(st, index, rowid);
    run(st, values);
    if (renames && sqlite3_changes(m_db->handle()) == 1)
        m_db->nameStored(m_tableName, rowid, name);
    else if (m_nameField >= 0)
        m_db->nameKept(m_tableName);
}

qint64 BulkWriter::find(int field, const QString &value)
{
    if (field == m_nameField && field >= 0)
        return m_db->findName(m_tableName, value);
    sqlite3_stmt *st = prepare(QStringLiteral("select rowid from %1 where %2 = ? limit 1")
                                   .arg(m_table, Database::quoteIdentifier(m_fields.value(field))));
    bind(st, 1, value);
    const int rc = sqlite3_step(st);
    const qint64 rowid = rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const RuntimeError error = m_db->lastError();
        sqlite3_reset(st);
        throw error;
    }
    sqlite3_reset(st);
    return rowid;
}
