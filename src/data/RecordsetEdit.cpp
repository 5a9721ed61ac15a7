#include "data/Recordset.h"

#include "data/RecordStore.h"
#include "data/Statement.h"

// ---- changes --------------------------------------------------------------------------------

void Recordset::requireUpdatable() const
{
    if (m_readOnly)
        fail(DataErr::ReadOnly,
             QStringLiteral("This record set is read-only: its rows cannot be added, changed or deleted."));
    if (!m_updatableSource)
        fail(DataErr::ReadOnly, QStringLiteral("The rows of the query \"%1\" cannot be changed.").arg(m_source));
}

void Recordset::AddNew()
{
    requireUpdatable();
    notify(ActionAddNew);
    dropPending();
    m_editMode = EditAdd;
    m_buffer.assign(size_t(m_store->fieldCount), QVariant());
    emit currentChanged();
}

void Recordset::Edit()
{
    requireUpdatable();
    const int row = currentRow();
    dropPending();
    m_editMode = EditInProgress;
    m_editRow = row;
    m_buffer.resize(size_t(m_store->fieldCount));
    for (int i = 0; i < m_store->fieldCount; ++i)
        m_buffer[size_t(i)] = m_store->cell(row, i);
}

void Recordset::Update()
{
    notify(ActionUpdate);
    store(true);
}

void Recordset::updateQuietly(bool announce)
{
    store(announce);
}

void Recordset::store(bool announce)
{
    if (m_editMode == EditNone)
        fail(DataErr::NoEditInProgress, QStringLiteral("There are no changes to save: use Edit or AddNew first."));
    requireUpdatable();
    Store &s = *m_store;
    const QString table = Database::quoteIdentifier(s.table);
    const QVariantList values(m_buffer.begin(), m_buffer.end());

    if (m_editMode == EditAdd) {
        QStringList columns, marks;
        QVariantList bound;
        for (int i = 0; i < s.fieldCount; ++i) {
            if (m_buffer[size_t(i)].isValid()) {
                columns << Database::quoteIdentifier(s.fields[i]);
                marks << QStringLiteral("?");
                bound << m_buffer[size_t(i)];
            }
        }
        if (s.nameField >= 0 && isText(m_buffer[size_t(s.nameField)]) && !m_buffer[size_t(s.nameField)].isNull())
            m_db->requireFreeName(s.table, m_buffer[size_t(s.nameField)].toString());
        const QString sql = columns.isEmpty()
                                ? QStringLiteral("insert into %1 default values").arg(table)
                                : QStringLiteral("insert into %1 (%2) values (%3)")
                                      .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        {
            Statement st(*m_db, sql);
            for (int i = 0; i < bound.size(); ++i)
                st.bind(i + 1, bound[i]);
            st.run(s.fields, values);
        }
        const qint64 rowid = m_db->lastInsertedRow();
        if (s.nameField >= 0)
            m_db->nameStored(s.table, rowid, m_buffer[size_t(s.nameField)]);
        s.rowids.push_back(rowid);
        s.deleted.push_back(0);
        for (auto &column : s.columns)
            column.append(QVariant());
        const int r = s.rows() - 1;
        m_order.push_back(r);
        m_editRow = r;
    } else {
        if (s.deleted[size_t(m_editRow)])
            fail(DataErr::RowDeleted, QStringLiteral("The row being changed has been deleted."));
        QStringList sets;
        QVariantList bound;
        for (int i = 0; i < s.fieldCount; ++i) {
            if (!sameValue(s.cell(m_editRow, i), m_buffer[size_t(i)])) {
                sets << Database::quoteIdentifier(s.fields[i]) + QStringLiteral(" = ?");
                bound << m_buffer[size_t(i)];
            }
        }
        const qint64 rowid = s.rowids[size_t(m_editRow)];
        // A row keeps the name it has, even one that another row holds in other letter case
        // (a file made elsewhere): only a changed name must be free.
        const bool renamed =
            s.nameField >= 0 && !sameValue(s.cell(m_editRow, s.nameField), m_buffer[size_t(s.nameField)]);
        if (renamed && isText(m_buffer[size_t(s.nameField)]) && !m_buffer[size_t(s.nameField)].isNull())
            m_db->requireFreeName(s.table, m_buffer[size_t(s.nameField)].toString(), rowid);
        if (!sets.isEmpty()) {
            Statement st(*m_db,
                         QStringLiteral("update %1 set %2 where rowid = ?").arg(table, sets.join(QLatin1Char(','))));
            for (int i = 0; i < bound.size(); ++i)
                st.bind(i + 1, bound[i]);
            st.bind(int(bound.size()) + 1, QVariant(rowid));
            st.run(s.fields, values);
            if (renamed)
                m_db->nameStored(s.table, rowid, m_buffer[size_t(s.nameField)]);
            else if (s.nameField >= 0)
                m_db->nameKept(s.table);
        }
    }

    // Read the row back as the database stored it (defaults, type affinity).
    {
        Statement st(*m_db, QStringLiteral("select * from %1 where rowid = ?").arg(table));
        st.bind(1, QVariant(s.rowids[size_t(m_editRow)]));
        if (st.step()) {
            for (int i = 0; i < s.fieldCount && i < st.columnCount(); ++i)
                s.columns[size_t(i)].set(size_t(m_editRow), st.column(i));
        }
    }

    const bool wasAdding = m_editMode == EditAdd;
    m_lastModified = m_editRow;
    dropPending();
    if (wasAdding && announce)
        emit currentChanged();
}

void Recordset::CancelUpdate()
{
    if (m_editMode == EditNone)
        fail(DataErr::NoEditInProgress, QStringLiteral("There are no changes to cancel."));
    const bool wasAdding = m_editMode == EditAdd;
    dropPending();
    if (wasAdding)
        emit currentChanged();
}

void Recordset::Delete()
{
    requireUpdatable();
    if (m_editMode == EditAdd)
        fail(DataErr::NoCurrentRecord, QStringLiteral("The new row is not saved yet, so there is nothing to delete."));
    if (!hasCurrentRow())
        noCurrentRecord();
    notify(ActionDelete);
    if (!hasCurrentRow())
        noCurrentRecord();
    const int r = m_order[size_t(m_pos)];
    Store &s = *m_store;
    if (!s.deleted[size_t(r)]) {
        Statement st(*m_db, QStringLiteral("delete from %1 where rowid = ?").arg(Database::quoteIdentifier(s.table)));
        st.bind(1, QVariant(s.rowids[size_t(r)]));
        st.run();
        if (s.nameField >= 0 && m_db->changes() == 1)
            m_db->nameRemoved(s.table, s.rowids[size_t(r)]);
        s.deleted[size_t(r)] = 1;
    }
    dropPending();
    m_order.erase(m_order.begin() + m_pos);
    m_afterDelete = true;
    if (m_lastModified == r)
        m_lastModified = -1;
}
