#include "pictures/LogoCache.h"

#include "pictures/LogoDecoder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

QString hashOf(const QString &address)
{
    return QString::fromLatin1(QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Sha1).toHex());
}

bool youngerThan(const QString &file, qint64 seconds, const QDateTime &now)
{
    const QFileInfo info(file);
    return info.exists() && info.lastModified().secsTo(now) < seconds;
}

} // namespace

LogoCache::LogoCache(QString folder, qint64 limitBytes) : m_folder(std::move(folder)), m_limit(limitBytes) {}

QString LogoCache::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/halcyrix/logos");
}

QString LogoCache::fileFor(const QString &address) const
{
    return m_folder + QLatin1Char('/') + hashOf(address) + QStringLiteral(".png");
}

QString LogoCache::markerFor(const QString &address) const
{
    return m_folder + QLatin1Char('/') + hashOf(address) + QStringLiteral(".failed");
}

bool LogoCache::isFresh(const QString &address, const QDateTime &now) const
{
    return youngerThan(fileFor(address), FreshSeconds, now);
}

bool LogoCache::failedRecently(const QString &address, const QDateTime &now) const
{
    return youngerThan(markerFor(address), RetrySeconds, now);
}

QString LogoCache::store(const QString &address, const QImage &image)
{
    const QByteArray png = LogoDecoder::encodePng(image);
    if (png.isEmpty() || !QDir().mkpath(m_folder))
        return {};
    const QString name = fileFor(address);
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
        return {};
    QFile::remove(markerFor(address));
    trim();
    return QFileInfo::exists(name) ? name : QString();
}

void LogoCache::markFailed(const QString &address)
{
    if (!QDir().mkpath(m_folder))
        return;
    QFile marker(markerFor(address));
    if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate)) // its time is the failure's
        marker.close();
}

void LogoCache::forget(const QString &address)
{
    QFile::remove(fileFor(address));
    QFile::remove(markerFor(address));
}

void LogoCache::trim()
{
    QFileInfoList files = QDir(m_folder).entryInfoList({QStringLiteral("*.png"), QStringLiteral("*.failed")},
                                                       QDir::Files | QDir::NoDotAndDotDot);
    qint64 total = 0;
    for (const QFileInfo &f : files)
        total += f.size();
    if (total <= m_limit)
        return;
    std::sort(files.begin(), files.end(),
              [](const QFileInfo &a, const QFileInfo &b) { return a.lastModified() < b.lastModified(); });
    for (const QFileInfo &f : files) {
        if (total <= m_limit)
            break;
        if (QFile::remove(f.absoluteFilePath()))
            total -= f.size();
    }
}
