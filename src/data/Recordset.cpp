#include "data/Recordset.h"

#include "data/Collation.h"
#include "data/Criteria.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <deque>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

// How a value is stored: as an integer, a real number, bytes or text.
enum class ValueKind { Integer, Real, Bytes, Text };

ValueKind valueKind(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return ValueKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return ValueKind::Real;
    case QMetaType::QByteArray:
        return ValueKind::Bytes;
    default:
        return ValueKind::Text;
    }
}

// A text value as the database gives it, in a string of its own size; an empty text is
// empty, never null.
QVariant textValue(std::string_view utf8)
{
    if (utf8.empty())
        return QVariant(QString(QLatin1String("")));
    return QVariant(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

// Decodes UTF-8 into text as textValue() does, reusing the room text already has.
void decodeInto(QString &text, std::string_view utf8)
{
    text.resize(qsizetype(utf8.size())); // UTF-16 takes at most one unit per byte
    // Most texts are ASCII: each byte is its character.
    QChar *out = text.data();
    size_t i = 0;
    while (i < utf8.size() && uchar(utf8[i]) < 0x80) {
        out[i] = QLatin1Char(utf8[i]);
        ++i;
    }
    if (i == utf8.size())
        return;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QChar *end = decoder.appendToBuffer(text.data(), QByteArrayView(utf8.data(), qsizetype(utf8.size())));
    text.truncate(end - text.constData());
}

bool isText(const QVariant &v)
{
    return v.typeId() == QMetaType::QString;
}

// One field's values for every row of a store, kept compactly. A field whose values repeat
// (categories, types, places) holds each different value once and, for each row, the number
// of its value. A field whose texts are mostly different (names, addresses) holds them as UTF-8 one
// after the other, with where each row's text starts and how long it is; a value of it is
// made when asked for. Which of the two a field is, the first rows read decide; a value other
// than a text or a null turns a field of the second form into the first.
class Column
{
public:
    void reserve(size_t rows)
    {
        m_reserved = rows;
        m_ids.reserve(rows);
    }

    // Reading a table: one value per row, in row order, then finishReading().
    void appendText(std::string_view utf8)
    {
        if (m_packed && fits(utf8.size())) {
            m_spans.push_back(pack(utf8));
            return;
        }
        unpack();
        if (!m_pooling) {
            m_ids.push_back(add(textValue(utf8)));
            return;
        }
        ++m_reads;
        if (const auto it = m_seen.find(utf8); it != m_seen.end()) {
            m_ids.push_back(it->second);
            return;
        }
        const quint32 id = add(textValue(utf8));
        m_keys.emplace_back(utf8);
        m_seen.emplace(std::string_view(m_keys.back()), id);
        m_ids.push_back(id);
        if ((m_reads >= kTrial && m_values.size() * 2 > size_t(m_reads)) || m_values.size() > kMostKept)
            stopPooling();
    }

    // Appends a value of any kind (a null for a row being added, numbers and bytes read).
    void append(const QVariant &v)
    {
        if (m_packed && !v.isValid()) {
            m_spans.push_back(Span{0, kNull});
            return;
        }
        const QByteArray utf8 = m_packed && isText(v) ? v.toString().toUtf8() : QByteArray();
        if (m_packed && isText(v) && fits(size_t(utf8.size()))) {
            m_spans.push_back(pack(utf8));
            return;
        }
        unpack();
        if (!v.isValid())
            m_ids.push_back(nullId());
        else
            m_ids.push_back(add(v));
    }

    // Lets go of what only reading needed.
    void finishReading()
    {
        m_pooling = false;
        m_seen = {};
        m_keys = {};
    }

    QVariant value(size_t r) const
    {
        if (!m_packed)
            return m_values[m_ids[r]];
        const Span s = m_spans[r];
        if (s.size == kNull)
            return QVariant();
        return textValue(bytes(s));
    }

    // Puts row r's value into into, reusing the text into holds: a pass over many rows
    // (filter, find, sort) decodes their texts without making a string for each.
    void read(size_t r, QVariant &into) const
    {
        if (!m_packed) {
            into = m_values[m_ids[r]];
            return;
        }
        const Span s = m_spans[r];
        if (s.size == kNull) {
            into = QVariant();
            return;
        }
        if (!isText(into))
            into = QVariant(QString());
        decodeInto(*static_cast<QString *>(into.data()), bytes(s));
    }

    // Changes row r's value (what the database stored for it).
    void set(size_t r, const QVariant &v)
    {
        if (m_packed && !v.isValid()) {
            m_spans[r] = Span{0, kNull};
            return;
        }
        const QByteArray utf8 = m_packed && isText(v) ? v.toString().toUtf8() : QByteArray();
        if (m_packed && isText(v) && fits(size_t(utf8.size()))) {
            const Span old = m_spans[r];
            if (old.size != kNull && bytes(old) == std::string_view(utf8.constData(), size_t(utf8.size())))
                return;
            m_spans[r] = pack(utf8);
            return;
        }
        unpack();
        const QVariant &old = m_values[m_ids[r]];
        if (old.isValid() == v.isValid() && (!v.isValid() || (old.typeId() == v.typeId() && old == v)))
            return; // unchanged: an Update stores every field again
        m_ids[r] = v.isValid() ? add(v) : nullId();
    }

private:
    struct Span
    {
        quint32 start;
        quint32 size; // kNull for a null
    };
    static constexpr quint32 kNull = 0xffffffffu;
    static constexpr int kTrial = 2048;        // texts read before a field can be judged
    static constexpr size_t kMostKept = 50000; // different values a field of the first form holds

    // Whether a text of that many bytes can still be packed (spans reach 4 GiB of texts; a
    // field holding more goes back to the first form).
    bool fits(size_t bytes) const { return bytes < kNull && m_bytes.size() < size_t(kNull) - bytes; }

    std::string_view bytes(Span s) const { return std::string_view(m_bytes.data() + s.start, s.size); }

    Span pack(std::string_view utf8)
    {
        const Span s{quint32(m_bytes.size()), quint32(utf8.size())};
        m_bytes.insert(m_bytes.end(), utf8.begin(), utf8.end());
        return s;
    }
    Span pack(const QByteArray &utf8) { return pack(std::string_view(utf8.constData(), size_t(utf8.size()))); }

    quint32 add(const QVariant &v)
    {
        if (!v.isValid())
            return nullId();
        if (!isText(v))
            m_onlyTexts = false;
        m_values.push_back(v);
        return quint32(m_values.size() - 1);
    }

    quint32 nullId()
    {
        if (m_nullId == kNull) {
            m_nullId = quint32(m_values.size());
            m_values.emplace_back();
        }
        return m_nullId;
    }

    // Mostly different texts: from now on they are packed, if texts and nulls are all there is.
    void stopPooling()
    {
        finishReading();
        if (!m_onlyTexts)
            return;
        m_spans.reserve(std::max(m_reserved, m_ids.size()));
        for (const quint32 id : m_ids) {
            const QVariant &v = m_values[id];
            m_spans.push_back(v.isValid() ? pack(v.toString().toUtf8()) : Span{0, kNull});
        }
        m_ids = {};
        m_values = {};
        m_nullId = kNull;
        m_packed = true;
    }

    // Back to the first form, for a value that is not a text.
    void unpack()
    {
        if (!m_packed)
            return;
        m_ids.reserve(m_spans.size());
        for (size_t r = 0; r < m_spans.size(); ++r)
            m_ids.push_back(m_spans[r].size == kNull ? nullId() : add(textValue(bytes(m_spans[r]))));
        m_spans = {};
        m_bytes = {};
        m_packed = false;
    }

    bool m_packed = false;
    // The first form: every different value once, and a number into them per row.
    std::vector<quint32> m_ids;
    std::vector<QVariant> m_values;
    quint32 m_nullId = kNull;
    bool m_onlyTexts = true;
    // The second form: each row's text as a span of bytes.
    std::vector<Span> m_spans;
    std::vector<char> m_bytes;
    // While reading: the texts seen so far, so that a repeated text is kept once.
    bool m_pooling = true;
    int m_reads = 0;
    size_t m_reserved = 0;
    std::deque<std::string> m_keys; // stable storage of the keys' bytes
    std::unordered_map<std::string_view, quint32> m_seen;
};

} // namespace

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
    std::vector<Column> columns;
    std::vector<char> deleted;

    int rows() const { return int(rowids.size()); }
    QVariant cell(int r, int c) const { return columns[size_t(c)].value(size_t(r)); }
};

namespace {

// Tests rows of a store against criteria, reading only the fields the criteria names.
class RowMatcher
{
public:
    RowMatcher(const Recordset::Store &store, const QString &criteria)
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

    bool matches(int r)
    {
        for (const int c : m_used)
            m_store.columns[size_t(c)].read(size_t(r), m_row[size_t(c)]);
        return m_criteria.matches(m_row.data());
    }

    // Whether the row matches() last read satisfies the criteria with every text spelled
    // exactly as the criteria spell it, letter case included.
    bool matchesExactly() const { return m_criteria.matchesExactly(m_row.data()); }

private:
    const Recordset::Store &m_store;
    Criteria m_criteria;
    std::vector<int> m_used;
    std::vector<QVariant> m_row;
};

// A prepared statement, finalized when it goes out of scope.
class Statement
{
public:
    Statement(Database &db, const QString &sql) : m_db(db)
    {
        if (sqlite3_prepare_v2(db.handle(), sql.toUtf8().constData(), -1, &m_st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_st);
            m_st = nullptr;
            throw db.lastError();
        }
    }
    ~Statement() { sqlite3_finalize(m_st); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    sqlite3_stmt *get() const { return m_st; }

    void bind(int index, const QVariant &v)
    {
        if (!v.isValid()) {
            sqlite3_bind_null(m_st, index);
            return;
        }
        switch (valueKind(v)) {
        case ValueKind::Integer:
            sqlite3_bind_int64(m_st, index, v.toLongLong());
            break;
        case ValueKind::Real:
            sqlite3_bind_double(m_st, index, v.toDouble());
            break;
        case ValueKind::Bytes: {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob64(m_st, index, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray t = v.toString().toUtf8();
            sqlite3_bind_text64(m_st, index, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }

    // Runs a statement that returns no rows; raises the mapped engine error.
    void run(const QStringList &fields = {}, const QVariantList &values = {})
    {
        const int rc = sqlite3_step(m_st);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            throw m_db.lastError(fields, values);
    }

    // The value of column i of the current row.
    QVariant column(int i) const
    {
        switch (sqlite3_column_type(m_st, i)) {
        case SQLITE_NULL:
            return QVariant();
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(m_st, i)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_st, i));
        case SQLITE_BLOB:
            return QVariant(
                QByteArray(static_cast<const char *>(sqlite3_column_blob(m_st, i)), sqlite3_column_bytes(m_st, i)));
        default: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_st, i));
            const int bytes = sqlite3_column_bytes(m_st, i);
            return textValue(std::string_view(text, size_t(bytes)));
        }
        }
    }

private:
    Database &m_db;
    sqlite3_stmt *m_st = nullptr;
};

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

// The table's name as the database spells it, or empty.
QString findTable(Database &db, const QString &name)
{
    Statement st(db, QStringLiteral(
                         "select name from sqlite_master where type in ('table', 'view') and name = ? collate nocase"));
    st.bind(1, name);
    if (sqlite3_step(st.get()) == SQLITE_ROW)
        return st.column(0).toString();
    return QString();
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isValid() != b.isValid())
        return false;
    if (!a.isValid())
        return true;
    return a.typeId() == b.typeId() && a == b;
}

// A key for sorting one value: nulls first, then numbers, then texts without letter case.
struct SortKey
{
    int kind = 0;
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
        k.kind = 1;
        k.number = v.toDouble();
    } else {
        k.kind = 2;
        k.text = v.toString();
    }
    return k;
}

int compareKeys(const SortKey &a, const SortKey &b)
{
    if (a.kind != b.kind)
        return a.kind < b.kind ? -1 : 1;
    if (a.kind == 1)
        return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    if (a.kind == 2)
        return Collation::compare(a.text, b.text);
    return 0;
}

struct SortPart
{
    int column;
    bool descending;
};

// Sorts by keys made once per row; equal keys keep their order.
void sortByKeys(const std::vector<Column> &columns, std::vector<int> &order, const std::vector<SortPart> &parts)
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
bool sortByOneTextField(const Column &column, std::vector<int> &order, const std::vector<SortPart> &parts)
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

// Reads a sort text ("SName, Frequency DESC") against the fields of a set.
template <typename FieldIndex> std::vector<SortPart> sortParts(const QString &sort, const FieldIndex &fieldIndex)
{
    std::vector<SortPart> parts;
    static const QRegularExpression direction(QStringLiteral("\\s+(asc|desc)$"),
                                              QRegularExpression::CaseInsensitiveOption);
    for (const QString &piece : sort.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString name = piece.trimmed();
        bool desc = false;
        if (const auto m = direction.match(name); m.hasMatch()) {
            desc = m.captured(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
            name.truncate(m.capturedStart());
        }
        parts.push_back({fieldIndex(name), desc});
    }
    return parts;
}

void sortRows(const std::vector<Column> &columns, std::vector<int> &order, const std::vector<SortPart> &parts)
{
    if (parts.empty())
        return;
    if (!sortByOneTextField(columns[size_t(parts[0].column)], order, parts))
        sortByKeys(columns, order, parts);
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

    const auto star = selectStar.match(source);
    if (star.hasMatch() && simpleRest.match(star.captured(2)).hasMatch()) {
        store->table = findTable(*db, unbracket(star.captured(1)));
        if (store->table.isEmpty())
            fail(DataErr::UnknownSource,
                 QStringLiteral("The record source names the table %1, which the database does not have.")
                     .arg(star.captured(1)));
        QString rest = star.captured(2).trimmed();
        // Rows ordered by fields come in alphabetical order, as everywhere in the program
        // (the engine knows no collation but code points and A to Z).
        static const QRegularExpression orderBy(
            QStringLiteral("^(.*?)\\s*\\border\\s+by\\s+((?:\\[[^\\]]+\\]|\\w+)(?:\\s+(?:asc|desc))?"
                           "(?:\\s*,\\s*(?:\\[[^\\]]+\\]|\\w+)(?:\\s+(?:asc|desc))?)*)$"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        if (const auto m = orderBy.match(rest); m.hasMatch()) {
            sortInMemory = m.captured(2);
            sortInMemory.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
            rest = m.captured(1).trimmed();
        }
        sql = QStringLiteral("select rowid, * from %1 %2 order by rowid")
                  .arg(Database::quoteIdentifier(store->table), rest);
    } else if (query.match(source).hasMatch()) {
        sql = source;
        hasRowid = false;
    } else {
        store->table = findTable(*db, unbracket(source));
        if (store->table.isEmpty())
            fail(
                DataErr::UnknownSource,
                QStringLiteral("The record source \"%1\" is neither a table of the database nor a query.").arg(source));
        sql = QStringLiteral("select rowid, * from %1 order by rowid").arg(Database::quoteIdentifier(store->table));
    }

    Statement st(*db, sql);
    const int columns = sqlite3_column_count(st.get());
    const int first = hasRowid ? 1 : 0;
    for (int i = first; i < columns; ++i)
        store->fields << QString::fromUtf8(sqlite3_column_name(st.get(), i));
    store->fieldCount = int(store->fields.size());
    store->columns.resize(size_t(store->fieldCount));
    if (!store->table.isEmpty()) {
        // Room for every row of the table at once: a long table is not copied as it grows.
        Statement count(*db, QStringLiteral("select count(*) from %1").arg(Database::quoteIdentifier(store->table)));
        if (sqlite3_step(count.get()) == SQLITE_ROW) {
            const auto rows = size_t(std::max<sqlite3_int64>(0, sqlite3_column_int64(count.get(), 0)));
            store->rowids.reserve(rows);
            for (auto &column : store->columns)
                column.reserve(rows);
        }
    }
    qint64 counter = 0;
    for (;;) {
        const int rc = sqlite3_step(st.get());
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw db->lastError();
        store->rowids.push_back(hasRowid ? sqlite3_column_int64(st.get(), 0) : ++counter);
        for (int i = first; i < columns; ++i) {
            Column &column = store->columns[size_t(i - first)];
            if (sqlite3_column_type(st.get(), i) == SQLITE_TEXT) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st.get(), i));
                column.appendText(std::string_view(text, size_t(sqlite3_column_bytes(st.get(), i))));
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
        sortRows(store->columns, rs->m_order,
                 sortParts(sortInMemory, [&rs](const QString &name) { return rs->requireField(name); }));
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
        const qint64 rowid = sqlite3_last_insert_rowid(m_db->handle());
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
        if (sqlite3_step(st.get()) == SQLITE_ROW) {
            for (int i = 0; i < s.fieldCount && i < sqlite3_column_count(st.get()); ++i)
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
        if (s.nameField >= 0 && sqlite3_changes(m_db->handle()) == 1)
            m_db->nameRemoved(s.table, s.rowids[size_t(r)]);
        s.deleted[size_t(r)] = 1;
    }
    dropPending();
    m_order.erase(m_order.begin() + m_pos);
    m_afterDelete = true;
    if (m_lastModified == r)
        m_lastModified = -1;
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
        sortRows(s.columns, order, sortParts(m_sort, [this](const QString &name) { return requireField(name); }));

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
