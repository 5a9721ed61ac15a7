#include "guide/GuideText.h"

#include "guide/GuideLoader.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>

namespace GuideText {

QString clock(qint64 t)
{
    return QDateTime::fromSecsSinceEpoch(t).toLocalTime().toString(QStringLiteral("HH:mm"));
}

QString span(const GuideDatabase::Programme &p)
{
    return clock(p.start) + QChar(0x2013) + clock(p.stop);
}

QString nowNext(const std::optional<GuideDatabase::Programme> &now, const std::optional<GuideDatabase::Programme> &next)
{
    QStringList parts;
    if (now)
        parts << QStringLiteral("Now: %1 (%2)").arg(now->title, span(*now));
    if (next)
        parts << (now ? QStringLiteral("Next: %1").arg(next->title)
                      : QStringLiteral("Next: %1 (%2)").arg(next->title, clock(next->start)));
    return parts.join(QStringLiteral(" \u00b7 "));
}

int percentDone(const GuideDatabase::Programme &p, qint64 t)
{
    if (p.stop <= p.start)
        return 0;
    return int(std::clamp<qint64>((t - p.start) * 100 / (p.stop - p.start), 0, 100));
}

QString dayName(int daysFromToday)
{
    if (daysFromToday == 0)
        return QStringLiteral("Today");
    if (daysFromToday == 1)
        return QStringLiteral("Tomorrow");
    return QLocale().toString(
        QDateTime::fromSecsSinceEpoch(GuideClock::now()).toLocalTime().date().addDays(daysFromToday),
        QStringLiteral("dddd d MMMM"));
}

} // namespace GuideText
