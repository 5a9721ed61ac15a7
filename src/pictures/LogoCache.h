#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

// The logos fetched, each kept as a small PNG file in the user's cache folder
// ($XDG_CACHE_HOME/halcyrix/logos/), named by a hash of its address. Deleting the folder
// loses nothing: a logo is fetched again when it is next shown. A logo is fetched again after
// a week; an address that failed is not tried again for a day (an empty marker file says when
// it failed). The folder is held to a size: past it, the files written longest ago go first.
class LogoCache
{
public:
    static constexpr qint64 DefaultLimitBytes = 50LL * 1024 * 1024;
    static constexpr qint64 FreshSeconds = 7LL * 24 * 3600;
    static constexpr qint64 RetrySeconds = 24LL * 3600;

    explicit LogoCache(QString folder = defaultFolder(), qint64 limitBytes = DefaultLimitBytes);

    // $XDG_CACHE_HOME/halcyrix/logos, or ~/.cache/halcyrix/logos.
    static QString defaultFolder();

    QString folder() const { return m_folder; }
    // The PNG file of the logo at that address (which may not exist).
    QString fileFor(const QString &address) const;

    // True when the logo is stored and younger than a week (at `now`).
    bool isFresh(const QString &address, const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
    // True when the address failed less than a day before `now`.
    bool failedRecently(const QString &address, const QDateTime &now = QDateTime::currentDateTimeUtc()) const;

    // Stores the picture as PNG (replacing the file whole), forgets an earlier failure and holds
    // the folder to its size. The file's name, or an empty text when it cannot be written.
    QString store(const QString &address, const QImage &image);
    // Remembers that the address failed now.
    void markFailed(const QString &address);
    // Forgets the logo and any failure of that address (the user chose it again).
    void forget(const QString &address);

    // Removes the files written longest ago until the folder is within its size.
    void trim();

private:
    QString markerFor(const QString &address) const;

    QString m_folder;
    qint64 m_limit;
};
