#include "BulkWriter.h"

#include "data/Statement.h"

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

BulkWriter::~BulkWriter() = default;

Statement &BulkWriter::prepare(const QString &sql)
{
    auto &statement = m_statements[sql];
    if (!statement)
        statement = std::make_unique<Statement>(*m_db, sql, true);
    return *statement;
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
    Statement &st = prepare(m_insertSql);
    for (int i = 0; i < m_fields.size(); ++i)
        st.bind(i + 1, values.value(i));
    st.run(m_fields, values);
    const qint64 rowid = m_db->lastInsertedRow();
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
    Statement &st =
        prepare(QStringLiteral("update %1 set %2 where rowid = ?").arg(m_table, sets.join(QLatin1Char(','))));
    int index = 1;
    for (int i = 0; i < m_fields.size(); ++i)
        if (mask & (1u << i))
            st.bind(index++, values.value(i));
    st.bind(index, rowid);
    st.run(m_fields, values);
    if (renames && m_db->changes() == 1)
        m_db->nameStored(m_tableName, rowid, name);
    else if (m_nameField >= 0)
        m_db->nameKept(m_tableName);
}

void BulkWriter::remove(qint64 rowid)
{
    Statement &st = prepare(QStringLiteral("delete from %1 where rowid = ?").arg(m_table));
    st.bind(1, rowid);
    st.run();
    if (m_db->changes() == 1 && !m_db->nameColumn(m_tableName).isEmpty())
        m_db->nameRemoved(m_tableName, rowid);
}

qint64 BulkWriter::find(int field, const QString &value)
{
    if (field == m_nameField && field >= 0)
        return m_db->findName(m_tableName, value);
    Statement &st = prepare(QStringLiteral("select rowid from %1 where %2 = ? limit 1")
                                .arg(m_table, Database::quoteIdentifier(m_fields.value(field))));
    st.bind(1, value);
    const qint64 rowid = st.step() ? st.integer(0) : -1;
    st.reset();
    return rowid;
}
