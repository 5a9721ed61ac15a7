#include "data/RecordStore.h"

#include "data/Collation.h"
#include "data/Statement.h"

#include <QRegularExpression>
#include <algorithm>

RowMatcher::RowMatcher(const Recordset::Store &store, const QString &criteria)
    : m_store(store), m_criteria(parseCriteria(criteria)), m_row(size_t(store.fieldCount))
{
    m_criteria.bind(store.fields);
    for (const QString &name : m_criteria.fieldNames())
        for (int i = 0; i < store.fieldCount; ++i)
            if (store.fields[i].compare(name, Qt::CaseInsensitive) == 0 &&
                std::find(m_used.begin(), m_used.end(), i) == m_used.end()) {
                m_used.push_back(i);
                break;
            }
}

bool RowMatcher::matches(int r)
{
    for (const int c : m_used)
        m_store.columns[size_t(c)].read(size_t(r), m_row[size_t(c)]);
    return m_criteria.matches(m_row.data());
}

[[noreturn]] void fail(int number, const QString &text)
{
    throw RuntimeError(number, text);
}

[[noreturn]] void noCurrentRecord()
{
    fail(DataErr::NoCurrentRecord, QStringLiteral("No current record: there is no row to read or change here."));
}

QString unbracket(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2 && ((name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']'))) ||
                             (name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))))
        name = name.mid(1, name.size() - 2);
    return name;
}

std::vector<std::pair<QString, bool>> parseSort(const QString &sort)
{
    std::vector<std::pair<QString, bool>> fields;
    static const QRegularExpression direction(QStringLiteral("\\s+(asc|desc)$"),
                                              QRegularExpression::CaseInsensitiveOption);
    for (const QString &piece : sort.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString name = piece.trimmed();
        bool descending = false;
        if (const auto m = direction.match(name); m.hasMatch()) {
            descending = m.captured(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
            name.truncate(m.capturedStart());
        }
        fields.emplace_back(name, descending);
    }
    return fields;
}

// ---- sorting --------------------------------------------------------------------------------

namespace {

// A key for sorting one value: nulls first, then numbers, then texts without letter case.
struct SortKey
{
    enum Kind { Null, Number, Text }; // in sorting order
    Kind kind = Null;
    double number = 0;
    QString text;
};

SortKey sortKey(const QVariant &v)
{
    SortKey k;
    if (!v.isValid())
        return k;
    const ValueKind kind = valueKind(v);
    if (kind == ValueKind::Integer || kind == ValueKind::Real) {
        k.kind = SortKey::Number;
        k.number = v.toDouble();
    } else {
        k.kind = SortKey::Text;
        k.text = v.toString();
    }
    return k;
}

int compareKeys(const SortKey &a, const SortKey &b)
{
    if (a.kind != b.kind)
        return a.kind < b.kind ? -1 : 1;
    if (a.kind == SortKey::Number)
        return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    if (a.kind == SortKey::Text)
        return Collation::compare(a.text, b.text);
    return 0;
}

struct SortPart
{
    int column;
    bool descending;
};

// Sorts by keys made once per row; equal keys keep their order.
void sortByKeys(const std::vector<RecordColumn> &columns, std::vector<int> &order, const std::vector<SortPart> &parts)
{
    const size_t n = order.size();
    const size_t np = parts.size();
    std::vector<SortKey> keys(n * np);
    for (size_t i = 0; i < n; ++i)
        for (size_t p = 0; p < np; ++p)
            keys[i * np + p] = sortKey(columns[size_t(parts[p].column)].value(size_t(order[i])));
    std::vector<int> idx(n);
    for (size_t i = 0; i < n; ++i)
        idx[i] = int(i);
    std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) {
        for (size_t p = 0; p < np; ++p) {
            const int c = compareKeys(keys[size_t(a) * np + p], keys[size_t(b) * np + p]);
            if (c != 0)
                return parts[p].descending ? c > 0 : c < 0;
        }
        return false;
    });
    std::vector<int> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = order[size_t(idx[i])];
    order.swap(sorted);
}

// The usual sort, by one field holding texts (the station name), in alphabetical order.
// Returns false, sorting nothing, when the field holds other values than texts.
bool sortByOneTextField(const RecordColumn &column, std::vector<int> &order, const std::vector<SortPart> &parts)
{
    if (parts.size() != 1)
        return false;
    const size_t n = order.size();
    std::vector<QString> values(n);
    std::vector<const QString *> texts(n);
    QVariant v;
    for (size_t i = 0; i < n; ++i) {
        column.read(size_t(order[i]), v);
        if (!v.isValid())
            continue;
        if (!isText(v))
            return false;
        values[i] = *static_cast<const QString *>(v.constData());
        texts[i] = &values[i];
    }
    Collation::sort(order, texts, parts[0].descending);
    return true;
}

// Reads a sort text against the fields of a set.
std::vector<SortPart> sortParts(const QString &sort, const std::function<int(const QString &)> &fieldIndex)
{
    std::vector<SortPart> parts;
    for (const auto &[name, descending] : parseSort(sort))
        parts.push_back({fieldIndex(name), descending});
    return parts;
}

} // namespace

void sortRows(const std::vector<RecordColumn> &columns, std::vector<int> &order, const QString &sort,
              const std::function<int(const QString &)> &fieldIndex)
{
    const std::vector<SortPart> parts = sortParts(sort, fieldIndex);
    if (parts.empty())
        return;
    if (!sortByOneTextField(columns[size_t(parts[0].column)], order, parts))
        sortByKeys(columns, order, parts);
}
