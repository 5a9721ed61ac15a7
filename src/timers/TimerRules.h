#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A wake-up or record timer: a station to play (or record) at a set time, once on a date or on
// days of the week. Times are the wall clock's: a timer at 07:00 starts at 07:00 also on the day
// summer time begins or ends; its length is counted in real minutes.
struct Timer
{
    enum class Kind { WakeUp, Record };

    static constexpr int MaxMinutes = 720;
    static constexpr int MaxNameLength = 100;
    // Minutes of a wake-up that plays on: the time it may still start late (and may overlap).
    static constexpr int WakeUpGraceSeconds = 60;
    static constexpr qint64 FadeMs = 60000; // a wake-up's volume rises over this

    int id = 0;
    Kind kind = Kind::WakeUp;
    QString name; // what the user calls it; empty names it after the station
    QString station;
    QDate date; // the day of a timer that does not repeat
    QTime time;
    int days = 0;              // the days it repeats on, bit 0 Monday to bit 6 Sunday; 0 = once on date
    int minutes = 0;           // its length; 0 for a wake-up that plays on
    int volume = 50;           // the volume a wake-up fades in to, 1..100
    bool splitByTitle = false; // a recording in a file per title rather than one file
    bool enabled = true;
    // Every start up to this time has been dealt with (started or reported missed).
    QDateTime handled;

    QString label() const { return name.trimmed().isEmpty() ? station : name.trimmed(); }
    bool repeats() const { return days != 0; }
    bool repeatsOn(const QDate &day) const { return days & (1 << (day.dayOfWeek() - 1)); }
    // The seconds it takes: its minutes, or the grace of a wake-up that plays on.
    qint64 lengthSeconds() const;
    bool operator==(const Timer &) const = default;
};

namespace TimerRules {

// The first start of the timer after `after` (never one at `after` itself), if any.
std::optional<QDateTime> nextStart(const Timer &timer, const QDateTime &after);

// The starts in (from, to], earliest first.
QList<QDateTime> startsBetween(const Timer &timer, const QDateTime &from, const QDateTime &to);

// What is due of a timer at `now`, for the starts since it was last handled: the one start
// still inside its time (a recording records the rest, a wake-up starts only within its grace),
// and the starts that were missed (while the program did not run or the computer slept).
struct Due
{
    std::optional<QDateTime> start;
    QList<QDateTime> missed;
};
Due due(const Timer &timer, const QDateTime &now);

// The first enabled timer of `others` (other than `timer` itself, by id) whose time overlaps the
// time of `timer` from `now` on; nullptr when none does.
const Timer *overlapping(const Timer &timer, const QList<Timer> &others, const QDateTime &now);

// Why a timer cannot be saved as it stands, or empty when it can. `others` are the timers kept.
QString problem(const Timer &timer, const QList<Timer> &others, const QDateTime &now);

// A wake-up's volume `elapsedMs` after it started: low at first, `target` after FadeMs.
int fadeVolume(int target, qint64 elapsedMs);

// A recording of a programme of the guide on a station, from `start` to `stop`: it begins
// MarginSeconds before, on the whole minute, and ends MarginSeconds after, named by the
// programme's title.
constexpr qint64 MarginSeconds = 120;
Timer forProgramme(const QString &station, const QString &title, const QDateTime &start, const QDateTime &stop);

// "07:00" today, "Tue 07:00" within the week ahead, else the date and the time.
QString whenText(const QDateTime &start, const QDateTime &now);
// "Missed: Morning show, 07:00"
QString missedText(const Timer &timer, const QDateTime &start, const QDateTime &now);
// "Wake up" or "Record"
QString kindText(Timer::Kind kind);
// "Mon Wed Fri 07:00", "Every day 07:00" or the date and time of a timer that does not repeat.
QString startText(const Timer &timer);

} // namespace TimerRules
