#include "timers/TimerFile.h"

#include "app/JsonArrayFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace TimerFile {
namespace {

const QString kRecord = QStringLiteral("record");
const QString kWakeUp = QStringLiteral("wake-up");

std::optional<Timer> fromJson(const QJsonObject &o)
{
    Timer t;
    const QString kind = o.value(QLatin1String("kind")).toString();
    if (kind != kRecord && kind != kWakeUp)
        return std::nullopt;
    t.kind = kind == kRecord ? Timer::Kind::Record : Timer::Kind::WakeUp;
    t.name = o.value(QLatin1String("name")).toString().trimmed().left(Timer::MaxNameLength);
    t.station = o.value(QLatin1String("station")).toString();
    t.date = QDate::fromString(o.value(QLatin1String("date")).toString(), Qt::ISODate);
    t.time = QTime::fromString(o.value(QLatin1String("time")).toString(), QStringLiteral("HH:mm"));
    t.days = o.value(QLatin1String("days")).toInt() & 0x7f;
    t.minutes = o.value(QLatin1String("minutes")).toInt();
    t.volume = o.value(QLatin1String("volume")).toInt(50);
    t.splitByTitle = o.value(QLatin1String("splitByTitle")).toBool();
    t.enabled = o.value(QLatin1String("enabled")).toBool(true);
    t.handled = QDateTime::fromString(o.value(QLatin1String("handled")).toString(), Qt::ISODate);
    if (t.station.trimmed().isEmpty() || !t.time.isValid() || (!t.repeats() && !t.date.isValid()) || t.minutes < 0 ||
        t.minutes > Timer::MaxMinutes || (t.kind == Timer::Kind::Record && t.minutes == 0) || t.volume < 1 ||
        t.volume > 100)
        return std::nullopt;
    return t;
}

} // namespace

bool load(const QString &path, QList<Timer> &timers)
{
    timers.clear();
    QJsonArray entries;
    if (!JsonArrayFile::read(path, MaxFileBytes, &entries))
        return false;
    int id = 0;
    for (const QJsonValue &value : std::as_const(entries)) {
        std::optional<Timer> t = fromJson(value.toObject());
        if (!t)
            continue;
        t->id = ++id;
        timers << *t;
        if (timers.size() == Limit)
            break;
    }
    return true;
}

bool save(const QString &path, const QList<Timer> &timers)
{
    QJsonArray entries;
    for (const Timer &t : timers) {
        QJsonObject o{
            {QStringLiteral("kind"), t.kind == Timer::Kind::Record ? kRecord : kWakeUp},
            {QStringLiteral("name"), t.name},
            {QStringLiteral("station"), t.station},
            {QStringLiteral("time"), t.time.toString(QStringLiteral("HH:mm"))},
            {QStringLiteral("days"), t.days},
            {QStringLiteral("minutes"), t.minutes},
            {QStringLiteral("volume"), t.volume},
            {QStringLiteral("splitByTitle"), t.splitByTitle},
            {QStringLiteral("enabled"), t.enabled},
            {QStringLiteral("handled"), t.handled.toOffsetFromUtc(t.handled.offsetFromUtc()).toString(Qt::ISODate)}};
        if (!t.repeats())
            o.insert(QStringLiteral("date"), t.date.toString(Qt::ISODate));
        entries.append(o);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(entries).toJson(QJsonDocument::Indented));
    return file.commit();
}

QString pathBeside(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("Timers.json"));
}

} // namespace TimerFile
