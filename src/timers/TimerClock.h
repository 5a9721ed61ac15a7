#pragma once

#include "timers/TimerRules.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

// Keeps the timers and starts each at its time. It looks at the wall clock every second (five
// times a second while a wake-up fades in): a start reached is started(), a running timer whose
// time is over is ended(), and starts passed while the program did not run or the computer slept
// are reported by missed(). The clock can be given (tests); the default is the system's.
class TimerClock : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    explicit TimerClock(Clock clock = {}, QObject *parent = nullptr);

    void setClock(Clock clock);
    QDateTime now() const { return m_clock(); }

    const QList<Timer> &timers() const { return m_timers; }
    const Timer *find(int id) const;
    // The timers read from their file; their starts since they were last handled are looked at
    // on the next tick. Looking at the clock begins.
    void setTimers(const QList<Timer> &timers);
    // Adds the timer (id 0) or replaces the one of its id. Empty when saved, else why not (the
    // timer it overlaps is named). A start still inside its time begins on the next tick.
    QString save(Timer timer);
    void remove(int id);
    // Switches a timer on or off; a timer switched on may overlap another (the text says so).
    QString setEnabled(int id, bool on);

    struct Next
    {
        Timer timer;
        QDateTime start;
    };
    // The enabled timer that starts next, if any.
    std::optional<Next> next() const;
    // The timer that runs now: started and its time not over (a wake-up that plays on runs
    // while it fades in, and then plays on by itself).
    const Timer *running() const { return find(m_runningId); }
    QDateTime runningStart() const { return m_runningStart; }
    QDateTime runningEnd() const { return m_runningEnd; }
    // Ends the running timer, as when its time is over.
    void endRunning();
    // A wake-up's fade in ends where it is (the user moved the volume).
    void stopFade() { m_fadeTarget = -1; }

    // Looks at the clock and signals what is due. Called by the timer; tests call it after
    // moving their clock.
    void tick();

signals:
    // The list or what was handled of it changed: time to write it.
    void changed();
    void started(const Timer &timer, const QDateTime &start);
    void ended(const Timer &timer);
    // "Missed: Morning show, 07:00", one text a timer.
    void missed(const QStringList &texts);
    // The volume of the wake-up that fades in.
    void wakeVolume(int volume);

private:
    void fade(const QDateTime &now);

    Clock m_clock;
    QTimer m_timer;
    QList<Timer> m_timers;
    int m_runningId = 0;
    QDateTime m_runningStart;
    QDateTime m_runningEnd;
    QDateTime m_fadeStart;
    int m_fadeTarget = -1;
};
