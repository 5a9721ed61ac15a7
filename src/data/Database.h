#pragma once

#include "app/RuntimeError.h"

#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

struct sqlite3;
class Statement;

// Error numbers of the station database, as the program shows and tests them.
namespace DataErr {
constexpr int InvalidArgument = 3001;
constexpr int NoEditInProgress = 3020; // Update or setField without AddNew or Edit
constexpr int NoCurrentRecord = 3021;
constexpr int DuplicateName = 3022;
constexpr int FileNotFound = 3024; // database file missing, unreadable or not a station database
constexpr int ReadOnly = 3027;     // the record set or the database cannot be changed
constexpr int UnknownField = 3265; // no field of that name or position
constexpr int MalformedCriteria = 3075;
constexpr int UnknownCriteriaField = 3070; // a criteria text names a field the set lacks
constexpr int UnknownSource = 3078;        // no table of that name
constexpr int InvalidBookmark = 3159;
constexpr int ValueTooLong = 3163;
constexpr int RowDeleted = 3167; // the row was deleted through another record set
constexpr int RequiredField = 3314;
constexpr int EngineFailure = 3146; // any other failure of the engine
} // namespace DataErr

// Our own text for an error number of the database ("No current record.").
QString dataErrorText(int number);

// One open station database file. Every caller that opens the same path shares one
// SQLite connection; it closes when the last holder lets go.
class Database
{
public:
    // Opens the database file at path. The file must exist and hold the tables Station,
    // Category and Preset; otherwise raises error 3024 whose text names the path.
    static std::shared_ptr<Database> open(const QString &path);

    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    QString path() const { return m_path; }
    sqlite3 *handle() const { return m_db; }
    bool readOnlyFile() const { return m_readOnlyFile; }

    // Runs statements that take no values (transactions, pragmas). Raises a mapped error.
    void exec(const QString &sql);

    // Bulk work in one transaction: begin, then commit, or roll back on failure.
    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;

    // The row id of the row the last insert added, and how many rows the last statement changed.
    qint64 lastInsertedRow() const;
    int changes() const;

    // The error for the engine's last failure on this connection, with a number the program
    // knows (3314 a required field left empty, 3022 a duplicate name, 3163 a value longer than
    // its field, 3027 read-only) and our own text. values, when given, are the field values of
    // the row that was refused, used to name the duplicate in the text.
    RuntimeError lastError(const QStringList &fieldNames = {}, const QVariantList &values = {}) const;

    // Names are unique ignoring letter case in every alphabet. The schema's unique indexes tell
    // only A to Z from a to z apart (and must stay readable by other SQLite tools), so the
    // program checks the other alphabets itself before it writes a name. An index of the names
    // is kept in memory, read again when the file changed behind it.
    //
    // The column of table that holds its names (the one column of a unique index), or empty.
    QString nameColumn(const QString &table);
    // The row of table whose name is the same name as name, other than the row except; a row
    // spelled exactly so comes first. -1 when there is none or the table has no name column.
    qint64 findName(const QString &table, const QString &name, qint64 except = -1);
    // Raises 3022, as for a duplicate the engine refuses, when another row than except holds
    // the same name.
    void requireFreeName(const QString &table, const QString &name, qint64 except = -1);
    // Each after one row was written: the row now holds name (a null name holds none), or is gone.
    void nameStored(const QString &table, qint64 rowid, const QVariant &name);
    void nameRemoved(const QString &table, qint64 rowid);
    // After one row was written without a change of its name.
    void nameKept(const QString &table);

    // The error for a name that is taken: field is the name column.
    static RuntimeError duplicateName(const QString &field, const QString &name);

    // The version of the file's contents: the engine's data_version, which commits of other
    // connections change (-1 when unknown), and the count of rows this connection changed.
    // Equal versions mean unchanged contents.
    QPair<qint64, qint64> version();

    // Table and column names as SQL identifiers ("Station" -> "\"Station\"").
    static QString quoteIdentifier(const QString &name);

private:
    Database(const QString &path, sqlite3 *db, bool readOnlyFile);

    struct NameIndex;
    NameIndex &names(const QString &table);
    NameIndex *freshNames(const QString &table);
    void afterNameWrite(NameIndex &index);

    QString m_path;
    sqlite3 *m_db = nullptr;
    std::unique_ptr<Statement>
        m_dataVersion;           // kept prepared: asked before every write of a name and every table-cache open
    qint64 m_txDataVersion = -1; // data_version as read in the transaction now open, or -1
    bool m_readOnlyFile = false;
    QHash<QString, std::shared_ptr<NameIndex>> m_names; // by table name, folded
};

// Begins a transaction on construction and rolls it back unless commit() was called.
class Transaction
{
public:
    explicit Transaction(std::shared_ptr<Database> db);
    ~Transaction();
    void commit();

private:
    std::shared_ptr<Database> m_db;
    bool m_done = false;
};
