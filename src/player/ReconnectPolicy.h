#pragma once

#include "player/MpvEvents.h"

#include <QtGlobal>

#include <functional>

// When a stream that ended is tried again. A live stream (no known length or size) that drops
// after it began to play is reconnected up to five times, 1, 2, 4, 8 and 16 s apart; a stream
// that then played steadily for 30 s starts the count anew. A file that reaches its end has
// ended. No widgets and no timers here: the player feeds the events and asks for the verdict.
class ReconnectPolicy
{
public:
    static constexpr int kMaxTries = 5;
    static constexpr qint64 kStableMs = 30000;

    enum class Verdict {
        Ignore,     // not an end that concerns the policy
        Reconnect,  // try the same entry again after delayMs()
        GiveUp,     // the tries are used up
        Ended,      // the stream played to its end
        EntryFailed // the entry never played: the next one is for the player to try
    };

    // Milliseconds from a steady clock; the default counts from an arbitrary start.
    using Clock = std::function<qint64()>;
    explicit ReconnectPolicy(Clock clock = {});

    void newSource();                                 // a source starts: the count starts at 0
    void cancel();                                    // stopped, or another entry is tried: no reconnect is pending
    void loading();                                   // an entry is being opened (also a reconnect)
    void retrying();                                  // the pause is over: the next load is a reconnect attempt
    bool started(const MpvEvents::PlaybackRestart &); // true for the first audio of a connection
    void setLive(bool live);                          // the entry has no known length or size
    Verdict ended(const MpvEvents::EndFile &end);

    int delayMs() const { return m_delayMs; }
    int tries() const { return m_tries; }
    bool reconnecting() const { return m_reconnecting; }
    bool isStarted() const { return m_started; }
    bool isLive() const { return m_live; }

private:
    Clock m_clock;
    int m_tries = 0;
    int m_delayMs = 0;
    bool m_reconnecting = false;
    bool m_started = false;
    bool m_live = false;
    qint64 m_startedAt = 0;
};
