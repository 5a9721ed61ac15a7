#include "data/Statement.h"

#include "data/Database.h"

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

Statement::Statement(Database &db, const QString &sql, bool reused) : m_db(db)
{
    const QByteArray utf8 = sql.toUtf8();
    const unsigned flags = reused ? SQLITE_PREPARE_PERSISTENT : 0;
    if (sqlite3_prepare_v3(db.handle(), utf8.constData(), int(utf8.size()) + 1, flags, &m_st, nullptr) != SQLITE_OK) {
        const RuntimeError error = db.lastError();
        sqlite3_finalize(m_st);
        m_st = nullptr;
        throw error;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_st);
}

void Statement::bind(int position, const QVariant &v)
{
    int rc = SQLITE_OK;
    if (!v.isValid() || v.isNull()) {
        rc = sqlite3_bind_null(m_st, position);
    } else {
        switch (valueKind(v)) {
        case ValueKind::Integer:
            rc = sqlite3_bind_int64(m_st, position, v.toLongLong());
            break;
        case ValueKind::Real:
            rc = sqlite3_bind_double(m_st, position, v.toDouble());
            break;
        case ValueKind::Bytes: {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob64(m_st, position, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
            break;
        }
        case ValueKind::Text: {
            const QByteArray t = v.toString().toUtf8();
            rc = sqlite3_bind_text64(m_st, position, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT,
                                     SQLITE_UTF8);
            break;
        }
        }
    }
    // A value the engine refuses (too big, a wrong position) would run as NULL: never silently.
    if (rc != SQLITE_OK)
        raise({}, {});
}

void Statement::raise(const QStringList &fields, const QVariantList &values)
{
    const RuntimeError error = m_db.lastError(fields, values);
    sqlite3_reset(m_st);
    throw error;
}

void Statement::run(const QStringList &fields, const QVariantList &values)
{
    const int rc = sqlite3_step(m_st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        raise(fields, values);
    sqlite3_reset(m_st);
}

void Statement::reset()
{
    sqlite3_reset(m_st);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_st);
}

QString Statement::columnName(int i) const
{
    return QString::fromUtf8(sqlite3_column_name(m_st, i));
}

QVariant Statement::column(int i) const
{
    switch (sqlite3_column_type(m_st, i)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_st, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_st, i));
    case SQLITE_BLOB: {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(m_st, i));
        return QVariant(QByteArray(data, sqlite3_column_bytes(m_st, i)));
    }
    default: {
        std::string_view utf8;
        text(i, utf8);
        return textValue(utf8);
    }
    }
}
