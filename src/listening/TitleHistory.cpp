#include "listening/TitleHistory.h"

#include "app/JsonArrayFile.h"
#include "app/TextCut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {

QString clean(const QString &text)
{
    QString cleaned = text.trimmed();
    constexpr int max = TitleHistory::MaxTextLength;
    // The cut may end at a blank, which the next read would take off.
    if (cleaned.size() > max)
        cleaned = TextCut::left(cleaned, max).trimmed();
    return cleaned;
}

} // namespace

bool TitleHistory::add(const QString &title, const QString &station, const QDateTime &time)
{
    const Title entry{clean(title), clean(station), time};
    if (entry.title.isEmpty())
        return false;
    if (!m_titles.isEmpty() && m_titles.first().title == entry.title && m_titles.first().station == entry.station)
        return false;
    m_titles.prepend(entry);
    if (m_titles.size() > Limit)
        m_titles.resize(Limit);
    return true;
}

bool TitleHistory::load(const QString &path)
{
    m_titles.clear();
    QJsonArray entries;
    if (!JsonArrayFile::read(path, MaxFileBytes, &entries))
        return false;
    for (const QJsonValue &value : entries) {
        const QJsonObject o = value.toObject();
        const QString title = clean(o.value(QLatin1String("title")).toString());
        const QDateTime time = QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODate);
        if (title.isEmpty() || !time.isValid())
            continue; // an entry damaged by hand; the others stay
        m_titles.append({title, clean(o.value(QLatin1String("station")).toString()), time});
        if (m_titles.size() == Limit)
            break;
    }
    return true;
}

bool TitleHistory::save(const QString &path) const
{
    QJsonArray entries;
    for (const Title &t : m_titles)
        entries.append(QJsonObject{{QStringLiteral("title"), t.title},
                                   {QStringLiteral("station"), t.station},
                                   {QStringLiteral("time"), t.time.toString(Qt::ISODateWithMs)}});
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(entries).toJson(QJsonDocument::Indented));
    return file.commit();
}

QString TitleHistory::pathBeside(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("RecentlyPlayed.json"));
}
