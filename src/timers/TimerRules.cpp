#include "timers/TimerRules.h"

#include "app/TextCut.h"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("TimerRules", text);
}

// The start on a day, as the wall clock shows it. A time the clock skips when summer time
// begins (02:30 when 02:00 becomes 03:00) starts as the clock passes it, an hour later.
QDateTime startOn(const QDate &day, const QTime &time)
{
    QDateTime start(day, time);
    if (!start.isValid() || start.time() != time) {
        start = QDateTime(day, time.addSecs(-3600)).addSecs(3600);
    }
    return start;
}

bool startsOn(const Timer &timer, const QDate &day)
{
    return timer.repeats() ? timer.repeatsOn(day) : day == timer.date;
}

QString clockText(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm"));
}

} // namespace

qint64 Timer::lengthSeconds() const
{
    return minutes > 0 ? qint64(minutes) * 60 : WakeUpGraceSeconds;
}

namespace TimerRules {

QList<QDateTime> startsBetween(const Timer &timer, const QDateTime &from, const QDateTime &to)
{
    QList<QDateTime> starts;
    if (!timer.time.isValid() || !from.isValid() || !to.isValid() || to <= from)
        return starts;
    // A year back is as far as anyone needs to be told about.
    const QDateTime first = qMax(from, to.addDays(-400));
    QDate day = first.date().addDays(-1);
    if (!timer.repeats()) {
        if (!timer.date.isValid())
            return starts;
        day = qMax(day, timer.date);
    }
    for (const QDate last = to.date().addDays(1); day <= last; day = day.addDays(1)) {
        if (!startsOn(timer, day))
            continue;
        const QDateTime start = startOn(day, timer.time);
        if (start > first && start <= to)
            starts << start;
        if (!timer.repeats())
            break;
    }
    return starts;
}

std::optional<QDateTime> nextStart(const Timer &timer, const QDateTime &after)
{
    const QDateTime until = timer.repeats() ? after.addDays(8) : startOn(timer.date, timer.time).addDays(1);
    const QList<QDateTime> starts = startsBetween(timer, after, until);
    if (starts.isEmpty())
        return std::nullopt;
    return starts.first();
}

Due due(const Timer &timer, const QDateTime &now)
{
    Due result;
    if (!timer.enabled || !timer.handled.isValid())
        return result;
    result.missed = startsBetween(timer, timer.handled, now);
    if (result.missed.isEmpty())
        return result;
    const QDateTime last = result.missed.last();
    const qint64 inside = timer.kind == Timer::Kind::Record ? timer.lengthSeconds() : Timer::WakeUpGraceSeconds;
    if (now < last.addSecs(inside)) {
        result.start = last;
        result.missed.removeLast();
    }
    return result;
}

const Timer *overlapping(const Timer &timer, const QList<Timer> &others, const QDateTime &now)
{
    if (!timer.enabled)
        return nullptr;
    // Far enough ahead for every day of the week of both, and for a date of either.
    QDateTime until = now.addDays(8);
    const auto reach = [&until](const Timer &t) {
        if (!t.repeats() && t.date.isValid())
            until = qMax(until, startOn(t.date, t.time).addDays(2));
    };
    reach(timer);
    const QDateTime from = now.addSecs(-qint64(Timer::MaxMinutes) * 60);
    const auto spans = [&](const Timer &t) {
        QList<QPair<QDateTime, QDateTime>> result;
        for (const QDateTime &start : startsBetween(t, from, until)) {
            const QDateTime end = start.addSecs(t.lengthSeconds());
            if (end > now)
                result.append({start, end});
        }
        return result;
    };
    for (const Timer &other : others) {
        if (other.id == timer.id || !other.enabled)
            continue;
        reach(other);
        const auto mine = spans(timer);
        for (const auto &theirs : spans(other)) {
            for (const auto &span : mine) {
                if (span.first < theirs.second && theirs.first < span.second)
                    return &other;
            }
        }
    }
    return nullptr;
}

QString problem(const Timer &timer, const QList<Timer> &others, const QDateTime &now)
{
    if (timer.station.trimmed().isEmpty())
        return tr("Choose a station.");
    if (!timer.time.isValid() || (!timer.repeats() && !timer.date.isValid()))
        return tr("Enter a start time.");
    if (timer.kind == Timer::Kind::Record && timer.minutes <= 0)
        return tr("A recording needs a length.");
    if (timer.minutes < 0 || timer.minutes > Timer::MaxMinutes)
        return tr("A timer lasts at most %1 minutes.").arg(Timer::MaxMinutes);
    if (!timer.repeats() && startOn(timer.date, timer.time).addSecs(timer.lengthSeconds()) <= now)
        return tr("That time has passed.");
    if (const Timer *first = overlapping(timer, others, now))
        return tr("This timer overlaps \"%1\" (%2, %3).").arg(first->label(), kindText(first->kind), startText(*first));
    return QString();
}

int fadeVolume(int target, qint64 elapsedMs)
{
    if (elapsedMs >= Timer::FadeMs)
        return target;
    const int volume = int(std::lround(double(target) * double(qMax<qint64>(0, elapsedMs)) / double(Timer::FadeMs)));
    return qBound(qMin(1, target), volume, target);
}

Timer forProgramme(const QString &station, const QString &title, const QDateTime &start, const QDateTime &stop)
{
    Timer timer;
    timer.kind = Timer::Kind::Record;
    timer.station = station;
    timer.name = TextCut::left(title.simplified(), Timer::MaxNameLength);
    QDateTime begin = start.toLocalTime().addSecs(-MarginSeconds);
    begin.setTime(QTime(begin.time().hour(), begin.time().minute()));
    timer.date = begin.date();
    timer.time = begin.time();
    const qint64 seconds = begin.secsTo(stop.toLocalTime().addSecs(MarginSeconds));
    timer.minutes = int(qBound<qint64>(1, (seconds + 59) / 60, qint64(Timer::MaxMinutes)));
    return timer;
}

QString whenText(const QDateTime &start, const QDateTime &now)
{
    if (start.date() == now.date())
        return clockText(start.time());
    if (start > now && start.date() <= now.date().addDays(6))
        return QLocale().dayName(start.date().dayOfWeek(), QLocale::ShortFormat) + QLatin1Char(' ') +
               clockText(start.time());
    return start.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString missedText(const Timer &timer, const QDateTime &start, const QDateTime &now)
{
    return tr("Missed: %1, %2").arg(timer.label(), whenText(start, now));
}

QString kindText(Timer::Kind kind)
{
    return kind == Timer::Kind::Record ? tr("Record") : tr("Wake up");
}

QString startText(const Timer &timer)
{
    if (!timer.repeats())
        return timer.date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + clockText(timer.time);
    if (timer.days == 0x7f)
        return tr("Every day %1").arg(clockText(timer.time));
    QStringList names;
    for (int day = 1; day <= 7; ++day) {
        if (timer.days & (1 << (day - 1)))
            names << QLocale().dayName(day, QLocale::ShortFormat);
    }
    return names.join(QLatin1Char(' ')) + QLatin1Char(' ') + clockText(timer.time);
}

} // namespace TimerRules
