#include "guide/GuideDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <sqlite3.h>

namespace {

const char *kSchema =
    "pragma journal_mode = wal;"
    "pragma synchronous = normal;"
    "create table if not exists Source (Address TEXT PRIMARY KEY, LoadedAt INTEGER NOT NULL,"
    " Channels INTEGER NOT NULL, Programmes INTEGER NOT NULL, Skipped INTEGER NOT NULL,"
    " Message TEXT NOT NULL);"
    "create table if not exists Channel (Source TEXT NOT NULL, Id TEXT NOT NULL,"
    " Names TEXT NOT NULL);"
    "create table if not exists Programme (Source TEXT NOT NULL, Channel TEXT NOT NULL COLLATE NOCASE,"
    " Start INTEGER NOT NULL, Stop INTEGER NOT NULL, Title TEXT NOT NULL, SubTitle TEXT NOT NULL,"
    " Description TEXT NOT NULL);"
    "create index if not exists ProgrammeByChannel on Programme (Channel, Start);"
    "create index if not exists ProgrammeBySource on Programme (Source);"
    "create index if not exists ChannelBySource on Channel (Source);";

QString text(sqlite3_stmt *st, int i)
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(st, i)) : QString();
}

void bindText(sqlite3_stmt *st, int i, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(st, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// A statement finalized when it goes out of scope.
struct Query
{
    Query(sqlite3 *db, const char *sql)
    {
        if (db)
            sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    }
    ~Query() { sqlite3_finalize(st); }
    bool step() { return st && sqlite3_step(st) == SQLITE_ROW; }
    sqlite3_stmt *st = nullptr;
};

GuideDatabase::Programme programmeOf(sqlite3_stmt *st)
{
    return {text(st, 0), sqlite3_column_int64(st, 1), sqlite3_column_int64(st, 2), text(st, 3), text(st, 4),
            text(st, 5)};
}

} // namespace

QString GuideDatabase::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/halcyrix/guide.db");
}

GuideDatabase::GuideDatabase(const QString &path) : m_path(path)
{
    if (!open()) {
        // No guide database (a broken or foreign file): it holds nothing that is not rebuilt.
        sqlite3_close(m_db);
        m_db = nullptr;
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(m_path + QLatin1String(suffix));
        if (!open()) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }
}

GuideDatabase::~GuideDatabase()
{
    if (!m_source.isEmpty())
        rollback();
    sqlite3_finalize(m_insertChannel);
    sqlite3_finalize(m_insertProgramme);
    sqlite3_close(m_db);
}

bool GuideDatabase::open()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        return false;
    sqlite3_busy_timeout(m_db, 5000);
    return exec(kSchema);
}

bool GuideDatabase::exec(const char *sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt *GuideDatabase::prepare(const char *sql)
{
    sqlite3_stmt *st = nullptr;
    if (m_db)
        sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr);
    return st;
}

QList<ChannelMatch::Channel> GuideDatabase::channels()
{
    QList<ChannelMatch::Channel> out;
    Query q(m_db, "select Id, Names from Channel order by rowid");
    while (q.step())
        out.append({text(q.st, 0), text(q.st, 1).split(QLatin1Char('\n'), Qt::SkipEmptyParts)});
    return out;
}

std::pair<std::optional<GuideDatabase::Programme>, std::optional<GuideDatabase::Programme>>
GuideDatabase::nowNext(const QString &channel, qint64 t)
{
    std::pair<std::optional<Programme>, std::optional<Programme>> out;
    Query now(m_db, "select Channel, Start, Stop, Title, SubTitle, Description from Programme"
                    " where Channel = ? and Start <= ? and Stop > ? order by Start desc limit 1");
    bindText(now.st, 1, channel);
    sqlite3_bind_int64(now.st, 2, t);
    sqlite3_bind_int64(now.st, 3, t);
    if (now.step())
        out.first = programmeOf(now.st);
    Query next(m_db, "select Channel, Start, Stop, Title, SubTitle, Description from Programme"
                     " where Channel = ? and Start >= ? order by Start limit 1");
    bindText(next.st, 1, channel);
    sqlite3_bind_int64(next.st, 2, out.first ? out.first->stop : t);
    if (next.step())
        out.second = programmeOf(next.st);
    return out;
}

QList<GuideDatabase::Programme> GuideDatabase::programmes(const QString &channel, qint64 from, qint64 to)
{
    QList<Programme> out;
    Query q(m_db, "select Channel, Start, Stop, Title, SubTitle, Description from Programme"
                  " where Channel = ? and Start < ? and Stop > ? order by Start");
    bindText(q.st, 1, channel);
    sqlite3_bind_int64(q.st, 2, to);
    sqlite3_bind_int64(q.st, 3, from);
    while (q.step())
        out.append(programmeOf(q.st));
    return out;
}

QList<GuideDatabase::Programme> GuideDatabase::search(const QString &needle, qint64 t, int limit)
{
    QList<Programme> out;
    if (needle.trimmed().isEmpty())
        return out;
    QString pattern = needle.trimmed();
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    Query q(m_db, "select Channel, Start, Stop, Title, SubTitle, Description from Programme"
                  " where Stop > ? and Title like ? escape '\\' order by Start limit ?");
    sqlite3_bind_int64(q.st, 1, t);
    bindText(q.st, 2, QLatin1Char('%') + pattern + QLatin1Char('%'));
    sqlite3_bind_int(q.st, 3, limit);
    while (q.step())
        out.append(programmeOf(q.st));
    return out;
}

GuideDatabase::SourceState GuideDatabase::state(const QString &source)
{
    SourceState s;
    Query q(m_db, "select LoadedAt, Channels, Programmes, Skipped, Message from Source where Address = ?");
    bindText(q.st, 1, source);
    if (q.step())
        s = {sqlite3_column_int64(q.st, 0), sqlite3_column_int(q.st, 1), sqlite3_column_int(q.st, 2),
             sqlite3_column_int(q.st, 3), text(q.st, 4)};
    return s;
}

void GuideDatabase::begin(const QString &source)
{
    m_source = source;
    exec("begin immediate");
    Query drop(m_db, "delete from Programme where Source = ?");
    bindText(drop.st, 1, source);
    drop.step();
    Query dropChannels(m_db, "delete from Channel where Source = ?");
    bindText(dropChannels.st, 1, source);
    dropChannels.step();
    if (!m_insertChannel)
        m_insertChannel = prepare("insert into Channel (Source, Id, Names) values (?, ?, ?)");
    if (!m_insertProgramme)
        m_insertProgramme = prepare("insert into Programme (Source, Channel, Start, Stop, Title, SubTitle, Description)"
                                    " values (?, ?, ?, ?, ?, ?, ?)");
}

void GuideDatabase::addChannel(const ChannelMatch::Channel &channel)
{
    if (!m_insertChannel)
        return;
    bindText(m_insertChannel, 1, m_source);
    bindText(m_insertChannel, 2, channel.id);
    bindText(m_insertChannel, 3, channel.names.join(QLatin1Char('\n')));
    sqlite3_step(m_insertChannel);
    sqlite3_reset(m_insertChannel);
}

void GuideDatabase::addProgramme(const Programme &p)
{
    if (!m_insertProgramme)
        return;
    sqlite3_stmt *st = m_insertProgramme;
    bindText(st, 1, m_source);
    bindText(st, 2, p.channel);
    sqlite3_bind_int64(st, 3, p.start);
    sqlite3_bind_int64(st, 4, p.stop);
    bindText(st, 5, p.title);
    bindText(st, 6, p.subTitle);
    bindText(st, 7, p.description);
    sqlite3_step(st);
    sqlite3_reset(st);
}

void GuideDatabase::commit(const SourceState &s)
{
    Query q(m_db, "insert or replace into Source (Address, LoadedAt, Channels, Programmes, Skipped, Message)"
                  " values (?, ?, ?, ?, ?, ?)");
    bindText(q.st, 1, m_source);
    sqlite3_bind_int64(q.st, 2, s.loadedAt);
    sqlite3_bind_int(q.st, 3, s.channels);
    sqlite3_bind_int(q.st, 4, s.programmes);
    sqlite3_bind_int(q.st, 5, s.skipped);
    bindText(q.st, 6, s.message);
    q.step();
    exec("commit");
    m_source.clear();
}

void GuideDatabase::rollback()
{
    exec("rollback");
    m_source.clear();
}

void GuideDatabase::setMessage(const QString &source, const QString &message)
{
    Query q(m_db, "insert into Source (Address, LoadedAt, Channels, Programmes, Skipped, Message)"
                  " values (?, 0, 0, 0, 0, ?) on conflict (Address) do update set Message = excluded.Message");
    bindText(q.st, 1, source);
    bindText(q.st, 2, message);
    q.step();
}

void GuideDatabase::removeSource(const QString &source)
{
    for (const char *sql : {"delete from Programme where Source = ?", "delete from Channel where Source = ?",
                            "delete from Source where Address = ?"}) {
        Query q(m_db, sql);
        bindText(q.st, 1, source);
        q.step();
    }
}
