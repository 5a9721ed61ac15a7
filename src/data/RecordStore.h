#pragma once

// The parts of a record set that its source files share: the rows in memory, the test of rows
// against criteria, and the ordering of rows.

#include "data/Criteria.h"
#include "data/RecordColumn.h"
#include "data/Recordset.h"

#include <functional>

// The rows a record set was read with, shared by the sets derived from it: row ids, and the
// values one column per field, so that filtering and sorting by a field read one field only.
// Bookmarks are row numbers in this store.
struct Recordset::Store
{
    QStringList fields;
    int fieldCount = 0;
    QString table;      // the table written to; empty for a query we cannot write
    int nameField = -1; // the field holding the table's unique names, or -1
    std::vector<qint64> rowids;
    std::vector<RecordColumn> columns;
    std::vector<char> deleted;

    int rows() const { return int(rowids.size()); }
    QVariant cell(int r, int c) const { return columns[size_t(c)].value(size_t(r)); }
};

// Tests rows of a store against criteria, reading only the fields the criteria names.
class RowMatcher
{
public:
    RowMatcher(const Recordset::Store &store, const QString &criteria);
    bool matches(int r);
    // Whether the row matches() last read satisfies the criteria with every text spelled
    // exactly as the criteria spell it, letter case included.
    bool matchesExactly() const { return m_criteria.matchesExactly(m_row.data()); }

private:
    const Recordset::Store &m_store;
    Criteria m_criteria;
    std::vector<int> m_used;
    std::vector<QVariant> m_row;
};

[[noreturn]] void fail(int number, const QString &text);
[[noreturn]] void noCurrentRecord();
// A table or field name without its brackets or double quotes.
QString unbracket(QString name);

// The fields of a sort text ("SName, Frequency DESC"), each with whether it sorts descending.
std::vector<std::pair<QString, bool>> parseSort(const QString &sort);
// Orders rows of a store (order) by a sort text ("SName, Frequency DESC"): texts
// alphabetically (Collation), numbers by value; nulls first, then numbers, then texts. Rows
// that compare equal keep their order. fieldIndex gives a field's position or raises.
void sortRows(const std::vector<RecordColumn> &columns, std::vector<int> &order, const QString &sort,
              const std::function<int(const QString &)> &fieldIndex);
