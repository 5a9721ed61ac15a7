#include "player/ReconnectPolicy.h"

#include <QElapsedTimer>

ReconnectPolicy::ReconnectPolicy(Clock clock) : m_clock(std::move(clock))
{
    if (!m_clock) {
        m_clock = [timer = std::make_shared<QElapsedTimer>()] {
            if (!timer->isValid())
                timer->start();
            return timer->elapsed();
        };
    }
}

void ReconnectPolicy::newSource()
{
    m_tries = 0;
    m_reconnecting = false;
}

void ReconnectPolicy::cancel()
{
    m_reconnecting = false;
}

void ReconnectPolicy::loading()
{
    m_started = false;
    m_live = false;
}

void ReconnectPolicy::retrying()
{
    m_reconnecting = true;
}

bool ReconnectPolicy::started(const MpvEvents::PlaybackRestart &)
{
    if (m_started)
        return false;
    m_started = true;
    m_startedAt = m_clock();
    m_reconnecting = false;
    return true;
}

void ReconnectPolicy::setLive(bool live)
{
    m_live = live;
}

ReconnectPolicy::Verdict ReconnectPolicy::ended(const MpvEvents::EndFile &end)
{
    using Reason = MpvEvents::EndFile::Reason;
    if (end.reason != Reason::Eof && end.reason != Reason::Error)
        return Verdict::Ignore;
    if (!m_reconnecting && !(m_started && m_live))
        return end.reason == Reason::Eof && m_started ? Verdict::Ended : Verdict::EntryFailed;
    // A live stream dropped, or a reconnect attempt failed.
    if (m_started && m_clock() - m_startedAt > kStableMs)
        m_tries = 0;
    m_started = false;
    if (m_tries >= kMaxTries) {
        m_reconnecting = false;
        return Verdict::GiveUp;
    }
    m_delayMs = 1000 << m_tries;
    ++m_tries;
    m_reconnecting = true;
    return Verdict::Reconnect;
}
