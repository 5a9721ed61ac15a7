#include "data/Database.h"

#include "data/Collation.h"
#include "data/Statement.h"
#include "data/StationLinks.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <sqlite3.h>

struct Database::NameIndex
{
    QString table;
    QString column; // empty: the table has no name column
    bool built = false;
    QPair<qint64, qint64> version;    // of the file when the index last matched it
    QMultiHash<QString, qint64> rows; // rows by folded name
    QHash<qint64, QString> keys;      // folded name by row
};

QString dataErrorText(int number)
{
    switch (number) {
    case DataErr::InvalidArgument:
        return QStringLiteral("Invalid argument.");
    case DataErr::NoEditInProgress:
        return QStringLiteral("The row is not being changed: use Edit or AddNew before setting or saving fields.");
    case DataErr::NoCurrentRecord:
        return QStringLiteral("No current record.");
    case DataErr::DuplicateName:
        return QStringLiteral("The changes were not saved because they would give two rows the same name.");
    case DataErr::FileNotFound:
        return QStringLiteral("The station database could not be opened.");
    case DataErr::ReadOnly:
        return QStringLiteral("The data cannot be changed: the database or record set is read-only.");
    case DataErr::UnknownField:
        return QStringLiteral("There is no such field in this record set.");
    case DataErr::UnknownCriteriaField:
        return QStringLiteral("The search condition names a field this record set does not have.");
    case DataErr::MalformedCriteria:
        return QStringLiteral("The search condition is not well formed.");
    case DataErr::UnknownSource:
        return QStringLiteral("The table or query could not be found.");
    case DataErr::InvalidBookmark:
        return QStringLiteral("Not a valid bookmark.");
    case DataErr::ValueTooLong:
        return QStringLiteral("A value is longer than its field allows.");
    case DataErr::RowDeleted:
        return QStringLiteral("The row has been deleted.");
    case DataErr::RequiredField:
        return QStringLiteral("A required field was left empty.");
    case DataErr::EngineFailure:
        return QStringLiteral("The database engine failed.");
    default:
        return QStringLiteral("Database error.");
    }
}

namespace {

// Every path opened shares one connection while anyone holds it.
QHash<QString, std::weak_ptr<Database>> &openDatabases()
{
    static QHash<QString, std::weak_ptr<Database>> map;
    return map;
}

[[noreturn]] void cannotOpen(const QString &path, const QString &why)
{
    throw RuntimeError(
        DataErr::FileNotFound,
        QStringLiteral("Could not open the station database '%1': %2").arg(QDir::toNativeSeparators(path), why));
}

QString describe(const QVariant &value)
{
    return value.isValid() ? value.toString() : QString();
}

} // namespace

Database::Database(const QString &path, sqlite3 *db, bool readOnlyFile)
    : m_path(path), m_db(db), m_readOnlyFile(readOnlyFile)
{
}

Database::~Database()
{
    m_dataVersion.reset();
    sqlite3_close_v2(m_db);
}

std::shared_ptr<Database> Database::open(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        cannotOpen(path, QStringLiteral("the file does not exist."));
    if (!info.isFile() || !info.isReadable())
        cannotOpen(path, QStringLiteral("the file cannot be read."));
    const QString key = info.canonicalFilePath();
    if (auto existing = openDatabases().value(key).lock())
        return existing;

    sqlite3 *db = nullptr;
    const QByteArray native = QFile::encodeName(key);
    bool readOnlyFile = !info.isWritable();
    int rc =
        sqlite3_open_v2(native.constData(), &db, readOnlyFile ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        cannotOpen(path, why + QLatin1Char('.'));
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 2000);

    // The file must be a database holding the three tables.
    std::shared_ptr<Database> result(new Database(key, db, readOnlyFile));
    int tables = 0;
    try {
        Statement st(*result, QStringLiteral("select count(*) from sqlite_master where type = 'table' and "
                                             "name in ('Station', 'Category', 'Preset')"));
        if (st.step())
            tables = int(st.integer(0));
    } catch (const RuntimeError &) {
        cannotOpen(path,
                   QStringLiteral("it is not a station database (%1).").arg(QString::fromUtf8(sqlite3_errmsg(db))));
    }
    if (tables != 3)
        cannotOpen(path, QStringLiteral("it lacks the tables Station, Category and Preset."));

    // The directory links live in a table of their own, made when a file lacks it. A file that
    // cannot take it now (another program holds it) opens all the same.
    try {
        StationLinks::ensure(*result);
    } catch (const RuntimeError &) {
    }

    openDatabases().insert(key, result);
    return result;
}

void Database::exec(const QString &sql)
{
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw lastError();
}

void Database::beginTransaction()
{
    m_txDataVersion = -1;
    exec(QStringLiteral("begin"));
}

void Database::commit()
{
    exec(QStringLiteral("commit"));
    m_txDataVersion = -1;
}

void Database::rollback()
{
    if (inTransaction())
        sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
    m_txDataVersion = -1;
    // Names written in the transaction are gone again: the indexes are read afresh.
    for (const auto &index : std::as_const(m_names))
        index->built = false;
}

bool Database::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

qint64 Database::lastInsertedRow() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int Database::changes() const
{
    return sqlite3_changes(m_db);
}

QString Database::quoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

RuntimeError Database::lastError(const QStringList &fieldNames, const QVariantList &values) const
{
    const int code = sqlite3_extended_errcode(m_db);
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
    const auto valueOf = [&](const QString &field) {
        for (int i = 0; i < fieldNames.size() && i < values.size(); ++i)
            if (fieldNames[i].compare(field, Qt::CaseInsensitive) == 0)
                return describe(values[i]);
        return QString();
    };

    switch (code) {
    case SQLITE_CONSTRAINT_CHECK: {
        // The schema names its checks "too_long:Field:N" and "required:Field".
        static const QRegularExpression tooLong(QStringLiteral("too_long:(\\w+):(\\d+)"));
        static const QRegularExpression required(QStringLiteral("required:(\\w+)"));
        if (const auto m = tooLong.match(message); m.hasMatch())
            return RuntimeError(DataErr::ValueTooLong,
                                QStringLiteral("The value for %1 is too long: at most %2 characters are allowed.")
                                    .arg(m.captured(1), m.captured(2)));
        if (const auto m = required.match(message); m.hasMatch())
            return RuntimeError(DataErr::RequiredField,
                                QStringLiteral("The field %1 cannot be empty.").arg(m.captured(1)));
        return RuntimeError(DataErr::EngineFailure,
                            QStringLiteral("The row breaks a rule of the database: %1").arg(message));
    }
    case SQLITE_CONSTRAINT_NOTNULL: {
        // "NOT NULL constraint failed: Station.Category"
        const QString field = message.section(QLatin1Char('.'), -1);
        return RuntimeError(DataErr::RequiredField, QStringLiteral("The field %1 cannot be empty.").arg(field));
    }
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY: {
        // "UNIQUE constraint failed: Station.SName"
        const QString field = message.section(QLatin1Char('.'), -1).section(QLatin1Char(','), 0, 0).trimmed();
        return duplicateName(field, valueOf(field));
    }
    default:
        break;
    }
    switch (code & 0xff) {
    case SQLITE_READONLY:
        return RuntimeError(
            DataErr::ReadOnly,
            QStringLiteral("The station database '%1' is read-only.").arg(QDir::toNativeSeparators(m_path)));
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_CANTOPEN:
        return RuntimeError(DataErr::FileNotFound, QStringLiteral("The station database '%1' cannot be read: %2")
                                                       .arg(QDir::toNativeSeparators(m_path), message));
    default:
        return RuntimeError(DataErr::EngineFailure, QStringLiteral("The database engine failed: %1").arg(message));
    }
}

RuntimeError Database::duplicateName(const QString &field, const QString &name)
{
    if (!name.isEmpty())
        return RuntimeError(
            DataErr::DuplicateName,
            QStringLiteral("The name \"%1\" is already used (%2 must be unique; letter case does not count).")
                .arg(name, field));
    return RuntimeError(DataErr::DuplicateName,
                        QStringLiteral("The changes were not saved: another row already has the same %1.").arg(field));
}

// ---- names ----------------------------------------------------------------------------------

QPair<qint64, qint64> Database::version()
{
    // Commits of other connections change data_version; this connection's own writes change
    // its count of changed rows.
    qint64 dataVersion = -1;
    // Inside a transaction that has read, no other connection's commit becomes visible: the
    // version read once stands until the transaction ends (bulk work asks for it per row).
    const bool inTx = inTransaction();
    if (inTx && m_txDataVersion >= 0)
        return {m_txDataVersion, sqlite3_total_changes64(m_db)};
    try {
        if (!m_dataVersion)
            m_dataVersion = std::make_unique<Statement>(*this, QStringLiteral("PRAGMA data_version"), true);
        if (m_dataVersion->step())
            dataVersion = m_dataVersion->integer(0);
        m_dataVersion->reset();
    } catch (const RuntimeError &) {
        // An unknown version: the caller reads the names afresh.
    }
    m_txDataVersion = inTx ? dataVersion : -1;
    return {dataVersion, sqlite3_total_changes64(m_db)};
}

Database::NameIndex &Database::names(const QString &table)
{
    const QString key = table.toLower();
    if (auto found = m_names.value(key))
        return *found;
    auto index = std::make_shared<NameIndex>();
    index->table = table;
    // The column of a unique index over one column. A table the engine cannot describe has none.
    try {
        Statement list(*this, "PRAGMA index_list(" + quoteIdentifier(table) + ")");
        while (index->column.isEmpty() && list.step()) {
            if (list.integer(2) != 1)
                continue;
            Statement info(*this, "PRAGMA index_info(" + quoteIdentifier(list.column(1).toString()) + ")");
            QStringList columns;
            while (info.step())
                columns << info.column(2).toString();
            if (columns.size() == 1 && !columns.first().isEmpty())
                index->column = columns.first();
        }
    } catch (const RuntimeError &) {
        index->column.clear();
    }
    m_names.insert(key, index);
    return *index;
}

QString Database::nameColumn(const QString &table)
{
    return names(table).column;
}

Database::NameIndex *Database::freshNames(const QString &table)
{
    NameIndex &index = names(table);
    if (index.column.isEmpty())
        return nullptr;
    const auto now = version();
    if (index.built && index.version == now && now.first >= 0)
        return &index;
    index.rows.clear();
    index.keys.clear();
    Statement st(*this, "select rowid, " + quoteIdentifier(index.column) + " from " + quoteIdentifier(table));
    while (st.step()) {
        const QVariant name = st.column(1);
        if (!name.isValid())
            continue;
        const QString key = Collation::nameKey(name.toString());
        const qint64 rowid = st.integer(0);
        index.rows.insert(key, rowid);
        index.keys.insert(rowid, key);
    }
    index.built = true;
    index.version = now;
    return &index;
}

qint64 Database::findName(const QString &table, const QString &name, qint64 except)
{
    NameIndex *index = freshNames(table);
    if (!index)
        return -1;
    const QString key = Collation::nameKey(name);
    qint64 found = -1;
    for (auto it = index->rows.constFind(key); it != index->rows.constEnd() && it.key() == key; ++it) {
        if (it.value() == except)
            continue;
        if (found < 0 || it.value() < found)
            found = it.value();
    }
    if (found < 0 || index->rows.count(key) < 2)
        return found;
    // Several rows hold the name (a file made elsewhere): the one spelled exactly so first.
    Statement st(*this, "select rowid from " + quoteIdentifier(table) + " where " + quoteIdentifier(index->column) +
                            " = ? collate binary order by rowid limit 1");
    st.bind(1, name);
    const qint64 exact = st.step() ? st.integer(0) : -1;
    return exact >= 0 && exact != except ? exact : found;
}

void Database::requireFreeName(const QString &table, const QString &name, qint64 except)
{
    if (findName(table, name, except) >= 0)
        throw duplicateName(nameColumn(table), name);
}

void Database::afterNameWrite(NameIndex &index)
{
    // One row was written since the index last matched the file: it matches again once the
    // change is applied to it. Anything else, and it is read afresh when next asked.
    const auto now = version();
    if (index.built && index.version.first == now.first && index.version.second + 1 == now.second)
        index.version = now;
    else
        index.built = false;
}

void Database::nameStored(const QString &table, qint64 rowid, const QVariant &name)
{
    NameIndex &index = names(table);
    if (index.column.isEmpty() || !index.built)
        return;
    if (const auto old = index.keys.constFind(rowid); old != index.keys.constEnd()) {
        index.rows.remove(old.value(), rowid);
        index.keys.erase(old);
    }
    if (name.isValid() && !name.isNull()) {
        const QString key = Collation::nameKey(name.toString());
        index.rows.insert(key, rowid);
        index.keys.insert(rowid, key);
    }
    afterNameWrite(index);
}

void Database::nameKept(const QString &table)
{
    NameIndex &index = names(table);
    if (!index.column.isEmpty())
        afterNameWrite(index);
}

void Database::nameRemoved(const QString &table, qint64 rowid)
{
    nameStored(table, rowid, QVariant());
}

Transaction::Transaction(std::shared_ptr<Database> db) : m_db(std::move(db))
{
    m_db->beginTransaction();
}

Transaction::~Transaction()
{
    if (!m_done)
        m_db->rollback();
}

void Transaction::commit()
{
    m_db->commit();
    m_done = true;
}
