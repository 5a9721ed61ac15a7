#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The titles the streams announced, newest first, with the station and the time each was heard.
// The list keeps the last Limit titles and never holds the same title of the same station twice
// in a row. It is kept in a file beside the station database, read once and written after each
// new title.
class TitleHistory
{
public:
    struct Title
    {
        QString title;
        QString station;
        QDateTime time;
    };

    static constexpr int Limit = 1000;
    // Longer titles and station names are shortened; a stream's server decides their length.
    static constexpr int MaxTextLength = 500;
    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

    // Adds a title heard at the given time. False when there is nothing to add: an empty title,
    // or the same title from the same station as the newest entry.
    bool add(const QString &title, const QString &station, const QDateTime &time);
    const QList<Title> &titles() const { return m_titles; }
    void clear() { m_titles.clear(); }

    // Reads the file. A missing file gives an empty list; so does a file that cannot be read
    // (too large, not the file's format), which is then moved aside to "<path>.bad" so that the
    // next save does not overwrite what it held. False when the file existed but was not read.
    bool load(const QString &path);
    // Writes the file whole (to a scratch file renamed over the old one). False on failure.
    bool save(const QString &path) const;

    // The file of the titles beside a station database.
    static QString pathBeside(const QString &databasePath);

private:
    QList<Title> m_titles;
};
