#include "timers/TimerClock.h"

#include <QCoreApplication>

TimerClock::TimerClock(Clock clock, QObject *parent) : QObject(parent)
{
    setClock(std::move(clock));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &TimerClock::tick);
}

void TimerClock::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); });
}

const Timer *TimerClock::find(int id) const
{
    for (const Timer &t : m_timers) {
        if (t.id == id && id != 0)
            return &t;
    }
    return nullptr;
}

void TimerClock::setTimers(const QList<Timer> &timers)
{
    const QDateTime now = m_clock();
    m_timers = timers;
    int id = 0;
    for (Timer &t : m_timers) {
        t.id = ++id;
        if (!t.handled.isValid())
            t.handled = now;
    }
    if (!find(m_runningId))
        endRunning();
    m_timer.start();
}

QString TimerClock::save(Timer timer)
{
    const QDateTime now = m_clock();
    if (const QString why = TimerRules::problem(timer, m_timers, now); !why.isEmpty())
        return why;
    const bool wasRunning = timer.id != 0 && timer.id == m_runningId;
    if (wasRunning)
        endRunning();
    // A start within its time begins now: a recording records the rest, a wake-up starts within
    // its grace. A timer changed while it ran does not start again.
    const qint64 inside = timer.kind == Timer::Kind::Record ? timer.lengthSeconds() : Timer::WakeUpGraceSeconds;
    timer.handled = wasRunning ? now : now.addSecs(-inside);
    if (timer.id == 0) {
        int id = 0;
        for (const Timer &t : std::as_const(m_timers))
            id = qMax(id, t.id);
        timer.id = id + 1;
        m_timers << timer;
    } else {
        for (Timer &t : m_timers) {
            if (t.id == timer.id)
                t = timer;
        }
    }
    m_timer.start();
    emit changed();
    return QString();
}

void TimerClock::remove(int id)
{
    if (id == m_runningId)
        endRunning();
    m_timers.removeIf([id](const Timer &t) { return t.id == id; });
    emit changed();
}

QString TimerClock::setEnabled(int id, bool on)
{
    const Timer *found = find(id);
    if (!found || found->enabled == on)
        return QString();
    Timer timer = *found;
    timer.enabled = on;
    if (!on) {
        if (id == m_runningId)
            endRunning();
        for (Timer &t : m_timers) {
            if (t.id == id)
                t.enabled = false;
        }
        emit changed();
        return QString();
    }
    return save(timer);
}

std::optional<TimerClock::Next> TimerClock::next() const
{
    const QDateTime now = m_clock();
    std::optional<Next> first;
    for (const Timer &t : m_timers) {
        if (!t.enabled)
            continue;
        const std::optional<QDateTime> start = TimerRules::nextStart(t, qMax(now, t.handled));
        if (start && (!first || *start < first->start))
            first = Next{t, *start};
    }
    return first;
}

void TimerClock::endRunning()
{
    m_fadeTarget = -1;
    m_timer.setInterval(1000);
    const Timer *t = running();
    m_runningId = 0;
    if (t)
        emit ended(*t);
}

void TimerClock::tick()
{
    const QDateTime now = m_clock();
    // The fade's last step comes before the end of the wake-up that fades in.
    fade(now);
    if (running() && now >= m_runningEnd)
        endRunning();

    QStringList missedTexts;
    QList<QPair<Timer, QDateTime>> starts;
    for (Timer &t : m_timers) {
        const TimerRules::Due due = TimerRules::due(t, now);
        if (!due.start && due.missed.isEmpty())
            continue;
        t.handled = now;
        if (!due.missed.isEmpty()) {
            QString text = TimerRules::missedText(t, due.missed.last(), now);
            if (due.missed.size() > 1)
                text += QLatin1Char(' ') +
                        QCoreApplication::translate("TimerClock", "(%1 missed in all)").arg(due.missed.size());
            missedTexts << text;
        }
        if (due.start)
            starts.append({t, *due.start});
    }
    if (!missedTexts.isEmpty() || !starts.isEmpty())
        emit changed();
    if (!missedTexts.isEmpty())
        emit missed(missedTexts);
    for (const auto &[timer, start] : std::as_const(starts)) {
        endRunning();
        m_runningId = timer.id;
        m_runningStart = start;
        m_runningEnd = start.addSecs(timer.lengthSeconds());
        if (timer.kind == Timer::Kind::WakeUp) {
            // A wake-up runs at least while it fades in, also when it started late.
            m_runningEnd = qMax(m_runningEnd, now.addMSecs(Timer::FadeMs));
            m_fadeStart = now;
            m_fadeTarget = timer.volume;
            m_timer.setInterval(200);
        }
        emit started(timer, start);
        fade(now);
    }
}

void TimerClock::fade(const QDateTime &now)
{
    if (m_fadeTarget < 0 || !running())
        return;
    const qint64 elapsed = m_fadeStart.msecsTo(now);
    const int target = m_fadeTarget;
    if (elapsed >= Timer::FadeMs) {
        m_fadeTarget = -1;
        m_timer.setInterval(1000);
    }
    emit wakeVolume(TimerRules::fadeVolume(target, elapsed));
}
