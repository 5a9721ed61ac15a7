#include "data/Recordset.h"

#include "data/RecordStore.h"
#include "data/Statement.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace {

// The table's name as the database spells it, or empty.
QString findTable(Database &db, const QString &name)
{
    Statement st(db, QStringLiteral(
                         "select name from sqlite_master where type in ('table', 'view') and name = ? collate nocase"));
    st.bind(1, name);
    if (st.step())
        return st.column(0).toString();
    return QString();
}

} // namespace

Recordset::Recordset(std::shared_ptr<Database> db, std::shared_ptr<Store> store)
    : m_db(std::move(db)), m_store(std::move(store))
{
}

Recordset::~Recordset() = default;

RecordsetPtr Recordset::open(std::shared_ptr<Database> db, const QString &source, bool readOnly)
{
    if (!db)
        fail(DataErr::FileNotFound, QStringLiteral("No station database is open."));
    auto store = std::make_shared<Store>();
    QString sql;
    QString sortInMemory;
    bool hasRowid = true;

    // "select * from [Table] ..." is read with the row ids so that it can be written to.
    static const QRegularExpression selectStar(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+(\\[[^\\]]+\\]|\"[^\"]+\"|\\w+)\\s*(.*?)[\\s;]*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression simpleRest(QStringLiteral("^((where|order\\s+by)\\b.*)?$"),
                                               QRegularExpression::CaseInsensitiveOption |
                                                   QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression query(QStringLiteral("^\\s*(select|with)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    // Rows ordered by fields come in alphabetical order, as everywhere in the program (the
    // engine knows no collation but code points and A to Z): the fields a source ends with
    // "order by" are sorted in memory.
    static const QRegularExpression orderBy(
        QStringLiteral("^(.*?)\\s*\\border\\s+by\\s+((?:\\[[^\\]]+\\]|\\w+)(?:\\s+(?:asc|desc))?"
                       "(?:\\s*,\\s*(?:\\[[^\\]]+\\]|\\w+)(?:\\s+(?:asc|desc))?)*)[\\s;]*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto sortText = [](QString fields) { return fields.remove(QLatin1Char('[')).remove(QLatin1Char(']')); };

    const auto star = selectStar.match(source);
    if (star.hasMatch() && simpleRest.match(star.captured(2)).hasMatch()) {
        store->table = findTable(*db, unbracket(star.captured(1)));
        if (store->table.isEmpty())
            fail(DataErr::UnknownSource,
                 QStringLiteral("The record source names the table %1, which the database does not have.")
                     .arg(star.captured(1)));
        QString rest = star.captured(2).trimmed();
        if (const auto m = orderBy.match(rest); m.hasMatch()) {
            sortInMemory = sortText(m.captured(2));
            rest = m.captured(1).trimmed();
        }
        sql = QStringLiteral("select rowid, * from %1 %2 order by rowid")
                  .arg(Database::quoteIdentifier(store->table), rest);
    } else if (query.match(source).hasMatch()) {
        // Any other query runs as written; its rows are then sorted in memory as well.
        sql = source;
        hasRowid = false;
        if (const auto m = orderBy.match(source); m.hasMatch()) {
            sortInMemory = sortText(m.captured(2));
            sql = m.captured(1);
        }
    } else {
        store->table = findTable(*db, unbracket(source));
        if (store->table.isEmpty())
            fail(
                DataErr::UnknownSource,
                QStringLiteral("The record source \"%1\" is neither a table of the database nor a query.").arg(source));
        sql = QStringLiteral("select rowid, * from %1 order by rowid").arg(Database::quoteIdentifier(store->table));
    }

    std::optional<Statement> prepared(std::in_place, *db, sql);
    if (!hasRowid && !sortInMemory.isEmpty()) {
        // A query that orders by a column it does not return runs as written, in the engine's order.
        QStringList returned;
        for (int i = 0; i < prepared->columnCount(); ++i)
            returned << prepared->columnName(i);
        const auto fields = parseSort(sortInMemory);
        if (!std::all_of(fields.begin(), fields.end(), [&](const auto &field) {
                return returned.contains(unbracket(field.first), Qt::CaseInsensitive);
            })) {
            prepared.emplace(*db, source);
            sortInMemory.clear();
        }
    }
    Statement &st = *prepared;
    const int columns = st.columnCount();
    const int first = hasRowid ? 1 : 0;
    for (int i = first; i < columns; ++i)
        store->fields << st.columnName(i);
    store->fieldCount = int(store->fields.size());
    store->columns.resize(size_t(store->fieldCount));
    if (!store->table.isEmpty()) {
        // Room for every row of the table at once: a long table is not copied as it grows.
        Statement count(*db, QStringLiteral("select count(*) from %1").arg(Database::quoteIdentifier(store->table)));
        if (count.step()) {
            const auto rows = size_t(std::max<qint64>(0, count.integer(0)));
            store->rowids.reserve(rows);
            for (auto &column : store->columns)
                column.reserve(rows);
        }
    }
    qint64 counter = 0;
    std::string_view text;
    while (st.step()) {
        store->rowids.push_back(hasRowid ? st.integer(0) : ++counter);
        for (int i = first; i < columns; ++i) {
            RecordColumn &column = store->columns[size_t(i - first)];
            if (st.text(i, text)) {
                column.appendText(text);
            } else {
                column.append(st.column(i));
            }
        }
    }
    for (auto &column : store->columns)
        column.finishReading();
    store->deleted.assign(store->rowids.size(), 0);
    if (hasRowid && !store->table.isEmpty()) {
        const QString nameColumn = db->nameColumn(store->table);
        for (int i = 0; i < store->fieldCount && !nameColumn.isEmpty(); ++i)
            if (store->fields[i].compare(nameColumn, Qt::CaseInsensitive) == 0)
                store->nameField = i;
    }

    RecordsetPtr rs(new Recordset(db, store));
    rs->m_source = source;
    rs->m_readOnly = readOnly;
    rs->m_updatableSource = hasRowid && !store->table.isEmpty();
    rs->m_type = Recordset::DynasetType;
    rs->m_order.resize(store->rowids.size());
    for (size_t i = 0; i < rs->m_order.size(); ++i)
        rs->m_order[i] = int(i);
    if (!sortInMemory.isEmpty())
        sortRows(store->columns, rs->m_order, sortInMemory,
                 [&rs](const QString &name) { return rs->requireField(name); });
    rs->m_pos = rs->m_order.empty() ? -1 : 0;
    return rs;
}

// ---- position -------------------------------------------------------------------------------

bool Recordset::BOF() const
{
    return m_order.empty() || (!m_afterDelete && m_pos < 0);
}

bool Recordset::EOF_() const
{
    return m_order.empty() || (!m_afterDelete && m_pos >= int(m_order.size()));
}

bool Recordset::hasCurrentRow() const
{
    return !m_afterDelete && m_pos >= 0 && m_pos < int(m_order.size());
}

int Recordset::AbsolutePosition() const
{
    return hasCurrentRow() ? m_pos : -1;
}

int Recordset::RecordCount() const
{
    return int(m_order.size());
}

int Recordset::currentRow() const
{
    if (!hasCurrentRow())
        noCurrentRecord();
    const int r = m_order[size_t(m_pos)];
    if (m_store->deleted[size_t(r)])
        fail(DataErr::RowDeleted, QStringLiteral("The current row has been deleted."));
    return r;
}

// ---- fields ---------------------------------------------------------------------------------

int Recordset::FieldCount() const
{
    return m_store->fieldCount;
}

QString Recordset::FieldName(int i) const
{
    return m_store->fields.value(requireField(i));
}

QStringList Recordset::fieldNames() const
{
    return m_store->fields;
}

int Recordset::fieldIndex(const QString &name) const
{
    const QString bare = unbracket(name);
    for (int i = 0; i < m_store->fieldCount; ++i)
        if (m_store->fields[i].compare(bare, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Recordset::requireField(int i) const
{
    if (i < 0 || i >= m_store->fieldCount)
        fail(DataErr::UnknownField,
             QStringLiteral("There is no field %1 in this record set (it has %2).").arg(i).arg(m_store->fieldCount));
    return i;
}

int Recordset::requireField(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        fail(DataErr::UnknownField, QStringLiteral("There is no field named \"%1\" in this record set.").arg(name));
    return i;
}

QVariant Recordset::Fields(int i) const
{
    requireField(i);
    if (m_editMode != EditNone)
        return m_buffer[size_t(i)];
    return m_store->cell(currentRow(), i);
}

QVariant Recordset::OriginalValue(int i) const
{
    requireField(i);
    if (m_editMode == EditAdd)
        noCurrentRecord();
    return m_store->cell(m_editMode == EditInProgress ? m_editRow : currentRow(), i);
}

QVariant Recordset::Fields(const QString &name) const
{
    return Fields(requireField(name));
}

void Recordset::setField(int i, const QVariant &value)
{
    requireField(i);
    if (m_editMode == EditNone)
        fail(DataErr::NoEditInProgress, QStringLiteral("A field can be set only after Edit or AddNew."));
    m_buffer[size_t(i)] = value;
}

void Recordset::setField(const QString &name, const QVariant &value)
{
    setField(requireField(name), value);
}

// ---- moves ----------------------------------------------------------------------------------

void Recordset::notify(int action)
{
    const auto clients = m_clients; // a client may detach while we tell the others
    for (RecordsetClient *c : clients)
        if (std::find(m_clients.begin(), m_clients.end(), c) != m_clients.end())
            c->recordsetAboutTo(action);
}

void Recordset::dropPending()
{
    m_editMode = EditNone;
    m_buffer.clear();
    m_editRow = -1;
}

void Recordset::setPosition(int pos)
{
    dropPending();
    m_pos = pos;
    m_afterDelete = false;
    emit currentChanged();
}

void Recordset::MoveFirst()
{
    notify(ActionMoveFirst);
    if (m_order.empty())
        noCurrentRecord();
    setPosition(0);
}

void Recordset::MoveLast()
{
    notify(ActionMoveLast);
    if (m_order.empty())
        noCurrentRecord();
    setPosition(int(m_order.size()) - 1);
}

void Recordset::MoveNext()
{
    notify(ActionMoveNext);
    const int n = int(m_order.size());
    if (m_afterDelete) {
        setPosition(std::min(m_pos, n));
        return;
    }
    if (EOF_())
        noCurrentRecord();
    setPosition(m_pos + 1);
}

void Recordset::MovePrevious()
{
    notify(ActionMovePrevious);
    if (m_afterDelete) {
        setPosition(std::max(m_pos - 1, -1));
        return;
    }
    if (BOF())
        noCurrentRecord();
    setPosition(std::min(m_pos, int(m_order.size())) - 1);
}

void Recordset::Move(int rows)
{
    notify(rows < 0 ? ActionMovePrevious : ActionMoveNext);
    if (!hasCurrentRow())
        noCurrentRecord();
    const qint64 target = qint64(m_pos) + rows;
    setPosition(int(std::clamp<qint64>(target, -1, qint64(m_order.size()))));
}

void Recordset::moveWithinSet(int action)
{
    notify(action);
    const int n = int(m_order.size());
    if (n == 0) {
        // Nothing to move to; a pending row left unchanged is dropped.
        const bool wasAdding = m_editMode == EditAdd;
        dropPending();
        if (wasAdding)
            emit currentChanged();
        return;
    }
    const int last = n - 1;
    int here = m_pos;
    if (!hasCurrentRow() && !m_afterDelete)
        here = m_pos < 0 ? 0 : last; // at BOF or EOF
    int target = here;
    switch (action) {
    case ActionMoveFirst:
        target = 0;
        break;
    case ActionMoveLast:
        target = last;
        break;
    case ActionMovePrevious:
        target = m_afterDelete ? m_pos - 1 : here - 1;
        break;
    case ActionMoveNext:
        target = m_afterDelete ? m_pos : here + 1;
        break;
    default:
        fail(DataErr::InvalidArgument, QStringLiteral("Not a move: %1.").arg(action));
    }
    setPosition(std::clamp(target, 0, last));
}

void Recordset::FindFirst(const QString &criteria)
{
    RowMatcher c(*m_store, criteria);
    notify(ActionFind);
    // Texts match ignoring letter case; when several rows match (names that differ in letter
    // case only, from a file made elsewhere), the first row spelled exactly as asked wins, so
    // that each of them can be found.
    int first = -1;
    for (size_t i = 0; i < m_order.size(); ++i) {
        const int r = m_order[i];
        if (m_store->deleted[size_t(r)] || !c.matches(r))
            continue;
        if (first < 0)
            first = int(i);
        if (c.matchesExactly()) {
            first = int(i);
            break;
        }
    }
    m_noMatch = first < 0;
    if (first >= 0)
        setPosition(first);
}

// ---- bookmarks ------------------------------------------------------------------------------

Recordset::BookmarkValue Recordset::Bookmark() const
{
    currentRow();
    return m_order[size_t(m_pos)];
}

void Recordset::setBookmark(BookmarkValue b)
{
    const auto it = std::find(m_order.begin(), m_order.end(), b);
    if (b < 0 || it == m_order.end())
        fail(DataErr::InvalidBookmark, QStringLiteral("Not a valid bookmark: the row is not in this record set."));
    notify(ActionBookmark);
    // A client's save may have appended a row; find the row again.
    const auto again = std::find(m_order.begin(), m_order.end(), b);
    if (again == m_order.end())
        fail(DataErr::InvalidBookmark, QStringLiteral("Not a valid bookmark: the row is not in this record set."));
    setPosition(int(again - m_order.begin()));
}

Recordset::BookmarkValue Recordset::LastModified() const
{
    if (m_lastModified < 0)
        fail(DataErr::NoCurrentRecord, QStringLiteral("No row of this record set has been added or changed."));
    return m_lastModified;
}

// ---- derived sets ---------------------------------------------------------------------------

RecordsetPtr Recordset::OpenRecordset(int type) const
{
    if (type == -1)
        type = m_type;
    if (type != TableType && type != DynasetType && type != SnapshotType)
        fail(DataErr::InvalidArgument, QStringLiteral("Not a kind of record set: %1.").arg(type));
    const Store &s = *m_store;

    std::vector<int> order;
    order.reserve(m_order.size());
    if (m_filter.trimmed().isEmpty()) {
        for (int r : m_order)
            if (!s.deleted[size_t(r)])
                order.push_back(r);
    } else {
        RowMatcher c(s, m_filter);
        for (int r : m_order)
            if (!s.deleted[size_t(r)] && c.matches(r))
                order.push_back(r);
    }

    if (!m_sort.trimmed().isEmpty())
        sortRows(s.columns, order, m_sort, [this](const QString &name) { return requireField(name); });

    return derive(std::move(order), type);
}

RecordsetPtr Recordset::Clone() const
{
    std::vector<int> order;
    order.reserve(m_order.size());
    for (int r : m_order)
        if (!m_store->deleted[size_t(r)])
            order.push_back(r);
    RecordsetPtr rs = derive(std::move(order), m_type);
    rs->m_sort = m_sort;
    rs->m_filter = m_filter;
    return rs;
}

RecordsetPtr Recordset::derive(std::vector<int> order, int type) const
{
    RecordsetPtr rs(new Recordset(m_db, m_store));
    rs->m_source = m_source;
    rs->m_readOnly = m_readOnly || type == SnapshotType;
    rs->m_updatableSource = m_updatableSource;
    rs->m_type = type;
    rs->m_order = std::move(order);
    rs->m_pos = rs->m_order.empty() ? -1 : 0;
    return rs;
}

QStringList Recordset::columnTexts(const QString &field) const
{
    const int c = requireField(field);
    QStringList out;
    out.reserve(qsizetype(m_order.size()));
    for (int r : m_order) {
        const QVariant v = m_store->cell(r, c);
        out << (v.isValid() ? v.toString() : QString());
    }
    return out;
}

void Recordset::attachClient(RecordsetClient *client)
{
    if (std::find(m_clients.begin(), m_clients.end(), client) == m_clients.end())
        m_clients.push_back(client);
}

void Recordset::detachClient(RecordsetClient *client)
{
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
}
