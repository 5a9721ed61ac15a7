#include "TestAppDir.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sqlite3.h>
#include <stdexcept>

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

struct Db
{
    sqlite3 *db = nullptr;
    explicit Db(const QString &path)
    {
        if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.toStdString());
        sqlite3_busy_timeout(db, 5000);
    }
    ~Db() { sqlite3_close(db); }
    void exec(const QByteArray &sql) const
    {
        char *err = nullptr;
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            const std::string msg = err ? err : "sqlite error";
            sqlite3_free(err);
            throw std::runtime_error(msg + " in: " + sql.left(200).toStdString());
        }
    }
};
} // namespace

QString TestAppDir::sourceDir()
{
    return QStringLiteral(HX_SOURCE_DIR);
}

TestAppDir::TestAppDir(Seed seed, const QByteArray &ini)
    : m_oldHome(qgetenv("HALCYRIX_HOME")), m_hadHome(qEnvironmentVariableIsSet("HALCYRIX_HOME"))
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot make a temporary folder");
    qputenv("HALCYRIX_HOME", QFile::encodeName(m_dir.path()));
    writeFile(QStringLiteral("Tuner.ini"), ini);
    Db db(dbPath());
    db.exec(readAll(sourceDir() + QStringLiteral("/data/schema.sql")));
    if (seed == SeedStations)
        db.exec(readAll(sourceDir() + QStringLiteral("/data/seed.sql")));
}

TestAppDir::~TestAppDir()
{
    if (m_hadHome)
        qputenv("HALCYRIX_HOME", m_oldHome);
    else
        qunsetenv("HALCYRIX_HOME");
}

QString TestAppDir::path() const
{
    return m_dir.path();
}
QString TestAppDir::filePath(const QString &name) const
{
    return m_dir.filePath(name);
}
QString TestAppDir::dbPath() const
{
    return m_dir.filePath(QStringLiteral("Halcyrix.db"));
}

void TestAppDir::writeFile(const QString &name, const QByteArray &content) const
{
    QFile f(filePath(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        throw std::runtime_error("cannot write " + name.toStdString());
}

QByteArray TestAppDir::readFile(const QString &name) const
{
    return readAll(filePath(name));
}

void TestAppDir::exec(const QString &sql) const
{
    Db(dbPath()).exec(sql.toUtf8());
}

QList<QVariantList> TestAppDir::query(const QString &sql) const
{
    Db db(dbPath());
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db.db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("bad query: ") + sqlite3_errmsg(db.db));
    QList<QVariantList> rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QVariantList row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_NULL:
                row << QVariant();
                break;
            case SQLITE_INTEGER:
                row << QVariant(static_cast<qlonglong>(sqlite3_column_int64(st, i)));
                break;
            default:
                row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, i)));
            }
        }
        rows << row;
    }
    sqlite3_finalize(st);
    return rows;
}

void TestAppDir::addStation(const QString &name, const QString &category, const QString &ram, const QString &type,
                            const QString &frequency, const QString &location, const QString &web,
                            const QString &callLetters) const
{
    Db db(dbPath());
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db.db,
                       "INSERT INTO Station (SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage)"
                       " VALUES (?,?,?,?,?,?,?,?)",
                       -1, &st, nullptr);
    const QString values[8] = {name, frequency, type, callLetters, location, ram, category, web};
    QByteArray utf8[8];
    for (int i = 0; i < 8; ++i) {
        if (values[i].isEmpty()) {
            sqlite3_bind_null(st, i + 1);
        } else {
            utf8[i] = values[i].toUtf8();
            sqlite3_bind_text(st, i + 1, utf8[i].constData(), -1, SQLITE_STATIC);
        }
    }
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw std::runtime_error(std::string("cannot add station: ") + sqlite3_errmsg(db.db));
}

namespace {
constexpr int kGeneratedCategories = 20;
}

void TestAppDir::addGeneratedStations(int stations) const
{
    exec(QStringLiteral("INSERT INTO Category (Name) WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
                        "FROM n WHERE i < %1) SELECT CASE i WHEN 0 THEN 'Television' ELSE 'Category ' || i END "
                        "FROM n;")
             .arg(kGeneratedCategories - 1));
    // Names in scrambled order, so that sorting has work to do.
    exec(QStringLiteral(
             "BEGIN; INSERT INTO Station (SName, Frequency, Type, CallLetters, Location, RAMFile, Category, "
             "WebPage) WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
             "SELECT 'Station ' || printf('%06d', (i * 7919) % %2), printf('%d.%d', 88 + i % 20, i % 10), "
             "CASE i % 4 WHEN 0 THEN 'FM' WHEN 1 THEN 'AM' WHEN 2 THEN 'NET' ELSE 'TV' END, 'K' || (i % 1000), "
             "'City ' || (i % 500), 'http://127.0.0.1:9/' || i || '.mp3', "
             "CASE i % %3 WHEN 0 THEN 'Television' ELSE 'Category ' || (i % %3) END, "
             "'http://example.invalid/' || i FROM n; "
             "INSERT INTO Preset (SName) WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
             "WHERE i < 9) SELECT 'Slot ' || i FROM n; COMMIT;")
             .arg(stations - 1)
             .arg(stations)
             .arg(kGeneratedCategories));
}

QByteArray TestAppDir::generatedStationsIni(bool banner)
{
    QByteArray viewed;
    for (int i = 1; i < kGeneratedCategories; i += 2)
        viewed += (viewed.isEmpty() ? QByteArray() : QByteArray(", ")) + "Category " + QByteArray::number(i);
    return "DataBase=Halcyrix.db\r\nShowBanner=" + QByteArray(banner ? "True" : "False") + "\r\nCategories=" + viewed +
           "\r\n";
}
