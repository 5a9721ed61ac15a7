#pragma once

#include "guide/ChannelMatch.h"

#include <QList>
#include <QString>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// The guide database: the programmes of the channels stations are linked to, and every guide
// channel's id and names, kept in a SQLite file of its own in the user's cache folder. It can be
// deleted at any time: the next load makes it again. Each thread opens its own connection (the
// loader writes while the window reads; the file is in WAL mode). Times are UTC seconds.
class GuideDatabase
{
public:
    struct Programme
    {
        QString channel;
        qint64 start = 0;
        qint64 stop = 0;
        QString title;
        QString subTitle;
        QString description;
    };
    struct SourceState
    {
        qint64 loadedAt = 0; // 0: never loaded
        int channels = 0;
        int programmes = 0;
        int skipped = 0;
        QString message; // what the last load reported
    };

    // $XDG_CACHE_HOME/halcyrix/guide.db (~/.cache/halcyrix/guide.db without the variable).
    static QString defaultPath();

    // Opens (or makes) the file; a file that is no guide database is made again.
    explicit GuideDatabase(const QString &path = defaultPath());
    ~GuideDatabase();
    GuideDatabase(const GuideDatabase &) = delete;
    GuideDatabase &operator=(const GuideDatabase &) = delete;

    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }

    // ---- Reading ----
    QList<ChannelMatch::Channel> channels();
    // The programme on at t and the one after it.
    std::pair<std::optional<Programme>, std::optional<Programme>> nowNext(const QString &channel, qint64 t);
    // The programmes that overlap [from, to), in time order.
    QList<Programme> programmes(const QString &channel, qint64 from, qint64 to);
    // Programmes not ended at t whose title holds text (letter case ignored), in time order.
    QList<Programme> search(const QString &text, qint64 t, int limit = 500);
    SourceState state(const QString &source);

    // ---- Writing (the loader) ----
    // Starts replacing what a source gave: its old rows stay until commit().
    void begin(const QString &source);
    void addChannel(const ChannelMatch::Channel &channel);
    void addProgramme(const Programme &programme);
    void commit(const SourceState &state);
    void rollback();
    // Records a failed load without touching the programmes of the source.
    void setMessage(const QString &source, const QString &message);
    // Forgets a source and what it gave.
    void removeSource(const QString &source);

private:
    bool open();
    bool exec(const char *sql);
    sqlite3_stmt *prepare(const char *sql);

    QString m_path;
    QString m_source;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insertChannel = nullptr;
    sqlite3_stmt *m_insertProgramme = nullptr;
};
