#include "listening/SleepTimer.h"

#include <QElapsedTimer>

SleepTimer::SleepTimer(Clock clock, QObject *parent) : QObject(parent)
{
    setClock(std::move(clock));
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, &SleepTimer::tick);
}

void SleepTimer::setClock(Clock clock)
{
    m_clock = std::move(clock);
    if (!m_clock) {
        m_clock = [started = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }()] { return started.elapsed(); };
    }
}

void SleepTimer::start(int minutes)
{
    const bool wasFading = m_faded;
    m_active = true;
    m_faded = false;
    m_end = m_clock() + qint64(qBound(MinMinutes, minutes, MaxMinutes)) * 60000;
    m_lastMinutes = -1;
    m_timer.start();
    if (wasFading)
        emit fading(1.0);
    tick();
}

void SleepTimer::cancel()
{
    if (!m_active)
        return;
    m_active = false;
    m_timer.stop();
    if (m_faded) {
        m_faded = false;
        emit fading(1.0);
    }
    m_lastMinutes = 0;
    emit remainingChanged(0);
}

qint64 SleepTimer::remainingMs() const
{
    return m_active ? qMax<qint64>(0, m_end - m_clock()) : 0;
}

int SleepTimer::remainingMinutes() const
{
    return int((remainingMs() + 59999) / 60000);
}

void SleepTimer::tick()
{
    if (!m_active)
        return;
    const qint64 left = remainingMs();
    if (left <= 0) {
        m_active = false;
        m_faded = false;
        m_timer.stop();
        m_lastMinutes = 0;
        emit fading(0.0);
        emit remainingChanged(0);
        emit expired();
        return;
    }
    if (const int minutes = remainingMinutes(); minutes != m_lastMinutes) {
        m_lastMinutes = minutes;
        emit remainingChanged(minutes);
    }
    if (left < FadeMs) {
        m_faded = true;
        emit fading(double(left) / double(FadeMs));
    }
}
