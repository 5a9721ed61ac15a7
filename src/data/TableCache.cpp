#include "data/TableCache.h"

#include "app/RuntimeError.h"
#include "data/Database.h"

RecordsetPtr TableCache::open(const QString &path, const QString &source, bool readOnly)
{
    if (!m_db || path != m_path) {
        clear();
        m_db = Database::open(path);
        m_path = path;
    }
    const auto now = m_db->version();
    // Unknown versions never count as unchanged.
    if (m_table && source == m_source && readOnly == m_readOnly && now == m_version && now.first >= 0)
        return m_table;
    m_table.reset();
    m_derived.clear();
    m_table = Recordset::open(m_db, source, readOnly);
    m_source = source;
    m_readOnly = readOnly;
    m_version = now;
    return m_table;
}

RecordsetPtr TableCache::derived(const QString &sort, const QString &filter)
{
    if (!m_table)
        throw RuntimeError(DataErr::NoCurrentRecord, QStringLiteral("No table has been read."));
    // Sets of filters no longer asked for are let go; two bands need two.
    constexpr qsizetype kKept = 4;
    const QPair<QString, QString> key(sort, filter);
    auto it = m_derived.constFind(key);
    if (it == m_derived.constEnd()) {
        m_table->setSort(sort);
        m_table->setFilter(filter);
        RecordsetPtr set = m_table->OpenRecordset(m_table->Type());
        if (m_derived.size() >= kKept)
            m_derived.clear();
        it = m_derived.insert(key, set);
    }
    return it.value()->Clone();
}

void TableCache::clear()
{
    m_derived.clear();
    m_table.reset();
    m_db.reset();
    m_path.clear();
    m_version = {-1, -1};
}
