#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <sqlite3.h>
#include <string_view>

class Database;

// How a value is stored: as an integer, a real number, bytes or text.
enum class ValueKind { Integer, Real, Bytes, Text };
// The kind a QVariant is stored as: booleans and integers as integers, doubles and floats as
// real numbers, byte arrays as bytes, anything else as its text.
ValueKind valueKind(const QVariant &v);

// Whether v holds a text.
inline bool isText(const QVariant &v)
{
    return v.typeId() == QMetaType::QString;
}

// Whether two values are the same value of the same kind (an unchanged field).
inline bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isValid() != b.isValid())
        return false;
    return !a.isValid() || (a.typeId() == b.typeId() && a == b);
}

// A text value as the database gives it, in a string of its own size; an empty text is empty,
// never null.
inline QVariant textValue(std::string_view utf8)
{
    if (utf8.empty())
        return QVariant(QString(QLatin1String("")));
    return QVariant(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

// One prepared SQL statement of a database, finalized when it goes out of scope. Every
// statement the program runs goes through here: values are bound as QVariants and read back as
// QVariants with one mapping (an invalid or null QVariant is NULL; see valueKind; texts travel
// as UTF-8). A failure raises the database's error for it (Database::lastError), with the
// engine's message in the text.
class Statement
{
public:
    // Prepares sql. reused: the statement is kept and run many times (bulk work), which the
    // engine may plan for.
    Statement(Database &db, const QString &sql, bool reused = false);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Binds value to the parameter at position (1 for the first "?"). A value the engine refuses
    // (too big, no such position) raises the database's error.
    void bind(int position, const QVariant &value);

    // Runs the statement to its next row: true when a row is ready to read, false when there
    // is none left. A failure resets the statement and raises the database's error. Inline, as
    // reading a long table steps once per row.
    bool step()
    {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            raise({}, {});
        return false;
    }
    // Runs a statement that returns no rows, then resets it for the next run. fields and
    // values, when given, are the row that was refused (they name a duplicate in the error).
    void run(const QStringList &fields = {}, const QVariantList &values = {});
    // Makes the statement ready to run again; bindings stay.
    void reset();

    // The columns of the result and the current row's values.
    int columnCount() const;
    QString columnName(int i) const;
    // Whether column i holds a text; its UTF-8 bytes are put into utf8 (valid until the next
    // step). Inline, as reading a long table calls it for every field of every row.
    bool text(int i, std::string_view &utf8) const
    {
        if (sqlite3_column_type(m_st, i) != SQLITE_TEXT)
            return false;
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_st, i));
        utf8 = bytes ? std::string_view(bytes, size_t(sqlite3_column_bytes(m_st, i))) : std::string_view();
        return true;
    }
    qint64 integer(int i) const { return sqlite3_column_int64(m_st, i); }
    QVariant column(int i) const;

private:
    // Resets the statement and raises the database's error for the failure of its last run.
    [[noreturn]] void raise(const QStringList &fields, const QVariantList &values);

    Database &m_db;
    sqlite3_stmt *m_st = nullptr;
};
